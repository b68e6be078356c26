// Page images through clsDocumentImage against raw SQLite blob I/O of the
// same bytes on the same office database.
//
//   BM_ImageRoundTrip/MB/hand_over: GetData() for a new row, Image = the
//     bytes (copied into the row, or with hand_over:1 the array handed over),
//     SaveData(id), GetData(id), Image read back (a copy for the caller);
//     checked byte for byte.
//     Against: BEGIN IMMEDIATE; INSERT ... ON CONFLICT DO UPDATE of the blob (bound in
//     place); COMMIT; SELECT of the blob copied into a byte array.
//     Counters: library_ms and raw_ms per round trip, ratio (goal <= 1.3),
//     byte_for_byte (1 when the image came back unchanged).
//   BM_ImagePeakMemory/<MB>: SaveData and GetData+Image each in a process of
//     their own; the peak resident size during the call above the process's
//     size before the image existed, in MB and as a multiple of the image
//     (goal <= 3). The client's own array and the object's row count in it:
//     "save" keeps the client's array beside the row, "save_handed_over"
//     gives it to the row, as a client that no longer needs it does.
//   BM_ImageOverEngineLimit: an image one byte over SQLite's 1,000,000,000
//     byte limit: SaveData must be False and the stored image unchanged.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <iostream>
#include <memory>
#include <utility>

#include "bench_support.hpp"
#include "tarnwick/clsDocumentImage.hpp"

