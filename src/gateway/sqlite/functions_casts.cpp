// The server's meaning of +, - and ^ (texts joined, numbers added, days
// added to dates) and of CAST to its types, as SQLite functions.
#include <sqlite3.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gateway/sqlite/functions_support.hpp"
#include "gateway/tsql/stamp.hpp"
#include "runtime/text.hpp"

namespace tarnwick::sqlite::function_detail {

// ----- + - ^ -----


// Reads both sides of + or - as numbers, or fails with the server's message.
bool BothNumbers(sqlite3_context* ctx, sqlite3_value* a, sqlite3_value* b, Number& x, Number& y) {
  const std::optional<Number> na = NumberOf(a), nb = NumberOf(b);
  const char* type = (IsNumber(a) && sqlite3_value_type(a) == SQLITE_FLOAT) ||
                             (IsNumber(b) && sqlite3_value_type(b) == SQLITE_FLOAT)
                         ? "float"
                         : "int";
  if (!na || sqlite3_value_type(a) == SQLITE_BLOB) {
    Error(ctx, ConversionError(TextOf(a), type));
    return false;
  }
  if (!nb || sqlite3_value_type(b) == SQLITE_BLOB) {
    Error(ctx, ConversionError(TextOf(b), type));
    return false;
  }
  x = *na;
  y = *nb;
  return true;
}

void ResultSum(sqlite3_context* ctx, const Number& x, const Number& y, bool subtract) {
  if (x.integral && y.integral) {
    std::int64_t r;
    const bool overflow = subtract ? __builtin_sub_overflow(x.i, y.i, &r) : __builtin_add_overflow(x.i, y.i, &r);
    if (!overflow) {
      sqlite3_result_int64(ctx, r);
      return;
    }
    Error(ctx, "Arithmetic overflow error converting expression to data type bigint.");
    return;
  }
  sqlite3_result_double(ctx, subtract ? x.d - y.d : x.d + y.d);
}

void TwAdd(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  sqlite3_value* a = argv[0];
  sqlite3_value* b = argv[1];
  const int ta = sqlite3_value_type(a), tb = sqlite3_value_type(b);
  if (ta == SQLITE_TEXT && tb == SQLITE_TEXT) {
    std::string s(TextOf(a));
    s += TextOf(b);
    return ResultText(ctx, s);
  }
  if (ta == SQLITE_BLOB || tb == SQLITE_BLOB) {
    if (ta != tb) return Error(ctx, "Operand type clash: varbinary is incompatible with the other operand of +.");
    std::string s(reinterpret_cast<const char*>(sqlite3_value_blob(a)), static_cast<std::size_t>(sqlite3_value_bytes(a)));
    const auto* pb = reinterpret_cast<const char*>(sqlite3_value_blob(b));
    s.append(pb ? pb : "", static_cast<std::size_t>(sqlite3_value_bytes(b)));
    sqlite3_result_blob(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
    return;
  }
  // A date kept as text plus a number of days is a later date.
  sqlite3_value* text = ta == SQLITE_TEXT ? a : tb == SQLITE_TEXT ? b : nullptr;
  sqlite3_value* number = text == a ? b : a;
  if (text) {
    if (const std::optional<Stamp> date = ParseIsoStamp(TextOf(text))) {
      Stamp r;
      if (!AddDays(*date, sqlite3_value_double(number), r)) return Error(ctx, kDateOverflow);
      return ResultText(ctx, FormatStamp(r));
    }
  }
  Number x, y;
  if (BothNumbers(ctx, a, b, x, y)) ResultSum(ctx, x, y, false);
}

void TwSub(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  sqlite3_value* a = argv[0];
  sqlite3_value* b = argv[1];
  if (sqlite3_value_type(a) == SQLITE_TEXT) {
    if (const std::optional<Stamp> date = ParseIsoStamp(TextOf(a))) {
      if (IsNumber(b)) {
        Stamp r;
        if (!AddDays(*date, -sqlite3_value_double(b), r)) return Error(ctx, kDateOverflow);
        return ResultText(ctx, FormatStamp(r));
      }
      if (sqlite3_value_type(b) == SQLITE_TEXT) {
        if (const std::optional<Stamp> other = ParseIsoStamp(TextOf(b))) {
          // The server's datetime difference: a date that far after 1 Jan 1900.
          const double days = static_cast<double>(date->day - other->day) +
                              static_cast<double>(date->ms - other->ms) / kMsPerDay;
          const std::optional<Stamp> r = StampFromServerDays(days);
          if (!r) return Error(ctx, kDateOverflow);
          return ResultText(ctx, FormatStamp(*r));
        }
      }
    }
  }
  Number x, y;
  if (BothNumbers(ctx, a, b, x, y)) ResultSum(ctx, x, y, true);
}

void TwBitXor(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const std::optional<Number> x = NumberOf(argv[0]), y = NumberOf(argv[1]);
  if (!x || !y || !x->integral || !y->integral) return Error(ctx, "The operands of '^' must be whole numbers.");
  sqlite3_result_int64(ctx, x->i ^ y->i);
}

// ----- CAST -----

void CastDate(sqlite3_context* ctx, sqlite3_value** argv, bool dateOnly) {
  sqlite3_value* v = argv[0];
  const int t = sqlite3_value_type(v);
  if (t == SQLITE_NULL) return sqlite3_result_null(ctx);
  if (dateOnly && t != SQLITE_TEXT) {
    return Error(ctx, std::string("Explicit conversion from data type ") +
                          (t == SQLITE_BLOB ? "varbinary" : t == SQLITE_INTEGER ? "int" : "float") +
                          " to date is not allowed.");
  }
  if (t == SQLITE_BLOB) return Error(ctx, "Explicit conversion from data type varbinary to datetime is not allowed.");
  std::optional<Stamp> s = StampOf(v);
  if (!s) {
    if (t == SQLITE_TEXT) return Error(ctx, kDateConversion);
    return Error(ctx, "Arithmetic overflow error converting expression to data type datetime.");
  }
  if (dateOnly) s->ms = 0;
  ResultText(ctx, FormatStamp(*s));
}

void TwCastDate(sqlite3_context* ctx, int, sqlite3_value** argv) { CastDate(ctx, argv, true); }
void TwCastDateTime(sqlite3_context* ctx, int, sqlite3_value** argv) { CastDate(ctx, argv, false); }

// tw_cast_text(x, size, fixed): varchar(size) cuts the text to size
// characters (the server's CAST does the same); char(size) also pads it with
// blanks. A number too wide for the size is an overflow, not a cut. Size -1
// is varchar(max).
void TwCastText(sqlite3_context* ctx, int, sqlite3_value** argv) {
  sqlite3_value* v = argv[0];
  const int t = sqlite3_value_type(v);
  if (t == SQLITE_NULL) return sqlite3_result_null(ctx);
  const std::int64_t size = sqlite3_value_int64(argv[1]);
  const bool fixed = sqlite3_value_int(argv[2]) != 0;
  std::string s;
  if (t == SQLITE_BLOB) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_value_blob(v));
    s.assign(p ? p : "", static_cast<std::size_t>(sqlite3_value_bytes(v)));
  } else {
    s = std::string(TextOf(v));
  }
  if (size >= 0) {
    const std::int64_t n = CharCount(s);
    if (n > size) {
      if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) {
        return Error(ctx, "Arithmetic overflow error converting numeric to data type varchar.");
      }
      s = std::string(CharSlice(s, 0, size));
    } else if (fixed && n < size) {
      s.append(static_cast<std::size_t>(size - n), ' ');
    }
  }
  ResultText(ctx, s);
}

