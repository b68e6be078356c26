// Reading result values and writing parameter texts (see values.hpp).
#include "gateway/postgres/values.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "gateway/sqlite/values.hpp"
#include "gateway/tsql/limits.hpp"
#include "runtime/dates.hpp"
#include "runtime/decimal_text.hpp"
#include "runtime/text.hpp"
#include "tarnwick/error.hpp"

namespace tarnwick::postgres {

namespace {

// Built-in type OIDs (fixed by the server's catalog).
constexpr Oid kBool = 16, kBytea = 17, kName = 19, kInt8 = 20, kInt2 = 21, kInt4 = 23, kText = 25, kOid = 26,
              kFloat4 = 700, kFloat8 = 701, kBpchar = 1042, kVarchar = 1043, kDate = 1082, kTimestamp = 1114,
              kTimestampTz = 1184, kNumeric = 1700, kRefcursor = 1790;

double ReadDouble(std::string_view text) {
  const std::string copy(text);
  return std::strtod(copy.c_str(), nullptr);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string HexText(const Bytes& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out = "\\x";
  out.reserve(2 + bytes.size() * 2);
  for (std::uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

std::string CurrencyText(Currency c) {
  const bool negative = c.scaled < 0;
  // The magnitude as unsigned, also for the smallest value.
  const std::uint64_t units = negative ? 0 - static_cast<std::uint64_t>(c.scaled) : static_cast<std::uint64_t>(c.scaled);
  std::string whole = std::to_string(units / 10000);
  std::string fraction = std::to_string(units % 10000);
  fraction.insert(0, 4 - fraction.size(), '0');
  return (negative ? "-" : "") + whole + "." + fraction;
}

std::optional<Date> DateOfText(std::string_view text) {
  if (auto d = sqlite::engine_detail::ParseIsoDate(text)) return d;
  try {
    return dates::ParseText(text);
  } catch (const RuntimeError&) {
    return std::nullopt;  // out of the date range: the server judges the text
  }
}

}  // namespace

TypeMap::TypeMap() {
  classes_ = {{kBool, TypeClass::Boolean},   {kBytea, TypeClass::Binary},      {kName, TypeClass::Text},
              {kInt8, TypeClass::BigInt},    {kInt2, TypeClass::SmallInt},     {kInt4, TypeClass::Int},
              {kText, TypeClass::Text},      {kOid, TypeClass::BigInt},        {kFloat4, TypeClass::Real},
              {kFloat8, TypeClass::Real},    {kBpchar, TypeClass::Text},       {kVarchar, TypeClass::Text},
              {kDate, TypeClass::Date},      {kTimestamp, TypeClass::Timestamp}, {kTimestampTz, TypeClass::Timestamp},
              {kNumeric, TypeClass::Numeric}, {kRefcursor, TypeClass::Text}};
}

void TypeMap::AddNamed(Oid oid, std::string_view name) {
  if (name == "citext") {
    citext_ = oid;
    classes_[oid] = TypeClass::Text;
  }
}

void TypeMap::AddDomain(Oid oid, Oid base) { domains_[oid] = base; }

TypeClass TypeMap::ClassOf(Oid oid) const {
  for (int hops = 0; hops < 8; ++hops) {
    if (auto c = classes_.find(oid); c != classes_.end()) return c->second;
    auto d = domains_.find(oid);
    if (d == domains_.end()) break;
    oid = d->second;
  }
  return TypeClass::Other;
}

bool TypeMap::IsCitext(Oid oid) const {
  for (int hops = 0; hops < 8 && citext_ != 0; ++hops) {
    if (oid == citext_) return true;
    auto d = domains_.find(oid);
    if (d == domains_.end()) break;
    oid = d->second;
  }
  return false;
}

ColumnKind TypeMap::KindOf(Oid oid) const {
  switch (ClassOf(oid)) {
    case TypeClass::Boolean: return {ValueKind::Boolean, false};
    case TypeClass::SmallInt:
    case TypeClass::Int:
    case TypeClass::BigInt:
    case TypeClass::Numeric:
    case TypeClass::Real: return {ValueKind::Number, false};
    case TypeClass::Timestamp:
    case TypeClass::Date: return {ValueKind::Date, false};
    case TypeClass::Text: return {ValueKind::Text, IsCitext(oid)};
    case TypeClass::Binary: return {ValueKind::Binary, false};
    case TypeClass::Other: break;
  }
  return {};
}

DataType DataTypeOf(TypeClass type, int typmod) {
  switch (type) {
    case TypeClass::Boolean: return DataType::Boolean;
    case TypeClass::SmallInt: return DataType::SmallInt;
    case TypeClass::Int:
    case TypeClass::BigInt: return DataType::Integer;
    case TypeClass::Numeric: return (typmod >= 4 && ((typmod - 4) & 0xffff) == 4) ? DataType::Currency : DataType::Double;
    case TypeClass::Real: return DataType::Double;
    case TypeClass::Timestamp:
    case TypeClass::Date: return DataType::DBTimeStamp;
    case TypeClass::Binary: return DataType::LongVarBinary;
    case TypeClass::Text:
    case TypeClass::Other: break;
  }
  return DataType::VarChar;
}

Variant ReadValue(TypeClass type, int typmod, std::string_view text) {
  switch (type) {
    case TypeClass::Boolean: return Variant(!text.empty() && text[0] == 't');
    case TypeClass::SmallInt:
    case TypeClass::Int:
    case TypeClass::BigInt: {
      std::int64_t v = 0;
      const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
      if (ec != std::errc() || end != text.data() + text.size()) return Variant(std::string(text));
      if (type == TypeClass::SmallInt && v >= std::numeric_limits<std::int16_t>::min() &&
          v <= std::numeric_limits<std::int16_t>::max())
        return Variant(static_cast<std::int16_t>(v));
      if (v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max())
        return Variant(static_cast<std::int32_t>(v));
      return Variant(static_cast<double>(v));
    }
    case TypeClass::Numeric:
      if (DataTypeOf(type, typmod) == DataType::Currency) {
        const runtime::NumericParse parsed = runtime::ParseNumericText(text);
        if (parsed.status == runtime::NumericStatus::Ok) {
          if (auto scaled = runtime::ToCurrencyScaled(parsed.number)) return Variant(Currency{*scaled});
        }
      }
      return Variant(ReadDouble(text));
    case TypeClass::Real: return Variant(ReadDouble(text));
    case TypeClass::Timestamp:
    case TypeClass::Date: {
      std::string_view local = text;
      // A time zone offset ("+00", "-05:30") after the time is dropped.
      if (local.size() > 19) {
        const std::size_t sign = local.find_last_of("+-");
        if (sign != std::string_view::npos && sign >= 19) local = local.substr(0, sign);
      }
      if (auto d = sqlite::engine_detail::ParseIsoDate(local)) return Variant(*d);
      return Variant(std::string(text));
    }
    case TypeClass::Binary: {
      if (text.size() < 2 || text[0] != '\\' || text[1] != 'x') return Variant(std::string(text));
      Bytes bytes;
      bytes.reserve((text.size() - 2) / 2);
      for (std::size_t i = 2; i + 1 < text.size(); i += 2) {
        const int hi = HexDigit(text[i]), lo = HexDigit(text[i + 1]);
        if (hi < 0 || lo < 0) return Variant(std::string(text));
        bytes.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
      }
      return Variant(std::move(bytes));
    }
    case TypeClass::Text:
    case TypeClass::Other: break;
  }
  return Variant(std::string(text));
}

std::string ParameterText(const Variant& value, TypeClass type, std::optional<std::string>& out) {
  out.reset();
  const VarType vt = value.Type();
  if (vt == VarType::Null || vt == VarType::Empty) return {};
  if (vt == VarType::Object) return "An object cannot be given to a procedure parameter";
  const bool isText = type == TypeClass::Text || type == TypeClass::Other;
  if (vt == VarType::String && !isText && runtime::Trim(value.CStr()).empty()) return {};
  try {
    switch (type) {
      case TypeClass::Boolean:
        if (vt == VarType::String) {
          const std::string lower = runtime::ToLower(runtime::Trim(value.CStr()));
          if (lower == "true" || lower == "false") out = lower;
          else out = value.CBool() ? "true" : "false";
        } else {
          out = value.CBool() ? "true" : "false";
        }
        return {};
      case TypeClass::SmallInt:
      case TypeClass::Int:
      case TypeClass::BigInt:
        if (vt == VarType::Boolean) out = value.CBool() ? "-1" : "0";
        else if (vt == VarType::String) out = std::string(runtime::Trim(value.CStr()));
        else if (vt == VarType::Double || vt == VarType::Currency || vt == VarType::Date) out = std::to_string(value.CLng());
        else out = value.CStr();
        return {};
      case TypeClass::Numeric:
      case TypeClass::Real:
        if (vt == VarType::Boolean) out = value.CBool() ? "-1" : "0";
        else if (vt == VarType::Currency) out = CurrencyText(value.CCur());
        else if (vt == VarType::String) {
          // Money as the clerk writes it ("$1,234.50") is read as the runtime reads it.
          const std::string text(runtime::Trim(value.CStr()));
          const runtime::NumericParse parsed = runtime::ParseNumericText(text);
          if (parsed.status == runtime::NumericStatus::Ok && type == TypeClass::Numeric) {
            if (auto scaled = runtime::ToCurrencyScaled(parsed.number)) {
              out = CurrencyText(Currency{*scaled});
              return {};
            }
          }
          out = text;
        } else if (vt == VarType::Double) {
          char buffer[32];
          const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value.CDbl());
          out = std::string(buffer, ec == std::errc() ? end : buffer);
        } else {
          out = value.CStr();
        }
        return {};
      case TypeClass::Timestamp:
      case TypeClass::Date:
        if (vt == VarType::Date) {
          out = dates::IsoText(value.CDate());
        } else if (vt == VarType::String) {
          const std::string text(runtime::Trim(value.CStr()));
          if (auto d = DateOfText(text)) out = dates::IsoText(*d);
          else out = text;  // the server names what it cannot read
        } else {
          out = dates::IsoText(value.CDate());
        }
        return {};
      case TypeClass::Binary:
        if (vt == VarType::Bytes && value.AsBytes().size() > tsql::kLargestValueBytes)
          return tsql::TooLargeRefusal(value.AsBytes().size());
        if (vt == VarType::Bytes) out = HexText(value.AsBytes());
        else out = value.CStr();
        return {};
      case TypeClass::Text:
      case TypeClass::Other:
        if (vt == VarType::Bytes) {
          const Bytes& b = value.AsBytes();
          out = std::string(b.begin(), b.end());
        } else if (vt == VarType::Date) {
          // As the file stores a date: the runtime's own text of 30 Dec 1899
          // is a bare time ("12:00:00 AM"), which no date reader takes back.
          out = dates::IsoText(value.CDate());
        } else {
          out = value.CStr();
        }
        // The server's texts end at a NUL: refused, never stored cut short.
        if (const std::size_t at = out->find('\0'); at != std::string::npos) {
          out.reset();
          return tsql::NulRefusal(at);
        }
        return {};
    }
  } catch (const RuntimeError& e) {
    return std::string("The value cannot be given to the parameter: ") + e.what();
  }
  return {};
}

}  // namespace tarnwick::postgres
