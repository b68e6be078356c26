// Translated texts run on an in-memory SQLite database: the server's meaning
// of +, isnull, date texts, CAST, letter case, ordering, TOP, UNION and
// derived tables must hold in the rows that come back.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/tsql_db.hpp"

namespace tarnwick::test {
namespace {

using namespace tsql;

class TsqlRun : public ::testing::Test {
 protected:
  void SetUp() override {
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
  }
  SqliteDb db;
};

TEST_F(TsqlRun, PlusJoinsTextsAndAddsNumbers) {
  EXPECT_EQ(db.Value("select first_name + ' ' + last_name from people where id = 1"), "Ann Smith");
  EXPECT_EQ(db.Value("select id + amount from people where id = 2"), "4.5");
  EXPECT_EQ(db.Value("select id + 1 from people where id = 4"), "5");
  // A number with a text that reads as a number adds; the server does so too.
  EXPECT_EQ(db.Value("select code + 1 from people where id = 4"), "13");
  EXPECT_EQ(db.Value("select first_name + last_name from people where id = 2"), "NULL");
  EXPECT_EQ(db.Value("select rtrim(isnull(first_name, '') + ' ' + isnull('', '')) + ' ' + isnull(last_name, '') "
                     "from people where id = 3"),
            " jones");
  EXPECT_EQ(db.Value("select born + 1 from people where id = 2"), "2005-01-01 00:00:00");
  EXPECT_EQ(db.Value("select born - 0.5 from people where id = 2"), "2004-12-30 12:00:00");
  Rows rows;
  EXPECT_NE(db.Query("select first_name + 1 from people where id = 1", rows).find("Conversion failed"),
            std::string::npos);
}

TEST_F(TsqlRun, DatesCompareAsStoredIsoTexts) {
  EXPECT_EQ(db.Value("select count(*) from people where born >= '12/31/2004'"), "2");
  EXPECT_EQ(db.Value("select count(*) from people where born between '1/1/1900' and '3/4/2005 9:00:00 AM'"), "3");
  EXPECT_EQ(db.Value("select count(*) from people where cast(born as date) <= '3/4/2005'"), "3");
  EXPECT_EQ(db.Value("select cast(born as date) from people where id = 1"), "1970-03-04 00:00:00");
  EXPECT_EQ(db.Value("select cast('3/4/2005 2:30:00 PM' as datetime)"), "2005-03-04 14:30:00");
  EXPECT_EQ(db.Value("select count(*) from people where born < getdate()"), "3");
  EXPECT_EQ(db.Value("select year(born) * 100 + month(born) from people where id = 4"), "200503");
  EXPECT_EQ(db.Value("select datediff(day, '12/31/2004', born) from people where id = 4"), "63");
  EXPECT_EQ(db.Value("select dateadd(month, 1, '2005-01-31')"), "2005-02-28 00:00:00");
  EXPECT_EQ(db.Value("select convert(varchar(10), born, 101) + ' ' + convert(varchar(8), born, 1) from people where id = 4"),
            "03/04/2005 03/04/05");
  Rows rows;
  EXPECT_NE(db.Query("select cast('cnc' as date)", rows).find("Conversion failed"), std::string::npos);
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

TEST_F(TsqlRun, CastsFollowTheServer) {
  EXPECT_EQ(db.Value("select cast(1 as char(2)) + '|'"), "1 |");
  EXPECT_EQ(db.Value("select cast('abcdef' as varchar(3))"), "abc");
  EXPECT_EQ(db.Value("select cast(' 42 ' as int) + 1"), "43");
  EXPECT_EQ(db.Value("select cast(2.7 as int)"), "2");
  EXPECT_EQ(db.Value("select cast(amount as decimal(10, 1)) from people where id = 2"), "2.5");
  EXPECT_EQ(db.Value("select cast(2.555 as decimal(5, 2))"), "2.56");
  Rows rows;
  EXPECT_NE(db.Query("select cast('1.5' as int)", rows).find("Conversion failed"), std::string::npos);
  EXPECT_NE(db.Query("select cast(300 as tinyint)", rows).find("overflow"), std::string::npos);
  EXPECT_NE(db.Query("select cast(12345 as char(2))", rows).find("overflow"), std::string::npos);
}

TEST_F(TsqlRun, LetterCaseIsIgnoredInComparisonsAndLike) {
  EXPECT_EQ(db.Value("select count(*) from people where code = 'cnd'"), "2");
  EXPECT_EQ(db.Value("select count(*) from people where code in ('CND', 'TRS')"), "3");
  EXPECT_EQ(db.Value("select count(*) from people where upper(code) = lower('CnD')"), "2");
  EXPECT_EQ(db.Value("select count(*) from people where last_name like 'SM%' or first_name like '[a-b]%'"), "2");
  EXPECT_EQ(db.Value("select count(*) from people where last_name not like '%s'"), "1");
  EXPECT_EQ(db.Value("select case code when 'CND' then 'c' else 'o' end from people where id = 3"), "c");
  EXPECT_EQ(db.Value("select case when isnull(last_name, '') = '' then '' else 'X' end from people where id = 2"),
            "");
  EXPECT_EQ(db.Value("select charindex('SMI', last_name) from people where id = 1"), "1");
}

TEST_F(TsqlRun, OrderTopUnionAndDerivedTables) {
  Rows rows;
  ASSERT_EQ(db.Query("select top 2 id, last_name from people order by 2 desc, 1", rows), "");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][1], "Smith");
  EXPECT_EQ(rows[1][1], "jones");  // case-blind: jones sorts before Smith's S, after Adams

