// The committee-document links against a scripted gateway: moving a link,
// deleting one, and the committee's group identifier.
#include "support/scripted_gateway.hpp"

namespace tarnwick::test {
namespace {

struct Links : Scripted { clsXrf_Org_Document link; };

TEST_F(Links, MoveAndDeleteSendTheirProceduresWithTheRightNames) {
  script->Answer("OpenRecordset", {.result = LinkRows({{12, 345}, {13, 345}})});
  EXPECT_TRUE(link.DeleteData(12, 345)) << "nothing loaded: nothing to delete";
  EXPECT_EQ(Calls(), Texts{"InTransaction()"});
  ASSERT_TRUE(link.GetData(345));
  link.NewOrgID(77);
  Clear();
  ASSERT_TRUE(link.SaveData());
  EXPECT_EQ(Calls(), (Texts{"PrepareProcedure(sp_update_xrf_org_document)", "AddParameter(@Org_id, 12)",
                            "AddParameter(@Document_id, 345)", "AddParameter(@Value, 77)",
                            "ExecuteProcedure(0, False, 0)", "FinishProcedure()", "InTransaction()"}));

  clsXrf_Aff_Org_Document affected;
  script->Answer("OpenRecordset", {.result = LinkRows({{12, 345}})});
  ASSERT_TRUE(affected.GetData(345));
  Clear();
  script->inTransaction = true;
  EXPECT_TRUE(affected.DeleteData(12, 345));
  EXPECT_EQ(Calls(), (Texts{"PrepareProcedure(sp_delete_XRF_AFF_ORG_DOCUMENT)", "AddParameter(@org_id, 12)",
                            "AddParameter(@document_id, 345)", "ExecuteProcedure(0, False, 0)", "InTransaction()",
                            "EndTransaction(True)", "InTransaction()"}));
}

TEST_F(Links, GroupIdentifierOfACommittee) {
  auto groups = [](Variant v) { return Recordset::FromRows({{"group_id", DataType::Integer}}, {{std::move(v)}}); };
  script->Answer("OpenRecordset", {.result = groups(Variant(std::int32_t{900001}))});
  EXPECT_EQ(link.GetOrgGroupID(7), 900001);
  EXPECT_EQ(Calls().back(), "OpenRecordset(SELECT group_id FROM ref_org where unique_id = 7 , 0, True)");
  EXPECT_EQ(link.GetOrgGroupID(8), 0) << "no committee row";
  // A failed query leaves the local result set unopened; closing it fails and is reported.
  script->Answer("OpenRecordset", {.errorText = "timeout"});
  EXPECT_EQ(ExpectRaises(err::kObjectClosed, [&] { link.GetOrgGroupID(7); }).Source(),
            "ADODB.Recordset (clsXrf_Org_Document.GetOrgGroupID)");
}

}  // namespace
}  // namespace tarnwick::test
