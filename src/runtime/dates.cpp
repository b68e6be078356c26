#include "runtime/dates.hpp"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <vector>

#include "runtime/date_text.hpp"
#include "runtime/numeric_text.hpp"
#include "runtime/raise.hpp"
#include "tarnwick/error.hpp"

namespace tarnwick::dates {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::int64_t kFirstDay = -657434;  // 1 Jan 100
constexpr std::int64_t kLastDay = 2958465;   // 31 Dec 9999

// Days since 1 Jan 1970 of a proleptic Gregorian date (Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2 ? 1 : 0));
}

const std::int64_t kOleEpoch = DaysFromCivil(1899, 12, 30);

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

std::string TimeText(int h, int m, int s) {
  char buf[32];
  int h12 = h % 12 == 0 ? 12 : h % 12;
  std::snprintf(buf, sizeof buf, "%d:%02d:%02d %s", h12, m, s, h < 12 ? "AM" : "PM");
  return buf;
}

}  // namespace

Civil ToCivil(Date d) {
  const double s = d.serial;
  if (!std::isfinite(s) || s <= static_cast<double>(kFirstDay - 1) || s >= static_cast<double>(kLastDay + 1)) {
    runtime::Raise(err::kOverflow);
  }
  std::int64_t day = static_cast<std::int64_t>(std::trunc(s));
  double frac = std::fabs(s - static_cast<double>(day));
  std::int64_t secs = std::llround(frac * static_cast<double>(kSecondsPerDay));
  if (secs >= kSecondsPerDay) {
    if (day >= kLastDay) {
      secs = kSecondsPerDay - 1;  // never round past the last representable second
    } else {
      ++day;
      secs -= kSecondsPerDay;
    }
  }
  Civil c{};
  CivilFromDays(day + kOleEpoch, c.year, c.month, c.day);
  c.hour = static_cast<int>(secs / 3600);
  c.minute = static_cast<int>(secs / 60 % 60);
  c.second = static_cast<int>(secs % 60);
  return c;
}

Date FromCivil(const Civil& c) {
  if (c.year < 100 || c.year > 9999) runtime::Raise(err::kOverflow);
  if (c.month < 1 || c.month > 12 || c.day < 1 || c.day > DaysInMonth(c.year, c.month) || c.hour < 0 ||
      c.hour > 23 || c.minute < 0 || c.minute > 59 || c.second < 0 || c.second > 59) {
    runtime::Raise(err::kTypeMismatch);
  }
  const std::int64_t days =
      DaysFromCivil(c.year, static_cast<unsigned>(c.month), static_cast<unsigned>(c.day)) - kOleEpoch;
  const double time = static_cast<double>(c.hour * 3600 + c.minute * 60 + c.second) /
                      static_cast<double>(kSecondsPerDay);
  // Before 30 Dec 1899 the whole part counts days back while the time of
  // day is still added in magnitude: 29 Dec 1899 12:00 is -1.5.
  return Date{days >= 0 ? static_cast<double>(days) + time : static_cast<double>(days) - time};
}

std::string GeneralText(Date d) {
  const Civil c = ToCivil(d);
  const bool dayZero = c.year == 1899 && c.month == 12 && c.day == 30;
  const bool midnight = c.hour == 0 && c.minute == 0 && c.second == 0;
  if (dayZero) return TimeText(c.hour, c.minute, c.second);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d/%d/%d", c.month, c.day, c.year);
  if (midnight) return buf;
  return std::string(buf) + " " + TimeText(c.hour, c.minute, c.second);
}

std::string MmDdYyyy(Date d) {
  const Civil c = ToCivil(d);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", c.month, c.day, c.year);
  return buf;
}

std::string IsoText(Date d) {
  const Civil c = ToCivil(d);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", c.year, c.month, c.day, c.hour, c.minute,
                c.second);
  return buf;
}

std::optional<Date> ParseText(std::string_view text) { return runtime::ReadDateText(text); }

std::string FormatMmDdYyyy(std::string_view text) {
  if (std::optional<Date> d = ParseText(text)) return MmDdYyyy(*d);
  // Not a date text: a number is taken as a date serial.
  runtime::NumericParse n = runtime::ParseNumericText(text);
  if (n.status == runtime::NumericStatus::Ok) {
    std::optional<double> serial = runtime::ToDouble(n.number);
    if (serial && *serial > static_cast<double>(kFirstDay - 1) && *serial < static_cast<double>(kLastDay + 1)) {
      return MmDdYyyy(Date{*serial});
    }
  }
  return std::string(text);
}

Date Now() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  Civil c{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
          local.tm_sec > 59 ? 59 : local.tm_sec};
  return FromCivil(c);
}

}  // namespace tarnwick::dates
