// The T-SQL front end: reads the SQL Server dialect text the library and its
// clients send and renders it for the embedded SQLite engine.
//
// Tokenizer -> recursive-descent parser -> syntax tree -> renderer. Texts that
// do not parse give an error text naming the position and the token.
#pragma once

#include <string>
#include <string_view>
#include <vector>

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
  std::string sql;                     // Query: SQLite text
  std::string procedure;               // Exec: the procedure name
  std::vector<ExecArgument> arguments; // Exec: in the order written
};

// Returns an error text, empty on success.
std::string Translate(std::string_view tsql, Translation& out);

}  // namespace tarnwick::tsql
