// The record cursor every data class shares, seen through the link classes:
// the three cursor states, moves at the ends, the keyed load, and the column rules.
#include "support/scripted_gateway.hpp"

namespace tarnwick::test {
namespace {

struct Cursor : Scripted { clsXrf_Org_Document link; clsXrf_Aff_Org_Document aff; };

// The cursor's markers: R for DataReady, B for BOF, E for EOF, "-" for each one off.
template <class Data>
std::string Markers(Data& d) {
  return std::string(d.DataReady() ? "R" : "-") + (d.BOF() ? "B" : "-") + (d.EndOfFile() ? "E" : "-");
}

TEST_F(Cursor, BeforeAnyQueryAndOnAnEmptyResultNothingIsReady) {
  aff.OrgID("12");  // ignored, no error
  EXPECT_EQ(aff.OrgID() + std::to_string(aff.RecordCount()), "0");
  script->Answer("OpenRecordset", {.result = LinkRows({})});
  EXPECT_FALSE(aff.GetData(345));
  EXPECT_EQ(Markers(aff), "---");
  ExpectRaises(err::kNoCurrentRow, [&] { aff.MovePrevious(); });
}

TEST_F(Cursor, OneRowWalkOntoEndOfFileAndBack) {
  script->Answer("OpenRecordset", {.result = LinkRows({{12, 1}})});
  ASSERT_TRUE(link.GetData(1));  // 1 is the first stored key, not a new row
  EXPECT_EQ(Calls().back(), "OpenRecordset(select * from xrf_org_document where document_id = 1 , 0, True)");
  EXPECT_EQ(Markers(link) + link.OrgID(), "R--12");
  EXPECT_FALSE(link.MoveNext());
  EXPECT_EQ(Markers(link), "R-E") << "only both markers together make the cursor not ready";
  ExpectRaises(err::kNoCurrentRow, [&] { (void)link.OrgID(); });
  link.MoveNext();  // from end-of-file back to the last row
  EXPECT_EQ(Markers(link) + link.DocumentID(), "R--1");
  link.MovePrevious();
  EXPECT_EQ(Markers(link), "RB-");
  link.MovePrevious();  // from begin-of-file back to the first row
  EXPECT_EQ(Markers(link) + link.OrgID(), "R--12");
}

TEST_F(Cursor, KeyedLoadOfANewRowTakesTheSetters) {
  script->Answer("OpenRecordset", {.result = LinkRows({})});
  ASSERT_TRUE(link.GetData(0));
  EXPECT_EQ(Calls().back(), "OpenRecordset(select * from xrf_org_document where document_id is null , 0, True)");
  link.OrgID("12");
  link.DocumentID("345");
  // The values reach the insert as the columns hold them: number columns keep their type.
  Clear();
  ASSERT_TRUE(link.SaveData());
  EXPECT_EQ(Calls(), (Texts{"PrepareProcedure(sp_insert_xrf_org_document)", "AddParameter(@Org_id, 12)",
                                              "AddParameter(@Document_id, 345)", "ExecuteProcedure(0, False, 0)",
                                              "FinishProcedure()", "InTransaction()"}));
  EXPECT_EQ(script->Calls()[1].args[1], Variant(std::int32_t{12}));
  // Empty text stores Null; the flag stays set, so the next save inserts again.
  link.OrgID("");
  Clear();
  ASSERT_TRUE(link.SaveData());
  EXPECT_EQ(Calls()[0], "PrepareProcedure(sp_insert_xrf_org_document)");
  EXPECT_TRUE(script->Calls()[1].args[1].IsNull());
}

TEST_F(Cursor, NumberColumnsReadNullAsZeroAndIntegerCountsOverflow) {
  script->Answer("OpenRecordset", {.result = DocumentRows({{{"unique_id", Variant(std::int32_t{7})}}})});
  clsDocument doc;
  ASSERT_TRUE(doc.GetData(7));
  EXPECT_EQ(doc.AmountDue(), Currency{0});

  std::vector<std::pair<std::int32_t, std::int32_t>> many(40000, {1, 345});
  script->Answer("OpenRecordset", {.result = LinkRows(many)});
  ASSERT_TRUE(aff.GetData(345));
  ExpectRaises(err::kOverflow, [&] { (void)aff.RecordCount(); });
}

}  // namespace
}  // namespace tarnwick::test
