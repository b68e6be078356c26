// Moving values between the office database and Variants by the declared
// SQL types of columns and parameters (see values.hpp).
#include "gateway/sqlite/values.hpp"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "gateway/tsql/limits.hpp"
#include "runtime/dates.hpp"
#include "runtime/decimal_text.hpp"
#include "runtime/text.hpp"
#include "tarnwick/error.hpp"

namespace tarnwick::sqlite::engine_detail {

namespace {

// Names, declared types and values the engine reads lose any white space around them.
std::string_view Trim(std::string_view s) { return runtime::Trim(s, runtime::kWhiteSpace); }

const char* KindName(SqlKind kind) {
  switch (kind) {
    case SqlKind::Int: return "int";
    case SqlKind::SmallInt: return "smallint";
    case SqlKind::Bit: return "bit";
    case SqlKind::Money: return "money";
    case SqlKind::DateTime: return "datetime";
    case SqlKind::Text: return "text";
    case SqlKind::Binary: return "binary";
    case SqlKind::Real: return "float";
    case SqlKind::None: break;
  }
  return "untyped";
}

// The largest integer money value whose scaled form fits in 64 bits.
constexpr std::int64_t kMaxMoneyUnits = std::numeric_limits<std::int64_t>::max() / 10000;

// 30 Dec 1899, day 0 of the OLE automation date, counted from 1970-01-01.
constexpr std::int64_t kOleEpoch = dates::kDateEpochDay;

std::string TextOf(sqlite3_stmt* stmt, int col) {
  const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, col));
  const int n = sqlite3_column_bytes(stmt, col);
  return p ? std::string(p, static_cast<std::size_t>(n)) : std::string();
}

Bytes BlobOf(sqlite3_stmt* stmt, int col) {
  const auto* p = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt, col));
  const int n = sqlite3_column_bytes(stmt, col);
  return p ? Bytes(p, p + n) : Bytes();
}

Variant FromInt64(sqlite3_int64 v) {
  if (v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max())
    return Variant(static_cast<std::int32_t>(v));
  return Variant(static_cast<double>(v));
}

// A whole number written plainly ("-12"), as SQLite would store it in a
// column without integer affinity.
std::optional<sqlite3_int64> PlainInteger(std::string_view s) {
  s = Trim(s);
  if (s.empty()) return std::nullopt;
  char* end = nullptr;
  const std::string copy(s);
  errno = 0;
  const long long v = std::strtoll(copy.c_str(), &end, 10);
  if (errno != 0 || end != copy.c_str() + copy.size()) return std::nullopt;
  return static_cast<sqlite3_int64>(v);
}

std::optional<double> PlainReal(std::string_view s) {
  s = Trim(s);
  if (s.empty()) return std::nullopt;
  const std::string copy(s);
  char* end = nullptr;
  const double v = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

Variant MoneyFromDouble(double v) {
  const double scaled = std::nearbyint(v * 10000.0);
  if (std::fabs(scaled) < 9.2e18) return Variant(Currency{static_cast<std::int64_t>(scaled)});
  return Variant(v);
}

// A money value written out in full ("922337203685477.5807"), as kept for an
// amount a double cannot hold exactly; nothing when it is no amount.
std::optional<Currency> MoneyFromText(std::string_view text) {
  const runtime::NumericParse parsed = runtime::ParseNumericText(text);
  if (parsed.status != runtime::NumericStatus::Ok) return std::nullopt;
  const auto scaled = runtime::ToCurrencyScaled(parsed.number);
  if (!scaled) return std::nullopt;
  return Currency{*scaled};
}

// How a money column keeps an amount: a whole amount as an integer, an amount
// a double reads back exactly as a real, so that sums and comparisons in SQL
// see plain numbers, and any other amount (beyond about 900 billion, where a
// double has fewer than four decimals) as its exact decimal text in a blob,
// which a numeric column keeps as it is where it would round a text.
void StoreMoney(std::int64_t scaled, SqlValue& out) {
  using S = SqlValue::Storage;
  if (scaled % 10000 == 0) {
    out.storage = S::Integer;
    out.integer = scaled / 10000;
    return;
  }
  const double real = static_cast<double>(scaled) / 10000.0;
  const Variant back = MoneyFromDouble(real);
  if (back.Type() == VarType::Currency && back.CCur().scaled == scaled) {
    out.storage = S::Real;
    out.real = real;
    return;
  }
  const std::string text = Variant(Currency{scaled}).CStr();
  out.storage = S::Blob;
  out.blob.assign(text.begin(), text.end());
}

}  // namespace

