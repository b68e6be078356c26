// Calendar arithmetic and the date texts of the runtime (United States English).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "tarnwick/variant.hpp"

namespace tarnwick::dates {

struct Civil {
  int year, month, day;     // 100..9999, 1..12, 1..31
  int hour = 0, minute = 0, second = 0;
};

// Whole seconds, rounded, as the runtime does for text.
Civil ToCivil(Date d);
// Throws RuntimeError 6 (overflow) outside 1 Jan 100 .. 31 Dec 9999, 13 for an impossible date.
Date FromCivil(const Civil& c);

// "M/d/yyyy h:mm:ss AM": the general date text (date only at midnight, time only on day 0).
std::string GeneralText(Date d);
// "mm/dd/yyyy": the library's one date text for columns.
std::string MmDdYyyy(Date d);
// "yyyy-mm-dd hh:mm:ss": how the embedded database stores dates.
std::string IsoText(Date d);

// Reads a date text the way the runtime's CDate does (the rules are listed in
// date_text.hpp). Nothing when the text is no date.
std::optional<Date> ParseText(std::string_view text);

// Format(value, "mm/dd/yyyy") applied to a text: a text that reads as a date
// comes out as mm/dd/yyyy; any other text comes out unchanged.
std::string FormatMmDdYyyy(std::string_view text);

// The current local date and time.
Date Now();

}  // namespace tarnwick::dates
