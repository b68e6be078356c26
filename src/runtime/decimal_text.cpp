// Reading numbers written as text the way the runtime's conversions do (see
// decimal_text.hpp).
#include "runtime/decimal_text.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

#include "runtime/number_marks.hpp"
#include "runtime/raise.hpp"
#include "tarnwick/error.hpp"

namespace tarnwick::runtime {
namespace {

constexpr std::int32_t kExponentCap = 100000;  // far beyond any double or Currency

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int RadixDigit(char c, int radix) {
  int d = -1;
  if (c >= '0' && c <= '9') d = c - '0';
  else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
  return d < radix ? d : -1;
}

// Reads hex or octal digits at text[i...]; the value is 16-bit when it fits
// 16 bits and 32-bit when it fits 32 bits, reinterpreted as signed.
NumericStatus ReadRadix(std::string_view text, std::size_t& i, int radix, std::int32_t& out) {
  std::uint64_t value = 0;
  std::size_t start = i;
  bool tooBig = false;
  for (; i < text.size(); ++i) {
    int d = RadixDigit(text[i], radix);
    if (d < 0) break;
    value = value * static_cast<std::uint64_t>(radix) + static_cast<std::uint64_t>(d);
    if (value > 0xFFFFFFFFull) tooBig = true, value = 0xFFFFFFFFull + 1;
  }
  if (i == start) return NumericStatus::NotNumeric;
  if (tooBig) return NumericStatus::Overflow;
  if (value <= 0xFFFFull) {
    out = static_cast<std::int16_t>(static_cast<std::uint16_t>(value));
  } else {
    out = static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
  }
  return NumericStatus::Ok;
}

DecimalNumber FromInteger(std::int64_t v) {
  DecimalNumber n;
  n.negative = v < 0;
  std::uint64_t mag = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
  if (mag != 0) n.digits = std::to_string(mag);  // zero has no significant digits
  return n;
}

void Normalise(DecimalNumber& n) {
  std::size_t lead = n.digits.find_first_not_of('0');
  if (lead == std::string::npos) {
    n.digits.clear();
    n.exponent = 0;
    n.negative = false;
    return;
  }
  n.digits.erase(0, lead);
  std::size_t last = n.digits.find_last_not_of('0');
  n.exponent += static_cast<std::int32_t>(n.digits.size() - 1 - last);
  n.digits.resize(last + 1);
}

// Reads "E[sign]digits" at text[i]; leaves i unchanged when there is no
// complete exponent.
bool ReadExponent(std::string_view text, std::size_t& i, std::int32_t& exponent) {
  if (i >= text.size() || (text[i] != 'E' && text[i] != 'e')) return false;
  std::size_t j = i + 1;
  bool neg = false;
  if (j < text.size() && (text[j] == '+' || text[j] == '-')) neg = text[j++] == '-';
  if (j >= text.size() || !IsDigit(text[j])) return false;
  std::int32_t e = 0;
  for (; j < text.size() && IsDigit(text[j]); ++j) e = std::min(kExponentCap, e * 10 + (text[j] - '0'));
  exponent = neg ? -e : e;
  i = j;
  return true;
}

}  // namespace

NumericParse ParseNumericText(std::string_view text) {
  NumericParse result;
  const std::optional<NumberMarks> marks = ReadNumberMarks(text);
  if (!marks) return result;
  text = marks->body;
  std::size_t i = 0;

  if (text[i] == '&' && i + 1 < text.size()) {
    if (marks->marked) return result;
    char r = text[i + 1];
    int radix = (r == 'H' || r == 'h') ? 16 : (r == 'O' || r == 'o') ? 8 : 0;
    if (radix == 0) return result;
    i += 2;
    std::int32_t value = 0;
    NumericStatus s = ReadRadix(text, i, radix, value);
    if (s != NumericStatus::Ok) return {s, {}};
    if (i != text.size()) return result;
    return {NumericStatus::Ok, FromInteger(value)};
  }

  DecimalNumber n;
  n.negative = marks->negative;
  bool anyDigit = false;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (IsDigit(c)) {
      n.digits.push_back(c);
      anyDigit = true;
    } else if (c == ',' && anyDigit && i + 1 < text.size() && IsDigit(text[i + 1])) {
      continue;  // digit grouping
    } else {
      break;
    }
  }
  if (i < text.size() && text[i] == '.') {
    for (++i; i < text.size() && IsDigit(text[i]); ++i) {
      n.digits.push_back(text[i]);
      --n.exponent;
      anyDigit = true;
    }
  }
  if (!anyDigit) return result;
  std::int32_t e = 0;
  if (ReadExponent(text, i, e)) n.exponent += e;
  if (i != text.size()) return result;
  Normalise(n);
  return {NumericStatus::Ok, std::move(n)};
}

