// The SQLite functions that give rendered texts the server's meaning: +,
// CAST, the string and the date functions (see functions.hpp).
#include "gateway/sqlite/functions.hpp"

#include <sqlite3.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gateway/tsql/stamp.hpp"
#include "runtime/text.hpp"

namespace tarnwick::tsql {

namespace {

constexpr std::int64_t kMsPerDay = 86'400'000;

// ----- value helpers -----

std::string_view TextOf(sqlite3_value* v) {
  const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
  const int n = sqlite3_value_bytes(v);
  return p ? std::string_view(p, static_cast<std::size_t>(n)) : std::string_view();
}

bool AnyNull(int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i) {
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return true;
  }
  return false;
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::string Shorten(std::string_view s) {
  std::string out(s.substr(0, 60));
  if (s.size() > 60) out += "...";
  return out;
}

void Error(sqlite3_context* ctx, const std::string& message) {
  sqlite3_result_error(ctx, message.c_str(), static_cast<int>(message.size()));
}

void ResultText(sqlite3_context* ctx, const std::string& s) {
  sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

// A number written as text the way the server reads one: blanks around,
// a sign, figures with one decimal point, an exponent.
struct Number {
  bool integral = false;
  std::int64_t i = 0;
  double d = 0;
};

std::optional<Number> ParseNumber(std::string_view s, bool allow_fraction = true) {
  s = TrimBlanks(s);
  if (s.empty()) return std::nullopt;
  std::size_t k = 0;
  if (s[k] == '+' || s[k] == '-') ++k;
  std::size_t digits = 0;
  bool fraction = false;
  while (k < s.size() && s[k] >= '0' && s[k] <= '9') ++k, ++digits;
  if (k < s.size() && s[k] == '.') {
    fraction = true;
    ++k;
    while (k < s.size() && s[k] >= '0' && s[k] <= '9') ++k, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (k < s.size() && (s[k] == 'e' || s[k] == 'E')) {
    fraction = true;
    ++k;
    if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
    std::size_t exp = 0;
    while (k < s.size() && s[k] >= '0' && s[k] <= '9') ++k, ++exp;
    if (exp == 0) return std::nullopt;
  }
  if (k != s.size()) return std::nullopt;
  if (fraction && !allow_fraction) return std::nullopt;
  Number n;
  std::string text(s[0] == '+' ? s.substr(1) : s);
  if (!fraction) {
    const auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), n.i);
    if (ec == std::errc() && p == text.data() + text.size()) {
      n.integral = true;
      n.d = static_cast<double>(n.i);
      return n;
    }
  }
  n.d = std::strtod(text.c_str(), nullptr);
  if (!std::isfinite(n.d)) return std::nullopt;
  return n;
}

// The numeric value of an argument: numbers as they are, texts read as
// numbers; nothing for other texts and bytes.
std::optional<Number> NumberOf(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: {
      Number n;
      n.integral = true;
      n.i = sqlite3_value_int64(v);
      n.d = static_cast<double>(n.i);
      return n;
    }
    case SQLITE_FLOAT: {
      Number n;
      n.d = sqlite3_value_double(v);
      return n;
    }
    case SQLITE_TEXT: return ParseNumber(TextOf(v));
    default: return std::nullopt;
  }
}

bool IsNumber(sqlite3_value* v) {
  const int t = sqlite3_value_type(v);
  return t == SQLITE_INTEGER || t == SQLITE_FLOAT;
}

// A date argument: ISO or other date texts, or a day number (0 = 1 Jan 1900).
std::optional<Stamp> StampOf(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_TEXT: return ReadDateText(TextOf(v));
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: return StampFromServerDays(sqlite3_value_double(v));
    default: return std::nullopt;
  }
}

const char kDateConversion[] = "Conversion failed when converting date and/or time from character string.";
const char kDateOverflow[] = "Adding a value to a 'datetime' column caused an overflow.";

std::string ConversionError(std::string_view text, const char* type) {
  return "Conversion failed when converting the varchar value '" + Shorten(text) + "' to data type " + type + ".";
}

