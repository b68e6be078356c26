// Cost of reading and rendering the library's largest search text, and of
// running + and CAST through the SQLite functions, per row.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <string>

#include "documents/document_queries.hpp"
#include "gateway/sqlite/functions.hpp"
#include "gateway/sqlite/render.hpp"
#include "gateway/tsql/translate.hpp"

namespace {

// The library's document search with a filter of every common kind.
const std::string kDocumentSearch =
    std::string(tarnwick::documents::kDocumentListSelect) +
    "where RD.Doc_year = 2004 and oc.comm_type_code = 'CNC' and cast(RD.entry_date as date) >= '1/1/2004' and "
    "cast(RD.entry_date as date) <= '12/31/2004' and RD.user_id = 'jdoe' " +
    std::string(tarnwick::documents::kDocumentListOrder);

void BM_TranslateDocumentSearch(benchmark::State& state) {
  for (auto _ : state) {
    tarnwick::tsql::Translation t;
    benchmark::DoNotOptimize(tarnwick::tsql::Translate(kDocumentSearch, tarnwick::sqlite::Renderer(), t));
    benchmark::DoNotOptimize(t.sql.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kDocumentSearch.size()));
}
BENCHMARK(BM_TranslateDocumentSearch);

// Rows per second through tw_add and tw_cast_date against plain SQLite text.
void BM_FunctionsPerRow(benchmark::State& state) {
  sqlite3* db = nullptr;
  sqlite3_open(":memory:", &db);
  tarnwick::sqlite::RegisterTsqlFunctions(db);
  sqlite3_exec(db,
               "create table t (a text, b text, d text);"
               "with recursive n(i) as (select 1 union all select i + 1 from n where i < 10000) "
               "insert into t select 'x' || i, 'y', '2005-03-04 14:30:00' from n;",
               nullptr, nullptr, nullptr);
  tarnwick::tsql::Translation t;
  tarnwick::tsql::Translate("select a + '-' + b, cast(d as date) from t where cast(d as date) >= '1/1/2005'",
                           tarnwick::sqlite::Renderer(), t);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, t.sql.c_str(), -1, &st, nullptr);
  std::int64_t rows = 0;
  for (auto _ : state) {
    while (sqlite3_step(st) == SQLITE_ROW) ++rows;
    sqlite3_reset(st);
  }
  state.SetItemsProcessed(rows);
  sqlite3_finalize(st);
  sqlite3_close(db);
}
BENCHMARK(BM_FunctionsPerRow)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
