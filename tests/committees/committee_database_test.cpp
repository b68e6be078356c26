// The committee searches on a sample office database: each kind of name
// search against the committees the tables hold, the current-committee rule,
// the committees a document affects, and hostile search texts.
#include <set>

#include "support/sample_office.hpp"

namespace tarnwick::test {
namespace {

class CommitteeOffice : public SampleOfficeSuite<4000> {
 protected:
  // The committee groups of the rows the last query returned.
  static std::set<std::string> Groups(clsOrg& org) {
    std::set<std::string> groups;
    if (!org.DataReady()) return groups;
    for (org.MoveFirst(); !org.EndOfFile(); org.MoveNext()) groups.insert(org.GroupID());
    return groups;
  }
  // Current committees (open detail row) of any type but NRR that satisfy a condition, read straight from the file.
  static std::set<std::string> Expected(const std::string& condition) {
    std::set<std::string> groups;
    for (const auto& row : QueryRows(
             "select distinct oc.org_group_id from org_committee oc join ref_org ro on ro.group_id = oc.org_group_id "
             "where oc.trans_end_date is null and oc.comm_type_code <> 'NRR' and (" + condition + ")"))
      groups.insert(row.at(0));
    return groups;
  }
};

TW_ON_BOTH_ENGINES(CommitteeOffice);

TEST_P(CommitteeOffice, EachNameSearchFindsTheCommitteesThatCarryTheName) {
  auto org = Connected<clsOrg>();
  const std::string cnc = Query("select org_group_id from org_committee where comm_type_code = 'CNC' and "
                                "trans_end_date is null and previous_id is not null limit 1");
  // Names an open officer term of the candidate committee carries, and the condition that finds every such term.
  const std::string officer = " from org_officers o join org_name_address na on na.unique_id = o.entity_id where "
                              "o.trans_end_date is null and o.name_type_code = ";
  const auto open = [&](const char* role) {
    return "exists (select 1" + officer + "'" + role + "' and o.org_group_id = oc.org_group_id and na.";
  };
  const std::string candidateLast = Query("select na.last_name" + officer + "'CND' and o.org_group_id = " + cnc);
  const std::string treasurerFirst = Query("select na.first_name" + officer + "'TRS' and o.org_group_id = " + cnc);
  const std::string acronym = Query("select old_acronym from org_committee where trans_end_date is null and org_group_id = " + cnc);
  const std::string previous = Query("select previous_id from org_committee where org_group_id = " + cnc).substr(0, 6);
  const std::string serial = Query("select id_3 from ref_org where group_id = " + cnc);
  struct Case { std::string infoType, name, first = {}, nameType = {}, condition; };
  const Case cases[] = {
      {.infoType = "1", .name = "c?mmittee", .nameType = "OI",
       .condition = "oc.org_name like '%c_mmittee%' and oc.inhouse_name like '%c_mmittee%'"},
      {.infoType = "1", .name = acronym, .nameType = "A", .condition = "oc.old_acronym like '%" + acronym + "%'"},
      {.infoType = "2", .name = serial, .condition = "ro.id_1 || ro.id_2 || ro.id_3 || ro.id_4 like '%" + serial + "%'"},
      {.infoType = "7", .name = previous, .condition = "oc.previous_id like '%" + previous + "%'"},
      {.infoType = "3", .name = candidateLast, .condition = open("CND") + "last_name like '%" + candidateLast + "%')"},
      {.infoType = "4", .name = "", .first = treasurerFirst,
       .condition = open("TRS") + "first_name like '%" + treasurerFirst + "%')"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.condition);
    const std::set<std::string> expected = Expected(c.condition);
    ASSERT_FALSE(expected.empty());
    EXPECT_TRUE(org->GetDataList(org->SetupFilter("", "", "", c.infoType, c.name, c.first, "", "", c.nameType)));
    EXPECT_EQ(Groups(*org), expected);
  }
}

TEST_P(CommitteeOffice, OnlyCurrentCommitteesAreListedWithCandidatesOfCandidateCommitteesOnly) {
  auto org = Connected<clsOrg>();
  ASSERT_TRUE(org->GetDataList(""));
  const std::set<std::string> all = Expected("1 = 1");
  EXPECT_EQ(Groups(*org), all);
  EXPECT_EQ(org->RecordCount(), static_cast<std::int32_t>(all.size())) << "one row per committee";
  for (org->MoveFirst(); !org->EndOfFile(); org->MoveNext())
    EXPECT_EQ(org->CandLastName() != "", org->CommTypeCode() == "CNC") << org->OrgName();
  // Non-registered reporting entities: only in the affected-committee list.
  EXPECT_FALSE(org->GetDataList("AND fn.comm_type_code = 'NRR' "));
  EXPECT_TRUE(org->GetAffectedDataList("AND fn.comm_type_code = 'NRR' "));

  // The committees a document affects.
  const std::string document =
      Query("select document_id from XRF_AFF_ORG_DOCUMENT group by document_id having count(*) > 1 limit 1");
  std::set<std::string> affected;
  for (const auto& row : QueryRows("select org_id from XRF_AFF_ORG_DOCUMENT where document_id = " + document))
    affected.insert(row.at(0));
  ASSERT_TRUE(org->GetAffectedCommitteeDocumentList(document));
  EXPECT_EQ(Groups(*org), affected);
}

}  // namespace
}  // namespace tarnwick::test
