// The library's query texts and procedure calls against a sample office,
// through the default gateway: the texts are the ones the classes build, so
// these tests hold the database's views, columns and procedures to what the
// classes expect of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>

#include "support/document_inputs.hpp"
#include "office/file_office.hpp"
#include "office/support.hpp"
#include "tarnwick/gateway.hpp"
#include "tarnwick/recordset.hpp"
#include "tarnwick/variant.hpp"

namespace tarnwick {
namespace {

using office_test::Db;
using office_test::TempDir;

// Rows of a known shape added to the sample office: committees 900001
// (candidate committee, terminated, with a history), 900010 (a political
// action committee that wrongly carries a candidate row, with one undated
// reference row) and 900020 (a non-registered entity); their documents from
// 900101 on.
const char* kKnownRows = R"sql(
insert into ref_org (unique_id, group_id, id_1, id_2, id_3, id_4, current_status_code, trans_date, trans_type) values
  (900001, 900001, '2001', 'C', '90001', '1', 'ACT', '2001-01-10 00:00:00', 'REG'),
  (900002, 900001, '2001', 'C', '90001', '1', 'TRM', '2005-05-05 00:00:00', 'STS'),
  (900010, 900010, '1992', 'A', '90010', '2', 'ACT', null, 'REG'),
  (900020, 900020, '2003', 'N', '90020', '3', 'ACT', '2003-02-02 00:00:00', 'REG');
insert into org_committee (unique_id, org_group_id, trans_date, trans_end_date, org_name, inhouse_name,
                           old_acronym, previous_id, comm_type_code, comm_level_code, party_code) values
  (900001, 900001, '2001-01-10 00:00:00', '2003-01-01 00:00:00', 'Committee to Elect Quincy Zephyr',
   'ZEPHYR COMMITTEE', 'CTEQZ', null, 'CNC', 'MUN', 'DEM'),
  (900002, 900001, '2003-01-01 00:00:00', null, 'Zephyr for Mayor', 'ZEPHYR, QUINCY (MAY)', 'ZFM', '99-C-1',
   'CNC', 'MUN', 'DEM'),
  (900010, 900010, '1992-03-03 00:00:00', null, 'Zeta Builders PAC', 'ZETA BUILDERS PAC', 'ZBP', null,
   'PAC', 'STA', 'NP'),
  (900020, 900020, '2003-02-02 00:00:00', null, 'Zulu Consulting LLC', 'ZULU CONSULTING LLC', 'ZCL', null,
   'NRR', 'STA', null);
insert into org_name_address (unique_id, first_name, middle_name, last_name, address_1, city, state_code, zip) values
  (900001, 'Quincy', 'Q.', 'Zephyr', '1 Main Street', 'Ashford', 'NW', '60001'),
  (900002, 'Tess', null, 'Trainor', '2 Main Street', 'Ashford', 'NW', '60002'),
  (900003, 'Olga', null, 'Oldham', '3 Main Street', 'Ashford', 'NW', '60003'),
  (900004, 'Xavier', null, 'Xylo', '4 Main Street', 'Ashford', 'NW', '60004'),
  (900005, 'Uma', null, 'Umber', '5 Main Street', 'Ashford', 'NW', '60005'),
  (900006, 'Zoe', null, 'Zander', '6 Main Street', 'Ashford', 'NW', '60006');
insert into org_officers (unique_id, group_id, org_group_id, name_type_code, entity_id, cand_office_code,
                          trans_date, trans_end_date) values
  (900001, 900001, 900001, 'CND', 900001, 'MAY', '2001-01-10 00:00:00', null),
  (900002, 900002, 900001, 'TRS', 900003, null, '2001-01-10 00:00:00', '2002-06-30 00:00:00'),
  (900003, 900003, 900001, 'TRS', 900002, null, '2002-06-30 00:00:00', null),
  (900004, 900004, 900010, 'CND', 900004, 'GOV', '1992-03-03 00:00:00', null),
  (900005, 900005, 900010, 'TRS', 900005, null, '1992-03-03 00:00:00', null),
  (900006, 900006, 900020, 'TRS', 900006, null, '2003-02-02 00:00:00', null);
insert into ref_document (unique_id, doc_type_code, doc_sub_type_code, doc_year, Title, name_listed, due_date,
                          receive_send_date, entry_date, other_date, begin_date, end_date, delete_date,
                          delivery_method_code, report_version_code, total_receipts, total_expenditures,
                          has_no_report_data, has_image, user_id, orig_user_id, orig_date, update_date) values
  (900101, 'RPT', 'Q1', 2004, 'First quarter report 2004', 'Zephyr for Mayor', '2004-04-15 00:00:00',
   '2004-04-10 00:00:00', '2004-04-12 00:00:00', null, '2004-01-01 00:00:00', '2004-03-31 00:00:00', null,
   'ELE', 'ORI', 3000, 1000, 0, 0, 3, 3, '2004-04-12 09:00:00', '2004-04-12 09:00:00'),
  (900102, 'RPT', '48H', 2004, '48-hour notice 2004', 'Zephyr for Mayor', '2004-10-22 00:00:00',
   '2004-10-21 00:00:00', '2004-10-21 00:00:00', '2004-10-20 00:00:00', '2004-10-20 00:00:00',
   '2004-10-20 00:00:00', null, 'FAX', 'ORI', 1500, 0, 0, 0, 3, 3, '2004-10-21 09:00:00', '2004-10-21 09:00:00'),
  (900103, 'RPT', '48H', 2004, '48-hour notice 2004', 'Zephyr for Mayor', '2004-10-24 00:00:00',
   '2004-10-27 00:00:00', '2004-10-27 00:00:00', '2004-10-22 00:00:00', '2004-10-22 00:00:00',
   '2004-10-22 00:00:00', null, 'MAI', 'ORI', 2500, 0, 0, 0, 3, 3, '2004-10-27 09:00:00', '2004-10-27 09:00:00'),
  (900104, 'RPT', '48H', 2004, '48-hour notice 2004', 'Zephyr for Mayor', '2004-10-27 00:00:00',
   '2004-10-26 00:00:00', '2004-10-26 00:00:00', '2004-10-25 00:00:00', '2004-10-25 00:00:00',
   '2004-10-25 00:00:00', null, 'FAX', 'ORI', 1200, 0, 0, 0, 3, 3, '2004-10-26 09:00:00', '2004-10-26 09:00:00'),
  (900105, 'COR', 'CMP', 2004, 'Complaint', 'Zeta Builders PAC', null,
   '2004-03-03 00:00:00', '2004-03-04 00:00:00', null, null, null, null,
   'MAI', null, null, null, null, 0, 3, 3, '2004-03-04 09:00:00', '2004-03-04 09:00:00'),
  (900106, 'RPT', 'Q2', 2004, 'Second quarter report 2004', 'Zephyr for Mayor', '2004-07-15 00:00:00',
   '2004-07-10 00:00:00', '2004-07-10 00:00:00', null, '2004-04-01 00:00:00', '2004-06-30 00:00:00',
   '2004-08-01 00:00:00', 'MAI', 'ORI', 10, 10, 0, 0, 3, 3, '2004-07-10 09:00:00', '2004-07-10 09:00:00');
insert into xrf_org_document (org_id, document_id) values
  (900001, 900101), (900001, 900102), (900001, 900103), (900001, 900104), (900010, 900105), (900001, 900106);
insert into XRF_AFF_ORG_DOCUMENT (org_id, document_id) values (900001, 900105), (900020, 900105);
insert into ref_report (unique_id, org_group_id, doc_year, report_sub_type_code, begin_date, end_date, is_mef) values
  (900001, 900001, 2004, 'Q1', '2004-01-01 00:00:00', '2004-03-31 00:00:00', 1);
insert into xrf_report_document (report_id, document_id) values (900001, 900101), (900001, 900104);
)sql";

// The committee list select, the committee joins and the current-committee
// condition of the committee searches.
const std::string kCommitteeSelect =
    "SELECT distinct fn.org_id, ro.group_id, ro.id_1, ro.id_2, ro.id_3, ro.id_4, fn.previous_id, fn.org_name, "
    "fn.comm_type_code, fn.comm_type_desc, cand.name_type_code, "
    "case fn.comm_type_code when 'cnc' then cand.first_name else '' end as 'cand_first_name', "
    "case fn.comm_type_code when 'cnc' then cand.middle_name else '' end as 'cand_middle_name', "
    "case fn.comm_type_code when 'cnc' then cand.last_name else '' end as 'cand_last_name', "
    "case fn.comm_type_code when 'cnc' then cand.suffix else '' end as 'cand_suffix', "
    "case fn.comm_type_code when 'cnc' then cand.nick_name else '' end as 'cand_nick_name', treas.name_type_code, "
    "treas.first_name as 'treas_first_name', treas.middle_name as 'treas_middle_name', "
    "treas.last_name as 'treas_last_name', treas.suffix as 'treas_suffix', treas.nick_name as 'treas_nick_name', "
    "fn.inhouse_name, ro.current_status_desc, fn.party_code, ro.current_status_code ";
const std::string kCommitteeJoins1And2 =
    "FROM vw_zub_ref_org_detail ro left outer join vw_Zub_org_committee_detail fn on ro.group_id = fn.org_group_id ";
const std::string kCommitteeJoins =
    kCommitteeJoins1And2 +
    "left outer join ( select oo1.org_group_id, oo1.name_type_code, na1.first_name, na1.middle_name, na1.last_name, "
    "na1.suffix , na1.nick_name, oo1.cand_office_code from org_officers oo1 "
    "left outer join org_name_address na1 on oo1.entity_id = na1.unique_id "
    "where (oo1.name_type_code = 'cnd' or oo1.name_type_code is null) "
    "AND oo1.trans_end_date is null ) cand on cand.org_group_id = fn.org_group_id "
    "left outer join ( select oo2.org_group_id, oo2.name_type_code, na2.first_name, na2.middle_name, na2.last_name, "
    "na2.suffix , na2.nick_name from org_officers oo2 "
    "left outer join org_name_address na2 on oo2.entity_id = na2.unique_id "
    "where (oo2.name_type_code = 'trs' or oo2.name_type_code is null) "
    "AND oo2.trans_end_date is null ) treas on treas.org_group_id = fn.org_group_id ";
const std::string kCurrentCommittee =
    "WHERE fn.trans_end_date is null AND (ro.trans_date = (SELECT max(trans_date) from ref_org where group_id = "
    "ro.group_id) or ro.trans_date is null) ";

std::string CommitteeList(const std::string& filter) {
  return kCommitteeSelect + kCommitteeJoins + kCurrentCommittee + "and fn.comm_type_code <> 'NRR' " + filter;
}

// The document search with a condition text as the search form makes it.
std::string DocumentList(const std::string& filter) {
  return "SELECT RD.unique_id, RD.doc_type_code, rd.doc_type_desc, RD.doc_sub_type_code, rd.doc_sub_type_desc, "
         "RD.doc_year, RD.name_listed, RD.title, RD.delivery_method_code, rd.delivery_method_desc, "
         "RD.Doc_reason_code, rd.Doc_reason_desc, RD.receive_send_date, RD.orig_date, RD.delete_date, "
         "RD.update_date, RD.orig_user_id as user_id, rd.has_image, OC.org_name, OC.inhouse_name, "
         "rd.report_version_code, OC.id_1 + '-' + OC.id_2 + '-' + OC.id_3 + '-' + OC.id_4 as 'comm_id', "
         "OC.ref_group_id as 'org_group_id', rd.is_amendment, oc.previous_id, oc.status_desc, oc.comm_type_desc, "
         "rd.update_date, rd.begin_date, rd.end_date, xrd.report_id, "
         "case when isnull(xrd.report_id,'') = '' then '' else 'X' end as has_rpt_link "
         "FROM vw_zub_REF_document_detail RD left outer join XRF_Org_Document XCD ON RD.unique_id = XCD.document_id "
         "left outer join vw_zub_ORG_Committee_ref_current OC ON XCD.org_id = OC.ref_group_id "
         "left outer join (select oo1.ref_group_id, oo1.name_type_code,    ona1.first_name , ona1.middle_name, "
         "ona1.last_name, ona1.suffix, ona1.nick_name   from VW_ZUB_ORG_Officers_Ref_Current as oo1 "
         "  left outer join VW_ZUB_ORG_Name_address_detail as ona1 on oo1.entity_id = ona1.unique_id "
         "  where oo1.name_type_code = 'cnd') as cnd   on oc.ref_group_id = cnd.ref_group_id and "
         "oc.Comm_type_code = 'cnc' left outer join xrf_report_document xrd ON RD.unique_id = xrd.document_id " +
         filter +
         "ORDER BY inhouse_name, RD.name_listed, RD.receive_send_date desc, RD.orig_date, RD.Doc_type_code, "
         "RD.doc_sub_type_code ";
}

// A code list in force on D, as the lookup class builds it for the kinds
// with a plain table.
std::string CodeList(const std::string& select, const std::string& table, const std::string& condition,
                     const std::string& d, const std::string& order = "order by sequence, description ") {
  const std::string dateFilter = "((effective_date <= '" + d + "' and expire_date > '" + d + "') " +
                                 "or (effective_date <= '" + d + "' and expire_date is null)) ";
  if (condition.empty()) return select + table + " where " + dateFilter + " " + order;
  return select + table + " where " + condition + " " + "and " + dateFilter + " " + order;
}

class OfficeQueriesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    auto made = office_test::MakeOffice(dir_->File("base.db"), 1500);
    ASSERT_TRUE(made.ok()) << made.message;
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(dir_->File("base.db").c_str(), &db), SQLITE_OK);
    char* message = nullptr;
    const int rc = sqlite3_exec(db, kKnownRows, nullptr, nullptr, &message);
    const std::string error = message != nullptr ? message : "";
    sqlite3_free(message);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << error;
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }

  // Each test works on its own copy of the office.
  void SetUp() override {
    path_ = dir_->File(std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".db");
    std::filesystem::copy_file(dir_->File("base.db"), path_, std::filesystem::copy_options::overwrite_existing);
    gateway_ = CreateDefaultGateway();
    ASSERT_TRUE(gateway_->SetConnection(path_, "embedded", "", "", false, 0, "", ""));
  }
  void TearDown() override { gateway_.reset(); }

  std::shared_ptr<Recordset> Open(const std::string& sql) {
    std::shared_ptr<Recordset> rs;
    const std::string error = gateway_->OpenRecordset(sql, rs, 0, true);
    EXPECT_EQ(error, "") << sql;
    if (!rs) rs = Recordset::FromRows({}, {});
    return rs;
  }

  // The values of one column over every row, as text.
  static std::vector<std::string> Values(Recordset& rs, const std::string& column) {
    std::vector<std::string> out;
    if (rs.BOF() && rs.EndOfFile()) return out;
    for (rs.MoveFirst(); !rs.EndOfFile(); rs.MoveNext()) out.push_back(rs.Collect(column).Text());
    rs.MoveFirst();
    return out;
  }
  // The row whose `key` column reads `value`, as column name -> text.
  static std::map<std::string, std::string> Row(Recordset& rs, const std::string& key, const std::string& value) {
    std::map<std::string, std::string> row;
    if (rs.BOF() && rs.EndOfFile()) return row;
    for (rs.MoveFirst(); !rs.EndOfFile(); rs.MoveNext()) {
      if (rs.Collect(key).Text() != value) continue;
      for (std::int32_t i = 0; i < rs.Fields().Count(); ++i) {
        Field& f = rs.Fields().Item(i);
        row.emplace(f.Name(), f.Value().Text());
      }
      break;
    }
    return row;
  }
  DataType TypeOf(Recordset& rs, const std::string& column) { return rs.Fields().Item(column).Type(); }

  // Runs a procedure with named inputs; outputs are read back by name.
  std::string Call(const std::string& name, const std::vector<std::pair<std::string, Variant>>& inputs,
                   std::shared_ptr<Recordset>* rows = nullptr) {
    if (auto e = gateway_->PrepareProcedure(name); !e.empty()) return e;
    for (const auto& [parameter, value] : inputs) gateway_->AddParameter(parameter, value);
    std::shared_ptr<Recordset> local;
    std::int32_t affected = 0;
    return gateway_->ExecuteProcedure(affected, rows != nullptr, rows != nullptr ? *rows : local, 0);
  }
  Variant Output(const std::string& name) {
    Variant v = Variant::Null();
    gateway_->GetParameter(name, v);
    return v;
  }

  static TempDir* dir_;
  std::string path_;
  std::unique_ptr<DataGateway> gateway_;
};
TempDir* OfficeQueriesTest::dir_ = nullptr;

