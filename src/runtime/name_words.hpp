// The words a name is found by: the one rule that turns a committee's or an
// officer's name, or what a person typed to find it, into plain words.
//
// Both engines' name indexes hold these words: the file calls NameWords
// through the SQL function tw_name_words, and the server's copy of the rule
// (a SQL function of the same name) is written from the tables below by the
// office builder, so a name is the same words on either engine.
//
// The rule, character by character (UTF-8 in; bytes that are no UTF-8 are
// blanks):
// - ASCII letters are lower-cased; ASCII digits stay; other ASCII is a blank;
// - an apostrophe (', `, U+2018, U+2019, U+02BC) joins: "O'Hare" is the word
//   "ohare", and for an index also the words "o" and "hare";
// - a letter of kLetterFolds becomes its ASCII text ("Ü" -> "u", "ß" -> "ss");
// - a character of kBlankRanges (Latin-1 signs, general punctuation, spaces)
//   is a blank;
// - any other character stays as it is, part of a word.
// Words are then written in order, one blank between them.
//
// Thread safety: pure functions of their arguments.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace tarnwick::runtime {

enum class NameWordsUse {
  Index,  // each joined word, then its parts when an apostrophe split it
  Query,  // each joined word only: what a person typed, each word a prefix
};

// The words of text, lower case and without accents, separated by one blank;
// "" when text has no word.
std::string NameWords(std::string_view text, NameWordsUse use);

// A letter written as plain ASCII.
struct LetterFold {
  char32_t letter;
  const char* ascii;  // one or more lower-case letters
};
std::span<const LetterFold> LetterFolds();

// Code points first..last that separate words.
struct BlankRange {
  char32_t first, last;
};
std::span<const BlankRange> BlankRanges();

// The apostrophes that join the parts of a word.
std::span<const char32_t> Apostrophes();

// Appends the UTF-8 bytes of code point cp (at most U+10FFFF) to out: how the
// server's copy of the rule, and what tries it, write the tables' characters.
void AppendUtf8(std::string& out, char32_t cp);

}  // namespace tarnwick::runtime
