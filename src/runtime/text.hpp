// The text rules every layer shares, each written once: ASCII letter case
// (never the process's locale, which a client program may have set to
// anything), case-blind comparison, trimming, SQL text quoting, and the
// search forms' wildcards.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarnwick::runtime {

// What each trim removes: the runtime's Trim takes blanks (U+0020) only; the
// date and number readers take tabs too; SQL sources and declared column
// types take any white space.
inline constexpr std::string_view kSpaces = " ";
inline constexpr std::string_view kBlanks = " \t";
inline constexpr std::string_view kWhiteSpace = " \t\r\n";

inline constexpr bool IsWhiteSpace(char c) { return kWhiteSpace.find(c) != std::string_view::npos; }
inline constexpr bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
inline constexpr bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

// Letter case of ASCII letters; every other byte, UTF-8 ones included, stays.
inline constexpr char FoldLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
inline constexpr char FoldUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

inline std::string ToLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = FoldLower(c);
  return out;
}

inline std::string ToUpper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = FoldUpper(c);
  return out;
}

// Orders two texts as their ASCII-lower-cased forms compare byte by byte:
// negative, zero or positive.
inline int CompareNoCase(std::string_view a, std::string_view b) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(FoldLower(a[i]));
    const auto y = static_cast<unsigned char>(FoldLower(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

inline bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

// Where needle first stands in hay at or after from, ignoring ASCII letter
// case; npos when nowhere. An empty needle stands at from.
inline std::size_t FindNoCase(std::string_view hay, std::string_view needle, std::size_t from = 0) {
  if (from > hay.size() || needle.size() > hay.size() - from) return std::string_view::npos;
  for (std::size_t i = from; i + needle.size() <= hay.size(); ++i) {
    if (EqualsNoCase(hay.substr(i, needle.size()), needle)) return i;
  }
  return std::string_view::npos;
}

// Hash and equality for maps keyed by names that ignore ASCII letter case;
// both fold as they go, so a lookup builds no key string.
struct NoCaseHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view s) const noexcept {
    unsigned long long h = 14695981039346656037ull;  // FNV-1a
    for (char c : s) {
      h ^= static_cast<unsigned char>(FoldLower(c));
      h *= 1099511628211ull;
    }
    return static_cast<std::size_t>(h);
  }
};
struct NoCaseEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const noexcept { return EqualsNoCase(a, b); }
};

// text without the leading and trailing characters of `blanks`; the
// runtime's Trim (blanks U+0020 only, tabs stay) when none are named.
inline std::string_view Trim(std::string_view text, std::string_view blanks = kSpaces) {
  const std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// A text as it may stand inside an SQL text literal: each apostrophe doubled.
inline std::string DoubleApostrophes(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

// A text as an SQL text literal: in apostrophes, its own apostrophes doubled.
inline std::string QuoteSql(std::string_view text) { return "'" + DoubleApostrophes(text) + "'"; }

// The search forms' wildcards in a free-text search value: "?" stands for one
// character and "*" for any run, as "_" and "%" do in a LIKE pattern.
inline std::string MapWildcards(std::string text) {
  for (char& c : text) {
    if (c == '?') c = '_';
    else if (c == '*') c = '%';
  }
  return text;
}

}  // namespace tarnwick::runtime