TEST_F(OfficeQueriesTest, CommitteeListShowsTheCurrentRowOfEveryCommittee) {
  Db db(path_);
  auto rs = Open(CommitteeList(""));
  // One row per committee except the non-registered entities.
  const auto groups = Values(*rs, "group_id");
  EXPECT_EQ(static_cast<std::int64_t>(groups.size()),
            db.Int("select count(*) from org_committee where trans_end_date is null and comm_type_code <> 'NRR'"));
  EXPECT_EQ(std::set<std::string>(groups.begin(), groups.end()).size(), groups.size());
  EXPECT_EQ(Row(*rs, "group_id", "900020").size(), 0u);

  // The latest reference row decides the status, the open detail row the name;
  // the candidate and the present treasurer are named.
  auto z = Row(*rs, "group_id", "900001");
  EXPECT_EQ(z["org_name"], "Zephyr for Mayor");
  EXPECT_EQ(z["current_status_desc"], "Terminated");
  EXPECT_EQ(z["current_status_code"], "TRM");
  EXPECT_EQ(z["comm_type_desc"], "Candidate committee");
  EXPECT_EQ(z["cand_first_name"], "Quincy");
  EXPECT_EQ(z["cand_last_name"], "Zephyr");
  EXPECT_EQ(z["treas_last_name"], "Trainor");
  EXPECT_EQ(z["org_id"], "900001");
  EXPECT_EQ(z["name_type_code"], "CND");
  // A committee of another type shows no candidate even when it has a candidate row;
  // its one reference row has no date.
  auto p = Row(*rs, "group_id", "900010");
  EXPECT_EQ(p["cand_first_name"], "");
  EXPECT_EQ(p["cand_last_name"], "");
  EXPECT_EQ(p["treas_first_name"], "Uma");
  EXPECT_EQ(p["current_status_desc"], "Active");

  // The search form's clauses, in letter case other than stored.
  auto found = Open(CommitteeList("AND fn.comm_type_code = 'cnc' AND cand.last_name like '%zeph%' "
                                  "AND cand.first_name like '%QUIN%' "));
  EXPECT_EQ(Values(*found, "group_id"), std::vector<std::string>{"900001"});
  found = Open(CommitteeList("AND ro.id_1+ro.id_2+ro.id_3+ro.id_4 like '%2001C90001%' "));
  EXPECT_EQ(Values(*found, "group_id"), std::vector<std::string>{"900001"});
  found = Open(CommitteeList("AND treas.last_name like '%umber%' AND fn.party_code = 'np' "));
  EXPECT_EQ(Values(*found, "group_id"), std::vector<std::string>{"900010"});
  found = Open(CommitteeList("AND fn.old_acronym like '%CTEQZ%' "));  // a closed name is not searched
  EXPECT_TRUE(Values(*found, "group_id").empty());
  found = Open(CommitteeList("AND cand.cand_office_code = 'MAY' AND fn.comm_level_code = 'MUN' AND fn.org_name like '%zephyr%' "));
  EXPECT_EQ(Values(*found, "group_id"), std::vector<std::string>{"900001"});
}

