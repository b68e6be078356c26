// The runtime's calendar and date texts: civil dates to and from Date values,
// the general and column date texts, and reading clerks' date texts.
#include "runtime/dates.hpp"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <vector>

#include "runtime/numeric_text.hpp"
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

bool ValidDate(int y, int m, int d) {
  return y >= 100 && y <= 9999 && m >= 1 && m <= 12 && d >= 1 && d <= DaysInMonth(y, m);
}

std::string TimeText(int h, int m, int s) {
  char buf[32];
  int h12 = h % 12 == 0 ? 12 : h % 12;
  std::snprintf(buf, sizeof buf, "%d:%02d:%02d %s", h12, m, s, h < 12 ? "AM" : "PM");
  return buf;
}

// ---- Reading date texts -------------------------------------------------

struct Token {
  enum Kind { Number, Word, Sep } kind;
  std::string_view text;
  int value = 0;   // Number
  int digits = 0;  // Number
  char sep = 0;    // Sep: the separator character, ' ' for a run of blanks
};

bool Tokenize(std::string_view s, std::vector<Token>& out) {
  std::size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t j = i;
    if (std::isdigit(c)) {
      int value = 0;
      while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) {
        if (j - i >= 9) return false;  // no date field has that many digits
        value = value * 10 + (s[j] - '0');
        ++j;
      }
      out.push_back({Token::Number, s.substr(i, j - i), value, static_cast<int>(j - i), 0});
    } else if (runtime::IsAsciiLetter(s[i])) {
      while (j < s.size() && runtime::IsAsciiLetter(s[j])) ++j;
      out.push_back({Token::Word, s.substr(i, j - i), 0, 0, 0});
    } else if (c == ' ' || c == '\t') {
      while (j < s.size() && (s[j] == ' ' || s[j] == '\t')) ++j;
      out.push_back({Token::Sep, s.substr(i, j - i), 0, 0, ' '});
    } else if (c == '/' || c == '-' || c == ',' || c == '.' || c == ':') {
      ++j;
      out.push_back({Token::Sep, s.substr(i, 1), 0, 0, static_cast<char>(c)});
    } else {
      return false;
    }
    i = j;
  }
  return true;
}


// 1..12 for a month name or its three-letter abbreviation ("Sept" too), else 0.
int MonthFromName(std::string_view w) {
  static constexpr std::string_view kNames[] = {"january", "february", "march",     "april",   "may",      "june",
                                                "july",    "august",   "september", "october", "november", "december"};
  for (int m = 0; m < 12; ++m) {
    if (EqualsNoCase(w, kNames[m]) || EqualsNoCase(w, kNames[m].substr(0, 3))) return m + 1;
  }
  return EqualsNoCase(w, "sept") ? 9 : 0;
}

// A year as written: one or two digits use the window 00-29 -> 2000s,
// 30-99 -> 1900s; three or four digits are taken as they are.
int FullYear(const Token& t) {
  if (t.digits <= 2) return t.value < 30 ? 2000 + t.value : 1900 + t.value;
  return t.value;
}

int CurrentYear() { return ToCivil(Now()).year; }

// Extracts "h:mm[:ss] [AM|PM]" or "h AM|PM" starting at tokens[i]; on success
// sets the time, the index past it, and returns true.
bool ReadTime(const std::vector<Token>& t, std::size_t i, std::size_t& end, int& seconds) {
  if (i >= t.size() || t[i].kind != Token::Number) return false;
  int parts[3] = {t[i].value, 0, 0};
  int count = 1;
  std::size_t j = i + 1;
  while (count < 3 && j + 1 < t.size() && t[j].kind == Token::Sep && t[j].sep == ':' &&
         t[j + 1].kind == Token::Number) {
    if (t[j + 1].digits > 2) return false;
    parts[count++] = t[j + 1].value;
    j += 2;
  }
  // An hour alone is a time only when AM/PM follows.
  std::size_t k = j;
  if (k < t.size() && t[k].kind == Token::Sep && t[k].sep == ' ') ++k;
  int half = 0;  // 1 = AM, 2 = PM
  if (k < t.size() && t[k].kind == Token::Word) {
    if (EqualsNoCase(t[k].text, "AM") || EqualsNoCase(t[k].text, "A")) half = 1;
    else if (EqualsNoCase(t[k].text, "PM") || EqualsNoCase(t[k].text, "P")) half = 2;
  }
  if (count == 1 && half == 0) return false;
  if (t[i].digits > 2) return false;
  int h = parts[0];
  if (half != 0) {
    if (h > 12) return false;
    if (h == 12) h = 0;
    if (half == 2) h += 12;
    j = k + 1;
  } else if (h > 23) {
    return false;
  }
  if (parts[1] > 59 || parts[2] > 59) return false;
  seconds = h * 3600 + parts[1] * 60 + parts[2];
  end = j;
  return true;
}

std::optional<Civil> TryYmd(int y, int m, int d) {
  if (!ValidDate(y, m, d)) return std::nullopt;
  return Civil{y, m, d};
}

