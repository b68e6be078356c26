// PostgreSQL renderer of the T-SQL front end: writes a parsed query as
// PostgreSQL text that keeps the office server's meaning.
//
// PostgreSQL decides types when it plans a text, so the renderer decides
// what each expression is (a number, a text, a date ...) from the office's
// column types and the literals, and writes what T-SQL would do implicitly
// in PostgreSQL's words: `+` on texts becomes `||`, a date text compared with
// a date becomes a timestamp, '' compared with a number becomes 0, 1 compared
// with a yes/no column becomes true. Texts compare case-blind: the office's
// text columns are citext, and a computed text is made citext where it meets
// another text. NULLs sort first, as on the office server.
//
// A query may name only the office's tables and views and the functions the
// renderer knows, so a client text can neither read the server's catalogs
// nor call a function that writes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "gateway/postgres/catalog.hpp"
#include "gateway/tsql/ast.hpp"
#include "gateway/tsql/lexer.hpp"
#include "gateway/tsql/parser.hpp"

namespace tarnwick::postgres {

// Renders `query` into `out`. Returns false with `error` filled for a
// construct the server cannot take (an unknown table, function or type).
bool RenderPostgres(const tsql::ast::Query& query, const OfficeColumns& office, std::string& out,
                    tsql::SyntaxError& error);

struct Translation {
  bool isExec = false;
  std::string sql;                            // a query: PostgreSQL text
  std::string procedure;                      // an exec: the procedure name as written
  std::vector<tsql::ExecArgument> arguments;  // an exec: in the order written
};

// Tokenizes, parses and renders a T-SQL text. Returns an error text naming
// the position, empty on success.
std::string TranslatePostgres(std::string_view tsql, const OfficeColumns& office, Translation& out);

// A T-SQL LIKE pattern with character classes ([a-c], [^x]) as an anchored
// POSIX regular expression; escape is the ESCAPE character or 0.
std::string LikePatternRegex(std::string_view pattern, char escape);

}  // namespace tarnwick::postgres
