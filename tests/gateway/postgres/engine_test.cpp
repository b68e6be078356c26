// The office server engine on a small office database: what only the server
// does (refusing connections, failing while streaming, a connection the
// server drops). What both engines do alike is in tests/gateway/engines/.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "gateway/postgres/engine.hpp"
#include "support/engine_office.hpp"
#include "tarnwick/error.hpp"

namespace tarnwick::test {
namespace {

using postgres::Engine;

class PostgresEngine : public EngineOfficeSuite {
 protected:
  void SetUp() override {
    TW_REQUIRE_SERVER();
    ASSERT_TRUE(Reconnect()) << engine_.LastErrorText();
  }

  // The first value of the first row as the runtime writes it.
  std::string First(const std::string& sql) {
    std::shared_ptr<Recordset> rs;
    const std::string error = engine_.OpenRecordset(sql, rs, 0, true);
    if (!error.empty() || rs->EndOfFile()) return "<error or none> " + error;
    return rs->Fields().Item(0).Value().CStr();
  }
  bool Reconnect() {
    return engine_.SetConnection(database_, ServerSettings("").server, ServerSettings("").user, "", true, 5, "", "");
  }

  Engine engine_;
};

TEST_F(PostgresEngine, ConnectingRefusesWhatIsNoUsableOfficeAndNeverShowsThePassword) {
  const char* user = std::getenv("TARNWICK_PG_USER");
  const char* host = std::getenv("TARNWICK_PG_HOST");
  const char* password = std::getenv("TARNWICK_PG_PASSWORD");
  Engine e;
  if (user && host && password) {
    EXPECT_FALSE(e.SetConnection(database_, host, user, std::string(password) + "x", false, 5, "", ""));
    EXPECT_NE(e.LastErrorText(), "");
    EXPECT_EQ(e.LastErrorText().find(std::string(password) + "x"), std::string::npos) << e.LastErrorText();
  }
  const std::string socket = ServerSettings("").server;
  struct Case {
    std::string database, server, error;
  };
  for (const Case& c : {Case{.database = database_ + "_missing", .server = socket, .error = database_ + "_missing"},
                        Case{.database = database_, .server = "127.0.0.1:1", .error = ""},
                        // A database without the office's version row is no office.
                        Case{.database = "postgres", .server = socket, .error = "not a filing-office database"}}) {
    EXPECT_FALSE(e.SetConnection(c.database, c.server, ServerSettings("").user, "", true, 2, "", "")) << c.database;
    EXPECT_NE(e.LastErrorText().find(c.error), std::string::npos) << e.LastErrorText();
  }
  std::shared_ptr<Recordset> rs;
  EXPECT_NE(e.OpenRecordset("select 1", rs, 0, true), "");
  ASSERT_TRUE(e.SetConnection(database_, socket, ServerSettings("").user, "", true, 5, "", ""));
  EXPECT_EQ(e.LastErrorText(), "");
}

TEST_F(PostgresEngine, ServerOnlyMeaningsAndFailuresWhileReading) {
  // isnull of a number column with '' gives 0, as the office server converts it.
  EXPECT_EQ(First("select isnull(org_id, '') from ref_document where unique_id = 3"), "0");
  // The server may fail before the first row (an error text) or on a later one (RuntimeError).
  std::unique_ptr<RowStream> rows;
  engine_.BeginTransaction();
  const std::string error =
      engine_.OpenForwardOnly("select 10 / (unique_id - 2) from ref_document where unique_id <= 3", rows);
  if (error.empty()) {
    EXPECT_THROW(while (rows->Next()) {}, RuntimeError);
  } else {
    EXPECT_NE(error.find("division by zero"), std::string::npos) << error;
  }
  rows.reset();
  EXPECT_EQ(First("select count(*) from ref_document where unique_id = 1"), "1");
  engine_.EndTransaction(true);
}

TEST_F(PostgresEngine, ADroppedConnectionGivesErrorsUntilTheNextConnection) {
  const std::string pid = First("select count(*) from ref_document");  // the connection works
  auto admin = ServerConnect("postgres");
  const auto terminate = [&] {
    ServerExec(admin.get(), "select pg_terminate_backend(pid) from pg_stat_activity where datname = '" + database_ +
                            "' and application_name = 'tarnwick'");
  };
  terminate();
  std::shared_ptr<Recordset> rs;
  const std::string error = engine_.OpenRecordset("select count(*) from ref_document", rs, 0, true);
  EXPECT_NE(error.find("connection"), std::string::npos) << error;
  EXPECT_NE(engine_.OpenRecordset("select count(*) from ref_document", rs, 0, true), "");
  ASSERT_TRUE(Reconnect());
  EXPECT_EQ(First("select count(*) from vw_document where 1 = 1"), pid);

  // Inside a unit of work the commit reports that the work is gone.
  engine_.BeginTransaction();
  ASSERT_EQ(engine_.PrepareProcedure("sp_insert_ref_document"), "");
  ASSERT_EQ(engine_.AddParameter("@Title", Variant("lost")), "");
  std::int32_t n = 0;
  ASSERT_EQ(engine_.ExecuteProcedure(n, false, rs, 0), "");
  terminate();
  EXPECT_NE(engine_.ExecuteProcedure(n, false, rs, 0), "");
  EXPECT_THROW(engine_.EndTransaction(true), RuntimeError);
  EXPECT_EQ(ServerText(ServerConnect(database_).get(), "select count(*) from ref_document where title = 'lost'"), "0");
  ASSERT_TRUE(Reconnect());
}

}  // namespace
}  // namespace tarnwick::test
