// The committee search text the library builds, translated and run on a small
// office database with every filter clause the search form can add, alone and
// all together. (The other query texts run on the sample office in the office
// tests.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sqlite_db.hpp"

namespace tarnwick::tsql::testing {
namespace {

class LibraryTexts : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(db.Exec(R"(
      create table ref_org (unique_id int, group_id int, id_1 varchar(5) collate nocase, id_2 varchar(5) collate nocase,
        id_3 varchar(5) collate nocase, id_4 varchar(5) collate nocase, current_status_code varchar(5) collate nocase,
        current_status_desc varchar(20) collate nocase, trans_date datetime);
      create view vw_zub_ref_org_detail as select * from ref_org;
      create table org_committee (org_id int, org_group_id int, previous_id varchar(10) collate nocase,
        org_name varchar(40) collate nocase, comm_type_code varchar(5) collate nocase,
        comm_type_desc varchar(20) collate nocase, comm_level_code varchar(5) collate nocase,
        inhouse_name varchar(40) collate nocase, old_acronym varchar(10) collate nocase,
        party_code varchar(5) collate nocase, trans_end_date datetime);
      create view vw_Zub_org_committee_detail as select * from org_committee;
      create table org_officers (org_group_id int, name_type_code varchar(5) collate nocase, entity_id int,
        cand_office_code varchar(5) collate nocase, trans_end_date datetime);
      create table org_name_address (unique_id int, first_name varchar(20) collate nocase,
        middle_name varchar(20) collate nocase, last_name varchar(20) collate nocase, suffix varchar(5) collate nocase,
        nick_name varchar(20) collate nocase);
      insert into ref_org values (10, 1, 'C', '0001', 'A', '01', 'ACT', 'Active', '2004-01-01 00:00:00'),
                                 (11, 1, 'C', '0001', 'A', '02', 'ACT', 'Active', '2005-01-01 00:00:00'),
                                 (20, 2, 'P', '0002', 'B', '01', 'TRM', 'Ended', NULL);
      insert into org_committee values (100, 1, 'OLD1', 'Friends of Ann', 'cnc', 'Candidate', 'ST', 'Ann''s',
                                        'FOA', 'D', NULL),
                                       (200, 2, NULL, 'Party Two', 'NRR', 'Other', 'LO', 'P2', 'PT', 'R', NULL);
      insert into org_officers values (1, 'CND', 501, 'GOV', NULL), (1, 'TRS', 502, NULL, NULL),
                                      (2, 'trs', 503, NULL, NULL), (1, 'CND', 509, 'GOV', '2003-01-01 00:00:00');
      insert into org_name_address values (501, 'Ann', 'B', 'Smith', NULL, 'Annie'),
                                          (502, 'Tom', NULL, 'Treas', 'Jr', NULL),
                                          (503, 'Pat', NULL, 'Party', NULL, NULL);
    )"),
              "");
  }

  // Runs a text and returns its rows, failing the test on any error.
  Rows Run(const std::string& tsql) {
    Rows rows;
    EXPECT_EQ(db.Query(tsql, rows), "") << tsql;
    return rows;
  }

  SqliteDb db;
};

const std::string kCommitteeList =
    "SELECT distinct fn.org_id, ro.group_id, ro.id_1, ro.id_2, ro.id_3, ro.id_4, fn.previous_id, "
    "fn.org_name, fn.comm_type_code, "
    "fn.comm_type_desc, cand.name_type_code, "
    "case fn.comm_type_code when 'cnc' then cand.first_name else '' end as 'cand_first_name', "
    "case fn.comm_type_code when 'cnc' then cand.middle_name else '' end as 'cand_middle_name', "
    "case fn.comm_type_code when 'cnc' then cand.last_name else '' end as 'cand_last_name', "
    "case fn.comm_type_code when 'cnc' then cand.suffix else '' end as 'cand_suffix', "
    "case fn.comm_type_code when 'cnc' then cand.nick_name else '' end as 'cand_nick_name', "
    "treas.name_type_code, "
    "treas.first_name as 'treas_first_name', treas.middle_name as 'treas_middle_name', "
    "treas.last_name as 'treas_last_name', treas.suffix as 'treas_suffix', "
    "treas.nick_name as 'treas_nick_name', fn.inhouse_name, ro.current_status_desc, fn.party_code, "
    "ro.current_status_code "
    "FROM vw_zub_ref_org_detail ro "
    "left outer join vw_Zub_org_committee_detail fn on ro.group_id = fn.org_group_id "
    "left outer join ( select oo1.org_group_id, oo1.name_type_code, na1.first_name, "
    "na1.middle_name, na1.last_name, "
    "na1.suffix , na1.nick_name, oo1.cand_office_code "
    "from org_officers oo1 "
    "left outer join org_name_address na1 on oo1.entity_id = na1.unique_id "
    "where (oo1.name_type_code = 'cnd' or oo1.name_type_code is null) "
    "AND oo1.trans_end_date is null ) cand on cand.org_group_id = fn.org_group_id "
    "left outer join ( select oo2.org_group_id, oo2.name_type_code, na2.first_name, "
    "na2.middle_name, na2.last_name, "
    "na2.suffix , na2.nick_name "
    "from org_officers oo2 "
    "left outer join org_name_address na2 on oo2.entity_id = na2.unique_id "
    "where (oo2.name_type_code = 'trs' or oo2.name_type_code is null) "
    "AND oo2.trans_end_date is null ) treas on treas.org_group_id = fn.org_group_id "
    "WHERE fn.trans_end_date is null "
    "AND (ro.trans_date = (SELECT max(trans_date) from ref_org where group_id = ro.group_id) "
    "or ro.trans_date is null) ";

TEST_F(LibraryTexts, CommitteeSearchesWithEveryFilterClause) {
  Rows rows = Run(kCommitteeList + "and fn.comm_type_code <> 'NRR' ");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][5], "02");        // the group's latest reference row
  EXPECT_EQ(rows[0][11], "Ann");      // candidate first name (committee type cnc)
  EXPECT_EQ(rows[0][17], "Tom");      // treasurer first name
  EXPECT_EQ(rows[0][22], "Ann's");

  const std::vector<std::string> clauses = {
      "AND fn.comm_type_code = 'CNC' ",       "AND fn.comm_level_code = 'st' ",
      "AND ro.current_status_code = 'act' ",  "AND cand.cand_office_code = 'gov' ",
      "AND fn.org_name like '%friends%' ",    "AND fn.inhouse_name like '%ann''s%' ",
      "AND fn.old_acronym like '%fo_%' ",     "AND ro.id_1+ro.id_2+ro.id_3+ro.id_4 like '%c0001a02%' ",
      "AND fn.previous_id like '%old%' ",     "AND cand.last_name like '%smi%' ",
      "AND cand.first_name like '%an%' ",     "AND treas.last_name like '%tre%' ",
      "AND treas.first_name like '%TO%' ",    "AND fn.party_code = 'd' ",
  };
  std::string all;
  for (const std::string& c : clauses) {
    EXPECT_EQ(Run(kCommitteeList + c).size(), 1u) << c;
    all += c;
  }
  EXPECT_EQ(Run(kCommitteeList + all).size(), 1u);
  EXPECT_EQ(Run(kCommitteeList + "AND fn.comm_type_code = '' ").size(), 0u);
  EXPECT_EQ(Run(kCommitteeList).size(), 2u);  // the affected-committee list keeps type NRR
}

}  // namespace
}  // namespace tarnwick::tsql::testing
