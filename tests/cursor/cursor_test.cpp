// The record cursor every data class shares, seen through the link classes:
// the three cursor states, moves at the ends, the keyed load, and the column rules.
#include "support/scripted_gateway.hpp"

namespace tarnwick::test {
namespace {

using Cursor = Scripted;

TEST_F(Cursor, BeforeAnyQueryEverythingIsEmptyAndMovesFail) {
  clsXrf_Org_Document link;
  EXPECT_FALSE(link.DataReady());
  EXPECT_FALSE(link.BOF());
  EXPECT_FALSE(link.EndOfFile());
  EXPECT_EQ(link.OrgID(), "");
  link.OrgID("12");  // ignored, no error
  EXPECT_EQ(link.Table(), "xrf_org_document");
  ExpectRaises(err::kObjectNotSet, [&] { link.MoveNext(); });
  ExpectRaises(err::kObjectNotSet, [&] { link.MoveFirst(); });
  clsXrf_Aff_Org_Document aff;
  EXPECT_EQ(aff.RecordCount(), 0);
}

TEST_F(Cursor, EmptyResultIsNotReadyAndMovesBehaveAsTheResultSet) {
  script->Answer("OpenRecordset", {.result = LinkRows({})});
  clsXrf_Aff_Org_Document link;
  EXPECT_FALSE(link.GetData(345));
  EXPECT_FALSE(link.DataReady());
  EXPECT_FALSE(link.BOF());
  EXPECT_FALSE(link.EndOfFile());
  EXPECT_EQ(link.RecordCount(), 0);
  ExpectRaises(err::kNoCurrentRow, [&] { link.MoveNext(); });
  ExpectRaises(err::kNoCurrentRow, [&] { link.MovePrevious(); });
}

TEST_F(Cursor, OneRowWalkOntoEndOfFileAndBack) {
  script->Answer("OpenRecordset", {.result = LinkRows({{12, 345}})});
  clsXrf_Org_Document link;
  ASSERT_TRUE(link.GetData(345));
  EXPECT_EQ(script->CallTexts().back(), "OpenRecordset(select * from xrf_org_document where document_id = 345 , 0, True)");
  EXPECT_TRUE(link.DataReady());
  EXPECT_FALSE(link.BOF());
  EXPECT_FALSE(link.EndOfFile());
  EXPECT_EQ(link.OrgID(), "12");

  EXPECT_FALSE(link.MoveNext());
  EXPECT_TRUE(link.EndOfFile());
  EXPECT_TRUE(link.DataReady()) << "only both markers together make the cursor not ready";
  ExpectRaises(err::kNoCurrentRow, [&] { (void)link.OrgID(); });
  link.MoveNext();  // from end-of-file back to the last row
  EXPECT_FALSE(link.EndOfFile());
  EXPECT_EQ(link.DocumentID(), "345");

  link.MovePrevious();
  EXPECT_TRUE(link.BOF());
  link.MovePrevious();  // from begin-of-file back to the first row
  EXPECT_FALSE(link.BOF());
  EXPECT_EQ(link.OrgID(), "12");
  EXPECT_FALSE(link.ValidateData());
}

TEST_F(Cursor, KeyedLoadOfANewRowTakesTheSetters) {
  script->Answer("OpenRecordset", {.result = LinkRows({})});
  clsXrf_Org_Document link;
  ASSERT_TRUE(link.GetData(0));
  EXPECT_EQ(script->CallTexts().back(), "OpenRecordset(select * from xrf_org_document where document_id is null , 0, True)");
  EXPECT_TRUE(link.DataReady());
  EXPECT_EQ(link.OrgID(), "");
  link.OrgID("12");
  link.DocumentID("345");
  EXPECT_EQ(link.OrgID(), "12");
  // The values reach the insert as the columns hold them: number columns keep their type.
  script->ClearCalls();
  ASSERT_TRUE(link.SaveData());
  EXPECT_EQ(script->CallTexts(), (std::vector<std::string>{
                                     "PrepareProcedure(sp_insert_xrf_org_document)",
                                     "AddParameter(@Org_id, 12)",
                                     "AddParameter(@Document_id, 345)",
                                     "ExecuteProcedure(0, False, 0)",
                                     "FinishProcedure()",
                                     "InTransaction()",
                                 }));
  EXPECT_EQ(script->Calls()[1].args[1], Variant(std::int32_t{12}));
  // Empty text stores Null; the flag stays set, so the next save inserts again.
  link.OrgID("");
  EXPECT_EQ(link.OrgID(), "");
  script->ClearCalls();
  ASSERT_TRUE(link.SaveData());
  EXPECT_EQ(script->CallTexts()[0], "PrepareProcedure(sp_insert_xrf_org_document)");
  EXPECT_TRUE(script->Calls()[1].args[1].IsNull());

  // A failed load still records which kind of load it was.
  script->Answer("OpenRecordset", {.errorText = "timeout"});
  EXPECT_FALSE(link.GetData(-1));
  script->Answer("OpenRecordset", {.noResult = true});
  EXPECT_FALSE(link.GetData(7));
}

TEST_F(Cursor, IntegerRecordCountOverflowsPast32767Rows) {
  std::vector<std::pair<std::int32_t, std::int32_t>> many(40000, {1, 345});
  script->Answer("OpenRecordset", {.result = LinkRows(many)});
  clsXrf_Aff_Org_Document link;
  ASSERT_TRUE(link.GetData(345));
  ExpectRaises(err::kOverflow, [&] { (void)link.RecordCount(); });
  auto late = std::static_pointer_cast<Object>(std::make_shared<clsXrf_Aff_Org_Document>());
  script->Answer("OpenRecordset", {.result = LinkRows({{1, 345}, {2, 345}, {3, 345}})});
  late->Call("GetData", {Variant(345)});
  EXPECT_EQ(late->Get("RecordCount"), Variant(std::int16_t{3}));
}

}  // namespace
}  // namespace tarnwick::test