// Offsets of the characters of a UTF-8 text, plus its end.
std::vector<std::size_t> CharStarts(std::string_view s) {
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) starts.push_back(i);
  }
  starts.push_back(s.size());
  return starts;
}

// Characters [from, to) of a UTF-8 text, counted from 0, clamped to the text.
std::string_view CharSlice(std::string_view s, std::int64_t from, std::int64_t to) {
  const std::vector<std::size_t> starts = CharStarts(s);
  const auto count = static_cast<std::int64_t>(starts.size() - 1);
  from = std::max<std::int64_t>(0, std::min(from, count));
  to = std::max(from, std::min(to, count));
  return s.substr(starts[static_cast<std::size_t>(from)],
                  starts[static_cast<std::size_t>(to)] - starts[static_cast<std::size_t>(from)]);
}

std::int64_t CharCount(std::string_view s) { return static_cast<std::int64_t>(CharStarts(s).size() - 1); }

// Byte offset of `needle` in `hay` from byte `from`, ignoring ASCII letter
// case; an empty needle is found nowhere.
std::size_t FindCaseBlind(std::string_view hay, std::string_view needle, std::size_t from) {
  return needle.empty() ? std::string_view::npos : runtime::FindNoCase(hay, needle, from);
}

std::int64_t Clamp(std::int64_t v, std::int64_t lo, std::int64_t hi) { return v < lo ? lo : v > hi ? hi : v; }

// ----- + - ^ -----

bool AddDays(const Stamp& s, double days, Stamp& out) {
  if (!std::isfinite(days) || std::fabs(days) > 4.0e6) return false;
  const double total = static_cast<double>(s.ms) + days * kMsPerDay;
  const auto ms = static_cast<std::int64_t>(std::llround(total));
  const std::int64_t whole = ms >= 0 ? ms / kMsPerDay : -((-ms + kMsPerDay - 1) / kMsPerDay);
  out.day = s.day + whole;
  out.ms = ms - whole * kMsPerDay;
  return InRange(out);
}

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

