// The office server engine: what only the server does, on a small office
// database (refusing connections, failing while streaming, a connection the
// server drops, the pool of idle connections), and its renderer without a server: the
// forms the server's planner depends on (the day range on a date column, the
// output names as written, NULLs first). What both engines do alike is in
// tests/gateway/engines/.

#include <chrono>
#include <thread>
#include <utility>

#include "gateway/postgres/engine.hpp"
#include "gateway/postgres/pool.hpp"
#include "gateway/postgres/render.hpp"
#include "gateway/tsql/translate.hpp"
#include "support/engine_office.hpp"
#include "tarnwick/error.hpp"

namespace tarnwick::test {
namespace {

using namespace postgres;

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
  const std::string user = EnvText("TARNWICK_PG_USER"), host = EnvText("TARNWICK_PG_HOST");
  const std::string password = EnvText("TARNWICK_PG_PASSWORD");
  Engine e;
  if (!user.empty() && !host.empty() && !password.empty()) {
    EXPECT_FALSE(e.SetConnection(database_, host, user, password + "x", false, 5, "", ""));
    EXPECT_TRUE(!e.LastErrorText().empty() && e.LastErrorText().find(password + "x") == std::string::npos)
        << e.LastErrorText();
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
  std::int32_t n = 0;
  ASSERT_EQ((std::tuple{engine_.PrepareProcedure("sp_insert_ref_document"), engine_.AddParameter("@Title", Variant("lost")),
                        engine_.ExecuteProcedure(n, false, rs, 0)}), std::tuple("", "", ""));
  terminate();
  EXPECT_NE(engine_.ExecuteProcedure(n, false, rs, 0), "");
  EXPECT_THROW(engine_.EndTransaction(true), RuntimeError);
  EXPECT_EQ(ServerText(ServerConnect(database_).get(), "select count(*) from ref_document where title = 'lost'"), "0");
  ASSERT_TRUE(Reconnect());
}

TEST_F(PostgresEngine, APooledConnectionComesBackResetAndIsReplacedWhenTheServerEndedIt) {
  struct PoolOff {
    ~PoolOff() { EnablePool(0, 0); }
  } off;
  EnablePool(2, 60);
  const ConnectionSettings settings = ServerSettings(database_);
  std::string error;
  const auto take = [&] {
    Connection c = TakeConnection(settings, error);
    EXPECT_NE(c, nullptr) << error;
    return c;
  };
  Connection first = take();
  const int pid = PQbackendPID(first.get());
  ASSERT_EQ(ExecText(first.get(), "SET search_path = nowhere; PREPARE kept AS SELECT 1; CREATE TEMP TABLE t (x int)"), "");
  GiveBack(settings, std::move(first));
  EXPECT_EQ(PooledConnections(), 1u);

  // The same session comes back, with nothing of what its last user did.
  Connection again = take();
  EXPECT_EQ(PQbackendPID(again.get()), pid);
  EXPECT_EQ(ServerText(again.get(), "SHOW search_path"), "\"$user\", public");
  EXPECT_NE(ExecText(again.get(), "EXECUTE kept"), "");
  EXPECT_NE(ExecText(again.get(), "SELECT * FROM t"), "");
  EXPECT_EQ(PooledConnections(), 0u);

  // One the server ended while it was kept is replaced by a new session.
  Connection doomed = take();
  const int doomedPid = PQbackendPID(doomed.get());
  GiveBack(settings, std::move(doomed));
  ServerExec(ServerConnect("postgres").get(), "select pg_terminate_backend(" + std::to_string(doomedPid) + ")");
  for (int i = 0; i < 100 && ServerText(ServerConnect("postgres").get(),
                                        "select count(*) from pg_stat_activity where pid = " + std::to_string(doomedPid)) != "0";
       ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  Connection fresh = take();
  EXPECT_NE(PQbackendPID(fresh.get()), doomedPid);
  EXPECT_EQ(ServerText(fresh.get(), "select 1"), "1");
}

OfficeColumns Office() {
  OfficeColumns office;
  auto& doc = office["ref_document"];
  doc["unique_id"] = {ValueKind::Number, false};
  doc["title"] = {ValueKind::Text, true};
  doc["receive_send_date"] = {ValueKind::Date, false};
  doc["is_amendment"] = {ValueKind::Boolean, false};
  return office;
}

std::string Rendered(const std::string& sql) {
  tsql::Translation t;
  const std::string error = tsql::Translate(sql, Renderer(Office()), t);
  return error.empty() ? t.sql : "error: " + error;
}

// (What it refuses, tables and functions that are not the office's, is run on
// both engines in tests/gateway/engines/.)
TEST(PostgresRender, KeepsTheFormsThePlannerAndTheClassesRelyOn) {
  EXPECT_EQ(Rendered("select title from dbo.REF_DOCUMENT"), "SELECT \"title\" AS \"title\" FROM \"ref_document\"");
  // A day range on the column itself, so that its index serves the search.
  EXPECT_EQ(Rendered("select unique_id from ref_document rd where cast(RD.receive_send_date as date) >= '4/1/2004' "
                     "and cast(rd.receive_send_date as date) <= '4/30/2004'"),
            "SELECT \"unique_id\" AS \"unique_id\" FROM \"ref_document\" AS \"rd\" WHERE "
            "\"rd\".\"receive_send_date\" >= TIMESTAMP '2004-04-01 00:00:00' AND "
            "\"rd\".\"receive_send_date\" < TIMESTAMP '2004-05-01 00:00:00'");
  // A citext column meets a literal as it is; a computed text is made case-blind.
  EXPECT_EQ(Rendered("select 1 from ref_document where title = 'x' and title + 'y' = 'xy' and is_amendment = 1"),
            "SELECT 1 FROM \"ref_document\" WHERE \"title\" = 'x' AND (\"title\" || 'y')::citext = 'xy' AND "
            "\"is_amendment\" = true");
  EXPECT_EQ(Rendered("select top 5 title as 'Title' from ref_document order by Title desc, 1"),
            "SELECT \"title\" AS \"Title\" FROM \"ref_document\" ORDER BY \"Title\" DESC NULLS LAST, 1 NULLS FIRST "
            "LIMIT 5");
}

TEST(PostgresRender, LikeCharacterClassesBecomeAnchoredExpressions) {
  EXPECT_EQ(LikePatternRegex("[a-c]%", 0), "^[a-c].*$");
  EXPECT_EQ(LikePatternRegex("[^x]_.", 0), "^[^x].\\.$");
  EXPECT_EQ(LikePatternRegex("a!%b[", '!'), "^a%b\\[$");
  EXPECT_EQ(LikePatternRegex("(1+1)[\\]", 0), "^\\(1\\+1\\)[\\\\]$");
}

TEST(PostgresRender, DeepAndLongTextsRenderInTimeOrFailCleanly) {
  // Every level of these renders its operands once; twice would take 2^24
  // steps and more (as deep as the front end lets them nest).
  std::string nested = "title", numbers = "unique_id", cases = "title", chain = "1";
  for (int i = 0; i < 45; ++i) {
    nested = "isnull(" + nested + ", 'x') + 'y'";
    cases = "case when unique_id = 1 then " + cases + " else 'z' end";
    if (i < 24) numbers = "abs(nullif(" + numbers + ", 0) + 1)";
  }
  for (int i = 0; i < 900; ++i) chain += " + title";
  for (const std::string& expr : {nested, numbers, cases, chain})
    EXPECT_EQ(Rendered("select " + expr + " from ref_document").rfind("SELECT ", 0), 0u) << expr.substr(0, 80);
  EXPECT_NE(Rendered("select " + std::string(150, '(') + "1" + std::string(150, ')')).find("error"), std::string::npos);
}

}  // namespace
}  // namespace tarnwick::test
