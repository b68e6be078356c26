// Values between the office database and Variants: ISO dates, declared
// types and parameter lists.
#include <gtest/gtest.h>

#include <string>

#include "gateway/sqlite/values.hpp"
#include "gateway/sqlite/procedure.hpp"
#include "runtime/dates.hpp"

namespace tarnwick::test {
namespace {

using namespace sqlite;
using namespace sqlite::engine_detail;

TEST(EngineValues, IsoDatesReadAsTheRuntimeCountsThem) {
  const dates::Civil samples[] = {{1899, 12, 30}, {1899, 12, 29, 12, 0, 0}, {1900, 1, 1},
                                  {2004, 3, 5, 14, 30, 0}, {2000, 2, 29, 23, 59, 59}, {100, 1, 1},
                                  {9999, 12, 31, 23, 59, 59}, {1600, 3, 1, 6, 0, 0}};
  for (const auto& c : samples) {
    const std::string iso = dates::IsoText(dates::FromCivil(c));
    const auto parsed = ParseIsoDate(iso);
    ASSERT_TRUE(parsed) << iso;
    EXPECT_NEAR(parsed->serial, dates::FromCivil(c).serial, 1e-9) << iso;
    EXPECT_EQ(dates::IsoText(*parsed), iso);
  }
  EXPECT_TRUE(ParseIsoDate("2005-03-04"));
  EXPECT_TRUE(ParseIsoDate("2005-03-04T10:11"));
  for (const char* bad : {"2005-02-29", "2005-13-01", "2005-03-04x", "2005-03-04 24:00:00", "05-03-04",
                          "2005-3-4", "", "2005-03-04 10:1"})
    EXPECT_FALSE(ParseIsoDate(bad)) << bad;
}

TEST(EngineValues, ValuesConvertToWhatTheColumnStores) {
  SqlValue out;
  using S = SqlValue::Storage;
  EXPECT_EQ(ToSqlValue(Variant(" 42 "), SqlKind::Int, out), "");
  EXPECT_EQ(out.storage, S::Integer);
  EXPECT_EQ(out.integer, 42);
  EXPECT_EQ(ToSqlValue(Variant(""), SqlKind::Int, out), "");
  EXPECT_EQ(out.storage, S::Null);
  EXPECT_EQ(ToSqlValue(Variant(""), SqlKind::Text, out), "");
  EXPECT_EQ(out.storage, S::Text);
  EXPECT_NE(ToSqlValue(Variant("40000"), SqlKind::SmallInt, out), "");
  EXPECT_NE(ToSqlValue(Variant("Yes"), SqlKind::Bit, out), "");
  EXPECT_EQ(ToSqlValue(Variant("False"), SqlKind::Bit, out), "");
  EXPECT_EQ(out.integer, 0);
  EXPECT_EQ(ToSqlValue(Variant(true), SqlKind::Int, out), "");
  EXPECT_EQ(out.integer, 1);
  EXPECT_EQ(ToSqlValue(Variant("03/04/2005"), SqlKind::DateTime, out), "");
  EXPECT_EQ(out.text, "2005-03-04 00:00:00");
  EXPECT_EQ(ToSqlValue(Variant(dates::FromCivil({2005, 3, 4, 14, 30, 0})), SqlKind::None, out), "");
  EXPECT_EQ(out.text, "2005-03-04 14:30:00");
  EXPECT_EQ(ToSqlValue(Variant("-12.34"), SqlKind::Money, out), "");
  EXPECT_DOUBLE_EQ(out.real, -12.34);
  EXPECT_NE(ToSqlValue(Variant("abc"), SqlKind::Binary, out), "");
  EXPECT_NE(ToSqlValue(Variant(Bytes{1}), SqlKind::Int, out), "");

  EXPECT_EQ(KindOfDeclaredType("VARCHAR(50)"), SqlKind::Text);
  EXPECT_EQ(KindOfDeclaredType("money not null"), SqlKind::Money);
  EXPECT_EQ(KindOfDeclaredType("unsigned big int"), SqlKind::Int);
  EXPECT_EQ(KindOfDeclaredType(""), SqlKind::None);
}

TEST(EngineValues, ParameterListsParseOrFailClearly) {
  std::vector<ProcedureParameter> params;
  ASSERT_EQ(ParseParameterList("@Org_id int, @amount decimal(10, 2),\n @Unique_id int OUTPUT, @note text out",
                               params),
            "");
  ASSERT_EQ(params.size(), 4u);
  EXPECT_EQ(params[1].type, "decimal(10, 2)");
  EXPECT_EQ(params[1].kind, SqlKind::Real);
  EXPECT_FALSE(params[0].output);
  EXPECT_TRUE(params[2].output);
  EXPECT_TRUE(params[3].output);
  EXPECT_EQ(params[3].kind, SqlKind::Text);
  EXPECT_EQ(ParseParameterList("  ", params), "");
  EXPECT_TRUE(params.empty());
  EXPECT_NE(ParseParameterList("org_id int", params), "");
  EXPECT_NE(ParseParameterList("@a int, @A int", params), "");
  EXPECT_NE(ParseParameterList("@a int,, @b int", params), "");
  EXPECT_NE(ParseParameterList("@a decimal(10, 2", params), "");
}

}  // namespace
}  // namespace tarnwick::test
