// Translate: tokenize, parse and, for a query, render as SQLite text; every
// failure comes back as an error text with its position.
#include "gateway/sqlite/translate.hpp"

#include <exception>

#include "gateway/tsql/lexer.hpp"
#include "gateway/tsql/parser.hpp"
#include "gateway/tsql/rewrite.hpp"
#include "gateway/sqlite/render.hpp"

namespace tarnwick::tsql {

std::string Translate(std::string_view tsql, Translation& out, Rewrites rewrites) {
  out = Translation{};
  SyntaxError error;
  try {
    std::vector<Token> tokens;
    ParsedStatement statement;
    bool ok = Tokenize(tsql, tokens, error) && Parse(tokens, statement, error);
    if (ok && statement.isExec) {
      out.kind = Translation::Kind::Exec;
      out.procedure = std::move(statement.procedure);
      out.arguments = std::move(statement.arguments);
      return {};
    }
    if (ok && rewrites == Rewrites::Apply) RewriteForPlanning(*statement.query);
    if (ok) ok = RenderSqlite(*statement.query, out.sql, error);
    if (ok) return {};
  } catch (const std::bad_alloc&) {
    out = Translation{};
    return "The text is too large to translate";
  } catch (const std::exception& e) {
    out = Translation{};
    return std::string("The text could not be translated: ") + e.what();
  }
  out = Translation{};
  return error.message + " " + DescribePosition(tsql, error.pos);
}

}  // namespace tarnwick::tsql