TEST_F(OfficeQueriesTest, AffectedCommitteesAndTheCommitteeRow) {
  const std::string affected = kCommitteeSelect + kCommitteeJoins +
                               "left outer join XRF_AFF_ORG_DOCUMENT xaod on ro.Group_id = xaod.Org_id " +
                               kCurrentCommittee + "and xaod.document_id = ";
  auto rs = Open(affected + "900105" + " ");
  auto groups = Values(*rs, "group_id");
  std::sort(groups.begin(), groups.end());
  EXPECT_EQ(groups, (std::vector<std::string>{"900001", "900020"}));  // NRR included
  // With no document the text does not parse: an error text, no crash.
  std::shared_ptr<Recordset> none;
  EXPECT_NE(gateway_->OpenRecordset(affected + "" + " ", none, 0, true), "");

  auto all = Open(kCommitteeSelect + kCommitteeJoins + kCurrentCommittee + "AND fn.comm_type_code = 'NRR' ");
  EXPECT_FALSE(Row(*all, "group_id", "900020").empty());

  auto one = Open(std::string("SELECT distinct ro.group_id, ro.id_1, ro.id_2, ro.id_3, ro.id_4, fn.previous_id, ") +
                  "fn.org_name, fn.comm_type_desc, fn.inhouse_name, ro.current_status_desc " + kCommitteeJoins1And2 +
                  kCurrentCommittee + "AND ro.group_id = 900001 ");
  ASSERT_EQ(one->RecordCount(), 1);
  EXPECT_EQ(one->Collect("previous_id").Text(), "99-C-1");
  EXPECT_EQ(one->Collect("inhouse_name").Text(), "ZEPHYR, QUINCY (MAY)");
  EXPECT_EQ(one->Fields().Count(), 10);
}

