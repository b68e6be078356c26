// T-SQL texts translated for SQLite: what comes out, procedure calls, and
// positioned error texts for texts that do not parse; then the translated
// texts run on an in-memory SQLite database: the server's meaning of +,
// isnull, date texts, CAST, letter case, ordering, TOP, UNION, joins and
// derived tables must hold in the rows that come back. The rules both engines
// share are run on both in tests/gateway/engines/; these are the finer points.

#include <memory>
#include <utility>

#include "gateway/sqlite/render.hpp"
#include "gateway/tsql/translate.hpp"
#include "support/office_files.hpp"

namespace tarnwick::test {
namespace {

using namespace tsql;
using Table = std::vector<std::vector<std::string>>;

// An in-memory database with the T-SQL functions (a writing Db registers
// them) that runs translated texts.
struct SqliteDb : Db {
  SqliteDb() : Db(":memory:", true) {}
  // Translates a T-SQL text and runs it: the translation's or SQLite's error
  // text, or "" and the rows, each value as text (NULL as "NULL").
  std::string Query(const std::string& tsql, Table& rows) const {
    Translation t;
    if (std::string err = Translate(tsql, sqlite::Renderer(), t); !err.empty()) return "translate: " + err;
    try {
      rows = Rows(t.sql, "NULL");
    } catch (const std::exception& e) {
      return e.what();
    }
    return {};
  }
};

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
    EXPECT_TRUE(t.kind == Translation::Kind::Query && t.sql == c.sql) << c.tsql << "\n gave: " << t.sql;
  }
}

// An exec text becomes a call: the procedure's name without its owner, and
// each argument's name (if given), kind (L Long, D Double, ' text) and value.
TEST(TsqlTranslate, ExecBecomesProcedureCall) {
  const auto call = [](const char* tsql) {
    Translation t;
    std::string out = Translate(tsql, sqlite::Renderer(), t);
    EXPECT_EQ(t.kind, Translation::Kind::Exec) << tsql;
    EXPECT_TRUE(t.sql.empty()) << tsql;
    out += t.procedure;
    for (const auto& a : t.arguments) {
      const VarType type = a.value.Type();
      const char* kind = type == VarType::Long ? "L" : type == VarType::Double ? "D" : "'";
      EXPECT_TRUE(a.value.IsNull() || type == VarType::Long || type == VarType::Double || type == VarType::String);
      out += " " + a.name + "=" + (a.value.IsNull() ? "Null" : kind + a.value.CStr());
    }
    return out;
  };
  EXPECT_EQ(call("Exec sp_misc_reports_filed_lists -1, 'it''s', ''"), "sp_misc_reports_filed_lists =L-1 ='it's ='");
  EXPECT_EQ(call("EXECUTE dbo.usp_x @a = 1.5, @b = NULL, @d = 3000000000;"), "usp_x @a=D1.5 @b=Null @d=D3000000000");
}

TEST(TsqlTranslate, MalformedTextsGivePositionedErrors) {
  const auto repeat = [](const std::string& part) {
    std::string out;
    for (int i = 0; i < 3000; ++i) out += part;
    return out;
  };
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
      {.tsql = "select 1" + repeat(" + 1"), .error = "nested too deeply"},
      {.tsql = "select " + repeat("- ") + "1", .error = "nested too deeply"},
  };
  for (const Case& c : cases) {
    Translation t;
    const std::string error = Translate(c.tsql, sqlite::Renderer(), t);
    EXPECT_NE(error.find(c.error), std::string::npos) << c.tsql.substr(0, 40) << " gave: " << error;
  }
}

