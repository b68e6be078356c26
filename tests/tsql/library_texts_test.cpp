// The texts the library's classes build (committee and document searches with
// their filter conditions, code lists, keyed loads) translated and run on a
// small office database.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sqlite_db.hpp"

namespace tarnwick::tsql::testing {
namespace {

std::string CodeTable(const std::string& name, const std::string& extra) {
  return "create table " + name +
         " (code varchar(10) collate nocase, description varchar(40) collate nocase, sequence int, "
         "effective_date datetime, expire_date datetime, update_date datetime" +
         extra + ");\ninsert into " + name +
         " (code, description, sequence, effective_date, expire_date) values "
         "('A', 'Alpha', 2, '1900-01-01 00:00:00', NULL), ('B', 'beta', 1, '1900-01-01 00:00:00', "
         "'2000-01-01 00:00:00');\n";
}

class LibraryTexts : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string schema = R"(
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
      create table XRF_AFF_ORG_DOCUMENT (org_id int, document_id int);
      create table xrf_org_document (org_id int, document_id int);
      create table xrf_report_document (report_id int, document_id int);
      create table ref_document (unique_id int, doc_type_code varchar(5) collate nocase,
        doc_sub_type_code varchar(5) collate nocase, doc_year int, name_listed varchar(40) collate nocase,
        title varchar(40) collate nocase, delivery_method_code varchar(5) collate nocase,
        doc_reason_code varchar(5) collate nocase, receive_send_date datetime, orig_date datetime,
        delete_date datetime, update_date datetime, orig_user_id varchar(10) collate nocase,
        user_id varchar(10) collate nocase, has_image bit, report_version_code varchar(5) collate nocase,
        is_amendment bit, begin_date datetime, end_date datetime, entry_date datetime, has_no_report_data bit);
      create view vw_zub_ref_document_detail as select d.*, 'type ' || d.doc_type_code as doc_type_desc,
        'sub ' || d.doc_sub_type_code as doc_sub_type_desc, 'dm' as delivery_method_desc,
        'reason' as doc_reason_desc from ref_document d;
      create view vw_zub_ORG_Committee_ref_current as select r.group_id as ref_group_id, c.org_name, c.inhouse_name,
        r.id_1, r.id_2, r.id_3, r.id_4, c.previous_id, r.current_status_desc as status_desc, c.comm_type_desc,
        c.comm_type_code, c.old_acronym from ref_org r join org_committee c on c.org_group_id = r.group_id
        where c.trans_end_date is null and r.unique_id in (select max(unique_id) from ref_org group by group_id);
      create view VW_ZUB_ORG_Officers_Ref_Current as select org_group_id as ref_group_id, org_group_id,
        org_group_id as group_id, name_type_code, entity_id from org_officers where trans_end_date is null;
      create view VW_ZUB_ORG_Name_address_detail as select * from org_name_address;
      create table lks_system_info (Code varchar(20) collate nocase, Description varchar(80) collate nocase);
      create table ref_user (unique_id int, group_id int, user_name varchar(20) collate nocase, end_date datetime,
        is_system_user bit);

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
      insert into XRF_AFF_ORG_DOCUMENT values (1, 7);
      insert into xrf_org_document values (10, 7), (20, 8);
      insert into xrf_report_document values (55, 7);
      insert into ref_document (unique_id, doc_type_code, doc_sub_type_code, doc_year, name_listed, title,
        receive_send_date, orig_date, update_date, orig_user_id, user_id, has_image, entry_date, has_no_report_data)
        values (7, 'RPT', 'Q1', 2004, 'Smith', 'First quarter', '2004-04-15 10:00:00', '2004-04-15 10:00:00',
                '2004-04-20 08:00:00', 'jdoe', 'jdoe', 1, '2004-04-16 12:00:00', 0),
               (8, 'COR', 'LTR', 2005, 'Party', 'Letter', '2005-02-01 00:00:00', '2005-02-01 00:00:00',
                NULL, 'asmith', 'asmith', 0, '2005-02-02 09:30:00', NULL),
               (9, 'COR', 'LTR', 2005, 'Nobody', 'Loose', '2005-03-01 00:00:00', NULL, NULL, 'asmith', 'asmith',
                0, '2005-03-01 00:00:00', 1);
      insert into lks_system_info values ('PATH_TIF', '/images/tif'), ('PATH_BATCH_SCAN', '/scan');
      insert into ref_user values (1, 1, 'zed', NULL, 0), (2, 1, 'zed-old', '2001-01-01 00:00:00', 0),
                                  (3, 2, 'amy', NULL, 0), (4, 3, 'system', NULL, 1);
      create table LKS_COUNTY (Code varchar(10) collate nocase, Description varchar(40) collate nocase,
        Velm_id int, Sequence int, effective_date datetime, expire_date datetime);
      insert into LKS_COUNTY values ('C1', 'North', 3, 1, NULL, NULL), ('C2', 'South', 1, 2, NULL, NULL);
    )";
    schema += CodeTable("lks_delivery_method", ", date_name varchar(10), reason_name varchar(10)");
    schema += CodeTable("lks_document_type", ", has_subset bit");
    schema += CodeTable("lks_document_reason", ", group_code varchar(5) collate nocase");
    schema += CodeTable("lks_report_version", "");
    schema += CodeTable("lks_committee_type", "");
    schema += CodeTable("lks_name_type", ", is_officer bit");
    schema += CodeTable("lku_party", "");
    schema += CodeTable("lku_document_sub_type", ", doc_type_code varchar(5) collate nocase");
    schema += CodeTable("lku_report_sub_type", ", is_scheduled bit");
    ASSERT_EQ(db.Exec(schema), "");
  }

  // Runs a text and returns its rows, failing the test on any error.
  Rows Run(const std::string& tsql) {
    Rows rows;
    std::string rendered;
    const std::string err = db.Query(tsql, rows, &rendered);
    EXPECT_EQ(err, "") << tsql;
    return rows;
  }

  SqliteDb db;
};

