// How failures reach the client: the chained source, the kept number and
// description, and the quiet False of a gateway error text.
#include "frame/report_error.hpp"
#include "support/scripted_gateway.hpp"

namespace tarnwick::test {
namespace {

using Reporting = Scripted;

TEST(ReportError, ChainsSourceKeepsTheRestAndIgnoresNoError) {
  const RuntimeError pending(3021, "ADODB.Recordset", "No current record", "help.chm", 42);
  const RuntimeError raised = ExpectRaises(3021, [&] { frame::ReportError("clsA.M", "", false, 0, &pending); });
  EXPECT_EQ(raised.Source(), "ADODB.Recordset (clsA.M)");
  EXPECT_EQ(raised.Description(), "No current record");
  EXPECT_EQ(raised.HelpFile(), "help.chm");
  EXPECT_EQ(raised.HelpContext(), 42);

  // Replacing the description, and a number given explicitly.
  const RuntimeError replaced = ExpectRaises(5, [&] { frame::ReportError("clsA.M", "other", true, 5, &pending); });
  EXPECT_EQ(replaced.Description(), "other");
  const RuntimeError appended = ExpectRaises(3021, [&] { frame::ReportError("clsA.M", "!", false, 0, &pending); });
  EXPECT_EQ(appended.Description(), "No current record!");

  // No pending error and no number: nothing happens.
  EXPECT_NO_THROW(frame::ReportError("clsA.M", "x", true, 0, nullptr));
}

TEST(ReportError, NestedHandlersChainInnermostFirstAndRollBack) {
  auto script = std::make_shared<testing::GatewayScript>();
  testing::RecordingGateway gateway(script);
  gateway.BeginTransaction();
  const RuntimeError e = ExpectRaises(13, [&] {
    const auto rollback = [&gateway] {
      if (gateway.InTransaction()) gateway.EndTransaction(false);
    };
    frame::Guarded({"clsOuter.Save", rollback}, [&] {
      return frame::Guarded({"clsInner.Load"}, [&]() -> bool { throw RuntimeError(13, "Tarnwick", "Type mismatch"); });
    });
  });
  EXPECT_EQ(e.Source(), "Tarnwick (clsInner.Load) (clsOuter.Save)");
  EXPECT_EQ(script->CallTexts().back(), "EndTransaction(False)")
      << "the outer handler ends the open unit of work without commit";
  EXPECT_FALSE(script->inTransaction);

  // A failure that is not a run-time error still reaches the client as one.
  const RuntimeError other = ExpectRaises(51, [&] {
    frame::Guarded({"clsA.M"}, []() -> int { throw std::out_of_range("index"); });
  });
  EXPECT_EQ(other.Source(), "Tarnwick (clsA.M)");
}

TEST_F(Reporting, GatewayFailureInGetDataReachesTheClientChained) {
  script->Answer("OpenRecordset", {.raise = RuntimeError(-2147217900, "Gateway", "Invalid object name", "gw.hlp", 7)});
  clsXrf_Org_Document link;
  const RuntimeError e = ExpectRaises(-2147217900, [&] { link.GetData(345); });
  EXPECT_EQ(e.Source(), "Gateway (clsXrf_Org_Document.GetData)");
  EXPECT_EQ(e.Description(), "Invalid object name");
  EXPECT_EQ(e.HelpFile(), "gw.hlp");
  EXPECT_EQ(e.HelpContext(), 7);

  // An error text is a quiet False, through early and late binding alike.
  script->Answer("OpenRecordset", {.errorText = "Invalid object name 'xrf_org_document'"});
  EXPECT_FALSE(link.GetData(345));
  script->Answer("OpenRecordset", {.errorText = "again"});
  auto late = CreateObject("Tarnwick.clsXrf_Aff_Org_Document");
  EXPECT_FALSE(late->Call("GetData", {Variant("345")}).CBool());
}

}  // namespace
}  // namespace tarnwick::test