TEST_F(OfficeQueriesTest, DocumentSearchWithEachKindOfCondition) {
  Db db(path_);
  auto count = [&](const std::string& filter) { return Open(DocumentList(filter))->RecordCount(); };

  // Year, type and sub-type.
  auto rs = Open(DocumentList("where RD.Doc_year = 2004 and RD.Doc_type_code = 'rpt' and RD.Doc_sub_type_code = '48h' "));
  EXPECT_EQ(rs->RecordCount(), db.Int("select count(*) from ref_document where doc_year = 2004 and "
                                      "doc_type_code = 'RPT' and doc_sub_type_code = '48H'"));
  EXPECT_GE(rs->RecordCount(), 3);
  // The columns and their types; update_date is there twice.
  EXPECT_EQ(rs->Fields().Count(), 32);
  EXPECT_EQ(TypeOf(*rs, "receive_send_date"), DataType::DBTimeStamp);
  EXPECT_EQ(TypeOf(*rs, "has_image"), DataType::Boolean);
  EXPECT_EQ(TypeOf(*rs, "unique_id"), DataType::Integer);
  EXPECT_EQ(rs->Fields().Item(15).Name(), "update_date");
  EXPECT_EQ(rs->Fields().Item(27).Name(), "update_date");
  auto notice = Row(*rs, "unique_id", "900104");
  EXPECT_EQ(notice["org_name"], "Zephyr for Mayor");
  EXPECT_EQ(notice["comm_id"], "2001-C-90001-1");
  EXPECT_EQ(notice["org_group_id"], "900001");
  EXPECT_EQ(notice["has_rpt_link"], "X");
  EXPECT_EQ(notice["status_desc"], "Terminated");
  EXPECT_EQ(notice["doc_sub_type_desc"], "48-hour notice");
  EXPECT_EQ(Row(*rs, "unique_id", "900103")["has_rpt_link"], "");
  // One committee's notices: latest received first.
  std::vector<std::string> ours;
  for (const auto& id : Values(*rs, "unique_id")) {
    if (id.starts_with("9001")) ours.push_back(id);
  }
  EXPECT_EQ(ours, (std::vector<std::string>{"900103", "900104", "900102"}));

  // "No Committee" and documents linked to none.
  const std::int64_t unlinked =
      db.Int("select count(*) from ref_document where unique_id not in (select document_id from xrf_org_document)");
  EXPECT_GT(unlinked, 0);
  EXPECT_EQ(count("where XCD.org_id is null  "), unlinked);
  EXPECT_EQ(count("where RD.unique_id not in (SELECT document_id from xrf_org_document) "), unlinked);

  // Committee type and names of the current committee row.
  // (the committee's deleted report is found too: the search shows deleted documents)
  EXPECT_EQ(count("where oc.comm_type_code = 'cnc' and  OC.org_name like 'zephyr%' "), 5);
  EXPECT_EQ(count("where  OC.inhouse_name like 'ZEPHYR, Q%' "), 5);
  EXPECT_EQ(count("where  OC.old_acronym like 'zbp' "), 1);
  EXPECT_EQ(count("where  OC.org_name like 'Committee to Elect Quincy%' "), 0);
  // The candidate of a candidate committee only.
  EXPECT_EQ(count("where  cnd.first_name like 'quin_y' and cnd.last_name like 'zeph%' "), 5);
  EXPECT_EQ(count("where  cnd.last_name like 'Xylo' "), 0);

  // Dates as the search form writes them, on the date part of the column.
  EXPECT_EQ(count("where RD.Doc_year = 2004 and cast(RD.receive_send_date as date) >= '10/21/2004' and "
                  "cast(RD.receive_send_date as date) <= '10/26/2004' and RD.Doc_sub_type_code = '48H' and "
                  "oc.comm_type_code = 'CNC' and  OC.org_name like 'zephyr%' "),
            2);
  EXPECT_EQ(count("where cast(RD.entry_date as date) >= '3/1/2004' and cast(RD.entry_date as date) <= '3/31/2004' "),
            db.Int("select count(*) from ref_document where date(entry_date) between '2004-03-01' and '2004-03-31'"));
  EXPECT_EQ(count("where cast(RD.update_date as date) >= '1/1/2024' "),
            db.Int("select count(*) from ref_document where update_date >= '2024-01-01'"));

  // The clerk, and documents that no report accounts for.
  EXPECT_EQ(count("where RD.user_id = '3' "), db.Int("select count(*) from ref_document where user_id = 3"));
  EXPECT_EQ(count("where RD.Doc_type_code = 'RPT' and xrd.report_id is null  and isnull(RD.has_no_report_data, 0) = 0 "),
            db.Int("select count(*) from ref_document rd where doc_type_code = 'RPT' and coalesce(has_no_report_data, 0) = 0 "
                   "and not exists (select 1 from xrf_report_document x where x.document_id = rd.unique_id)"));
}