const std::string kCommitteeSelect =
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
    "ro.current_status_code ";
const std::string kCommitteeJoins12 =
    "FROM vw_zub_ref_org_detail ro "
    "left outer join vw_Zub_org_committee_detail fn on ro.group_id = fn.org_group_id ";
const std::string kCommitteeJoins =
    kCommitteeJoins12 +
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
    "AND oo2.trans_end_date is null ) treas on treas.org_group_id = fn.org_group_id ";
const std::string kCurrent =
    "WHERE fn.trans_end_date is null "
    "AND (ro.trans_date = (SELECT max(trans_date) from ref_org where group_id = ro.group_id) "
    "or ro.trans_date is null) ";

TEST_F(LibraryTexts, CommitteeSearchesWithEveryFilterClause) {
  const std::string list = kCommitteeSelect + kCommitteeJoins + kCurrent;
  Rows rows = Run(list + "and fn.comm_type_code <> 'NRR' ");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][5], "02");        // the group's latest reference row
  EXPECT_EQ(rows[0][11], "Ann");      // candidate first name (committee type cnc)
  EXPECT_EQ(rows[0][17], "Tom");      // treasurer first name ('TRS' matched 'trs')
  EXPECT_EQ(rows[0][22], "Ann's");

  // Every clause the committee filter can produce, one at a time and together.
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
    EXPECT_EQ(Run(list + c).size(), 1u) << c;
    all += c;
  }
  EXPECT_EQ(Run(list + all).size(), 1u);
  EXPECT_EQ(Run(list + "AND fn.comm_type_code = '' ").size(), 0u);
  EXPECT_EQ(Run(list).size(), 2u);  // the affected-committee list keeps type NRR

  rows = Run(kCommitteeSelect + kCommitteeJoins + "left outer join XRF_AFF_ORG_DOCUMENT xaod on ro.Group_id = "
                                                  "xaod.Org_id " +
             kCurrent + "and xaod.document_id = 7 ");
  EXPECT_EQ(rows.size(), 1u);
  rows = Run("SELECT distinct ro.group_id, ro.id_1, ro.id_2, ro.id_3, ro.id_4, fn.previous_id, "
             "fn.org_name, fn.comm_type_desc, fn.inhouse_name, ro.current_status_desc " +
             kCommitteeJoins12 + kCurrent + "AND fn.comm_type_code = 'cnc' AND fn.party_code = 'D' ");
  EXPECT_EQ(rows.size(), 1u);

  // An empty document number leaves "= " with nothing after it: an error, not rows.
  Rows none;
  EXPECT_NE(db.Query(kCommitteeSelect + kCommitteeJoins + kCurrent + "and xaod.document_id =  ", none), "");
}

