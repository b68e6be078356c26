// Translated texts run on an in-memory SQLite database: the server's meaning
// of +, isnull, date texts, CAST, letter case, ordering, TOP, UNION, joins and
// derived tables must hold in the rows that come back. The rules both engines
// share are run on both in tests/gateway/engines/; these are the finer points.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/tsql_db.hpp"

namespace tarnwick::test {
namespace {

using namespace tsql;

// Each text's rows, values joined by "," and rows by ";", or a part of its error text.
TEST(TsqlRun, TextsKeepTheServersMeaning) {
  SqliteDb db;
  ASSERT_EQ(db.registration(), SQLITE_OK);
  ASSERT_EQ(db.Exec(R"(
      create table people (id int, code varchar(10) collate nocase, first_name varchar(20) collate nocase,
                           last_name varchar(20) collate nocase, born datetime, amount money);
      insert into people values (1, 'CND', 'Ann', 'Smith', '1970-03-04 14:30:00', 10),
                                (2, 'trs', 'bob', NULL, '2004-12-31 00:00:00', 2.5),
                                (3, 'cnd', NULL, 'jones', NULL, NULL),
                                (4, '12', 'Cy', 'Adams', '2005-03-04 09:00:00', 7);
    )"),
            "");
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
      // A left join stays one under IS NULL on its table and under an OR that keeps unmatched rows.
      {.tsql = "select p.id from people p left join people q on q.id = p.id + 10 where q.id is null", .rows = "1;2;3;4"},
      {.tsql = "select p.id from people p left join people q on q.id = p.id + 1 where q.id = 2 or p.id = 4 "
               "order by p.id",
       .rows = "1;4"},
      {.tsql = "select max(id), (select count(*) from people) - 1 from people where id <> all (select 4)",
       .rows = "3,3"},
      // Text functions: start positions before the first character count but yield nothing.
      {.tsql = "select substring('abcdef', 0, 3) + '|' + substring('abcdef', -1, 3) + '|' + substring('abcdef', 5, 10)",
       .rows = "ab|a|ef"},
      {.tsql = "select left(N'h\xc3\xa9llo', 2) + right('abc', 5) + right('abc', 0)", .rows = "h\xc3\xa9" "abc"},
      {.tsql = "select len('ab  ') * 10 + charindex('B', 'abcb', 3), replace('Smith SMITH', 'smith', 'x')",
       .rows = "24,x x"},
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
    Rows rows;
    const std::string error = db.Query(c.tsql, rows);
    if (!c.error.empty()) {
      EXPECT_NE(error.find(c.error), std::string::npos) << error;
      continue;
    }
    ASSERT_EQ(error, "");
    std::string got;
    for (std::size_t r = 0; r < rows.size(); ++r) {
      for (std::size_t v = 0; v < rows[r].size(); ++v) got += (r && !v ? ";" : v ? "," : "") + rows[r][v];
    }
    EXPECT_EQ(got, c.rows);
  }
}

// cast(column as date) compared with a date is written as a range on the
// column; cast(isnull(column, null) as date) keeps the call on every row, so
// both must pick the same rows around midnight, late in the day, for Nulls,
// for date-only texts and for literals with a time of day.
TEST(TsqlDayRange, PicksTheRowsOfTheCastAndUsesTheIndex) {
  SqliteDb db;
  ASSERT_EQ(db.Exec(R"(
    create table doc (id int, d datetime);
    create index ix_doc_d on doc (d);
    insert into doc values (1, '2004-10-25 23:59:59'), (2, '2004-10-26 00:00:00'), (3, '2004-10-26 14:30:00'),
                           (4, '2004-10-26 23:59:59.997'), (5, '2004-10-27 00:00:00'), (6, NULL),
                           (7, '2004-10-26'), (8, '9999-12-31 12:00:00');
  )"),
            "");
  const std::string literals[] = {"'10/26/2004'", "'10/26/2004 2:30 PM'", "'2004-10-26 00:00:00'",
                                  "'10/26/2004 12:00:01 AM'", "'12/31/9999'"};
  for (const std::string& lit : literals) {
    for (const std::string op : {"=", "<>", "<", "<=", ">", ">="}) {
      for (const std::string& cond : {"cast(doc.d as date) " + op + " " + lit, lit + " " + op + " cast(d as date)"}) {
        std::string plain = cond;
        plain.replace(plain.find("cast("), 5, "cast(isnull(");
        plain.insert(plain.find(" as date)"), ", null)");
        for (const char* shape : {"%", "not (%)", "id = 0 or %"}) {
          std::string where(shape), old_where(shape);
          where.replace(where.find('%'), 1, cond);
          old_where.replace(old_where.find('%'), 1, plain);
          Rows now, before;
          EXPECT_EQ(db.Query("select id from doc where " + where + " order by id", now), "");
          EXPECT_EQ(db.Query("select id from doc where " + old_where + " order by id", before), "");
          EXPECT_EQ(now, before) << where;
        }
      }
    }
  }
  EXPECT_NE(db.Plan("select id from doc where cast(d as date) >= '10/21/2004' and cast(d as date) <= '10/26/2004'")
                .find("USING INDEX ix_doc_d"),
            std::string::npos);
  EXPECT_NE(db.Plan("select id from doc where '10/26/2004' = cast(d as date)").find("INDEX ix_doc_d"),
            std::string::npos);
}

// The stored procedures read the date texts clerks type through
// tw_date_text: the runtime's reading, the day alone, NULL for no date.
TEST(TsqlDateText, ReadsClerksDatesAsTheRuntimeDoes) {
  SqliteDb db;
  struct Case {
    const char* text;
    const char* day;
  };
  for (const Case& c : {Case{"' 3/4/05 '", "2005-03-04"}, Case{"'12/31/29'", "2029-12-31"}, Case{"'1/1/30'", "1930-01-01"},
                        Case{"'March 4, 2005'", "2005-03-04"}, Case{"'3/4/2005 2:30:00 PM'", "2005-03-04"},
                        Case{"'   '", "NULL"}, Case{"'2005'", "NULL"}, Case{"'2/30/2005'", "NULL"}, Case{"null", "NULL"}}) {
    ASSERT_EQ(db.Exec("create temp table if not exists typed (d)"), "");
    ASSERT_EQ(db.Exec(std::string("delete from typed; insert into typed select tw_date_text(") + c.text + ")"), "");
    EXPECT_EQ(db.Value("select isnull(d, 'NULL') from typed"), c.day) << c.text;
  }
}

}  // namespace
}  // namespace tarnwick::test
