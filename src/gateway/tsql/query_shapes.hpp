// What every renderer of the syntax tree reads the same way, whatever the
// engine: the keywords of joins and set operations, the listed column a bare
// ORDER BY name stands for, the type sizes CAST and CONVERT accept, and the
// day range that cast(column as date) compared with a date text selects.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "gateway/tsql/ast.hpp"
#include "gateway/tsql/lexer.hpp"

namespace tarnwick::tsql {

// " INNER JOIN ", " LEFT JOIN ", ...; ", " for a comma.
const char* JoinKeyword(ast::JoinKind kind);
// " UNION ", " UNION ALL ", " EXCEPT ", " INTERSECT ".
const char* SetOpKeyword(ast::SetOp op);

// The server resolves a bare name in ORDER BY against the select list first:
// ORDER BY inhouse_name means the listed OC.inhouse_name even when several
// joined tables have such a column. The listed column, or null when the name
// is an alias, is not listed, or is listed more than once as different columns.
const ast::Expr* SelectListColumn(const ast::SelectCore& core, const ast::Expr& term);

// The column of cast(<column> as date) (CONVERT(date, column) too), or null
// for any other expression.
const ast::Expr* CastDateColumn(const ast::Expr& e);

// cast(column as date) compared with a date text, in either order, as a range
// on the column itself, so that the column's index serves the comparison (the
// document search filters received, entry and update dates so). Only the
// column loses its time of day (the text keeps its own), so cast(c) >=
// '3/4/2005 2:30 PM' wants the days after 3/4, and an equality with such a
// text holds for no day; that one, <> and texts that are no date keep the
// plain rendering. A Null fails both bounds as it fails the comparison.
struct DayRange {
  const ast::Expr* column = nullptr;
  std::optional<std::int64_t> from;    // the first day in (days since 1970-01-01)
  std::optional<std::int64_t> before;  // the first day after
};
// The range for `l op r`; nothing when the comparison is not of this shape.
std::optional<DayRange> DayRangeOf(const ast::Expr& l, const ast::Expr& r, std::string op);

// The size of a text type of CAST or CONVERT (VARCHAR, NVARCHAR, CHAR,
// NCHAR): -1 for max, 30 when none is given. False with error filled when
// the size is not one the server accepts.
bool TextTypeSize(const ast::TypeName& t, int& size, SyntaxError& error);

// False with error filled when a type that takes no size (INT, BIT, MONEY,
// DATETIME ...) is given one.
bool NoTypeSize(const ast::TypeName& t, SyntaxError& error);

// The precision and scale of DECIMAL, NUMERIC or DEC: 18 and 0 when none is
// given. False with error filled when they are not ones the server accepts.
bool DecimalTypeSize(const ast::TypeName& t, int& precision, int& scale, SyntaxError& error);

}  // namespace tarnwick::tsql
