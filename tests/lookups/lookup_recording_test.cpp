// The code lists against a scripted gateway: the text of each shape of list,
// the table that a reload without a kind reuses, failures of GetData, and the
// lookups, row numbers and filters with their effect on the cursor.
#include "support/scripted_gateway.hpp"
#include "runtime/dates.hpp"

namespace tarnwick::test {
namespace {

struct Lookup : Scripted { clsLookup_List list; };

const std::string kInForce =
    "((effective_date <= '3/5/2004' and expire_date > '3/5/2004') "
    "or (effective_date <= '3/5/2004' and expire_date is null)) ";
const std::string kOrder = "order by sequence, description ";
const Date kMarch5 = dates::FromCivil({2004, 3, 5});

// A code list: codes and descriptions, with a Link column.
std::shared_ptr<Recordset> Codes(const std::vector<std::pair<Variant, std::string>>& rows) {
  std::vector<std::vector<Variant>> values;
  for (const auto& [code, description] : rows) values.push_back({code, Variant(description), Variant("link " + description)});
  return Recordset::FromRows({{"Code", DataType::VarChar}, {"Description", DataType::VarChar}, {"Link", DataType::VarChar}},
                             std::move(values));
}

TEST_F(Lookup, EachShapeOfListSendsItsText) {
  struct Case { zubList kind; std::string value1 = {}, value2 = {}, sql; };
  const Case cases[] = {
      {.kind = zubL_Office, .sql = "select * from lku_office where " + kInForce + " " + kOrder},
      // Values go in as given.
      {.kind = zubL_DocumentReason, .value1 = "O'Neil", .value2 = "ignored",
       .sql = "select * from lks_document_reason where group_code = 'O'Neil'  and " + kInForce + " " + kOrder},
      {.kind = zubL_ReportVersion, .sql = "select * from lks_report_version where 1 = 1 " + kOrder},
      {.kind = zubL_OfficerType,
       .sql = "select * from lks_name_type where is_officer = 1 or code = 'CND' and " + kInForce + " " + kOrder},
      {.kind = zubL_ReportSubType, .value1 = "1",
       .sql = "select * from lku_report_sub_type where is_scheduled = 1  and " + kInForce + " " + kOrder},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    list.GetData(c.kind, kMarch5, 77, c.value1, c.value2);
    EXPECT_EQ(Calls().back(), Opened(c.sql));
  }
}

TEST_F(Lookup, AReloadWithoutAKindReusesTheLastTableAndDatesAreWrittenInFull) {
  EXPECT_FALSE(list.GetData());
  const std::string since1900 = "((effective_date <= '1/1/1900' and expire_date > '1/1/1900') or (effective_date <= "
                                "'1/1/1900' and expire_date is null))  ";
  EXPECT_EQ(Calls().back(), Opened("select * from  where " + since1900 + kOrder)) << "the database refuses it";
  list.GetData(zubL_Office, kMarch5);
  list.GetData();
  EXPECT_EQ(Calls().back(), Opened("select * from lku_office where " + since1900 + kOrder));
  // The date with its time of day, its day and a four-digit year, where the runtime would write the time alone or a
  // short year.
  for (const auto& [date, text] : std::vector<std::pair<Date, std::string>>{
           {dates::FromCivil({2004, 3, 5, 14, 30, 0}), "3/5/2004 2:30:00 PM"},
           {Date{0.75}, "12/30/1899 6:00:00 PM"},
           {dates::FromCivil({100, 1, 1}), "1/1/0100"}}) {
    list.GetData(zubL_Office, date);
    EXPECT_NE(Calls().back().find("effective_date <= '" + text + "' and expire_date > '" + text + "'"), std::string::npos);
  }
}

TEST_F(Lookup, GetDataReportsErrorTextsQuietlyAndRunTimeFailuresWithItsName) {
  script->Answer("OpenRecordset", {.result = Codes({{Variant("A"), "Alpha"}})});
  EXPECT_TRUE(list.GetData(zubL_Office));
  EXPECT_FALSE(list.GetData(zubL_Office)) << "no rows";
  script->Answer("OpenRecordset", {.errorText = "no such table"});
  EXPECT_FALSE(list.GetData(zubL_Office));
  script->Answer("OpenRecordset", {.raise = RuntimeError(3709, "Gateway", "connection closed")});
  EXPECT_EQ(ExpectRaises(3709, [&] { list.GetData(zubL_Office); }).Source(), "Gateway (clsLookupList.GetData)");
}

TEST_F(Lookup, LookupsRowNumbersAndFiltersMoveTheCursorAsTheyShould) {
  script->Answer("OpenRecordset", {.result = Codes({{Variant(" X "), "first"}, {Variant::Null(), "no code"},
                                                    {Variant(std::int32_t{7}), "seven"}, {Variant("X"), "second"}})});
  ASSERT_TRUE(list.GetData(zubL_Office));
  EXPECT_EQ(list.GetDescription("X"), "second") << "the last row with the code decides";
  EXPECT_TRUE(list.EndOfFile()) << "a lookup leaves the cursor after the last row";
  EXPECT_EQ(list.GetLink("  7"), "link seven") << "a number code compares by its text";
  EXPECT_EQ(list.GetDescription("x"), "") << "letter case counts";
  EXPECT_EQ(list.GetDescription(""), "") << "a Null code never matches";

  script->Answer("OpenRecordset", {.result = Codes({{Variant("A"), "Alpha"}, {Variant("B"), "Beta"},
                                                    {Variant("C"), "Gamma"}, {Variant("D"), "Delta"}})});
  ASSERT_TRUE(list.GetData(zubL_Office));
  list.Index(3);
  EXPECT_EQ(list.FindIndex("B"), 2);
  EXPECT_EQ(list.Code(), "C") << "put back where it stood";
  EXPECT_EQ(list.FindIndex("Z", "Beta"), -1) << "the description is not tried when a code is given";
  list.Index(1);
  EXPECT_EQ(list.Code(), "A") << "the first row can be chosen too";
  ExpectRaises(err::kBadCriteria, [&] { list.FindIndex("it's"); });
  list.ListFilter("Code > 'A' AND Code < 'D'");
  EXPECT_EQ((std::tuple{list.RecordCount(), list.FindIndex("C")}), std::tuple(2, 2));
  EXPECT_EQ(list.GetDescription("D"), "") << "lookups see only the rows let through";
  list.ListFilter("Code = 'Q'");
  EXPECT_EQ(list.ListFilter(), "") << "no row left";
  ExpectRaises(err::kBadCriteria, [&] { list.ListFilter("Code = = 'A'"); });
  EXPECT_EQ(list.RecordCount(), 0) << "a refused filter changes nothing";
}

}  // namespace
}  // namespace tarnwick::test