TEST_F(OfficeQueriesTest, DocumentsOfACommitteeAndOneDocument) {
  auto rs = Open("SELECT RD.doc_type_desc as 'Doc_type_code_desc', RD.doc_year, RD.doc_sub_type_desc as "
                 "'doc_name_desc', RD.Title , RD.receive_send_date, RD.entry_date, RD.unique_id FROM XRF_Org_Document XCD "
                 "left outer join vw_zub_ref_document_detail RD ON XCD.document_id = RD.unique_id left outer join ref_org "
                 "ro on xcd.org_id = ro.unique_id WHERE ro.group_id = 900001 and RD.Delete_date is null ORDER BY 5, 1, 2, 3 ");
  // The deleted report is left out; rows by received date.
  EXPECT_EQ(Values(*rs, "unique_id"), (std::vector<std::string>{"900101", "900102", "900104", "900103"}));
  EXPECT_EQ(Values(*rs, "doc_name_desc")[0], "First quarter report");

  auto doc = Open("select * from ref_document where unique_id = 900103 ");
  ASSERT_EQ(doc->RecordCount(), 1);
  EXPECT_EQ(TypeOf(*doc, "Amount_Due"), DataType::Currency);
  EXPECT_EQ(TypeOf(*doc, "Is_amendment"), DataType::Boolean);
  EXPECT_EQ(TypeOf(*doc, "due_date"), DataType::DBTimeStamp);
  EXPECT_EQ(TypeOf(*doc, "doc_year"), DataType::Integer);
  EXPECT_EQ(doc->Collect("total_receipts").Text(), "2500");
  auto empty = Open("select * from ref_document where unique_id is null ");
  EXPECT_EQ(empty->RecordCount(), 0);
  EXPECT_EQ(empty->Fields().Count(), 36);

  auto detail = Open("SELECT rd.* FROM vw_zub_ref_document_detail rd where rd.unique_id = 900105");
  ASSERT_EQ(detail->RecordCount(), 1);
  EXPECT_EQ(detail->Collect("doc_type_code_desc").Text(), "Correspondence");
  EXPECT_EQ(detail->Collect("doc_name_desc").Text(), "Complaint");

  auto group = Open("SELECT group_id FROM ref_org where unique_id = 900002 ");
  EXPECT_EQ(group->Collect("group_id").Text(), "900001");
}

TEST_F(OfficeQueriesTest, CodeListsInForceOnADate) {
  // Offices: one expired in 2006, one not in force before 2090.
  auto codes = [&](const std::string& sql) { return Values(*Open(sql), "Code"); };
  auto in2004 = codes(CodeList("select * from ", "lku_office", "", "6/15/2004"));
  auto in2010 = codes(CodeList("select * from ", "lku_office", "", "6/15/2010"));
  EXPECT_EQ(in2004.front(), "GOV");  // by sequence
  EXPECT_NE(std::find(in2004.begin(), in2004.end(), "SUP"), in2004.end());
  EXPECT_EQ(std::find(in2010.begin(), in2010.end(), "SUP"), in2010.end());
  EXPECT_EQ(std::find(in2010.begin(), in2010.end(), "CMP"), in2010.end());
  EXPECT_EQ(in2004.size(), in2010.size() + 1);
  // The library's default date, 1 January 1900, finds the codes in force since always.
  EXPECT_EQ(codes(CodeList("select * from ", "lku_office", "", "1/1/1900")).size(), 10u);

  // Committee types with and without NRR; parties by sequence only.
  auto types = codes(CodeList("select * from ", "lks_committee_type", "code <> 'NRR'", "1/1/2005"));
  EXPECT_EQ(types, (std::vector<std::string>{"CNC", "PTY", "PAC", "IEC", "BQC"}));
  EXPECT_EQ(codes(CodeList("select * from ", "lks_committee_type", "", "1/1/2005")).size(), 6u);
  auto parties = codes(CodeList("select * from ", "lku_party", "", "1/1/2000", "order by sequence "));
  EXPECT_EQ(parties, (std::vector<std::string>{"DEM", "REP", "LIB", "GRN", "IND", "NP", "REF"}));

  // Sub-types of a type, by description; reasons of a group; scheduled reports.
  auto subTypes = Open(CodeList("select * from ", "lku_document_sub_type", "doc_type_code like 'COR%' ", "1/1/1998",
                                "order by description "));
  EXPECT_EQ(Values(*subTypes, "Code"), (std::vector<std::string>{"CMP", "LFN", "LTR", "TLG"}));
  EXPECT_EQ(codes(CodeList("select * from ", "lks_document_reason", "group_code = 'PEN' ", "1/1/2004")),
            (std::vector<std::string>{"NFL", "LFL"}));
  EXPECT_EQ(codes(CodeList("select * from ", "lku_report_sub_type", "is_scheduled = 1 ", "1/1/2004")),
            (std::vector<std::string>{"Q1", "Q2", "Q3", "YE"}));
  // Report versions ignore the date.
  auto versions = Open(std::string("select * from lks_report_version where 1 = 1 order by sequence, description "));
  EXPECT_EQ(versions->RecordCount(), 3);

  // The extra columns of two lists; officer roles.
  auto delivery = Open(CodeList("select *, date_name as 'Link', reason_name as 'Reason' from ", "lks_delivery_method", "",
                                "1/1/2004"));
  EXPECT_EQ(Row(*delivery, "Code", "MAI")["Link"], "Postmark date");
  auto docTypes = Open(CodeList("select *, has_subset as 'BitCheck', cast(has_subset as char(2)) as 'Link' from ",
                                "lks_document_type", "", "1/1/2004"));
  EXPECT_EQ(Row(*docTypes, "Code", "RPT")["Link"], "1 ");
  EXPECT_EQ(Row(*docTypes, "Code", "MSC")["BitCheck"], "False");
  EXPECT_EQ(Values(*docTypes, "Code").size(), 5u);  // microfilm expired, electronic log not yet
  EXPECT_EQ(codes(CodeList("select * from ", "lks_name_type", "is_officer = 1 or code = 'CND'", "1/1/2004")),
            (std::vector<std::string>{"CND", "TRS", "DTR", "CHR"}));
  EXPECT_EQ(TypeOf(*docTypes, "effective_date"), DataType::DBTimeStamp);
  EXPECT_EQ(TypeOf(*docTypes, "Sequence"), DataType::SmallInt);
}

