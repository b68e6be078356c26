// Stored procedures of the office database: the catalog entries kept in the
// database file (see catalog.hpp) and the two general procedures built into
// the engine, sp_update_table and sp_delete_table, which take a table and a
// column name that SQLite cannot bind.
#pragma once

#include <chrono>
#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "gateway/sqlite/engine_cache.hpp"
#include "gateway/sqlite/values.hpp"
#include "gateway/tsql/limits.hpp"
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

struct TableColumn {
  std::string name, type;
};

// A table as the general procedures need it: its name as the schema spells
// it and its columns with their declared types.
struct TableLayout {
  std::string name;
  std::vector<TableColumn> columns;
};

// A catalog procedure as last read: the row's texts and what was made of them.
struct CatalogEntry {
  std::string name, parameters, body;
  std::shared_ptr<const Procedure> procedure;
};

// One open database and what the engine keeps about it between calls (see
// engine_cache.hpp). Every statement the engine runs goes through statements.
struct Session {
  explicit Session(sqlite3* connection) : db(connection) {}
  sqlite3* db;
  StatementCache statements{kStatementsKept};
  // By the procedure's name in lower case.
  std::unordered_map<std::string, CatalogEntry> procedures;
  // By the table's name in lower case; valid for tablesSchemaVersion only.
  std::unordered_map<std::string, TableLayout> tables;
  std::int64_t tablesSchemaVersion = -1;
  // Set while a client's query text runs: every statement must only read,
  // and only the office's own tables and views (see AuthorizeClientText).
  bool clientText = false;
  // The statement time limit: the progress handler stops whatever runs past
  // the deadline, and notes that it did so the error can say why.
  std::int32_t limitSeconds = tsql::kStatementSeconds;
  std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();
  bool stopped = false;

  static constexpr std::size_t kStatementsKept = 96;
};

// Starts the statement time limit for one call of the engine and ends it when
// the call returns; a call inside another keeps the outer deadline.
class Deadline {
 public:
  explicit Deadline(Session& session) : session_(session), outer_(session.deadline) {
    if (outer_ != std::chrono::steady_clock::time_point::max()) return;
    session_.stopped = false;
    if (session_.limitSeconds > 0)
      session_.deadline = std::chrono::steady_clock::now() + std::chrono::seconds(session_.limitSeconds);
  }
  ~Deadline() { session_.deadline = outer_; }
  Deadline(const Deadline&) = delete;
  Deadline& operator=(const Deadline&) = delete;

 private:
  Session& session_;
  std::chrono::steady_clock::time_point outer_;
};

// Installs the handler that holds the session's statements to its deadline.
void WatchDeadline(Session& session);

// A check the fault-injection tests add to the engines' statements: called
// every `steps` steps of the engine's machine (instead of every few
// thousand), it stops the statement when it answers nonzero. Applies to the
// engines opened after it is set; null removes it.
void SetStepCheck(int steps, int (*check)());

// Marks the statements compiled and run meanwhile as a client's query text,
// which the authorizer and the read-only rule then hold to.
class ClientText {
 public:
  explicit ClientText(Session& session) : session_(session) { session_.clientText = true; }
  ~ClientText() { session_.clientText = false; }
  ClientText(const ClientText&) = delete;
  ClientText& operator=(const ClientText&) = delete;

 private:
  Session& session_;
};

// Reads a parameter list such as "@Org_id int, @Document_id int, @Unique_id int output".
// Returns an error text, empty on success.
std::string ParseParameterList(std::string_view text, std::vector<ProcedureParameter>& out);

// Finds a procedure by name, letter case ignored: the built-in general
// procedures first, then the catalog table. Returns an error text naming the
// procedure when there is none.
// A catalog procedure is read again on every call (with a kept statement)
// and parsed again only when its row has changed.
std::string LoadProcedure(Session& session, std::string_view name, std::shared_ptr<const Procedure>& out);

// A procedure with the values given for its parameters.
struct ProcedureCall {
  std::shared_ptr<const Procedure> procedure;  // never null in a call being run
  std::vector<Variant> values;  // one per parameter; Empty until given or set
};

// What a run of statements produced.
struct StatementResults {
  bool hasRows = false;  // some statement returned a result (possibly empty)
  std::vector<Column> columns;
  std::vector<Variant> cells;  // row after row, columns.size() values each
};

// Runs every statement of `sql` in order. With a call, "@name" parameters are
// bound from its values and a statement whose result columns are all named
// after parameters sets those parameters from its last row; without one, the
// text may use no parameters. The rows of the last other statement that
// returns a result go to `results` (collected only when keepRows). `what`
// names the caller in error texts. Returns an error text, empty on success.
std::string RunStatements(Session& session, std::string_view sql, std::string_view what, ProcedureCall* call,
                          bool keepRows, StatementResults& results);

// Runs the call's procedure (catalog body or built-in) on db; the caller
// provides the transaction. Output parameters are written into call.values.
std::string RunProcedure(Session& session, ProcedureCall& call, bool keepRows, StatementResults& results);

// True when every statement of the procedure only reads (a catalog body of
// selects); such a call needs no write lock. False when a statement writes or
// cannot be compiled on its own.
bool ReadsOnly(Session& session, const Procedure& procedure);

// Steps stmt to its end, appending every row read with the column kinds; the
// untyped columns are then typed from their values. Returns SQLite's result
// code (SQLITE_DONE on success).
int CollectRows(sqlite3_stmt* stmt, StatementResults& results);

// Binds the call's values to the "@name" parameters of one statement, as a
// procedure's statements are bound. `what` names the caller in error texts.
std::string BindCallParameters(sqlite3_stmt* stmt, std::string_view what, ProcedureCall* call, sqlite3* db);
// The authorizer of every connection (user data: its Session). Outside a
// client's query text it allows everything the engine and the catalog
// procedures do. For a client's text it allows reading the office's own
// tables and views in the main database and calling functions, and denies
// the rest: the schema tables (sqlite_*), the procedure catalog (tw_*),
// pragmas, other databases, transaction control and every kind of write.
int AuthorizeClientText(void* session, int action, const char* first, const char* second, const char* database,
                        const char* trigger);

// SQLite's reason for the failure just reported on db. A damaged file
// (SQLITE_CORRUPT, SQLITE_NOTADB) is named as such, so that a caller never
// takes a read that failed on a bad page for a search that found nothing.
std::string EngineCause(sqlite3* db);

// "\"name\"" with any quote inside doubled.
std::string QuoteIdentifier(std::string_view name);

}  // namespace tarnwick::sqlite::engine_detail
