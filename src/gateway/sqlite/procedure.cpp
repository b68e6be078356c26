// Stored procedures of the office file: loading catalog entries, the two
// built-in general procedures, and running a call (see procedure.hpp).
#include "gateway/sqlite/procedure.hpp"

#include <atomic>
#include <climits>
#include <memory>
#include <utility>

#include "gateway/sqlite/catalog.hpp"
#include "gateway/sqlite/parameter_list.hpp"
#include "runtime/text.hpp"

namespace tarnwick::sqlite::engine_detail {

namespace {

// Names, declared types and values the engine reads lose any white space around them.
std::string_view Trim(std::string_view s) { return runtime::Trim(s, runtime::kWhiteSpace); }


// The statement that failed to prepare, for the error text: the text up to
// the next semicolon.
std::string PendingStatement(std::string_view rest) {
  rest = Trim(rest);
  const auto semicolon = rest.find(';');
  return std::string(Trim(rest.substr(0, semicolon)));
}

std::string StatementError(std::string_view what, int number, std::string_view statement, sqlite3* db) {
  std::string text(what);
  text += ", statement ";
  text += std::to_string(number);
  text += " \"";
  text += statement;
  text += "\": ";
  text += EngineCause(db);
  return text;
}

// Parameters of the two general procedures. "@value" carries whatever the
// caller sends; it is converted to the named column's type when run.
Procedure BuiltinDefinition(BuiltinProcedure which) {
  Procedure p;
  p.builtin = which;
  auto add = [&](const char* name, const char* type) {
    p.parameters.push_back(ProcedureParameter{name, type, KindOfDeclaredType(type), false});
  };
  if (which == BuiltinProcedure::UpdateTable) {
    p.name = "sp_update_table";
    add("@table", "varchar(128)");
    add("@column", "varchar(128)");
    add("@unique_id", "int");
    add("@value", "");
  } else {
    p.name = "sp_delete_table";
    add("@table", "varchar(128)");
    add("@unique_id", "int");
  }
  return p;
}

const std::shared_ptr<const Procedure>& Builtin(BuiltinProcedure which) {
  static const auto update = std::make_shared<const Procedure>(BuiltinDefinition(BuiltinProcedure::UpdateTable));
  static const auto remove = std::make_shared<const Procedure>(BuiltinDefinition(BuiltinProcedure::DeleteTable));
  return which == BuiltinProcedure::UpdateTable ? update : remove;
}

// A kept statement for one of the engine's own fixed texts.
int PrepareFixed(Session& session, std::string_view sql, StatementLease& lease) {
  std::size_t taken = 0;
  const int rc = session.statements.Prepare(session.db, sql, lease, taken);
  if (rc == SQLITE_OK && lease.get() == nullptr) return SQLITE_MISUSE;
  return rc;
}

// The table's name as the schema spells it.
std::string FindTable(Session& session, const std::string& procedure, const std::string& name, std::string& exact) {
  sqlite3* db = session.db;
  StatementLease lease;
  if (PrepareFixed(session, "select name from sqlite_master where type = 'table' and name = ?1 collate nocase",
                   lease) != SQLITE_OK)
    return procedure + ": cannot read the schema: " + EngineCause(db);
  sqlite3_stmt* raw = lease.get();
  sqlite3_bind_text(raw, 1, name.c_str(), static_cast<int>(name.size()), SQLITE_STATIC);
  const int rc = sqlite3_step(raw);
  if (rc == SQLITE_ROW) {
    exact = reinterpret_cast<const char*>(sqlite3_column_text(raw, 0));
    return {};
  }
  if (rc == SQLITE_DONE) return procedure + ": the database has no table named '" + name + "'";
  return procedure + ": cannot read the schema: " + EngineCause(db);
}

std::string ReadTableColumns(Session& session, const std::string& procedure, const std::string& table,
                             std::vector<TableColumn>& out) {
  sqlite3* db = session.db;
  StatementLease lease;
  if (PrepareFixed(session, "select name, type from pragma_table_info(?1)", lease) != SQLITE_OK)
    return procedure + ": cannot read the columns of table '" + table + "': " + EngineCause(db);
  sqlite3_stmt* raw = lease.get();
  sqlite3_bind_text(raw, 1, table.c_str(), static_cast<int>(table.size()), SQLITE_STATIC);
  int rc;
  while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
    const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(raw, 0));
    const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(raw, 1));
    out.push_back(TableColumn{name ? name : "", type ? type : ""});
  }
  if (rc != SQLITE_DONE)
    return procedure + ": cannot read the columns of table '" + table + "': " + EngineCause(db);
  return {};
}

