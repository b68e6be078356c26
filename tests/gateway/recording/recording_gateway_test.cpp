// The recording gateway the class tests script their database with.
#include "tarnwick/testing/recording_gateway.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "tarnwick/error.hpp"
#include "tarnwick/gateway.hpp"
#include "tarnwick/recordset.hpp"
#include "tarnwick/variant.hpp"

namespace tarnwick::test {
namespace {

using namespace ::tarnwick::testing;

TEST(RecordingGateway, LogsEveryCallAndAnswersFromPerOperationQueuesThenDefaults) {
  auto script = std::make_shared<GatewayScript>();
  RecordingGateway g(script);
  // The class tests compare the call texts everywhere; here the forms of the odd values.
  for (const Variant& v : {Variant::Null(), Variant(), Variant(Bytes{1, 2, 3})}) g.AddParameter("@p", v);
  std::int32_t affected = 7;
  std::shared_ptr<Recordset> none;
  g.ExecuteProcedure(affected, false, none, 0);
  EXPECT_EQ(g.SqlSafeText("O'Brien's"), "O''Brien''s");
  EXPECT_EQ(script->CallTexts(), (std::vector<std::string>{"AddParameter(@p, Null)", "AddParameter(@p, Empty)",
                                                           "AddParameter(@p, Bytes(3))", "ExecuteProcedure(7, False, 0)",
                                                           "SqlSafeText(O'Brien's)"}));
  EXPECT_EQ(none, nullptr);  // a procedure that returns no rows hands back nothing
  script->Answer("PrepareProcedure", {.errorText = "first"});
  EXPECT_EQ((std::tuple{g.PrepareProcedure("a"), g.PrepareProcedure("b")}), std::tuple("first", ""));
  EXPECT_THROW(script->Answer("OpenRecordSet", {}), RuntimeError);  // misspelt: would never be answered

  // Rows, no rows, an error text (no earlier rows stay current), a raised error (logged, then thrown).
  auto rows = Recordset::FromRows({{"code", DataType::VarChar}}, {{Variant("A")}, {Variant("B")}});
  script->Answer("OpenRecordset", {.result = rows});
  script->Answer("OpenRecordset", {.noResult = true});
  script->Answer("OpenRecordset", {.errorText = "Invalid object name"});
  script->Answer("OpenRecordset", {.raise = RuntimeError(3704, "ADODB.Recordset", "closed")});
  std::shared_ptr<Recordset> rs;
  // (Braces: each call is made before the values after it are read.)
  EXPECT_EQ((std::tuple{g.OpenRecordset("q1", rs, 0, true), rs}), std::tuple("", rows));
  EXPECT_EQ((std::tuple{g.OpenRecordset("q2", rs, 0, true), rs}), std::tuple("", nullptr));
  rs = rows;
  EXPECT_EQ((std::tuple{g.OpenRecordset("q3", rs, 0, true), g.LastErrorText()}),
            std::tuple("Invalid object name", "Invalid object name"));
  ASSERT_NE(rs, rows);
  EXPECT_EQ(rs->State(), ObjectState::Closed);
  const auto kept = rs;
  EXPECT_THROW(g.OpenRecordset("q4", rs, 0, true), RuntimeError);
  EXPECT_EQ(script->Calls().back().ToString(), "OpenRecordset(q4, 0, True)");
  EXPECT_EQ(rs, kept);
  // Row-returning procedures get an empty set by default and report their row
  // count; outputs read case-blind, Null when not given, and the next call's replace them.
  std::int32_t count = -5;
  g.ExecuteProcedure(count, true, rs, 0);
  ASSERT_NE(rs, nullptr);
  EXPECT_EQ(count, 0);
  script->Answer("ExecuteProcedure", {.result = rows, .outputs = {{"@Unique_id", Variant(std::int32_t{42})}}});
  g.ExecuteProcedure(count, true, rs, 0);
  Variant v(std::int32_t{1}), unset(std::int32_t{1});
  EXPECT_EQ((std::tuple{count, g.GetParameter("@UNIQUE_ID", v), v.CLng()}), std::tuple(2, "", 42));
  g.GetParameter("@match_found", unset);
  EXPECT_TRUE(unset.IsNull());
  g.ExecuteProcedure(count, false, rs, 0);
  g.GetParameter("@Unique_id", v);
  EXPECT_TRUE(v.IsNull());
}

// Scopes nest and restore the one before; gateways of one script share its unit of work.
TEST(RecordingGateway, UnitOfWorkAndFactoryScopesGoThroughTheScript) {
  auto outer = std::make_shared<GatewayScript>(), inner = std::make_shared<GatewayScript>();
  {
    ScopedRecordingFactory outerScope(outer);
    {
      ScopedRecordingFactory innerScope(inner);
      auto a = CreateGateway(), b = CreateGateway();
      EXPECT_EQ(inner->alive, 2);
      a->BeginTransaction();
      EXPECT_TRUE(b->InTransaction());
      b->EndTransaction(false);
      EXPECT_FALSE(a->InTransaction());
    }
    EXPECT_EQ(inner->alive, 0);
    CreateGateway();
    EXPECT_EQ(outer->created, 1);
  }
  EXPECT_EQ((std::tuple{dynamic_cast<RecordingGateway*>(CreateGateway().get()), outer->created}),
            std::tuple(nullptr, 1));
  EXPECT_THROW(ScopedRecordingFactory(nullptr), RuntimeError);
}

}  // namespace
}  // namespace tarnwick::test
