// Tokenizer of the T-SQL front end: splits a statement text into words,
// names, literals and operators, each with its byte position in the text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::tsql {

enum class TokenKind {
  Word,        // a regular identifier or keyword: select, ref_org, @p (variables are Word with '@')
  QuotedName,  // [name] or "name": always a name, never a keyword
  Text,        // 'text' or N'text'; value holds the text with '' undone
  Number,      // 12, 1.5, .5, 1e3
  Hex,         // 0x1F: value holds the hex digits
  Variable,    // @name
  Symbol,      // ( ) , . ; * + - / % = <> != < > <= >= !< !> & | ^ ~
  End,
};

struct Token {
  TokenKind kind = TokenKind::End;
  std::string value;       // Word: as written; QuotedName/Text: the content; Symbol: the symbol
  std::size_t pos = 0;     // byte offset in the statement text
  std::size_t length = 0;  // bytes the token covers in the statement text
};

// A failure with the byte offset it refers to.
struct SyntaxError {
  std::string message;
  std::size_t pos = 0;
};

// Splits `text` into tokens ending with one End token. Returns false and
// fills `error` for an unclosed quote, bracket or comment, or a character
// that belongs to no token.
bool Tokenize(std::string_view text, std::vector<Token>& tokens, SyntaxError& error);

// "at position 17 (line 1, column 18)" for a byte offset of `text`; columns
// count characters, not bytes.
std::string DescribePosition(std::string_view text, std::size_t pos);

}  // namespace tarnwick::tsql
