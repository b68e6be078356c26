// Variant: the runtime's value, its conversions (CStr, CLng, CBool ...) and
// comparisons.
#include "tarnwick/variant.hpp"

#include <charconv>
#include <cmath>
#include <limits>
#include <utility>

#include "runtime/dates.hpp"
#include "runtime/decimal_text.hpp"
#include "runtime/raise.hpp"
#include "tarnwick/error.hpp"

namespace tarnwick {
namespace {

using runtime::Raise;

constexpr double kMinSerial = -657434.0;   // 1 Jan 100
constexpr double kSerialLimit = 2958466.0; // first value past 31 Dec 9999

// The 15-significant-digit text of a double.
std::string DoubleText(double x) {
  if (!std::isfinite(x)) Raise(err::kOverflow);
  if (x == 0) return "0";  // also negative zero
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific, 14);
  std::string_view sci(buf, static_cast<std::size_t>(res.ptr - buf));  // "-d.ddddddddddddddde+XX"
  bool negative = sci.front() == '-';
  if (negative) sci.remove_prefix(1);
  std::size_t ePos = sci.find('e');
  std::string digits;
  for (char c : sci.substr(0, ePos)) {
    if (c != '.') digits.push_back(c);
  }
  int exponent = 0;
  std::string_view expText = sci.substr(ePos + 1);
  if (expText.front() == '+') expText.remove_prefix(1);
  std::from_chars(expText.data(), expText.data() + expText.size(), exponent);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  const int k = static_cast<int>(digits.size());

  std::string out = negative ? "-" : "";
  if (exponent < 15 && k - 1 - exponent <= 15) {
    if (exponent >= 0) {
      const int intDigits = exponent + 1;
      if (k <= intDigits) {
        out += digits;
        out.append(static_cast<std::size_t>(intDigits - k), '0');
      } else {
        out += digits.substr(0, static_cast<std::size_t>(intDigits));
        out += '.';
        out += digits.substr(static_cast<std::size_t>(intDigits));
      }
    } else {
      out += "0.";
      out.append(static_cast<std::size_t>(-exponent - 1), '0');
      out += digits;
    }
    return out;
  }
  out += digits[0];
  if (k > 1) {
    out += '.';
    out += digits.substr(1);
  }
  out += exponent < 0 ? "E-" : "E+";
  int mag = exponent < 0 ? -exponent : exponent;
  if (mag < 10) out += '0';
  out += std::to_string(mag);
  return out;
}

std::string CurrencyText(Currency c) {
  const bool negative = c.scaled < 0;
  const std::uint64_t mag = negative ? 0 - static_cast<std::uint64_t>(c.scaled) : static_cast<std::uint64_t>(c.scaled);
  std::string out = negative ? "-" : "";
  out += std::to_string(mag / 10000);
  std::uint64_t frac = mag % 10000;
  if (frac != 0) {
    std::string f = std::to_string(frac);
    f.insert(0, 4 - f.size(), '0');
    while (f.back() == '0') f.pop_back();
    out += '.';
    out += f;
  }
  return out;
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Bytes paired little-endian into UTF-16 units (an odd last byte is a unit of
// its own), then written as UTF-8; a lone surrogate becomes U+FFFD.
std::string BytesText(const Bytes& b) {
  std::vector<std::uint16_t> units;
  units.reserve(b.size() / 2 + 1);
  for (std::size_t i = 0; i < b.size(); i += 2) {
    std::uint16_t u = b[i];
    if (i + 1 < b.size()) u = static_cast<std::uint16_t>(u | (b[i + 1] << 8));
    units.push_back(u);
  }
  std::string out;
  out.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    std::uint32_t u = units[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00));
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      AppendUtf8(out, 0xFFFD);
    } else {
      AppendUtf8(out, u);
    }
  }
  return out;
}

// An object used where a value is wanted: its default member's value. No
// result-set or library object has a default member; Nothing has no object.
[[noreturn]] void RaiseObjectValue(bool nothing) { Raise(nothing ? err::kObjectNotSet : err::kNoSuchMember); }

runtime::DecimalNumber ParseOrRaise(const std::string& text) {
  runtime::NumericParse p = runtime::ParseNumericText(text);
  if (p.status == runtime::NumericStatus::Overflow) Raise(err::kOverflow);
  if (p.status != runtime::NumericStatus::Ok) Raise(err::kTypeMismatch);
  return std::move(p.number);
}

// Rounds to the nearest whole number, ties to the even one, whatever the
// floating-point rounding mode.
double RoundHalfEven(double x) {
  double f = std::floor(x);
  double diff = x - f;
  if (diff > 0.5 || (diff == 0.5 && std::fmod(f, 2.0) != 0.0)) f += 1.0;
  return f;
}

// Rounds half to even and checks the integer range [lo, hi].
std::int64_t RoundToRange(double x, std::int64_t lo, std::int64_t hi) {
  if (!std::isfinite(x)) Raise(err::kOverflow);
  double r = RoundHalfEven(x);
  if (r < static_cast<double>(lo) || r > static_cast<double>(hi)) Raise(err::kOverflow);
  return static_cast<std::int64_t>(r);
}