// The layout of the table the caller names, kept until the schema changes.
std::string LookupTable(Session& session, const std::string& procedure, const Variant& table,
                        const TableLayout*& out) {
  if (table.Type() != VarType::String || Trim(table.CStr()).empty())
    return procedure + ": @table must name a table";
  sqlite3* db = session.db;
  std::int64_t version = 0;
  {
    StatementLease lease;
    if (PrepareFixed(session, "PRAGMA schema_version", lease) != SQLITE_OK ||
        sqlite3_step(lease.get()) != SQLITE_ROW)
      return procedure + ": cannot read the schema: " + EngineCause(db);
    version = sqlite3_column_int64(lease.get(), 0);
  }
  if (version != session.tablesSchemaVersion) {
    session.tables.clear();
    session.tablesSchemaVersion = version;
  }
  const std::string name(Trim(table.CStr()));
  std::string key = runtime::ToLower(name);
  if (const auto found = session.tables.find(key); found != session.tables.end()) {
    out = &found->second;
    return {};
  }
  TableLayout layout;
  if (auto e = FindTable(session, procedure, name, layout.name); !e.empty()) return e;
  if (auto e = ReadTableColumns(session, procedure, layout.name, layout.columns); !e.empty()) return e;
  out = &session.tables.emplace(std::move(key), std::move(layout)).first->second;
  return {};
}

const TableColumn* FindColumn(const std::vector<TableColumn>& columns, std::string_view name) {
  for (const auto& c : columns)
    if (SameName(c.name, name)) return &c;
  return nullptr;
}

// The row identifier every record table carries.
constexpr const char* kKeyColumn = "unique_id";

std::string RowKey(const std::string& procedure, const Variant& id, SqlValue& key) {
  std::string error = ToSqlValue(id, SqlKind::Int, key);
  if (!error.empty()) return procedure + ": @unique_id: " + error;
  if (key.storage == SqlValue::Storage::Null) return procedure + ": @unique_id must be given";
  return {};
}

std::string ExecuteKeyed(Session& session, const std::string& procedure, const std::string& sql,
                         const std::vector<const SqlValue*>& values) {
  sqlite3* db = session.db;
  StatementLease lease;
  if (PrepareFixed(session, sql, lease) != SQLITE_OK) return procedure + ": \"" + sql + "\": " + EngineCause(db);
  sqlite3_stmt* raw = lease.get();
  for (std::size_t i = 0; i < values.size(); ++i)
    if (BindSqlValue(raw, static_cast<int>(i + 1), *values[i]) != SQLITE_OK)
      return procedure + ": \"" + sql + "\": " + EngineCause(db);
  if (sqlite3_step(raw) != SQLITE_DONE) return procedure + ": \"" + sql + "\": " + EngineCause(db);
  return {};
}

