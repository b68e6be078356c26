// The engine against a database made the way `tarnwick init` makes one: every
// procedure of the office's catalog is accepted. (What the procedures answer is
// held to the classes' expectations in the office and document tests.)
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "gateway/sqlite/engine.hpp"
#include "gateway/sqlite/office.hpp"
#include "sqlite/office_db.hpp"
#include "tarnwick/recordset.hpp"

namespace tarnwick {
namespace {

TEST(OfficeCatalog, EveryCatalogProcedurePrepares) {
  testing::TempDir dir;
  const std::string path = dir.File("office.db");
  sqlite::OfficeOptions options;
  options.sampleDocuments = 20;
  options.sqlDirectory = TARNWICK_TEST_DB_SQL_DIR;
  const auto made = sqlite::CreateOfficeDatabase(path, options);
  ASSERT_TRUE(made.ok()) << made.message;
  sqlite::Engine engine;
  ASSERT_TRUE(engine.Open(path)) << engine.LastError();

  std::shared_ptr<Recordset> names;
  ASSERT_EQ(engine.OpenRecordset("select name from tw_procedure order by name", names, 0, true), "");
  ASSERT_GT(names->RecordCount(), 0);
  for (names->MoveFirst(); !names->EndOfFile(); names->MoveNext()) {
    const std::string name = names->Collect("name").CStr();
    EXPECT_EQ(engine.PrepareProcedure(name), "") << name;
  }
}

}  // namespace
}  // namespace tarnwick
