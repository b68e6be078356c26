// The columns of an open office database's tables, as the planning rewrites
// ask for them (see catalog.hpp).
#include "gateway/sqlite/catalog.hpp"

#include <map>
#include <memory>
#include <set>
#include <string>

#include "runtime/text.hpp"

namespace tarnwick::sqlite {

tsql::ColumnLookup DatabaseColumns(sqlite3* db) {
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

}  // namespace tarnwick::sqlite
