// Exports through clsDocReportExport against the sqlite3 command-line tool
// writing the same rows in its CSV mode (.mode csv, .once FILE).
//
// The office's correspondence export is pointed at a table of 1,000,000 rows
// (a number, two texts, money, a date, a note that is sometimes Null and
// sometimes holds quotes and commas).
//
//   BM_Export/<rows>: CreateFileCorrExport into a file. Counters: library_s,
//     cli_s (the sqlite3 tool on the same select), ratio (library over tool;
//     goal <= 1), file_mb, rows_per_s.
//   BM_ExportPeakMemory/<rows>: the export in a process of its own; the peak
//     resident size during the call above the size before it, in MB and as a
//     fraction of the file's size (goal < 0.1).
#include <benchmark/benchmark.h>

#include <chrono>
#include <iostream>
#include <memory>

#include "bench_support.hpp"
#include "tarnwick/clsDocReportExport.hpp"

namespace {

using Clock = std::chrono::steady_clock;
constexpr const char* kSelect =
    "select id, committee, title, amount, filed, note from bench_rows order by id";

bench::ScratchOffice& Office(std::int64_t rows) {
  static std::int64_t made = 0;
  static bench::ScratchOffice office(0);
  if (made != rows) {
    office.Execute(
        "drop table if exists bench_rows;"
        "create table bench_rows (id int, committee varchar(60), title varchar(100), amount money, "
        "filed datetime, note text);"
        "with recursive n(i) as (select 1 union all select i + 1 from n where i < " +
        std::to_string(rows) +
        ") insert into bench_rows select i, 'Committee to Elect Candidate ' || (i % 5000), "
        "'Quarterly report ' || (i % 4 + 1) || ' of ' || (2000 + i % 8), (i % 100000) / 100.0, "
        "datetime('2004-01-01', '+' || (i % 3000) || ' days'), "
        "case i % 10 when 0 then null when 1 then 'says \"late\", again' else 'received by mail' end from n;"
        "update tw_procedure set body = '" + std::string(kSelect) + "' where name = 'sp_misc_data_list_export';");
    made = rows;
  }
  return office;
}

std::unique_ptr<tarnwick::clsDocReportExport> Connect(const std::string& path) {
  auto exporter = std::make_unique<tarnwick::clsDocReportExport>();
  if (!exporter->ConnectionVariables(path, "embedded", "", "", false)) throw std::runtime_error("cannot connect");
  return exporter;
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

void BM_Export(benchmark::State& state) {
  bench::ScratchOffice& office = Office(state.range(0));
  auto exporter = Connect(office.Path());
  const std::string ours = office.File("ours.csv"), theirs = office.File("cli.csv");
  double library = 0, cli = 0;
  for (auto _ : state) {
    auto start = Clock::now();
    if (!exporter->CreateFileCorrExport("", "", "", "", "", ours)) throw std::runtime_error("export failed");
    library += Seconds(Clock::now() - start);
    const std::string command = "sqlite3 '" + office.Path() + "' '.mode csv' '.once " + theirs + "' '" + kSelect + "'";
    start = Clock::now();
    if (std::system(command.c_str()) != 0) throw std::runtime_error("sqlite3 failed");
    cli += Seconds(Clock::now() - start);
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["library_s"] = library / n;
  state.counters["cli_s"] = cli / n;
  state.counters["ratio"] = library / cli;
  state.counters["file_mb"] = static_cast<double>(std::filesystem::file_size(ours)) / (1 << 20);
  state.counters["cli_file_mb"] = static_cast<double>(std::filesystem::file_size(theirs)) / (1 << 20);
  state.counters["rows_per_s"] = static_cast<double>(state.range(0)) * n / library;
}
BENCHMARK(BM_Export)->Arg(1'000'000)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

int MemoryChild(const std::string& path, const std::string& file) {
  auto exporter = Connect(path);
  const std::int64_t before = bench::StatusBytes("VmRSS");
  bench::ResetPeak();
  const bool ok = exporter->CreateFileCorrExport("", "", "", "", "", file);
  const std::int64_t peak = bench::StatusBytes("VmHWM");
  const double size = static_cast<double>(std::filesystem::file_size(file));
  std::cout << "ok=" << (ok ? 1 : 0) << "\npeak_mb=" << static_cast<double>(peak - before) / (1 << 20)
            << "\nfile_mb=" << size / (1 << 20) << "\nfraction=" << static_cast<double>(peak - before) / size
            << "\nprocess_peak_mb=" << static_cast<double>(peak) / (1 << 20) << "\n";
  return ok ? 0 : 1;
}

void BM_ExportPeakMemory(benchmark::State& state) {
  bench::ScratchOffice& office = Office(state.range(0));
  for (auto _ : state) {
    auto v = bench::RunChild("--memory-child '" + office.Path() + "' '" + office.File("memory.csv") + "'");
    state.counters["peak_mb"] = v["peak_mb"];
    state.counters["process_peak_mb"] = v["process_peak_mb"];
    state.counters["file_mb"] = v["file_mb"];
    state.counters["peak_over_file"] = v["fraction"];
    if (v["ok"] != 1) state.SkipWithError("export failed");
  }
}
BENCHMARK(BM_ExportPeakMemory)->Arg(1'000'000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--memory-child") return MemoryChild(argv[2], argv[3]);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
