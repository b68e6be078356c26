// Values of the office in JSON.
#include "client/json_value.hpp"

#include <fmt/core.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "runtime/dates.hpp"

namespace tarnwick::client {
namespace {

std::string MoneyText(Currency money) {
  // The magnitude as unsigned, so that the most negative amount has one too.
  const bool negative = money.scaled < 0;
  const std::uint64_t magnitude = negative ? std::uint64_t{0} - static_cast<std::uint64_t>(money.scaled)
                                           : static_cast<std::uint64_t>(money.scaled);
  return fmt::format("{}{}.{:04}", negative ? "-" : "", magnitude / 10000, magnitude % 10000);
}

std::string IsoDateText(Date date) {
  const dates::Civil c = dates::ToCivil(date);
  std::string text = fmt::format("{:04}-{:02}-{:02}", c.year, c.month, c.day);
  if (c.hour != 0 || c.minute != 0 || c.second != 0) {
    text += fmt::format("T{:02}:{:02}:{:02}", c.hour, c.minute, c.second);
  }
  return text;
}

std::string Base64(const Bytes& bytes) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
    std::uint32_t group = static_cast<std::uint32_t>(bytes[i]) << 16;
    if (n > 1) group |= static_cast<std::uint32_t>(bytes[i + 1]) << 8;
    if (n > 2) group |= bytes[i + 2];
    for (std::size_t k = 0; k < 4; ++k) text += k <= n ? kAlphabet[(group >> (18 - 6 * k)) & 0x3F] : '=';
  }
  return text;
}

nlohmann::ordered_json Number(double value) {
  if (!std::isfinite(value)) return nullptr;
  constexpr double kExactWhole = 9007199254740992.0;  // 2^53: every whole double below it is exact
  if (std::trunc(value) == value && std::fabs(value) < kExactWhole) return static_cast<std::int64_t>(value);
  return value;
}

}  // namespace

nlohmann::ordered_json JsonValue(const Variant& value) {
  switch (value.Type()) {
    case VarType::Empty:
    case VarType::Null: return nullptr;
    case VarType::Boolean: return value.CBool();
    case VarType::Integer:
    case VarType::Long: return value.CLng();
    case VarType::Double: return Number(value.CDbl());
    case VarType::Currency: return MoneyText(value.CCur());
    case VarType::Date: return IsoDateText(value.CDate());
    case VarType::String: return value.CStr();
    case VarType::Bytes: return Base64(value.AsBytes());
    case VarType::Object: break;
  }
  if (value.IsNothing()) return nullptr;
  throw std::invalid_argument("an object reference has no JSON form");
}

}  // namespace tarnwick::client
