// The document object against a scripted gateway: the SQL it sends, the
// procedure calls of saving, deleting and the filing checks, and what a
// gateway error text or a run-time failure does at each step.
#include <algorithm>
#include <functional>

#include "support/scripted_gateway.hpp"
#include "documents/document_members.hpp"

namespace tarnwick::test {
namespace {

using Document = Scripted;

struct FilterChoice {
  std::string docType{}, docName{}, year{};
  bool useComm = true;
  std::string commType{}, name{}, first{}, last{};
  bool useName = false;
  std::string dateType{}, beginDate{}, endDate{}, user{}, nameType{};
  bool notLinked = false;
};

std::string Filter(clsDocument& doc, const FilterChoice& c) {
  return doc.SetupFilter(c.docType, c.docName, c.year, c.useComm, c.commType, c.name, c.first, c.last, c.useName,
                         c.dateType, c.beginDate, c.endDate, c.user, c.nameType, c.notLinked);
}

std::vector<std::string> Tail(std::vector<std::string> calls, std::size_t n) {
  return {calls.end() - static_cast<std::ptrdiff_t>(std::min(n, calls.size())), calls.end()};
}

TEST_F(Document, FreshObjectReadsEmptyIgnoresWritesAndAnswersEveryMember) {
  const std::vector<std::string> unbound = documents::DocumentMembers().Unbound();
  EXPECT_TRUE(unbound.empty()) << unbound.front();

  std::shared_ptr<Object> doc = CreateObject("Tarnwick.clsDocument");
  for (const MemberInfo& m : doc->Class().members) {
    if (m.kind == InvokeKind::PropertyPut) doc->Put(m.name, Variant("1"));  // ignored: no row
  }
  for (const MemberInfo& m : doc->Class().members) {
    if (m.kind != InvokeKind::PropertyGet || m.result != TypeCode::String) continue;
    const std::string expected = m.name == "Table" ? "ref_document" : m.name == "HasAltered" ? "False" : "";
    EXPECT_EQ(doc->Get(m.name).CStr(), expected) << m.name;
  }
  for (const char* zero : {"UniqueID", "AmountDue", "AmountPaid", "Count", "RecordCount"}) {
    EXPECT_EQ(doc->Get(zero).CDbl(), 0.0) << zero;
  }
  EXPECT_TRUE(doc->Get("mRecSet").IsNothing());
  EXPECT_FALSE(doc->Get("HasImage").CBool());
  EXPECT_FALSE(doc->Get("DataReady").CBool());
  EXPECT_TRUE(Calls().empty()) << "nothing reaches the gateway";
  ExpectRaises(err::kObjectNotSet, [&] { doc->Call("MoveNext"); });
}

TEST_F(Document, SetupFilterBuildsTheWhereTextSlotBySlot) {
  clsDocument doc;
  EXPECT_EQ(Filter(doc, {.name = "n", .first = "f", .last = "l"}), "");
  EXPECT_EQ(Calls(), (std::vector<std::string>{"SqlSafeText(n)", "SqlSafeText(f)", "SqlSafeText(l)"}))
      << "only the three name texts are quoted, in this order";

  EXPECT_EQ(Filter(doc, {.year = "2004", .commType = "No Committee"}),
            "where RD.Doc_year = 2004 and XCD.org_id is null  ");
  EXPECT_EQ(Filter(doc, {.useComm = false, .name = "smith", .nameType = "O"}),
            "where RD.unique_id not in (SELECT document_id from xrf_org_document) ");
  EXPECT_EQ(Filter(doc, {.docType = "RPT", .commType = "PAC", .name = "smi*th", .user = "jdoe", .nameType = "AIO"}),
            "where oc.comm_type_code = 'PAC' and OC.org_name like 'smi%th%' and RD.Doc_type_code = 'RPT' and "
            "RD.user_id = 'jdoe' and OC.inhouse_name like 'smi%th%' and OC.old_acronym like 'smi%th%' ");
  EXPECT_EQ(Filter(doc, {.first = "j?n", .last = "O'Br*", .useName = true, .dateType = "RECEIVED DATE",
                         .endDate = "12/31/2004", .notLinked = true}),
            "where cnd.first_name like 'j_n' and cnd.last_name like 'O''Br%' and "
            "cast(RD.receive_send_date as date) <= '12/31/2004' and xrd.report_id is null  and "
            "isnull(RD.has_no_report_data, 0) = 0  ");
  EXPECT_EQ(Filter(doc, {.docName = "Q1", .dateType = "ENTERED DATE", .beginDate = "1/1/2004", .endDate = "2/1/2004"}),
            "where RD.Doc_sub_type_code = 'Q1' and cast(RD.entry_date as date) >= '1/1/2004' and "
            "cast(RD.entry_date as date) <= '2/1/2004' ");
  EXPECT_EQ(Filter(doc, {.dateType = "received date", .beginDate = "1/1/2004"}), "") << "date kinds match exactly";
  EXPECT_EQ(Filter(doc, {.name = "%ab", .nameType = "o"}), "") << "name kinds match exactly";
  EXPECT_EQ(Filter(doc, {.name = "*ab", .nameType = "O"}), "where OC.org_name like '%ab' ");
  EXPECT_EQ(Filter(doc, {.name = "ab?*", .nameType = "O"}), "where OC.org_name like 'ab_%' ");
}

TEST_F(Document, SearchesSendTheirSqlAndKeepTheListCount) {
  clsDocument doc;
  script->Answer("OpenRecordset", {.result = Rows({{"unique_id", DataType::Integer}, {"comm_type_desc", DataType::VarChar}},
                                                  {{{"unique_id", 1}, {"comm_type_desc", "Candidate"}}, {{"unique_id", 2}}})});
  ASSERT_TRUE(doc.GetDocumentList("where OC.org_name like 'a*b?' "));
  const std::string sql = script->Calls().at(0).args.at(0).CStr();
  EXPECT_EQ(sql.substr(0, 60), "SELECT RD.unique_id, RD.doc_type_code, rd.doc_type_desc, RD.");
  EXPECT_NE(sql.find("left outer join (select oo1.ref_group_id, oo1.name_type_code,    ona1.first_name , "),
            std::string::npos);
  EXPECT_NE(sql.find("ON RD.unique_id = xrd.document_id where OC.org_name like 'a%b_' ORDER BY inhouse_name, "),
            std::string::npos)
      << sql;
  EXPECT_EQ(sql.substr(sql.size() - 21), "RD.doc_sub_type_code ");
  EXPECT_EQ(doc.Count(), 2);
  EXPECT_EQ(doc.CommType(), "Candidate");
  ExpectRaises(err::kItemNotFound, [&] { (void)doc.DocTypeCodeDesc(); });

  script->Answer("OpenRecordset", {.result = DocumentRows({})});
  EXPECT_FALSE(doc.GetDocumentList(""));
  EXPECT_EQ(doc.Count(), 2) << "a search that finds nothing keeps the previous count";
  script->Answer("OpenRecordset", {.errorText = "timeout"});
  EXPECT_FALSE(doc.GetDocumentList(""));

  Clear();
  script->Answer("OpenRecordset", {.result = Rows({{"Doc_type_code_desc", DataType::VarChar}}, {{{"Doc_type_code_desc", "Report"}}})});
  ASSERT_TRUE(doc.GetCommitteeDocumentList("42x"));
  EXPECT_EQ(Calls().at(0),
            "OpenRecordset(SELECT RD.doc_type_desc as 'Doc_type_code_desc', RD.doc_year, RD.doc_sub_type_desc as "
            "'doc_name_desc', RD.Title , RD.receive_send_date, RD.entry_date, RD.unique_id FROM XRF_Org_Document XCD "
            "left outer join vw_zub_ref_document_detail RD ON XCD.document_id = RD.unique_id left outer join ref_org ro "
            "on xcd.org_id = ro.unique_id WHERE ro.group_id = 42 and RD.Delete_date is null ORDER BY 5, 1, 2, 3 , 0, "
            "True)");
  EXPECT_EQ(doc.DocTypeCodeDesc(), "Report");
  ExpectRaises(err::kItemNotFound, [&] { (void)doc.CommType(); });
  EXPECT_EQ(doc.Count(), 1);
  EXPECT_FALSE(doc.GetCommitteeDocumentList("abc"));
  EXPECT_NE(Calls().back().find("WHERE ro.group_id = 0 and"), std::string::npos);
  EXPECT_EQ(doc.Count(), 0);

  Clear();
  script->Answer("OpenRecordset", {.result = DocumentRows({{{"unique_id", 17}}})});
  EXPECT_TRUE(doc.GetDataDetail(17));
  EXPECT_EQ(Calls(), std::vector<std::string>{
                         "OpenRecordset(SELECT rd.* FROM vw_zub_ref_document_detail rd where rd.unique_id = 17, 0, True)"});
  EXPECT_EQ(doc.Count(), 0) << "loads leave the list count alone";
}

TEST_F(Document, QueryFailuresReturnFalseOrRaiseWithTheMethodName) {
  clsDocument doc;
  const std::pair<std::string, std::function<bool()>> queries[] = {
      {"GetDocumentList", [&] { return doc.GetDocumentList(""); }},
      {"GetDataDetail", [&] { return doc.GetDataDetail(1); }},
      {"GetData", [&] { return doc.GetData(3); }},
      {"GetCommitteeDocumentList", [&] { return doc.GetCommitteeDocumentList("3"); }},
  };
  for (const auto& [name, query] : queries) {
    script->Answer("OpenRecordset", {.raise = RuntimeError(3704, "ADODB.Recordset", "closed")});
    const RuntimeError e = ExpectRaises(3704, query);
    EXPECT_EQ(e.Source(), "ADODB.Recordset (clsDocument." + name + ")");
    EXPECT_EQ(e.Description(), "closed");
    script->Answer("OpenRecordset", {.errorText = "no such view"});
    EXPECT_FALSE(query()) << name;
    script->Answer("OpenRecordset", {.noResult = true});
    EXPECT_FALSE(query()) << name;
  }
}

TEST_F(Document, ColumnPropertiesConvertOnReadAndWrite) {
  std::shared_ptr<Object> late = CreateObject("Tarnwick.clsDocument");
  script->Answer("OpenRecordset", {.result = DocumentRows({})});
  ASSERT_TRUE(late->Call("GetData").CBool()) << "no key prepares a new row";
  EXPECT_EQ(Calls().back(), "OpenRecordset(select * from ref_document where unique_id is null , 0, True)");
  late->Put("Title", Variant("Annual"));
  late->Put("DueDate", Variant("1/2/2003"));
  late->Put("AmountDue", Variant(0));
  EXPECT_EQ(late->Get("Title").CStr(), "Annual");
  EXPECT_EQ(late->Get("DueDate").CStr(), "01/02/2003");
  std::shared_ptr<Recordset> rs = late->Get("mRecSet").AsRecordset();
  ASSERT_TRUE(rs);
  EXPECT_EQ(rs->Collect("Amount_Due"), Variant(Currency{0})) << "money 0 is stored, not Null";
  late->Put("Title", Variant(""));
  EXPECT_TRUE(rs->Collect("Title").IsNull());
  EXPECT_EQ(late->Get("Title").CStr(), "");

  clsDocument doc;
  script->Answer("OpenRecordset",
                 {.result = DocumentRows({{{"unique_id", 17},
                                           {"due_date", Date{38051.6041666667}},
                                           {"total_receipts", Currency{12345000}},
                                           {"has_image", true}},
                                          {{"unique_id", 18}}})});
  ASSERT_TRUE(doc.GetData(17));
  EXPECT_EQ(doc.UniqueID(), 17);
  EXPECT_EQ(doc.DueDate(), "03/05/2004") << "the time of day is dropped";
  EXPECT_EQ(doc.TotalReceipts(), "1234.5");
  EXPECT_EQ(doc.AmountDue().scaled, 0) << "Null money reads 0";
  EXPECT_TRUE(doc.HasImage());
  doc.MoveNext();
  EXPECT_EQ(doc.TotalReceipts(), "");
  ExpectRaises(err::kTypeMismatch, [&] { (void)doc.HasImage(); });  // Null joins to empty text

  script->Answer("OpenRecordset", {.result = DocumentRows({})});
  EXPECT_FALSE(doc.GetData(99)) << "a document that does not exist";
  EXPECT_FALSE(doc.DataReady());
  // Not a new record, so saving updates, and there is no identifier to read.
  Clear();
  RuntimeError e = ExpectRaises(err::kNoCurrentRow, [&] { doc.SaveData(); });
  EXPECT_NE(e.Source().find(" (clsDocument.SaveData)"), std::string::npos);
  EXPECT_EQ(Calls(), std::vector<std::string>{"InTransaction()"}) << "no unit of work was begun";
}

const std::vector<std::string>& kInsertParameters = test::kDocumentInsertInputs;

TEST_F(Document, NewDocumentIsInsertedWithThirtyInputsAndReloaded) {
  clsDocument doc;
  script->Answer("OpenRecordset", {.result = DocumentRows({})});
  ASSERT_TRUE(doc.GetData());
  doc.DocTypeCode("RPT");
  doc.DocYear("2004");
  doc.Title("Annual report");
  Clear();
  script->Answer("ExecuteProcedure", {.outputs = {{"@Unique_id", Variant(501)}}});
  script->Answer("OpenRecordset", {.result = DocumentRows({{{"unique_id", 501}, {"Title", "Annual report"}}})});
  ASSERT_TRUE(doc.SaveData());

  std::vector<std::string> expected{"PrepareProcedure(sp_insert_ref_document)"};
  for (const std::string& p : kInsertParameters) {
    const std::string value = p == "@Doc_type_code" ? "RPT" : p == "@Doc_year" ? "2004" : p == "@Title" ? "Annual report" : "Null";
    expected.push_back("AddParameter(" + p + ", " + value + ")");
  }
  expected.insert(expected.end(), {"ExecuteProcedure(0, False, 0)", "GetParameter(@Unique_id)", "FinishProcedure()",
                                   "OpenRecordset(select * from ref_document where unique_id = 501 , 0, True)",
                                   "InTransaction()"});
  EXPECT_EQ(Calls(), expected);
  EXPECT_EQ(doc.UniqueID(), 501);

  // Saved again: the reload cleared the new-record flag, so this is an update with nothing changed.
  Clear();
  EXPECT_TRUE(doc.SaveData());
  EXPECT_EQ(Calls(), (std::vector<std::string>{"InTransaction()", "BeginTransaction()", "InTransaction()",
                                               "EndTransaction(True)", "InTransaction()"}));
}

TEST_F(Document, InsertFailures) {
  clsDocument doc;
  script->Answer("OpenRecordset", {.result = DocumentRows({})});
  ASSERT_TRUE(doc.GetData(0));
  script->Answer("ExecuteProcedure", {.errorText = "constraint failed"});
  EXPECT_FALSE(doc.SaveData());
  EXPECT_EQ(Tail(Calls(), 2), (std::vector<std::string>{"ExecuteProcedure(0, False, 0)", "InTransaction()"}));

  // No identifier came back: the conversion fails after the procedure ran, the
  // open unit of work is abandoned and the error reaches the caller.
  Clear();
  script->inTransaction = true;
  RuntimeError e = ExpectRaises(err::kInvalidUseOfNull, [&] { doc.SaveData(); });
  EXPECT_EQ(e.Source(), "Tarnwick (clsDocument.SaveData)");
  EXPECT_EQ(Tail(Calls(), 4), (std::vector<std::string>{"GetParameter(@Unique_id)", "FinishProcedure()",
                                                         "InTransaction()", "EndTransaction(False)"}));

  // The reload fails inside GetData: both names are in the source, innermost first.
  script->Answer("ExecuteProcedure", {.outputs = {{"@Unique_id", Variant(7)}}});
  script->Answer("OpenRecordset", {.raise = RuntimeError(3704, "ADODB.Recordset", "closed")});
  e = ExpectRaises(3704, [&] { doc.SaveData(); });
  EXPECT_EQ(e.Source(), "ADODB.Recordset (clsDocument.GetData) (clsDocument.SaveData)");
}

struct Update : Document {
  clsDocument doc;
  void Load() {
    script->Answer("OpenRecordset", {.result = DocumentRows({{{"unique_id", 17},
                                                              {"Is_amendment", false},
                                                              {"name_listed", "Smith"},
                                                              {"Title", "Old"},
                                                              {"due_date", Date{38051}}}})});
    ASSERT_TRUE(doc.GetData(17));
    Clear();
  }
  void ChangeFour() {
    doc.Title("New");            // set first, sent in column order
    doc.NameListed("");          // a value cleared goes as Null
    doc.IsAmendment("True");     // a Boolean goes as 1
    doc.AmountDue(Currency{125000});
    doc.DueDate("03/05/2004");   // same date as read: not sent
  }
};

std::vector<std::string> UpdateCall(const std::string& column, const std::string& value) {
  return {"PrepareProcedure(sp_update_table)", "AddParameter(@table, ref_document)",
          "AddParameter(@column, " + column + ")", "AddParameter(@unique_id, 17)",
          "AddParameter(@value, " + value + ")", "ExecuteProcedure(0, False, 0)"};
}

TEST_F(Update, ChangedColumnsGoOneByOneInsideOneUnitOfWork) {
  Load();
  ChangeFour();
  ASSERT_TRUE(doc.SaveData());
  std::vector<std::string> expected{"InTransaction()", "BeginTransaction()"};
  for (auto [column, value] : std::vector<std::pair<std::string, std::string>>{
           {"Is_amendment", "1"}, {"name_listed", "Null"}, {"Title", "New"}, {"Amount_Due", "12.5"}}) {
    const auto call = UpdateCall(column, value);
    expected.insert(expected.end(), call.begin(), call.end());
  }
  expected.insert(expected.end(), {"InTransaction()", "EndTransaction(True)", "InTransaction()"});
  EXPECT_EQ(Calls(), expected);
  EXPECT_EQ(script->Calls().at(5).args.at(1).Type(), VarType::Long) << "@unique_id goes as a Long";

  Clear();
  ASSERT_TRUE(doc.SaveData());
  EXPECT_EQ(Calls(), expected) << "the values as read are kept, so the same columns go again";
}

TEST_F(Update, AFailingColumnAbandonsTheUnitOfWork) {
  Load();
  ChangeFour();
  script->Answer("ExecuteProcedure", {});
  script->Answer("ExecuteProcedure", {});
  script->Answer("ExecuteProcedure", {.errorText = "conversion failed"});
  EXPECT_FALSE(doc.SaveData());
  const auto calls = Calls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "PrepareProcedure(sp_update_table)"), 3);
  EXPECT_EQ(Tail(calls, 3), (std::vector<std::string>{"ExecuteProcedure(0, False, 0)", "InTransaction()",
                                                      "EndTransaction(False)"}));

