// Translate: tokenize, parse and, for a query, render with the engine's
// renderer; every failure comes back as an error text with its position.
#include "gateway/tsql/translate.hpp"

#include <exception>
#include <new>
#include <utility>

#include "gateway/tsql/lexer.hpp"
#include "gateway/tsql/parser.hpp"

namespace tarnwick::tsql {

std::string Translate(std::string_view text, const Renderer& renderer, Translation& out) {
  out = Translation{};
  SyntaxError error;
  try {
    std::vector<Token> tokens;
    ast::QueryPtr query;
    if (Tokenize(text, tokens, error) && Parse(tokens, out, query, error) &&
        (!query || renderer.Render(*query, out.sql, error))) {
      return {};
    }
  } catch (const std::bad_alloc&) {
    out = Translation{};
    return "The text is too large to translate";
  } catch (const std::exception& e) {
    out = Translation{};
    return std::string("The text could not be translated: ") + e.what();
  }
  out = Translation{};
  return error.message + " " + DescribePosition(text, error.pos);
}

}  // namespace tarnwick::tsql