void CastDate(sqlite3_context* ctx, sqlite3_value** argv, bool date_only) {
  sqlite3_value* v = argv[0];
  const int t = sqlite3_value_type(v);
  if (t == SQLITE_NULL) return sqlite3_result_null(ctx);
  if (date_only && t != SQLITE_TEXT) {
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
  if (date_only) s->ms = 0;
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

// tw_format_date(x, style): CONVERT(varchar, date, style). Values that are no
// date pass unchanged (the style means nothing for them).
void TwFormatDate(sqlite3_context* ctx, int, sqlite3_value** argv) {
  sqlite3_value* v = argv[0];
  if (sqlite3_value_type(v) == SQLITE_NULL) return sqlite3_result_null(ctx);
  if (sqlite3_value_type(argv[1]) == SQLITE_NULL) return sqlite3_result_value(ctx, v);
  const std::optional<Stamp> s = sqlite3_value_type(v) == SQLITE_TEXT ? ReadDateText(TextOf(v)) : std::nullopt;
  if (!s) return sqlite3_result_value(ctx, v);
  const std::int64_t style = sqlite3_value_int64(argv[1]);
  const CivilDate c = CivilFromDays(s->day);
  const int h = static_cast<int>(s->ms / 3'600'000), mi = static_cast<int>(s->ms / 60'000 % 60),
            sec = static_cast<int>(s->ms / 1000 % 60), ms = static_cast<int>(s->ms % 1000);
  const int yy = c.year % 100;
  char buf[64];
  static const char* kMon[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  switch (style) {
    case 0:
    case 100: {
      const int h12 = h % 12 == 0 ? 12 : h % 12;
      std::snprintf(buf, sizeof buf, "%s %2d %04d %2d:%02d%s", kMon[c.month - 1], c.day, c.year, h12, mi,
                    h < 12 ? "AM" : "PM");
      break;
    }
    case 1: std::snprintf(buf, sizeof buf, "%02d/%02d/%02d", c.month, c.day, yy); break;
    case 101: std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", c.month, c.day, c.year); break;
    case 2: std::snprintf(buf, sizeof buf, "%02d.%02d.%02d", yy, c.month, c.day); break;
    case 102: std::snprintf(buf, sizeof buf, "%04d.%02d.%02d", c.year, c.month, c.day); break;
    case 3: std::snprintf(buf, sizeof buf, "%02d/%02d/%02d", c.day, c.month, yy); break;
    case 103: std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", c.day, c.month, c.year); break;
    case 4: std::snprintf(buf, sizeof buf, "%02d.%02d.%02d", c.day, c.month, yy); break;
    case 104: std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", c.day, c.month, c.year); break;
    case 5: std::snprintf(buf, sizeof buf, "%02d-%02d-%02d", c.day, c.month, yy); break;
    case 105: std::snprintf(buf, sizeof buf, "%02d-%02d-%04d", c.day, c.month, c.year); break;
    case 8:
    case 108: std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", h, mi, sec); break;
    case 10: std::snprintf(buf, sizeof buf, "%02d-%02d-%02d", c.month, c.day, yy); break;
    case 110: std::snprintf(buf, sizeof buf, "%02d-%02d-%04d", c.month, c.day, c.year); break;
    case 11: std::snprintf(buf, sizeof buf, "%02d/%02d/%02d", yy, c.month, c.day); break;
    case 111: std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", c.year, c.month, c.day); break;
    case 12: std::snprintf(buf, sizeof buf, "%02d%02d%02d", yy, c.month, c.day); break;
    case 112: std::snprintf(buf, sizeof buf, "%04d%02d%02d", c.year, c.month, c.day); break;
    case 20:
    case 120:
      std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", c.year, c.month, c.day, h, mi, sec);
      break;
    case 21:
    case 121:
      std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", c.year, c.month, c.day, h, mi, sec, ms);
      break;
    case 23: std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", c.year, c.month, c.day); break;
    case 126:
      std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", c.year, c.month, c.day, h, mi, sec);
      break;
    default:
      return Error(ctx, std::to_string(style) +
                            " is not a valid style number when converting from datetime to a character string.");
  }
  ResultText(ctx, buf);
}

// ----- text functions -----

void TwSubstring(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const std::int64_t start = Clamp(sqlite3_value_int64(argv[1]), -(1LL << 40), 1LL << 40);
  const std::int64_t length = sqlite3_value_int64(argv[2]);
  if (length < 0) return Error(ctx, "Invalid length parameter passed to the substring function.");
  const std::int64_t end = start + Clamp(length, 0, 1LL << 41);
  // Characters start .. start+length-1, counted from 1; positions before the
  // first character count but yield nothing.
  ResultText(ctx, std::string(CharSlice(TextOf(argv[0]), start - 1, end - 1)));
}

void TwLeft(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const std::int64_t n = sqlite3_value_int64(argv[1]);
  if (n < 0) return Error(ctx, "Invalid length parameter passed to the left function.");
  ResultText(ctx, std::string(CharSlice(TextOf(argv[0]), 0, n)));
}

void TwRight(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const std::int64_t n = sqlite3_value_int64(argv[1]);
  if (n < 0) return Error(ctx, "Invalid length parameter passed to the right function.");
  const std::string_view s = TextOf(argv[0]);
  const std::int64_t count = CharCount(s);
  ResultText(ctx, std::string(CharSlice(s, count - std::min(n, count), count)));
}

// charindex(find, text [, start]): the 1-based character position, ignoring
// letter case as the office's server does; 0 when absent.
void TwCharIndex(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const std::string_view needle = TextOf(argv[0]);
  const std::string_view hay = TextOf(argv[1]);
  const std::vector<std::size_t> starts = CharStarts(hay);
  std::int64_t from = argc > 2 ? sqlite3_value_int64(argv[2]) : 1;
  from = Clamp(from, 1, static_cast<std::int64_t>(starts.size()));
  if (needle.empty()) return sqlite3_result_int(ctx, 0);
  const std::size_t at = FindCaseBlind(hay, needle, starts[static_cast<std::size_t>(from - 1)]);
  if (at == std::string_view::npos) return sqlite3_result_int(ctx, 0);
  const std::int64_t pos = CharCount(hay.substr(0, at)) + 1;
  sqlite3_result_int64(ctx, pos);
}

// replace(text, find, with), finding without regard to letter case.
void TwReplace(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const std::string_view s = TextOf(argv[0]);
  const std::string_view find = TextOf(argv[1]);
  const std::string_view with = TextOf(argv[2]);
  if (find.empty()) return ResultText(ctx, std::string(s));
  std::string out;
  std::size_t from = 0;
  for (;;) {
    const std::size_t at = FindCaseBlind(s, find, from);
    if (at == std::string_view::npos) break;
    out.append(s.substr(from, at - from));
    out.append(with);
    if (out.size() > static_cast<std::size_t>(sqlite3_limit(sqlite3_context_db_handle(ctx), SQLITE_LIMIT_LENGTH, -1))) {
      return sqlite3_result_error_toobig(ctx);
    }
    from = at + find.size();
  }
  out.append(s.substr(from));
  ResultText(ctx, out);
}

void TwIsNumeric(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const int t = sqlite3_value_type(argv[0]);
  const bool yes = t == SQLITE_INTEGER || t == SQLITE_FLOAT || (t == SQLITE_TEXT && ParseNumber(TextOf(argv[0])));
  sqlite3_result_int(ctx, yes ? 1 : 0);
}

void TwIsDate(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const bool yes = sqlite3_value_type(argv[0]) == SQLITE_TEXT && ReadDateText(TextOf(argv[0]));
  sqlite3_result_int(ctx, yes ? 1 : 0);
}

// ----- LIKE with the server's character ranges -----

std::vector<char32_t> CodePoints(std::string_view s) {
  std::vector<char32_t> out;
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
    char32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
    for (int k = 1; k < len; ++k) {
      if (i + static_cast<std::size_t>(k) >= s.size() ||
          (static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]) & 0xC0) != 0x80) {
        len = 1;
        cp = c;
        break;
      }
      cp = (cp << 6) | (static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]) & 0x3F);
    }
    out.push_back(cp);
    i += static_cast<std::size_t>(len);
  }
  return out;
}

