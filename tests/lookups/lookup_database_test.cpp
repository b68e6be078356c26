// The code lists on a sample office database: every list kind against the
// codes the tables hold in force on the chosen date, in the list's order, and
// the lookups, row numbers and filters on real lists.
#include <memory>
#include <stdexcept>

#include "support/scripted_gateway.hpp"
#include "support/sample_office.hpp"
#include "runtime/dates.hpp"

namespace tarnwick::test {
namespace {

class LookupOffice : public SampleOfficeSuite<2000> {
 protected:
  static std::unique_ptr<clsLookup_List> List() { return Connected<clsLookup_List>(); }

  // The rows of a list as "code|description", walked from the first row.
  static std::vector<std::string> Walk(clsLookup_List& list) {
    std::vector<std::string> rows;
    if (!list.DataReady()) return rows;
    for (list.MoveFirst(); !list.EndOfFile(); list.MoveNext()) rows.push_back(list.Code() + "|" + list.Description());
    return rows;
  }

  // The same rows straight from the file.
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

Date Day(int year, int month, int day, int hour = 0, int minute = 0) {
  return dates::FromCivil({year, month, day, hour, minute, 0});
}

TEST_P(LookupOffice, EveryListKindHoldsTheCodesInForceOnTheDateInItsOrder) {
  auto list = List();
  struct Case {
    zubList kind;
    std::string table, condition = "1 = 1", order = "Sequence, Description";
  };
  const std::vector<Case> cases = {
      {zubL_DeliveryMethod, "lks_delivery_method"},
      {zubL_DocumentType, "lks_document_type"},
      {zubL_CommitteeType, "lks_committee_type", "Code <> 'NRR'"},
      {zubL_NameType, "lks_name_type"},
      {zubL_CommitteeLevel, "lks_committee_level"},
      {zubL_OrgStatus, "lks_org_status"},
      {zubL_Office, "lku_office"},
      {zubL_Party, "lku_party", "1 = 1", "Sequence"},
      {zubL_OfficerType, "lks_name_type", "is_officer = true or Code = 'CND'"},
      {zubL_AffCommitteeType, "lks_committee_type"},
      {zubL_Penalty_Appeal_Decision, "lks_penalty_appeal_decision"},
  };
  // Before and after codes expired (Telex 1999, microfilm cards 2003, the
  // superintendent 2006), and with a time of day on the date itself.
  for (const auto& [when, iso] : std::vector<std::pair<Date, std::string>>{
           {Day(1998, 6, 15), "1998-06-15 00:00:00"},
           {Day(2003, 1, 1), "2003-01-01 00:00:00"},
           {Day(2005, 3, 4, 14, 30), "2005-03-04 14:30:00"}}) {
    for (const Case& c : cases) {
      const std::vector<std::string> expected = InForce(c.table, iso, c.condition, c.order);
      ASSERT_FALSE(expected.empty()) << c.table;
      EXPECT_TRUE(list->GetData(c.kind, when));
      EXPECT_EQ(Walk(*list), expected) << c.table << " on " << iso;
    }
    EXPECT_TRUE(list->GetData(zubL_DocumentReason, when, -1, "COR"));
    EXPECT_EQ(Walk(*list), InForce("lks_document_reason", iso, "group_code = 'COR'"));
    EXPECT_TRUE(list->GetData(zubL_DocumentSubType, when, -1, "R"));
    EXPECT_EQ(Walk(*list), InForce("lku_document_sub_type", iso, "doc_type_code like 'R%'", "Description"));
    EXPECT_TRUE(list->GetData(zubL_ReportSubType, when));
    EXPECT_EQ(Walk(*list), InForce("lku_report_sub_type", iso));
    EXPECT_TRUE(list->GetData(zubL_ReportSubType, when, -1, "0"));
    EXPECT_EQ(Walk(*list), InForce("lku_report_sub_type", iso, "is_scheduled = false"));
  }
  // The expired codes are there on the earlier date only.
  ASSERT_TRUE(list->GetData(zubL_DocumentType, Day(2002, 12, 31)));
  EXPECT_EQ(list->GetDescription("MFI"), "Microfilm index card");
  ASSERT_TRUE(list->GetData(zubL_DocumentType, Day(2002, 12, 31, 23, 59)));
  EXPECT_EQ(list->GetDescription("MFI"), "Microfilm index card") << "the time of day is read too";
  ASSERT_TRUE(list->GetData(zubL_DocumentType, Day(2003, 1, 1)));
  EXPECT_EQ(list->GetDescription("MFI"), "") << "expires on the day itself";

  // Report versions ignore the date: the expired supplement stays.
  ASSERT_TRUE(list->GetData(zubL_ReportVersion, Day(2020, 1, 1)));
  EXPECT_EQ(Walk(*list), Expected("select Code, Description from lks_report_version order by Sequence, Description"));
  // No date given: the codes in force on 1 January 1900.
  ASSERT_TRUE(list->GetData(zubL_DeliveryMethod));
  EXPECT_EQ(Walk(*list), InForce("lks_delivery_method", "1900-01-01 00:00:00"));
}

TEST_P(LookupOffice, UsersOfficersAndCountiesHaveListsOfTheirOwn) {
  auto list = List();
  ASSERT_TRUE(list->GetData(zubL_Users, Day(1950, 1, 1), 7, "x", "y"));
  const std::vector<std::string> users = Walk(*list);
  EXPECT_EQ(users, Expected("select unique_id, user_name from ref_user where end_date is null and "
                            "is_system_user = false order by user_name"));
  EXPECT_FALSE(users.empty());
  ExpectRaises(err::kItemNotFound, [&] { list->Sequence(); });

  // The open officer terms of one committee in one role, with their names.
  const std::string group = Query(
      "select org_group_id from org_officers where name_type_code = 'TRS' and trans_end_date is null "
      "and org_group_id in (select org_group_id from org_officers where trans_end_date is not null) limit 1");
  ASSERT_TRUE(list->GetData(zubL_OfficerName, Day(2000, 1, 1), -1, group, "TRS"));
  EXPECT_EQ(Walk(*list),
            Expected("select o.group_id, rtrim(coalesce(na.first_name, '') || ' ' || coalesce(na.middle_name, '')) || "
                     "' ' || coalesce(na.last_name, '') from org_officers o join org_name_address na on "
                     "na.unique_id = o.entity_id where o.trans_end_date is null and o.name_type_code = 'TRS' and "
                     "o.org_group_id = " +
                     group));
  EXPECT_EQ(list->RecordCount(), 1) << "the former treasurer is not listed";
  EXPECT_FALSE(list->GetData(zubL_OfficerName, Day(2000, 1, 1), -1, group, "XXX"));

  // Counties in the state's order after the State row, whatever the date.
  ASSERT_TRUE(list->GetData(zubL_County, Day(1950, 1, 1)));
  std::vector<std::string> counties = Walk(*list);
  ASSERT_FALSE(counties.empty());
  EXPECT_EQ(counties.front(), "STA|State");
  counties.erase(counties.begin());
  EXPECT_EQ(counties, Expected("select Code, Description from LKS_COUNTY order by Velm_id"));
  EXPECT_EQ(list->GetDescription("TUL"), "Tulley") << "expired counties stay";
  ExpectRaises(err::kItemNotFound, [&] {
    list->MoveFirst();
    list->EffectiveDate();
  });
}

TEST_P(LookupOffice, LookupsRowNumbersAndFiltersWorkOnRealLists) {
  auto list = List();
  ASSERT_TRUE(list->GetData(zubL_DeliveryMethod, Day(2004, 1, 1)));
  EXPECT_EQ(list->GetDescription(" HAN "), "Hand delivered");
  EXPECT_EQ(list->GetLink("FAX"), "Date faxed");
  EXPECT_EQ(list->GetLink("han"), "") << "codes compare with their letter case";
  EXPECT_TRUE(list->EndOfFile());
  ASSERT_TRUE(list->GetData(zubL_DocumentType, Day(2004, 1, 1)));
  EXPECT_EQ(list->GetBitCheck("RPT"), "True");
  EXPECT_EQ(list->GetBitCheck("MSC"), "False");
  EXPECT_EQ(list->GetLink("MSC"), "0 ") << "the flag as two characters";
  ASSERT_TRUE(list->GetData(zubL_ReportSubType, Day(2004, 1, 1)));
  EXPECT_EQ(list->GetDelta("YE"), "31");
  ExpectRaises(err::kItemNotFound, [&] { list->GetLink("YE"); });

  // Row numbers on the offices of 2004 (the superintendent still in office), then among the "State" offices.
  ASSERT_TRUE(list->GetData(zubL_Office, Day(2004, 1, 1)));
  list->Index(3);
  EXPECT_EQ(list->FindIndex("", "Mayor"), 10);
  EXPECT_EQ(list->Code(), "ATG") << "the cursor is put back";
  EXPECT_EQ(list->EffectiveDate(), "01/01/1900");
  EXPECT_EQ(list->ExpireDate(), "");
  list->ListFilter("Description LIKE 'State*'");
  EXPECT_EQ(list->RecordCount(), 3);
  EXPECT_EQ(list->FindIndex("REP"), 3);
  EXPECT_EQ(list->FindIndex("GOV"), -1);
  list->ListFilter("0");
  EXPECT_EQ(list->RecordCount(), 11);
}

TEST_P(LookupOffice, HostileArgumentsGiveFalseOrAnErrorNeverACrash) {
  auto list = List();
  EXPECT_FALSE(list->GetData()) << "no list loaded yet: the text names no table";
  EXPECT_FALSE(list->GetData(static_cast<zubList>(99)));
  for (const std::string& bad : {std::string("COR'"), std::string("%_*?"), std::string(20000, 'x'),
                                 std::string("Zo\xc3\xab \xe2\x82\xac")}) {
    EXPECT_FALSE(list->GetData(zubL_DocumentReason, Day(2004, 1, 1), -1, bad)) << bad.substr(0, 20);
    EXPECT_FALSE(list->GetData(zubL_OfficerName, Day(2004, 1, 1), -1, bad, bad)) << bad.substr(0, 20);
    EXPECT_FALSE(list->GetData(zubL_ReportSubType, Day(2004, 1, 1), -1, bad)) << bad.substr(0, 20);
  }
  // A date far from today still reads back as itself.
  EXPECT_TRUE(list->GetData(zubL_Office, Day(9999, 12, 31, 23, 59)));
  EXPECT_EQ(list->GetDescription("CMP"), "State comptroller");
  EXPECT_FALSE(list->GetData(zubL_Office, Day(1899, 12, 31))) << "before any code came into force";
  // Late-bound the same way, with the list named by a number in text.
  std::shared_ptr<Object> late = CreateObject("Tarnwick.clsLookup_List");
  late->Call("ConnectionVariables", {file_, "embedded", "", "", false});
  EXPECT_TRUE(late->Call("GetData", {"9", "1/1/2004"}).CBool());
  EXPECT_EQ(late->Call("GetDescription", {"GOV"}).CStr(), "Governor");
  ExpectRaises(err::kTypeMismatch, [&] { late->Call("GetData", {"Office"}); });
}

}  // namespace
}  // namespace tarnwick::test