TEST_F(OfficeQueriesTest, CountiesUsersAndOfficerNames) {
  auto counties = Open("select 'STA' as code, 'State' as description, 0 as velm_id, 0 as sequence union select Code, "
                       "Description, Velm_id, Sequence from LKS_COUNTY  where 1=1 and 1=1 order by velm_id");
  const auto codes = Values(*counties, "code");
  ASSERT_EQ(codes.size(), 23u);  // the State row and every county, expired and future ones too
  EXPECT_EQ(codes.front(), "STA");
  EXPECT_EQ(Values(*counties, "description").front(), "State");
  EXPECT_EQ(codes.back(), "WES");
  const auto order = Values(*counties, "velm_id");
  for (std::size_t i = 1; i < order.size(); ++i) EXPECT_LT(std::stoi(order[i - 1]), std::stoi(order[i]));

  Db db(path_);
  auto users = Open("select u.unique_id as code, u.user_name as description from ref_user u where unique_id = ( "
                    "   select unique_id    from ref_user    where group_id = u.group_id    and isnull(end_date, "
                    "getdate()) = (       select max(isnull(end_date, getdate()))       from ref_user       where "
                    "group_id = u.group_id)) and u.is_system_user = 0 and u.end_date is null order by user_name ");
  const auto names = Values(*users, "description");
  EXPECT_EQ(static_cast<std::int64_t>(names.size()),
            db.Int("select count(*) from ref_user where end_date is null and is_system_user = 0"));
  EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
  for (const auto& id : Values(*users, "code")) {
    EXPECT_EQ(db.Text("select end_date from ref_user where unique_id = " + id), "<null>");
  }

  auto officer = [&](const std::string& role) {
    return Values(*Open("select o.group_id as code, rtrim(isnull(na.first_name,'') + ' ' + isnull(na.middle_name,'')) + "
                        "' ' + isnull(na.last_name,'') as description from vw_zub_org_officers_ref_current o left "
                        "outer join org_name_address na on o.entity_id = na.unique_id  where o.org_group_id = 900001 "
                        "and o.name_type_code = '" + role + "'  and 1=1 "),
                  "description");
  };
  EXPECT_EQ(officer("TRS"), std::vector<std::string>{"Tess Trainor"});
  EXPECT_EQ(officer("cnd"), std::vector<std::string>{"Quincy Q. Zephyr"});
}

TEST_F(OfficeQueriesTest, SettingsFoldersAndWorkstationDefaults) {
  auto info = Open("select * from lks_system_info");
  for (const char* code : {"PATH_TIF", "PATH_TIF_ALT", "PATH_PDF", "PATH_PDF_ALT", "PATH_PDF_CREATE", "PATH_BATCH_SCAN"}) {
    EXPECT_FALSE(Row(*info, "Code", code)["Description"].empty()) << code;
  }
  auto scan = Open("exec usp_adm_get_default_reg_setting 1, 'SCAN', 'BATCH' ");
  EXPECT_EQ(Values(*scan, "setting_key"), (std::vector<std::string>{"Resolution", "ColorMode", "Duplex"}));
  EXPECT_EQ(Values(*scan, "setting_value").front(), "300");
  EXPECT_EQ(scan->Fields().Count(), 6);
  EXPECT_EQ(scan->Fields().Item(0).Name(), "app_function_lbl");
  EXPECT_EQ(Open("exec usp_adm_get_default_reg_setting 1, 'SCAN', '' ")->RecordCount(), 5);
  EXPECT_EQ(Open("exec usp_adm_get_default_reg_setting 1, '', '' ")->RecordCount(), 10);
  EXPECT_EQ(Open("exec usp_adm_get_default_reg_setting 1, 'NOPE', '' ")->RecordCount(), 0);
  auto functions = Open("exec usp_adm_get_default_reg_setting 2, '', '' ");
  EXPECT_EQ(functions->RecordCount(), 5);
  EXPECT_EQ(Values(*functions, "setting_key").front(), "");
}

TEST_F(OfficeQueriesTest, PageImagesAreReadSavedAndRemoved) {
  Db db(path_);
  const std::string scanned = db.Text("select min(document_id) from DOCUMENT_IMAGE");
  auto image = Open("exec sp_get_DOCUMENT_IMAGE " + scanned + " ");
  ASSERT_EQ(image->RecordCount(), 1);
  EXPECT_GT(image->Collect("doc_image_sz").CLng(), 0);
  EXPECT_EQ(TypeOf(*image, "doc_image"), DataType::LongVarBinary);
  EXPECT_EQ(image->Collect("doc_image").AsBytes().size(),
            static_cast<std::size_t>(image->Collect("doc_image_sz").CLng()));

  // A new image row: no rows, the columns to fill, one of them added.
  auto fresh = Open("exec sp_get_DOCUMENT_IMAGE -1 ");
  EXPECT_EQ(fresh->RecordCount(), 0);
  EXPECT_EQ(fresh->Fields().Count(), 9);
  // A document without images has a row with sizes 0.
  auto bare = Open("exec sp_get_DOCUMENT_IMAGE 900105 ");
  ASSERT_EQ(bare->RecordCount(), 1);
  EXPECT_EQ(bare->Collect("doc_image_sz").CLng(), 0);
  EXPECT_EQ(bare->Collect("alt_doc_image_sz").CLng(), 0);

  const Bytes pages = {'I', 'I', 42, 0, 1, 2, 3, 4, 5};
  ASSERT_EQ(Call("sp_save_DOCUMENT_IMAGE", {{"@document_id", Variant("900105")},
                                            {"@doc_page_ct", Variant("2")},
                                            {"@alt_doc_page_ct", Variant::Null()},
                                            {"@doc_image", Variant(pages)},
                                            {"@alt_doc_image", Variant::Null()}}),
            "");
  EXPECT_EQ(db.Text("select has_image from ref_document where unique_id = 900105"), "1");
  auto saved = Open("exec sp_get_DOCUMENT_IMAGE 900105 ");
  EXPECT_EQ(saved->Collect("doc_image").AsBytes(), pages);
  EXPECT_EQ(saved->Collect("doc_image_sz").CLng(), 9);
  EXPECT_EQ(saved->Collect("doc_page_ct").Text(), "2");

  // The save procedure with the identifier alone removes the images.
  ASSERT_EQ(Call("sp_save_DOCUMENT_IMAGE", {{"@document_id", Variant(std::int32_t{900105})}}), "");
  EXPECT_EQ(db.Int("select count(*) from DOCUMENT_IMAGE where document_id = 900105"), 0);
  EXPECT_EQ(db.Text("select has_image from ref_document where unique_id = 900105"), "0");
}