  Clear();
  script->Answer("PrepareProcedure", {});
  script->Answer("PrepareProcedure", {.raise = RuntimeError(-2147467259, "gateway", "connection lost")});
  RuntimeError e = ExpectRaises(-2147467259, [&] { doc.SaveData(); });
  EXPECT_EQ(e.Source(), "gateway (clsDocument.SaveData)");
  EXPECT_EQ(Tail(Calls(), 3), (std::vector<std::string>{"PrepareProcedure(sp_update_table)", "InTransaction()",
                                                        "EndTransaction(False)"}));
}

TEST_F(Document, DeletesRunOnlyWithACurrentRow) {
  clsDocument doc;
  EXPECT_TRUE(doc.DeleteData(17));
  EXPECT_TRUE(doc.RemoveReportLink(3, 17));
  EXPECT_EQ(Calls(), (std::vector<std::string>{"InTransaction()", "InTransaction()"}));

  script->Answer("OpenRecordset", {.result = DocumentRows({{{"unique_id", 17}}})});
  ASSERT_TRUE(doc.GetData(17));
  Clear();
  EXPECT_TRUE(doc.DeleteData(17));
  EXPECT_TRUE(doc.RemoveReportLink(3, 17));
  EXPECT_EQ(Calls(), (std::vector<std::string>{
                         "PrepareProcedure(sp_delete_table)", "AddParameter(@table, ref_document)",
                         "AddParameter(@unique_id, 17)", "ExecuteProcedure(0, False, 0)", "InTransaction()",
                         "InTransaction()", "PrepareProcedure(sp_delete_xrf_report_document)",
                         "AddParameter(@report_id, 3)", "AddParameter(@document_id, 17)",
                         "ExecuteProcedure(0, False, 0)", "InTransaction()", "InTransaction()"}));
  EXPECT_EQ(doc.UniqueID(), 17) << "the deleted row stays until the next query";

  Clear();
  script->inTransaction = true;
  script->Answer("ExecuteProcedure", {.errorText = "in use"});
  EXPECT_FALSE(doc.DeleteData(17));
  EXPECT_EQ(Tail(Calls(), 3),
            (std::vector<std::string>{"InTransaction()", "EndTransaction(False)", "InTransaction()"}));
  script->Answer("PrepareProcedure", {.raise = RuntimeError(91, "gw", "gone")});
  EXPECT_EQ(ExpectRaises(91, [&] { doc.RemoveReportLink(1, 2); }).Source(), "gw (clsDocument.RemoveReportLink)");
}

