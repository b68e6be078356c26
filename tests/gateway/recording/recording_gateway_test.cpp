// The recording gateway the class tests script their database with.
#include "tarnwick/testing/recording_gateway.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tarnwick/error.hpp"
#include "tarnwick/gateway.hpp"
#include "tarnwick/recordset.hpp"
#include "tarnwick/variant.hpp"

namespace tarnwick::test {
namespace {

using namespace ::tarnwick::testing;

// The class tests compare these call texts everywhere; here the forms of the odd values.
TEST(RecordingGateway, LogsEveryCallWithItsInputsInOrder) {
  auto script = std::make_shared<GatewayScript>();
  RecordingGateway g(script);
  for (const Variant& v : {Variant::Null(), Variant(), Variant(Bytes{1, 2, 3})}) g.AddParameter("@p", v);
  std::int32_t rows = 7;
  std::shared_ptr<Recordset> none;
  g.ExecuteProcedure(rows, false, none, 0);
  EXPECT_EQ(g.SqlSafeText("O'Brien's"), "O''Brien''s");
  EXPECT_EQ(script->CallTexts(), (std::vector<std::string>{"AddParameter(@p, Null)", "AddParameter(@p, Empty)",
                                                           "AddParameter(@p, Bytes(3))", "ExecuteProcedure(7, False, 0)",
                                                           "SqlSafeText(O'Brien's)"}));
  EXPECT_EQ(none, nullptr);  // a procedure that returns no rows hands back nothing
}

TEST(RecordingGateway, AnswersComeFromPerOperationQueuesThenDefaults) {
  auto script = std::make_shared<GatewayScript>();
  RecordingGateway g(script);
  script->Answer("PrepareProcedure", {.errorText = "first"});
  EXPECT_EQ(g.PrepareProcedure("a"), "first");
  EXPECT_EQ(g.PrepareProcedure("b"), "");
  EXPECT_THROW(script->Answer("OpenRecordSet", {}), RuntimeError);  // misspelt: would never be answered

  // Rows, no rows, an error text (no earlier rows stay current), a raised error (logged, then thrown).
  auto rows = Recordset::FromRows({{"code", DataType::VarChar}}, {{Variant("A")}, {Variant("B")}});
  script->Answer("OpenRecordset", {.result = rows});
  script->Answer("OpenRecordset", {.noResult = true});
  script->Answer("OpenRecordset", {.errorText = "Invalid object name"});
  script->Answer("OpenRecordset", {.raise = RuntimeError(3704, "ADODB.Recordset", "closed")});
  std::shared_ptr<Recordset> rs;
  EXPECT_EQ(g.OpenRecordset("q1", rs, 0, true), "");
  EXPECT_EQ(rs, rows);
  EXPECT_EQ(g.OpenRecordset("q2", rs, 0, true), "");
  EXPECT_EQ(rs, nullptr);
  rs = rows;
  EXPECT_EQ(g.OpenRecordset("q3", rs, 0, true), "Invalid object name");
  ASSERT_NE(rs, rows);
  EXPECT_EQ(rs->State(), ObjectState::Closed);
  EXPECT_EQ(g.LastErrorText(), "Invalid object name");
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
  EXPECT_EQ(count, 2);
  Variant v(std::int32_t{1});
  EXPECT_EQ(g.GetParameter("@UNIQUE_ID", v), "");
  EXPECT_EQ(v.CLng(), 42);
  g.GetParameter("@match_found", v);
  EXPECT_TRUE(v.IsNull());
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
  EXPECT_EQ(dynamic_cast<RecordingGateway*>(CreateGateway().get()), nullptr);
  EXPECT_EQ(outer->created, 1);
  EXPECT_THROW(ScopedRecordingFactory(nullptr), RuntimeError);
}

}  // namespace
}  // namespace tarnwick::test
