// Numbers written as text, read the way the runtime reads them for CLng,
// CInt, CCur, CDbl, CBool and IsNumeric (United States English: "." decimal
// point, "," digit grouping), plus the runtime's looser Val.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tarnwick/variant.hpp"

namespace tarnwick::runtime {

// The exact value of a numeric text: sign × digits × 10^exponent.
struct DecimalNumber {
  bool negative = false;
  std::string digits;         // significant digits without leading or trailing zeros; "" is zero
  std::int32_t exponent = 0;  // power of ten applied to digits
};

enum class NumericStatus { Ok, NotNumeric, Overflow };

struct NumericParse {
  NumericStatus status = NumericStatus::NotNumeric;
  DecimalNumber number;
};

// Reads a number with its marks as number_marks.hpp lists them; "&H"/"&O"
// radix texts are 16-bit when the value fits 16 bits, else 32-bit ("&HFFFF"
// is -1). Overflow is reported for a radix text beyond 32 bits.
NumericParse ParseNumericText(std::string_view text);

// The nearest double; nullopt when the magnitude is beyond the double range.
std::optional<double> ToDouble(const DecimalNumber& n);

// Value x 10,000 rounded half-to-even; nullopt outside the Currency range.
std::optional<std::int64_t> ToCurrencyScaled(const DecimalNumber& n);

// Val(text): drops every blank, tab and line feed, then reads a leading
// number (sign, digits, ".", exponent, or "&H"/"&O"); 0 when none. Throws
// RuntimeError 6 for a radix text beyond 32 bits.
double Val(std::string_view text);

// IsNumeric: numeric kinds, Boolean and Empty are numeric; a String is when
// ParseNumericText finds a number (also one too large for every kind, so that
// IsNumeric is False exactly where CDbl and CCur raise 13); Null, Date, bytes
// and objects are not.
bool IsNumeric(const Variant& v);

}  // namespace tarnwick::runtime