// The small letter of a capital, as the office's server compares case-blind:
// ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic.
char32_t Fold(char32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;  // À..Þ, not ×
  if (c == 0x178) return 0xFF;                                // Ÿ
  if (c >= 0x100 && c <= 0x17F) {
    // Capital and small letter in pairs; from Ĺ to ň and from Ź to ž the capital is odd.
    if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    const bool oddCapitals = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    return (c % 2 == 1) == oddCapitals ? c + 1 : c;
  }
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 0x20;  // Greek
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;                 // Cyrillic А..Я
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;                 // Cyrillic Ѐ..Џ
  return c;
}

struct PatternItem {
  enum Kind { Any, One, Literal, Set } kind = Literal;
  char32_t ch = 0;
  bool negated = false;
  std::vector<std::pair<char32_t, char32_t>> ranges;
  bool Matches(char32_t c) const {
    switch (kind) {
      case One: return true;
      case Literal: return Fold(c) == Fold(ch);
      case Set: {
        bool in = false;
        for (const auto& [lo, hi] : ranges) {
          if ((Fold(c) >= Fold(lo) && Fold(c) <= Fold(hi)) || (c >= lo && c <= hi)) in = true;
        }
        return in != negated;
      }
      default: return false;
    }
  }
};

// With ranges, "[a-c]" and "[^x]" are character sets as on the server;
// without, "[" is a character like any other (SQLite's own LIKE).
std::vector<PatternItem> CompilePattern(const std::vector<char32_t>& p, std::optional<char32_t> escape,
                                        bool ranges = true) {
  std::vector<PatternItem> items;
  for (std::size_t i = 0; i < p.size(); ++i) {
    PatternItem item;
    const char32_t c = p[i];
    if (escape && c == *escape && i + 1 < p.size()) {
      item.ch = p[++i];
    } else if (c == '%') {
      item.kind = PatternItem::Any;
    } else if (c == '_') {
      item.kind = PatternItem::One;
    } else if (c == '[' && ranges) {
      std::size_t j = i + 1;
      PatternItem set;
      set.kind = PatternItem::Set;
      if (j < p.size() && p[j] == '^') {
        set.negated = true;
        ++j;
      }
      bool closed = false;
      bool first = true;
      while (j < p.size()) {
        if (p[j] == ']' && !first) {
          closed = true;
          break;
        }
        first = false;
        if (j + 2 < p.size() && p[j + 1] == '-' && p[j + 2] != ']') {
          set.ranges.emplace_back(p[j], p[j + 2]);
          j += 3;
        } else {
          set.ranges.emplace_back(p[j], p[j]);
          ++j;
        }
      }
      if (closed) {
        item = std::move(set);
        i = j;
      } else {
        item.ch = c;  // a lone [ stands for itself
      }
    } else {
      item.ch = c;
    }
    items.push_back(std::move(item));
  }
  return items;
}

