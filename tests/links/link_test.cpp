// The committee-document links against a scripted gateway: moving a link,
// deleting one, and the committee's group identifier.
#include "support/scripted_gateway.hpp"

namespace tarnwick::test {
namespace {

using Links = Scripted;

TEST_F(Links, MoveAndDeleteSendTheirProceduresWithTheRightNames) {
  script->Answer("OpenRecordset", {.result = LinkRows({{12, 345}, {13, 345}})});
  clsXrf_Org_Document link;
  EXPECT_TRUE(link.DeleteData(12, 345)) << "nothing loaded: nothing to delete";
  EXPECT_EQ(script->CallTexts(), std::vector<std::string>{"InTransaction()"});

  ASSERT_TRUE(link.GetData(345));
  link.NewOrgID(77);
  script->ClearCalls();
  ASSERT_TRUE(link.SaveData());
  EXPECT_EQ(script->CallTexts(),
            (std::vector<std::string>{"PrepareProcedure(sp_update_xrf_org_document)", "AddParameter(@Org_id, 12)",
                                      "AddParameter(@Document_id, 345)", "AddParameter(@Value, 77)",
                                      "ExecuteProcedure(0, False, 0)", "FinishProcedure()", "InTransaction()"}));

  // An error text from the procedure is a quiet False; the unit of work is ended without commit.
  script->inTransaction = true;
  script->Answer("ExecuteProcedure", {.errorText = "deadlock"});
  EXPECT_FALSE(link.SaveData());
  EXPECT_EQ(script->CallTexts().back(), "EndTransaction(False)");

  clsXrf_Aff_Org_Document affected;
  script->Answer("OpenRecordset", {.result = LinkRows({{12, 345}})});
  ASSERT_TRUE(affected.GetData(345));
  script->ClearCalls();
  script->inTransaction = true;
  EXPECT_TRUE(affected.DeleteData(12, 345));
  EXPECT_EQ(script->CallTexts(),
            (std::vector<std::string>{"PrepareProcedure(sp_delete_XRF_AFF_ORG_DOCUMENT)", "AddParameter(@org_id, 12)",
                                      "AddParameter(@document_id, 345)", "ExecuteProcedure(0, False, 0)",
                                      "InTransaction()", "EndTransaction(True)", "InTransaction()"}));
  script->Answer("PrepareProcedure", {.errorText = "no such procedure"});
  EXPECT_FALSE(affected.DeleteData(12, 345));
}

TEST_F(Links, GroupIdentifierOfACommittee) {
  clsXrf_Org_Document link;
  auto groups = [](Variant v) { return Recordset::FromRows({{"group_id", DataType::Integer}}, {{std::move(v)}}); };
  script->Answer("OpenRecordset", {.result = groups(Variant(std::int32_t{900001}))});
  EXPECT_EQ(link.GetOrgGroupID(7), 900001);
  EXPECT_EQ(script->CallTexts().back(), "OpenRecordset(SELECT group_id FROM ref_org where unique_id = 7 , 0, True)");
  script->Answer("OpenRecordset", {.result = groups(Variant::Null())});
  EXPECT_EQ(link.GetOrgGroupID(7), 0);
  EXPECT_EQ(link.GetOrgGroupID(8), 0) << "no committee row";
  // A failed query leaves the local result set unopened; closing it fails and is reported.
  script->Answer("OpenRecordset", {.errorText = "timeout"});
  const RuntimeError e = ExpectRaises(err::kObjectClosed, [&] { link.GetOrgGroupID(7); });
  EXPECT_EQ(e.Source(), "ADODB.Recordset (clsXrf_Org_Document.GetOrgGroupID)");
}

}  // namespace
}  // namespace tarnwick::test
