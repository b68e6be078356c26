// Recursive-descent parser of the T-SQL front end: turns the tokens of one
// statement into a syntax tree, a query or a procedure call.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "gateway/tsql/ast.hpp"
#include "gateway/tsql/lexer.hpp"
#include "tarnwick/variant.hpp"

namespace tarnwick::tsql {

// How deep parentheses, subqueries, CASE and unary operators may nest, and
// how tall an expression tree (long chains of AND or +) may grow. Both keep
// the parser and the renderer off the end of the stack for hostile texts.
inline constexpr int kMaxNesting = 100;
inline constexpr int kMaxHeight = 1000;
inline constexpr int kMaxJoins = 200;

// One argument of EXEC: positional when name is empty. Values are literals
// (numbers become Long or Double, texts String, NULL Null).
struct ExecArgument {
  std::string name;  // "@org_id" as written, or ""
  Variant value;
};

struct ParsedStatement {
  bool isExec = false;
  ast::QueryPtr query;                 // when !isExec
  std::string procedure;               // when isExec
  std::vector<ExecArgument> arguments;  // when isExec
};

// Parses one statement (an optional trailing semicolon allowed). Returns
// false with `error` filled when the text does not parse.
bool Parse(const std::vector<Token>& tokens, ParsedStatement& out, SyntaxError& error);

// The steps every engine's translation shares: tokenizes and parses `text`,
// then hands the statement to `render`, which renders a query (false with
// `error` filled when it cannot) or takes a procedure call. Returns an error
// text naming the position, empty on success; a text too large to hold, or
// any other failure on the way, also comes back as an error text.
std::string ParseAndRender(std::string_view text,
                           const std::function<bool(ParsedStatement&, SyntaxError&)>& render);

// The canonical date part (year, month, day, ...) for a date part word of
// DATEADD, DATEDIFF and DATEPART (yy, mm, dd ...); empty when unknown.
std::string CanonicalDatePart(std::string_view word);

}  // namespace tarnwick::tsql