const std::string kDocumentList =
    "SELECT RD.unique_id, RD.doc_type_code, rd.doc_type_desc, RD.doc_sub_type_code, rd.doc_sub_type_desc, "
    "RD.doc_year, RD.name_listed, RD.title, RD.delivery_method_code, rd.delivery_method_desc, "
    "RD.Doc_reason_code, rd.Doc_reason_desc, RD.receive_send_date, RD.orig_date, RD.delete_date, "
    "RD.update_date, RD.orig_user_id as user_id, rd.has_image, OC.org_name, OC.inhouse_name, "
    "rd.report_version_code, "
    "OC.id_1 + '-' + OC.id_2 + '-' + OC.id_3 + '-' + OC.id_4 as 'comm_id', "
    "OC.ref_group_id as 'org_group_id', rd.is_amendment, oc.previous_id, oc.status_desc, oc.comm_type_desc, "
    "rd.update_date, rd.begin_date, rd.end_date, xrd.report_id, case when isnull(xrd.report_id,'') = '' then '' "
    "else 'X' end as has_rpt_link "
    "FROM vw_zub_REF_document_detail RD "
    "left outer join XRF_Org_Document XCD ON RD.unique_id = XCD.document_id "
    "left outer join vw_zub_ORG_Committee_ref_current OC ON XCD.org_id = OC.ref_group_id "
    "left outer join (select oo1.ref_group_id, oo1.name_type_code,  "
    "  ona1.first_name , ona1.middle_name, ona1.last_name, ona1.suffix, ona1.nick_name "
    "  from VW_ZUB_ORG_Officers_Ref_Current as oo1 "
    "  left outer join VW_ZUB_ORG_Name_address_detail as ona1 on oo1.entity_id = ona1.unique_id "
    "  where oo1.name_type_code = 'cnd') as cnd "
    "  on oc.ref_group_id = cnd.ref_group_id and oc.Comm_type_code = 'cnc' "
    "left outer join xrf_report_document xrd ON RD.unique_id = xrd.document_id ";
const std::string kDocumentOrder =
    "ORDER BY inhouse_name, RD.name_listed, RD.receive_send_date desc, RD.orig_date, RD.Doc_type_code, "
    "RD.doc_sub_type_code ";

TEST_F(LibraryTexts, DocumentSearchesWithEveryFilterCondition) {
  // The committee link uses the group number here, as the current view does.
  ASSERT_EQ(db.Exec("update xrf_org_document set org_id = 1 where org_id = 10; "
                    "update xrf_org_document set org_id = 2 where org_id = 20;"),
            "");
  Rows rows = Run(kDocumentList + kDocumentOrder);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][0], "9");  // no committee: a null in-house name sorts first
  EXPECT_EQ(rows[1][0], "7");  // Ann's before P2
  EXPECT_EQ(rows[1][21], "C-0001-A-02");
  EXPECT_EQ(rows[1][31], "X");
  EXPECT_EQ(rows[2][31], "");

  struct Case {
    std::string where;
    std::size_t rows;
  };
  const std::vector<Case> cases = {
      {"where RD.Doc_year = 2004 and XCD.org_id is null  ", 0},
      {"where RD.Doc_year = 2005 and XCD.org_id is null  ", 1},
      {"where oc.comm_type_code = 'CNC' ", 1},
      {"where RD.unique_id not in (SELECT document_id from xrf_org_document) ", 1},
      {"where cnd.first_name like 'ann%' and cnd.last_name like 'sm%th%' ", 1},
      {"where OC.org_name like 'friends%' and OC.inhouse_name like 'ANN%' and OC.old_acronym like 'F_A' ", 1},
      {"where RD.Doc_type_code = 'cor' and RD.Doc_sub_type_code = 'ltr' ", 2},
      {"where cast(RD.entry_date as date) >= '04/16/2004' and cast(RD.entry_date as date) <= '2/2/2005' ", 2},
      {"where cast(RD.receive_send_date as date) <= '02/01/2005' ", 2},
      {"where cast(RD.update_date as date) >= '4/20/2004' ", 1},
      {"where RD.user_id = 'ASMITH' ", 2},
      {"where xrd.report_id is null  and isnull(RD.has_no_report_data, 0) = 0  ", 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run(kDocumentList + c.where + kDocumentOrder).size(), c.rows) << c.where;
  }

  rows = Run("SELECT RD.doc_type_desc as 'Doc_type_code_desc', RD.doc_year, "
             "RD.doc_sub_type_desc as 'doc_name_desc', "
             "RD.Title , RD.receive_send_date, RD.entry_date, RD.unique_id "
             "FROM XRF_Org_Document XCD "
             "left outer join vw_zub_ref_document_detail RD ON XCD.document_id = RD.unique_id "
             "left outer join ref_org ro on xcd.org_id = ro.unique_id "
             "WHERE ro.group_id = 0 and RD.Delete_date is null ORDER BY 5, 1, 2, 3 ");
  EXPECT_EQ(rows.size(), 0u);
  EXPECT_EQ(Run("select * from ref_document where unique_id = 7 ").size(), 1u);
  EXPECT_EQ(Run("select * from ref_document where unique_id is null ").size(), 0u);
  EXPECT_EQ(Run("SELECT rd.* FROM vw_zub_ref_document_detail rd where rd.unique_id = 8").size(), 1u);
  EXPECT_EQ(Run("select * from xrf_org_document where document_id = 7 ").size(), 1u);
  EXPECT_EQ(Run("SELECT group_id FROM ref_org where unique_id = 20 ").size(), 1u);
  EXPECT_EQ(Run("select * from lks_system_info").size(), 2u);
}