// Currency to a whole number, rounding half to even.
std::int64_t RoundCurrency(std::int64_t scaled) {
  std::int64_t q = scaled / 10000;
  std::int64_t r = scaled % 10000;  // same sign as scaled
  if (r > 5000 || (r == 5000 && (q % 2 != 0))) ++q;
  else if (r < -5000 || (r == -5000 && (q % 2 != 0))) --q;
  return q;
}

// Money from a Double, exactly: the whole part is scaled as an integer and
// only the fraction is multiplied by 10,000 in floating point, the product's
// rounding error recovered by a fused multiply-add, so that every Double
// inside the Currency range converts to the nearest ten-thousandth (ties to
// the even one) and nothing outside it converts at all. Scaling the whole
// value in floating point would lose the last digits of large amounts.
std::int64_t CurrencyFromDouble(double x) {
  // Far enough outside the range that the whole part cannot overflow below.
  if (!std::isfinite(x) || std::fabs(x) >= 1e15) Raise(err::kOverflow);
  const double whole = std::trunc(x);
  const double fraction = x - whole;  // exact
  const double scaled = fraction * 10000.0;
  const double error = std::fma(fraction, 10000.0, -scaled);  // fraction x 10,000 is scaled + error exactly
  double units = RoundHalfEven(scaled);
  if (error != 0.0 && scaled - std::floor(scaled) == 0.5) units = error > 0.0 ? std::ceil(scaled) : std::floor(scaled);
  std::int64_t result = 0;
  if (__builtin_mul_overflow(static_cast<std::int64_t>(whole), std::int64_t{10000}, &result) ||
      __builtin_add_overflow(result, static_cast<std::int64_t>(units), &result)) {
    Raise(err::kOverflow);
  }
  return result;
}

}  // namespace

Variant Variant::Null() {
  Variant v;
  v.v_ = NullTag{};
  return v;
}

Variant::Variant(bool v) : v_(Boolean{v}) {}
Variant::Variant(std::int16_t v) : v_(v) {}
Variant::Variant(std::int32_t v) : v_(v) {}
Variant::Variant(double v) : v_(v) {}
Variant::Variant(Currency v) : v_(v) {}
Variant::Variant(Date v) : v_(v) {}
Variant::Variant(std::string v) : v_(std::move(v)) {}
Variant::Variant(const char* v) : v_(std::string(v ? v : "")) {}
Variant::Variant(Bytes v) : v_(SharedBytes{std::make_shared<const Bytes>(std::move(v))}) {}
Variant::Variant(std::shared_ptr<Recordset> v) : v_(ObjectRef{std::move(v), nullptr}) {}
Variant::Variant(std::shared_ptr<Object> v) : v_(ObjectRef{nullptr, std::move(v)}) {}

VarType Variant::Type() const {
  static constexpr VarType kTypes[] = {VarType::Empty,    VarType::Null,   VarType::Boolean, VarType::Integer,
                                       VarType::Long,     VarType::Double, VarType::Currency, VarType::Date,
                                       VarType::String,   VarType::Bytes,  VarType::Object};
  static_assert(std::variant_size_v<Storage> == std::size(kTypes));
  return kTypes[v_.index()];
}

bool Variant::IsNull() const { return std::holds_alternative<NullTag>(v_); }
bool Variant::IsEmpty() const { return std::holds_alternative<std::monostate>(v_); }
bool Variant::IsNothing() const {
  const auto* o = std::get_if<ObjectRef>(&v_);
  return o && !o->recordset && !o->object;
}

std::shared_ptr<Recordset> Variant::AsRecordset() const {
  const auto* o = std::get_if<ObjectRef>(&v_);
  if (!o || o->object) Raise(err::kTypeMismatch);
  return o->recordset;
}

std::shared_ptr<Object> Variant::AsObject() const {
  const auto* o = std::get_if<ObjectRef>(&v_);
  if (!o || o->recordset) Raise(err::kTypeMismatch);
  return o->object;
}

const Bytes& Variant::AsBytes() const {
  const auto* b = std::get_if<SharedBytes>(&v_);
  if (!b) Raise(err::kTypeMismatch);
  return *b->bytes;
}

std::string Variant::Text() const {
  if (IsNull()) return {};
  return CStr();
}

std::string Variant::CStr() const {
  return std::visit(
      [this](const auto& x) -> std::string {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, std::monostate>) return {};
        else if constexpr (std::is_same_v<T, NullTag>) Raise(err::kInvalidUseOfNull);
        else if constexpr (std::is_same_v<T, Boolean>) return x.value ? "True" : "False";
        else if constexpr (std::is_same_v<T, std::int16_t> || std::is_same_v<T, std::int32_t>) return std::to_string(x);
        else if constexpr (std::is_same_v<T, double>) return DoubleText(x);
        else if constexpr (std::is_same_v<T, Currency>) return CurrencyText(x);
        else if constexpr (std::is_same_v<T, Date>) return dates::GeneralText(x);
        else if constexpr (std::is_same_v<T, std::string>) return x;
        else if constexpr (std::is_same_v<T, SharedBytes>) return BytesText(*x.bytes);
        else RaiseObjectValue(IsNothing());
      },
      v_);
}

