// How fast the committee searches answer on an office of 50,000 committees,
// against the raw SQLite statement the T-SQL front end makes of the same text
// (prepared once, every row stepped and every column read).
//
//   committees_bench                     all four measurements (goal: library <= 1.3 x raw)
//   committees_bench --benchmark_filter=Name
//
// The office: a generated sample office of 20,000 documents (500 committees
// with their history, officers and names), whose committees are copied 99
// times under new group numbers and names, so that the searches meet the
// row counts of a large office. The query plan of the committee list is
// printed once, before the measurements.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "committees/committee_queries.hpp"
#include "office/file_office.hpp"
#include "gateway/sqlite/functions.hpp"
#include "gateway/sqlite/render.hpp"
#include "gateway/tsql/translate.hpp"
#include "tarnwick/clsOrg.hpp"

namespace {

constexpr int kCopies = 99;             // 500 committees x (1 + 99) = 50,000
constexpr long long kOffset = 1000000;  // added to every identifier of a copy

void Exec(sqlite3* db, const std::string& sql) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    const std::string text = message != nullptr ? message : "unknown error";
    sqlite3_free(message);
    throw std::runtime_error(text + " in: " + sql.substr(0, 200));
  }
}

// Copies every committee with its reference rows, detail rows and officers.
void MultiplyCommittees(const std::string& file) {
  sqlite3* db = nullptr;
  if (sqlite3_open(file.c_str(), &db) != SQLITE_OK) throw std::runtime_error("cannot open " + file);
  Exec(db, "begin");
  for (int k = 1; k <= kCopies; ++k) {
    const std::string off = std::to_string(k * kOffset);
    const std::string n = std::to_string(k);
    Exec(db, "insert into ref_org select unique_id + " + off + ", group_id + " + off +
                 ", is_fund, id_1, id_2, substr('00' || " + n + ", -2) || id_3, id_4, current_status_code, "
                 "entered_method_code, entered_date, trans_date, trans_type, check_out_user_id, check_out_date, "
                 "check_in_user_id, check_in_date, Reason, update_date, Orig_user_id, orig_date, user_id "
                 "from ref_org where unique_id < " + std::to_string(kOffset));
    Exec(db, "insert into org_committee select unique_id + " + off + ", org_group_id + " + off +
                 ", trans_date, trans_end_date, org_name || ' " + n + "', inhouse_name || ' " + n +
                 "', old_acronym, previous_id, comm_type_code, comm_level_code, party_code, mef_required, "
                 "orig_date, update_date, user_id from org_committee where unique_id < " + std::to_string(kOffset));
    Exec(db, "insert into org_officers select unique_id + " + off + ", group_id + " + off + ", org_group_id + " +
                 off + ", name_type_code, entity_id, cand_office_code, trans_date, trans_end_date, orig_date, "
                 "update_date, user_id from org_officers where unique_id < " + std::to_string(kOffset));
  }
  Exec(db, "commit");
  Exec(db, "analyze");
  sqlite3_close(db);
}

std::filesystem::path ScratchDir() {
  static const std::filesystem::path dir = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "tw_committee_bench_XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    return std::filesystem::path(pattern);
  }();
  return dir;
}

const std::string& Office() {
  static const std::string path = [] {
    const std::string file = (ScratchDir() / "committees.db").string();
    tarnwick::office::OfficeOptions options;
    options.overwrite = true;
    options.sampleDocuments = 20000;
    const auto result = tarnwick::office::CreateFileOffice(file, options);
    if (!result.ok()) throw std::runtime_error(result.message);
    MultiplyCommittees(file);
    return file;
  }();
  return path;
}

// The committee list as GetDataList sends it, with a condition text.
std::string ListText(const std::string& filter) {
  using namespace tarnwick::committees;
  return std::string(kCommitteeListSelect) + std::string(kCommitteeDetailJoin) + std::string(kCommitteeOfficerJoins) +
         std::string(kCurrentCommittee) + std::string(kWithoutNrr) + filter;
}

// The condition the search form makes of a committee-name search.
std::string NameFilter() {
  tarnwick::clsOrg org;
  return org.SetupFilter("", "", "", "1", "baxter", "", "", "", "O");
}