TEST_F(OfficeQueriesTest, DocumentsAndLinksAreSavedThroughTheirProcedures) {
  Db db(path_);
  const std::vector<std::string>& names = test::kDocumentInsertInputs;
  std::map<std::string, Variant> values;
  for (const auto& n : names) values[n] = Variant::Null();
  values["@Doc_type_code"] = Variant("PEN");
  values["@Doc_year"] = Variant(std::int32_t{2005});
  values["@Is_amendment"] = Variant(true);
  values["@Title"] = Variant("Penalty assessment 2005");
  values["@due_date"] = Variant(Date{38416.0});          // 3/5/2005
  values["@Receive_send_date"] = Variant("3/4/2005");    // as a clerk types it
  values["@amount_due"] = Variant(Currency{1234500});    // 123.45
  values["@has_no_totals"] = Variant(false);
  std::vector<std::pair<std::string, Variant>> inputs;
  for (const auto& n : names) inputs.emplace_back(n, values[n]);
  ASSERT_EQ(Call("sp_insert_ref_document", inputs), "");
  const std::int32_t id = Output("@Unique_id").CLng();
  EXPECT_GT(id, 900106);
  auto row = Open("select * from ref_document where unique_id = " + std::to_string(id) + " ");
  ASSERT_EQ(row->RecordCount(), 1);
  EXPECT_EQ(row->Collect("Title").Text(), "Penalty assessment 2005");
  EXPECT_EQ(db.Text("select due_date || '|' || receive_send_date || '|' || Is_amendment || '|' || has_no_totals || '|' || "
                    "Amount_Due || '|' || has_image from ref_document where unique_id = " + std::to_string(id)),
            "2005-03-05 00:00:00|2005-03-04 00:00:00|1|0|123.45|0");
  EXPECT_TRUE(row->Collect("delete_date").IsNull());

  // Links: add, add again (still one), move, move onto an existing link, delete.
  auto links = [&](const std::string& table) {
    return db.Text("select group_concat(org_id) from (select org_id from " + table + " where document_id = " +
                   std::to_string(id) + " order by org_id)");
  };
  for (const std::string table : {"xrf_org_document", "XRF_AFF_ORG_DOCUMENT"}) {
    SCOPED_TRACE(table);
    ASSERT_EQ(Call("sp_insert_" + table, {{"@Org_id", Variant("900001")}, {"@Document_id", Variant(id)}}), "");
    ASSERT_EQ(Call("sp_insert_" + table, {{"@Org_id", Variant("900001")}, {"@Document_id", Variant(id)}}), "");
    ASSERT_EQ(Call("sp_insert_" + table, {{"@Org_id", Variant("900020")}, {"@Document_id", Variant(id)}}), "");
    EXPECT_EQ(links(table), "900001,900020");
    ASSERT_EQ(Call("sp_update_" + table, {{"@Org_id", Variant("900001")}, {"@Document_id", Variant(id)},
                                          {"@Value", Variant(std::int32_t{900010})}}),
              "");
    EXPECT_EQ(links(table), "900010,900020");
    ASSERT_EQ(Call("sp_update_" + table, {{"@Org_id", Variant("900010")}, {"@Document_id", Variant(id)},
                                          {"@Value", Variant(std::int32_t{900020})}}),
              "");
    EXPECT_EQ(links(table), "900020");
    ASSERT_EQ(Call("sp_delete_" + table, {{"@org_id", Variant(std::int32_t{900020})}, {"@document_id", Variant(id)}}), "");
    EXPECT_EQ(links(table), "<null>");
  }
  ASSERT_EQ(Call("sp_delete_xrf_report_document", {{"@report_id", Variant(std::int32_t{900001})},
                                                   {"@document_id", Variant(std::int32_t{900104})}}),
            "");
  EXPECT_EQ(db.Int("select count(*) from xrf_report_document where report_id = 900001"), 1);
}

