// The server's string functions (SUBSTRING, LEFT, RIGHT, CHARINDEX, REPLACE,
// REPLICATE, SPACE, ISNUMERIC, ISDATE) and its LIKE, with character ranges and case ignored
// beyond ASCII, as SQLite functions.
#include <sqlite3.h>

#include <algorithm>
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
#include "runtime/name_words.hpp"
#include "runtime/text.hpp"

namespace tarnwick::sqlite::function_detail {

// ----- text functions -----

void TwSubstring(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const std::int64_t start = Clamp(sqlite3_value_int64(argv[1]), -(1LL << 40), 1LL << 40);
  const std::int64_t length = sqlite3_value_int64(argv[2]);
  if (length < 0) return Error(ctx, "Invalid length parameter passed to the substring function.");
  const std::int64_t end = start + Clamp(length, 0, 1LL << 41);
  // Characters start .. start+length-1, counted from 1; positions before the
  // first character count but yield nothing.
  ResultText(ctx, std::string(CharSlice(TextOf(argv[0]), start - 1, end - 1)));
}

void TwLeft(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const std::int64_t n = sqlite3_value_int64(argv[1]);
  if (n < 0) return Error(ctx, "Invalid length parameter passed to the left function.");
  ResultText(ctx, std::string(CharSlice(TextOf(argv[0]), 0, n)));
}

void TwRight(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const std::int64_t n = sqlite3_value_int64(argv[1]);
  if (n < 0) return Error(ctx, "Invalid length parameter passed to the right function.");
  const std::string_view s = TextOf(argv[0]);
  const std::int64_t count = CharCount(s);
  ResultText(ctx, std::string(CharSlice(s, count - std::min(n, count), count)));
}

// replicate(text, n), and space(n) as replicate(' ', n): the text n times;
// none for n below 1, as the office server's renderer has it. A result over
// the engine's length limit is refused, not cut.
void TwReplicate(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const std::string_view s = TextOf(argv[0]);
  const std::int64_t n = std::max<std::int64_t>(sqlite3_value_int64(argv[1]), 0);
  const auto limit = static_cast<std::uint64_t>(sqlite3_limit(sqlite3_context_db_handle(ctx), SQLITE_LIMIT_LENGTH, -1));
  if (!s.empty() && static_cast<std::uint64_t>(n) > limit / s.size()) return sqlite3_result_error_toobig(ctx);
  std::string out;
  out.reserve(s.size() * static_cast<std::size_t>(n));
  for (std::int64_t i = 0; i < n; ++i) out += s;
  ResultText(ctx, std::move(out));
}

// tw_name_words(text, use): the words a name is found by (runtime/name_words.hpp);
// use 0 for a name being indexed, 1 for what a person typed to find one.
void TwNameWords(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const auto use = sqlite3_value_int(argv[1]) == 0 ? runtime::NameWordsUse::Index : runtime::NameWordsUse::Query;
  ResultText(ctx, runtime::NameWords(TextOf(argv[0]), use));
}

// charindex(find, text [, start]): the 1-based character position, ignoring
// letter case as the office's server does; 0 when absent.
void TwCharIndex(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const std::string_view needle = TextOf(argv[0]);
  const std::string_view hay = TextOf(argv[1]);
  const std::vector<std::size_t> starts = CharStarts(hay);
  std::int64_t from = argc > 2 ? sqlite3_value_int64(argv[2]) : 1;
  from = Clamp(from, 1, static_cast<std::int64_t>(starts.size()));
  if (needle.empty()) return sqlite3_result_int(ctx, 0);
  const std::size_t at = FindCaseBlind(hay, needle, starts[static_cast<std::size_t>(from - 1)]);
  if (at == std::string_view::npos) return sqlite3_result_int(ctx, 0);
  const std::int64_t pos = CharCount(hay.substr(0, at)) + 1;
  sqlite3_result_int64(ctx, pos);
}

// replace(text, find, with), finding without regard to letter case.
void TwReplace(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const std::string_view s = TextOf(argv[0]);
  const std::string_view find = TextOf(argv[1]);
  const std::string_view with = TextOf(argv[2]);
  if (find.empty()) return ResultText(ctx, std::string(s));
  std::string out;
  std::size_t from = 0;
  for (;;) {
    const std::size_t at = FindCaseBlind(s, find, from);
    if (at == std::string_view::npos) break;
    out.append(s.substr(from, at - from));
    out.append(with);
    if (out.size() > static_cast<std::size_t>(sqlite3_limit(sqlite3_context_db_handle(ctx), SQLITE_LIMIT_LENGTH, -1))) {
      return sqlite3_result_error_toobig(ctx);
    }
    from = at + find.size();
  }
  out.append(s.substr(from));
  ResultText(ctx, out);
}

void TwIsNumeric(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const int t = sqlite3_value_type(argv[0]);
  const bool yes = t == SQLITE_INTEGER || t == SQLITE_FLOAT || (t == SQLITE_TEXT && ParseNumber(TextOf(argv[0])));
  sqlite3_result_int(ctx, yes ? 1 : 0);
}

void TwIsDate(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const bool yes = sqlite3_value_type(argv[0]) == SQLITE_TEXT && ReadDateText(TextOf(argv[0]));
  sqlite3_result_int(ctx, yes ? 1 : 0);
}

// ----- LIKE with the server's character ranges -----

std::vector<char32_t> CodePoints(std::string_view s) {
  std::vector<char32_t> out;
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
    char32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
    for (int k = 1; k < len; ++k) {
      if (i + static_cast<std::size_t>(k) >= s.size() ||
          (static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]) & 0xC0) != 0x80) {
        len = 1;
        cp = c;
        break;
      }
      cp = (cp << 6) | (static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]) & 0x3F);
    }
    out.push_back(cp);
    i += static_cast<std::size_t>(len);
  }
  return out;
}