bool MatchPattern(const std::vector<PatternItem>& pat, const std::vector<char32_t>& s) {
  // Greedy matching with one backtrack point for the last %.
  std::size_t p = 0, k = 0, star = SIZE_MAX, mark = 0;
  while (k < s.size()) {
    if (p < pat.size() && pat[p].kind != PatternItem::Any && pat[p].Matches(s[k])) {
      ++p;
      ++k;
    } else if (p < pat.size() && pat[p].kind == PatternItem::Any) {
      star = p++;
      mark = k;
    } else if (star != SIZE_MAX) {
      p = star + 1;
      k = ++mark;
    } else {
      return false;
    }
  }
  while (p < pat.size() && pat[p].kind == PatternItem::Any) ++p;
  return p == pat.size();
}

void TwLike(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  std::optional<char32_t> escape;
  if (argc > 2) {
    const std::vector<char32_t> e = CodePoints(TextOf(argv[2]));
    if (e.size() != 1) return Error(ctx, "The escape of LIKE must be one character.");
    escape = e.front();
  }
  const std::vector<PatternItem> pattern = CompilePattern(CodePoints(TextOf(argv[1])), escape);
  sqlite3_result_int(ctx, MatchPattern(pattern, CodePoints(TextOf(argv[0]))) ? 1 : 0);
}

// like(pattern, text [, escape]) in place of SQLite's, which ignores letter
// case for ASCII only: "äö" finds "ÄÖ" in every query and procedure. A text
// all ASCII is matched byte by byte, as fast as SQLite's own.
bool AsciiLike(std::string_view p, std::string_view s, int escape) {
  const auto fold = runtime::FoldLower;
  std::size_t i = 0, k = 0, star = std::string_view::npos, mark = 0;
  while (k < s.size()) {
    if (i < p.size() && p[i] != '%') {
      std::size_t next = i + 1;
      bool literal = false;
      char c = p[i];
      if (escape >= 0 && c == static_cast<char>(escape) && next < p.size()) {
        c = p[next++];
        literal = true;
      }
      if ((!literal && c == '_') || fold(c) == fold(s[k])) {
        i = next;
        ++k;
        continue;
      }
    } else if (i < p.size()) {
      star = i++;
      mark = k;
      continue;
    }
    if (star == std::string_view::npos) return false;
    i = star + 1;
    k = ++mark;
  }
  while (i < p.size() && p[i] == '%') ++i;
  return i == p.size();
}

