// The code lists against a scripted gateway: the text of every list kind, the
// table that a reload without a kind reuses, failures of GetData, and the
// lookups, row numbers and filters with their effect on the cursor.
#include "support/scripted_gateway.hpp"
#include "runtime/dates.hpp"

namespace tarnwick::test {
namespace {

using Lookup = Scripted;

const std::string kInForce =
    "((effective_date <= '3/5/2004' and expire_date > '3/5/2004') "
    "or (effective_date <= '3/5/2004' and expire_date is null)) ";
const std::string kOrder = "order by sequence, description ";

std::string Opened(const std::string& sql) { return "OpenRecordset(" + sql + ", 0, True)"; }
std::string Plain(const std::string& table) { return "select * from " + table + " where " + kInForce + " " + kOrder; }

// A code list: codes and descriptions, with a Link column.
std::shared_ptr<Recordset> Codes(const std::vector<std::pair<Variant, std::string>>& rows) {
  std::vector<std::vector<Variant>> values;
  for (const auto& [code, description] : rows) {
    values.push_back({code, Variant(description), Variant("link " + description)});
  }
  return Recordset::FromRows(
      {{"Code", DataType::VarChar}, {"Description", DataType::VarChar}, {"Link", DataType::VarChar}},
      std::move(values));
}

TEST_F(Lookup, EveryListKindSendsItsText) {
  clsLookup_List list;
  const Date d = dates::FromCivil({2004, 3, 5});
  for (int kind = 1; kind <= 18; ++kind) {
    const bool withFilter = kind == 3 || kind == 11 || kind == 14;
    list.GetData(static_cast<zubList>(kind), d, 77, withFilter ? (kind == 14 ? "42" : "COR") : "", "TRS");
  }
  list.GetData(zubL_ReportSubType, d, -1, "1");
  const std::vector<std::string> expected = {
      "select *, date_name as 'Link', reason_name as 'Reason' from lks_delivery_method where " + kInForce + " " +
          kOrder,
      "select *, has_subset as 'BitCheck', cast(has_subset as char(2)) as 'Link' from lks_document_type where " +
          kInForce + " " + kOrder,
      "select * from lks_document_reason where group_code = 'COR'  and " + kInForce + " " + kOrder,
      "select * from lks_report_version where 1 = 1 " + kOrder,
      "select * from lks_committee_type where code <> 'NRR' and " + kInForce + " " + kOrder,
      Plain("lks_name_type"),
      Plain("lks_committee_level"),
      Plain("lks_org_status"),
      Plain("lku_office"),
      "select * from lku_party where " + kInForce + " order by sequence ",
      "select * from lku_document_sub_type where doc_type_code like 'COR%'  and " + kInForce + " order by description ",
      "select u.unique_id as code, u.user_name as description from ref_user u where unique_id = (    select unique_id "
      "   from ref_user    where group_id = u.group_id    and isnull(end_date, getdate()) = (       select "
      "max(isnull(end_date, getdate()))       from ref_user       where group_id = u.group_id)) and "
      "u.is_system_user = 0 and u.end_date is null order by user_name ",
      "select * from lks_name_type where is_officer = 1 or code = 'CND' and " + kInForce + " " + kOrder,
      "select o.group_id as code, rtrim(isnull(na.first_name,'') + ' ' + isnull(na.middle_name,'')) + ' ' + "
      "isnull(na.last_name,'') as description from vw_zub_org_officers_ref_current o left outer join "
      "org_name_address na on o.entity_id = na.unique_id  where o.org_group_id = 42 and o.name_type_code = 'TRS'  "
      "and 1=1 ",
      Plain("lku_report_sub_type"),
      Plain("lks_committee_type"),
      Plain("lks_penalty_appeal_decision"),
      "select 'STA' as code, 'State' as description, 0 as velm_id, 0 as sequence union select Code, Description, "
      "Velm_id, Sequence from LKS_COUNTY  where 1=1 and 1=1 order by velm_id",
      "select * from lku_report_sub_type where is_scheduled = 1  and " + kInForce + " " + kOrder,
  };
  std::vector<std::string> opened;
  for (const std::string& sql : expected) opened.push_back(Opened(sql));
  EXPECT_EQ(Calls(), opened);
}

TEST_F(Lookup, AReloadWithoutAKindReusesTheLastTable) {
  clsLookup_List list;
  EXPECT_FALSE(list.GetData());
  const std::string noTable =
      "select * from  where ((effective_date <= '1/1/1900' and expire_date > '1/1/1900') or (effective_date <= "
      "'1/1/1900' and expire_date is null))  " + kOrder;
  EXPECT_EQ(Calls().back(), Opened(noTable)) << "the database refuses a text without a table";

  const Date d = dates::FromCivil({2004, 3, 5});
  list.GetData(zubL_Office, d);
  list.GetData();
  EXPECT_EQ(Calls().back(), Opened("select * from lku_office where ((effective_date <= '1/1/1900' and expire_date > "
                                   "'1/1/1900') or (effective_date <= '1/1/1900' and expire_date is null))  " + kOrder));
  list.GetData(static_cast<zubList>(99), d);
  EXPECT_EQ(Calls().back(), Opened(Plain("lku_office")));
  list.GetData(static_cast<zubList>(-3), d);
  EXPECT_EQ(Calls().back(), Opened(Plain("lku_office")));
  list.GetData(zubL_Users);
  list.GetData(zubL_None, d);
  EXPECT_EQ(Calls().back(), Opened(Plain("ref_user")));
  list.GetData(zubL_County);
  list.GetData(zubL_None, d);
  EXPECT_EQ(Calls().back(), Opened("select * from  where " + kInForce + " " + kOrder)) << "the county list has none";

  // The date with its time of day, as the runtime writes a date.
  list.GetData(zubL_Office, dates::FromCivil({2004, 3, 5, 14, 30, 0}));
  EXPECT_NE(Calls().back().find("effective_date <= '3/5/2004 2:30:00 PM' and expire_date > '3/5/2004 2:30:00 PM'"),
            std::string::npos);
  // Always with its day and a four-digit year, where the runtime would write the time alone or a short year.
  list.GetData(zubL_Office, Date{0.75});
  EXPECT_NE(Calls().back().find("effective_date <= '12/30/1899 6:00:00 PM' and"), std::string::npos);
  list.GetData(zubL_Office, dates::FromCivil({100, 1, 1}));
  EXPECT_NE(Calls().back().find("effective_date <= '1/1/0100' and"), std::string::npos);
  // Values go in as given; only the kinds that take them use them.
  list.GetData(zubL_DocumentReason, d, -1, "O'Neil", "ignored");
  EXPECT_EQ(Calls().back(), Opened("select * from lks_document_reason where group_code = 'O'Neil'  and " + kInForce +
                                   " " + kOrder));
  list.GetData(zubL_Office, d, 5, "x", "y");
  EXPECT_EQ(Calls().back(), Opened(Plain("lku_office")));
}

TEST_F(Lookup, GetDataReportsErrorTextsQuietlyAndRunTimeFailuresWithItsName) {
  clsLookup_List list;
  script->Answer("OpenRecordset", {.result = Codes({{Variant("A"), "Alpha"}})});
  EXPECT_TRUE(list.GetData(zubL_Office));
  EXPECT_EQ(list.Code(), "A");
  EXPECT_FALSE(list.GetData(zubL_Office)) << "no rows";
  script->Answer("OpenRecordset", {.errorText = "no such table"});
  EXPECT_FALSE(list.GetData(zubL_Office));
  script->Answer("OpenRecordset", {.noResult = true});
  EXPECT_FALSE(list.GetData(zubL_Office));
  script->Answer("OpenRecordset", {.raise = RuntimeError(3709, "Gateway", "connection closed")});
  const RuntimeError e = ExpectRaises(3709, [&] { list.GetData(zubL_Office); });
  EXPECT_EQ(e.Source(), "Gateway (clsLookupList.GetData)");
  EXPECT_EQ(e.Description(), "connection closed");
  EXPECT_EQ(ExpectRaises(err::kOverflow, [&] { list.GetData(zubL_Office, Date{1e9}); }).Source(),
            "Tarnwick (clsLookupList.GetData)")
      << "a date the runtime cannot write";

  // Late-bound: the list by number, the date by its text, the defaults filled in.
  std::shared_ptr<Object> late = CreateObject("Tarnwick.clsLookup_List");
  Clear();
  late->Call("GetData", {std::int32_t{10}, "3/5/2004"});
  EXPECT_EQ(Calls(), std::vector<std::string>{Opened("select * from lku_party where " + kInForce +
                                                     " order by sequence ")});
  ExpectRaises(err::kTypeMismatch, [&] { late->Call("GetData", {std::int32_t{10}, "not a date"}); });
}

TEST_F(Lookup, LookupsScanTheWholeListAndLeaveTheCursorAtTheEnd) {
  clsLookup_List list;
  ExpectRaises(err::kObjectNotSet, [&] { list.GetDescription("A"); });
  ExpectRaises(err::kObjectNotSet, [&] { list.FindIndex("A"); });
  EXPECT_EQ(list.Index(), 0);
  list.Index(2);         // nothing happens without rows
  list.ListFilter("x");  // nor without a list
  EXPECT_EQ(list.ListFilter(), "");

  script->Answer("OpenRecordset", {.result = Codes({{Variant(" X "), "first"},
                                                    {Variant::Null(), "no code"},
                                                    {Variant(std::int32_t{7}), "seven"},
                                                    {Variant("X"), "second"},
                                                    {Variant("y"), "why"}})});
  ASSERT_TRUE(list.GetData(zubL_Office));
  EXPECT_EQ(list.GetDescription("X"), "second") << "the last row with the code decides";
  EXPECT_TRUE(list.EndOfFile());
  ExpectRaises(err::kNoCurrentRow, [&] { list.Code(); });
  EXPECT_EQ(list.Index(), PosEOF);
  EXPECT_EQ(list.GetLink("  7"), "link seven") << "a number code compares by its text";
  EXPECT_EQ(list.GetDescription("Y"), "") << "letter case counts";
  EXPECT_EQ(list.GetDescription(""), "") << "a Null code never matches";
  EXPECT_EQ(list.GetDelta("nope"), "") << "a missing column is not read without a match";
  const RuntimeError e = ExpectRaises(err::kItemNotFound, [&] { list.GetBitCheck("y"); });
  EXPECT_EQ(e.Source(), "ADODB.Fields") << "no name of the list object is added";

  script->Answer("OpenRecordset", {.result = Codes({})});
  EXPECT_FALSE(list.GetData(zubL_Office));
  ExpectRaises(err::kNoCurrentRow, [&] { list.GetDescription("A"); });
  EXPECT_EQ(list.FindIndex("A"), -1) << "an empty list is not searched";
}

TEST_F(Lookup, FindIndexIndexAndListFilterCountTheRowsLetThrough) {
  clsLookup_List list;
  script->Answer("OpenRecordset",
                 {.result = Codes({{Variant("A"), "Alpha"}, {Variant("B"), "Beta"}, {Variant("C"), "Gamma"},
                                   {Variant("D"), "Delta"}})});
  ASSERT_TRUE(list.GetData(zubL_Office));
  EXPECT_EQ(list.ListFilter(), "0");
  list.Index(3);
  EXPECT_EQ(list.Index(), 3);
  EXPECT_EQ(list.FindIndex("B"), 2);
  EXPECT_EQ(list.Index(), 3) << "put back where it stood";
  EXPECT_EQ(list.FindIndex("", "Beta"), 2);
  EXPECT_EQ(list.FindIndex("Z", "Beta"), -1) << "the description is not tried when a code is given";
  EXPECT_EQ(list.FindIndex(), -1);
  EXPECT_EQ(list.Code(), "C");
  list.Index(0);
  list.Index(-5);
  EXPECT_EQ(list.Index(), 3);
  list.Index(1);
  EXPECT_EQ(list.Code(), "A") << "the first row can be chosen too";
  list.Index(9);
  EXPECT_TRUE(list.EndOfFile()) << "past the last row";

  // After a lookup the cursor stands after the last row and is not put back.
  list.GetDescription("A");
  EXPECT_EQ(list.FindIndex("B"), 2);
  EXPECT_EQ(list.Code(), "B");
  list.GetDescription("A");
  EXPECT_EQ(list.FindIndex("Q"), -1);
  EXPECT_TRUE(list.EndOfFile());
  ExpectRaises(err::kBadCriteria, [&] { list.FindIndex("it's"); });

  list.ListFilter("Code > 'A' AND Code < 'D'");
  EXPECT_EQ(list.ListFilter(), "Code > 'A' AND Code < 'D'");
  EXPECT_EQ(list.Code(), "B");
  EXPECT_EQ(list.RecordCount(), 2);
  EXPECT_EQ(list.FindIndex("C"), 2);
  EXPECT_EQ(list.FindIndex("A"), -1) << "filtered out";
  list.Index(2);
  EXPECT_EQ(list.Code(), "C");
  EXPECT_EQ(list.GetDescription("D"), "") << "lookups see only the rows let through";
  list.ListFilter("Code = 'Q'");
  EXPECT_EQ(list.ListFilter(), "") << "no row left";
  EXPECT_EQ(list.Index(), 0);
  list.ListFilter("");
  EXPECT_EQ(list.RecordCount(), 4);
  EXPECT_EQ(list.Code(), "A");
  ExpectRaises(err::kBadCriteria, [&] { list.ListFilter("Code = = 'A'"); });
  ExpectRaises(err::kItemNotFound, [&] { list.ListFilter("Nothing = 1"); });
  EXPECT_EQ(list.RecordCount(), 4) << "a refused filter changes nothing";

  // Late-bound writes of Index and ListFilter.
  std::shared_ptr<Object> late = CreateObject("Tarnwick.clsLookup_List");
  script->Answer("OpenRecordset", {.result = Codes({{Variant("A"), "Alpha"}, {Variant("B"), "Beta"}})});
  ASSERT_TRUE(late->Call("GetData", {std::int32_t{9}}).CBool());
  late->Put("Index", Variant("2"));
  EXPECT_EQ(late->Get("Code").CStr(), "B");
  late->Put("ListFilter", Variant("Code = 'A'"));
  EXPECT_EQ(late->Get("Index").CLng(), 1);
  EXPECT_EQ(late->Call("FindIndex", {"", "Alpha"}).CLng(), 1);
  late->Put("ListFilter", Variant(std::int32_t{0}));
  EXPECT_EQ(late->Get("RecordCount").CLng(), 2);
}

}  // namespace
}  // namespace tarnwick::test