bool SameName(std::string_view a, std::string_view b) { return runtime::EqualsNoCase(a, b); }

SqlKind KindOfDeclaredType(std::string_view declared) {
  const std::string type = runtime::ToLower(Trim(declared));
  if (type.empty()) return SqlKind::None;
  std::size_t end = 0;
  while (end < type.size() && type[end] != '(' && type[end] != ' ' && type[end] != '\t') ++end;
  const std::string_view head(type.data(), end);
  if (head == "int" || head == "integer") return SqlKind::Int;
  if (head == "smallint" || head == "tinyint") return SqlKind::SmallInt;
  if (head == "bit" || head == "boolean") return SqlKind::Bit;
  if (head == "money" || head == "smallmoney") return SqlKind::Money;
  if (head == "datetime" || head == "date" || head == "smalldatetime" || head == "datetime2" ||
      head == "datetimeoffset")
    return SqlKind::DateTime;
  if (head == "varchar" || head == "char" || head == "text" || head == "nvarchar" || head == "nchar" ||
      head == "ntext" || head == "character" || head == "clob")
    return SqlKind::Text;
  if (head == "image" || head == "varbinary" || head == "binary" || head == "blob")
    return SqlKind::Binary;
  // bigint, numeric and decimal travel as Double (the stand-in has no 64-bit
  // or decimal kind).
  if (head == "float" || head == "real" || head == "double" || head == "numeric" || head == "decimal" ||
      head == "bigint")
    return SqlKind::Real;
  // Anything else: SQLite's own affinity rules.
  if (type.find("int") != std::string::npos) return SqlKind::Int;
  if (type.find("char") != std::string::npos || type.find("clob") != std::string::npos ||
      type.find("text") != std::string::npos)
    return SqlKind::Text;
  if (type.find("blob") != std::string::npos) return SqlKind::Binary;
  if (type.find("real") != std::string::npos || type.find("floa") != std::string::npos ||
      type.find("doub") != std::string::npos)
    return SqlKind::Real;
  return SqlKind::None;
}

DataType DataTypeOfKind(SqlKind kind) {
  switch (kind) {
    case SqlKind::Int: return DataType::Integer;
    case SqlKind::SmallInt: return DataType::SmallInt;
    case SqlKind::Bit: return DataType::Boolean;
    case SqlKind::Money: return DataType::Currency;
    case SqlKind::DateTime: return DataType::DBTimeStamp;
    case SqlKind::Text: return DataType::VarChar;
    case SqlKind::Binary: return DataType::LongVarBinary;
    case SqlKind::Real: return DataType::Double;
    case SqlKind::None: break;
  }
  return DataType::Variant;
}

std::optional<Date> ParseIsoDate(std::string_view s) {
  const std::optional<dates::IsoFields> f = dates::ReadIsoFields(s);
  if (!f || f->year < 100) return std::nullopt;
  const double days = static_cast<double>(dates::DaysFromCivil(f->year, f->month, f->day) - kOleEpoch);
  const double time = (f->hour * 3600 + f->minute * 60 + f->second + f->fraction) / 86400.0;
  // Before 30 Dec 1899 the whole part counts back while the time still counts forward.
  return Date{days >= 0 ? days + time : days - time};
}