// The date part: numbers and at most one month name with separators between.
std::optional<Civil> ReadDatePart(const std::vector<Token>& t) {
  std::vector<const Token*> items;
  std::vector<std::string> gaps;  // separators before each item after the first
  std::string gap;
  int monthWords = 0, monthIndex = -1, month = 0;
  for (const Token& tok : t) {
    if (tok.kind == Token::Sep) {
      if (tok.sep == ':') return std::nullopt;
      gap.push_back(tok.sep);
      continue;
    }
    if (tok.kind == Token::Word) {
      month = MonthFromName(tok.text);
      if (month == 0) return std::nullopt;
      ++monthWords;
      monthIndex = static_cast<int>(items.size());
    }
    if (!items.empty()) gaps.push_back(gap);
    gap.clear();
    items.push_back(&tok);
  }
  if (items.empty() || items.size() > 3 || monthWords > 1) return std::nullopt;

  if (monthWords == 0) {
    // Numbers only: each gap is one "/" or "-".
    for (const std::string& g : gaps) {
      if (g != "/" && g != "-") return std::nullopt;
    }
    const Token& a = *items[0];
    if (items.size() == 3) {
      const Token& b = *items[1];
      const Token& c = *items[2];
      if (a.digits >= 3) return TryYmd(a.value, b.value, c.value);
      if (c.digits > 4 || b.digits > 2) return std::nullopt;
      if (auto r = TryYmd(FullYear(c), a.value, b.value)) return r;  // m/d/y
      if (auto r = TryYmd(FullYear(c), b.value, a.value)) return r;  // d/m/y
      return TryYmd(FullYear(a), b.value, c.value);                  // y/m/d
    }
    if (items.size() == 2) {
      const Token& b = *items[1];
      if (b.digits >= 3) return TryYmd(b.value, a.value, 1);  // m/yyyy
      if (a.digits >= 3) return TryYmd(a.value, b.value, 1);  // yyyy/m
      int year = CurrentYear();
      if (auto r = TryYmd(year, a.value, b.value)) return r;  // m/d
      if (auto r = TryYmd(year, b.value, a.value)) return r;  // d/m
      return TryYmd(FullYear(b), a.value, 1);                 // m/yy
    }
    return std::nullopt;
  }

  // With a month name the gaps may be blanks, commas, dashes, stops or
  // slashes, or nothing at all ("4Mar2005").
  for (const std::string& g : gaps) {
    for (char c : g) {
      if (c != ' ' && c != ',' && c != '-' && c != '.' && c != '/') return std::nullopt;
    }
  }
  std::vector<const Token*> nums;
  for (std::size_t k = 0; k < items.size(); ++k) {
    if (static_cast<int>(k) != monthIndex) nums.push_back(items[k]);
  }
  if (nums.empty()) return std::nullopt;
  if (nums.size() == 1) {
    const Token& n = *nums[0];
    if (n.digits >= 3 || (monthIndex == 0 && n.value > 31)) return TryYmd(FullYear(n), month, 1);
    return TryYmd(CurrentYear(), month, n.value);
  }
  if (monthIndex == 2) return std::nullopt;
  const Token& first = *nums[0];
  const Token& second = *nums[1];
  if (first.digits >= 3) return TryYmd(first.value, month, second.value);  // 2005 March 4
  if (second.digits <= 4) {
    if (auto r = TryYmd(FullYear(second), month, first.value)) return r;  // March 4, 2005 / 4-Mar-2005
  }
  if (second.digits <= 2) return TryYmd(FullYear(first), month, second.value);  // 29Feb01 -> 1 Feb 2029
  return std::nullopt;
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

std::optional<Date> ParseText(std::string_view text) {
  std::vector<Token> tokens;
  if (!Tokenize(text, tokens)) return std::nullopt;
  // Drop blanks at either end.
  while (!tokens.empty() && tokens.back().kind == Token::Sep && tokens.back().sep == ' ') tokens.pop_back();
  std::size_t first = 0;
  while (first < tokens.size() && tokens[first].kind == Token::Sep && tokens[first].sep == ' ') ++first;
  tokens.erase(tokens.begin(), tokens.begin() + static_cast<std::ptrdiff_t>(first));
  if (tokens.empty()) return std::nullopt;

  // The time, when there is one, stands at the end after a blank, or is the whole text.
  std::optional<int> seconds;
  std::vector<Token> datePart = tokens;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    if (tokens[i].kind != Token::Number || (i > 0 && !(tokens[i - 1].kind == Token::Sep && tokens[i - 1].sep == ' ')))
      continue;
    std::size_t end = 0;
    int secs = 0;
    if (ReadTime(tokens, i, end, secs) && end == tokens.size()) {
      seconds = secs;
      datePart.assign(tokens.begin(), tokens.begin() + static_cast<std::ptrdiff_t>(i > 0 ? i - 1 : 0));
      break;
    }
  }
  const double time = seconds ? static_cast<double>(*seconds) / static_cast<double>(kSecondsPerDay) : 0.0;
  if (datePart.empty()) {
    if (!seconds) return std::nullopt;
    return Date{time};
  }
  std::optional<Civil> c = ReadDatePart(datePart);
  if (!c) return std::nullopt;
  if (seconds) {
    c->hour = *seconds / 3600;
    c->minute = *seconds / 60 % 60;
    c->second = *seconds % 60;
  }
  return FromCivil(*c);
}

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