// The small letter of a capital, as the office's server compares case-blind:
// ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic.
char32_t Fold(char32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;  // À..Þ, not ×
  if (c == 0x178) return 0xFF;                                // Ÿ
  if (c >= 0x100 && c <= 0x17F) {
    // Capital and small letter in pairs; from Ĺ to ň and from Ź to ž the capital is odd.
    if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    const bool oddCapitals = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    return (c % 2 == 1) == oddCapitals ? c + 1 : c;
  }
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 0x20;  // Greek
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;                 // Cyrillic А..Я
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;                 // Cyrillic Ѐ..Џ
  return c;
}

struct PatternItem {
  enum Kind { Any, One, Literal, Set } kind = Literal;
  char32_t ch = 0;
  bool negated = false;
  std::vector<std::pair<char32_t, char32_t>> ranges;
  bool Matches(char32_t c) const {
    switch (kind) {
      case One: return true;
      case Literal: return Fold(c) == Fold(ch);
      case Set: {
        bool in = false;
        for (const auto& [lo, hi] : ranges) {
          if ((Fold(c) >= Fold(lo) && Fold(c) <= Fold(hi)) || (c >= lo && c <= hi)) in = true;
        }
        return in != negated;
      }
      default: return false;
    }
  }
};

// With ranges, "[a-c]" and "[^x]" are character sets as on the server;
// without, "[" is a character like any other (SQLite's own LIKE).
std::vector<PatternItem> CompilePattern(const std::vector<char32_t>& p, std::optional<char32_t> escape,
                                        bool ranges = true) {
  std::vector<PatternItem> items;
  for (std::size_t i = 0; i < p.size(); ++i) {
    PatternItem item;
    const char32_t c = p[i];
    if (escape && c == *escape && i + 1 < p.size()) {
      item.ch = p[++i];
    } else if (c == '%') {
      item.kind = PatternItem::Any;
    } else if (c == '_') {
      item.kind = PatternItem::One;
    } else if (c == '[' && ranges) {
      std::size_t j = i + 1;
      PatternItem set;
      set.kind = PatternItem::Set;
      if (j < p.size() && p[j] == '^') {
        set.negated = true;
        ++j;
      }
      bool closed = false;
      bool first = true;
      while (j < p.size()) {
        if (p[j] == ']' && !first) {
          closed = true;
          break;
        }
        first = false;
        if (j + 2 < p.size() && p[j + 1] == '-' && p[j + 2] != ']') {
          set.ranges.emplace_back(p[j], p[j + 2]);
          j += 3;
        } else {
          set.ranges.emplace_back(p[j], p[j]);
          ++j;
        }
      }
      if (closed) {
        item = std::move(set);
        i = j;
      } else {
        item.ch = c;  // a lone [ stands for itself
      }
    } else {
      item.ch = c;
    }
    items.push_back(std::move(item));
  }
  return items;
}