// sp_update_table: sets one column of one record, the value arriving as the
// text the library makes of it ("3/4/2005", "1234.5", "1") and going back to
// the column's declared type. A record that is not there is an error: the
// library would otherwise count an edit as saved that was not.
std::string UpdateTable(Session& session, ProcedureCall& call) {
  sqlite3* db = session.db;
  const std::string& procedure = call.procedure->name;
  const TableLayout* layout = nullptr;
  if (auto e = LookupTable(session, procedure, call.values[0], layout); !e.empty()) return e;
  const std::string& table = layout->name;
  const std::vector<TableColumn>& columns = layout->columns;
  const Variant& columnName = call.values[1];
  if (columnName.Type() != VarType::String || Trim(columnName.CStr()).empty())
    return procedure + ": @column must name a column";
  const TableColumn* column = FindColumn(columns, Trim(columnName.CStr()));
  if (!column) return procedure + ": table '" + table + "' has no column '" + columnName.CStr() + "'";
  const TableColumn* key = FindColumn(columns, kKeyColumn);
  if (!key) return procedure + ": table '" + table + "' has no " + kKeyColumn + " column";
  SqlValue id;
  if (auto e = RowKey(procedure, call.values[2], id); !e.empty()) return e;
  SqlValue value;
  if (auto e = ToDeclaredValue(call.values[3], column->type, KindOfDeclaredType(column->type), value); !e.empty())
    return procedure + ": @value for column '" + column->name + "' of table '" + table + "': " + e;
  const std::string sql = "update " + QuoteIdentifier(table) + " set " + QuoteIdentifier(column->name) +
                          " = ?1 where " + QuoteIdentifier(key->name) + " = ?2";
  if (auto e = ExecuteKeyed(session, procedure, sql, {&value, &id}); !e.empty()) return e;
  if (sqlite3_changes(db) == 0)
    return procedure + ": table '" + table + "' has no row with " + kKeyColumn + " " + std::to_string(id.integer);
  return {};
}

// sp_delete_table: removes one record. Deleting a record that is already gone
// leaves the database as the caller wants it and is not an error.
std::string DeleteTable(Session& session, ProcedureCall& call) {
  const std::string& procedure = call.procedure->name;
  const TableLayout* layout = nullptr;
  if (auto e = LookupTable(session, procedure, call.values[0], layout); !e.empty()) return e;
  const std::string& table = layout->name;
  const std::vector<TableColumn>& columns = layout->columns;
  const TableColumn* key = FindColumn(columns, kKeyColumn);
  if (!key) return procedure + ": table '" + table + "' has no " + kKeyColumn + " column";
  SqlValue id;
  if (auto e = RowKey(procedure, call.values[1], id); !e.empty()) return e;
  const std::string sql =
      "delete from " + QuoteIdentifier(table) + " where " + QuoteIdentifier(key->name) + " = ?1";
  return ExecuteKeyed(session, procedure, sql, {&id});
}

// Binds every "@name" of the statement from the call; a text run without a
// call may use no parameters.
std::string BindParameters(sqlite3_stmt* stmt, std::string_view what, int number, ProcedureCall* call,
                           sqlite3* db) {
  const int count = sqlite3_bind_parameter_count(stmt);
  for (int i = 1; i <= count; ++i) {
    const char* raw = sqlite3_bind_parameter_name(stmt, i);
    const std::string name = raw ? raw : "?";
    auto fail = [&](const std::string& why) {
      return std::string(what) + ", statement " + std::to_string(number) + " \"" + sqlite3_sql(stmt) +
             "\": " + why;
    };
    if (!call) return fail("the text uses the parameter " + name + ", which has no value");
    if (name.empty() || name[0] != '@') return fail("parameters are written @name; " + name + " is not");
    const int index = call->procedure->IndexOf(name);
    if (index < 0) return fail(name + " is not among the procedure's parameters");
    const ProcedureParameter& parameter = call->procedure->parameters[static_cast<std::size_t>(index)];
    const Variant& given = call->values[static_cast<std::size_t>(index)];
    if (given.Type() == VarType::Bytes && !given.AsBytes().empty() &&
        (parameter.kind == SqlKind::Binary || parameter.kind == SqlKind::None)) {
      // A page image is bound where it lies: the call holds it until the
      // statement is reset, and a copy would double the memory it takes.
      const Bytes& bytes = given.AsBytes();
      if (sqlite3_bind_blob64(stmt, i, bytes.data(), bytes.size(), SQLITE_STATIC) != SQLITE_OK)
        return fail(sqlite3_errmsg(db));
      continue;
    }
    SqlValue value;
    if (auto e = ToDeclaredValue(call->values[static_cast<std::size_t>(index)], parameter.type, parameter.kind, value);
        !e.empty())
      return std::string(what) + ": parameter " + parameter.name + " (" + parameter.type + "): " + e;
    if (BindSqlValue(stmt, i, value) != SQLITE_OK) return fail(EngineCause(db));
  }
  return {};
}