namespace {

using Clock = std::chrono::steady_clock;

tarnwick::Bytes Pattern(std::size_t size) {
  tarnwick::Bytes b(size);
  std::uint32_t x = 2463534242u;
  for (std::size_t i = 0; i < size; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b[i] = static_cast<std::uint8_t>(x);
  }
  return b;
}

std::unique_ptr<tarnwick::clsDocumentImage> Connect(const std::string& path) {
  auto image = std::make_unique<tarnwick::clsDocumentImage>();
  if (!image->ConnectionVariables(path, "embedded", "", "", false)) throw std::runtime_error("cannot connect");
  return image;
}

bench::ScratchOffice& Office() {
  static bench::ScratchOffice office(10);
  static const bool blobTable = (office.Execute("create table raw_blob (id integer primary key, b blob)"), true);
  (void)blobTable;
  return office;
}

constexpr std::int32_t kDocument = 1;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void RawRoundTrip(sqlite3* db, const tarnwick::Bytes& bytes, tarnwick::Bytes& back) {
  sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  sqlite3_stmt* put = nullptr;
  sqlite3_prepare_v2(db, "insert into raw_blob (id, b) values (1, ?1) on conflict (id) do update set b = excluded.b", -1, &put, nullptr);
  sqlite3_bind_blob64(put, 1, bytes.data(), bytes.size(), SQLITE_STATIC);
  if (sqlite3_step(put) != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(db));
  sqlite3_finalize(put);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_stmt* get = nullptr;
  sqlite3_prepare_v2(db, "select b from raw_blob where id = 1", -1, &get, nullptr);
  if (sqlite3_step(get) != SQLITE_ROW) throw std::runtime_error(sqlite3_errmsg(db));
  const auto* p = static_cast<const std::uint8_t*>(sqlite3_column_blob(get, 0));
  back.assign(p, p + sqlite3_column_bytes(get, 0));
  sqlite3_finalize(get);
}

void BM_ImageRoundTrip(benchmark::State& state) {
  const std::size_t size = static_cast<std::size_t>(state.range(0)) << 20;
  const bool handOver = state.range(1) != 0;
  const tarnwick::Bytes bytes = Pattern(size);
  auto image = Connect(Office().Path());
  sqlite3* db = nullptr;
  sqlite3_open(Office().Path().c_str(), &db);
  double library = 0, raw = 0;
  bool same = true;
  for (auto _ : state) {
    // The two take turns at going first, so that neither always pays for
    // the other's checkpoint of the journal.
    for (int turn = 0; turn < 2; ++turn) {
      if ((turn == 0) == (state.iterations() % 2 == 0)) {
        // A client that keeps its array has it copied into the row; one
        // that is done with it hands it over.
        tarnwick::Bytes handed = handOver ? bytes : tarnwick::Bytes();
        const auto start = Clock::now();
        if (!image->GetData()) throw std::runtime_error("GetData()");
        if (handOver) image->Image(std::move(handed));
        else image->Image(bytes);
        if (!image->SaveData(std::to_string(kDocument))) throw std::runtime_error("SaveData");
        if (!image->GetData(kDocument)) throw std::runtime_error("GetData(id)");
        const tarnwick::Bytes back = image->Image();
        library += Ms(Clock::now() - start);
        same = same && back == bytes;
      } else {
        tarnwick::Bytes back;
        const auto start = Clock::now();
        RawRoundTrip(db, bytes, back);
        raw += Ms(Clock::now() - start);
      }
    }
  }
  sqlite3_close(db);
  const double n = static_cast<double>(state.iterations());
  state.counters["library_ms"] = library / n;
  state.counters["raw_ms"] = raw / n;
  state.counters["ratio"] = library / raw;
  state.counters["byte_for_byte"] = same ? 1 : 0;
  state.SetBytesProcessed(static_cast<std::int64_t>(2 * size * state.iterations()));
}
BENCHMARK(BM_ImageRoundTrip)->ArgNames({"MB", "hand_over"})->Args({1, 0})->Args({100, 0})->Args({100, 1})->Unit(benchmark::kMillisecond)->Iterations(4)->UseRealTime();

// In a child process: one call, measured alone.
int MemoryChild(const std::string& phase, const std::string& path, std::size_t size) {
  auto image = Connect(path);
  const std::int64_t before = bench::StatusBytes("VmRSS");
  std::int64_t peak = 0;
  bool ok = false;
  if (phase == "save" || phase == "save_handed_over") {
    tarnwick::Bytes bytes = Pattern(size);
    ok = image->GetData();
    if (phase == "save") image->Image(bytes);  // the client keeps its own copy
    else image->Image(std::move(bytes));       // the client hands its array over
    bench::ResetPeak();
    ok = ok && image->SaveData(std::to_string(kDocument));
    peak = bench::StatusBytes("VmHWM");
  } else if (phase == "raw_save") {
    const tarnwick::Bytes bytes = Pattern(size);
    tarnwick::Bytes back;
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    bench::ResetPeak();
    sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    sqlite3_stmt* put = nullptr;
    sqlite3_prepare_v2(db, "insert into raw_blob (id, b) values (1, ?1) on conflict (id) do update set b = excluded.b", -1, &put, nullptr);
    sqlite3_bind_blob64(put, 1, bytes.data(), bytes.size(), SQLITE_STATIC);
    ok = sqlite3_step(put) == SQLITE_DONE;
    sqlite3_finalize(put);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    peak = bench::StatusBytes("VmHWM");
    sqlite3_close(db);
  } else {
    bench::ResetPeak();
    ok = image->GetData(kDocument);
    const tarnwick::Bytes back = image->Image();
    peak = bench::StatusBytes("VmHWM");
    ok = ok && back.size() == size;
  }
  std::cout << "ok=" << (ok ? 1 : 0) << "\npeak_mb=" << static_cast<double>(peak - before) / (1 << 20)
            << "\nratio=" << static_cast<double>(peak - before) / static_cast<double>(size) << "\n";
  return ok ? 0 : 1;
}

void BM_ImagePeakMemory(benchmark::State& state) {
  const std::size_t size = static_cast<std::size_t>(state.range(0)) << 20;
  for (auto _ : state) {
    for (const std::string phase : {"save", "save_handed_over", "load", "raw_save"}) {
      auto v = bench::RunChild("--memory-child " + phase + " '" + Office().Path() + "' " + std::to_string(size));
      state.counters[phase + "_peak_mb"] = v["peak_mb"];
      state.counters[phase + "_x_image"] = v["ratio"];
      if (v["ok"] != 1) state.SkipWithError((phase + " failed").c_str());
    }
  }
}
BENCHMARK(BM_ImagePeakMemory)->Arg(100)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_ImageOverEngineLimit(benchmark::State& state) {
  auto image = Connect(Office().Path());
  for (auto _ : state) {
    if (!image->GetData()) throw std::runtime_error("GetData()");
    image->Image(Pattern(4096));
    if (!image->SaveData(std::to_string(kDocument))) throw std::runtime_error("SaveData");
    {
      if (!image->GetData()) throw std::runtime_error("GetData()");
      image->Image(tarnwick::Bytes(1'000'000'001, 7));
      state.counters["refused"] = image->SaveData(std::to_string(kDocument)) ? 0 : 1;
    }
    if (!image->GetData(kDocument)) throw std::runtime_error("GetData(id)");
    state.counters["stored_image_kept"] = image->Image() == Pattern(4096) ? 1 : 0;
  }
}
BENCHMARK(BM_ImageOverEngineLimit)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::string(argv[1]) == "--memory-child")
    return MemoryChild(argv[2], argv[3], static_cast<std::size_t>(std::stoull(argv[4])));
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
