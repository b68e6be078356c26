// `tarnwick init --server ...` as an office runs it: the exit codes of the
// file form, and no password in anything it prints.
#include <gtest/gtest.h>

#include <string>

#include "office/support.hpp"
#include "support/server_office.hpp"

namespace tarnwick::test {
namespace {

using office_test::CliRun;
using office_test::Tarnwick;

TEST(ServerInitCommand, CreatesRefusesReplacesAndNeverShowsThePassword) {
  TW_REQUIRE_SERVER();
  const std::string name = UniqueDatabaseName("cli");
  struct Drop {
    std::string name;
    ~Drop() { DropServerDatabase(name); }
  } drop{name};
  const std::string password = EnvText("TARNWICK_PG_PASSWORD");
  const std::string login = " --server " + EnvText("TARNWICK_PG_HOST") + " --database " + name + " --user " +
                            EnvText("TARNWICK_PG_USER");

  CliRun made = Tarnwick("init" + login + " --password '" + password + "' --sample 30");
  EXPECT_EQ(made.code, 0) << made.out;
  EXPECT_NE(made.out.find("30 documents"), std::string::npos) << made.out;
  EXPECT_NE(made.out.find(name), std::string::npos) << made.out;
  EXPECT_EQ(made.out.find(password), std::string::npos) << made.out;
  std::string error;
  auto conn = postgres::Connect(ServerSettings(name), error);
  ASSERT_TRUE(conn) << error;
  EXPECT_EQ(ServerRows(conn.get(), "select count(*) from ref_document")[0][0], "30");

  CliRun again = Tarnwick("init" + login + " --password '" + password + "'");
  EXPECT_EQ(again.code, 3) << again.out;
  EXPECT_NE(again.out.find("--force"), std::string::npos) << again.out;

  // A client is connected: the office is not replaced.
  CliRun busy = Tarnwick("init" + login + " --password '" + password + "' --force");
  EXPECT_EQ(busy.code, 5) << busy.out;
  EXPECT_EQ(ServerRows(conn.get(), "select count(*) from ref_document")[0][0], "30");
  conn.reset();

  CliRun forced = Tarnwick("init" + login + " --password '" + password + "' --force");
  EXPECT_EQ(forced.code, 0) << forced.out;
  EXPECT_NE(forced.out.find("empty office"), std::string::npos) << forced.out;

  CliRun wrong = Tarnwick("init" + login + " --password 'not-" + password + "' --force");
  EXPECT_EQ(wrong.code, 1) << wrong.out;
  EXPECT_NE(wrong.out.find("password authentication failed"), std::string::npos) << wrong.out;
  EXPECT_EQ(wrong.out.find(password), std::string::npos) << wrong.out;

  CliRun nowhere = Tarnwick("init --server 127.0.0.1:1 --database " + name + " --password '" + password + "'");
  EXPECT_EQ(nowhere.code, 1) << nowhere.out;
  EXPECT_NE(nowhere.out.find("127.0.0.1:1"), std::string::npos) << nowhere.out;
  EXPECT_EQ(nowhere.out.find(password), std::string::npos) << nowhere.out;

  // Usage errors: no database, a file as well as a server, a password and trusted, server options for a file.
  EXPECT_EQ(Tarnwick("init --server " + EnvText("TARNWICK_PG_HOST")).code, 2);
  EXPECT_EQ(Tarnwick("init office.db" + login).code, 2);
  EXPECT_EQ(Tarnwick("init" + login + " --password x --trusted").code, 2);
  EXPECT_EQ(Tarnwick("init office.db --database " + name).code, 2);
  EXPECT_EQ(Tarnwick("init --server 127.0.0.1:99999 --database " + name).code, 2);
}

}  // namespace
}  // namespace tarnwick::test
