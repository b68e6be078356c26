// The committee object against a scripted gateway: the search form's
// condition text, the exact texts of the four searches, the column rules of
// the committee row, and what an error text or a run-time failure does.
#include "support/scripted_gateway.hpp"
#include "runtime/dates.hpp"

namespace tarnwick::test {
namespace {

using Committee = Scripted;

// The committee list select, joins and current-committee condition, as the
// office's database expects them.
const std::string kListText =
    "SELECT distinct fn.org_id, ro.group_id, ro.id_1, ro.id_2, ro.id_3, ro.id_4, fn.previous_id, "
    "fn.org_name, fn.comm_type_code, fn.comm_type_desc, cand.name_type_code, "
    "case fn.comm_type_code when 'cnc' then cand.first_name else '' end as 'cand_first_name', "
    "case fn.comm_type_code when 'cnc' then cand.middle_name else '' end as 'cand_middle_name', "
    "case fn.comm_type_code when 'cnc' then cand.last_name else '' end as 'cand_last_name', "
    "case fn.comm_type_code when 'cnc' then cand.suffix else '' end as 'cand_suffix', "
    "case fn.comm_type_code when 'cnc' then cand.nick_name else '' end as 'cand_nick_name', "
    "treas.name_type_code, treas.first_name as 'treas_first_name', treas.middle_name as 'treas_middle_name', "
    "treas.last_name as 'treas_last_name', treas.suffix as 'treas_suffix', "
    "treas.nick_name as 'treas_nick_name', fn.inhouse_name, ro.current_status_desc, fn.party_code, "
    "ro.current_status_code FROM vw_zub_ref_org_detail ro "
    "left outer join vw_Zub_org_committee_detail fn on ro.group_id = fn.org_group_id "
    "left outer join ( select oo1.org_group_id, oo1.name_type_code, na1.first_name, na1.middle_name, "
    "na1.last_name, na1.suffix , na1.nick_name, oo1.cand_office_code from org_officers oo1 "
    "left outer join org_name_address na1 on oo1.entity_id = na1.unique_id "
    "where (oo1.name_type_code = 'cnd' or oo1.name_type_code is null) "
    "AND oo1.trans_end_date is null ) cand on cand.org_group_id = fn.org_group_id "
    "left outer join ( select oo2.org_group_id, oo2.name_type_code, na2.first_name, na2.middle_name, "
    "na2.last_name, na2.suffix , na2.nick_name from org_officers oo2 "
    "left outer join org_name_address na2 on oo2.entity_id = na2.unique_id "
    "where (oo2.name_type_code = 'trs' or oo2.name_type_code is null) "
    "AND oo2.trans_end_date is null ) treas on treas.org_group_id = fn.org_group_id ";
const std::string kCurrent =
    "WHERE fn.trans_end_date is null "
    "AND (ro.trans_date = (SELECT max(trans_date) from ref_org where group_id = ro.group_id) "
    "or ro.trans_date is null) ";

std::string Opened(const std::string& sql) { return "OpenRecordset(" + sql + ", 0, True)"; }

struct Choice {
  std::string commType{}, commLevel{}, status{}, infoType{}, name{}, firstName{}, office{}, party{}, nameType{};
};
std::string Filter(clsOrg& org, const Choice& c) {
  return org.SetupFilter(c.commType, c.commLevel, c.status, c.infoType, c.name, c.firstName, c.office, c.party,
                         c.nameType);
}

// A committee row carrying every column the committee object can read.
std::shared_ptr<Recordset> FullRow(Row values) {
  std::vector<Column> columns;
  for (const char* name :
       {"unique_id", "group_id", "id_1", "id_2", "id_3", "id_4", "current_status_code", "entered_method_code",
        "check_out_user_id", "check_in_user_id", "Reason", "Orig_user_id", "full_id", "org_name", "inhouse_name",
        "org_id", "previous_id", "comm_type_code", "comm_type_desc", "cand_first_name", "cand_middle_name",
        "cand_last_name", "cand_suffix", "cand_nick_name", "treas_first_name", "treas_middle_name",
        "treas_last_name", "treas_suffix", "treas_nick_name", "user_id", "trans_type", "current_status_desc"}) {
    columns.push_back({name, DataType::VarChar});
  }
  for (const char* name : {"entered_date", "trans_date", "check_out_date", "check_in_date", "update_date",
                           "orig_date"}) {
    columns.push_back({name, DataType::DBTimeStamp});
  }
  columns.push_back({"is_fund", DataType::Variant});
  return Rows(std::move(columns), {std::move(values)});
}

TEST_F(Committee, FreshObjectReadsEmptyAndAnswersEveryMemberEarlyAndLate) {
  std::shared_ptr<Object> late = CreateObject("Tarnwick.clsOrg");
  for (const MemberInfo& m : late->Class().members) {
    if (m.kind != InvokeKind::PropertyGet) continue;
    const Variant v = late->Get(m.name);
    if (m.result == TypeCode::String) {
      EXPECT_EQ(v.CStr(), m.name == "Table" ? "ref_org" : "") << m.name;
    } else {
      EXPECT_EQ(v.CDbl(), 0.0) << m.name;
    }
  }
  EXPECT_FALSE(late->Call("ValidateData").CBool());
  EXPECT_TRUE(Calls().empty()) << "nothing reaches the gateway";
  ExpectRaises(err::kObjectNotSet, [&] { late->Call("MoveFirst"); });
  // Every method is answered: a member without a body would raise 438.
  for (const char* method : {"GetDataList", "GetCommittee", "GetAffectedCommitteeDocumentList", "GetAffectedDataList"}) {
    EXPECT_FALSE(late->Call(method, {""}).CBool()) << method;
  }
  EXPECT_EQ(late->Call("SetupFilter", {"A", "", "", "", "", "", "", "", ""}).CStr(), "AND fn.comm_type_code = 'A' ");

  clsOrg org;
  EXPECT_EQ(org.Table(), "ref_org");
  EXPECT_EQ(org.IsFund(), 0);
  EXPECT_EQ(org.TransDate(), Date{0});
  EXPECT_EQ(org.Count(), 0);
}

TEST_F(Committee, SetupFilterAddsItsClausesInAFixedOrder) {
  clsOrg org;
  EXPECT_EQ(Filter(org, {}), "");
  EXPECT_EQ(Calls(), (std::vector<std::string>{"SqlSafeText()", "SqlSafeText()"})) << "both names, always";
  EXPECT_EQ(Filter(org, {.commType = "CNC "}), "AND fn.comm_type_code = 'CNC' ");
  EXPECT_EQ(Filter(org, {.commType = "   "}), "AND fn.comm_type_code = '' ") << "blanks count as a choice";
  EXPECT_EQ(Filter(org, {.commType = "T1", .status = "S1", .infoType = "1", .name = "ab", .party = "P1",
                         .nameType = "OI"}),
            "AND fn.comm_type_code = 'T1' AND ro.current_status_code = 'S1' AND fn.org_name like '%ab%' "
            "AND fn.inhouse_name like '%ab%' AND fn.party_code = 'P1' ");
  EXPECT_EQ(Filter(org, {.commType = "T", .commLevel = " L ", .status = "S", .infoType = "3", .name = "x",
                         .office = "GOV", .party = "D"}),
            "AND fn.comm_type_code = 'T' AND fn.comm_level_code = 'L' AND ro.current_status_code = 'S' "
            "AND cand.cand_office_code = 'GOV' AND cand.last_name like '%x%' AND fn.party_code = 'D' ");

  Clear();
  EXPECT_EQ(Filter(org, {.infoType = "1", .name = "*smith?", .nameType = "AO"}),
            "AND fn.org_name like '%%smith_%' AND fn.old_acronym like '%%smith_%' ");
  EXPECT_EQ(Calls().front(), "SqlSafeText(%smith_)");
  for (const char* kinds : {"", "oi", "xyz"}) {
    EXPECT_EQ(Filter(org, {.infoType = "1", .name = "ab", .nameType = kinds}), "") << kinds;
  }
  EXPECT_EQ(Filter(org, {.infoType = "2", .name = "2004C"}), "AND ro.id_1+ro.id_2+ro.id_3+ro.id_4 like '%2004C%' ");
  EXPECT_EQ(Filter(org, {.infoType = "7", .name = "99-"}), "AND fn.previous_id like '%99-%' ");
  EXPECT_EQ(Filter(org, {.infoType = "3", .firstName = "Ann"}), "AND cand.first_name like '%Ann%' ");
  EXPECT_EQ(Filter(org, {.infoType = "3", .name = "  ", .firstName = "Ann"}), "AND cand.first_name like '%Ann%' ");
  EXPECT_EQ(Filter(org, {.infoType = "4", .name = "Lee", .firstName = " Al "}),
            "AND treas.last_name like '%Lee%' AND treas.first_name like '% Al %' ")
      << "names keep their blanks";
  EXPECT_EQ(Filter(org, {.infoType = "1", .name = "ab", .firstName = "cd"}), "") << "no name kinds chosen";
  for (const char* other : {"5", "6", "", " 1", "01"}) {
    Clear();
    EXPECT_EQ(Filter(org, {.infoType = other, .name = "ab", .firstName = "cd", .nameType = "OIA"}), "") << other;
    EXPECT_EQ(Calls(), (std::vector<std::string>{"SqlSafeText(ab)", "SqlSafeText(cd)"}));
  }

  // Names are made safe; code choices go in as given.
  EXPECT_EQ(Filter(org, {.commType = "O'X", .infoType = "1", .name = "O'Brien", .nameType = "O"}),
            "AND fn.comm_type_code = 'O'X' AND fn.org_name like '%O''Brien%' ");
  EXPECT_EQ(Filter(org, {.infoType = "4", .name = "50%_off"}), "AND treas.last_name like '%50%_off%' ");
  const std::string longName(100000, 'n');
  EXPECT_EQ(Filter(org, {.infoType = "7", .name = longName}), "AND fn.previous_id like '%" + longName + "%' ");
  script->Answer("SqlSafeText", {.raise = RuntimeError(5, "Gateway", "bad text")});
  const RuntimeError e = ExpectRaises(5, [&] { Filter(org, {.name = "x"}); });
  EXPECT_EQ(e.Source(), "Gateway") << "no name of the committee object is added";
}

TEST_F(Committee, TheFourSearchesSendTheirTextsWithTheConditionUnchanged) {
  clsOrg org;
  const std::string filter = "AND fn.org_name like '%a%' ";
  org.GetDataList(filter);
  org.GetAffectedDataList(filter);
  org.GetAffectedCommitteeDocumentList("345");
  org.GetCommittee("  raw ");
  org.GetDataList("");
  EXPECT_EQ(Calls(),
            (std::vector<std::string>{
                Opened(kListText + kCurrent + "and fn.comm_type_code <> 'NRR' " + filter),
                Opened(kListText + kCurrent + filter),
                Opened(kListText + "left outer join XRF_AFF_ORG_DOCUMENT xaod on ro.Group_id = xaod.Org_id " +
                       kCurrent + "and xaod.document_id = 345 "),
                Opened("SELECT distinct ro.group_id, ro.id_1, ro.id_2, ro.id_3, ro.id_4, fn.previous_id, "
                       "fn.org_name, fn.comm_type_desc, fn.inhouse_name, ro.current_status_desc "
                       "FROM vw_zub_ref_org_detail ro "
                       "left outer join vw_Zub_org_committee_detail fn on ro.group_id = fn.org_group_id " +
                       kCurrent + "  raw "),
                Opened(kListText + kCurrent + "and fn.comm_type_code <> 'NRR' "),
            }));
}

TEST_F(Committee, ErrorTextsGiveFalseAndRunTimeFailuresCarryTheSearchName) {
  clsOrg org;
  using Search = bool (clsOrg::*)(const std::string&);
  const std::vector<std::pair<Search, std::string>> searches = {
      {&clsOrg::GetDataList, "clsOrg_Data.GetDataList"},
      {&clsOrg::GetCommittee, "clsOrg_Data.GetCommittee"},
      {&clsOrg::GetAffectedCommitteeDocumentList, "clsOrg_Data.GetAffectedCommitteeDocumentList"},
      {&clsOrg::GetAffectedDataList, "clsOrg_Data.GetAffectedDataList"},
  };
  for (const auto& [search, source] : searches) {
    script->Answer("OpenRecordset", {.result = FullRow({{"org_name", Variant("A")}})});
    EXPECT_TRUE((org.*search)("1")) << source;
    EXPECT_EQ(org.OrgName(), "A");
    EXPECT_FALSE((org.*search)("1")) << "an empty result";
    EXPECT_FALSE(org.DataReady());
    EXPECT_EQ(org.OrgName(), "");
    script->Answer("OpenRecordset", {.errorText = "syntax error"});
    EXPECT_FALSE((org.*search)("1")) << source;
    script->Answer("OpenRecordset", {.noResult = true});
    EXPECT_FALSE((org.*search)("1")) << source;
    script->Answer("OpenRecordset", {.raise = RuntimeError(-2147467259, "Gateway", "connection lost", "help.chm", 7)});
    const RuntimeError e = ExpectRaises(-2147467259, [&] { (org.*search)("1"); });
    EXPECT_EQ(e.Source(), "Gateway (" + source + ")");
    EXPECT_EQ(e.Description(), "connection lost");
    EXPECT_EQ(e.HelpContext(), 7);
    // A closed result set fails when the search asks whether rows came back.
    auto closed = FullRow({});
    closed->Close();
    script->Answer("OpenRecordset", {.result = closed});
    EXPECT_EQ(ExpectRaises(err::kObjectClosed, [&] { (org.*search)("1"); }).Source(),
              "ADODB.Recordset (" + source + ")");
  }
}

TEST_F(Committee, ColumnPropertiesReadTheRowByTheirFamilies) {
  clsOrg org;
  const Date march5 = dates::FromCivil({2004, 3, 5, 14, 30, 0});
  script->Answer("OpenRecordset",
                 {.result = FullRow({{"unique_id", Variant("17")},
                                     {"current_status_code", Variant("ACT")},
                                     {"inhouse_name", Variant("ANN'S")},
                                     {"treas_last_name", Variant("Lee")},
                                     {"check_out_date", Variant(march5)},
                                     {"entered_date", Variant(march5)},
                                     {"is_fund", Variant(true)}})});
  ASSERT_TRUE(org.GetAffectedDataList(""));
  EXPECT_EQ(org.UniqueID(), "17");
  EXPECT_EQ(org.CheckOutDate(), "03/05/2004");
  EXPECT_EQ(org.CheckInDate(), "") << "a Null date reads empty";
  EXPECT_EQ(org.EnteredDate(), march5);
  EXPECT_EQ(org.IsFund(), -1);
  EXPECT_EQ(org.InhouseName(), "ANN'S") << "column names match whatever their letter case";
  EXPECT_EQ(org.Reason(), "");
  EXPECT_EQ(org.StatusCode(), "ACT");
  EXPECT_EQ(org.CurrentStatusCode(), "ACT");
  EXPECT_EQ(org.TreasLastName(), "Lee");
  EXPECT_EQ(org.Count(), 0);
  EXPECT_EQ(org.RecordCount(), 1);
  EXPECT_FALSE(org.ValidateData());
  // The date and the flag convert without a null test.
  EXPECT_EQ(ExpectRaises(err::kInvalidUseOfNull, [&] { org.TransDate(); }).Source(), "Tarnwick");
  script->Answer("OpenRecordset", {.result = FullRow({{"is_fund", Variant("abc")}})});
  ASSERT_TRUE(org.GetDataList(""));
  ExpectRaises(err::kTypeMismatch, [&] { org.IsFund(); });
  ExpectRaises(err::kInvalidUseOfNull, [&] { org.EnteredDate(); });

  // The committee list row lacks the reference columns; the late-bound reader fails the same way.
  script->Answer("OpenRecordset", {.result = Rows({{"org_name", DataType::VarChar}}, {{{"org_name", Variant("B")}}})});
  ASSERT_TRUE(org.GetCommittee(""));
  EXPECT_EQ(ExpectRaises(err::kItemNotFound, [&] { org.UserID(); }).Source(), "ADODB.Fields");
  std::shared_ptr<Object> late = CreateObject("Tarnwick.clsOrg");
  script->Answer("OpenRecordset", {.result = Rows({{"org_name", DataType::VarChar}}, {{{"org_name", Variant("B")}}})});
  ASSERT_TRUE(late->Call("GetCommittee", {""}).CBool());
  EXPECT_EQ(late->Get("OrgName").CStr(), "B");
  ExpectRaises(err::kItemNotFound, [&] { late->Get("IsFund"); });
  // At end of file there is no current row.
  late->Call("MoveNext");
  EXPECT_TRUE(late->Get("EOF").CBool());
  ExpectRaises(err::kNoCurrentRow, [&] { late->Get("OrgName"); });
}

}  // namespace
}  // namespace tarnwick::test
