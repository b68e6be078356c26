// The engine against a database made the way `tarnwick init` makes one: every
// procedure of the office's catalog is accepted. (What the procedures answer is
// held to the classes' expectations in the office and document tests.)
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "gateway/sqlite/engine.hpp"
#include "office/file_office.hpp"
#include "support/engine_office.hpp"
#include "tarnwick/recordset.hpp"

namespace tarnwick::test {
namespace {

TEST(OfficeCatalog, EveryCatalogProcedurePrepares) {
  TempDir dir;
  const std::string path = dir.File("office.db");
  office::OfficeOptions options;
  options.sampleDocuments = 20;
  options.sqlDirectory = TARNWICK_TEST_DB_SQL_DIR;
  const auto made = office::CreateFileOffice(path, options);
  ASSERT_TRUE(made.ok()) << made.message;
  sqlite::Engine engine;
  ASSERT_TRUE(engine.Open(path)) << engine.LastError();

  // The catalog is read from the file: a query sent through the gateway may
  // read only the office's own tables.
  std::shared_ptr<Recordset> names;
  EXPECT_NE(engine.OpenRecordset("select name from tw_procedure order by name", names, 0, true), "");
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  sqlite3_stmt* stmt = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "select name from tw_procedure order by name", -1, &stmt, nullptr), SQLITE_OK);
  int count = 0;
  for (; sqlite3_step(stmt) == SQLITE_ROW; ++count) {
    const std::string name = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    EXPECT_EQ(engine.PrepareProcedure(name), "") << name;
  }
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  EXPECT_GT(count, 0);
}

}  // namespace
}  // namespace tarnwick::test
