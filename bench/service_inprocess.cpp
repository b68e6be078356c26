// The library calls behind the service's two single-document reads, made in
// this process by 32 threads with objects of their own, so that
// bench/service_bench.sh can hold what `tarnwick serve` answers per second
// against what the classes themselves can give.
//
//   TW_SERVICE_DB=office.tarnwick TW_SERVICE_IDS=ids.txt service_inprocess
//
// TW_SERVICE_DB names the office as `tarnwick --db` does; for a server
// office also TW_SERVICE_SERVER, TW_SERVICE_USER, TW_SERVICE_PASSWORD and
// TW_SERVICE_TRUSTED=1. TW_SERVICE_IDS is a file of live document ids, one a
// line (the ones the service benchmark asks for); each thread walks it from
// its own starting place.
//
//   PublicFiling/<fresh>/threads:32  GET /api/public/filings/{UniqueID}: the
//     filings search narrowed to the one live document (its key read over the
//     rows, then the public columns of its row), then GetData of the document
//     and its public columns.
//   ClerkDocument/<fresh>/threads:32  GET /api/documents/{UniqueID}: GetData
//     and every column property.
//   fresh=0: each thread connects its objects once and reuses them; fresh=1:
//     new objects connected for every call, as each request of the service
//     makes its own, with the connections of closed objects kept for the
//     next as the service keeps them (the engines' pools, on).
// Reported: calls_per_s (all threads together, in wall-clock time). The JSON
// the service writes and the row's hash (the ETag) are not made here.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "../service/public_columns.hpp"
#include "client/columns.hpp"
#include "gateway/postgres/pool.hpp"
#include "gateway/sqlite/pool.hpp"
#include "tarnwick/clsDocument.hpp"
#include "tarnwick/error.hpp"
#include "tarnwick/typelib.hpp"

namespace {

using namespace tarnwick;

// As `tarnwick serve` does: closed objects' connections wait for the next.
[[maybe_unused]] const bool kPoolsOn = [] {
  sqlite::EnablePool(64, 60);
  postgres::EnablePool(64, 60);
  return true;
}();

std::string Env(const char* name) {
  const char* text = std::getenv(name);
  return text != nullptr ? text : "";
}

const std::vector<std::int32_t>& Ids() {
  static const std::vector<std::int32_t> ids = [] {
    std::ifstream in(Env("TW_SERVICE_IDS"));
    std::vector<std::int32_t> read;
    for (std::int32_t id = 0; in >> id;) read.push_back(id);
    if (read.empty()) throw std::runtime_error("TW_SERVICE_IDS names no file of document ids");
    return read;
  }();
  return ids;
}

void Connect(clsDocument& document) {
  static const std::string db = Env("TW_SERVICE_DB"), server = Env("TW_SERVICE_SERVER"),
                           user = Env("TW_SERVICE_USER"), password = Env("TW_SERVICE_PASSWORD");
  static const bool trusted = Env("TW_SERVICE_TRUSTED") == "1";
  if (!document.ConnectionVariables(db, server, user, password, trusted)) {
    throw std::runtime_error("cannot open the office " + db + ": " + document.LastErrorText());
  }
}

// The column properties a clerk's read answers with, as the service chooses them.
const std::vector<std::string>& DocumentColumns() {
  static const std::vector<std::string> columns = [] {
    clsDocument document;
    return client::ColumnProperties(document, {"HasAltered", "ImagePath"});
  }();
  return columns;
}

// Reads the current row's columns; a column the query did not select is
// skipped, as the service leaves it out. The sum of the texts' lengths keeps
// the reads from being optimised away.
std::size_t ReadRow(Object& object, const std::vector<std::string>& columns) {
  std::size_t size = 0;
  for (const std::string& name : columns) {
    if (const auto value = client::ReadColumn(object, name)) size += value->Text().size();
  }
  return size;
}

// The public filing's calls: the filings search for the one id, then the document itself.
std::size_t PublicFiling(clsDocument& documents, clsDocument& document, std::int32_t id) {
  std::string where = documents.SetupFilter("", "", "", true, "", "", "", "", false, "", "", "", "", "O", false);
  where += where.empty() ? "where" : " and";
  where += " RD.delete_date is null and RD.unique_id > 0 and RD.unique_id = " + std::to_string(id) + " ";
  if (!documents.GetDocumentList(where)) throw std::runtime_error("no filing " + std::to_string(id));
  std::size_t size = 0;
  for (; !documents.EndOfFile(); documents.MoveNext()) size += documents.Get("UniqueID").Text().size();
  documents.MoveFirst();
  size += ReadRow(documents, tarnwick::service::kPublicFilingColumns);
  if (!document.GetData(id)) throw std::runtime_error("no document " + std::to_string(id));
  return size + ReadRow(document, tarnwick::service::kPublicFilingColumns);
}

std::size_t ClerkDocument(clsDocument& document, std::int32_t id) {
  if (!document.GetData(id)) throw std::runtime_error("no document " + std::to_string(id));
  return ReadRow(document, DocumentColumns());
}

// Runs `call(objects..., id)` over the ids from the thread's own place.
template <std::size_t N, class Call>
void Run(benchmark::State& state, Call call) {
  const auto& ids = Ids();
  const bool fresh = state.range(0) == 1;
  std::size_t next = static_cast<std::size_t>(state.thread_index()) * ids.size() / static_cast<std::size_t>(state.threads());
  std::array<clsDocument, N> kept;
  if (!fresh) for (auto& d : kept) Connect(d);
  for (auto _ : state) {
    const std::int32_t id = ids[next++ % ids.size()];
    if (fresh) {
      std::array<clsDocument, N> made;
      for (auto& d : made) Connect(d);
      benchmark::DoNotOptimize(call(made, id));
    } else {
      benchmark::DoNotOptimize(call(kept, id));
    }
  }
  state.counters["calls_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_PublicFiling(benchmark::State& state) {
  Run<2>(state, [](std::array<clsDocument, 2>& d, std::int32_t id) { return PublicFiling(d[0], d[1], id); });
}
void BM_ClerkDocument(benchmark::State& state) {
  Run<1>(state, [](std::array<clsDocument, 1>& d, std::int32_t id) { return ClerkDocument(d[0], id); });
}

BENCHMARK(BM_PublicFiling)->ArgName("fresh")->Arg(0)->Arg(1)->Threads(32)->MinTime(5)->UseRealTime();
BENCHMARK(BM_ClerkDocument)->ArgName("fresh")->Arg(0)->Arg(1)->Threads(32)->MinTime(5)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