struct Mef : Document {
  clsDocument doc;
  bool match = true, flag = true;
  std::int16_t election = 99;
  bool Run(MEFRunType type) { return doc.RunMEFChecks(type, "12", "", "", "", "", "", "", "", match, flag, election); }
};

TEST_F(Mef, ChecksPassNineInputsAndConvertTheThreeAnswers) {
  script->Answer("ExecuteProcedure", {.outputs = {{"@match_found", Variant(1)}, {"@election_id", Variant("7")}}});
  ASSERT_TRUE(Run(CheckMEF));
  EXPECT_EQ(Calls(), (std::vector<std::string>{
                         "PrepareProcedure(sp_misc_mef_checks)", "AddParameter(@get_type_flag, 2)",
                         "AddParameter(@org_id, 12)", "AddParameter(@document_id, )", "AddParameter(@doc_year, )",
                         "AddParameter(@doc_sub_type_code, )", "AddParameter(@begin_date, )",
                         "AddParameter(@end_date, )", "AddParameter(@total_receipts, )",
                         "AddParameter(@total_expenditures, )", "ExecuteProcedure(0, False, 0)",
                         "GetParameter(@match_found)", "GetParameter(@flag_mef)", "GetParameter(@election_id)",
                         "InTransaction()"}));
  EXPECT_EQ(script->Calls().at(1).args.at(1).Type(), VarType::Long);
  EXPECT_EQ(script->Calls().at(3).args.at(1).Type(), VarType::String) << "empty texts are not Null";
  EXPECT_TRUE(match);
  EXPECT_FALSE(flag) << "Null gives False";
  EXPECT_EQ(election, 7);

  script->Answer("ExecuteProcedure", {.outputs = {{"@election_id", Variant("n/a")}}});
  ASSERT_TRUE(Run(static_cast<MEFRunType>(9)));
  EXPECT_FALSE(match);
  EXPECT_EQ(election, 7) << "a non-numeric answer leaves the argument";
  EXPECT_EQ(script->Calls().at(script->Calls().size() - 5).args.at(1), Variant(false)) << "no rows asked";
}

