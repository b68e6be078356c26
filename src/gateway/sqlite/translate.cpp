// Translate: tokenize, parse and, for a query, render as SQLite text; every
// failure comes back as an error text with its position.
#include "gateway/sqlite/translate.hpp"

#include <map>
#include <memory>
#include <set>
#include <string>

#include "gateway/tsql/parser.hpp"
#include "gateway/tsql/rewrite.hpp"
#include "gateway/sqlite/render.hpp"
#include "runtime/text.hpp"

namespace tarnwick::tsql {

std::string Translate(std::string_view tsql, Translation& out, Rewrites rewrites, const ColumnLookup& columns) {
  out = Translation{};
  std::string error = ParseAndRender(tsql, [&](ParsedStatement& statement, SyntaxError& failure) {
    if (statement.isExec) {
      out.kind = Translation::Kind::Exec;
      out.procedure = std::move(statement.procedure);
      out.arguments = std::move(statement.arguments);
      return true;
    }
    if (rewrites == Rewrites::Apply) RewriteForPlanning(*statement.query, columns);
    return sqlite::RenderSqlite(*statement.query, out.sql, failure);
  });
  if (!error.empty()) out = Translation{};
  return error;
}

ColumnLookup DatabaseColumns(sqlite3* db) {
  auto known = std::make_shared<std::map<std::string, std::set<std::string>>>();
  return [db, known](const std::string& table, const std::string& column) {
    const std::string key = runtime::ToLower(table);
    auto found = known->find(key);
    if (found == known->end()) {
      std::set<std::string> names;
      sqlite3_stmt* statement = nullptr;
      if (sqlite3_prepare_v2(db, "select name from pragma_table_info(?1)", -1, &statement, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(statement, 1, table.c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(statement) == SQLITE_ROW) {
          names.insert(runtime::ToLower(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0))));
        }
      }
      sqlite3_finalize(statement);
      found = known->emplace(key, std::move(names)).first;
    }
    return found->second.count(runtime::ToLower(column)) > 0;
  };
}

}  // namespace tarnwick::tsql
