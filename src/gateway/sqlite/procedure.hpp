// Stored procedures of the office database: the catalog entries kept in the
// database file (see catalog.hpp) and the two general procedures built into
// the engine, sp_update_table and sp_delete_table, which take a table and a
// column name that SQLite cannot bind.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "gateway/sqlite/engine_values.hpp"
#include "tarnwick/recordset.hpp"
#include "tarnwick/variant.hpp"

namespace tarnwick::sqlite::engine_detail {

struct ProcedureParameter {
  std::string name;  // "@Org_id", as declared
  std::string type;  // "int", "varchar(50)"; may be empty
  SqlKind kind = SqlKind::None;
  bool output = false;
};

enum class BuiltinProcedure { None, UpdateTable, DeleteTable };

struct Procedure {
  std::string name;
  std::vector<ProcedureParameter> parameters;
  std::string body;  // SQLite statements; empty for a built-in
  BuiltinProcedure builtin = BuiltinProcedure::None;

  // The parameter of that name (letter case ignored, with or without the
  // leading "@"), or -1.
  int IndexOf(std::string_view name) const;
};

// Reads a parameter list such as "@Org_id int, @Document_id int, @Unique_id int output".
// Returns an error text, empty on success.
std::string ParseParameterList(std::string_view text, std::vector<ProcedureParameter>& out);

// Finds a procedure by name, letter case ignored: the built-in general
// procedures first, then the catalog table. Returns an error text naming the
// procedure when there is none.
std::string LoadProcedure(sqlite3* db, std::string_view name, Procedure& out);

// A procedure with the values given for its parameters.
struct ProcedureCall {
  Procedure procedure;
  std::vector<Variant> values;  // one per parameter; Empty until given or set
};

// What a run of statements produced.
struct StatementResults {
  bool hasRows = false;  // some statement returned a result (possibly empty)
  std::vector<Column> columns;
  std::vector<std::vector<Variant>> rows;
};

// Runs every statement of `sql` in order. With a call, "@name" parameters are
// bound from its values and a statement whose result columns are all named
// after parameters sets those parameters from its last row; without one, the
// text may use no parameters. The rows of the last other statement that
// returns a result go to `results` (collected only when keepRows). `what`
// names the caller in error texts. Returns an error text, empty on success.
std::string RunStatements(sqlite3* db, std::string_view sql, std::string_view what, ProcedureCall* call,
                          bool keepRows, StatementResults& results);

// Runs the call's procedure (catalog body or built-in) on db; the caller
// provides the transaction. Output parameters are written into call.values.
std::string RunProcedure(sqlite3* db, ProcedureCall& call, bool keepRows, StatementResults& results);

// True when every statement of the procedure only reads (a catalog body of
// selects); such a call needs no write lock. False when a statement writes or
// cannot be compiled on its own.
bool ReadsOnly(sqlite3* db, const Procedure& procedure);

// Steps stmt to its end, appending every row read with the column kinds; the
// untyped columns are then typed from their values. Returns SQLite's result
// code (SQLITE_DONE on success).
int CollectRows(sqlite3_stmt* stmt, StatementResults& results);

// "\"name\"" with any quote inside doubled.
std::string QuoteIdentifier(std::string_view name);

}  // namespace tarnwick::sqlite::engine_detail
