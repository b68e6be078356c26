// The office's filing checks and lists against rows of a known shape added to
// a sample office: the days late, the notices a report has not accounted for,
// the committees that have not filed and the addresses of a letter are the
// answers a clerk relies on, checked value for value on both engines.

#include <map>

#include "support/sample_office.hpp"

namespace tarnwick::test {
namespace {

// Rows of a known shape added to the sample office: committees 900001
// (candidate committee, terminated, with a history), 900010 (a political
// action committee that wrongly carries a candidate row, with one undated
// reference row) and 900020 (a non-registered entity); their documents from
// 900101 on. Yes/no values are quoted so that both engines take them.
const char* const kKnownRows = R"sql(
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
   'ELE', 'ORI', 3000, 1000, '0', '0', 3, 3, '2004-04-12 09:00:00', '2004-04-12 09:00:00'),
  (900102, 'RPT', '48H', 2004, '48-hour notice 2004', 'Zephyr for Mayor', '2004-10-22 00:00:00',
   '2004-10-21 00:00:00', '2004-10-21 00:00:00', '2004-10-20 00:00:00', '2004-10-20 00:00:00',
   '2004-10-20 00:00:00', null, 'FAX', 'ORI', 1500, 0, '0', '0', 3, 3, '2004-10-21 09:00:00', '2004-10-21 09:00:00'),
  (900103, 'RPT', '48H', 2004, '48-hour notice 2004', 'Zephyr for Mayor', '2004-10-24 00:00:00',
   '2004-10-27 00:00:00', '2004-10-27 00:00:00', '2004-10-22 00:00:00', '2004-10-22 00:00:00',
   '2004-10-22 00:00:00', null, 'MAI', 'ORI', 2500, 0, '0', '0', 3, 3, '2004-10-27 09:00:00', '2004-10-27 09:00:00'),
  (900104, 'RPT', '48H', 2004, '48-hour notice 2004', 'Zephyr for Mayor', '2004-10-27 00:00:00',
   '2004-10-26 00:00:00', '2004-10-26 00:00:00', '2004-10-25 00:00:00', '2004-10-25 00:00:00',
   '2004-10-25 00:00:00', null, 'FAX', 'ORI', 1200, 0, '0', '0', 3, 3, '2004-10-26 09:00:00', '2004-10-26 09:00:00'),
  (900105, 'COR', 'CMP', 2004, 'Complaint', 'Zeta Builders PAC', null,
   '2004-03-03 00:00:00', '2004-03-04 00:00:00', null, null, null, null,
   'MAI', null, null, null, null, '0', 3, 3, '2004-03-04 09:00:00', '2004-03-04 09:00:00'),
  (900106, 'RPT', 'Q2', 2004, 'Second quarter report 2004', 'Zephyr for Mayor', '2004-07-15 00:00:00',
   '2004-07-10 00:00:00', '2004-07-10 00:00:00', null, '2004-04-01 00:00:00', '2004-06-30 00:00:00',
   '2004-08-01 00:00:00', 'MAI', 'ORI', 10, 10, '0', '0', 3, 3, '2004-07-10 09:00:00', '2004-07-10 09:00:00');
insert into xrf_org_document (org_id, document_id) values
  (900001, 900101), (900001, 900102), (900001, 900103), (900001, 900104), (900010, 900105), (900001, 900106);
insert into XRF_AFF_ORG_DOCUMENT (org_id, document_id) values (900001, 900105), (900020, 900105);
insert into ref_report (unique_id, org_group_id, doc_year, report_sub_type_code, begin_date, end_date, is_mef) values
  (900001, 900001, 2004, 'Q1', '2004-01-01 00:00:00', '2004-03-31 00:00:00', '1');
insert into xrf_report_document (report_id, document_id) values (900001, 900101), (900001, 900104);
)sql";

class OfficeQueries : public SampleOfficeSuite<1500> {
 protected:
  static void SetUpTestSuite() {
    SampleOfficeSuite::SetUpTestSuite();
    Db(file_, true).Exec(kKnownRows);
    if (!database_.empty()) ServerExec(ServerConnect(database_).get(), kKnownRows);
  }
  void SetUp() override {
    SampleOfficeSuite::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    gateway_ = ConnectedGateway(engine_, file_, database_);
  }

  std::shared_ptr<Recordset> Open(const std::string& sql) {
    std::shared_ptr<Recordset> rs;
    EXPECT_EQ(gateway_->OpenRecordset(sql, rs, 0, true), "") << sql;
    return rs ? rs : Recordset::FromRows({}, {});
  }
  // The values of one column over every row, as text.
  static std::vector<std::string> Values(Recordset& rs, const std::string& column) {
    std::vector<std::string> out;
    if (rs.BOF() && rs.EndOfFile()) return out;
    for (rs.MoveFirst(); !rs.EndOfFile(); rs.MoveNext()) out.push_back(rs.Collect(column).Text());
    return out;
  }
  // The row whose `key` column reads `value`, as column name -> text.
  static std::map<std::string, std::string> Row(Recordset& rs, const std::string& key, const std::string& value) {
    std::map<std::string, std::string> row;
    if (rs.BOF() && rs.EndOfFile()) return row;
    for (rs.MoveFirst(); !rs.EndOfFile(); rs.MoveNext()) {
      if (rs.Collect(key).Text() != value) continue;
      for (std::int32_t i = 0; i < rs.Fields().Count(); ++i) row.emplace(rs.Fields().Item(i).Name(), rs.Fields().Item(i).Value().Text());
      break;
    }
    return row;
  }
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

