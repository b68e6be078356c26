// Translation of T-SQL texts: what comes out for SQLite, procedure calls,
// and positioned error texts for texts that do not parse.
#include <gtest/gtest.h>

#include <string>

#include "gateway/sqlite/render.hpp"
#include "gateway/tsql/translate.hpp"

namespace tarnwick::test {
namespace {

using namespace tsql;

std::string Sql(const std::string& tsql) {
  Translation t;
  const std::string err = Translate(tsql, sqlite::Renderer(), t);
  EXPECT_EQ(err, "") << tsql;
  EXPECT_EQ(t.kind, Translation::Kind::Query);
  return t.sql;
}

std::string ErrorOf(const std::string& tsql) {
  Translation t;
  return Translate(tsql, sqlite::Renderer(), t);
}

TEST(TsqlTranslate, RendersServerDialectForSqlite) {
  EXPECT_EQ(Sql("select top 5 [first name], N'x' as 'alias', isnull(a, 0) from dbo.ref_org with (nolock);"),
            "SELECT \"first name\", 'x' AS \"alias\", coalesce(a, 0) FROM ref_org LIMIT 5");
  EXPECT_EQ(Sql("SELECT a + b, a - 1 FROM t"), "SELECT tw_add(a, b), tw_sub(a, 1) FROM t");
  EXPECT_EQ(Sql("select getdate(), cast(d as date), cast(x as char(2)) from t"),
            "SELECT datetime('now', 'localtime'), tw_cast_date(d), tw_cast_text(x, 2, 1) FROM t");
  // Texts compared with a literal text ignore letter case; numbers need not.
  EXPECT_EQ(Sql("select * from t where code = 'cnd' and n = 1 and a = b"),
            "SELECT * FROM t WHERE code = 'cnd' COLLATE NOCASE AND n = 1 AND a = b");
  // Date texts compared with anything but a text become ISO texts.
  EXPECT_EQ(Sql("select * from t where d <= '1/1/1900' and e between '12/31/2004' and '3/4/2005 2:30:00 PM'"),
            "SELECT * FROM t WHERE d <= '1900-01-01 00:00:00' COLLATE NOCASE AND e BETWEEN "
            "'2004-12-31 00:00:00' COLLATE NOCASE AND '2005-03-04 14:30:00' COLLATE NOCASE");
  // The day of a column compared with a date becomes a range on the column;
  // other cast operands and an equality with a time of day stay as they were.
  EXPECT_EQ(Sql("select * from t where cast(RD.d as date) >= '10/21/2004' and '10/26/2004' >= cast(d as date) "
                "and cast(e as date) = '2004-02-28' and cast(e + 1 as date) >= '1/1/2004' "
                "and cast(e as date) = '1/1/2004 2:30 PM'"),
            "SELECT * FROM t WHERE RD.d >= '2004-10-21' AND d < '2004-10-27' AND (e >= '2004-02-28' AND e < "
            "'2004-02-29') AND tw_cast_date(tw_add(e, 1)) >= '2004-01-01 00:00:00' COLLATE NOCASE AND "
            "tw_cast_date(e) = '2004-01-01 14:30:00' COLLATE NOCASE");
  EXPECT_EQ(Sql("select 1 where '1/1/1900' = '1/1/1900'"),
            "SELECT 1 WHERE '1/1/1900' = '1/1/1900' COLLATE NOCASE");
  // Precedence survives the rewriting; -(-x) does not turn into a comment.
  EXPECT_EQ(Sql("select - -a * (b + c) from t where not (x = 1 or y = 2) and z = 3"),
            "SELECT - -a * tw_add(b, c) FROM t WHERE NOT (x = 1 OR y = 2) AND z = 3");
  EXPECT_EQ(Sql("select a from t where a like '[a-c]%' and b not like 'x%'"),
            "SELECT a FROM t WHERE tw_like(a, '[a-c]%') AND b NOT LIKE 'x%'");
  // A bare ORDER BY name means the listed column, as on the server.
  EXPECT_EQ(Sql("select OC.inhouse_name, rd.x as y from a rd left outer join b OC on rd.k = OC.k order by "
                "inhouse_name, y desc, 2"),
            "SELECT OC.inhouse_name, rd.x AS \"y\" FROM a AS rd LEFT JOIN b AS OC ON rd.k = OC.k ORDER BY "
            "OC.inhouse_name COLLATE NOCASE, y COLLATE NOCASE DESC, 2 COLLATE NOCASE");
  // TOP on one member of a UNION stays with that member.
  EXPECT_EQ(Sql("select top 1 a from t union all select b from u order by 1"),
            "SELECT * FROM (SELECT a FROM t LIMIT 1) UNION ALL SELECT b FROM u ORDER BY 1 COLLATE NOCASE");
  EXPECT_EQ(Sql("select x = count(*), count(distinct b) from t /* note */ -- end"),
            "SELECT count(*) AS \"x\", count(DISTINCT b) FROM t");
}

TEST(TsqlTranslate, ExecBecomesProcedureCall) {
  Translation t;
  ASSERT_EQ(Translate("exec sp_get_DOCUMENT_IMAGE -1 ", sqlite::Renderer(), t), "");
  EXPECT_EQ(t.kind, Translation::Kind::Exec);
  EXPECT_EQ(t.procedure, "sp_get_DOCUMENT_IMAGE");
  ASSERT_EQ(t.arguments.size(), 1u);
  EXPECT_EQ(t.arguments[0].name, "");
  EXPECT_EQ(t.arguments[0].value, Variant(std::int32_t{-1}));

  ASSERT_EQ(Translate("Exec sp_misc_reports_filed_lists '', 'it''s', '', '', '', '', '', ''", sqlite::Renderer(),
                      t),
            "");
  EXPECT_EQ(t.procedure, "sp_misc_reports_filed_lists");
  ASSERT_EQ(t.arguments.size(), 8u);
  EXPECT_EQ(t.arguments[1].value, Variant(std::string("it's")));
  EXPECT_TRUE(t.sql.empty());

  ASSERT_EQ(Translate("EXECUTE dbo.usp_x @a = 1.5, @b = NULL, @c = N'z', @d = 3000000000;", sqlite::Renderer(), t),
            "");
  EXPECT_EQ(t.procedure, "usp_x");
  ASSERT_EQ(t.arguments.size(), 4u);
  EXPECT_EQ(t.arguments[0].name, "@a");
  EXPECT_EQ(t.arguments[0].value, Variant(1.5));
  EXPECT_TRUE(t.arguments[1].value.IsNull());
  EXPECT_EQ(t.arguments[2].value, Variant(std::string("z")));
  EXPECT_EQ(t.arguments[3].value, Variant(3000000000.0));

  EXPECT_EQ(ErrorOf("exec p @a = 1, 2"),
            "Must pass parameter number 2 and subsequent parameters as '@name = value' at position 15 (line 1, "
            "column 16)");
}

TEST(TsqlTranslate, MalformedTextsGivePositionedErrors) {
  EXPECT_EQ(ErrorOf("select a, from t"), "Incorrect syntax near 'from' at position 10 (line 1, column 11)");
  EXPECT_EQ(ErrorOf("select a\n  FROM FROM"), "Incorrect syntax near 'FROM' at position 16 (line 2, column 8)");
  EXPECT_EQ(ErrorOf("select 'abc from t"),
            "Unclosed quotation mark after the character string ''abc from t' at position 7 (line 1, column 8)");
  EXPECT_EQ(ErrorOf("select (a from t"), "Incorrect syntax near 'from' at position 10 (line 1, column 11)");
  EXPECT_EQ(ErrorOf("select a from t where"), "Incorrect syntax near the end of the text at position 21 (line 1, "
                                              "column 22)");
  EXPECT_EQ(ErrorOf("select @x"), "Must declare the scalar variable \"@x\" at position 7 (line 1, column 8)");
  EXPECT_EQ(ErrorOf("select cast(a as blob) from t"),
            "Type 'BLOB' is not a defined system type at position 17 (line 1, column 18)");
  EXPECT_EQ(ErrorOf("select isnull(a) from t"),
            "The isnull function requires 2 argument(s) at position 7 (line 1, column 8)");
  EXPECT_EQ(ErrorOf("select a /* open"), "Missing end comment mark '*/' at position 9 (line 1, column 10)");
  EXPECT_EQ(ErrorOf("select a from t; select b from u").substr(0, 30), "Incorrect syntax near 'select'");
  EXPECT_EQ(ErrorOf(""), "Incorrect syntax near the end of the text at position 0 (line 1, column 1)");
  EXPECT_EQ(ErrorOf(std::string("select 1\0", 9)).substr(0, 32), "The text holds a NUL character a");

  // Deep nesting is refused, not followed down the stack.
  const std::string deep = "select " + std::string(5000, '(') + "1" + std::string(5000, ')');
  EXPECT_NE(ErrorOf(deep).find("nested too deeply"), std::string::npos);
  std::string chain = "select 1";
  for (int i = 0; i < 3000; ++i) chain += " + 1";
  EXPECT_NE(ErrorOf(chain).find("nested too deeply"), std::string::npos);
  std::string minus = "select " + std::string(3000, '-') + "1";
  EXPECT_NE(ErrorOf(minus), "");
}

}  // namespace
}  // namespace tarnwick::test
