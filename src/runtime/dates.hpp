// Calendar arithmetic and the date texts of the runtime (United States English).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tarnwick/variant.hpp"

namespace tarnwick::dates {

struct Civil {
  int year, month, day;     // 100..9999, 1..12, 1..31
  int hour = 0, minute = 0, second = 0;
};

// The one civil calendar of the library: proleptic Gregorian days counted
// from 1 January 1970 (negative before), after Howard Hinnant's algorithms.
struct CivilDay {
  int year = 1970, month = 1, day = 1;
};

constexpr bool IsLeapYear(std::int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// 1..12 for month; 0 for any other month.
constexpr int DaysInMonth(std::int64_t year, int month) {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

constexpr std::int64_t DaysFromCivil(std::int64_t year, int month, int day) {
  const std::int64_t y = year - (month <= 2 ? 1 : 0);
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * ((month + 9) % 12) + 2) / 5 + day - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

constexpr CivilDay CivilFromDays(std::int64_t days) {
  const std::int64_t z = days + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  CivilDay c;
  c.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  c.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  c.year = static_cast<int>(yoe + era * 400 + (c.month <= 2 ? 1 : 0));
  return c;
}

// 30 December 1899, day 0 of the runtime's Date, in days from 1 January 1970.
inline constexpr std::int64_t kDateEpochDay = DaysFromCivil(1899, 12, 30);

// The fields of an ISO date text as the office database stores dates:
// "YYYY-MM-DD" or "YYYY-MM-DD HH:MM[:SS[.fff...]]" ("T" may stand for the
// blank), with nothing around it. Month, day, hour, minute and second are
// checked; the year is any four figures, for the caller to limit.
struct IsoFields {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  double fraction = 0;  // of a second, from the figures after the point
};
std::optional<IsoFields> ReadIsoFields(std::string_view text);

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