// tw_cast_int(x, bits): tinyint (8, 0..255), smallint, int, bigint.
void TwCastInt(sqlite3_context* ctx, int, sqlite3_value** argv) {
  sqlite3_value* v = argv[0];
  const int t = sqlite3_value_type(v);
  if (t == SQLITE_NULL) return sqlite3_result_null(ctx);
  const int bits = sqlite3_value_int(argv[1]);
  const char* type = bits == 8 ? "tinyint" : bits == 16 ? "smallint" : bits == 64 ? "bigint" : "int";
  std::int64_t r = 0;
  if (t == SQLITE_INTEGER) {
    r = sqlite3_value_int64(v);
  } else if (t == SQLITE_FLOAT) {
    const double d = std::trunc(sqlite3_value_double(v));
    if (!(d >= -9.2e18 && d <= 9.2e18)) {
      return Error(ctx, std::string("Arithmetic overflow error converting expression to data type ") + type + ".");
    }
    r = static_cast<std::int64_t>(d);
  } else if (t == SQLITE_TEXT) {
    const std::optional<Number> n = ParseNumber(TextOf(v), false);
    if (!n || !n->integral) return Error(ctx, ConversionError(TextOf(v), type));
    r = n->i;
  } else {
    return Error(ctx, std::string("Explicit conversion from data type varbinary to ") + type + " is not allowed.");
  }
  const std::int64_t lo = bits == 8 ? 0 : bits == 16 ? INT16_MIN : bits == 32 ? INT32_MIN : INT64_MIN;
  const std::int64_t hi = bits == 8 ? 255 : bits == 16 ? INT16_MAX : bits == 32 ? INT32_MAX : INT64_MAX;
  if (r < lo || r > hi) {
    return Error(ctx, std::string("Arithmetic overflow error converting expression to data type ") + type + ".");
  }
  sqlite3_result_int64(ctx, r);
}

