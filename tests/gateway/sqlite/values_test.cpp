// Values between the office database and Variants: ISO dates, the forms a
// value takes in a column of each kind, and procedure parameter lists. (What
// a procedure call stores in the file is in engine_test.cpp.)
#include <gtest/gtest.h>

#include <string>

#include "gateway/sqlite/procedure.hpp"
#include "gateway/sqlite/values.hpp"
#include "runtime/dates.hpp"

namespace tarnwick::test {
namespace {

using namespace sqlite;
using namespace sqlite::engine_detail;

TEST(EngineValues, IsoDatesReadAsTheRuntimeCountsThem) {
  // Before 1899-12-30 the serial is negative with a positive time of day.
  for (const dates::Civil& c : {dates::Civil{1899, 12, 29, 12, 0, 0}, dates::Civil{2000, 2, 29, 23, 59, 59},
                                dates::Civil{100, 1, 1}, dates::Civil{9999, 12, 31, 23, 59, 59}}) {
    const std::string iso = dates::IsoText(dates::FromCivil(c));
    const auto parsed = ParseIsoDate(iso);
    ASSERT_TRUE(parsed) << iso;
    EXPECT_NEAR(parsed->serial, dates::FromCivil(c).serial, 1e-9) << iso;
  }
  EXPECT_TRUE(ParseIsoDate("2005-03-04") && ParseIsoDate("2005-03-04T10:11"));
  for (const char* bad : {"2005-02-29", "2005-13-01", "2005-03-04x", "2005-03-04 24:00:00", "2005-3-4", ""})
    EXPECT_FALSE(ParseIsoDate(bad)) << bad;
}

TEST(EngineValues, ValuesConvertToWhatTheColumnStoresOrAreRefused) {
  struct Case {
    Variant value;
    SqlKind kind;
    bool refused;
  };
  for (const Case& c : {Case{.value = Variant(""), .kind = SqlKind::Int, .refused = false},
                        Case{.value = Variant("40000"), .kind = SqlKind::SmallInt, .refused = true},
                        Case{.value = Variant("Yes"), .kind = SqlKind::Bit, .refused = true},
                        Case{.value = Variant("abc"), .kind = SqlKind::Binary, .refused = true},
                        Case{.value = Variant(Bytes{1}), .kind = SqlKind::Int, .refused = true}}) {
    SqlValue out;
    EXPECT_EQ(!ToSqlValue(c.value, c.kind, out).empty(), c.refused) << c.value.CStr();
    if (!c.refused) { EXPECT_EQ(out.storage, SqlValue::Storage::Null); }  // empty text: Null but for text
  }
  EXPECT_EQ(KindOfDeclaredType("money not null"), SqlKind::Money);
  EXPECT_EQ(KindOfDeclaredType("unsigned big int"), SqlKind::Int);
}

TEST(EngineValues, ParameterListsParseOrFailClearly) {
  std::vector<ProcedureParameter> params;
  ASSERT_EQ(ParseParameterList("@Org_id int, @amount decimal(10, 2),\n @Unique_id int OUTPUT, @note text out", params),
            "");
  ASSERT_EQ(params.size(), 4u);
  EXPECT_EQ(params[1].type, "decimal(10, 2)");
  EXPECT_EQ(params[1].kind, SqlKind::Real);
  EXPECT_TRUE(!params[0].output && params[2].output && params[3].output);
  for (const char* bad : {"org_id int", "@a int, @A int", "@a int,, @b int", "@a decimal(10, 2"})
    EXPECT_NE(ParseParameterList(bad, params), "") << bad;
}

}  // namespace
}  // namespace tarnwick::test
