// The server's date functions as SQLite functions: CONVERT of a date to a
// styled text, DATEPART, DATEADD and DATEDIFF.
#include <sqlite3.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gateway/sqlite/functions_support.hpp"
#include "gateway/tsql/stamp.hpp"
#include "runtime/text.hpp"

namespace tarnwick::sqlite::function_detail {

// tw_date_text(text): the day ("YYYY-MM-DD") a date text a clerk typed
// stands for, read as every date text of the office is ("3/4/05",
// "March 4, 2005", "2005-03-04 14:30"); NULL for an empty text or one that is
// no date. The stored procedures read their date arguments with it.
void TwDateText(sqlite3_context* ctx, int, sqlite3_value** argv) {
  sqlite3_value* v = argv[0];
  if (sqlite3_value_type(v) != SQLITE_TEXT) return sqlite3_result_null(ctx);
  const std::optional<Stamp> s = ReadDateText(TextOf(v));
  if (!s) return sqlite3_result_null(ctx);
  ResultText(ctx, FormatStamp(Stamp{s->day, 0}).substr(0, 10));
}

// tw_format_date(x, style): CONVERT(varchar, date, style). Values that are no
// date pass unchanged (the style means nothing for them).
void TwFormatDate(sqlite3_context* ctx, int, sqlite3_value** argv) {
  sqlite3_value* v = argv[0];
  if (sqlite3_value_type(v) == SQLITE_NULL) return sqlite3_result_null(ctx);
  if (sqlite3_value_type(argv[1]) == SQLITE_NULL) return sqlite3_result_value(ctx, v);
  const std::optional<Stamp> s = sqlite3_value_type(v) == SQLITE_TEXT ? ReadDateText(TextOf(v)) : std::nullopt;
  if (!s) return sqlite3_result_value(ctx, v);
  const std::int64_t style = sqlite3_value_int64(argv[1]);
  const CivilDate c = CivilFromDays(s->day);
  const int h = static_cast<int>(s->ms / 3'600'000), mi = static_cast<int>(s->ms / 60'000 % 60),
            sec = static_cast<int>(s->ms / 1000 % 60), ms = static_cast<int>(s->ms % 1000);
  const int yy = c.year % 100;
  char buf[64];
  static const char* kMon[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  switch (style) {
    case 0:
    case 100: {
      const int h12 = h % 12 == 0 ? 12 : h % 12;
      std::snprintf(buf, sizeof buf, "%s %2d %04d %2d:%02d%s", kMon[c.month - 1], c.day, c.year, h12, mi,
                    h < 12 ? "AM" : "PM");
      break;
    }
    case 1: std::snprintf(buf, sizeof buf, "%02d/%02d/%02d", c.month, c.day, yy); break;
    case 101: std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", c.month, c.day, c.year); break;
    case 2: std::snprintf(buf, sizeof buf, "%02d.%02d.%02d", yy, c.month, c.day); break;
    case 102: std::snprintf(buf, sizeof buf, "%04d.%02d.%02d", c.year, c.month, c.day); break;
    case 3: std::snprintf(buf, sizeof buf, "%02d/%02d/%02d", c.day, c.month, yy); break;
    case 103: std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", c.day, c.month, c.year); break;
    case 4: std::snprintf(buf, sizeof buf, "%02d.%02d.%02d", c.day, c.month, yy); break;
    case 104: std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", c.day, c.month, c.year); break;
    case 5: std::snprintf(buf, sizeof buf, "%02d-%02d-%02d", c.day, c.month, yy); break;
    case 105: std::snprintf(buf, sizeof buf, "%02d-%02d-%04d", c.day, c.month, c.year); break;
    case 8:
    case 108: std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", h, mi, sec); break;
    case 10: std::snprintf(buf, sizeof buf, "%02d-%02d-%02d", c.month, c.day, yy); break;
    case 110: std::snprintf(buf, sizeof buf, "%02d-%02d-%04d", c.month, c.day, c.year); break;
    case 11: std::snprintf(buf, sizeof buf, "%02d/%02d/%02d", yy, c.month, c.day); break;
    case 111: std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", c.year, c.month, c.day); break;
    case 12: std::snprintf(buf, sizeof buf, "%02d%02d%02d", yy, c.month, c.day); break;
    case 112: std::snprintf(buf, sizeof buf, "%04d%02d%02d", c.year, c.month, c.day); break;
    case 20:
    case 120:
      std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", c.year, c.month, c.day, h, mi, sec);
      break;
    case 21:
    case 121:
      std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", c.year, c.month, c.day, h, mi, sec, ms);
      break;
    case 23: std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", c.year, c.month, c.day); break;
    case 126:
      std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", c.year, c.month, c.day, h, mi, sec);
      break;
    default:
      return Error(ctx, std::to_string(style) +
                            " is not a valid style number when converting from datetime to a character string.");
  }
  ResultText(ctx, buf);
}

// ----- DATEPART, DATEADD, DATEDIFF -----

bool DateArg(sqlite3_context* ctx, sqlite3_value* v, Stamp& out) {
  const std::optional<Stamp> s = StampOf(v);
  if (!s) {
    Error(ctx, kDateConversion);
    return false;
  }
  out = *s;
  return true;
}

int Weekday(std::int64_t day) {  // Sunday = 1, as with the server's default first day
  const std::int64_t w = (day + 4) % 7;  // 1970-01-01 was a Thursday
  return static_cast<int>((w + 7) % 7) + 1;
}

std::int64_t DayOfYear(std::int64_t day) {
  const CivilDate c = CivilFromDays(day);
  return day - DaysFromCivil(c.year, 1, 1) + 1;
}

void TwDatePart(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const std::string part(TextOf(argv[0]));
  Stamp s;
  if (!DateArg(ctx, argv[1], s)) return;
  const CivilDate c = CivilFromDays(s.day);
  std::int64_t r = 0;
  if (part == "year") r = c.year;
  else if (part == "quarter") r = (c.month - 1) / 3 + 1;
  else if (part == "month") r = c.month;
  else if (part == "dayofyear") r = DayOfYear(s.day);
  else if (part == "day") r = c.day;
  else if (part == "week") r = (DayOfYear(s.day) - 1 + Weekday(DaysFromCivil(c.year, 1, 1)) - 1) / 7 + 1;
  else if (part == "weekday") r = Weekday(s.day);
  else if (part == "hour") r = s.ms / 3'600'000;
  else if (part == "minute") r = s.ms / 60'000 % 60;
  else if (part == "second") r = s.ms / 1000 % 60;
  else if (part == "millisecond") r = s.ms % 1000;
  else return Error(ctx, "'" + part + "' is not a recognized datepart option.");
  sqlite3_result_int64(ctx, r);
}

void TwDateAdd(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const std::string part(TextOf(argv[0]));
  const std::optional<Number> n = NumberOf(argv[1]);
  if (!n) return Error(ctx, ConversionError(TextOf(argv[1]), "int"));
  const double amountWhole = std::trunc(n->d);
  if (std::fabs(amountWhole) > 2147483647.0) return Error(ctx, kDateOverflow);
  const auto amount = static_cast<std::int64_t>(amountWhole);
  Stamp s;
  if (!DateArg(ctx, argv[2], s)) return;
  Stamp r = s;
  if (part == "year" || part == "quarter" || part == "month") {
    const std::int64_t months = part == "year" ? amount * 12 : part == "quarter" ? amount * 3 : amount;
    const CivilDate c = CivilFromDays(s.day);
    const std::int64_t total = static_cast<std::int64_t>(c.year) * 12 + (c.month - 1) + months;
    const std::int64_t year = total >= 0 ? total / 12 : -1;
    if (year < 1 || year > 9999) return Error(ctx, kDateOverflow);
    const int month = static_cast<int>(total % 12) + 1;
    const int day = std::min(c.day, DaysInMonth(static_cast<int>(year), month));
    r.day = DaysFromCivil(static_cast<int>(year), month, day);
  } else {
    std::int64_t unitMs = 0;
    if (part == "day" || part == "dayofyear" || part == "weekday") unitMs = kMsPerDay;
    else if (part == "week") unitMs = 7 * kMsPerDay;
    else if (part == "hour") unitMs = 3'600'000;
    else if (part == "minute") unitMs = 60'000;
    else if (part == "second") unitMs = 1000;
    else if (part == "millisecond") unitMs = 1;
    else return Error(ctx, "'" + part + "' is not a recognized dateadd option.");
    if (!AddDays(s, static_cast<double>(amount) * static_cast<double>(unitMs) / kMsPerDay, r)) {
      return Error(ctx, kDateOverflow);
    }
  }
  if (!InRange(r)) return Error(ctx, kDateOverflow);
  ResultText(ctx, FormatStamp(r));
}

// The number of part boundaries crossed from the first date to the second.
void TwDateDiff(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const std::string part(TextOf(argv[0]));
  Stamp a, b;
  if (!DateArg(ctx, argv[1], a) || !DateArg(ctx, argv[2], b)) return;
  const CivilDate ca = CivilFromDays(a.day), cb = CivilFromDays(b.day);
  std::int64_t r = 0;
  const std::int64_t msA = a.day * kMsPerDay + a.ms, msB = b.day * kMsPerDay + b.ms;
  auto floorDiv = [](std::int64_t x, std::int64_t y) { return x >= 0 ? x / y : -((-x + y - 1) / y); };
  if (part == "year") r = cb.year - ca.year;
  else if (part == "quarter") r = (cb.year * 4 + (cb.month - 1) / 3) - (ca.year * 4 + (ca.month - 1) / 3);
  else if (part == "month") r = (cb.year * 12 + cb.month) - (ca.year * 12 + ca.month);
  else if (part == "day" || part == "dayofyear" || part == "weekday") r = b.day - a.day;
  // Weeks turn on Sundays; day 3 after 1970-01-01 was a Sunday.
  else if (part == "week") r = floorDiv(b.day - 3, 7) - floorDiv(a.day - 3, 7);
  else if (part == "hour") r = floorDiv(msB, 3'600'000) - floorDiv(msA, 3'600'000);
  else if (part == "minute") r = floorDiv(msB, 60'000) - floorDiv(msA, 60'000);
  else if (part == "second") r = floorDiv(msB, 1000) - floorDiv(msA, 1000);
  else if (part == "millisecond") r = msB - msA;
  else return Error(ctx, "'" + part + "' is not a recognized datediff option.");
  if (r < INT32_MIN || r > INT32_MAX) {
    return Error(ctx, "The datediff function resulted in an overflow. The number of dateparts separating two "
                      "date/time instances is too large.");
  }
  sqlite3_result_int64(ctx, r);
}

}  // namespace tarnwick::sqlite::function_detail
