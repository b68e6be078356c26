// The committee object against a scripted gateway: the search form's
// condition text, the exact texts of the four searches, and what an error
// text or a run-time failure does.
#include "support/scripted_gateway.hpp"

namespace tarnwick::test {
namespace {

struct Committee : Scripted { clsOrg org; };

// The committee list select, joins and current-committee condition, as the
// office's database expects them.
const std::string kListText =
    "SELECT distinct fn.org_id, ro.group_id, ro.id_1, ro.id_2, ro.id_3, ro.id_4, fn.previous_id, fn.org_name, "
    "fn.comm_type_code, fn.comm_type_desc, cand.name_type_code, case fn.comm_type_code when 'cnc' then cand.first_name "
    "else '' end as 'cand_first_name', case fn.comm_type_code when 'cnc' then cand.middle_name else '' end as "
    "'cand_middle_name', case fn.comm_type_code when 'cnc' then cand.last_name else '' end as 'cand_last_name', case "
    "fn.comm_type_code when 'cnc' then cand.suffix else '' end as 'cand_suffix', case fn.comm_type_code when 'cnc' "
    "then cand.nick_name else '' end as 'cand_nick_name', treas.name_type_code, treas.first_name as "
    "'treas_first_name', treas.middle_name as 'treas_middle_name', treas.last_name as 'treas_last_name', treas.suffix "
    "as 'treas_suffix', treas.nick_name as 'treas_nick_name', fn.inhouse_name, ro.current_status_desc, fn.party_code, "
    "ro.current_status_code FROM vw_zub_ref_org_detail ro left outer join vw_Zub_org_committee_detail fn on "
    "ro.group_id = fn.org_group_id left outer join ( select oo1.org_group_id, oo1.name_type_code, na1.first_name, "
    "na1.middle_name, na1.last_name, na1.suffix , na1.nick_name, oo1.cand_office_code from org_officers oo1 left outer "
    "join org_name_address na1 on oo1.entity_id = na1.unique_id where (oo1.name_type_code = 'cnd' or "
    "oo1.name_type_code is null) AND oo1.trans_end_date is null ) cand on cand.org_group_id = fn.org_group_id left "
    "outer join ( select oo2.org_group_id, oo2.name_type_code, na2.first_name, na2.middle_name, na2.last_name, "
    "na2.suffix , na2.nick_name from org_officers oo2 left outer join org_name_address na2 on oo2.entity_id = "
    "na2.unique_id where (oo2.name_type_code = 'trs' or oo2.name_type_code is null) AND oo2.trans_end_date is null ) "
    "treas on treas.org_group_id = fn.org_group_id ";
const std::string kCurrent =
    "WHERE fn.trans_end_date is null AND (ro.trans_date = (SELECT max(trans_date) from ref_org where group_id = "
    "ro.group_id) or ro.trans_date is null) ";

TEST_F(Committee, SetupFilterAddsItsClausesInAFixedOrder) {
  struct Case { std::string commType{}, commLevel{}, status{}, infoType{}, name{}, firstName{}, office{}, party{},
                nameType{}, where; };
  const Case cases[] = {
      {.where = ""},
      {.commType = "   ", .where = "AND fn.comm_type_code = '' "},  // blanks count as a choice
      {.commType = "T1", .status = "S1", .infoType = "1", .name = "ab", .party = "P1", .nameType = "OI",
       .where = "AND fn.comm_type_code = 'T1' AND ro.current_status_code = 'S1' AND fn.org_name like '%ab%' "
                "AND fn.inhouse_name like '%ab%' AND fn.party_code = 'P1' "},
      {.commType = "T", .commLevel = " L ", .status = "S", .infoType = "3", .name = "x", .office = "GOV", .party = "D",
       .where = "AND fn.comm_type_code = 'T' AND fn.comm_level_code = 'L' AND ro.current_status_code = 'S' "
                "AND cand.cand_office_code = 'GOV' AND cand.last_name like '%x%' AND fn.party_code = 'D' "},
      {.infoType = "1", .name = "*smith?", .nameType = "AO",
       .where = "AND fn.org_name like '%%smith_%' AND fn.old_acronym like '%%smith_%' "},
      {.infoType = "1", .name = "ab", .nameType = "oi", .where = ""},  // name kinds match exactly
      {.infoType = "7", .name = "99-", .nameType = "OIA", .where = "AND fn.previous_id like '%99-%' "},
      {.infoType = "3", .name = "  ", .firstName = "Ann", .where = "AND cand.first_name like '%Ann%' "},
      {.infoType = "4", .name = "Lee", .firstName = " Al ",  // names keep their blanks
       .where = "AND treas.last_name like '%Lee%' AND treas.first_name like '% Al %' "},
      // Names are made safe; code choices go in as given.
      {.commType = "O'X", .infoType = "1", .name = "O'Brien", .nameType = "O",
       .where = "AND fn.comm_type_code = 'O'X' AND fn.org_name like '%O''Brien%' "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where.substr(0, 80));
    Clear();
    EXPECT_EQ(org.SetupFilter(c.commType, c.commLevel, c.status, c.infoType, c.name, c.firstName, c.office, c.party,
                              c.nameType),
              c.where);
    EXPECT_EQ(Calls().size(), 2u) << "both names are made safe, always";
  }
}

TEST_F(Committee, TheFourSearchesSendTheirTextsAndReportFailuresWithTheirNames) {
  const std::string filter = "AND fn.org_name like '%a%' ";
  org.GetDataList(filter);
  org.GetAffectedDataList(filter);
  org.GetAffectedCommitteeDocumentList("345");
  org.GetCommittee("  raw ");
  EXPECT_EQ(Calls(), (Texts{Opened(kListText + kCurrent + "and fn.comm_type_code <> 'NRR' " + filter),
                            Opened(kListText + kCurrent + filter),
                            Opened(kListText + "left outer join XRF_AFF_ORG_DOCUMENT xaod on ro.Group_id = xaod.Org_id " +
                                   kCurrent + "and xaod.document_id = 345 "),
                            Opened("SELECT distinct ro.group_id, ro.id_1, ro.id_2, ro.id_3, ro.id_4, fn.previous_id, "
                                   "fn.org_name, fn.comm_type_desc, fn.inhouse_name, ro.current_status_desc "
                                   "FROM vw_zub_ref_org_detail ro "
                                   "left outer join vw_Zub_org_committee_detail fn on ro.group_id = fn.org_group_id " +
                                   kCurrent + "  raw ")}));

  using Search = bool (clsOrg::*)(const std::string&);
  const std::pair<Search, std::string> searches[] = {
      {&clsOrg::GetDataList, "GetDataList"}, {&clsOrg::GetCommittee, "GetCommittee"},
      {&clsOrg::GetAffectedCommitteeDocumentList, "GetAffectedCommitteeDocumentList"},
      {&clsOrg::GetAffectedDataList, "GetAffectedDataList"}};
  const auto row = [] { return Rows({{"org_name", DataType::VarChar}}, {{{"org_name", Variant("A")}}}); };
  for (const auto& [search, source] : searches) {
    SCOPED_TRACE(source);
    script->Answer("OpenRecordset", {.result = row()});
    EXPECT_TRUE((org.*search)("1"));
    EXPECT_FALSE((org.*search)("1")) << "an empty result";
    script->Answer("OpenRecordset", {.errorText = "syntax error"});
    EXPECT_FALSE((org.*search)("1"));
    script->Answer("OpenRecordset", {.raise = RuntimeError(-2147467259, "Gateway", "connection lost")});
    EXPECT_EQ(ExpectRaises(-2147467259, [&] { (org.*search)("1"); }).Source(), "Gateway (clsOrg_Data." + source + ")");
  }
}

}  // namespace
}  // namespace tarnwick::test
