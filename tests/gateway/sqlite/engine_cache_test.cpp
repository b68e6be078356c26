// What the engine keeps between calls must never outlive what it describes:
// procedures redefined, tables altered and catalog rows removed, by this
// connection or another, are seen on the next call.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <string>

#include "gateway/sqlite/engine.hpp"
#include "gateway/sqlite/engine_cache.hpp"
#include "support/engine_office.hpp"
#include "tarnwick/gateway.hpp"
#include "tarnwick/recordset.hpp"

namespace tarnwick::test {
namespace {

// One text a step, after what another workstation changed in the file first.
// Keyed loads run on one kept statement with the key bound: each must still
// find its own rows, and a fault reads as for the text as written.
TEST(EngineCache, EachCallSeesTheFileAsItIsNow) {
  struct Step {
    const char* elsewhere = nullptr;  // run first on another connection
    std::string text;
    std::string error = "";  // a part of the error text; empty: the text runs
    std::string first = "";  // the first value of the first row, when given
    int rows = -1, columns = -1;
  };
  const std::string bad_load = "select * from ref_documents where unique_id = 4";
  const Step steps[] = {
      {.text = "select * from ref_document where unique_id = 2", .first = "2", .rows = 1, .columns = 10},
      {.text = "select * from vw_document where unique_id = 3", .first = "3", .rows = 1, .columns = 5},
      {.text = "select * from ref_document where unique_id = -1", .rows = 0},
      {.text = bad_load,
       .error = "OpenRecordset \"" + bad_load + "\": the text, statement 1 "
                "\"SELECT * FROM ref_documents WHERE unique_id = 4\": no such table: ref_documents"},
      {.text = "exec sp_get_document 2", .first = "2", .rows = 1, .columns = 3},
      // A procedure redefined, removed, put back and broken elsewhere.
      {.elsewhere = "update tw_procedure set parameters = '@year smallint', body = 'select doc_year, unique_id "
                    "from ref_document where doc_year = @year order by unique_id' where name = 'sp_get_document'",
       .text = "exec sp_get_document 2005", .first = "2005", .rows = 2, .columns = 2},
      {.elsewhere = "delete from tw_procedure where name = 'sp_get_document'",
       .text = "exec sp_get_document 2005", .error = "No stored procedure named 'sp_get_document'"},
      {.elsewhere = "insert into tw_procedure (name, parameters, body) values ('sp_get_document', '@id int', "
                    "'select title from ref_document where unique_id = @id')",
       .text = "exec sp_get_document 3", .first = "Amended report"},
      {.elsewhere = "update tw_procedure set parameters = '@id int = 4' where name = 'sp_get_document'",
       .text = "exec sp_get_document 3", .error = "default values are not supported"},
      // A table altered: its kept statements and the general update learn the new column.
      {.text = "exec sp_update_table 'ref_document', 'title', 2, 'Letter, revised'"},
      {.text = "exec sp_count_titles '%report%'", .first = "1", .rows = 2},
      {.elsewhere = "alter table ref_document add column filer_note varchar(40)",
       .text = "select * from ref_document where unique_id = 2", .columns = 11},
      {.text = "exec sp_update_table 'ref_document', 'filer_note', 2, 'late'"},
      {.text = "select filer_note + '|' + title from ref_document where unique_id = 2", .first = "late|Letter, revised"},
      // A column a kept statement uses goes away: a clear error, and the engine goes on.
      {.elsewhere = "drop view vw_document; alter table ref_document drop column due_date",
       .text = "exec sp_count_titles '%report%'", .error = "due_date"},
      {.text = "exec sp_update_table 'ref_document', 'due_date', 2, '1/2/2005'",
       .error = "sp_update_table: table 'ref_document' has no column 'due_date'"},
      {.text = "exec sp_update_table 'ref_document', 'filer_note', 2, 'on time'"},
  };
  TempDir dir;
  const std::string path = dir.File("office.db");
  CreateEngineOffice(path);
  sqlite::Engine engine;
  ASSERT_TRUE(engine.Open(path)) << engine.LastError();
  Db other(path, true);
  for (const Step& s : steps) {
    SCOPED_TRACE(s.text);
    if (s.elsewhere) other.Exec(s.elsewhere);
    std::shared_ptr<Recordset> rs;
    const std::string error = engine.OpenRecordset(s.text, rs, 0, true);
    if (!s.error.empty()) {
      EXPECT_NE(error.find(s.error), std::string::npos) << error;
      continue;
    }
    ASSERT_EQ(error, "");
    if (s.rows >= 0) { EXPECT_EQ(rs->RecordCount(), s.rows); }
    if (s.columns >= 0) { EXPECT_EQ(rs->Columns().size(), static_cast<std::size_t>(s.columns)); }
    if (!s.first.empty()) { EXPECT_EQ(rs->Fields().Item(0).Value().CStr(), s.first); }
  }
  // The unit of work a failed call ran in is over: a new one can begin and roll back.
  EXPECT_FALSE(engine.InTransaction());
  engine.BeginTransaction();
  std::shared_ptr<Recordset> rs;
  EXPECT_EQ(engine.OpenRecordset("exec sp_update_table 'ref_document', 'filer_note', 2, 'undone'", rs, 0, true), "");
  engine.EndTransaction(false);
  EXPECT_EQ(FileText(path, "select filer_note from ref_document where unique_id = 2"), "on time");
}

TEST(StatementCache, KeyedLoadTextBindsOnlyTheKeyOfAPlainKeyedLoad) {
  using sqlite::engine_detail::KeyedLoadText;
  const auto load = KeyedLoadText("SELECT * FROM ref_document WHERE unique_id = 42");
  ASSERT_TRUE(load);
  EXPECT_EQ(load->sql, "SELECT * FROM ref_document WHERE unique_id = ?1");
  EXPECT_EQ(load->key, 42);
  EXPECT_EQ(KeyedLoadText("SELECT * FROM t2 WHERE c_1 = -7")->key, -7);
  for (const char* other :
       {"SELECT * FROM t WHERE a = 1 ORDER BY 1", "SELECT * FROM t WHERE a = 1 AND b = 2", "SELECT * FROM t WHERE a = 1.5",
        "SELECT * FROM t WHERE a = 1e5", "SELECT * FROM t WHERE a = '1'", "SELECT * FROM t WHERE a = 1234567890123456789",
        "SELECT * FROM t WHERE \"a b\" = 1", "SELECT a FROM t WHERE a = 1", "SELECT * FROM t WHERE a = -",
        "SELECT * FROM t WHERE 1 = a", "SELECT * FROM t LIMIT 5", "SELECT * FROM t WHERE a IS NULL"}) {
    EXPECT_FALSE(KeyedLoadText(other)) << other;
  }
}

TEST(StatementCache, LendsEachStatementToOneUseAndKeepsOnlySoMany) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
  using sqlite::engine_detail::StatementLease;
  StatementLease survivor;  // outlives the cache that lent it
  {
    sqlite::engine_detail::StatementCache cache(2);
    const std::string text = "select ?1; select 2";
    StatementLease outer, inner;
    std::size_t taken = 0;
    ASSERT_EQ(cache.Prepare(db, text, outer, taken), SQLITE_OK);
    EXPECT_EQ(text.substr(0, taken), "select ?1;");
    sqlite3_bind_int(outer.get(), 1, 7);
    ASSERT_EQ(sqlite3_step(outer.get()), SQLITE_ROW);
    // The same text while the first is still stepping: a statement of its own.
    ASSERT_EQ(cache.Prepare(db, text, inner, taken), SQLITE_OK);
    EXPECT_NE(inner.get(), outer.get());
    inner.Release();
    // Given back, the kept statement comes again reset and unbound.
    sqlite3_stmt* kept = outer.get();
    outer.Release();
    ASSERT_EQ(cache.Prepare(db, text, outer, taken), SQLITE_OK);
    EXPECT_EQ(outer.get(), kept);
    ASSERT_EQ(sqlite3_step(outer.get()), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_type(outer.get(), 0), SQLITE_NULL);
    // Forgotten while lent (the cache is full): still usable until given back.
    StatementLease a;
    ASSERT_EQ(cache.Prepare(db, "select 'a'", a, taken), SQLITE_OK);
    ASSERT_EQ(cache.Prepare(db, "select 'b'", survivor, taken), SQLITE_OK);
    EXPECT_EQ(cache.Size(), 2u);
    sqlite3_reset(outer.get());
    ASSERT_EQ(sqlite3_step(outer.get()), SQLITE_ROW);
    outer.Release();
    EXPECT_EQ(cache.Execute(db, "insert into nowhere values (1)"), "no such table: nowhere");
    a.Release();
  }
  // A statement still lent when the cache went is finalized by its lease.
  ASSERT_EQ(sqlite3_step(survivor.get()), SQLITE_ROW);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(sqlite3_column_text(survivor.get(), 0))), "b");
  survivor.Release();
  EXPECT_EQ(sqlite3_close(db), SQLITE_OK);  // nothing left unfinalized
}

}  // namespace
}  // namespace tarnwick::test