TEST_F(OfficeQueriesTest, FilingChecks) {
  Db db(path_);
  const std::string election = db.Text("select unique_id from ref_election where election_date = '2004-11-02 00:00:00'");
  auto check = [&](std::int32_t type, const std::string& org, const std::string& doc, const std::string& year,
                   const std::string& subType, const std::string& begin, const std::string& end,
                   const std::string& receipts, std::shared_ptr<Recordset>* rows) {
    EXPECT_EQ(Call("sp_misc_mef_checks",
                   {{"@get_type_flag", Variant(type)}, {"@org_id", Variant(org)}, {"@document_id", Variant(doc)},
                    {"@doc_year", Variant(year)}, {"@doc_sub_type_code", Variant(subType)},
                    {"@begin_date", Variant(begin)}, {"@end_date", Variant(end)},
                    {"@total_receipts", Variant(receipts)}, {"@total_expenditures", Variant("")}},
                   rows),
              "");
    return Output("@match_found").Text() + "/" + Output("@flag_mef").Text() + "/" + Output("@election_id").Text();
  };

  // The 48-hour list of the pre-election period: notices not yet accounted for, one of them late.
  std::shared_ptr<Recordset> rows;
  EXPECT_EQ(check(1, "900001", "", "2004", "PRE", "10/1/2004", "10/31/2004", "", &rows), "True/True/" + election);
  EXPECT_EQ(Values(*rows, "document_id"), (std::vector<std::string>{"900102", "900103"}));
  EXPECT_EQ(Values(*rows, "is_late"), (std::vector<std::string>{"", "X"}));
  // An amendment lists the accounted-for notice too.
  EXPECT_EQ(check(5, "900001", "", "2004", "PRE", "2004-10-01", "2004-10-31", "", &rows), "True/True/" + election);
  EXPECT_EQ(Values(*rows, "document_id"), (std::vector<std::string>{"900102", "900103", "900104"}));
  EXPECT_EQ(Values(*rows, "report_id")[2], "900001");
  // Outside the window nothing is listed and no election applies.
  EXPECT_EQ(check(1, "900001", "", "2004", "Q2", "4/1/2004", "6/30/2004", "", &rows), "False/False/");
  EXPECT_EQ(rows ? rows->RecordCount() : 0, 0);

  // Existing report: another Q1 2004 report of the committee, filed electronically.
  EXPECT_EQ(check(4, "900001", "", "2004", "Q1", "", "", "", nullptr).substr(0, 10), "True/True/");
  EXPECT_EQ(check(4, "900001", "900101", "2004", "Q1", "", "", "", nullptr).substr(0, 11), "False/False");
  EXPECT_EQ(check(4, "900001", "", "2004", "Q2", "", "", "", nullptr).substr(0, 11), "False/False");  // Q2 is deleted
  // MEF check: an electronic filing exists; the threshold is crossed with the totals given.
  EXPECT_EQ(check(2, "900001", "", "2004", "Q1", "1/1/2004", "3/31/2004", "", nullptr).substr(0, 11), "True/False/");
  EXPECT_EQ(check(2, "900001", "", "2004", "Q3", "", "", "1,999.99", nullptr).substr(0, 11), "False/False");
  EXPECT_EQ(check(2, "900001", "", "2004", "Q3", "", "", "$2,000", nullptr).substr(0, 10), "False/True");
  // MEF return: the committee exists, it is not marked as an electronic filer.
  EXPECT_EQ(check(3, "900001", "", "", "", "", "", "", nullptr), "True/False/");
  EXPECT_EQ(check(3, "1", "", "", "", "", "", "", nullptr).substr(0, 5), "True/");
  EXPECT_EQ(check(3, "999999", "", "", "", "", "", "", nullptr), "False/False/");
  // An unknown run type finds nothing.
  EXPECT_EQ(check(9, "900001", "", "2004", "PRE", "10/1/2004", "10/31/2004", "", nullptr), "False/False/" + election);
}

TEST_F(OfficeQueriesTest, ExportLists) {
  Db db(path_);
  // Filed reports, all of them.
  auto filed = Open("Exec sp_misc_reports_filed_lists '', '', '', '', '', '', '', ''");
  EXPECT_EQ(filed->RecordCount(),
            db.Int("select count(*) from ref_document rd join xrf_org_document x on x.document_id = rd.unique_id "
                   "where rd.doc_type_code = 'RPT' and rd.delete_date is null"));
  EXPECT_EQ(filed->Fields().Item(0).Name(), "comm_id");
  // Late candidate-committee reports of a year.
  auto late = Open("Exec sp_misc_reports_filed_lists 'CNC', '2004', '48H', '', 'LATE', '', '', ''");
  EXPECT_EQ(Row(*late, "document_id", "900103")["days_late"], "3");
  EXPECT_EQ(Row(*late, "document_id", "900103")["received_date"], "10/27/2004");
  EXPECT_EQ(Row(*late, "document_id", "900102").size(), 0u);
  for (const auto& days : Values(*late, "days_late")) EXPECT_GT(std::stoi(days), 0);
  // A deadline given by the caller.
  auto byDeadline = Open("Exec sp_misc_reports_filed_lists 'CNC', '2004', 'Q1', '4/11/2004', 'FILED', '', '', ''");
  EXPECT_EQ(Row(*byDeadline, "document_id", "900101")["days_late"], "0");
  byDeadline = Open("Exec sp_misc_reports_filed_lists 'CNC', '2004', 'Q1', '4/8/2004', 'LATE', '', '', ''");
  EXPECT_EQ(Row(*byDeadline, "document_id", "900101")["days_late"], "2");
  EXPECT_EQ(Row(*byDeadline, "document_id", "900101")["due_date"], "04/08/2004");
  // Committees that have not filed: active ones only.
  auto missing = Open("Exec sp_misc_reports_filed_lists 'PAC', '2004', 'Q1', '', 'NOTFILED', '', '', ''");
  EXPECT_FALSE(Row(*missing, "committee_name", "Zeta Builders PAC").empty());
  EXPECT_EQ(Row(*missing, "committee_name", "Zeta Builders PAC")["treasurer"], "Uma Umber");
  auto notCnc = Open("Exec sp_misc_reports_filed_lists 'CNC', '2004', 'Q1', '', 'NOTFILED', '', '', ''");
  EXPECT_TRUE(Row(*notCnc, "committee_name", "Zephyr for Mayor").empty());  // filed (and terminated)
  EXPECT_EQ(Open("Exec sp_misc_reports_filed_lists '', '', '', '', 'OTHER', '', '', ''")->RecordCount(), 0);

  // Correspondence: the complaint, with the sender's treasurer as the address.
  auto letters = Open("Exec sp_misc_data_list_export '', '', '', '', ''");
  EXPECT_EQ(letters->RecordCount(),
            db.Int("select count(*) from ref_document where doc_type_code = 'COR' and delete_date is null"));
  auto complaints = Open("Exec sp_misc_data_list_export 'PAC', 'COR', 'CMP', '3/1/2004', '3/31/2004'");
  auto complaint = Row(*complaints, "document_id", "900105");
  EXPECT_EQ(complaint["committee_name"], "Zeta Builders PAC");
  EXPECT_EQ(complaint["address_1"], "5 Main Street");
  EXPECT_EQ(complaint["receive_send_date"], "03/03/2004");
  // No rows still gives the columns, for the header line.
  auto none = Open("Exec sp_misc_data_list_export '', '', '', '1/1/2090', ''");
  EXPECT_EQ(none->RecordCount(), 0);
  EXPECT_GT(none->Fields().Count(), 5);
}

}  // namespace
}  // namespace tarnwick
