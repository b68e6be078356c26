// The committee searches on a sample office database: each kind of name
// search against the committees the tables hold, the current-committee rule,
// the committees a document affects, and hostile search texts.
#include <algorithm>
#include <memory>
#include <set>
#include <stdexcept>

#include "support/scripted_gateway.hpp"
#include "support/sample_office.hpp"

namespace tarnwick::test {
namespace {

class CommitteeOffice : public SampleOfficeSuite<4000> {
 protected:
  static std::unique_ptr<clsOrg> Connected() { return SampleOfficeSuite::Connected<clsOrg>(); }

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
             "where oc.trans_end_date is null and oc.comm_type_code <> 'NRR' and (" +
             condition + ")")) {
      groups.insert(row.at(0));
    }
    return groups;
  }

};

TW_ON_BOTH_ENGINES(CommitteeOffice);

// The committee search form: one name, one way of searching for it.
struct Search {
  std::string infoType, name, first = {}, nameType = {};
};

TEST_P(CommitteeOffice, EachNameSearchFindsTheCommitteesThatCarryTheName) {
  auto org = Connected();
  const std::string cnc = Query("select org_group_id from org_committee where comm_type_code = 'CNC' and "
                                "trans_end_date is null and previous_id is not null limit 1");
  const auto open = [](const char* role) {
    return std::string("exists (select 1 from org_officers o join org_name_address na on na.unique_id = o.entity_id "
                       "where o.org_group_id = oc.org_group_id and o.trans_end_date is null and o.name_type_code = '") +
           role + "' and na.";
  };
  const std::string candidateLast = Query(
      "select na.last_name from org_officers o join org_name_address na on na.unique_id = o.entity_id where "
      "o.name_type_code = 'CND' and o.trans_end_date is null and o.org_group_id = " + cnc);
  const std::string treasurerFirst = Query(
      "select na.first_name from org_officers o join org_name_address na on na.unique_id = o.entity_id where "
      "o.name_type_code = 'TRS' and o.trans_end_date is null and o.org_group_id = " + cnc);
  const std::string acronym = Query("select old_acronym from org_committee where trans_end_date is null and "
                                    "org_group_id = " + cnc);
  const std::string previous = Query("select previous_id from org_committee where org_group_id = " + cnc);
  const std::string serial = Query("select id_3 from ref_org where group_id = " + cnc);

  const std::vector<std::pair<Search, std::string>> cases = {
      {{"1", "friends", "", "O"}, "oc.org_name like '%friends%'"},
      {{"1", "*ends of", "", "O"}, "oc.org_name like '%ends of%'"},
      {{"1", "c?mmittee", "", "OI"}, "oc.org_name like '%c_mmittee%' and oc.inhouse_name like '%c_mmittee%'"},
      {{"1", acronym, "", "A"}, "oc.old_acronym like '%" + acronym + "%'"},
      {{"2", serial}, "ro.id_1 || ro.id_2 || ro.id_3 || ro.id_4 like '%" + serial + "%'"},
      {{"7", previous.substr(0, 6)}, "oc.previous_id like '%" + previous.substr(0, 6) + "%'"},
      {{"3", candidateLast}, open("CND") + "last_name like '%" + candidateLast + "%')"},
      {{"4", "", treasurerFirst}, open("TRS") + "first_name like '%" + treasurerFirst + "%')"},
  };
  for (const auto& [search, condition] : cases) {
    const std::set<std::string> expected = Expected(condition);
    ASSERT_FALSE(expected.empty()) << condition;
    const std::string filter =
        org->SetupFilter("", "", "", search.infoType, search.name, search.first, "", "", search.nameType);
    EXPECT_TRUE(org->GetDataList(filter)) << filter;
    EXPECT_EQ(Groups(*org), expected) << filter;
  }
  // The committee found by its candidate carries the candidate's and the treasurer's names.
  ASSERT_TRUE(org->GetDataList(org->SetupFilter("", "", "", "3", candidateLast, "", "", "", "") +
                               "AND ro.group_id = " + cnc + " "));
  EXPECT_EQ(org->CandLastName(), candidateLast);
  EXPECT_EQ(org->TreasFirstName(), treasurerFirst);
  EXPECT_EQ(org->CommTypeCode(), "CNC");
}

