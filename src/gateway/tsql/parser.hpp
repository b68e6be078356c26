// Recursive-descent parser of the T-SQL front end: turns the tokens of one
// statement into a syntax tree, a query or a procedure call.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "gateway/tsql/ast.hpp"
#include "gateway/tsql/lexer.hpp"
#include "gateway/tsql/translate.hpp"

namespace tarnwick::tsql {

// How deep parentheses, subqueries, CASE and unary operators may nest, and
// how tall an expression tree (long chains of AND or +) may grow. Both keep
// the parser and the renderer off the end of the stack for hostile texts.
inline constexpr int kMaxNesting = 100;
inline constexpr int kMaxHeight = 1000;
inline constexpr int kMaxJoins = 200;

// Parses one statement (an optional trailing semicolon allowed): a procedure
// call fills `out` (kind Exec, the procedure and its arguments), a query comes
// back as its syntax tree in `query`, for a renderer to write. Returns false
// with `error` filled when the text does not parse.
bool Parse(const std::vector<Token>& tokens, Translation& out, ast::QueryPtr& query, SyntaxError& error);

// The canonical date part (year, month, day, ...) for a date part word of
// DATEADD, DATEDIFF and DATEPART (yy, mm, dd ...); empty when unknown.
std::string CanonicalDatePart(std::string_view word);

}  // namespace tarnwick::tsql