bool MatchPattern(const std::vector<PatternItem>& pat, const std::vector<char32_t>& s) {
  // Greedy matching with one backtrack point for the last %.
  std::size_t p = 0, k = 0, star = SIZE_MAX, mark = 0;
  while (k < s.size()) {
    if (p < pat.size() && pat[p].kind != PatternItem::Any && pat[p].Matches(s[k])) {
      ++p;
      ++k;
    } else if (p < pat.size() && pat[p].kind == PatternItem::Any) {
      star = p++;
      mark = k;
    } else if (star != SIZE_MAX) {
      p = star + 1;
      k = ++mark;
    } else {
      return false;
    }
  }
  while (p < pat.size() && pat[p].kind == PatternItem::Any) ++p;
  return p == pat.size();
}

void TwLike(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  std::optional<char32_t> escape;
  if (argc > 2) {
    const std::vector<char32_t> e = CodePoints(TextOf(argv[2]));
    if (e.size() != 1) return Error(ctx, "The escape of LIKE must be one character.");
    escape = e.front();
  }
  const std::vector<PatternItem> pattern = CompilePattern(CodePoints(TextOf(argv[1])), escape);
  sqlite3_result_int(ctx, MatchPattern(pattern, CodePoints(TextOf(argv[0]))) ? 1 : 0);
}

// like(pattern, text [, escape]) in place of SQLite's, which ignores letter
// case for ASCII only: "äö" finds "ÄÖ" in every query and procedure. A text
// all ASCII is matched byte by byte, as fast as SQLite's own.
bool AsciiLike(std::string_view p, std::string_view s, int escape) {
  const auto fold = runtime::FoldLower;
  std::size_t i = 0, k = 0, star = std::string_view::npos, mark = 0;
  while (k < s.size()) {
    if (i < p.size() && p[i] != '%') {
      std::size_t next = i + 1;
      bool literal = false;
      char c = p[i];
      if (escape >= 0 && c == static_cast<char>(escape) && next < p.size()) {
        c = p[next++];
        literal = true;
      }
      if ((!literal && c == '_') || fold(c) == fold(s[k])) {
        i = next;
        ++k;
        continue;
      }
    } else if (i < p.size()) {
      star = i++;
      mark = k;
      continue;
    }
    if (star == std::string_view::npos) return false;
    i = star + 1;
    k = ++mark;
  }
  while (i < p.size() && p[i] == '%') ++i;
  return i == p.size();
}

bool IsAscii(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

void Like(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const std::string_view pattern = TextOf(argv[0]);
  const std::string_view text = TextOf(argv[1]);
  if (pattern.size() > static_cast<std::size_t>(sqlite3_limit(sqlite3_context_db_handle(ctx),
                                                              SQLITE_LIMIT_LIKE_PATTERN_LENGTH, -1)))
    return Error(ctx, "LIKE or GLOB pattern too complex");
  std::optional<char32_t> escape;
  if (argc > 2) {
    const std::vector<char32_t> e = CodePoints(TextOf(argv[2]));
    if (e.size() != 1) return Error(ctx, "ESCAPE expression must be a single character");
    escape = e.front();
  }
  if (IsAscii(pattern) && IsAscii(text) && (!escape || *escape < 0x80)) {
    const int esc = escape ? static_cast<int>(*escape) : -1;
    return sqlite3_result_int(ctx, AsciiLike(pattern, text, esc) ? 1 : 0);
  }
  const std::vector<PatternItem> items = CompilePattern(CodePoints(pattern), escape, false);
  sqlite3_result_int(ctx, MatchPattern(items, CodePoints(text)) ? 1 : 0);
}

}  // namespace tarnwick::sqlite::function_detail