TEST_P(CommitteeOffice, OnlyCurrentCommitteesAreListedWithCandidatesOfCandidateCommitteesOnly) {
  auto org = Connected();
  ASSERT_TRUE(org->GetDataList(""));
  const std::set<std::string> all = Expected("1 = 1");
  EXPECT_EQ(Groups(*org), all);
  EXPECT_EQ(org->RecordCount(), static_cast<std::int32_t>(all.size())) << "one row per committee";
  EXPECT_EQ(org->Count(), 0);
  int candidates = 0;
  for (org->MoveFirst(); !org->EndOfFile(); org->MoveNext()) {
    EXPECT_NE(org->TreasLastName(), "") << org->OrgName();
    if (org->CommTypeCode() == "CNC") {
      ++candidates;
      EXPECT_NE(org->CandLastName(), "") << org->OrgName();
    } else {
      EXPECT_EQ(org->CandFirstName() + org->CandMiddleName() + org->CandLastName() + org->CandSuffix() +
                    org->CandNickName(),
                "")
          << org->OrgName();
    }
    EXPECT_EQ(org->StatusCode(), org->CurrentStatusCode());
  }
  EXPECT_GT(candidates, 0);
  ExpectRaises(err::kItemNotFound, [&] {
    org->MoveFirst();
    org->IsFund();
  });

  // A committee with a reference history: the latest row's status, once.
  const std::string group = Query("select group_id from ref_org where trans_date is not null group by group_id "
                                  "having count(distinct current_status_code) > 1 limit 1");
  ASSERT_NE(group, "<none>");
  ASSERT_TRUE(org->GetDataList("AND ro.group_id = " + group + " "));
  EXPECT_EQ(org->RecordCount(), 1);
  EXPECT_EQ(org->StatusCode(), Query("select current_status_code from ref_org where group_id = " + group +
                                     " order by trans_date desc nulls last limit 1"));
  // A name the committee no longer carries finds nothing.
  const std::string oldName = Query(
      "select old.org_name from org_committee old join org_committee cur on cur.org_group_id = old.org_group_id "
      "and cur.trans_end_date is null where old.trans_end_date is not null and lower(cur.org_name) not like "
      "'%' || lower(old.org_name) || '%' and old.org_name not in (select org_name from org_committee where "
      "trans_end_date is null) limit 1");
  EXPECT_FALSE(org->GetDataList(org->SetupFilter("", "", "", "1", oldName, "", "", "", "O"))) << oldName;

  // Non-registered reporting entities: only in the affected-committee list.
  EXPECT_FALSE(org->GetDataList("AND fn.comm_type_code = 'NRR' "));
  ASSERT_TRUE(org->GetAffectedDataList("AND fn.comm_type_code = 'NRR' "));
  EXPECT_EQ(org->RecordCount(), std::stoi(Query("select count(*) from org_committee where comm_type_code = 'NRR' "
                                                "and trans_end_date is null")));
  // The short committee row.
  ASSERT_TRUE(org->GetCommittee("AND ro.group_id = " + group + " "));
  EXPECT_EQ(org->OrgName(), Query("select org_name from org_committee where trans_end_date is null and "
                                  "org_group_id = " + group));
  ExpectRaises(err::kItemNotFound, [&] { org->OrgID(); });
}

TEST_P(CommitteeOffice, AffectedCommitteesOfADocument) {
  auto org = Connected();
  const std::string document =
      Query("select document_id from XRF_AFF_ORG_DOCUMENT group by document_id having count(*) > 1 limit 1");
  ASSERT_NE(document, "<none>");
  std::set<std::string> expected;
  for (const auto& row : QueryRows("select org_id from XRF_AFF_ORG_DOCUMENT where document_id = " +
                                                      document)) {
    expected.insert(row.at(0));
  }
  ASSERT_TRUE(org->GetAffectedCommitteeDocumentList(document));
  EXPECT_EQ(Groups(*org), expected);
  EXPECT_FALSE(org->GetAffectedCommitteeDocumentList("")) << "no number: the database refuses the text";
  EXPECT_FALSE(org->GetAffectedCommitteeDocumentList("0"));
}

TEST_P(CommitteeOffice, HostileSearchTextsGiveFalseOrRowsNeverACrash) {
  auto org = Connected();
  const auto search = [&](const std::string& infoType, const std::string& name, const std::string& nameType) {
    return org->GetDataList(org->SetupFilter("", "", "", infoType, name, name, "", "", nameType));
  };
  EXPECT_FALSE(search("1", "O'Brien's \"PAC\"", "OIA"));
  EXPECT_FALSE(search("3", std::string(100000, 'z'), ""));
  EXPECT_FALSE(search("4", "Zo\xc3\xab \xe2\x82\xac", ""));
  EXPECT_TRUE(search("1", "[a-z]", "O")) << "a character class, as the office's server reads it";
  EXPECT_TRUE(search("1", "%", "O")) << "a typed % is a wildcard";
  EXPECT_EQ(org->RecordCount(), static_cast<std::int32_t>(Expected("1 = 1").size()));
  EXPECT_TRUE(search("1", "*", "O"));
  EXPECT_TRUE(search("1", "_", "O"));
  // Codes are not made safe: an apostrophe breaks the text and the query returns False.
  EXPECT_FALSE(org->GetDataList(org->SetupFilter("CNC'", "", "", "", "", "", "", "", "")));
  EXPECT_FALSE(org->GetDataList("AND ((( "));
  EXPECT_FALSE(org->GetCommittee("AND cand.last_name = 'x' ")) << "the short row has no candidate";
  EXPECT_FALSE(org->GetAffectedCommitteeDocumentList("1; drop table ref_org"));
  EXPECT_NE(Query("select count(*) from ref_org"), "0");

  // Late-bound the same way.
  std::shared_ptr<Object> late = CreateObject("Tarnwick.clsOrg");
  late->Call("ConnectionVariables", {file_, "embedded", "", "", false});
  const Variant filter = late->Call("SetupFilter", {"CNC", "", "", "1", "friends", "", "", "", "O"});
  ASSERT_TRUE(late->Call("GetDataList", {filter}).CBool());
  ASSERT_TRUE(org->GetDataList(filter.CStr()));
  EXPECT_EQ(late->Get("RecordCount").CLng(), org->RecordCount());
  EXPECT_EQ(late->Get("OrgName").CStr(), org->OrgName());
}

}  // namespace
}  // namespace tarnwick::test
