// Cost of reading and rendering the library's largest search text, and of
// running + and CAST through the SQLite functions, per row.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <string>

#include "gateway/tsql/sqlite_functions.hpp"
#include "gateway/tsql/translate.hpp"

namespace {

const std::string kDocumentSearch =
    "SELECT RD.unique_id, RD.doc_type_code, rd.doc_type_desc, RD.doc_sub_type_code, rd.doc_sub_type_desc, "
    "RD.doc_year, RD.name_listed, RD.title, RD.delivery_method_code, rd.delivery_method_desc, "
    "RD.Doc_reason_code, rd.Doc_reason_desc, RD.receive_send_date, RD.orig_date, RD.delete_date, "
    "RD.update_date, RD.orig_user_id as user_id, rd.has_image, OC.org_name, OC.inhouse_name, rd.report_version_code, "
    "OC.id_1 + '-' + OC.id_2 + '-' + OC.id_3 + '-' + OC.id_4 as 'comm_id', "
    "OC.ref_group_id as 'org_group_id', rd.is_amendment, oc.previous_id, oc.status_desc, oc.comm_type_desc, "
    "rd.update_date, rd.begin_date, rd.end_date, xrd.report_id, case when isnull(xrd.report_id,'') = '' then '' "
    "else 'X' end as has_rpt_link "
    "FROM vw_zub_REF_document_detail RD "
    "left outer join XRF_Org_Document XCD ON RD.unique_id = XCD.document_id "
    "left outer join vw_zub_ORG_Committee_ref_current OC ON XCD.org_id = OC.ref_group_id "
    "left outer join (select oo1.ref_group_id, oo1.name_type_code,  "
    "  ona1.first_name , ona1.middle_name, ona1.last_name, ona1.suffix, ona1.nick_name "
    "  from VW_ZUB_ORG_Officers_Ref_Current as oo1 "
    "  left outer join VW_ZUB_ORG_Name_address_detail as ona1 on oo1.entity_id = ona1.unique_id "
    "  where oo1.name_type_code = 'cnd') as cnd "
    "  on oc.ref_group_id = cnd.ref_group_id and oc.Comm_type_code = 'cnc' "
    "left outer join xrf_report_document xrd ON RD.unique_id = xrd.document_id "
    "where RD.Doc_year = 2004 and oc.comm_type_code = 'CNC' and cast(RD.entry_date as date) >= '1/1/2004' and "
    "cast(RD.entry_date as date) <= '12/31/2004' and RD.user_id = 'jdoe' "
    "ORDER BY inhouse_name, RD.name_listed, RD.receive_send_date desc, RD.orig_date, RD.Doc_type_code, "
    "RD.doc_sub_type_code ";

void BM_TranslateDocumentSearch(benchmark::State& state) {
  for (auto _ : state) {
    tarnwick::tsql::Translation t;
    benchmark::DoNotOptimize(tarnwick::tsql::Translate(kDocumentSearch, t));
    benchmark::DoNotOptimize(t.sql.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kDocumentSearch.size()));
}
BENCHMARK(BM_TranslateDocumentSearch);

// Rows per second through tw_add and tw_cast_date against plain SQLite text.
void BM_FunctionsPerRow(benchmark::State& state) {
  sqlite3* db = nullptr;
  sqlite3_open(":memory:", &db);
  tarnwick::tsql::RegisterTsqlFunctions(db);
  sqlite3_exec(db,
               "create table t (a text, b text, d text);"
               "with recursive n(i) as (select 1 union all select i + 1 from n where i < 10000) "
               "insert into t select 'x' || i, 'y', '2005-03-04 14:30:00' from n;",
               nullptr, nullptr, nullptr);
  tarnwick::tsql::Translation t;
  tarnwick::tsql::Translate("select a + '-' + b, cast(d as date) from t where cast(d as date) >= '1/1/2005'", t);
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
