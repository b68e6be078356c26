// Translation of the server dialect text the library and its clients send:
// the T-SQL front end's one way from a text to what an engine runs, shared
// by both engines.
//
// Tokenizer (lexer.hpp) -> recursive-descent parser (parser.hpp) -> syntax
// tree (ast.hpp) -> the engine's renderer (render.hpp), which writes a query
// as the engine's SQL text. A procedure call needs no renderer: it comes back
// as the procedure's name and its arguments. Texts that do not parse give an
// error text naming the position and the token.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "gateway/tsql/render.hpp"
#include "tarnwick/variant.hpp"

namespace tarnwick::tsql {

// One argument of EXEC: positional when name is empty. Values are literals
// (numbers become Long or Double, texts String, NULL Null).
struct ExecArgument {
  std::string name;  // "@org_id" as written, or ""
  Variant value;
};

struct Translation {
  enum class Kind { Query, Exec } kind = Kind::Query;
  std::string sql;                     // Query: the engine's text
  std::string procedure;               // Exec: the procedure name as written
  std::vector<ExecArgument> arguments; // Exec: in the order written
};

// Tokenizes and parses `text`, and renders a query with `renderer`. Returns
// an error text naming the position, empty on success; a text too large to
// hold, or any other failure on the way, also comes back as an error text,
// and `out` is then empty.
std::string Translate(std::string_view text, const Renderer& renderer, Translation& out);

}  // namespace tarnwick::tsql