Variant ReadUntyped(sqlite3_stmt* stmt, int col) {
  switch (sqlite3_column_type(stmt, col)) {
    case SQLITE_INTEGER: return FromInt64(sqlite3_column_int64(stmt, col));
    case SQLITE_FLOAT: return Variant(sqlite3_column_double(stmt, col));
    case SQLITE_TEXT: return Variant(TextOf(stmt, col));
    case SQLITE_BLOB: return Variant(BlobOf(stmt, col));
    default: return Variant::Null();
  }
}

Variant ReadColumn(sqlite3_stmt* stmt, int col, SqlKind kind) {
  const int storage = sqlite3_column_type(stmt, col);
  if (storage == SQLITE_NULL) return Variant::Null();
  switch (kind) {
    case SqlKind::Int:
      if (storage == SQLITE_INTEGER) return FromInt64(sqlite3_column_int64(stmt, col));
      if (storage == SQLITE_FLOAT) {
        const double v = sqlite3_column_double(stmt, col);
        if (v == std::trunc(v) && v >= std::numeric_limits<std::int32_t>::min() &&
            v <= std::numeric_limits<std::int32_t>::max())
          return Variant(static_cast<std::int32_t>(v));
        return Variant(v);
      }
      break;
    case SqlKind::SmallInt:
      if (storage == SQLITE_INTEGER) {
        const sqlite3_int64 v = sqlite3_column_int64(stmt, col);
        if (v >= std::numeric_limits<std::int16_t>::min() && v <= std::numeric_limits<std::int16_t>::max())
          return Variant(static_cast<std::int16_t>(v));
        return FromInt64(v);
      }
      if (storage == SQLITE_FLOAT) return Variant(sqlite3_column_double(stmt, col));
      break;
    case SqlKind::Bit:
      if (storage == SQLITE_INTEGER) return Variant(sqlite3_column_int64(stmt, col) != 0);
      if (storage == SQLITE_FLOAT) return Variant(sqlite3_column_double(stmt, col) != 0.0);
      if (storage == SQLITE_TEXT) {
        const std::string text = TextOf(stmt, col);
        const std::string lower = runtime::ToLower(Trim(text));
        if (lower == "1" || lower == "-1" || lower == "true") return Variant(true);
        if (lower == "0" || lower == "false") return Variant(false);
        return Variant(text);
      }
      break;
    case SqlKind::Money:
      if (storage == SQLITE_INTEGER) {
        const sqlite3_int64 v = sqlite3_column_int64(stmt, col);
        if (v >= -kMaxMoneyUnits && v <= kMaxMoneyUnits) return Variant(Currency{v * 10000});
        return Variant(static_cast<double>(v));
      }
      if (storage == SQLITE_FLOAT) return MoneyFromDouble(sqlite3_column_double(stmt, col));
      if (storage == SQLITE_TEXT || storage == SQLITE_BLOB) {
        std::string text = TextOf(stmt, col);
        if (auto v = MoneyFromText(text)) return Variant(*v);
        if (auto v = PlainReal(text)) return MoneyFromDouble(*v);
        if (storage == SQLITE_BLOB) break;
        return Variant(std::move(text));
      }
      break;
    case SqlKind::DateTime:
      if (storage == SQLITE_TEXT) {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, col));
        const std::string_view text(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt, col)));
        if (auto d = ParseIsoDate(text)) return Variant(*d);
        // A date written some other way by another tool ("3/4/2005").
        try {
          if (auto d = dates::ParseText(text)) return Variant(*d);
        } catch (const RuntimeError&) {
          // Out of the date range: keep the text.
        }
        return Variant(std::string(text));
      }
      if (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT) {
        // A number in a date column is taken as a serial date when in range.
        const double v = sqlite3_column_double(stmt, col);
        if (v >= -657434.0 && v < 2958466.0) return Variant(Date{v});
        return Variant(v);
      }
      break;
    case SqlKind::Text:
      if (storage == SQLITE_TEXT) return Variant(TextOf(stmt, col));
      if (storage == SQLITE_INTEGER) return Variant(std::to_string(sqlite3_column_int64(stmt, col)));
      if (storage == SQLITE_FLOAT) return Variant(Variant(sqlite3_column_double(stmt, col)).CStr());
      break;
    case SqlKind::Binary:
      if (storage == SQLITE_BLOB || storage == SQLITE_TEXT) return Variant(BlobOf(stmt, col));
      break;
    case SqlKind::Real:
      if (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT) return Variant(sqlite3_column_double(stmt, col));
      if (storage == SQLITE_TEXT) {
        std::string text = TextOf(stmt, col);
        if (auto v = PlainReal(text)) return Variant(*v);
        return Variant(std::move(text));
      }
      break;
    case SqlKind::None:
      break;
  }
  if (storage == SQLITE_TEXT && (kind == SqlKind::Int || kind == SqlKind::SmallInt)) {
    std::string text = TextOf(stmt, col);
    if (auto v = PlainInteger(text)) {
      if (kind == SqlKind::SmallInt && *v >= std::numeric_limits<std::int16_t>::min() &&
          *v <= std::numeric_limits<std::int16_t>::max())
        return Variant(static_cast<std::int16_t>(*v));
      return FromInt64(*v);
    }
    return Variant(std::move(text));
  }
  return ReadUntyped(stmt, col);
}