void TwCastBit(sqlite3_context* ctx, int, sqlite3_value** argv) {
  sqlite3_value* v = argv[0];
  const int t = sqlite3_value_type(v);
  if (t == SQLITE_NULL) return sqlite3_result_null(ctx);
  if (t == SQLITE_TEXT) {
    const std::string_view s = TrimBlanks(TextOf(v));
    std::string up;
    for (char c : s) up += static_cast<char>(runtime::FoldLower(c));
    if (up == "true") return sqlite3_result_int(ctx, 1);
    if (up == "false") return sqlite3_result_int(ctx, 0);
  }
  const std::optional<Number> n = NumberOf(v);
  if (!n || t == SQLITE_BLOB) return Error(ctx, ConversionError(TextOf(v), "bit"));
  sqlite3_result_int(ctx, n->d != 0 ? 1 : 0);
}

// tw_cast_num(x, scale, precision): decimal(precision, scale) and money
// round half away from zero to the scale; scale -1 is float.
void TwCastNum(sqlite3_context* ctx, int, sqlite3_value** argv) {
  sqlite3_value* v = argv[0];
  const int t = sqlite3_value_type(v);
  if (t == SQLITE_NULL) return sqlite3_result_null(ctx);
  const int scale = sqlite3_value_int(argv[1]);
  const int precision = sqlite3_value_int(argv[2]);
  const std::optional<Number> n = NumberOf(v);
  if (!n || t == SQLITE_BLOB) {
    return Error(ctx, "Error converting data type varchar to " + std::string(scale < 0 ? "float" : "numeric") + ".");
  }
  if (scale < 0) return sqlite3_result_double(ctx, n->d);
  if (n->integral && scale == 0) {
    if (precision < 19 && std::fabs(n->d) >= std::pow(10.0, precision)) {
      return Error(ctx, "Arithmetic overflow error converting to data type numeric.");
    }
    return sqlite3_result_int64(ctx, n->i);
  }
  const double factor = std::pow(10.0, scale);
  const double rounded = std::round(n->d * factor) / factor;
  if (std::fabs(rounded) >= std::pow(10.0, precision - scale)) {
    return Error(ctx, "Arithmetic overflow error converting to data type numeric.");
  }
  if (scale == 0 && std::fabs(rounded) < 9.0e18) return sqlite3_result_int64(ctx, static_cast<std::int64_t>(rounded));
  sqlite3_result_double(ctx, rounded);
}

}  // namespace tarnwick::sqlite::function_detail
