// The server's fold function, written from runtime::NameWords's tables.
//
// NameWords looks at one character at a time: an apostrophe joins, a blank
// separates, an ASCII letter is lower-cased, a letter of LetterFolds becomes
// its ASCII text, anything else stays. The SQL does the same in passes over
// the whole name: one translate() for every one-letter change (and, for a
// query, to drop the apostrophes; for an index, to write them all as one),
// replace() for each letter that becomes several, then one regular
// expression that turns each run of blanks into a single blank. An index
// then adds the parts of each word an apostrophe split, which only names
// holding an apostrophe need.
#include "office/name_words_sql.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

#include "runtime/name_words.hpp"

namespace tarnwick::office {
namespace {

// NameWords reads a byte that is no UTF-8 as this character, a blank; the
// server's texts are always UTF-8, but the character itself may be typed.
constexpr char32_t kReplacementCharacter = 0xFFFD;

// A string literal: quotes doubled (the server reads backslashes as written).
std::string Literal(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("''") : std::string(1, c);
  return out + "'";
}

// A character in a regular expression, whatever it is: \uXXXX or \UXXXXXXXX.
std::string RegexCharacter(char32_t cp) {
  char buffer[16];
  if (cp <= 0xFFFF) std::snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned>(cp));
  else std::snprintf(buffer, sizeof buffer, "\\U%08X", static_cast<unsigned>(cp));
  return buffer;
}

bool IsApostrophe(char32_t cp) {
  const auto all = runtime::Apostrophes();
  return std::find(all.begin(), all.end(), cp) != all.end();
}

// The characters that separate words, as ranges: ASCII other than letters
// and digits, the blank ranges and the replacement character, less the
// apostrophes, which NameWords looks for first. NUL never reaches the server.
std::vector<runtime::BlankRange> Blanks() {
  std::vector<runtime::BlankRange> candidates;
  for (char32_t cp = 1; cp < 0x80; ++cp) {
    const bool alnum = (cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z') || (cp >= '0' && cp <= '9');
    if (!alnum) candidates.push_back({cp, cp});
  }
  for (const runtime::BlankRange& range : runtime::BlankRanges()) candidates.push_back(range);
  candidates.push_back({kReplacementCharacter, kReplacementCharacter});
  std::sort(candidates.begin(), candidates.end(),
            [](const runtime::BlankRange& a, const runtime::BlankRange& b) { return a.first < b.first; });
  // Cut the apostrophes out, then merge what touches.
  std::vector<runtime::BlankRange> out;
  for (const runtime::BlankRange& range : candidates) {
    char32_t start = range.first;
    for (char32_t cp = range.first; cp <= range.last; ++cp) {
      if (IsApostrophe(cp)) {
        if (cp > start) out.push_back({start, cp - 1});
        start = cp + 1;
      }
    }
    if (start <= range.last) out.push_back({start, range.last});
  }
  std::vector<runtime::BlankRange> merged;
  for (const runtime::BlankRange& range : out) {
    if (!merged.empty() && range.first <= merged.back().last + 1) merged.back().last = std::max(merged.back().last, range.last);
    else merged.push_back(range);
  }
  return merged;
}

bool IsBlank(const std::vector<runtime::BlankRange>& blanks, char32_t cp) {
  return std::any_of(blanks.begin(), blanks.end(),
                     [cp](const runtime::BlankRange& r) { return cp >= r.first && cp <= r.last; });
}

// The folding of one use, up to the runs of blanks: translate(), then
// replace() for the letters written as more than one. For a text known to
// be ASCII only the ASCII changes are written: translate() compares each
// character of the text with each of its list, so the short list is the fast
// way for the names most often seen.
std::string FoldExpression(const std::vector<runtime::BlankRange>& blanks, bool query, bool asciiText) {
  std::string from, to;
  for (char c = 'A'; c <= 'Z'; ++c) {
    from += c;
    to += static_cast<char>(c - 'A' + 'a');
  }
  std::vector<std::pair<char32_t, const char*>> longer;
  for (const runtime::LetterFold& fold : runtime::LetterFolds()) {
    if (asciiText && fold.letter >= 0x80) continue;
    if (IsBlank(blanks, fold.letter) || IsApostrophe(fold.letter)) continue;  // NameWords looks at those first
    if (std::strlen(fold.ascii) == 1) {
      runtime::AppendUtf8(from, fold.letter);
      to += fold.ascii;
    } else {
      longer.emplace_back(fold.letter, fold.ascii);
    }
  }
  // A query drops its apostrophes (a character of translate's first list
  // with none in the second is removed); an index writes them all as the
  // first, to find its words' parts by.
  const auto apostrophes = runtime::Apostrophes();
  for (std::size_t i = query ? 0 : 1; i < apostrophes.size(); ++i) {
    if (asciiText && apostrophes[i] >= 0x80) continue;
    runtime::AppendUtf8(from, apostrophes[i]);
    if (!query) runtime::AppendUtf8(to, apostrophes.front());
  }
  std::string expression = "translate(name_text, " + Literal(from) + ", " + Literal(to) + ")";
  for (const auto& [letter, ascii] : longer) {
    std::string character;
    runtime::AppendUtf8(character, letter);
    expression = "replace(" + expression + ", " + Literal(character) + ", " + Literal(ascii) + ")";
  }
  return expression;
}

}  // namespace

std::string NameWordsFunctionSql() {
  const std::vector<runtime::BlankRange> blanks = Blanks();
  std::string blankClass = "[";
  for (const runtime::BlankRange& range : blanks) {
    blankClass += RegexCharacter(range.first);
    if (range.last != range.first) blankClass += "-" + RegexCharacter(range.last);
  }
  blankClass += "]+";
  const auto words = [&](bool query) {
    const auto folded = [&](bool asciiText) {
      return "btrim(regexp_replace(" + FoldExpression(blanks, query, asciiText) + ", " + Literal(blankClass) +
             ", ' ', 'g'), ' ')";
    };
    return "case when octet_length(name_text) = char_length(name_text) then " + folded(true) + "\n" +
           "      else " + folded(false) + " end";
  };
  std::string apostrophe;
  runtime::AppendUtf8(apostrophe, runtime::Apostrophes().front());
  const std::string joiner = Literal(apostrophe);
  const std::string joinerRun = Literal(RegexCharacter(runtime::Apostrophes().front()) + "+");

  return "create or replace function tw_name_words(name_text text, words_use integer) returns text\n"
         "language plpgsql immutable strict parallel safe as $tw_name_words$\n"
         "declare\n"
         "  words text;\n"
         "begin\n"
         "  if words_use <> 0 then\n"
         "    return " + words(true) + ";\n"
         "  end if;\n"
         "  words := " + words(false) + ";\n"
         "  if strpos(words, " + joiner + ") = 0 then\n"
         "    return words;\n"
         "  end if;\n"
         "  -- Each word whole, then its parts when an apostrophe split it in more than one.\n"
         "  return (select coalesce(string_agg(case when strpos(parts, ' ') > 0 then joined || ' ' || parts\n"
         "                                          else joined end, ' ' order by n), '')\n"
         "          from (select replace(w, " + joiner + ", '') as joined,\n"
         "                       btrim(regexp_replace(w, " + joinerRun + ", ' ', 'g'), ' ') as parts, n\n"
         "                from unnest(string_to_array(words, ' ')) with ordinality as t (w, n)) p\n"
         "          where joined <> '');\n"
         "end\n"
         "$tw_name_words$;\n";
}

}  // namespace tarnwick::office
