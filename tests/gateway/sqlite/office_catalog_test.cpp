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

  // The catalog is read straight from the file (the gateway refuses to read it).
  const auto names = Db(path).Rows("select name from tw_procedure order by name");
  EXPECT_FALSE(names.empty());
  for (const auto& row : names) EXPECT_EQ(engine.PrepareProcedure(row.at(0)), "") << row.at(0);
}

}  // namespace
}  // namespace tarnwick::test