TEST_F(LibraryTexts, CodeListsInForceOnADate) {
  const auto filter = [](const std::string& d) {
    return "((effective_date <= '" + d + "' and expire_date > '" + d + "') " + "or (effective_date <= '" + d +
           "' and expire_date is null)) ";
  };
  Rows rows = Run("select * from lku_party where " + filter("1/1/1900") + " order by sequence ");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][0], "B");
  EXPECT_EQ(Run("select * from lku_party where " + filter("3/4/2005 2:30:00 PM") + " order by sequence ").size(), 1u);
  rows = Run("select *, date_name as 'Link', reason_name as 'Reason' from lks_delivery_method where " +
             filter("1/1/1900") + " order by sequence, description ");
  EXPECT_EQ(rows.size(), 2u);
  rows = Run("select *, has_subset as 'BitCheck', cast(has_subset as char(2)) as 'Link' from lks_document_type "
             "where " + filter("1/1/1900") + " order by sequence, description ");
  EXPECT_EQ(rows.size(), 2u);
  EXPECT_EQ(Run("select * from lks_document_reason where group_code = '' and " + filter("1/1/1900") +
                " order by sequence, description ").size(),
            0u);
  EXPECT_EQ(Run("select * from lks_report_version where 1 = 1 order by sequence, description ").size(), 2u);
  EXPECT_EQ(Run("select * from lks_committee_type where code <> 'NRR' and " + filter("1/1/1900") +
                " order by sequence, description ").size(),
            2u);
  EXPECT_EQ(Run("select * from lks_name_type where is_officer = 1 or code = 'CND' and " + filter("1/1/1900") +
                " order by sequence, description ").size(),
            0u);
  EXPECT_EQ(Run("select * from lku_document_sub_type where doc_type_code like '%' and " + filter("1/1/1900") +
                " order by description ").size(),
            0u);
  EXPECT_EQ(Run("select * from lku_report_sub_type where is_scheduled = 1 and " + filter("1/1/1900") +
                " order by sequence, description ").size(),
            0u);
  rows = Run("select o.group_id as code, rtrim(isnull(na.first_name,'') + ' ' + isnull(na.middle_name,'')) + ' ' + "
             "isnull(na.last_name,'') as description from vw_zub_org_officers_ref_current o left outer join "
             "org_name_address na on o.entity_id = na.unique_id where o.org_group_id = 1 and "
             "o.name_type_code = 'cnd'  and 1=1 ");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][1], "Ann B Smith");
  rows = Run("select 'STA' as code, 'State' as description, 0 as velm_id, 0 as sequence union "
             "select Code, Description, Velm_id, Sequence from LKS_COUNTY  where 1=1 and 1=1 order by velm_id");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[1][1], "South");
  rows = Run("select u.unique_id as code, u.user_name as description from ref_user u "
             "where unique_id = ( "
             "   select unique_id "
             "   from ref_user "
             "   where group_id = u.group_id "
             "   and isnull(end_date, getdate()) = ( "
             "      select max(isnull(end_date, getdate())) "
             "      from ref_user "
             "      where group_id = u.group_id)) "
             "and u.is_system_user = 0 "
             "and u.end_date is null "
             "order by user_name ");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][1], "amy");
  EXPECT_EQ(rows[1][1], "zed");
}

}  // namespace
}  // namespace tarnwick::tsql::testing