double Variant::CDbl() const {
  return std::visit(
      [this](const auto& x) -> double {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, std::monostate>) return 0.0;
        else if constexpr (std::is_same_v<T, NullTag>) Raise(err::kInvalidUseOfNull);
        else if constexpr (std::is_same_v<T, Boolean>) return x.value ? -1.0 : 0.0;
        else if constexpr (std::is_same_v<T, std::int16_t> || std::is_same_v<T, std::int32_t>) return x;
        else if constexpr (std::is_same_v<T, double>) return x;
        else if constexpr (std::is_same_v<T, Currency>) return static_cast<double>(x.scaled) / 10000.0;
        else if constexpr (std::is_same_v<T, Date>) return x.serial;
        else if constexpr (std::is_same_v<T, std::string>) {
          std::optional<double> d = runtime::ToDouble(ParseOrRaise(x));
          if (!d) Raise(err::kOverflow);
          return *d;
        } else if constexpr (std::is_same_v<T, SharedBytes>) Raise(err::kTypeMismatch);
        else RaiseObjectValue(IsNothing());
      },
      v_);
}

namespace {
constexpr std::int64_t kLongMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kLongMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kIntMin = std::numeric_limits<std::int16_t>::min();
constexpr std::int64_t kIntMax = std::numeric_limits<std::int16_t>::max();
}  // namespace

std::int32_t Variant::CLng() const {
  std::int64_t v = 0;
  if (const auto* c = std::get_if<Currency>(&v_)) {
    v = RoundCurrency(c->scaled);
    if (v < kLongMin || v > kLongMax) Raise(err::kOverflow);
  } else if (const auto* l = std::get_if<std::int32_t>(&v_)) {
    v = *l;
  } else {
    v = RoundToRange(CDbl(), kLongMin, kLongMax);
  }
  return static_cast<std::int32_t>(v);
}

std::int16_t Variant::CInt() const {
  std::int64_t v = 0;
  if (const auto* c = std::get_if<Currency>(&v_)) {
    v = RoundCurrency(c->scaled);
    if (v < kIntMin || v > kIntMax) Raise(err::kOverflow);
  } else {
    v = RoundToRange(CDbl(), kIntMin, kIntMax);
  }
  return static_cast<std::int16_t>(v);
}

bool Variant::CBool() const {
  if (const auto* s = std::get_if<std::string>(&v_)) {
    std::string_view t = *s;
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
    auto same = [t](std::string_view word) {
      if (t.size() != word.size()) return false;
      for (std::size_t i = 0; i < t.size(); ++i) {
        char c = t[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != word[i]) return false;
      }
      return true;
    };
    if (same("TRUE") || same("#TRUE#")) return true;
    if (same("FALSE") || same("#FALSE#")) return false;
    runtime::DecimalNumber n = ParseOrRaise(*s);
    return !n.digits.empty();
  }
  if (const auto* c = std::get_if<Currency>(&v_)) return c->scaled != 0;
  if (const auto* b = std::get_if<Boolean>(&v_)) return b->value;
  return CDbl() != 0.0;
}

Currency Variant::CCur() const {
  if (const auto* c = std::get_if<Currency>(&v_)) return *c;
  if (const auto* s = std::get_if<std::string>(&v_)) {
    std::optional<std::int64_t> scaled = runtime::ToCurrencyScaled(ParseOrRaise(*s));
    if (!scaled) Raise(err::kOverflow);
    return Currency{*scaled};
  }
  if (const auto* l = std::get_if<std::int32_t>(&v_)) return Currency{static_cast<std::int64_t>(*l) * 10000};
  if (const auto* i = std::get_if<std::int16_t>(&v_)) return Currency{static_cast<std::int64_t>(*i) * 10000};
  return Currency{CurrencyFromDouble(CDbl())};
}

Date Variant::CDate() const {
  if (const auto* d = std::get_if<Date>(&v_)) return *d;
  if (const auto* s = std::get_if<std::string>(&v_)) {
    std::optional<Date> d = dates::ParseText(*s);
    if (!d) Raise(err::kTypeMismatch);
    return *d;
  }
  double serial = CDbl();
  // The whole part of a serial before 30 Dec 1899 counts days back, so
  // anything above -657435 still lies on or after 1 Jan 100.
  if (!std::isfinite(serial) || serial <= kMinSerial - 1.0 || serial >= kSerialLimit) {
    Raise(err::kOverflow);
  }
  return Date{serial};
}

bool operator==(const Variant& a, const Variant& b) { return a.v_ == b.v_; }

}  // namespace tarnwick
