// The cost of turning a code into its description on a loaded list: every
// lookup reads the whole list (the last row with the code decides), so the
// time per call grows with the list's length. Measured on lists of 500 to
// 5,000 codes held by a scripted gateway, so that only the lookup is timed.
//
//   lookups_bench      ns per GetDescription call and per row read, and the fitted growth
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "tarnwick/clsLookup_List.hpp"
#include "tarnwick/testing/recording_gateway.hpp"

namespace {

// A code list of n rows shaped as the office's code tables.
std::shared_ptr<tarnwick::Recordset> CodeList(int n) {
  using tarnwick::DataType;
  using tarnwick::Variant;
  std::vector<std::vector<Variant>> rows;
  rows.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    char code[16];
    std::snprintf(code, sizeof code, "C%05d", i);
    rows.push_back({Variant(code), Variant("Description of code " + std::to_string(i)),
                    Variant(static_cast<std::int16_t>(i % 30000)), Variant(tarnwick::Date{2.0}), Variant::Null(),
                    Variant::Null()});
  }
  return tarnwick::Recordset::FromRows({{"Code", DataType::VarChar},
                                        {"Description", DataType::VarChar},
                                        {"Sequence", DataType::SmallInt},
                                        {"effective_date", DataType::DBTimeStamp},
                                        {"expire_date", DataType::DBTimeStamp},
                                        {"update_date", DataType::DBTimeStamp}},
                                       std::move(rows));
}

// A lookup list object loaded with a code list of n rows through a scripted gateway.
class LoadedList {
 public:
  explicit LoadedList(int n) : script_(std::make_shared<tarnwick::testing::GatewayScript>()), factory_(script_) {
    script_->Answer("OpenRecordset", {.result = CodeList(n)});
    list_ = std::make_unique<tarnwick::clsLookup_List>();
    loaded_ = list_->GetData(tarnwick::zubL_Office);
  }
  // False, with the benchmark skipped, when the list did not load.
  bool Ready(benchmark::State& state) const {
    if (!loaded_) state.SkipWithError("the list did not load");
    return loaded_;
  }
  tarnwick::clsLookup_List& list() { return *list_; }

 private:
  std::shared_ptr<tarnwick::testing::GatewayScript> script_;
  tarnwick::testing::ScopedRecordingFactory factory_;
  std::unique_ptr<tarnwick::clsLookup_List> list_;
  bool loaded_ = false;
};

// The code in the middle of a list of n codes, as printed by CodeList.
std::string MiddleCode(int n) {
  char code[16];
  std::snprintf(code, sizeof code, "C%05d", n / 2);
  return code;
}

void BM_GetDescription(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  LoadedList loaded(n);
  if (!loaded.Ready(state)) return;
  const std::string wanted = " " + MiddleCode(n) + " ";  // the lookup trims both sides
  for (auto _ : state) benchmark::DoNotOptimize(loaded.list().GetDescription(wanted));
  state.SetComplexityN(n);
  // Seconds per row read (printed with its SI prefix, n for nanoseconds).
  state.counters["per_row"] = benchmark::Counter(static_cast<double>(state.iterations()) * n,
                                                 benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_GetDescription)->Arg(500)->Arg(1000)->Arg(2000)->Arg(5000)->Complexity(benchmark::oN);

// FindIndex on the same lists: the result set's own search, then the cursor put back.
void BM_FindIndex(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  LoadedList loaded(n);
  if (!loaded.Ready(state)) return;
  const std::string wanted = MiddleCode(n);
  for (auto _ : state) benchmark::DoNotOptimize(loaded.list().FindIndex(wanted));
  state.SetComplexityN(n);
}
BENCHMARK(BM_FindIndex)->Arg(500)->Arg(5000)->Complexity(benchmark::oN);

}  // namespace

BENCHMARK_MAIN();