  ASSERT_EQ(db.Query("select 'STA' as code, 'State' as description, 0 as velm_id union "
                     "select code, first_name, id from people where 1=1 and 1=1 order by velm_id",
                     rows),
            "");
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[0][0], "STA");
  EXPECT_EQ(rows[4][0], "12");

  ASSERT_EQ(db.Query("select p.id, x.n from people p left outer join (select code, count(*) as n from people "
                     "group by code) as x on x.code = p.code where p.id in (select id from people where "
                     "amount is not null) and exists (select 1 from people) order by p.id",
                     rows),
            "");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(rows[1], (std::vector<std::string>{"2", "1"}));

  EXPECT_EQ(db.Value("select max(id) from people where id <> all (select 4)"), "3");
  EXPECT_EQ(db.Value("select (select count(*) from people) - 1"), "3");
}

TEST_F(TsqlRun, TextAndDateFunctionsFollowTheServer) {
  // Start positions before the first character count but yield nothing.
  EXPECT_EQ(db.Value("select substring('abcdef', 0, 3) + '|' + substring('abcdef', -1, 3) + '|' + "
                     "substring('abcdef', 5, 10)"),
            "ab|a|ef");
  EXPECT_EQ(db.Value("select left(N'h\xc3\xa9llo', 2) + right('abc', 5) + right('abc', 0)"), "h\xc3\xa9" "abc");
  EXPECT_EQ(db.Value("select len('ab  ') * 10 + charindex('B', 'abcb', 3)"), "24");
  EXPECT_EQ(db.Value("select replace('Smith SMITH', 'smith', 'x')"), "x x");
  EXPECT_EQ(db.Value("select count(*) from people where last_name like '[^a-r]%' or code like '1!%' escape '!'"), "1");
  EXPECT_EQ(db.Value("select count(*) from people where code like '1[0-9]'"), "1");
  // Week 1 holds 1 January; weeks turn on Sundays (2 Jan 2005 was one).
  EXPECT_EQ(db.Value("select datepart(wk, '1/1/2005') * 10 + datepart(week, '1/2/2005')"), "12");
  EXPECT_EQ(db.Value("select datediff(week, '1/1/2005', '1/2/2005') + datediff(yy, '12/31/2004', '1/1/2005')"), "2");
  EXPECT_EQ(db.Value("select isnumeric(' 1.5e3 ') * 10 + isnumeric('1,5') + isdate('2/30/2005')"), "10");
  Rows rows;
  EXPECT_NE(db.Query("select substring('abc', 1, -1)", rows).find("Invalid length"), std::string::npos);
  EXPECT_NE(db.Query("select dateadd(year, 9000, '2005-01-01')", rows).find("overflow"), std::string::npos);
  EXPECT_NE(db.Query("select convert(varchar, getdate(), 7777)", rows).find("not a valid style"), std::string::npos);
}

TEST(TsqlRunErrors, UnknownFunctionsAndColumnsAreReportedBySqlite) {
  SqliteDb db;
  Rows rows;
  EXPECT_NE(db.Query("select no_such_function(1)", rows).find("no such function"), std::string::npos);
  EXPECT_NE(db.Query("select a from no_such_table", rows).find("no such table"), std::string::npos);
}

// The stored procedures read the date texts clerks type through
// tw_date_text: the runtime's reading, the day alone, NULL for no date.
TEST(TsqlDateText, ReadsClerksDatesAsTheRuntimeDoes) {
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(":memory:", &raw), SQLITE_OK);
  const std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(raw, sqlite3_close);
  ASSERT_EQ(sqlite::RegisterTsqlFunctions(raw), SQLITE_OK);
  const auto read = [raw](const char* text) {
    sqlite3_stmt* st = nullptr;
    std::string out = "prepare failed";
    if (sqlite3_prepare_v2(raw, "select tw_date_text(?1)", -1, &st, nullptr) == SQLITE_OK) {
      if (text != nullptr) sqlite3_bind_text(st, 1, text, -1, SQLITE_TRANSIENT);
      out = sqlite3_step(st) != SQLITE_ROW                   ? "step failed"
            : sqlite3_column_type(st, 0) == SQLITE_NULL ? "NULL"
                                                          : reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    }
    sqlite3_finalize(st);
    return out;
  };
  EXPECT_EQ(read("3/4/2005"), "2005-03-04");
  EXPECT_EQ(read(" 3/4/05 "), "2005-03-04");
  EXPECT_EQ(read("12/31/29"), "2029-12-31");
  EXPECT_EQ(read("1/1/30"), "1930-01-01");
  EXPECT_EQ(read("March 4, 2005"), "2005-03-04");
  EXPECT_EQ(read("2005-03-04 14:30:00"), "2005-03-04");
  EXPECT_EQ(read("3/4/2005 2:30:00 PM"), "2005-03-04");
  for (const char* none : {"", "   ", "abc", "2005", "2/30/2005", "13/13/2005"}) EXPECT_EQ(read(none), "NULL") << none;
  EXPECT_EQ(read(nullptr), "NULL");
}

}  // namespace
}  // namespace tarnwick::test
