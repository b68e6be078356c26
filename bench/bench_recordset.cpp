// Walking a large result set the way the record cursor does: MoveNext down
// 100,000 filings, reading one text column per row, by name and by ordinal,
// against a raw baseline that walks the same texts in nested vectors. Each
// benchmark reports "ns_per_row" and "x_raw", its CPU time per row over the
// baseline's.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "tarnwick/recordset.hpp"

namespace {

using tarnwick::Column;
using tarnwick::DataType;
using tarnwick::Recordset;
using tarnwick::Variant;

constexpr int kRows = 100000;

// CPU time of this thread in nanoseconds: other work on a shared machine
// does not stretch it the way it stretches wall time.
double ThreadCpuNs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e9 + static_cast<double>(ts.tv_nsec);
}

std::vector<Column> FilingColumns() {
  return {{"unique_id", DataType::Integer},   {"title", DataType::VarChar},
          {"committee_name", DataType::VarChar}, {"county", DataType::VarChar},
          {"org_id", DataType::Integer},      {"entered_date", DataType::DBTimeStamp},
          {"due_date", DataType::DBTimeStamp}};
}

std::vector<std::vector<Variant>> FilingRows() {
  std::vector<std::vector<Variant>> rows;
  rows.reserve(kRows);
  for (int i = 0; i < kRows; ++i) {
    rows.push_back({Variant(std::int32_t{i + 1}), Variant("Quarterly report " + std::to_string(i)),
                    Variant("Committee to elect candidate number " + std::to_string(i % 977)),
                    Variant(i % 3 == 0 ? "Essex" : "Kent"), Variant(std::int32_t{i % 977}),
                    Variant(tarnwick::Date{38000.0 + i % 2000}), Variant(tarnwick::Date{38030.0 + i % 2000})});
  }
  return rows;
}

const std::shared_ptr<Recordset>& Filings() {
  static const std::shared_ptr<Recordset> rs = Recordset::FromRows(FilingColumns(), FilingRows());
  return rs;
}

const std::vector<std::vector<std::string>>& RawFilings() {
  static const std::vector<std::vector<std::string>> raw = [] {
    std::vector<std::vector<std::string>> out;
    out.reserve(kRows);
    for (auto& row : FilingRows()) {
      std::vector<std::string> texts;
      for (const Variant& v : row) texts.push_back(v.Text());
      out.push_back(std::move(texts));
    }
    return out;
  }();
  return raw;
}

std::size_t RawWalk() {
  std::size_t bytes = 0;
  for (const auto& row : RawFilings()) {
    const std::string& title = row[1];
    benchmark::DoNotOptimize(&title);
    bytes += title.size();
  }
  return bytes;
}

// Nanoseconds per row of the raw walk: the median of a series of walks,
// measured once (the median keeps a busy machine from skewing the ratio).
double RawNsPerRow() {
  static const double ns = [] {
    RawWalk();  // warm up
    std::vector<double> walks;
    for (int i = 0; i < 31; ++i) {
      const double start = ThreadCpuNs();
      benchmark::DoNotOptimize(RawWalk());
      walks.push_back(ThreadCpuNs() - start);
    }
    std::nth_element(walks.begin(), walks.begin() + 15, walks.end());
    return walks[15] / kRows;
  }();
  return ns;
}

// Runs walk() once per iteration and reports rows/s and the ratio to the raw walk.
template <class Walk>
void RunWalk(benchmark::State& state, Walk walk) {
  const double baseline = RawNsPerRow();
  const double start = ThreadCpuNs();
  for (auto _ : state) benchmark::DoNotOptimize(walk());
  const double perRow = (ThreadCpuNs() - start) / (static_cast<double>(state.iterations()) * kRows);
  state.SetItemsProcessed(state.iterations() * kRows);
  state.counters["ns_per_row"] = perRow;
  state.counters["x_raw"] = perRow / baseline;
}

void BM_RawVectorWalk(benchmark::State& state) { RunWalk(state, RawWalk); }

void BM_MoveNextFieldsItemByName(benchmark::State& state) {
  Recordset& rs = *Filings();
  RunWalk(state, [&rs] {
    std::size_t n = 0;
    for (rs.MoveFirst(); !rs.EndOfFile(); rs.MoveNext()) {
      const Variant& title = rs.Fields().Item("title").Value();
      benchmark::DoNotOptimize(&title);
      ++n;
    }
    return n;
  });
}

void BM_MoveNextCollectByName(benchmark::State& state) {
  Recordset& rs = *Filings();
  RunWalk(state, [&rs] {
    std::size_t n = 0;
    for (rs.MoveFirst(); !rs.EndOfFile(); rs.MoveNext()) {
      Variant title = rs.Collect("title");  // Collect hands out a copy of the value
      benchmark::DoNotOptimize(title);
      ++n;
    }
    return n;
  });
}

void BM_MoveNextFieldsItemByOrdinal(benchmark::State& state) {
  Recordset& rs = *Filings();
  RunWalk(state, [&rs] {
    std::size_t n = 0;
    for (rs.MoveFirst(); !rs.EndOfFile(); rs.MoveNext()) {
      const Variant& title = rs.Fields().Item(1).Value();
      benchmark::DoNotOptimize(&title);
      ++n;
    }
    return n;
  });
}

void BM_FromRows(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto rows = FilingRows();
    state.ResumeTiming();
    auto rs = Recordset::FromRows(FilingColumns(), std::move(rows));
    benchmark::DoNotOptimize(rs.get());
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}

BENCHMARK(BM_RawVectorWalk)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MoveNextFieldsItemByName)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MoveNextCollectByName)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MoveNextFieldsItemByOrdinal)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FromRows)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
