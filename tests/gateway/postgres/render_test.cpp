// The PostgreSQL renderer without a server: what it refuses, and the forms
// the server's planner depends on (the day range on a date column, the
// output names as written, NULLs first).
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "gateway/postgres/render.hpp"
#include "gateway/tsql/translate.hpp"

namespace tarnwick::test {
namespace {

using namespace postgres;

OfficeColumns Office() {
  OfficeColumns office;
  auto& doc = office["ref_document"];
  doc["unique_id"] = {ValueKind::Number, false};
  doc["title"] = {ValueKind::Text, true};
  doc["receive_send_date"] = {ValueKind::Date, false};
  doc["is_amendment"] = {ValueKind::Boolean, false};
  return office;
}

std::string Rendered(const std::string& sql) {
  tsql::Translation t;
  const std::string error = tsql::Translate(sql, Renderer(Office()), t);
  return error.empty() ? t.sql : "error: " + error;
}

TEST(PostgresRender, RefusesWhatIsNoOfficeTableOrKnownFunction) {
  for (const auto& [sql, error] : {std::pair{"select * from pg_class", "Invalid object name 'pg_class'"},
                                   std::pair{"select * from information_schema.tables", "Invalid object name"},
                                   std::pair{"select pg_sleep(10)", "not a recognized built-in function"},
                                   std::pair{"select lo_import('/etc/passwd')", "not a recognized"},
                                   std::pair{"select cast(title as geometry) from ref_document",
                                             "not a defined system type"}}) {
    EXPECT_NE(Rendered(sql).find(error), std::string::npos) << sql;
  }
  EXPECT_EQ(Rendered("select title from dbo.REF_DOCUMENT"), "SELECT \"title\" AS \"title\" FROM \"ref_document\"");
}

TEST(PostgresRender, KeepsTheFormsThePlannerAndTheClassesRelyOn) {
  // A day range on the column itself, so that its index serves the search.
  EXPECT_EQ(Rendered("select unique_id from ref_document rd where cast(RD.receive_send_date as date) >= '4/1/2004' "
                     "and cast(rd.receive_send_date as date) <= '4/30/2004'"),
            "SELECT \"unique_id\" AS \"unique_id\" FROM \"ref_document\" AS \"rd\" WHERE "
            "\"rd\".\"receive_send_date\" >= TIMESTAMP '2004-04-01 00:00:00' AND "
            "\"rd\".\"receive_send_date\" < TIMESTAMP '2004-05-01 00:00:00'");
  // A citext column meets a literal as it is; a computed text is made case-blind.
  EXPECT_EQ(Rendered("select 1 from ref_document where title = 'x' and title + 'y' = 'xy' and is_amendment = 1"),
            "SELECT 1 FROM \"ref_document\" WHERE \"title\" = 'x' AND (\"title\" || 'y')::citext = 'xy' AND "
            "\"is_amendment\" = true");
  EXPECT_EQ(Rendered("select top 5 title as 'Title' from ref_document order by Title desc, 1"),
            "SELECT \"title\" AS \"Title\" FROM \"ref_document\" ORDER BY \"Title\" DESC NULLS LAST, 1 NULLS FIRST "
            "LIMIT 5");
}

TEST(PostgresRender, LikeCharacterClassesBecomeAnchoredExpressions) {
  EXPECT_EQ(LikePatternRegex("[a-c]%", 0), "^[a-c].*$");
  EXPECT_EQ(LikePatternRegex("[^x]_.", 0), "^[^x].\\.$");
  EXPECT_EQ(LikePatternRegex("a!%b[", '!'), "^a%b\\[$");
  EXPECT_EQ(LikePatternRegex("(1+1)[\\]", 0), "^\\(1\\+1\\)[\\\\]$");
}

TEST(PostgresRender, DeepAndLongTextsRenderInTimeOrFailCleanly) {
  // Every level of these renders its operands once; twice would take 2^24
  // steps and more (as deep as the front end lets them nest).
  std::string nested = "title", numbers = "unique_id", cases = "title", chain = "1";
  for (int i = 0; i < 45; ++i) {
    nested = "isnull(" + nested + ", 'x') + 'y'";
    cases = "case when unique_id = 1 then " + cases + " else 'z' end";
    if (i < 24) numbers = "abs(nullif(" + numbers + ", 0) + 1)";
  }
  for (int i = 0; i < 900; ++i) chain += " + title";
  for (const std::string& expr : {nested, numbers, cases, chain}) {
    EXPECT_EQ(Rendered("select " + expr + " from ref_document").rfind("SELECT ", 0), 0u) << expr.substr(0, 80);
  }
  EXPECT_NE(Rendered("select " + std::string(150, '(') + "1" + std::string(150, ')')).find("error"), std::string::npos);
}

}  // namespace
}  // namespace tarnwick::test
