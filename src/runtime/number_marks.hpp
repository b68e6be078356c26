// The marks a clerk may write around an amount: signs, parentheses and the
// dollar sign. ParseNumericText (decimal_text.hpp) reads the bare number
// between them.
//
// Rules, United States English, for CLng, CInt, CDbl, CCur, CBool,
// IsNumeric and late-bound numeric arguments:
//
//   blanks       spaces and tabs may stand before and after the text, and
//                between a mark and the number: " - 5 " is -5.
//   sign         one "+" or "-", in front ("-5") or behind ("5-"), not both.
//   parentheses  "(5)" is -5; the parentheses enclose everything else and
//                take no sign inside ("(-5)" is no number).
//   "$"          one dollar sign, in front of or behind the number, on
//                either side of a sign: "$5", "-$5", "$-5", "5$", "$5-".
//   the number   digits with "," grouping anywhere between two digits of the
//                whole part ("1,234", "1,2,3"), one ".", an "E" exponent
//                ("1.5E3", "2e-2"); or "&H"/"&O" and hex/octal digits, which
//                take no marks at all ("&HFF", not "-&HFF").
//   no number    the empty text, blanks alone, a mark alone, two signs, two
//                "$", blanks inside the number, any other character.
#pragma once

#include <optional>
#include <string_view>

namespace tarnwick::runtime {

struct NumberMarks {
  bool negative = false;  // a "-" sign or parentheses
  bool marked = false;    // any sign, parenthesis or "$" was written
  std::string_view body;  // the bare number, without blanks
};

// Splits off the marks; nothing when they break the rules above (the body
// itself is not checked here).
std::optional<NumberMarks> ReadNumberMarks(std::string_view text);

}  // namespace tarnwick::runtime
