// How fast `tarnwick init` builds a sample office, and how fast the document
// and committee searches answer on it.
//
//   office_bench --benchmark_filter=Create     building offices of 10,000 and 100,000 documents
//   office_bench --benchmark_filter=Search     searches on a 100,000-document office
//
// Goal: a 1,000,000-document office in about a minute on a desktop machine
// (building scales linearly; run BM_CreateSampleOffice/1000000 by hand).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "gateway/sqlite/office.hpp"
#include "tarnwick/gateway.hpp"
#include "tarnwick/recordset.hpp"

namespace {

std::filesystem::path ScratchDir() {
  static const std::filesystem::path dir = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "tw_office_bench_XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    return std::filesystem::path(pattern);
  }();
  return dir;
}

void BM_CreateSampleOffice(benchmark::State& state) {
  const std::string path = (ScratchDir() / "create.db").string();
  for (auto _ : state) {
    tarnwick::sqlite::OfficeOptions options;
    options.overwrite = true;
    options.sampleDocuments = state.range(0);
    const auto result = tarnwick::sqlite::CreateOfficeDatabase(path, options);
    if (!result.ok()) state.SkipWithError(result.message.c_str());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  std::filesystem::remove(path);
}
BENCHMARK(BM_CreateSampleOffice)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);

// A 100,000-document office shared by the search benchmarks.
const std::string& SearchOffice() {
  static const std::string path = [] {
    const std::string file = (ScratchDir() / "search.db").string();
    tarnwick::sqlite::OfficeOptions options;
    options.overwrite = true;
    options.sampleDocuments = 100000;
    const auto result = tarnwick::sqlite::CreateOfficeDatabase(file, options);
    if (!result.ok()) throw std::runtime_error(result.message);
    return file;
  }();
  return path;
}

const char* kDocumentSearch =
    "SELECT RD.unique_id, RD.doc_type_code, rd.doc_type_desc, RD.doc_sub_type_code, rd.doc_sub_type_desc, "
    "RD.doc_year, RD.name_listed, RD.title, RD.delivery_method_code, rd.delivery_method_desc, "
    "RD.Doc_reason_code, rd.Doc_reason_desc, RD.receive_send_date, RD.orig_date, RD.delete_date, "
    "RD.update_date, RD.orig_user_id as user_id, rd.has_image, OC.org_name, OC.inhouse_name, rd.report_version_code, "
    "OC.id_1 + '-' + OC.id_2 + '-' + OC.id_3 + '-' + OC.id_4 as 'comm_id', "
    "OC.ref_group_id as 'org_group_id', rd.is_amendment, oc.previous_id, oc.status_desc, oc.comm_type_desc, "
    "rd.update_date, rd.begin_date, rd.end_date, xrd.report_id, case when isnull(xrd.report_id,'') = '' then '' else 'X' end as has_rpt_link "
    "FROM vw_zub_REF_document_detail RD "
    "left outer join XRF_Org_Document XCD ON RD.unique_id = XCD.document_id "
    "left outer join vw_zub_ORG_Committee_ref_current OC ON XCD.org_id = OC.ref_group_id "
    "left outer join (select oo1.ref_group_id, oo1.name_type_code,  "
    "  ona1.first_name , ona1.middle_name, ona1.last_name, ona1.suffix, ona1.nick_name "
    "  from VW_ZUB_ORG_Officers_Ref_Current as oo1 "
    "  left outer join VW_ZUB_ORG_Name_address_detail as ona1 on oo1.entity_id = ona1.unique_id "
    "  where oo1.name_type_code = 'cnd') as cnd "
    "  on oc.ref_group_id = cnd.ref_group_id and oc.Comm_type_code = 'cnc' "
    "left outer join xrf_report_document xrd ON RD.unique_id = xrd.document_id ";
const char* kDocumentOrder =
    "ORDER BY inhouse_name, RD.name_listed, RD.receive_send_date desc, RD.orig_date, RD.Doc_type_code, RD.doc_sub_type_code ";

void RunSearch(benchmark::State& state, const std::string& sql) {
  auto gateway = tarnwick::CreateDefaultGateway();
  if (!gateway->SetConnection(SearchOffice(), "embedded", "", "", false, 0, "", "")) {
    state.SkipWithError("cannot open the office");
    return;
  }
  std::int64_t rows = 0;
  for (auto _ : state) {
    std::shared_ptr<tarnwick::Recordset> rs;
    const std::string error = gateway->OpenRecordset(sql, rs, 0, true);
    if (!error.empty()) {
      state.SkipWithError(error.c_str());
      return;
    }
    rows += rs->RecordCount();
  }
  state.counters["rows"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kAvgIterations);
}

void BM_SearchDocumentsByYearAndType(benchmark::State& state) {
  RunSearch(state, std::string(kDocumentSearch) +
                       "where RD.Doc_year = 2004 and RD.Doc_type_code = 'COR' and RD.Doc_sub_type_code = 'LTR' " +
                       kDocumentOrder);
}
BENCHMARK(BM_SearchDocumentsByYearAndType)->Unit(benchmark::kMillisecond);

void BM_SearchDocumentsByReceivedDate(benchmark::State& state) {
  RunSearch(state, std::string(kDocumentSearch) +
                       "where cast(RD.receive_send_date as date) >= '3/1/2004' and "
                       "cast(RD.receive_send_date as date) <= '3/31/2004' " +
                       kDocumentOrder);
}
BENCHMARK(BM_SearchDocumentsByReceivedDate)->Unit(benchmark::kMillisecond);

void BM_SearchDocumentsByCandidate(benchmark::State& state) {
  RunSearch(state, std::string(kDocumentSearch) + "where cnd.last_name like 'hart%' " + kDocumentOrder);
}
BENCHMARK(BM_SearchDocumentsByCandidate)->Unit(benchmark::kMillisecond);

void BM_CommitteeDocuments(benchmark::State& state) {
  RunSearch(state,
            "SELECT RD.doc_type_desc as 'Doc_type_code_desc', RD.doc_year, RD.doc_sub_type_desc as 'doc_name_desc', "
            "RD.Title , RD.receive_send_date, RD.entry_date, RD.unique_id FROM XRF_Org_Document XCD "
            "left outer join vw_zub_ref_document_detail RD ON XCD.document_id = RD.unique_id "
            "left outer join ref_org ro on xcd.org_id = ro.unique_id WHERE ro.group_id = 1 "
            "and RD.Delete_date is null ORDER BY 5, 1, 2, 3 ");
}
BENCHMARK(BM_CommitteeDocuments)->Unit(benchmark::kMillisecond);

}  // namespace
BENCHMARK_MAIN();
