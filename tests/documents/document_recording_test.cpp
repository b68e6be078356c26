// The document object against a scripted gateway: the SQL it sends, the
// procedure calls of saving, deleting and the filing checks, and what a
// gateway error text or a run-time failure does at each step.
#include <algorithm>

#include "support/sample_office.hpp"
#include "support/scripted_gateway.hpp"
#include "documents/document_members.hpp"

namespace tarnwick::test {
namespace {

struct Document : Scripted { clsDocument doc; };


Texts Tail(Texts calls, std::size_t n) { return {calls.end() - static_cast<std::ptrdiff_t>(std::min(n, calls.size())), calls.end()}; }

TEST_F(Document, EveryMemberIsBound) {
  const Texts unbound = documents::DocumentMembers().Unbound();
  EXPECT_TRUE(unbound.empty()) << unbound.front();
}

TEST_F(Document, SetupFilterBuildsTheWhereTextSlotBySlot) {
  struct Case { DocumentSearch c; std::string where; };
  const Case cases[] = {
      {.c = {.name = "n", .first = "f", .last = "l"}, .where = ""},
      {.c = {.year = "2004", .commType = "No Committee"}, .where = "where RD.Doc_year = 2004 and XCD.org_id is null  "},
      {.c = {.useComm = false, .name = "smith", .nameType = "O"},
       .where = "where RD.unique_id not in (SELECT document_id from xrf_org_document) "},
      {.c = {.docType = "RPT", .commType = "PAC", .name = "smi*th", .user = "jdoe", .nameType = "AIO"},
       .where = "where oc.comm_type_code = 'PAC' and OC.org_name like 'smi%th%' and RD.Doc_type_code = 'RPT' and "
                "RD.user_id = 'jdoe' and OC.inhouse_name like 'smi%th%' and OC.old_acronym like 'smi%th%' "},
      {.c = {.first = "j?n", .last = "O'Br*", .useName = true, .dateType = "RECEIVED DATE", .end = "12/31/2004",
             .notLinked = true},
       .where = "where cnd.first_name like 'j_n' and cnd.last_name like 'O''Br%' and "
                "cast(RD.receive_send_date as date) <= '12/31/2004' and xrd.report_id is null  and "
                "isnull(RD.has_no_report_data, 0) = 0  "},
      {.c = {.docName = "Q1", .dateType = "ENTERED DATE", .begin = "1/1/2004", .end = "2/1/2004"},
       .where = "where RD.Doc_sub_type_code = 'Q1' and cast(RD.entry_date as date) >= '1/1/2004' and "
                "cast(RD.entry_date as date) <= '2/1/2004' "},
      {.c = {.dateType = "received date", .begin = "1/1/2004"}, .where = ""},  // date kinds match exactly
  };
  for (const Case& k : cases) EXPECT_EQ(k.c.Filter(doc), k.where);
}

TEST_F(Document, SearchesSendTheirSqlAndKeepTheListCount) {
  script->Answer("OpenRecordset", {.result = Rows({{"unique_id", DataType::Integer}, {"comm_type_desc", DataType::VarChar}},
                                                  {{{"unique_id", 1}, {"comm_type_desc", "Candidate"}}, {{"unique_id", 2}}})});
  ASSERT_TRUE(doc.GetDocumentList("where OC.org_name like 'a*b?' "));
  EXPECT_NE(Calls().at(0).find("ON RD.unique_id = xrd.document_id where OC.org_name like 'a%b_' ORDER BY inhouse_name, "),
            std::string::npos) << "the wildcards become the database's";
  EXPECT_EQ(doc.Count(), 2);
  script->Answer("OpenRecordset", {.result = DocumentRows({})});
  EXPECT_FALSE(doc.GetDocumentList(""));
  EXPECT_EQ(doc.Count(), 2) << "a search that finds nothing keeps the previous count";

  Clear();
  script->Answer("OpenRecordset", {.result = Rows({{"Doc_type_code_desc", DataType::VarChar}}, {{{"Doc_type_code_desc", "Report"}}})});
  ASSERT_TRUE(doc.GetCommitteeDocumentList("42x"));
  EXPECT_EQ(Calls().at(0),
            "OpenRecordset(SELECT RD.doc_type_desc as 'Doc_type_code_desc', RD.doc_year, RD.doc_sub_type_desc as "
            "'doc_name_desc', RD.Title , RD.receive_send_date, RD.entry_date, RD.unique_id FROM XRF_Org_Document XCD "
            "left outer join vw_zub_ref_document_detail RD ON XCD.document_id = RD.unique_id left outer join ref_org ro "
            "on xcd.org_id = ro.unique_id WHERE ro.group_id = 42 and RD.Delete_date is null ORDER BY 5, 1, 2, 3 , 0, "
            "True)");
  EXPECT_FALSE(doc.GetCommitteeDocumentList("abc"));
  EXPECT_NE(Calls().back().find("WHERE ro.group_id = 0 and"), std::string::npos) << "a key that is no number";

  // Failures: an error text or no result is False, a run-time error carries the method's name.
  const std::pair<std::string, std::function<bool()>> queries[] = {
      {"GetDocumentList", [&] { return doc.GetDocumentList(""); }},
      {"GetData", [&] { return doc.GetData(3); }},
      {"GetCommitteeDocumentList", [&] { return doc.GetCommitteeDocumentList("3"); }}};
  for (const auto& [name, query] : queries) {
    script->Answer("OpenRecordset", {.raise = RuntimeError(3704, "ADODB.Recordset", "closed")});
    EXPECT_EQ(ExpectRaises(3704, query).Source(), "ADODB.Recordset (clsDocument." + name + ")");
    script->Answer("OpenRecordset", {.errorText = "no such view"});
    EXPECT_FALSE(query()) << name;
  }
}

TEST_F(Document, ColumnPropertiesConvertOnReadAndWrite) {
  script->Answer("OpenRecordset", {.result = DocumentRows({})});
  ASSERT_TRUE(doc.GetData()) << "no key prepares a new row";
  EXPECT_EQ(Calls().back(), "OpenRecordset(select * from ref_document where unique_id is null , 0, True)");
  doc.AmountDue(Currency{0});
  doc.Title("");
  EXPECT_EQ(doc.mRecSet()->Collect("Amount_Due"), Variant(Currency{0})) << "money 0 is stored, not Null";
  EXPECT_TRUE(doc.mRecSet()->Collect("Title").IsNull()) << "empty text is stored as Null";
  script->Answer("OpenRecordset", {.result = DocumentRows({{{"unique_id", 17}, {"due_date", Date{38051.6041666667}},
                                                            {"total_receipts", Currency{12345000}}}})});
  ASSERT_TRUE(doc.GetData(17));
  EXPECT_EQ(doc.DueDate(), "03/05/2004") << "the time of day is dropped";
  ExpectRaises(err::kTypeMismatch, [&] { (void)doc.HasImage(); });  // Null joins to empty text
}

TEST_F(Document, NewDocumentIsInsertedWithThirtyInputsAndReloaded) {
  script->Answer("OpenRecordset", {.result = DocumentRows({})});
  ASSERT_TRUE(doc.GetData());
  doc.DocTypeCode("RPT");
  doc.DocYear("2004");
  doc.Title("Annual report");
  Clear();
  script->Answer("ExecuteProcedure", {.outputs = {{"@Unique_id", Variant(501)}}});
  script->Answer("OpenRecordset", {.result = DocumentRows({{{"unique_id", 501}}})});
  ASSERT_TRUE(doc.SaveData());
  Texts expected{"PrepareProcedure(sp_insert_ref_document)"};
  for (const std::string& p : kDocumentInsertInputs) {
    const std::string value = p == "@Doc_type_code" ? "RPT" : p == "@Doc_year" ? "2004" : p == "@Title" ? "Annual report" : "Null";
    expected.push_back("AddParameter(" + p + ", " + value + ")");
  }
  expected.insert(expected.end(), {"ExecuteProcedure(0, False, 0)", "GetParameter(@Unique_id)", "FinishProcedure()",
                                   "OpenRecordset(select * from ref_document where unique_id = 501 , 0, True)",
                                   "InTransaction()"});
  EXPECT_EQ((std::tuple{Calls(), doc.UniqueID()}), std::tuple(expected, 501));

  // No identifier came back: the open unit of work is abandoned and the error reaches the caller.
  script->Answer("OpenRecordset", {.result = DocumentRows({})});
  ASSERT_TRUE(doc.GetData(0));
  script->inTransaction = true;
  EXPECT_EQ(ExpectRaises(err::kInvalidUseOfNull, [&] { doc.SaveData(); }).Source(), "Tarnwick (clsDocument.SaveData)");
  EXPECT_EQ(Tail(Calls(), 4), (Texts{"GetParameter(@Unique_id)", "FinishProcedure()", "InTransaction()", "EndTransaction(False)"}));
  // The reload fails inside GetData: both names are in the source, innermost first.
  script->Answer("ExecuteProcedure", {.outputs = {{"@Unique_id", Variant(7)}}});
  script->Answer("OpenRecordset", {.raise = RuntimeError(3704, "ADODB.Recordset", "closed")});
  EXPECT_EQ(ExpectRaises(3704, [&] { doc.SaveData(); }).Source(), "ADODB.Recordset (clsDocument.GetData) (clsDocument.SaveData)");
}

struct Update : Document {
  void LoadAndChange() {
    script->Answer("OpenRecordset", {.result = DocumentRows({{{"unique_id", 17}, {"Is_amendment", false},
                                                              {"name_listed", "Smith"}, {"Title", "Old"},
                                                              {"due_date", Date{38051}}}})});
    ASSERT_TRUE(doc.GetData(17));
    Clear();
    doc.Title("New");            // set first, sent in column order
    doc.NameListed("");          // a value cleared goes as Null
    doc.IsAmendment("True");     // a Boolean goes as 1
    doc.AmountDue(Currency{125000});
    doc.DueDate("03/05/2004");   // same date as read: not sent
  }
};

TEST_F(Update, ChangedColumnsGoOneByOneInsideOneUnitOfWorkThatAFailureAbandons) {
  LoadAndChange();
  ASSERT_TRUE(doc.SaveData());
  Texts expected{"InTransaction()", "BeginTransaction()"};
  for (auto [column, value] : std::vector<std::pair<std::string, std::string>>{
           {"Is_amendment", "1"}, {"name_listed", "Null"}, {"Title", "New"}, {"Amount_Due", "12.5"}}) {
    expected.insert(expected.end(), {"PrepareProcedure(sp_update_table)", "AddParameter(@table, ref_document)",
                                     "AddParameter(@column, " + column + ")", "AddParameter(@unique_id, 17)",
                                     "AddParameter(@value, " + value + ")", "ExecuteProcedure(0, False, 0)"});
  }
  expected.insert(expected.end(), {"InTransaction()", "EndTransaction(True)", "InTransaction()"});
  EXPECT_EQ(Calls(), expected);
  EXPECT_EQ(script->Calls().at(5).args.at(1).Type(), VarType::Long) << "@unique_id goes as a Long";

  Clear();
  script->Answer("ExecuteProcedure", {});
  script->Answer("ExecuteProcedure", {.errorText = "conversion failed"});
  EXPECT_FALSE(doc.SaveData());
  EXPECT_EQ(Tail(Calls(), 3), (Texts{"ExecuteProcedure(0, False, 0)", "InTransaction()", "EndTransaction(False)"}));
  EXPECT_EQ(Calls().size(), 2u + 2 * 6 + 2) << "the third column is not sent";
}

TEST_F(Document, DeletesRunOnlyWithACurrentRow) {
  EXPECT_TRUE(doc.DeleteData(17));
  EXPECT_EQ(Calls(), Texts{"InTransaction()"});
  script->Answer("OpenRecordset", {.result = DocumentRows({{{"unique_id", 17}}})});
  ASSERT_TRUE(doc.GetData(17));
  Clear();
  EXPECT_TRUE(doc.DeleteData(17) && doc.RemoveReportLink(3, 17));
  EXPECT_EQ(Calls(), (Texts{"PrepareProcedure(sp_delete_table)", "AddParameter(@table, ref_document)",
                            "AddParameter(@unique_id, 17)", "ExecuteProcedure(0, False, 0)", "InTransaction()",
                            "InTransaction()", "PrepareProcedure(sp_delete_xrf_report_document)",
                            "AddParameter(@report_id, 3)", "AddParameter(@document_id, 17)",
                            "ExecuteProcedure(0, False, 0)", "InTransaction()", "InTransaction()"}));
}

struct Mef : Document {
  bool match = true, flag = true;
  std::int16_t election = 99;
  bool Run(MEFRunType type) { return doc.RunMEFChecks(type, "12", "", "", "", "", "", "", "", match, flag, election); }
};

TEST_F(Mef, ChecksPassNineInputsConvertTheThreeAnswersAndRollBackOnFailure) {
  script->Answer("ExecuteProcedure", {.outputs = {{"@match_found", Variant(1)}, {"@election_id", Variant("7")}}});
  ASSERT_TRUE(Run(CheckMEF));
  EXPECT_EQ(Calls(), (Texts{"PrepareProcedure(sp_misc_mef_checks)", "AddParameter(@get_type_flag, 2)",
                            "AddParameter(@org_id, 12)", "AddParameter(@document_id, )", "AddParameter(@doc_year, )",
                            "AddParameter(@doc_sub_type_code, )", "AddParameter(@begin_date, )",
                            "AddParameter(@end_date, )", "AddParameter(@total_receipts, )",
                            "AddParameter(@total_expenditures, )", "ExecuteProcedure(0, False, 0)",
                            "GetParameter(@match_found)", "GetParameter(@flag_mef)", "GetParameter(@election_id)",
                            "InTransaction()"}));
  EXPECT_EQ(script->Calls().at(3).args.at(1).Type(), VarType::String) << "empty texts are not Null";
  EXPECT_EQ(std::tie(match, flag, election), std::make_tuple(true, false, std::int16_t{7})) << "Null gives False";

  // A failed check returns False without raising and does not commit its partial work.
  script->inTransaction = true;
  script->Answer("ExecuteProcedure", {.errorText = "failed", .outputs = {{"@flag_mef", Variant(true)}}});
  EXPECT_FALSE(Run(ReturnMEF));
  EXPECT_TRUE(flag) << "answers are read even after an error text";
  EXPECT_EQ(Tail(Calls(), 3), (Texts{"InTransaction()", "EndTransaction(False)", "InTransaction()"}));
  script->Answer("PrepareProcedure", {.errorText = "no such procedure"});
  EXPECT_FALSE(Run(CheckMEF));
}

TEST_F(Mef, OnlyTheTwoFortyEightHourListsAskForRowsAndKeepThem) {
  struct Case { MEFRunType type; bool rows; };
  for (const Case c : {Case{FortyEightHourList, true}, Case{FortyEightHourListAmend, true}, Case{ReturnMEF, false}}) {
    SCOPED_TRACE(c.type);
    Clear();
    script->Answer("ExecuteProcedure", {.result = DocumentRows({{{"unique_id", 1}}, {{"unique_id", 3}}})});
    ASSERT_TRUE(Run(c.type));
    EXPECT_EQ(Calls().at(10), c.rows ? "ExecuteProcedure(0, True, 0)" : "ExecuteProcedure(0, False, 0)");
    if (!c.rows) continue;
    EXPECT_EQ(doc.Count(), 2);
    doc.MoveNext();
    EXPECT_EQ(doc.UniqueID(), 3);
  }
}

}  // namespace
}  // namespace tarnwick::test
