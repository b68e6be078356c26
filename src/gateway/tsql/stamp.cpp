// Date stamps of the T-SQL front end: reading and writing the ISO texts the
// embedded database keeps dates as (see stamp.hpp).
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
  const std::size_t yearStart = i;
  if (!figures(2, 4) || i - yearStart == 3) return false;
  return i == s.size() || s[i] == ' ';
}

}  // namespace

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
  if (s.size() == 8) {
    int y = 0, mo = 0, d = 0;
    if (!Digits(s, 0, 4, y) || !Digits(s, 4, 2, mo) || !Digits(s, 6, 2, d)) return std::nullopt;
    return Make(y, mo, d, 0, 0, 0, 0);
  }
  const std::optional<dates::IsoFields> f = dates::ReadIsoFields(s);
  if (!f) return std::nullopt;
  // Up to three figures count; further figures round the milliseconds.
  int ms = static_cast<int>(std::lround(f->fraction * 1000));
  if (ms == 1000) ms = 999;
  return Make(f->year, f->month, f->day, f->hour, f->minute, f->second, ms);
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