// For a statement whose result columns are all named after parameters, the
// parameter index of each column; empty for any other statement.
std::string ParameterColumns(sqlite3_stmt* stmt, const ProcedureCall& call, std::string_view what, int number,
                             std::vector<int>& targets) {
  const int count = sqlite3_column_count(stmt);
  int named = 0;
  for (int c = 0; c < count; ++c) {
    const char* name = sqlite3_column_name(stmt, c);
    if (name && name[0] == '@') ++named;
  }
  if (named == 0) return {};
  auto fail = [&](const std::string& why) {
    return std::string(what) + ", statement " + std::to_string(number) + " \"" + sqlite3_sql(stmt) + "\": " + why;
  };
  if (named != count) return fail("a result mixes parameter columns with other columns");
  for (int c = 0; c < count; ++c) {
    const std::string name = sqlite3_column_name(stmt, c);
    const int index = call.procedure->IndexOf(name);
    if (index < 0) return fail("the column " + name + " names no parameter of the procedure");
    targets.push_back(index);
  }
  return {};
}

}  // namespace

int Procedure::IndexOf(std::string_view wanted) const {
  if (!wanted.empty() && wanted.front() == '@') wanted.remove_prefix(1);
  for (std::size_t i = 0; i < parameters.size(); ++i) {
    std::string_view have = parameters[i].name;
    have.remove_prefix(1);
    if (SameName(have, wanted)) return static_cast<int>(i);
  }
  return -1;
}

int AuthorizeClientText(void* session, int action, const char* first, const char*, const char* database,
                        const char*) {
  if (!static_cast<const Session*>(session)->clientText) return SQLITE_OK;
  switch (action) {
    case SQLITE_SELECT:
    case SQLITE_FUNCTION:
    case SQLITE_RECURSIVE:
      return SQLITE_OK;
    case SQLITE_READ: {
      const std::string_view table = first ? first : "";
      const auto starts = [&](std::string_view prefix) {
        return table.size() >= prefix.size() && SameName(table.substr(0, prefix.size()), prefix);
      };
      // A count(*) reads its table without naming the database.
      const bool main = !database || SameName(database, "main");
      return main && !starts("sqlite_") && !starts("tw_") && !starts("pragma_") ? SQLITE_OK : SQLITE_DENY;
    }
    default:
      return SQLITE_DENY;
  }
}

namespace {

std::atomic<int (*)()> stepCheck{nullptr};
std::atomic<int> stepCheckPeriod{0};

}  // namespace

void SetStepCheck(int steps, int (*check)()) {
  stepCheckPeriod = steps;
  stepCheck = check;
}

void WatchDeadline(Session& session) {
  // Looked at every few thousand steps of the engine's machine: often enough
  // to stop within a fraction of a second, rarely enough to cost nothing.
  const bool checked = stepCheck.load() != nullptr;
  sqlite3_progress_handler(
      session.db, checked ? stepCheckPeriod.load() : 4000,
      [](void* data) {
        if (auto check = stepCheck.load(); check != nullptr && check() != 0) return 1;
        auto* s = static_cast<Session*>(data);
        if (std::chrono::steady_clock::now() < s->deadline) return 0;
        s->stopped = true;
        return 1;
      },
      &session);
}

std::string EngineCause(sqlite3* db) {
  std::string cause = sqlite3_errmsg(db);
  const int code = sqlite3_errcode(db) & 0xff;
  if (code == SQLITE_CORRUPT || code == SQLITE_NOTADB) {
    const char* file = sqlite3_db_filename(db, "main");
    return "the database file '" + std::string(file ? file : "") + "' is damaged (" + cause + ")";
  }
  return cause;
}

std::string QuoteIdentifier(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    out += c;
    if (c == '"') out += '"';
  }
  out += '"';
  return out;
}

