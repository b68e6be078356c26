#include "gateway/sqlite/procedure.hpp"

#include <climits>
#include <memory>
#include <utility>

#include "gateway/sqlite/catalog.hpp"

namespace tarnwick::sqlite::engine_detail {

namespace {

struct StatementDeleter {
  void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
};
using StatementPtr = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' || s.front() == '\n'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
    s.remove_suffix(1);
  return s;
}

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}

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
  text += sqlite3_errmsg(db);
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

// The table's name as the schema spells it.
std::string FindTable(sqlite3* db, const std::string& procedure, const Variant& table, std::string& exact) {
  if (table.Type() != VarType::String || Trim(table.CStr()).empty())
    return procedure + ": @table must name a table";
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, "select name from sqlite_master where type = 'table' and name = ?1 collate nocase",
                         -1, &raw, nullptr) != SQLITE_OK)
    return procedure + ": cannot read the schema: " + sqlite3_errmsg(db);
  StatementPtr stmt(raw);
  const std::string name(Trim(table.CStr()));
  sqlite3_bind_text(raw, 1, name.c_str(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
  const int rc = sqlite3_step(raw);
  if (rc == SQLITE_ROW) {
    exact = reinterpret_cast<const char*>(sqlite3_column_text(raw, 0));
    return {};
  }
  if (rc == SQLITE_DONE) return procedure + ": the database has no table named '" + name + "'";
  return procedure + ": cannot read the schema: " + sqlite3_errmsg(db);
}

struct TableColumn {
  std::string name, type;
};

std::string ReadTableColumns(sqlite3* db, const std::string& procedure, const std::string& table,
                             std::vector<TableColumn>& out) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, "select name, type from pragma_table_info(?1)", -1, &raw, nullptr) != SQLITE_OK)
    return procedure + ": cannot read the columns of table '" + table + "': " + sqlite3_errmsg(db);
  StatementPtr stmt(raw);
  sqlite3_bind_text(raw, 1, table.c_str(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
  int rc;
  while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
    const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(raw, 0));
    const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(raw, 1));
    out.push_back(TableColumn{name ? name : "", type ? type : ""});
  }
  if (rc != SQLITE_DONE)
    return procedure + ": cannot read the columns of table '" + table + "': " + sqlite3_errmsg(db);
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

std::string ExecuteKeyed(sqlite3* db, const std::string& procedure, const std::string& sql,
                         const std::vector<const SqlValue*>& values) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &raw, nullptr) != SQLITE_OK)
    return procedure + ": \"" + sql + "\": " + sqlite3_errmsg(db);
  StatementPtr stmt(raw);
  for (std::size_t i = 0; i < values.size(); ++i)
    if (BindSqlValue(raw, static_cast<int>(i + 1), *values[i]) != SQLITE_OK)
      return procedure + ": \"" + sql + "\": " + sqlite3_errmsg(db);
  if (sqlite3_step(raw) != SQLITE_DONE) return procedure + ": \"" + sql + "\": " + sqlite3_errmsg(db);
  return {};
}

// sp_update_table: sets one column of one record, the value arriving as the
// text the library makes of it ("3/4/2005", "1234.5", "1") and going back to
// the column's declared type. A record that is not there is an error: the
// library would otherwise count an edit as saved that was not.
std::string UpdateTable(sqlite3* db, ProcedureCall& call) {
  const std::string procedure = call.procedure.name;
  std::string table;
  if (auto e = FindTable(db, procedure, call.values[0], table); !e.empty()) return e;
  std::vector<TableColumn> columns;
  if (auto e = ReadTableColumns(db, procedure, table, columns); !e.empty()) return e;
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
  if (auto e = ToSqlValue(call.values[3], KindOfDeclaredType(column->type), value); !e.empty())
    return procedure + ": @value for column '" + column->name + "' of table '" + table + "': " + e;
  const std::string sql = "update " + QuoteIdentifier(table) + " set " + QuoteIdentifier(column->name) +
                          " = ?1 where " + QuoteIdentifier(key->name) + " = ?2";
  if (auto e = ExecuteKeyed(db, procedure, sql, {&value, &id}); !e.empty()) return e;
  if (sqlite3_changes(db) == 0)
    return procedure + ": table '" + table + "' has no row with " + kKeyColumn + " " + std::to_string(id.integer);
  return {};
}

