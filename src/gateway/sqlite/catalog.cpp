// The columns of an open office database's tables, as the planning rewrites
// ask for them (see catalog.hpp).
#include "gateway/sqlite/catalog.hpp"

#include <map>
#include <memory>
#include <string>

#include "runtime/text.hpp"

namespace tarnwick::sqlite {

tsql::ColumnLookup DatabaseColumns(sqlite3* db) {
  using tsql::ColumnIs;
  auto known = std::make_shared<std::map<std::string, std::map<std::string, ColumnIs>>>();
  return [db, known](const std::string& table, const std::string& column) {
    const std::string key = runtime::ToLower(table);
    auto found = known->find(key);
    if (found == known->end()) {
      // A column is never Null when declared NOT NULL, or when it is the
      // table's one INTEGER PRIMARY KEY (the row's own number).
      std::map<std::string, ColumnIs> columns;
      sqlite3_stmt* statement = nullptr;
      if (sqlite3_prepare_v2(db,
                             "select name, \"notnull\" or (pk = 1 and upper(type) = 'INTEGER' and "
                             "(select count(*) from pragma_table_info(?1) where pk > 0) = 1) "
                             "from pragma_table_info(?1)",
                             -1, &statement, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(statement, 1, table.c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(statement) == SQLITE_ROW) {
          columns[runtime::ToLower(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)))] =
              sqlite3_column_int(statement, 1) != 0 ? ColumnIs::NeverNull : ColumnIs::Present;
        }
      }
      sqlite3_finalize(statement);
      found = known->emplace(key, std::move(columns)).first;
    }
    const auto is = found->second.find(runtime::ToLower(column));
    return is == found->second.end() ? ColumnIs::Absent : is->second;
  };
}

}  // namespace tarnwick::sqlite