std::string ParseParameterList(std::string_view text, std::vector<ProcedureParameter>& out) {
  out.clear();
  std::vector<DeclaredParameter> declared;
  if (std::string error = ParseDeclaredParameters(text, declared); !error.empty()) return error;
  for (DeclaredParameter& d : declared) {
    ProcedureParameter parameter;
    parameter.kind = KindOfDeclaredType(d.type);
    parameter.name = std::move(d.name);
    parameter.type = std::move(d.type);
    parameter.output = d.output;
    out.push_back(std::move(parameter));
  }
  return {};
}

std::string LoadProcedure(Session& session, std::string_view name, std::shared_ptr<const Procedure>& out) {
  const std::string wanted(Trim(name));
  if (wanted.empty()) return "No procedure name was given";
  if (SameName(wanted, "sp_update_table")) {
    out = Builtin(BuiltinProcedure::UpdateTable);
    return {};
  }
  if (SameName(wanted, "sp_delete_table")) {
    out = Builtin(BuiltinProcedure::DeleteTable);
    return {};
  }
  sqlite3* db = session.db;
  static const std::string sql =
      std::string("select name, parameters, body from ") + kProcedureTable + " where name = ?1 collate nocase";
  StatementLease lease;
  if (PrepareFixed(session, sql, lease) != SQLITE_OK)
    return "Procedure " + wanted + ": the procedure catalog cannot be read: " + EngineCause(db);
  sqlite3_stmt* raw = lease.get();
  sqlite3_bind_text(raw, 1, wanted.c_str(), static_cast<int>(wanted.size()), SQLITE_STATIC);
  const int rc = sqlite3_step(raw);
  std::string key = runtime::ToLower(wanted);
  if (rc == SQLITE_DONE) {
    session.procedures.erase(key);
    return "No stored procedure named '" + wanted + "' in the database";
  }
  if (rc != SQLITE_ROW)
    return "Procedure " + wanted + ": the procedure catalog cannot be read: " + EngineCause(db);
  auto text = [&](int col) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(raw, col));
    return p ? std::string_view(p, static_cast<std::size_t>(sqlite3_column_bytes(raw, col))) : std::string_view();
  };
  // The row as it stands now decides: a definition changed by any connection
  // since the last call is parsed afresh.
  const auto found = session.procedures.find(key);
  if (found != session.procedures.end() && found->second.name == text(0) && found->second.parameters == text(1) &&
      found->second.body == text(2)) {
    out = found->second.procedure;
    return {};
  }
  CatalogEntry entry{std::string(text(0)), std::string(text(1)), std::string(text(2)), nullptr};
  auto p = std::make_shared<Procedure>();
  p->name = entry.name;
  p->body = entry.body;
  if (auto e = ParseParameterList(entry.parameters, p->parameters); !e.empty()) {
    if (found != session.procedures.end()) session.procedures.erase(found);
    return "Procedure " + p->name + " in the catalog: " + e;
  }
  entry.procedure = p;
  out = std::move(p);
  session.procedures.insert_or_assign(std::move(key), std::move(entry));
  return {};
}

bool ReadsOnly(Session& session, const Procedure& procedure) {
  if (procedure.builtin != BuiltinProcedure::None) return false;
  const std::string& sql = procedure.body;
  if (sql.size() > static_cast<std::size_t>(INT_MAX)) return false;
  std::string_view rest = sql;
  while (!rest.empty()) {
    StatementLease lease;
    std::size_t taken = 0;
    if (session.statements.Prepare(session.db, rest, lease, taken) != SQLITE_OK) return false;
    if (lease.get() && !sqlite3_stmt_readonly(lease.get())) return false;
    if (taken == 0) break;
    rest.remove_prefix(taken);
  }
  return true;
}

