// The code lists on a sample office database: every list kind against the
// codes the tables hold in force on the chosen date, in the list's order, and
// the lookups, row numbers and filters on real lists.

#include "support/sample_office.hpp"
#include "runtime/dates.hpp"

namespace tarnwick::test {
namespace {

class LookupOffice : public SampleOfficeSuite<2000> {
 protected:
  // The rows of a list as "code|description", walked from the first row.
  static std::vector<std::string> Walk(clsLookup_List& list) {
    std::vector<std::string> rows;
    if (!list.DataReady()) return rows;
    for (list.MoveFirst(); !list.EndOfFile(); list.MoveNext()) rows.push_back(list.Code() + "|" + list.Description());
    return rows;
  }
  // The same rows straight from the database.
  static std::vector<std::string> Expected(const std::string& sql) {
    std::vector<std::string> rows;
    for (const auto& row : QueryRows(sql)) rows.push_back(row.at(0) + "|" + row.at(1));
    return rows;
  }
  // Codes of a table in force on an ISO date, with an extra condition, in an order.
  static std::vector<std::string> InForce(const std::string& table, const std::string& iso,
                                          const std::string& condition = "1 = 1",
                                          const std::string& order = "Sequence, Description") {
    return Expected("select Code, Description from " + table + " where (" + condition + ") and effective_date <= '" +
                    iso + "' and (expire_date > '" + iso + "' or expire_date is null) order by " + order);
  }
};

TW_ON_BOTH_ENGINES(LookupOffice);

Date Day(int year, int month, int day, int hour = 0, int minute = 0) { return dates::FromCivil({year, month, day, hour, minute, 0}); }

TEST_P(LookupOffice, EveryListKindHoldsTheCodesInForceOnTheDateInItsOrder) {
  auto list = Connected<clsLookup_List>();
  struct Case { zubList kind; std::string value = {}, table, condition = "1 = 1", order = "Sequence, Description"; };
  const Case cases[] = {
      {.kind = zubL_DeliveryMethod, .table = "lks_delivery_method"},
      {.kind = zubL_DocumentType, .table = "lks_document_type"},
      {.kind = zubL_CommitteeType, .table = "lks_committee_type", .condition = "Code <> 'NRR'"},
      {.kind = zubL_Office, .table = "lku_office"},
      {.kind = zubL_Party, .table = "lku_party", .order = "Sequence"},
      {.kind = zubL_OfficerType, .table = "lks_name_type", .condition = "is_officer = true or Code = 'CND'"},
      {.kind = zubL_DocumentReason, .value = "COR", .table = "lks_document_reason", .condition = "group_code = 'COR'"},
      {.kind = zubL_DocumentSubType, .value = "R", .table = "lku_document_sub_type",
       .condition = "doc_type_code like 'R%'", .order = "Description"},
      {.kind = zubL_ReportSubType, .value = "0", .table = "lku_report_sub_type", .condition = "is_scheduled = false"}};
  // Before and after codes expired (Telex 1999, microfilm cards 2003, the
  // superintendent 2006), and with a time of day on the date itself.
  for (const auto& [when, iso] : std::vector<std::pair<Date, std::string>>{{Day(1998, 6, 15), "1998-06-15 00:00:00"},
                                                                           {Day(2003, 1, 1), "2003-01-01 00:00:00"},
                                                                           {Day(2005, 3, 4, 14, 30), "2005-03-04 14:30:00"}}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.table + " on " + iso);
      const std::vector<std::string> expected = InForce(c.table, iso, c.condition, c.order);
      ASSERT_FALSE(expected.empty());
      EXPECT_TRUE(list->GetData(c.kind, when, -1, c.value));
      EXPECT_EQ(Walk(*list), expected);
    }
  }
  // A code is in force up to the day before it expires, time of day included.
  ASSERT_TRUE(list->GetData(zubL_DocumentType, Day(2002, 12, 31, 23, 59)));
  EXPECT_EQ(list->GetDescription("MFI"), "Microfilm index card");
  ASSERT_TRUE(list->GetData(zubL_DocumentType, Day(2003, 1, 1)));
  EXPECT_EQ(list->GetDescription("MFI"), "") << "expires on the day itself";
  // Report versions ignore the date: the expired supplement stays.
  ASSERT_TRUE(list->GetData(zubL_ReportVersion, Day(2020, 1, 1)));
  EXPECT_EQ(Walk(*list), Expected("select Code, Description from lks_report_version order by Sequence, Description"));
}

TEST_P(LookupOffice, UsersOfficersAndCountiesHaveListsOfTheirOwnAndComputedColumnsRead) {
  auto list = Connected<clsLookup_List>();
  ASSERT_TRUE(list->GetData(zubL_Users, Day(1950, 1, 1), 7, "x", "y"));
  EXPECT_EQ(Walk(*list), Expected("select unique_id, user_name from ref_user where end_date is null and "
                                  "is_system_user = false order by user_name"));
  // The open officer terms of one committee in one role, with their names.
  const std::string group = Query(
      "select org_group_id from org_officers where name_type_code = 'TRS' and trans_end_date is null "
      "and org_group_id in (select org_group_id from org_officers where trans_end_date is not null) limit 1");
  ASSERT_TRUE(list->GetData(zubL_OfficerName, Day(2000, 1, 1), -1, group, "TRS"));
  EXPECT_EQ(Walk(*list), Expected("select o.group_id, rtrim(coalesce(na.first_name, '') || ' ' || "
                                  "coalesce(na.middle_name, '')) || ' ' || coalesce(na.last_name, '') from org_officers "
                                  "o join org_name_address na on na.unique_id = o.entity_id where o.trans_end_date is "
                                  "null and o.name_type_code = 'TRS' and o.org_group_id = " + group));
  EXPECT_EQ(list->RecordCount(), 1) << "the former treasurer is not listed";
  // Counties in the state's order after the State row, whatever the date.
  ASSERT_TRUE(list->GetData(zubL_County, Day(1950, 1, 1)));
  std::vector<std::string> counties = Walk(*list);
  ASSERT_FALSE(counties.empty());
  EXPECT_EQ(counties.front(), "STA|State");
  counties.erase(counties.begin());
  EXPECT_EQ(counties, Expected("select Code, Description from LKS_COUNTY order by Velm_id"));

  // Columns the list texts compute, and a date before any code came into force.
  ASSERT_TRUE(list->GetData(zubL_DeliveryMethod, Day(2004, 1, 1)));
  EXPECT_EQ(list->GetLink("FAX"), "Date faxed");
  ASSERT_TRUE(list->GetData(zubL_DocumentType, Day(2004, 1, 1)));
  EXPECT_EQ(list->GetBitCheck("RPT") + "|" + list->GetLink("MSC"), "True|0 ") << "the link flag as two characters";
  ASSERT_TRUE(list->GetData(zubL_ReportSubType, Day(2004, 1, 1)));
  EXPECT_EQ(list->GetDelta("YE"), "31");
  EXPECT_FALSE(list->GetData(zubL_Office, Day(1899, 12, 31)));
}

}  // namespace
}  // namespace tarnwick::test
