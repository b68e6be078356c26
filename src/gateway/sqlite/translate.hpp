// The T-SQL front end put to work for the embedded SQLite engine: reads the
// server dialect text the library and its clients send and renders it as
// SQLite text.
//
// Tokenizer -> recursive-descent parser -> syntax tree (gateway/tsql/, which
// knows no engine) -> planning rewrites (gateway/tsql/rewrite.hpp) -> SQLite renderer (render.hpp). Texts that
// do not parse give an error text naming the position and the token.
#pragma once

#include <sqlite3.h>

#include <string>
#include <string_view>
#include <vector>

#include "gateway/tsql/parser.hpp"
#include "gateway/tsql/rewrite.hpp"

namespace tarnwick::tsql {

struct Translation {
  enum class Kind { Query, Exec } kind = Kind::Query;
  std::string sql;                     // Query: SQLite text
  std::string procedure;               // Exec: the procedure name
  std::vector<ExecArgument> arguments; // Exec: in the order written
};

// Whether a query goes through the planning rewrites (rewrite.hpp) before it
// is rendered. Both give the same rows in the same order; the plain form is
// kept for the checks that prove it.
enum class Rewrites { Apply, Skip };

// Returns an error text, empty on success.
// `columns` tells the rewrites which columns the database's tables have.
std::string Translate(std::string_view tsql, Translation& out, Rewrites rewrites = Rewrites::Apply,
                      const ColumnLookup& columns = {});

// The column lookup of an open database: a table's or view's columns are
// read the first time it is asked about and kept for the lookup's life, so
// a lookup belongs with one connection and a schema that does not change
// under it. A name the database does not know has no columns.
ColumnLookup DatabaseColumns(sqlite3* db);

}  // namespace tarnwick::tsql
