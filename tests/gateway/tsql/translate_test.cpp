// Translation of T-SQL texts: what comes out for SQLite, procedure calls,
// and positioned error texts for texts that do not parse.
#include <gtest/gtest.h>

#include <string>

#include "gateway/sqlite/render.hpp"
#include "gateway/tsql/translate.hpp"

namespace tarnwick::test {
namespace {

using namespace tsql;

std::string ErrorOf(const std::string& tsql) {
  Translation t;
  return Translate(tsql, sqlite::Renderer(), t);
}

// One text per rule of the rendering (what the texts mean when run is in
// execution_test.cpp and on both engines in tests/gateway/engines/).
TEST(TsqlTranslate, RendersServerDialectForSqlite) {
  struct Case {
    const char* tsql;
    const char* sql;
  };
  const Case cases[] = {
      {.tsql = "select top 5 [first name], N'x' as 'alias', isnull(a, 0) from dbo.ref_org with (nolock);",
       .sql = "SELECT \"first name\", 'x' AS \"alias\", coalesce(a, 0) FROM ref_org LIMIT 5"},
      // Texts compared with a literal text ignore letter case; numbers need not.
      {.tsql = "select * from t where code = 'cnd' and n = 1 and a = b",
       .sql = "SELECT * FROM t WHERE code = 'cnd' COLLATE NOCASE AND n = 1 AND a = b"},
      // Date texts compared with anything but a text become ISO texts.
      {.tsql = "select * from t where d <= '1/1/1900' and e between '12/31/2004' and '3/4/2005 2:30:00 PM'",
       .sql = "SELECT * FROM t WHERE d <= '1900-01-01 00:00:00' COLLATE NOCASE AND e BETWEEN "
              "'2004-12-31 00:00:00' COLLATE NOCASE AND '2005-03-04 14:30:00' COLLATE NOCASE"},
      // The day of a column compared with a date becomes a range on the
      // column; other cast operands and an equality with a time of day stay.
      {.tsql = "select * from t where cast(RD.d as date) >= '10/21/2004' and '10/26/2004' >= cast(d as date) "
               "and cast(e as date) = '2004-02-28' and cast(e + 1 as date) >= '1/1/2004' "
               "and cast(e as date) = '1/1/2004 2:30 PM'",
       .sql = "SELECT * FROM t WHERE RD.d >= '2004-10-21' AND d < '2004-10-27' AND (e >= '2004-02-28' AND e < "
              "'2004-02-29') AND tw_cast_date(tw_add(e, 1)) >= '2004-01-01 00:00:00' COLLATE NOCASE AND "
              "tw_cast_date(e) = '2004-01-01 14:30:00' COLLATE NOCASE"},
      // Precedence survives the rewriting; -(-x) does not turn into a comment.
      {.tsql = "select - -a * (b + c) from t where not (x = 1 or y = 2) and z = 3",
       .sql = "SELECT - -a * tw_add(b, c) FROM t WHERE NOT (x = 1 OR y = 2) AND z = 3"},
      // A bare ORDER BY name means the listed column, as on the server.
      {.tsql = "select OC.inhouse_name, rd.x as y from a rd left outer join b OC on rd.k = OC.k order by "
               "inhouse_name, y desc, 2",
       .sql = "SELECT OC.inhouse_name, rd.x AS \"y\" FROM a AS rd LEFT JOIN b AS OC ON rd.k = OC.k ORDER BY "
              "OC.inhouse_name COLLATE NOCASE, y COLLATE NOCASE DESC, 2 COLLATE NOCASE"},
      // TOP on one member of a UNION stays with that member.
      {.tsql = "select top 1 a from t union all select b from u order by 1",
       .sql = "SELECT * FROM (SELECT a FROM t LIMIT 1) UNION ALL SELECT b FROM u ORDER BY 1 COLLATE NOCASE"},
  };
  for (const Case& c : cases) {
    Translation t;
    EXPECT_EQ(Translate(c.tsql, sqlite::Renderer(), t), "") << c.tsql;
    EXPECT_EQ(t.kind, Translation::Kind::Query) << c.tsql;
    EXPECT_EQ(t.sql, c.sql) << c.tsql;
  }
}

TEST(TsqlTranslate, ExecBecomesProcedureCall) {
  Translation t;
  ASSERT_EQ(Translate("Exec sp_misc_reports_filed_lists -1, 'it''s', ''", sqlite::Renderer(), t), "");
  EXPECT_EQ(t.kind, Translation::Kind::Exec);
  EXPECT_EQ(t.procedure, "sp_misc_reports_filed_lists");
  ASSERT_EQ(t.arguments.size(), 3u);
  EXPECT_EQ(t.arguments[0].name, "");
  EXPECT_EQ(t.arguments[0].value, Variant(std::int32_t{-1}));
  EXPECT_EQ(t.arguments[1].value, Variant(std::string("it's")));
  EXPECT_TRUE(t.sql.empty());

  ASSERT_EQ(Translate("EXECUTE dbo.usp_x @a = 1.5, @b = NULL, @d = 3000000000;", sqlite::Renderer(), t), "");
  EXPECT_EQ(t.procedure, "usp_x");
  ASSERT_EQ(t.arguments.size(), 3u);
  EXPECT_EQ(t.arguments[0].name, "@a");
  EXPECT_EQ(t.arguments[0].value, Variant(1.5));
  EXPECT_TRUE(t.arguments[1].value.IsNull());
  EXPECT_EQ(t.arguments[2].value, Variant(3000000000.0));
}

TEST(TsqlTranslate, MalformedTextsGivePositionedErrors) {
  struct Case {
    std::string tsql, error;
  };
  const Case cases[] = {
      {.tsql = "select a, from t", .error = "Incorrect syntax near 'from' at position 10 (line 1, column 11)"},
      {.tsql = "select 'abc from t",
       .error = "Unclosed quotation mark after the character string ''abc from t' at position 7 (line 1, column 8)"},
      {.tsql = "", .error = "Incorrect syntax near the end of the text at position 0 (line 1, column 1)"},
      {.tsql = "select @x", .error = "Must declare the scalar variable \"@x\" at position 7 (line 1, column 8)"},
      {.tsql = "select cast(a as blob) from t",
       .error = "Type 'BLOB' is not a defined system type at position 17 (line 1, column 18)"},
      {.tsql = "select a /* open", .error = "Missing end comment mark '*/' at position 9 (line 1, column 10)"},
      {.tsql = "exec p @a = 1, 2",
       .error = "Must pass parameter number 2 and subsequent parameters as '@name = value' at position 15 (line 1, "
                "column 16)"},
      {.tsql = std::string("select 1\0", 9), .error = "The text holds a NUL character"},
      // Deep nesting is refused, not followed down the stack.
      {.tsql = "select " + std::string(5000, '(') + "1" + std::string(5000, ')'), .error = "nested too deeply"},
  };
  for (const Case& c : cases) {
    const std::string error = ErrorOf(c.tsql);
    EXPECT_NE(error.find(c.error), std::string::npos) << c.tsql.substr(0, 40) << " gave: " << error;
  }
  std::string chain = "select 1", minus = "select ";
  for (int i = 0; i < 3000; ++i) {
    chain += " + 1";
    minus += "- ";
  }
  for (const std::string& deep : {chain, minus + "1"}) {
    EXPECT_NE(ErrorOf(deep).find("nested too deeply"), std::string::npos) << ErrorOf(deep);
  }
}

}  // namespace
}  // namespace tarnwick::test