// sp_delete_table: removes one record. Deleting a record that is already gone
// leaves the database as the caller wants it and is not an error.
std::string DeleteTable(sqlite3* db, ProcedureCall& call) {
  const std::string procedure = call.procedure.name;
  std::string table;
  if (auto e = FindTable(db, procedure, call.values[0], table); !e.empty()) return e;
  std::vector<TableColumn> columns;
  if (auto e = ReadTableColumns(db, procedure, table, columns); !e.empty()) return e;
  const TableColumn* key = FindColumn(columns, kKeyColumn);
  if (!key) return procedure + ": table '" + table + "' has no " + kKeyColumn + " column";
  SqlValue id;
  if (auto e = RowKey(procedure, call.values[1], id); !e.empty()) return e;
  const std::string sql =
      "delete from " + QuoteIdentifier(table) + " where " + QuoteIdentifier(key->name) + " = ?1";
  return ExecuteKeyed(db, procedure, sql, {&id});
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
    const int index = call->procedure.IndexOf(name);
    if (index < 0) return fail(name + " is not among the procedure's parameters");
    const ProcedureParameter& parameter = call->procedure.parameters[static_cast<std::size_t>(index)];
    SqlValue value;
    if (auto e = ToSqlValue(call->values[static_cast<std::size_t>(index)], parameter.kind, value); !e.empty())
      return std::string(what) + ": parameter " + parameter.name + " (" + parameter.type + "): " + e;
    if (BindSqlValue(stmt, i, value) != SQLITE_OK) return fail(sqlite3_errmsg(db));
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
    const int index = call.procedure.IndexOf(name);
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
  if (Trim(text).empty()) return {};
  std::vector<std::string_view> items;
  int depth = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || (text[i] == ',' && depth == 0)) {
      items.push_back(text.substr(start, i - start));
      start = i + 1;
    } else if (text[i] == '(') {
      ++depth;
    } else if (text[i] == ')') {
      if (--depth < 0) return "unbalanced parentheses in the parameter list";
    }
  }
  if (depth != 0) return "unbalanced parentheses in the parameter list";
  for (std::string_view item : items) {
    item = Trim(item);
    if (item.empty()) return "an empty entry in the parameter list";
    if (item.front() != '@') return "parameter '" + std::string(item) + "' does not start with @";
    std::size_t end = 1;
    while (end < item.size() && IsNameChar(item[end])) ++end;
    if (end == 1) return "parameter '" + std::string(item) + "' has no name";
    ProcedureParameter parameter;
    parameter.name = std::string(item.substr(0, end));
    std::string_view type = Trim(item.substr(end));
    // A trailing OUTPUT (or OUT) makes it an output parameter.
    for (std::string_view word : {std::string_view("output"), std::string_view("out")}) {
      if (type.size() >= word.size() && SameName(type.substr(type.size() - word.size()), word) &&
          (type.size() == word.size() || type[type.size() - word.size() - 1] == ' ' ||
           type[type.size() - word.size() - 1] == '\t')) {
        parameter.output = true;
        type = Trim(type.substr(0, type.size() - word.size()));
        break;
      }
    }
    if (type.find('=') != std::string_view::npos)
      return "parameter " + parameter.name + ": default values are not supported";
    parameter.type = std::string(type);
    parameter.kind = KindOfDeclaredType(type);
    for (const auto& other : out)
      if (SameName(other.name, parameter.name)) return "parameter " + parameter.name + " is declared twice";
    out.push_back(std::move(parameter));
  }
  return {};
}