bool IsAscii(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

void Like(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const std::string_view pattern = TextOf(argv[0]);
  const std::string_view text = TextOf(argv[1]);
  if (pattern.size() > static_cast<std::size_t>(sqlite3_limit(sqlite3_context_db_handle(ctx),
                                                              SQLITE_LIMIT_LIKE_PATTERN_LENGTH, -1)))
    return Error(ctx, "LIKE or GLOB pattern too complex");
  std::optional<char32_t> escape;
  if (argc > 2) {
    const std::vector<char32_t> e = CodePoints(TextOf(argv[2]));
    if (e.size() != 1) return Error(ctx, "ESCAPE expression must be a single character");
    escape = e.front();
  }
  if (IsAscii(pattern) && IsAscii(text) && (!escape || *escape < 0x80)) {
    const int esc = escape ? static_cast<int>(*escape) : -1;
    return sqlite3_result_int(ctx, AsciiLike(pattern, text, esc) ? 1 : 0);
  }
  const std::vector<PatternItem> items = CompilePattern(CodePoints(pattern), escape, false);
  sqlite3_result_int(ctx, MatchPattern(items, CodePoints(text)) ? 1 : 0);
}

// ----- DATEPART, DATEADD, DATEDIFF -----

bool DateArg(sqlite3_context* ctx, sqlite3_value* v, Stamp& out) {
  const std::optional<Stamp> s = StampOf(v);
  if (!s) {
    Error(ctx, kDateConversion);
    return false;
  }
  out = *s;
  return true;
}

int Weekday(std::int64_t day) {  // Sunday = 1, as with the server's default first day
  const std::int64_t w = (day + 4) % 7;  // 1970-01-01 was a Thursday
  return static_cast<int>((w + 7) % 7) + 1;
}

std::int64_t DayOfYear(std::int64_t day) {
  const CivilDate c = CivilFromDays(day);
  return day - DaysFromCivil(c.year, 1, 1) + 1;
}

void TwDatePart(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const std::string part(TextOf(argv[0]));
  Stamp s;
  if (!DateArg(ctx, argv[1], s)) return;
  const CivilDate c = CivilFromDays(s.day);
  std::int64_t r = 0;
  if (part == "year") r = c.year;
  else if (part == "quarter") r = (c.month - 1) / 3 + 1;
  else if (part == "month") r = c.month;
  else if (part == "dayofyear") r = DayOfYear(s.day);
  else if (part == "day") r = c.day;
  else if (part == "week") r = (DayOfYear(s.day) - 1 + Weekday(DaysFromCivil(c.year, 1, 1)) - 1) / 7 + 1;
  else if (part == "weekday") r = Weekday(s.day);
  else if (part == "hour") r = s.ms / 3'600'000;
  else if (part == "minute") r = s.ms / 60'000 % 60;
  else if (part == "second") r = s.ms / 1000 % 60;
  else if (part == "millisecond") r = s.ms % 1000;
  else return Error(ctx, "'" + part + "' is not a recognized datepart option.");
  sqlite3_result_int64(ctx, r);
}

void TwDateAdd(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const std::string part(TextOf(argv[0]));
  const std::optional<Number> n = NumberOf(argv[1]);
  if (!n) return Error(ctx, ConversionError(TextOf(argv[1]), "int"));
  const double amount_d = std::trunc(n->d);
  if (std::fabs(amount_d) > 2147483647.0) return Error(ctx, kDateOverflow);
  const auto amount = static_cast<std::int64_t>(amount_d);
  Stamp s;
  if (!DateArg(ctx, argv[2], s)) return;
  Stamp r = s;
  if (part == "year" || part == "quarter" || part == "month") {
    const std::int64_t months = part == "year" ? amount * 12 : part == "quarter" ? amount * 3 : amount;
    const CivilDate c = CivilFromDays(s.day);
    const std::int64_t total = static_cast<std::int64_t>(c.year) * 12 + (c.month - 1) + months;
    const std::int64_t year = total >= 0 ? total / 12 : -1;
    if (year < 1 || year > 9999) return Error(ctx, kDateOverflow);
    const int month = static_cast<int>(total % 12) + 1;
    const int day = std::min(c.day, DaysInMonth(static_cast<int>(year), month));
    r.day = DaysFromCivil(static_cast<int>(year), month, day);
  } else {
    std::int64_t unit_ms = 0;
    if (part == "day" || part == "dayofyear" || part == "weekday") unit_ms = kMsPerDay;
    else if (part == "week") unit_ms = 7 * kMsPerDay;
    else if (part == "hour") unit_ms = 3'600'000;
    else if (part == "minute") unit_ms = 60'000;
    else if (part == "second") unit_ms = 1000;
    else if (part == "millisecond") unit_ms = 1;
    else return Error(ctx, "'" + part + "' is not a recognized dateadd option.");
    if (!AddDays(s, static_cast<double>(amount) * static_cast<double>(unit_ms) / kMsPerDay, r)) {
      return Error(ctx, kDateOverflow);
    }
  }
  if (!InRange(r)) return Error(ctx, kDateOverflow);
  ResultText(ctx, FormatStamp(r));
}

// The number of part boundaries crossed from the first date to the second.
void TwDateDiff(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const std::string part(TextOf(argv[0]));
  Stamp a, b;
  if (!DateArg(ctx, argv[1], a) || !DateArg(ctx, argv[2], b)) return;
  const CivilDate ca = CivilFromDays(a.day), cb = CivilFromDays(b.day);
  std::int64_t r = 0;
  const std::int64_t ms_a = a.day * kMsPerDay + a.ms, ms_b = b.day * kMsPerDay + b.ms;
  auto floor_div = [](std::int64_t x, std::int64_t y) { return x >= 0 ? x / y : -((-x + y - 1) / y); };
  if (part == "year") r = cb.year - ca.year;
  else if (part == "quarter") r = (cb.year * 4 + (cb.month - 1) / 3) - (ca.year * 4 + (ca.month - 1) / 3);
  else if (part == "month") r = (cb.year * 12 + cb.month) - (ca.year * 12 + ca.month);
  else if (part == "day" || part == "dayofyear" || part == "weekday") r = b.day - a.day;
  // Weeks turn on Sundays; day 3 after 1970-01-01 was a Sunday.
  else if (part == "week") r = floor_div(b.day - 3, 7) - floor_div(a.day - 3, 7);
  else if (part == "hour") r = floor_div(ms_b, 3'600'000) - floor_div(ms_a, 3'600'000);
  else if (part == "minute") r = floor_div(ms_b, 60'000) - floor_div(ms_a, 60'000);
  else if (part == "second") r = floor_div(ms_b, 1000) - floor_div(ms_a, 1000);
  else if (part == "millisecond") r = ms_b - ms_a;
  else return Error(ctx, "'" + part + "' is not a recognized datediff option.");
  if (r < INT32_MIN || r > INT32_MAX) {
    return Error(ctx, "The datediff function resulted in an overflow. The number of dateparts separating two "
                      "date/time instances is too large.");
  }
  sqlite3_result_int64(ctx, r);
}

struct FunctionDef {
  const char* name;
  int args;
  void (*fn)(sqlite3_context*, int, sqlite3_value**);
};

constexpr FunctionDef kFunctions[] = {
    {"tw_add", 2, TwAdd},
    {"tw_sub", 2, TwSub},
    {"tw_bitxor", 2, TwBitXor},
    {"tw_cast_date", 1, TwCastDate},
    {"tw_cast_datetime", 1, TwCastDateTime},
    {"tw_cast_text", 3, TwCastText},
    {"tw_cast_int", 2, TwCastInt},
    {"tw_cast_bit", 1, TwCastBit},
    {"tw_cast_num", 3, TwCastNum},
    {"tw_format_date", 2, TwFormatDate},
    {"tw_substring", 3, TwSubstring},
    {"tw_left", 2, TwLeft},
    {"tw_right", 2, TwRight},
    {"tw_charindex", 2, TwCharIndex},
    {"tw_charindex", 3, TwCharIndex},
    {"tw_replace", 3, TwReplace},
    {"tw_isnumeric", 1, TwIsNumeric},
    {"tw_isdate", 1, TwIsDate},
    {"tw_like", 2, TwLike},
    {"tw_like", 3, TwLike},
    {"like", 2, Like},
    {"like", 3, Like},
    {"tw_datepart", 2, TwDatePart},
    {"tw_dateadd", 3, TwDateAdd},
    {"tw_datediff", 3, TwDateDiff},
};

}  // namespace

int RegisterTsqlFunctions(sqlite3* db) {
  for (const FunctionDef& f : kFunctions) {
    const int rc = sqlite3_create_function_v2(db, f.name, f.args, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS,
                                              nullptr, f.fn, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return rc;
  }
  return SQLITE_OK;
}

}  // namespace tarnwick::tsql
