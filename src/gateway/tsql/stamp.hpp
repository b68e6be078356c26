// Date-and-time values as the embedded database keeps them: ISO text
// "YYYY-MM-DD HH:MM:SS" (with ".fff" only when there are milliseconds).
// Used by the renderer for date literals and by the SQLite functions for
// CAST, DATEADD, DATEDIFF and the date arithmetic of + and -.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/dates.hpp"

namespace tarnwick::tsql {

struct Stamp {
  std::int64_t day = 0;  // days since 1970-01-01 (negative before)
  std::int64_t ms = 0;   // milliseconds into the day, 0 .. 86,399,999
};

// The calendar is the runtime's one (runtime/dates.hpp).
using CivilDate = dates::CivilDay;
using dates::CivilFromDays;
using dates::DaysFromCivil;
using dates::DaysInMonth;

// Years 1 to 9999, as the server's date types allow.
bool InRange(const Stamp& s);

// "YYYY-MM-DD HH:MM:SS", with ".fff" appended when the milliseconds are not 0.
std::string FormatStamp(const Stamp& s);

// ISO forms only: "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS[.fff]]" (a "T" may stand
// for the blank) and the unseparated "YYYYMMDD". Nothing for anything else or
// an impossible date.
std::optional<Stamp> ParseIsoStamp(std::string_view text);

// Any date text the office writes: the ISO forms above, and, when the text
// has the shape of a date (month/day/year with "/", "-" or "." between the
// figures, or a month name with a four-figure year), whatever the runtime's
// date reading makes of it ("3/4/2005 2:30:00 PM", "March 4, 2005"). Texts
// without a date shape ("2004", "1-2", "14:30", "cnc") are no date.
std::optional<Stamp> ReadDateText(std::string_view text);

// The date of the server's day number: 0 is 1 January 1900, fractions are the
// time of day (how the server reads a number as a datetime).
std::optional<Stamp> StampFromServerDays(double days);

}  // namespace tarnwick::tsql