std::string LoadProcedure(sqlite3* db, std::string_view name, Procedure& out) {
  const std::string wanted(Trim(name));
  if (wanted.empty()) return "No procedure name was given";
  if (SameName(wanted, "sp_update_table")) {
    out = BuiltinDefinition(BuiltinProcedure::UpdateTable);
    return {};
  }
  if (SameName(wanted, "sp_delete_table")) {
    out = BuiltinDefinition(BuiltinProcedure::DeleteTable);
    return {};
  }
  const std::string sql = std::string("select name, parameters, body from ") + kProcedureTable +
                          " where name = ?1 collate nocase";
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
    return "Procedure " + wanted + ": the procedure catalog cannot be read: " + sqlite3_errmsg(db);
  StatementPtr stmt(raw);
  sqlite3_bind_text(raw, 1, wanted.c_str(), static_cast<int>(wanted.size()), SQLITE_TRANSIENT);
  const int rc = sqlite3_step(raw);
  if (rc == SQLITE_DONE) return "No stored procedure named '" + wanted + "' in the database";
  if (rc != SQLITE_ROW)
    return "Procedure " + wanted + ": the procedure catalog cannot be read: " + sqlite3_errmsg(db);
  auto text = [&](int col) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(raw, col));
    return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(raw, col))) : std::string();
  };
  Procedure p;
  p.name = text(0);
  p.body = text(2);
  if (auto e = ParseParameterList(text(1), p.parameters); !e.empty())
    return "Procedure " + p.name + " in the catalog: " + e;
  out = std::move(p);
  return {};
}

bool ReadsOnly(sqlite3* db, const Procedure& procedure) {
  if (procedure.builtin != BuiltinProcedure::None) return false;
  const std::string& sql = procedure.body;
  if (sql.size() > static_cast<std::size_t>(INT_MAX)) return false;
  const char* next = sql.data();
  const char* const end = sql.data() + sql.size();
  while (next < end) {
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    const int prepared = sqlite3_prepare_v2(db, next, static_cast<int>(end - next), &raw, &tail);
    StatementPtr stmt(raw);
    if (prepared != SQLITE_OK) return false;
    if (raw && !sqlite3_stmt_readonly(raw)) return false;
    next = tail ? tail : end;
  }
  return true;
}

int CollectRows(sqlite3_stmt* stmt, StatementResults& results) {
  const int count = sqlite3_column_count(stmt);
  std::vector<SqlKind> kinds(static_cast<std::size_t>(count));
  results.hasRows = true;
  results.columns.clear();
  results.rows.clear();
  results.columns.reserve(kinds.size());
  for (int c = 0; c < count; ++c) {
    const char* declared = sqlite3_column_decltype(stmt, c);
    kinds[static_cast<std::size_t>(c)] = KindOfDeclaredType(declared ? declared : "");
    const char* name = sqlite3_column_name(stmt, c);
    results.columns.push_back(Column{name ? name : "", DataTypeOfKind(kinds[static_cast<std::size_t>(c)])});
  }
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    std::vector<Variant> row;
    row.reserve(kinds.size());
    for (int c = 0; c < count; ++c) row.push_back(ReadColumn(stmt, c, kinds[static_cast<std::size_t>(c)]));
    results.rows.push_back(std::move(row));
  }
  if (rc == SQLITE_DONE) TypeUntypedColumns(kinds, results.columns, results.rows);
  return rc;
}

std::string RunStatements(sqlite3* db, std::string_view sql, std::string_view what, ProcedureCall* call,
                          bool keepRows, StatementResults& results) {
  if (sql.size() > static_cast<std::size_t>(INT_MAX)) return std::string(what) + ": the text is too long";
  const char* next = sql.data();
  const char* const end = sql.data() + sql.size();
  int number = 0;
  while (next < end) {
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    const int prepared = sqlite3_prepare_v2(db, next, static_cast<int>(end - next), &raw, &tail);
    StatementPtr stmt(raw);
    if (prepared != SQLITE_OK)
      return StatementError(what, number + 1, PendingStatement(std::string_view(next, end - next)), db);
    next = tail ? tail : end;
    if (!raw) continue;  // only blanks or a comment
    ++number;
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
          const auto& parameter = call->procedure.parameters[static_cast<std::size_t>(targets[c])];
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

std::string RunProcedure(sqlite3* db, ProcedureCall& call, bool keepRows, StatementResults& results) {
  switch (call.procedure.builtin) {
    case BuiltinProcedure::UpdateTable: return UpdateTable(db, call);
    case BuiltinProcedure::DeleteTable: return DeleteTable(db, call);
    case BuiltinProcedure::None: break;
  }
  return RunStatements(db, call.procedure.body, "Procedure " + call.procedure.name, &call, keepRows, results);
}

}  // namespace tarnwick::sqlite::engine_detail