// Each text's rows, values joined by "," and rows by ";", or a part of its error text.
TEST(TsqlRun, TextsKeepTheServersMeaning) {
  SqliteDb db;
  db.Exec(R"(
      create table people (id int, code varchar(10) collate nocase, first_name varchar(20) collate nocase,
                           last_name varchar(20) collate nocase, born datetime, amount money);
      insert into people values (1, 'CND', 'Ann', 'Smith', '1970-03-04 14:30:00', 10),
                                (2, 'trs', 'bob', NULL, '2004-12-31 00:00:00', 2.5),
                                (3, 'cnd', NULL, 'jones', NULL, NULL),
                                (4, '12', 'Cy', 'Adams', '2005-03-04 09:00:00', 7);
    )");
  struct Case {
    const char* tsql;
    std::string rows = "", error = "";
  };
  const Case cases[] = {
      // + : a text that reads as a number adds; Null joins to Null; days add to dates.
      {.tsql = "select code + 1, id + amount from people where id = 4", .rows = "13,11"},
      {.tsql = "select first_name + last_name from people where id = 2", .rows = "NULL"},
      {.tsql = "select born + 1, born - 0.5 from people where id = 2", .rows = "2005-01-01 00:00:00,2004-12-30 12:00:00"},
      {.tsql = "select first_name + 1 from people where id = 1", .error = "Conversion failed"},
      // Dates compare as stored ISO texts.
      {.tsql = "select cast(born as date), cast('3/4/2005 2:30:00 PM' as datetime) from people where id = 1",
       .rows = "1970-03-04 00:00:00,2005-03-04 14:30:00"},
      {.tsql = "select dateadd(month, 1, '2005-01-31')", .rows = "2005-02-28 00:00:00"},
      {.tsql = "select convert(varchar(10), born, 101) + ' ' + convert(varchar(8), born, 1) from people where id = 4",
       .rows = "03/04/2005 03/04/05"},
      {.tsql = "select cast('cnc' as date)", .error = "Conversion failed"},
      // Casts pad, cut, round half away from zero and refuse what does not fit.
      {.tsql = "select cast(1 as char(2)) + '|', cast('abcdef' as varchar(3)), cast(' 42 ' as int) + 1",
       .rows = "1 |,abc,43"},
      {.tsql = "select cast(amount as decimal(10, 1)), cast(2.555 as decimal(5, 2)) from people where id = 2",
       .rows = "2.5,2.56"},
      {.tsql = "select cast('1.5' as int)", .error = "Conversion failed"},
      {.tsql = "select cast(300 as tinyint)", .error = "overflow"},
      {.tsql = "select cast(12345 as char(2))", .error = "overflow"},
      // Letter case is ignored, also between computed texts and in ORDER BY.
      {.tsql = "select case when isnull(last_name, '') = '' then '' else 'X' end from people where id = 2", .rows = ""},
      {.tsql = "select top 2 last_name, id from people order by 1 desc, 2", .rows = "Smith,1;jones,3"},
      {.tsql = "select 'STA' as code, 'State' as description, 0 as velm_id union "
               "select code, first_name, id from people where 1=1 and 1=1 order by velm_id",
       .rows = "STA,State,0;CND,Ann,1;trs,bob,2;cnd,NULL,3;12,Cy,4"},
      {.tsql = "select p.id, x.n from people p left outer join (select code, count(*) as n from people "
               "group by code) as x on x.code = p.code where p.id in (select id from people where "
               "amount is not null) and exists (select 1 from people) order by p.id",
       .rows = "1,2;2,1;4,1"},
      {.tsql = "select max(id), (select count(*) from people) - 1 from people where id <> all (select 4)",
       .rows = "3,3"},
      // Text functions: start positions before the first character count but yield nothing. (len, charindex
      // and replace, case-blind, are run on both engines in tests/gateway/engines/.)
      {.tsql = "select substring('abcdef', 0, 3) + '|' + substring('abcdef', -1, 3) + '|' + substring('abcdef', 5, 10)",
       .rows = "ab|a|ef"},
      {.tsql = "select left(N'h\xc3\xa9llo', 2) + right('abc', 5) + right('abc', 0)", .rows = "h\xc3\xa9" "abc"},
      {.tsql = "select count(*) from people where last_name like '[^a-r]%' or code like '1!%' escape '!'", .rows = "1"},
      // Week 1 holds 1 January; weeks turn on Sundays (2 Jan 2005 was one).
      {.tsql = "select datepart(wk, '1/1/2005') * 10 + datepart(week, '1/2/2005')", .rows = "12"},
      {.tsql = "select datediff(week, '1/1/2005', '1/2/2005') + datediff(yy, '12/31/2004', '1/1/2005')", .rows = "2"},
      {.tsql = "select isnumeric(' 1.5e3 ') * 10 + isnumeric('1,5') + isdate('2/30/2005')", .rows = "10"},
      {.tsql = "select substring('abc', 1, -1)", .error = "Invalid length"},
      {.tsql = "select dateadd(year, 9000, '2005-01-01')", .error = "overflow"},
      {.tsql = "select convert(varchar, getdate(), 7777)", .error = "not a valid style"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tsql);
    Table rows;
    const std::string error = db.Query(c.tsql, rows);
    if (!c.error.empty()) {
      EXPECT_NE(error.find(c.error), std::string::npos) << error;
      continue;
    }
    ASSERT_EQ(error, "");
    std::string got;
    for (std::size_t r = 0; r < rows.size(); ++r)
      for (std::size_t v = 0; v < rows[r].size(); ++v) got += (r && !v ? ";" : v ? "," : "") + rows[r][v];
    EXPECT_EQ(got, c.rows);
  }
}