// A raw connection to the office with the front end's functions, running the translated text.
class RawStatement {
 public:
  explicit RawStatement(const std::string& tsql) {
    tarnwick::tsql::Translation t;
    const std::string error = tarnwick::tsql::Translate(tsql, tarnwick::sqlite::Renderer(), t);
    if (!error.empty()) throw std::runtime_error(error);
    sql_ = t.sql;
    if (sqlite3_open_v2(Office().c_str(), &db_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
        tarnwick::sqlite::RegisterTsqlFunctions(db_) != SQLITE_OK ||
        sqlite3_prepare_v2(db_, sql_.c_str(), -1, &stmt_, nullptr) != SQLITE_OK) {
      throw std::runtime_error(std::string("raw statement: ") + sqlite3_errmsg(db_));
    }
  }
  ~RawStatement() {
    sqlite3_finalize(stmt_);
    sqlite3_close(db_);
  }
  // Steps every row and reads every column; returns the row count.
  std::int64_t Run() {
    std::int64_t rows = 0;
    const int columns = sqlite3_column_count(stmt_);
    while (sqlite3_step(stmt_) == SQLITE_ROW) {
      for (int c = 0; c < columns; ++c) {
        if (sqlite3_column_type(stmt_, c) == SQLITE_TEXT) {
          benchmark::DoNotOptimize(sqlite3_column_text(stmt_, c));
        } else {
          benchmark::DoNotOptimize(sqlite3_column_int64(stmt_, c));
        }
      }
      ++rows;
    }
    sqlite3_reset(stmt_);
    return rows;
  }
  // EXPLAIN QUERY PLAN, one line per step, indented by depth.
  std::string Plan() const {
    sqlite3_stmt* plan = nullptr;
    std::string text;
    if (sqlite3_prepare_v2(db_, ("EXPLAIN QUERY PLAN " + sql_).c_str(), -1, &plan, nullptr) != SQLITE_OK) {
      return sqlite3_errmsg(db_);
    }
    while (sqlite3_step(plan) == SQLITE_ROW) {
      text += "  " + std::to_string(sqlite3_column_int(plan, 0)) + "<-" + std::to_string(sqlite3_column_int(plan, 1)) +
              "  " + reinterpret_cast<const char*>(sqlite3_column_text(plan, 3)) + "\n";
    }
    sqlite3_finalize(plan);
    return text;
  }

 private:
  sqlite3* db_ = nullptr;
  sqlite3_stmt* stmt_ = nullptr;
  std::string sql_;
};

void RunLibrary(benchmark::State& state, const std::string& filter) {
  tarnwick::clsOrg org;
  if (!org.ConnectionVariables(Office(), "embedded", "", "", false)) {
    state.SkipWithError("cannot open the office");
    return;
  }
  std::int64_t rows = 0;
  for (auto _ : state) {
    if (!org.GetDataList(filter)) {
      state.SkipWithError("no committees found");
      return;
    }
    rows += org.RecordCount();
  }
  state.counters["rows"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kAvgIterations);
}

void RunRaw(benchmark::State& state, const std::string& filter) {
  RawStatement raw(ListText(filter));
  std::int64_t rows = 0;
  for (auto _ : state) rows += raw.Run();
  state.counters["rows"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kAvgIterations);
}

void BM_GetDataList_All_Library(benchmark::State& state) { RunLibrary(state, ""); }
void BM_GetDataList_All_RawSqlite(benchmark::State& state) { RunRaw(state, ""); }
void BM_GetDataList_Name_Library(benchmark::State& state) { RunLibrary(state, NameFilter()); }
void BM_GetDataList_Name_RawSqlite(benchmark::State& state) { RunRaw(state, NameFilter()); }

BENCHMARK(BM_GetDataList_All_Library)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetDataList_All_RawSqlite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetDataList_Name_Library)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetDataList_Name_RawSqlite)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  try {
    std::fprintf(stderr, "Query plan of the committee list:\n%s\n", RawStatement(ListText("")).Plan().c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "cannot build the office: %s\n", e.what());
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove_all(ScratchDir());
  return 0;
}
