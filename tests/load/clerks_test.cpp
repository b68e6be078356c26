// Eight clerk processes on one office file for a few seconds: every write the
// library acknowledged is in the file exactly once, and every write it could
// not make was refused with an error text, never a crash.

#include "clerks.hpp"
#include "support/office_files.hpp"
#include "support/server_office.hpp"

namespace tarnwick::test {
namespace {

TEST(ManyClerks, EveryAcknowledgedWriteIsThereOnce) {
  TempDir dir;
  const std::string file = dir.File("office.db");
  ASSERT_TRUE(MakeOffice(file, 20).ok());
  const test::Figures f = test::RunClerks(file, dir.path().string(), 8, 3.0);
  for (const std::string& p : f.problems) ADD_FAILURE() << p;
  EXPECT_GT(f.acknowledged, 8) << "every clerk got some writes done";
  RecordProperty("acknowledged", std::to_string(f.acknowledged));
  RecordProperty("busy", std::to_string(f.busy));
}

// Eight clerk processes on one server office for 30 s: the same proof on
// the office server, where writes race under row locks, and a deadlock or a
// lost race must come back to the clerk as a refusal with its text.
TEST(ManyClerks, OnTheServerEveryAcknowledgedWriteIsThereOnce) {
  TW_REQUIRE_SERVER();
  const std::string database = test::UniqueDatabaseName("clerks");
  office::OfficeOptions options;
  options.sampleDocuments = 20;
  const office::OfficeResult made = office::CreateServerOffice(test::ServerSettings(database), options);
  ASSERT_TRUE(made.ok()) << made.message;
  TempDir dir;
  const postgres::ConnectionSettings s = test::ServerSettings(database);
  const test::Figures f = test::RunClerks(test::Office{database, s.server, s.user}, dir.path().string(), 8, 30.0);
  test::DropServerDatabase(database);
  for (const std::string& p : f.problems) ADD_FAILURE() << p;
  EXPECT_GT(f.acknowledged, 80) << "every clerk got writes done";
  // Each clerk writes only its own documents: a refusal may only be a
  // conflict between clerks (the name index's upkeep once refused moved
  // links with a duplicate key).
  for (const std::string& r : f.refusals) EXPECT_TRUE(detail::IsBusyText(r)) << r;
  RecordProperty("acknowledged", std::to_string(f.acknowledged));
  RecordProperty("refused", std::to_string(f.refused));
}

}  // namespace
}  // namespace tarnwick::test
