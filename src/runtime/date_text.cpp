#include "runtime/date_text.hpp"

#include <string>
#include <vector>

#include "runtime/dates.hpp"
#include "runtime/text.hpp"

namespace tarnwick::runtime {
namespace {

constexpr int kSecondsPerDay = 86400;

struct Token {
  enum Kind { Number, Word, Sep } kind;
  std::string_view text;
  int value = 0;   // Number
  int digits = 0;  // Number
  char sep = 0;    // Sep: the character, ' ' for a run of blanks
};

bool IsBlankSep(const Token& t) { return t.kind == Token::Sep && t.sep == ' '; }

// Splits the text into numbers, words and separators; false for any other
// character or a digit run no date field could hold.
bool Tokenize(std::string_view s, std::vector<Token>& out) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t j = i;
    if (IsAsciiDigit(s[i])) {
      int value = 0;
      for (; j < s.size() && IsAsciiDigit(s[j]); ++j) {
        if (j - i >= 9) return false;
        value = value * 10 + (s[j] - '0');
      }
      out.push_back({Token::Number, s.substr(i, j - i), value, static_cast<int>(j - i), 0});
    } else if (IsAsciiLetter(s[i])) {
      while (j < s.size() && IsAsciiLetter(s[j])) ++j;
      out.push_back({Token::Word, s.substr(i, j - i)});
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

int MonthFromName(std::string_view w) {
  static constexpr std::string_view kNames[] = {"january", "february", "march",     "april",   "may",      "june",
                                                "july",    "august",   "september", "october", "november", "december"};
  for (int m = 0; m < 12; ++m) {
    if (EqualsNoCase(w, kNames[m]) || EqualsNoCase(w, kNames[m].substr(0, 3))) return m + 1;
  }
  return EqualsNoCase(w, "sept") ? 9 : 0;
}

bool ValidDay(int y, int m, int d) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return d <= (m == 2 && leap ? 29 : kDays[m - 1]);
}

std::optional<dates::Civil> Day(int y, int m, int d) {
  if (!ValidDay(y, m, d)) return std::nullopt;
  return dates::Civil{y, m, d};
}

int FullYear(const Token& t) {
  if (t.digits <= 2) return t.value < 30 ? 2000 + t.value : 1900 + t.value;
  return t.value;
}

int CurrentYear() { return dates::ToCivil(dates::Now()).year; }

// Reads a time at t[i]: "h:mm[:ss]" with an optional AM/PM, or "h AM|PM".
// On success sets the seconds since midnight and the index past the time.
bool ReadTime(const std::vector<Token>& t, std::size_t i, std::size_t& end, int& seconds) {
  if (i >= t.size() || t[i].kind != Token::Number || t[i].digits > 2) return false;
  int parts[3] = {t[i].value, 0, 0};
  int count = 1;
  std::size_t j = i + 1;
  while (count < 3 && j + 1 < t.size() && t[j].kind == Token::Sep && t[j].sep == ':' &&
         t[j + 1].kind == Token::Number) {
    if (t[j + 1].digits > 2) return false;
    parts[count++] = t[j + 1].value;
    j += 2;
  }
  std::size_t k = j;
  if (k < t.size() && IsBlankSep(t[k])) ++k;
  int half = 0;  // 1 AM, 2 PM
  if (k < t.size() && t[k].kind == Token::Word) {
    if (EqualsNoCase(t[k].text, "AM") || EqualsNoCase(t[k].text, "A")) half = 1;
    else if (EqualsNoCase(t[k].text, "PM") || EqualsNoCase(t[k].text, "P")) half = 2;
  }
  if (count == 1 && half == 0) return false;  // a lone number is no time
  int h = parts[0];
  if (half == 1) {
    if (h > 12) return false;
    if (h == 12) h = 0;
  } else if (half == 2) {
    if (h < 12) h = h == 0 ? 12 : h + 12;
  }
  if (h > 23 || parts[1] > 59 || parts[2] > 59) return false;
  seconds = h * 3600 + parts[1] * 60 + parts[2];
  end = half != 0 ? k + 1 : j;
  return true;
}

// Numbers only, two or three of them.
std::optional<dates::Civil> NumericDate(const std::vector<const Token*>& n) {
  const Token& a = *n[0];
  const Token& b = *n[1];
  if (n.size() == 3) {
    const Token& c = *n[2];
    if (a.digits >= 3) return b.digits <= 2 && c.digits <= 2 ? Day(a.value, b.value, c.value) : std::nullopt;
    if (b.digits > 2) return std::nullopt;
    if (auto r = Day(FullYear(c), a.value, b.value)) return r;               // m/d/y
    if (auto r = Day(FullYear(c), b.value, a.value)) return r;               // d/m/y
    return c.digits <= 2 ? Day(FullYear(a), b.value, c.value) : std::nullopt;  // y/m/d
  }
  if (a.digits >= 3) return b.digits <= 2 ? Day(a.value, b.value, 1) : std::nullopt;  // yyyy/m
  if (b.digits >= 3) return Day(b.value, a.value, 1);                                 // m/yyyy
  const int year = CurrentYear();
  if (auto r = Day(year, a.value, b.value)) return r;  // m/d
  if (auto r = Day(year, b.value, a.value)) return r;  // d/m
  return Day(FullYear(b), a.value, 1);                 // m/yy
}

// A month name with one or two numbers (in the order written).
std::optional<dates::Civil> NamedMonthDate(int month, const std::vector<const Token*>& n, bool monthFirst) {
  const Token& x = *n[0];
  if (n.size() == 1) {
    if (x.digits >= 3 || (monthFirst && x.value > 31)) return Day(FullYear(x), month, 1);
    return Day(CurrentYear(), month, x.value);
  }
  const Token& y = *n[1];
  if (x.digits >= 3) return y.digits <= 2 ? Day(x.value, month, y.value) : std::nullopt;  // 2005 Mar 4
  if (auto r = Day(FullYear(y), month, x.value)) return r;                               // Mar 4 2005
  return y.digits <= 2 ? Day(FullYear(x), month, y.value) : std::nullopt;                // 29Feb01
}

std::optional<dates::Civil> ReadDatePart(const std::vector<Token>& t) {
  std::vector<const Token*> numbers;
  std::vector<std::string> gaps;  // the separators before each field after the first
  std::string gap;
  int month = 0, monthAt = -1, fields = 0;
  for (const Token& tok : t) {
    if (tok.kind == Token::Sep) {
      if (fields == 0 || tok.sep == ':') return std::nullopt;
      gap.push_back(tok.sep);
      continue;
    }
    if (fields > 0) gaps.push_back(gap);
    gap.clear();
    if (tok.kind == Token::Word) {
      if (month != 0) return std::nullopt;
      month = MonthFromName(tok.text);
      if (month == 0) return std::nullopt;
      monthAt = fields;
    } else {
      if (tok.digits > 4) return std::nullopt;
      numbers.push_back(&tok);
    }
    ++fields;
  }
  if (!gap.empty() || fields < 2 || fields > 3) return std::nullopt;  // a trailing separator, or too few/many fields

  if (month == 0) {
    for (const std::string& g : gaps) {
      std::string marks;
      for (char c : g) {
        if (c != ' ') marks.push_back(c);
      }
      if (!(marks.empty() || marks == "/" || marks == "-" || marks == ".")) return std::nullopt;
    }
    return NumericDate(numbers);
  }
  for (const std::string& g : gaps) {
    for (char c : g) {
      if (c != ' ' && c != ',' && c != '-' && c != '.' && c != '/') return std::nullopt;
    }
  }
  return NamedMonthDate(month, numbers, monthAt == 0);
}

}  // namespace

std::optional<Date> ReadDateText(std::string_view text) {
  std::vector<Token> tokens;
  if (!Tokenize(text, tokens)) return std::nullopt;
  while (!tokens.empty() && IsBlankSep(tokens.back())) tokens.pop_back();
  std::size_t first = 0;
  while (first < tokens.size() && IsBlankSep(tokens[first])) ++first;
  tokens.erase(tokens.begin(), tokens.begin() + static_cast<std::ptrdiff_t>(first));
  if (tokens.empty()) return std::nullopt;

  // A time stands alone, at the end after a blank, or at the start before one.
  std::optional<int> seconds;
  std::vector<Token> datePart;
  for (std::size_t i = 0; i < tokens.size() && !seconds; ++i) {
    if (i > 0 && !IsBlankSep(tokens[i - 1])) continue;
    std::size_t end = 0;
    int secs = 0;
    if (!ReadTime(tokens, i, end, secs)) continue;
    if (end == tokens.size()) {
      seconds = secs;
      datePart.assign(tokens.begin(), tokens.begin() + static_cast<std::ptrdiff_t>(i > 0 ? i - 1 : 0));
    } else if (i == 0 && IsBlankSep(tokens[end])) {
      seconds = secs;
      datePart.assign(tokens.begin() + static_cast<std::ptrdiff_t>(end + 1), tokens.end());
    }
  }
  if (!seconds) datePart = tokens;
  if (datePart.empty()) return Date{static_cast<double>(*seconds) / kSecondsPerDay};

  std::optional<dates::Civil> day = ReadDatePart(datePart);
  if (!day) return std::nullopt;
  if (seconds) {
    day->hour = *seconds / 3600;
    day->minute = *seconds / 60 % 60;
    day->second = *seconds % 60;
  }
  return dates::FromCivil(*day);
}

bool IsDate(const Variant& v) {
  if (v.Type() == VarType::Date) return true;
  return v.Type() == VarType::String && ReadDateText(v.CStr()).has_value();
}

}  // namespace tarnwick::runtime