TEST_F(Mef, FortyEightHourListsBecomeTheRows) {
  script->inTransaction = true;
  script->Answer("ExecuteProcedure", {.result = DocumentRows({{{"unique_id", 1}}, {{"unique_id", 2}}, {{"unique_id", 3}}})});
  ASSERT_TRUE(Run(FortyEightHourListAmend));
  EXPECT_EQ(Tail(Calls(), 4), (std::vector<std::string>{"GetParameter(@election_id)", "InTransaction()",
                                                        "EndTransaction(True)", "InTransaction()"}));
  EXPECT_EQ(doc.Count(), 3);
  doc.MoveNext();
  doc.MoveNext();
  EXPECT_EQ(doc.UniqueID(), 3);
}

TEST_F(Mef, FailuresReturnFalseWithoutRaising) {
  script->Answer("PrepareProcedure", {.errorText = "no such procedure"});
  EXPECT_FALSE(Run(CheckMEF));
  EXPECT_TRUE(match && flag && election == 99) << "answers untouched";

  script->inTransaction = true;
  script->Answer("ExecuteProcedure", {.errorText = "failed", .outputs = {{"@flag_mef", Variant(true)}}});
  EXPECT_FALSE(Run(ReturnMEF));
  EXPECT_FALSE(match);
  EXPECT_TRUE(flag) << "answers are read even after an error text";
  EXPECT_EQ(Tail(Calls(), 3), (std::vector<std::string>{"InTransaction()", "EndTransaction(False)", "InTransaction()"}));

  script->Answer("ExecuteProcedure", {.outputs = {{"@match_found", Variant(true)}, {"@election_id", Variant(40000)}}});
  EXPECT_FALSE(Run(ExistingReport)) << "an identifier beyond 16 bits";
  EXPECT_TRUE(match);
  EXPECT_EQ(election, 99);

  // Late-bound callers get the answers written back into their arguments.
  std::shared_ptr<Object> late = CreateObject("Tarnwick.clsDocument");
  script->Answer("ExecuteProcedure", {.outputs = {{"@match_found", Variant("True")}, {"@election_id", Variant(12)}}});
  std::vector<Variant> args{Variant(2), Variant(""), Variant(""), Variant(""), Variant(""), Variant(""),
                            Variant(""), Variant(""), Variant(""), Variant(false), Variant(false), Variant(std::int16_t{0})};
  EXPECT_TRUE(late->Call("RunMEFChecks", args).CBool());
  EXPECT_EQ(args[9], Variant(true));
  EXPECT_EQ(args[11], Variant(std::int16_t{12}));
}

