// The office server engine against libpq doing the same work on the same
// server office, and the embedded engine beside it:
//
//   search: the document search (every document, in the search's order)
//     through OpenRecordset, against PQexec of the text the engine renders
//     for it with every value of the result read; the same search on the
//     embedded engine over an office file with the same rows;
//   one-column save: clsDocument::SaveData after setting Title (a unit of
//     work with one sp_update_table call), against BEGIN; UPDATE ref_document
//     SET title = $1 WHERE unique_id = $2; COMMIT through PQexecParams, and
//     against BEGIN; CALL sp_update_table(...); COMMIT by hand, which tells
//     the engine's own cost (ratio_to_call) from the procedure's.
//
// The counters give the library's time over libpq's (ratio) and the times in
// milliseconds or microseconds. The server comes from the environment that
// scripts/with-postgres.sh sets (TARNWICK_PG_SOCKET, TARNWICK_PG_PORT,
// TARNWICK_PG_SUPERUSER); without it the program says so and does nothing.
// TARNWICK_BENCH_DOCUMENTS sets the size of the office (default 100,000).
//
//   scripts/with-postgres.sh build/bench/postgres_bench
#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

#include "documents/document_queries.hpp"
#include "gateway/postgres/engine.hpp"
#include "office/file_office.hpp"
#include "office/server_office.hpp"
#include "support/server_office.hpp"
#include "support/temp_dir.hpp"
#include "tarnwick/clsDocument.hpp"

