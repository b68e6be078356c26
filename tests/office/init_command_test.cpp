// `tarnwick init` as an office runs it: exit codes, the summary line, and no
// progress output when stdout is not a terminal.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/office_files.hpp"

namespace tarnwick::test {
namespace {


TEST(InitCommand, CreatesRefusesAndReplaces) {
  TempDir dir;
  const std::string file = "'" + dir.File("office.db") + "'";

  CliRun made = Tarnwick("init " + file + " --sample 40");
  EXPECT_EQ(made.code, 0) << made.out;
  EXPECT_NE(made.out.find("40 documents"), std::string::npos) << made.out;
  EXPECT_EQ(made.out.find('\r'), std::string::npos) << "progress shown on a pipe";
  EXPECT_EQ(std::count(made.out.begin(), made.out.end(), '\n'), 1) << made.out;

  CliRun again = Tarnwick("init " + file);
  EXPECT_EQ(again.code, 3);
  EXPECT_NE(again.out.find("--force"), std::string::npos) << again.out;
  EXPECT_EQ(Db(dir.File("office.db")).Int("select count(*) from ref_document"), 40);

  CliRun forced = Tarnwick("init " + file + " --force");
  EXPECT_EQ(forced.code, 0) << forced.out;
  EXPECT_NE(forced.out.find("empty office"), std::string::npos) << forced.out;
  EXPECT_EQ(Db(dir.File("office.db")).Int("select count(*) from ref_document"), 0);

  EXPECT_EQ(Tarnwick("init " + file + " --force --sample -3").code, 2);
  EXPECT_EQ(Tarnwick("init " + file + " --force --sample many").code, 2);
  EXPECT_EQ(Tarnwick("init").code, 2);
  CliRun missing = Tarnwick("init '" + dir.File("no/such/folder.db") + "'");
  EXPECT_EQ(missing.code, 2);
  EXPECT_NE(missing.out.find("does not exist"), std::string::npos) << missing.out;
}

}  // namespace
}  // namespace tarnwick::test