namespace {

// The values of one column among cells kept row after row.
class ColumnValues {
 public:
  ColumnValues(std::vector<Variant>& cells, std::size_t column, std::size_t width)
      : cells_(cells), column_(column), width_(width) {}

  class Iterator {
   public:
    Iterator(std::vector<Variant>& cells, std::size_t at, std::size_t step) : cells_(&cells), at_(at), step_(step) {}
    Variant& operator*() const { return (*cells_)[at_]; }
    Iterator& operator++() {
      at_ += step_;
      return *this;
    }
    bool operator!=(const Iterator& other) const { return at_ != other.at_; }

   private:
    std::vector<Variant>* cells_;
    std::size_t at_, step_;
  };
  // The index after the last row's value is the size plus the column.
  Iterator begin() const { return {cells_, column_, width_}; }
  Iterator end() const { return {cells_, column_ + cells_.size(), width_}; }

 private:
  std::vector<Variant>& cells_;
  std::size_t column_, width_;
};

// An expression or a union over a money column loses the column's type. A
// column whose values are numbers and at least one amount kept as decimal
// text (StoreMoney) is such a column: it reads as Currency, exactly.
bool TypeKeptAmounts(ColumnValues values, Column& column) {
  bool kept = false;
  for (const Variant& v : values) {
    if (v.Type() == VarType::Bytes) {
      const Bytes& bytes = v.AsBytes();
      if (!MoneyFromText(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()))) return false;
      kept = true;
    } else if (!v.IsNull() && v.Type() != VarType::Long && v.Type() != VarType::Double) {
      return false;
    }
  }
  if (!kept) return false;
  for (Variant& v : values) {
    if (v.Type() == VarType::Bytes) {
      const Bytes& bytes = v.AsBytes();
      v = Variant(*MoneyFromText(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())));
    } else if (!v.IsNull()) {
      v = v.Type() == VarType::Long ? Variant(Currency{std::int64_t{v.CLng()} * 10000}) : MoneyFromDouble(v.CDbl());
    }
  }
  column.type = DataType::Currency;
  return true;
}

}  // namespace