// cast(column as date) compared with a date is written as a range on the
// column; cast(isnull(column, null) as date) keeps the call on every row, so
// both must pick the same rows around midnight, late in the day, for Nulls,
// for date-only texts and for literals with a time of day.
TEST(TsqlDayRange, PicksTheRowsOfTheCastAndUsesTheIndex) {
  SqliteDb db;
  db.Exec(R"(
    create table doc (id int, d datetime);
    create index ix_doc_d on doc (d);
    insert into doc values (1, '2004-10-25 23:59:59'), (2, '2004-10-26 00:00:00'), (3, '2004-10-26 14:30:00'),
                           (4, '2004-10-26 23:59:59.997'), (5, '2004-10-27 00:00:00'), (6, NULL),
                           (7, '2004-10-26'), (8, '9999-12-31 12:00:00');
  )");
  // The ids the condition picks, in one of the shapes a search puts it in.
  const auto ids = [&db](const char* shape, const std::string& cond) {
    std::string where(shape);
    Table rows;
    where.replace(where.find('%'), 1, cond);
    EXPECT_EQ(db.Query("select id from doc where " + where + " order by id", rows), "");
    return rows;
  };
  for (const std::string lit : {"'10/26/2004'", "'10/26/2004 2:30 PM'", "'2004-10-26 00:00:00'",
                                "'10/26/2004 12:00:01 AM'", "'12/31/9999'"}) {
    for (const std::string op : {"=", "<>", "<", "<=", ">", ">="}) {
      for (const std::string& cond : {"cast(doc.d as date) " + op + " " + lit, lit + " " + op + " cast(d as date)"}) {
        std::string plain = cond;
        plain.replace(plain.find("cast("), 5, "cast(isnull(");
        plain.insert(plain.find(" as date)"), ", null)");
        for (const char* shape : {"%", "not (%)", "id = 0 or %"})
          EXPECT_EQ(ids(shape, cond), ids(shape, plain)) << shape << ": " << cond;
      }
    }
  }
  for (const char* cond : {"cast(d as date) >= '10/21/2004' and cast(d as date) <= '10/26/2004'", "'10/26/2004' = cast(d as date)"}) {
    Translation t;
    ASSERT_EQ(Translate(std::string("select id from doc where ") + cond, sqlite::Renderer(), t), "");
    std::string plan;
    for (const auto& step : db.Rows("EXPLAIN QUERY PLAN " + t.sql)) plan += step.at(3) + "; ";
    EXPECT_NE(plan.find("INDEX ix_doc_d"), std::string::npos) << cond << ": " << plan;
  }
}

// The stored procedures read the date texts clerks type through
// tw_date_text: the runtime's reading, the day alone, NULL for no date.
TEST(TsqlDateText, ReadsClerksDatesAsTheRuntimeDoes) {
  Db db(":memory:", true);
  db.Exec("create temp table typed (d)");
  for (const auto& [text, day] : {std::pair{"' 3/4/05 '", "2005-03-04"}, {"'12/31/29'", "2029-12-31"},
                                  {"'1/1/30'", "1930-01-01"}, {"'March 4, 2005'", "2005-03-04"},
                                  {"'3/4/2005 2:30:00 PM'", "2005-03-04"}, {"'   '", "NULL"}, {"'2005'", "NULL"},
                                  {"'2/30/2005'", "NULL"}, {"null", "NULL"}}) {
    db.Exec(std::string("delete from typed; insert into typed select tw_date_text(") + text + ")");
    EXPECT_EQ(db.Text("select ifnull(d, 'NULL') from typed"), day) << text;
  }
}

}  // namespace
}  // namespace tarnwick::test