int CollectRows(sqlite3_stmt* stmt, StatementResults& results) {
  // The columns are read after the first step: a kept statement is compiled
  // again there when the schema has changed since (a column added to a table
  // it selects * from), and only then describes what it returns.
  int rc = sqlite3_step(stmt);
  const int count = sqlite3_column_count(stmt);
  std::vector<SqlKind> kinds(static_cast<std::size_t>(count));
  results.hasRows = true;
  results.columns.clear();
  results.cells.clear();
  results.columns.reserve(kinds.size());
  for (int c = 0; c < count; ++c) {
    const char* declared = sqlite3_column_decltype(stmt, c);
    kinds[static_cast<std::size_t>(c)] = KindOfDeclaredType(declared ? declared : "");
    const char* name = sqlite3_column_name(stmt, c);
    results.columns.push_back(Column{name ? name : "", DataTypeOfKind(kinds[static_cast<std::size_t>(c)])});
  }
  // The values go straight into one block, as the result set keeps them.
  for (; rc == SQLITE_ROW; rc = sqlite3_step(stmt)) {
    for (int c = 0; c < count; ++c) results.cells.push_back(ReadColumn(stmt, c, kinds[static_cast<std::size_t>(c)]));
  }
  if (rc == SQLITE_DONE) TypeUntypedColumns(kinds, results.columns, results.cells);
  return rc;
}

std::string RunStatements(Session& session, std::string_view sql, std::string_view what, ProcedureCall* call,
                          bool keepRows, StatementResults& results) {
  if (sql.size() > static_cast<std::size_t>(INT_MAX)) return std::string(what) + ": the text is too long";
  sqlite3* db = session.db;
  std::string_view rest = sql;
  int number = 0;
  while (!rest.empty()) {
    StatementLease lease;
    std::size_t taken = 0;
    if (session.statements.Prepare(db, rest, lease, taken) != SQLITE_OK)
      return StatementError(what, number + 1, PendingStatement(rest), db);
    rest.remove_prefix(taken == 0 ? rest.size() : taken);
    sqlite3_stmt* raw = lease.get();
    if (!raw) continue;  // only blanks or a comment
    ++number;
    if (session.clientText && !sqlite3_stmt_readonly(raw))
      return std::string(what) + ", statement " + std::to_string(number) + " \"" + sqlite3_sql(raw) +
             "\": a query may only read; this statement would change the database";
    if (auto e = BindParameters(raw, what, number, call, db); !e.empty()) return e;
    std::vector<int> targets;
    if (call && sqlite3_column_count(raw) > 0) {
      if (auto e = ParameterColumns(raw, *call, what, number, targets); !e.empty()) return e;
    }
    int rc;
    if (!targets.empty()) {
      // Sets output parameters: the last row wins, no row leaves them as they were.
      while ((rc = sqlite3_step(raw)) == SQLITE_ROW)
        for (std::size_t c = 0; c < targets.size(); ++c) {
          const auto& parameter = call->procedure->parameters[static_cast<std::size_t>(targets[c])];
          call->values[static_cast<std::size_t>(targets[c])] = ReadColumn(raw, static_cast<int>(c), parameter.kind);
        }
    } else if (sqlite3_column_count(raw) > 0) {
      StatementResults fresh;
      if (keepRows) {
        rc = CollectRows(raw, fresh);
      } else {
        fresh.hasRows = true;
        while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
        }
      }
      if (rc == SQLITE_DONE) results = std::move(fresh);
    } else {
      while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
      }
    }
    if (rc != SQLITE_DONE) return StatementError(what, number, sqlite3_sql(raw), db);
  }
  return {};
}

std::string RunProcedure(Session& session, ProcedureCall& call, bool keepRows, StatementResults& results) {
  switch (call.procedure->builtin) {
    case BuiltinProcedure::UpdateTable: return UpdateTable(session, call);
    case BuiltinProcedure::DeleteTable: return DeleteTable(session, call);
    case BuiltinProcedure::None: break;
  }
  return RunStatements(session, call.procedure->body, "Procedure " + call.procedure->name, &call, keepRows, results);
}

std::string BindCallParameters(sqlite3_stmt* stmt, std::string_view what, ProcedureCall* call, sqlite3* db) {
  return BindParameters(stmt, what, 1, call, db);
}

}  // namespace tarnwick::sqlite::engine_detail