void TypeUntypedColumns(const std::vector<SqlKind>& kinds, std::vector<Column>& columns,
                        std::vector<Variant>& cells) {
  for (std::size_t c = 0; c < columns.size(); ++c) {
    if (kinds[c] != SqlKind::None) continue;
    const ColumnValues values{cells, c, columns.size()};
    if (TypeKeptAmounts(values, columns[c])) continue;
    const Variant* first = nullptr;
    for (const Variant& v : values) {
      if (!v.IsNull()) {
        first = &v;
        break;
      }
    }
    if (!first) {
      columns[c].type = DataType::Variant;
      continue;
    }
    switch (first->Type()) {
      case VarType::Long:
      case VarType::Double: {
        // Numbers: a column mixing whole and fractional values is a Double column.
        bool allNumeric = true, anyDouble = false;
        for (const Variant& v : values) {
          const VarType t = v.Type();
          anyDouble = anyDouble || t == VarType::Double;
          allNumeric = allNumeric && (t == VarType::Long || t == VarType::Double || t == VarType::Null);
        }
        if (allNumeric && anyDouble) {
          columns[c].type = DataType::Double;
          for (Variant& v : values)
            if (v.Type() == VarType::Long) v = Variant(static_cast<double>(v.CLng()));
        } else {
          columns[c].type = first->Type() == VarType::Long ? DataType::Integer : DataType::Double;
        }
        break;
      }
      case VarType::String: {
        // An expression over a date column (max(update_date), date(x)) still
        // reads as a date when every value is one.
        bool allDates = ParseIsoDate(first->CStr()).has_value();
        for (const Variant& v : values) {
          if (!allDates) break;
          allDates = v.IsNull() || (v.Type() == VarType::String && ParseIsoDate(v.CStr()));
        }
        if (allDates) {
          columns[c].type = DataType::DBTimeStamp;
          for (Variant& v : values)
            if (!v.IsNull()) v = Variant(*ParseIsoDate(v.CStr()));
        } else {
          columns[c].type = DataType::VarChar;
        }
        break;
      }
      case VarType::Bytes: columns[c].type = DataType::LongVarBinary; break;
      default: columns[c].type = DataType::VarChar; break;
    }
  }
}

std::string ToSqlValue(const Variant& value, SqlKind kind, SqlValue& out) {
  using S = SqlValue::Storage;
  out = SqlValue{};
  const VarType type = value.Type();
  if (type == VarType::Empty || type == VarType::Null) return {};
  if (type == VarType::Object) return std::string("an object cannot be stored as ") + KindName(kind);
  if (type == VarType::String && kind != SqlKind::Text && kind != SqlKind::None &&
      Trim(value.CStr()).empty()) {
    // The library stores empty text as Null; a number or date column has no empty value.
    return {};
  }
  if (type == VarType::Bytes && kind != SqlKind::Binary && kind != SqlKind::None && kind != SqlKind::Text)
    return std::string("a byte array cannot be stored as ") + KindName(kind);
  auto describe = [&]() {
    std::string text;
    try {
      text = value.Text();
    } catch (const RuntimeError&) {
      text = "(value)";
    }
    return "'" + text + "' cannot be stored as " + KindName(kind);
  };
  try {
    switch (kind) {
      case SqlKind::Int:
        out.storage = S::Integer;
        out.integer = type == VarType::Boolean ? (value.CBool() ? 1 : 0) : value.CLng();
        return {};
      case SqlKind::SmallInt:
        out.storage = S::Integer;
        out.integer = type == VarType::Boolean ? (value.CBool() ? 1 : 0) : value.CInt();
        return {};
      case SqlKind::Bit:
        out.storage = S::Integer;
        out.integer = value.CBool() ? 1 : 0;
        return {};
      case SqlKind::Money:
        StoreMoney(type == VarType::Boolean ? (value.CBool() ? 10000 : 0) : value.CCur().scaled, out);
        return {};
      case SqlKind::Real:
        out.storage = S::Real;
        out.real = type == VarType::Boolean ? (value.CBool() ? 1.0 : 0.0) : value.CDbl();
        return {};
      case SqlKind::DateTime: {
        Date d{};
        if (type == VarType::String) {
          auto parsed = dates::ParseText(Trim(value.CStr()));
          if (!parsed) return describe();
          d = *parsed;
        } else if (type == VarType::Boolean) {
          return describe();
        } else {
          d = value.CDate();
        }
        out.storage = S::Text;
        out.text = dates::IsoText(d);
        return {};
      }
      case SqlKind::Binary:
        if (type != VarType::Bytes) return describe();
        if (value.AsBytes().size() > tsql::kLargestValueBytes) return tsql::TooLargeRefusal(value.AsBytes().size());
        out.storage = S::Blob;
        out.blob = value.AsBytes();
        return {};
      case SqlKind::Text:
      case SqlKind::None:
        switch (type) {
          case VarType::Boolean: {
            const bool truth = value.CBool();
            out.storage = kind == SqlKind::Text ? S::Text : S::Integer;
            out.integer = truth ? 1 : 0;
            out.text.assign(1, truth ? '1' : '0');
            return {};
          }
          case VarType::Integer:
          case VarType::Long:
            if (kind == SqlKind::Text) {
              out.storage = S::Text;
              out.text = value.CStr();
            } else {
              out.storage = S::Integer;
              out.integer = value.CLng();
            }
            return {};
          case VarType::Double:
          case VarType::Currency:
            if (kind == SqlKind::Text) {
              out.storage = S::Text;
              out.text = value.CStr();
            } else if (type == VarType::Currency) {
              StoreMoney(value.CCur().scaled, out);
            } else {
              out.storage = S::Real;
              out.real = value.CDbl();
            }
            return {};
          case VarType::Date:
            out.storage = S::Text;
            out.text = dates::IsoText(value.CDate());
            return {};
          case VarType::String:
            // Refused as the office server refuses it, so that no stored
            // text ends at a NUL on one engine and goes on on the other.
            if (const std::size_t at = value.CStr().find('\0'); at != std::string::npos)
              return tsql::NulRefusal(at);
            out.storage = S::Text;
            out.text = value.CStr();
            return {};
          case VarType::Bytes:
            out.storage = S::Blob;
            out.blob = value.AsBytes();
            return {};
          default:
            return describe();
        }
    }
  } catch (const RuntimeError&) {
    out = SqlValue{};
    return describe();
  }
  return describe();
}