namespace {

using namespace tarnwick;

double Seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::int64_t Documents() {
  const char* n = std::getenv("TARNWICK_BENCH_DOCUMENTS");
  return n ? std::atoll(n) : 100000;
}

// The same sample office on the server and in a file, built once.
struct Offices {
  Offices() {
    office::OfficeOptions options;
    options.sampleDocuments = Documents();
    database = test::UniqueDatabaseName("bench");
    const office::OfficeResult server = office::CreateServerOffice(test::ServerSettings(database), options);
    if (!server.ok()) throw std::runtime_error("server office: " + server.message);
    file = dir.File("office.db");
    const office::OfficeResult embedded = office::CreateFileOffice(file, options);
    if (!embedded.ok()) throw std::runtime_error("office file: " + embedded.message);
  }
  ~Offices() { test::DropServerDatabase(database); }
  test::TempDir dir;
  std::string database;
  std::string file;
};

Offices& TheOffices() {
  static Offices offices;
  return offices;
}

const std::string& SearchText() {
  static const std::string text =
      std::string(documents::kDocumentListSelect) + std::string(documents::kDocumentListOrder);
  return text;
}

postgres::Connection Raw() {
  std::string error;
  postgres::Connection c = postgres::Connect(test::ServerSettings(TheOffices().database), error);
  if (!c) throw std::runtime_error(error);
  return c;
}

std::unique_ptr<DataGateway> ServerGateway() {
  auto g = CreateDefaultGateway();
  const postgres::ConnectionSettings s = test::ServerSettings(TheOffices().database);
  if (!g->SetConnection(s.database, s.server, s.user, "", true, 5, "", ""))
    throw std::runtime_error(g->LastErrorText());
  return g;
}

void BM_SearchServer(benchmark::State& state) {
  auto gateway = ServerGateway();
  postgres::Engine engine;
  const postgres::ConnectionSettings s = test::ServerSettings(TheOffices().database);
  if (!engine.SetConnection(s.database, s.server, s.user, "", true, 5, "", ""))
    throw std::runtime_error(engine.LastErrorText());
  std::string rendered;
  if (auto e = engine.Render(SearchText(), rendered); !e.empty()) throw std::runtime_error(e);
  postgres::Connection raw = Raw();
  double library = 0, plain = 0;
  std::int64_t rows = 0;
  for (auto _ : state) {
    double t = Seconds();
    std::shared_ptr<Recordset> rs;
    if (auto e = gateway->OpenRecordset(SearchText(), rs, 0, true); !e.empty()) {
      state.SkipWithError(e.c_str());
      return;
    }
    rows = rs->RecordCount();
    rs.reset();
    library += Seconds() - t;

    t = Seconds();
    postgres::Result r(PQexec(raw.get(), rendered.c_str()));
    std::size_t bytes = 0;
    for (int i = 0; i < PQntuples(r.get()); ++i)
      for (int c = 0; c < PQnfields(r.get()); ++c) bytes += static_cast<std::size_t>(PQgetlength(r.get(), i, c));
    benchmark::DoNotOptimize(bytes);
    r.reset();
    plain += Seconds() - t;
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["rows"] = static_cast<double>(rows);
  state.counters["ratio"] = library / plain;
  state.counters["library_ms"] = library / n * 1e3;
  state.counters["libpq_ms"] = plain / n * 1e3;
}

void BM_SearchEmbedded(benchmark::State& state) {
  auto gateway = CreateDefaultGateway();
  if (!gateway->SetConnection(TheOffices().file, "embedded", "", "", false, 0, "", ""))
    throw std::runtime_error(gateway->LastErrorText());
  double library = 0;
  std::int64_t rows = 0;
  for (auto _ : state) {
    const double t = Seconds();
    std::shared_ptr<Recordset> rs;
    if (auto e = gateway->OpenRecordset(SearchText(), rs, 0, true); !e.empty()) {
      state.SkipWithError(e.c_str());
      return;
    }
    rows = rs->RecordCount();
    rs.reset();
    library += Seconds() - t;
  }
  state.counters["rows"] = static_cast<double>(rows);
  state.counters["library_ms"] = library / static_cast<double>(state.iterations()) * 1e3;
}

void BM_SaveOneColumnServer(benchmark::State& state) {
  const postgres::ConnectionSettings s = test::ServerSettings(TheOffices().database);
  clsDocument doc;
  if (!doc.ConnectionVariables(s.database, s.server, s.user, "", true)) throw std::runtime_error("cannot connect");
  const std::int32_t id = 1;
  if (!doc.GetData(id)) {
    state.SkipWithError("document 1 cannot be read");
    return;
  }
  postgres::Connection raw = Raw();
  double library = 0, plain = 0, procedure = 0;
  int n = 0;
  for (auto _ : state) {
    const std::string title = "Bench title " + std::to_string(++n);
    double t = Seconds();
    doc.Title(title);
    bool saved = false;
    try {
      saved = doc.SaveData();
    } catch (const std::exception& e) {
      state.SkipWithError(e.what());
      return;
    }
    if (!saved) {
      state.SkipWithError("SaveData failed");
      return;
    }
    library += Seconds() - t;

    t = Seconds();
    const std::string key = std::to_string(id);
    const char* values[] = {title.c_str(), key.c_str()};
    postgres::Result b(PQexec(raw.get(), "BEGIN"));
    postgres::Result u(PQexecParams(raw.get(), "UPDATE ref_document SET title = $1 WHERE unique_id = $2", 2, nullptr,
                                    values, nullptr, nullptr, 0));
    postgres::Result c(PQexec(raw.get(), "COMMIT"));
    if (!postgres::Succeeded(u.get())) {
      state.SkipWithError(postgres::ErrorText(raw.get(), u.get()).c_str());
      return;
    }
    plain += Seconds() - t;

    // The library's statements by hand, to tell the engine's part from the procedure's.
    t = Seconds();
    const char* call[] = {"ref_document", "title", key.c_str(), title.c_str()};
    postgres::Result b2(PQexec(raw.get(), "BEGIN"));
    postgres::Result p(PQexecParams(raw.get(), "CALL sp_update_table(\"table\" => $1, \"column\" => $2, "
                                    "unique_id => $3, value => $4)", 4, nullptr, call, nullptr, nullptr, 0));
    postgres::Result c2(PQexec(raw.get(), "COMMIT"));
    if (!postgres::Succeeded(p.get())) {
      state.SkipWithError(postgres::ErrorText(raw.get(), p.get()).c_str());
      return;
    }
    procedure += Seconds() - t;
  }
  const double count = static_cast<double>(state.iterations());
  state.counters["ratio"] = library / plain;
  state.counters["ratio_to_call"] = library / procedure;
  state.counters["call_us"] = procedure / count * 1e6;
  state.counters["library_us"] = library / count * 1e6;
  state.counters["libpq_us"] = plain / count * 1e6;
}

BENCHMARK(BM_SearchServer)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SearchEmbedded)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SaveOneColumnServer)->Unit(benchmark::kMicrosecond)->Iterations(500);

}  // namespace

int main(int argc, char** argv) {
  if (!test::ServerConfigured()) {
    std::printf("postgres_bench: no office server configured; run it under scripts/with-postgres.sh\n");
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
