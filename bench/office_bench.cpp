// How fast `tarnwick init` builds a sample office, and how fast the document
// and committee searches answer on it.
//
//   office_bench --benchmark_filter=Create     building offices of 10,000 and 100,000 documents
//   office_bench --benchmark_filter=Search     searches on a 100,000-document office
//
// Goal: a 1,000,000-document office in about a minute on a desktop machine
// (building scales linearly; run BM_CreateSampleOffice/1000000 by hand).
#include "documents/document_queries.hpp"
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "office/file_office.hpp"
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
    tarnwick::office::OfficeOptions options;
    options.overwrite = true;
    options.sampleDocuments = state.range(0);
    const auto result = tarnwick::office::CreateFileOffice(path, options);
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
    tarnwick::office::OfficeOptions options;
    options.overwrite = true;
    options.sampleDocuments = 100000;
    const auto result = tarnwick::office::CreateFileOffice(file, options);
    if (!result.ok()) throw std::runtime_error(result.message);
    return file;
  }();
  return path;
}

// The library's own document search text.
const std::string kDocumentSearch(tarnwick::documents::kDocumentListSelect);
const std::string kDocumentOrder(tarnwick::documents::kDocumentListOrder);

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