std::optional<double> ToDouble(const DecimalNumber& n) {
  if (n.digits.empty()) return 0.0;
  std::string text = n.digits + "e" + std::to_string(n.exponent);
  double value = 0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec == std::errc::result_out_of_range) {
    // Decide between a value too large and one too small to represent.
    if (static_cast<std::int64_t>(n.digits.size()) + n.exponent > 0) return std::nullopt;
    return 0.0;
  }
  if (ec != std::errc() || !std::isfinite(value)) return std::nullopt;
  return n.negative ? -value : value;
}

std::optional<std::int64_t> ToCurrencyScaled(const DecimalNumber& n) {
  if (n.digits.empty()) return 0;
  const std::int64_t shift = static_cast<std::int64_t>(n.exponent) + 4;
  const std::int64_t size = static_cast<std::int64_t>(n.digits.size());
  const std::int64_t keep = size + shift;  // digits left of the fourth decimal
  if (keep > 19) return std::nullopt;
  std::uint64_t mag = 0;
  for (std::int64_t k = 0; k < keep; ++k) {
    std::uint64_t d = k < size ? static_cast<std::uint64_t>(n.digits[static_cast<std::size_t>(k)] - '0') : 0;
    if (__builtin_mul_overflow(mag, 10u, &mag) || __builtin_add_overflow(mag, d, &mag)) return std::nullopt;
  }
  if (keep >= 0 && keep < size) {
    // Round half to even on the dropped digits. Trailing zeros were removed,
    // so a 5 followed by more dropped digits is more than half a unit. When
    // keep < 0 the value is below a tenth of a unit and rounds to zero.
    int first = n.digits[static_cast<std::size_t>(keep)] - '0';
    bool moreAfter = size - keep > 1;
    bool up = first > 5 || (first == 5 && (moreAfter || mag % 2 == 1));
    if (up && __builtin_add_overflow(mag, 1u, &mag)) return std::nullopt;
  }
  constexpr std::uint64_t kMaxPositive = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  if (n.negative) {
    if (mag > kMaxPositive + 1) return std::nullopt;
    return mag == kMaxPositive + 1 ? std::numeric_limits<std::int64_t>::min() : -static_cast<std::int64_t>(mag);
  }
  if (mag > kMaxPositive) return std::nullopt;
  return static_cast<std::int64_t>(mag);
}

double Val(std::string_view text) {
  std::string s;
  s.reserve(text.size());
  for (char c : text) {
    if (c != ' ' && c != '\t' && c != '\n') s.push_back(c);
  }
  std::size_t i = 0;
  if (s.size() >= 2 && s[0] == '&') {
    char r = s[1];
    int radix = (r == 'H' || r == 'h') ? 16 : (r == 'O' || r == 'o') ? 8 : 0;
    if (radix == 0) return 0;
    i = 2;
    std::int32_t value = 0;
    NumericStatus st = ReadRadix(s, i, radix, value);
    if (st == NumericStatus::Overflow) Raise(err::kOverflow);
    return st == NumericStatus::Ok ? value : 0;
  }
  DecimalNumber n;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) n.negative = s[i++] == '-';
  bool anyDigit = false;
  for (; i < s.size() && IsDigit(s[i]); ++i) n.digits.push_back(s[i]), anyDigit = true;
  if (i < s.size() && s[i] == '.') {
    for (++i; i < s.size() && IsDigit(s[i]); ++i) n.digits.push_back(s[i]), --n.exponent, anyDigit = true;
  }
  if (!anyDigit) return 0;
  std::int32_t e = 0;
  if (ReadExponent(s, i, e)) n.exponent += e;
  Normalise(n);
  std::optional<double> d = ToDouble(n);
  if (!d) Raise(err::kOverflow);
  return *d;
}

bool IsNumeric(const Variant& v) {
  switch (v.Type()) {
    case VarType::Empty:
    case VarType::Boolean:
    case VarType::Integer:
    case VarType::Long:
    case VarType::Double:
    case VarType::Currency: return true;
    // A number too large for any kind is still a number (its conversions overflow).
    case VarType::String: return ParseNumericText(v.CStr()).status != NumericStatus::NotNumeric;
    default: return false;
  }
}

}  // namespace tarnwick::runtime