  std::unique_ptr<DataGateway> gateway_;
};

TW_ON_BOTH_ENGINES(OfficeQueries);

TEST_P(OfficeQueries, FilingChecks) {
  const std::string election = Query("select unique_id from ref_election where election_date = '2004-11-02 00:00:00'");
  auto check = [&](std::int32_t type, const std::string& org, const std::string& doc, const std::string& year,
                   const std::string& subType, const std::string& begin, const std::string& end,
                   const std::string& receipts, std::shared_ptr<Recordset>* rows) {
    EXPECT_EQ(Call("sp_misc_mef_checks",
                   {{"@get_type_flag", Variant(type)}, {"@org_id", Variant(org)}, {"@document_id", Variant(doc)},
                    {"@doc_year", Variant(year)}, {"@doc_sub_type_code", Variant(subType)},
                    {"@begin_date", Variant(begin)}, {"@end_date", Variant(end)},
                    {"@total_receipts", Variant(receipts)}, {"@total_expenditures", Variant("")}},
                   rows), "");
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
  // A committee that is no number, and an unknown run type, find nothing.
  EXPECT_EQ(check(1, "abc", "", "2004", "", "", "", "", nullptr).substr(0, 12), "False/False/");
  EXPECT_EQ(check(9, "900001", "", "2004", "PRE", "10/1/2004", "10/31/2004", "", nullptr), "False/False/" + election);
}

TEST_P(OfficeQueries, ExportLists) {
  // Late candidate-committee reports of a year.
  auto late = Open("Exec sp_misc_reports_filed_lists 'CNC', '2004', '48H', '', 'LATE', '', '', ''");
  const auto row = Row(*late, "document_id", "900103");
  EXPECT_EQ(std::tuple(row.at("days_late"), row.at("received_date")), std::tuple("3", "10/27/2004"));
  EXPECT_EQ(Row(*late, "document_id", "900102").size(), 0u);
  for (const auto& days : Values(*late, "days_late")) EXPECT_GT(std::stoi(days), 0);
  // A deadline given by the caller.
  auto byDeadline = Open("Exec sp_misc_reports_filed_lists 'CNC', '2004', 'Q1', '4/11/2004', 'FILED', '', '', ''");
  EXPECT_EQ(Row(*byDeadline, "document_id", "900101")["days_late"], "0");
  byDeadline = Open("Exec sp_misc_reports_filed_lists 'CNC', '2004', 'Q1', '4/8/2004', 'LATE', '', '', ''");
  const auto late2 = Row(*byDeadline, "document_id", "900101");
  EXPECT_EQ(std::tuple(late2.at("days_late"), late2.at("due_date")), std::tuple("2", "04/08/2004"));
  // Committees that have not filed: active ones only.
  auto missing = Open("Exec sp_misc_reports_filed_lists 'PAC', '2004', 'Q1', '', 'NOTFILED', '', '', ''");
  EXPECT_EQ(Row(*missing, "committee_name", "Zeta Builders PAC")["treasurer"], "Uma Umber");
  auto notCnc = Open("Exec sp_misc_reports_filed_lists 'CNC', '2004', 'Q1', '', 'NOTFILED', '', '', ''");
  EXPECT_TRUE(Row(*notCnc, "committee_name", "Zephyr for Mayor").empty());  // filed (and terminated)
  EXPECT_EQ(Open("Exec sp_misc_reports_filed_lists '', '', '', '', 'OTHER', '', '', ''")->RecordCount(), 0);

  // Correspondence: the complaint, with the sender's treasurer as the address.
  auto complaints = Open("Exec sp_misc_data_list_export 'PAC', 'COR', 'CMP', '3/1/2004', '3/31/2004'");
  auto complaint = Row(*complaints, "document_id", "900105");
  EXPECT_EQ(std::tuple(complaint["committee_name"], complaint["address_1"], complaint["receive_send_date"]),
            std::tuple("Zeta Builders PAC", "5 Main Street", "03/03/2004"));
  // A client's text reads dates as the office's date reader does, on both engines.
  auto dates = Open("select isdate(due_date) * 100 + isdate('March 5, 2004') * 10 + isdate('2/30/2005') as v "
                    "from ref_document where unique_id = 900101");
  EXPECT_EQ(Values(*dates, "v"), (std::vector<std::string>{"110"}));
}

}  // namespace
}  // namespace tarnwick::test
