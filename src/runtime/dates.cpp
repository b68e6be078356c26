// The runtime's calendar and date texts: civil dates to and from Date values,
// the general and column date texts, and reading clerks' date texts.
#include "runtime/dates.hpp"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <vector>

#include "runtime/date_text.hpp"
#include "runtime/decimal_text.hpp"
#include "runtime/raise.hpp"
#include "runtime/text.hpp"
#include "tarnwick/error.hpp"

namespace tarnwick::dates {
namespace {

using runtime::EqualsNoCase;

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::int64_t kFirstDay = -657434;  // 1 Jan 100
constexpr std::int64_t kLastDay = 2958465;   // 31 Dec 9999

const std::int64_t kOleEpoch = kDateEpochDay;

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
  const CivilDay date = CivilFromDays(day + kOleEpoch);
  c.year = date.year;
  c.month = date.month;
  c.day = date.day;
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
      DaysFromCivil(c.year, c.month, c.day) - kOleEpoch;
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

std::optional<IsoFields> ReadIsoFields(std::string_view s) {
  const auto figures = [s](std::size_t pos, std::size_t count, int& value) {
    if (pos + count > s.size()) return false;
    int v = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
      if (s[i] < '0' || s[i] > '9') return false;
      v = v * 10 + (s[i] - '0');
    }
    value = v;
    return true;
  };
  IsoFields f;
  if (s.size() < 10 || s[4] != '-' || s[7] != '-' || !figures(0, 4, f.year) || !figures(5, 2, f.month) ||
      !figures(8, 2, f.day))
    return std::nullopt;
  if (s.size() > 10) {
    if ((s[10] != ' ' && s[10] != 'T') || s.size() < 16 || s[13] != ':' || !figures(11, 2, f.hour) ||
        !figures(14, 2, f.minute))
      return std::nullopt;
    std::size_t pos = 16;
    if (pos < s.size()) {
      if (s[pos] != ':' || !figures(pos + 1, 2, f.second)) return std::nullopt;
      pos += 3;
      if (pos < s.size()) {
        if (s[pos] != '.' || pos + 1 == s.size()) return std::nullopt;
        double scale = 0.1;
        for (++pos; pos < s.size(); ++pos) {
          if (s[pos] < '0' || s[pos] > '9') return std::nullopt;
          f.fraction += (s[pos] - '0') * scale;
          scale /= 10;
        }
      }
    }
  }
  if (f.month < 1 || f.month > 12 || f.day < 1 || f.day > DaysInMonth(f.year, f.month) || f.hour > 23 ||
      f.minute > 59 || f.second > 59)
    return std::nullopt;
  return f;
}

}  // namespace tarnwick::dates
