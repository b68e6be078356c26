#include "gateway/tsql/stamp.hpp"

#include <cmath>
#include <cstdio>

#include "runtime/dates.hpp"
#include "runtime/text.hpp"

namespace tarnwick::tsql {

namespace {

constexpr std::int64_t kMsPerDay = 86'400'000;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads exactly `count` digits at `pos`.
bool Digits(std::string_view s, std::size_t pos, std::size_t count, int& value) {
  if (pos + count > s.size()) return false;
  value = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (!IsDigit(s[pos + i])) return false;
    value = value * 10 + (s[pos + i] - '0');
  }
  return true;
}

std::string_view Trim(std::string_view s) { return runtime::Trim(s, runtime::kBlanks); }

std::optional<Stamp> Make(int y, int mo, int d, int h, int mi, int s, int ms) {
  if (y < 1 || y > 9999 || mo < 1 || mo > 12 || d < 1 || d > DaysInMonth(y, mo)) return std::nullopt;
  if (h > 23 || mi > 59 || s > 59 || ms > 999) return std::nullopt;
  Stamp st;
  st.day = DaysFromCivil(y, mo, d);
  st.ms = ((static_cast<std::int64_t>(h) * 60 + mi) * 60 + s) * 1000 + ms;
  return st;
}

bool HasMonthName(std::string_view s) {
  static constexpr std::string_view kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                                 "jul", "aug", "sep", "oct", "nov", "dec"};
  std::size_t i = 0;
  while (i < s.size()) {
    if (!runtime::IsAsciiLetter(s[i])) {
      ++i;
      continue;
    }
    std::size_t j = i;
    std::string word;
    while (j < s.size() && runtime::IsAsciiLetter(s[j])) word += runtime::FoldLower(s[j++]);
    if (word.size() >= 3) {
      for (std::string_view m : kMonths) {
        if (word.compare(0, 3, m) == 0) return true;
      }
    }
    i = j;
  }
  return false;
}

bool HasFourDigitRun(std::string_view s) {
  int run = 0;
  for (char c : s) {
    run = IsDigit(c) ? run + 1 : 0;
    if (run == 4) return true;
  }
  return false;
}

// m/d/yy, m/d/yyyy, m-d-yyyy, m.d.yyyy at the start of the text, then the end
// of the text or a blank (a time of day may follow).
bool HasNumericDateShape(std::string_view s) {
  std::size_t i = 0;
  auto figures = [&](std::size_t lo, std::size_t hi) {
    std::size_t start = i;
    while (i < s.size() && IsDigit(s[i])) ++i;
    const std::size_t n = i - start;
    return n >= lo && n <= hi;
  };
  if (!figures(1, 2)) return false;
  if (i >= s.size() || (s[i] != '/' && s[i] != '-' && s[i] != '.')) return false;
  const char sep = s[i++];
  if (!figures(1, 2)) return false;
  if (i >= s.size() || s[i] != sep) return false;
  ++i;
  const std::size_t year_start = i;
  if (!figures(2, 4) || i - year_start == 3) return false;
  return i == s.size() || s[i] == ' ';
}

}  // namespace

std::int64_t DaysFromCivil(int year, int month, int day) {
  // Howard Hinnant's days_from_civil.
  const std::int64_t y = static_cast<std::int64_t>(year) - (month <= 2 ? 1 : 0);
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t mp = (month + 9) % 12;
  const std::int64_t doy = (153 * mp + 2) / 5 + day - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

CivilDate CivilFromDays(std::int64_t z) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  CivilDate c;
  c.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  c.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  c.year = static_cast<int>(yoe + era * 400 + (c.month <= 2 ? 1 : 0));
  return c;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2) {
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return leap ? 29 : 28;
  }
  return kDays[(month - 1) % 12];
}

bool InRange(const Stamp& s) {
  return s.day >= DaysFromCivil(1, 1, 1) && s.day <= DaysFromCivil(9999, 12, 31) && s.ms >= 0 && s.ms < kMsPerDay;
}

std::string FormatStamp(const Stamp& s) {
  const CivilDate c = CivilFromDays(s.day);
  const std::int64_t secs = s.ms / 1000;
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", c.year, c.month, c.day,
                static_cast<int>(secs / 3600), static_cast<int>(secs / 60 % 60), static_cast<int>(secs % 60));
  std::string out = buf;
  if (s.ms % 1000 != 0) {
    std::snprintf(buf, sizeof buf, ".%03d", static_cast<int>(s.ms % 1000));
    out += buf;
  }
  return out;
}

std::optional<Stamp> ParseIsoStamp(std::string_view text) {
  const std::string_view s = Trim(text);
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0, ms = 0;
  if (s.size() == 8) {
    if (!Digits(s, 0, 4, y) || !Digits(s, 4, 2, mo) || !Digits(s, 6, 2, d)) return std::nullopt;
    return Make(y, mo, d, 0, 0, 0, 0);
  }
  if (s.size() < 10 || !Digits(s, 0, 4, y) || s[4] != '-' || !Digits(s, 5, 2, mo) || s[7] != '-' ||
      !Digits(s, 8, 2, d)) {
    return std::nullopt;
  }
  if (s.size() == 10) return Make(y, mo, d, 0, 0, 0, 0);
  if (s[10] != ' ' && s[10] != 'T') return std::nullopt;
  if (s.size() < 16 || !Digits(s, 11, 2, h) || s[13] != ':' || !Digits(s, 14, 2, mi)) return std::nullopt;
  std::size_t i = 16;
  if (i < s.size() && s[i] == ':') {
    if (!Digits(s, i + 1, 2, sec)) return std::nullopt;
    i += 3;
    if (i < s.size() && s[i] == '.') {
      ++i;
      // Up to three figures count; further figures round the milliseconds.
      int figures = 0;
      double frac = 0, scale = 0.1;
      while (i < s.size() && IsDigit(s[i])) {
        frac += (s[i] - '0') * scale;
        scale /= 10;
        ++i;
        ++figures;
      }
      if (figures == 0) return std::nullopt;
      ms = static_cast<int>(std::lround(frac * 1000));
      if (ms == 1000) ms = 999;
    }
  }
  if (i != s.size()) return std::nullopt;
  return Make(y, mo, d, h, mi, sec, ms);
}

std::optional<Stamp> ReadDateText(std::string_view text) {
  if (auto iso = ParseIsoStamp(text)) return iso;
  const std::string_view s = Trim(text);
  if (s.empty() || s.size() > 64) return std::nullopt;
  if (!HasNumericDateShape(s) && !(HasMonthName(s) && HasFourDigitRun(s))) return std::nullopt;
  try {
    const std::optional<Date> d = dates::ParseText(s);
    if (!d) return std::nullopt;
    return ParseIsoStamp(dates::IsoText(*d));
  } catch (...) {
    // A date the runtime cannot represent is no date here either.
    return std::nullopt;
  }
}

std::optional<Stamp> StampFromServerDays(double days) {
  if (!std::isfinite(days) || std::fabs(days) > 4.0e6) return std::nullopt;
  const double whole = std::floor(days);
  Stamp s;
  s.day = DaysFromCivil(1900, 1, 1) + static_cast<std::int64_t>(whole);
  s.ms = std::llround((days - whole) * kMsPerDay);
  if (s.ms >= kMsPerDay) {
    s.ms -= kMsPerDay;
    ++s.day;
  }
  if (!InRange(s)) return std::nullopt;
  return s;
}

}  // namespace tarnwick::tsql
