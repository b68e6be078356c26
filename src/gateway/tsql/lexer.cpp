// The T-SQL tokenizer: words, quoted names, texts, numbers and symbols with
// their positions; comments and blanks skipped (see lexer.hpp).
#include "gateway/tsql/lexer.hpp"

#include "runtime/text.hpp"

namespace tarnwick::tsql {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
using runtime::IsAsciiLetter;
// Bytes of multi-byte UTF-8 sequences count as letters, as the server accepts
// accented letters in regular identifiers.
bool IsWordStart(char c) { return IsAsciiLetter(c) || c == '_' || c == '#' || static_cast<unsigned char>(c) >= 0x80; }
bool IsWordPart(char c) { return IsWordStart(c) || IsDigit(c) || c == '@' || c == '$'; }

// Shows a token the way the server's messages do, shortened when long.
std::string Shown(std::string_view text, std::size_t pos, std::size_t len) {
  std::string s(text.substr(pos, len));
  if (s.size() > 40) s = s.substr(0, 37) + "...";
  return s;
}

// What a quoted token holds: a text 'it''s', a name [a]]b] or "a""b".
struct Delimited {
  std::string value;                         // the content, each doubled closing mark made one
  std::size_t end = std::string_view::npos;  // just past the closing mark; npos when it never closes
  std::size_t nulAt = std::string_view::npos;  // where a NUL byte stands inside, if one does
};

// Reads from `from`, just past the opening mark, up to the closing mark.
Delimited ReadDelimited(std::string_view text, std::size_t from, char close) {
  Delimited d;
  std::size_t j = from;
  while (j < text.size()) {
    if (text[j] == close) {
      if (j + 1 < text.size() && text[j + 1] == close) {
        d.value += close;
        j += 2;
        continue;
      }
      d.end = j + 1;
      return d;
    }
    if (text[j] == '\0') {
      d.nulAt = j;
      return d;
    }
    d.value += text[j++];
  }
  return d;
}

}  // namespace

std::string DescribePosition(std::string_view text, std::size_t pos) {
  if (pos > text.size()) pos = text.size();
  std::size_t line = 1, column = 1;
  for (std::size_t i = 0; i < pos; ++i) {
    char c = text[i];
    if (c == '\n') {
      ++line;
      column = 1;
    } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
      ++column;
    }
  }
  return "at position " + std::to_string(pos) + " (line " + std::to_string(line) + ", column " +
         std::to_string(column) + ")";
}

bool Tokenize(std::string_view text, std::vector<Token>& tokens, SyntaxError& error) {
  tokens.clear();
  const std::size_t n = text.size();
  std::size_t i = 0;
  auto fail = [&](std::string message, std::size_t pos) {
    error.message = std::move(message);
    error.pos = pos;
    return false;
  };
  while (i < n) {
    const char c = text[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
      ++i;
      continue;
    }
    if (c == '\0') return fail("The text holds a NUL character", i);
    if (c == '-' && i + 1 < n && text[i + 1] == '-') {
      while (i < n && text[i] != '\n') ++i;
      continue;
    }
    if (c == '/' && i + 1 < n && text[i + 1] == '*') {
      // Block comments nest, as on the server.
      const std::size_t start = i;
      int depth = 0;
      while (i < n) {
        if (text[i] == '/' && i + 1 < n && text[i + 1] == '*') {
          ++depth;
          i += 2;
        } else if (text[i] == '*' && i + 1 < n && text[i + 1] == '/') {
          --depth;
          i += 2;
          if (depth == 0) break;
        } else {
          ++i;
        }
      }
      if (depth != 0) return fail("Missing end comment mark '*/'", start);
      continue;
    }
    Token t;
    t.pos = i;
    const bool isText = c == '\'' || ((c == 'N' || c == 'n') && i + 1 < n && text[i + 1] == '\'');
    if (isText || c == '[' || c == '"') {
      const char close = isText ? '\'' : (c == '[' ? ']' : '"');
      const std::size_t open = (isText && c != '\'') ? i + 1 : i;
      Delimited d = ReadDelimited(text, open + 1, close);
      if (d.nulAt != std::string_view::npos) return fail("The text holds a NUL character", d.nulAt);
      if (d.end == std::string_view::npos) {
        return fail(std::string("Unclosed quotation mark after the ") + (isText ? "character string" : "name") + " '" +
                        Shown(text, i, n - i) + "'",
                    i);
      }
      if (!isText && d.value.empty()) return fail("An object or column name is missing or empty", i);
      t.kind = isText ? TokenKind::Text : TokenKind::QuotedName;
      t.value = std::move(d.value);
      t.length = d.end - i;
      i = d.end;
    } else if (c == '0' && i + 1 < n && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
      std::size_t j = i + 2;
      while (j < n && IsHexDigit(text[j])) ++j;
      t.kind = TokenKind::Hex;
      t.value = std::string(text.substr(i + 2, j - i - 2));
      t.length = j - i;
      i = j;
    } else if (IsDigit(c) || (c == '.' && i + 1 < n && IsDigit(text[i + 1]))) {
      std::size_t j = i;
      while (j < n && IsDigit(text[j])) ++j;
      if (j < n && text[j] == '.') {
        ++j;
        while (j < n && IsDigit(text[j])) ++j;
      }
      if (j < n && (text[j] == 'e' || text[j] == 'E')) {
        std::size_t k = j + 1;
        if (k < n && (text[k] == '+' || text[k] == '-')) ++k;
        if (k < n && IsDigit(text[k])) {
          while (k < n && IsDigit(text[k])) ++k;
          j = k;
        }
      }
      t.kind = TokenKind::Number;
      t.value = std::string(text.substr(i, j - i));
      t.length = j - i;
      i = j;
    } else if (c == '@') {
      std::size_t j = i + 1;
      while (j < n && IsWordPart(text[j])) ++j;
      if (j == i + 1) return fail("Incorrect syntax near '@'", i);
      t.kind = TokenKind::Variable;
      t.value = std::string(text.substr(i, j - i));
      t.length = j - i;
      i = j;
    } else if (IsWordStart(c)) {
      std::size_t j = i;
      while (j < n && IsWordPart(text[j])) ++j;
      t.kind = TokenKind::Word;
      t.value = std::string(text.substr(i, j - i));
      t.length = j - i;
      i = j;
    } else {
      static constexpr std::string_view kTwo[] = {"<>", "!=", "<=", ">=", "!<", "!>"};
      std::string sym;
      for (std::string_view two : kTwo) {
        if (text.substr(i, 2) == two) {
          sym = std::string(two);
          break;
        }
      }
      if (sym.empty()) {
        static constexpr std::string_view kOne = "(),.;*+-/%=<>&|^~";
        if (kOne.find(c) == std::string_view::npos) {
          return fail("Incorrect syntax near '" + Shown(text, i, 1) + "'", i);
        }
        sym = std::string(1, c);
      }
      t.kind = TokenKind::Symbol;
      t.value = sym;
      t.length = sym.size();
      i += sym.size();
    }
    tokens.push_back(std::move(t));
  }
  Token end;
  end.kind = TokenKind::End;
  end.pos = n;
  tokens.push_back(end);
  return true;
}

}  // namespace tarnwick::tsql