int BindSqlValue(sqlite3_stmt* stmt, int index, const SqlValue& value) {
  using S = SqlValue::Storage;
  switch (value.storage) {
    case S::Null: return sqlite3_bind_null(stmt, index);
    case S::Integer: return sqlite3_bind_int64(stmt, index, value.integer);
    case S::Real: return sqlite3_bind_double(stmt, index, value.real);
    case S::Text:
      return sqlite3_bind_text64(stmt, index, value.text.data(), value.text.size(), SQLITE_TRANSIENT,
                                 SQLITE_UTF8);
    case S::Blob:
      // An empty array stays an empty array, not Null.
      if (value.blob.empty()) return sqlite3_bind_zeroblob(stmt, index, 0);
      return sqlite3_bind_blob64(stmt, index, value.blob.data(), value.blob.size(), SQLITE_TRANSIENT);
  }
  return SQLITE_MISUSE;
}

std::string ToDeclaredValue(const Variant& value, std::string_view declared, SqlKind kind, SqlValue& out) {
  if (auto e = ToSqlValue(value, kind, out); !e.empty()) return e;
  if (out.storage != SqlValue::Storage::Text || kind != SqlKind::Text) return {};
  // The length in "varchar(150)"; none for text, varchar(max) and the like.
  const std::size_t open = declared.find('(');
  if (open == std::string_view::npos) return {};
  std::size_t limit = 0;
  const auto [end, ec] = std::from_chars(declared.data() + open + 1, declared.data() + declared.size(), limit);
  if (ec != std::errc() || end == declared.data() + declared.size() || *end != ')') return {};
  // Characters, as the server counts them: every byte that does not continue one.
  std::size_t characters = 0;
  for (const char c : out.text) characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  if (characters <= limit) return {};
  return "a text of " + std::to_string(characters) + " characters is longer than the " + std::to_string(limit) +
         " the column takes";
}

}  // namespace tarnwick::sqlite::engine_detail
