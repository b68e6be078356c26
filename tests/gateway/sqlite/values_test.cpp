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

// How a value is stored in a column of each kind: "refused" when it cannot be.
TEST(EngineValues, ValuesConvertToWhatTheColumnStores) {
  const auto stored = [](const Variant& value, SqlKind kind) -> std::string {
    SqlValue out;
    if (!ToSqlValue(value, kind, out).empty()) return "refused";
    switch (out.storage) {
      case SqlValue::Storage::Null: return "null";
      case SqlValue::Storage::Integer: return "integer " + std::to_string(out.integer);
      case SqlValue::Storage::Real: return "real " + Variant(out.real).CStr();
      case SqlValue::Storage::Text: return "text " + out.text;
      case SqlValue::Storage::Blob: return "blob";
    }
    return "?";
  };
  struct Case {
    Variant value;
    SqlKind kind;
    std::string stored;
  };
  const Case cases[] = {
      {.value = Variant(" 42 "), .kind = SqlKind::Int, .stored = "integer 42"},
      {.value = Variant(""), .kind = SqlKind::Int, .stored = "null"},  // empty text is Null but for text
      {.value = Variant(""), .kind = SqlKind::Text, .stored = "text "},
      {.value = Variant("40000"), .kind = SqlKind::SmallInt, .stored = "refused"},
      {.value = Variant("Yes"), .kind = SqlKind::Bit, .stored = "refused"},
      {.value = Variant("False"), .kind = SqlKind::Bit, .stored = "integer 0"},
      {.value = Variant(true), .kind = SqlKind::Int, .stored = "integer 1"},
      {.value = Variant("03/04/2005"), .kind = SqlKind::DateTime, .stored = "text 2005-03-04 00:00:00"},
      {.value = Variant(dates::FromCivil({2005, 3, 4, 14, 30, 0})), .kind = SqlKind::None,
       .stored = "text 2005-03-04 14:30:00"},
      {.value = Variant("-12.34"), .kind = SqlKind::Money, .stored = "real -12.34"},
      {.value = Variant("abc"), .kind = SqlKind::Binary, .stored = "refused"},
      {.value = Variant(Bytes{1}), .kind = SqlKind::Int, .stored = "refused"},
  };
  for (const Case& c : cases) EXPECT_EQ(stored(c.value, c.kind), c.stored) << c.value.CStr();

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
