// Feeds arbitrary texts to the T-SQL front end. Every text must come back as
// a translation or an error text, never a crash, a hang or a sanitizer report,
// from the SQLite renderer and from the PostgreSQL one alike; a query
// translated for SQLite must also be accepted or rejected cleanly by SQLite.
#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "gateway/postgres/render.hpp"
#include "gateway/sqlite/functions.hpp"
#include "gateway/sqlite/render.hpp"
#include "gateway/tsql/translate.hpp"

namespace {

int budget = 0;

// Stops a translated query that would run long (a join of many copies of t).
int Progress(void*) { return --budget < 0 ? 1 : 0; }

// The server renderer's view of the same table t.
const tarnwick::postgres::OfficeColumns& ServerColumns() {
  using tarnwick::postgres::ValueKind;
  static const tarnwick::postgres::OfficeColumns columns = {
      {"t", {{"a", {ValueKind::Text, true}}, {"b", {ValueKind::Number, false}}, {"d", {ValueKind::Date, false}}}}};
  return columns;
}

sqlite3* Database() {
  static sqlite3* db = [] {
    sqlite3* d = nullptr;
    sqlite3_open(":memory:", &d);
    tarnwick::sqlite::RegisterTsqlFunctions(d);
    sqlite3_exec(d,
                 "create table t (a varchar(10) collate nocase, b int, d datetime);"
                 "insert into t values ('x', 1, '2005-03-04 14:30:00'), (NULL, NULL, NULL), ('Y', 2, 'zz');",
                 nullptr, nullptr, nullptr);
    sqlite3_progress_handler(d, 1000, Progress, nullptr);
    return d;
  }();
  return db;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  tarnwick::tsql::Translation server;
  tarnwick::tsql::Translate(text, tarnwick::postgres::Renderer(ServerColumns()), server);
  tarnwick::tsql::Translation out;
  const std::string error = tarnwick::tsql::Translate(text, tarnwick::sqlite::Renderer(), out);
  if (!error.empty() || out.kind != tarnwick::tsql::Translation::Kind::Query) return 0;
  // Run what came out, a few rows at most, so the SQLite functions are fuzzed too.
  sqlite3_stmt* st = nullptr;
  budget = 200;
  if (sqlite3_prepare_v2(Database(), out.sql.c_str(), static_cast<int>(out.sql.size()), &st, nullptr) == SQLITE_OK) {
    for (int i = 0; i < 16 && sqlite3_step(st) == SQLITE_ROW; ++i) {
    }
  }
  sqlite3_finalize(st);
  return 0;
}