TEST_F(Document, ImageFoldersComeFromTheSystemSettings) {
  clsDocument doc;
  const std::vector<Column> columns{{"Code", DataType::VarChar}, {"Description", DataType::VarChar}};
  script->Answer("OpenRecordset", {.result = Rows(columns, {{{"Code", "PATH_TIF"}, {"Description", "\\\\srv\\tif"}},
                                                            {{"Code", "PATH_PDF"}, {"Description", "\\\\srv\\pdf"}},
                                                            {{"Description", "no code"}},
                                                            {{"Code", "path_tif"}, {"Description", "lower"}},
                                                            {{"Code", "PATH_TIF "}, {"Description", "blank"}},
                                                            {{"Code", "PATH_TIF"}, {"Description", "\\\\srv\\tif2"}}})});
  doc.SetImageDirs();
  EXPECT_EQ(Calls(), std::vector<std::string>{"OpenRecordset(select * from lks_system_info, 0, True)"});
  EXPECT_EQ(doc.ImagePath(), "\\\\srv\\tif2") << "the last PATH_TIF row wins";
  EXPECT_FALSE(doc.DataReady()) << "the document rows are not touched";
  EXPECT_EQ(doc.HasAltered(), "False");

  script->Answer("OpenRecordset", {.errorText = "no table"});
  doc.SetImageDirs();
  EXPECT_EQ(doc.ImagePath(), "\\\\srv\\tif2");

  script->Answer("OpenRecordset", {.result = Rows(columns, {{{"Code", "PATH_TIF"}, {"Description", "first"}},
                                                            {{"Code", "PATH_TIF_ALT"}}})});
  RuntimeError e = ExpectRaises(err::kInvalidUseOfNull, [&] { doc.SetImageDirs(); });
  EXPECT_EQ(e.Source(), "Tarnwick (clsDocument.SetImageDirs)");
  EXPECT_EQ(doc.ImagePath(), "first") << "rows read before the failure are kept";
}

}  // namespace
}  // namespace tarnwick::test
