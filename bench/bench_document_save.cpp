// Saving documents through clsDocument against the plain SQLite statements
// that do the same work on the same office database:
//
//   one-column change: SaveData after setting Title (a unit of work, the
//     change test over every column, one sp_update_table call) against
//     BEGIN IMMEDIATE; UPDATE ref_document SET Title = ? WHERE unique_id = ?; COMMIT
//     with prepared statements;
//   new document: SaveData of a new row with seven columns set (the insert
//     procedure with thirty inputs, then the reload of the saved row) against
//     an INSERT of the thirty columns and a SELECT * of the new row.
//
// Each iteration runs both in turn. The counters are the library's time over
// the plain statements' time, by this thread's processor time (ratio_cpu,
// steady on a shared machine) and by the wall clock (ratio_wall, which also
// counts the commits' writes to disk), and the per-save times in microseconds
// (wall and processor).
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <time.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "office/file_office.hpp"
#include "tarnwick/clsDocument.hpp"

namespace {

void Check(int rc, sqlite3* db, const char* what) {
  if (rc != SQLITE_OK && rc != SQLITE_ROW && rc != SQLITE_DONE) {
    throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
  }
}

class Office {
 public:
  Office() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tw_bench_save_XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    dir_ = pattern;
    path_ = (dir_ / "office.db").string();
    tarnwick::office::OfficeOptions options;
    options.sampleDocuments = 2000;
    const tarnwick::office::OfficeResult made = tarnwick::office::CreateFileOffice(path_, options);
    if (!made.ok()) throw std::runtime_error("sample office: " + made.message);
  }
  ~Office() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  const std::string& Path() const { return path_; }

 private:
  std::filesystem::path dir_;
  std::string path_;
};

Office& TheOffice() {
  static Office office;
  return office;
}

double ThreadSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double WallSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Processor and wall time of the two contestants.
struct Split {
  double libraryCpu = 0, libraryWall = 0, plainCpu = 0, plainWall = 0;
  template <class F>
  static void Time(double& cpu, double& wall, F&& f) {
    const double c0 = ThreadSeconds();
    const double w0 = WallSeconds();
    f();
    wall += WallSeconds() - w0;
    cpu += ThreadSeconds() - c0;
  }
  void Report(benchmark::State& state) const {
    const double n = static_cast<double>(state.iterations());
    state.counters["ratio_cpu"] = libraryCpu / plainCpu;
    state.counters["ratio_wall"] = libraryWall / plainWall;
    state.counters["library_us"] = libraryWall / n * 1e6;
    state.counters["plain_us"] = plainWall / n * 1e6;
    state.counters["library_cpu_us"] = libraryCpu / n * 1e6;
    state.counters["plain_cpu_us"] = plainCpu / n * 1e6;
  }
};

// The plain side: one connection set up as the library's engine sets up its own.
class Plain {
 public:
  Plain() {
    Check(sqlite3_open_v2(TheOffice().Path().c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr),
          db_, "open");
    sqlite3_busy_timeout(db_, 5000);
    Check(sqlite3_exec(db_, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr), db_, "wal");
  }
  ~Plain() {
    for (sqlite3_stmt* s : {begin_, update_, commit_, insert_, select_}) sqlite3_finalize(s);
    sqlite3_close(db_);
  }
  sqlite3_stmt* Prepare(sqlite3_stmt*& slot, const char* sql) {
    if (slot == nullptr) Check(sqlite3_prepare_v2(db_, sql, -1, &slot, nullptr), db_, sql);
    sqlite3_reset(slot);
    return slot;
  }

  void UpdateTitle(std::int64_t id, const std::string& title) {
    Check(sqlite3_step(Prepare(begin_, "BEGIN IMMEDIATE")), db_, "begin");
    sqlite3_stmt* u = Prepare(update_, "UPDATE ref_document SET Title = ?1 WHERE unique_id = ?2");
    sqlite3_bind_text(u, 1, title.c_str(), static_cast<int>(title.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(u, 2, id);
    Check(sqlite3_step(u), db_, "update");
    Check(sqlite3_step(Prepare(commit_, "COMMIT")), db_, "commit");
  }

  // The thirty settable columns, seven of them given, then the row read back.
  std::int64_t InsertReport(const std::string& title) {
    sqlite3_stmt* s = Prepare(
        insert_,
        "INSERT INTO ref_document (doc_type_code, doc_sub_type_code, doc_year, Is_amendment, name_listed, Title, "
        "due_date, referred_county_code, penalty_appeal_decision_code, Amount_Due, amount_paid, "
        "delivery_method_code, doc_reason_code, report_version_code, receive_send_date, entry_date, other_date, "
        "import_date, begin_date, end_date, signed_date, signer_officer_type_code, signer_officer_id, signer_name, "
        "delete_date, has_no_report_data, no_report_data_reason, total_receipts, total_expenditures, has_no_totals, "
        "has_image, orig_date) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, "
        "?18, ?19, ?20, ?21, ?22, ?23, ?24, ?25, ?26, ?27, ?28, ?29, ?30, 0, datetime('now', 'localtime'))");
    sqlite3_clear_bindings(s);
    sqlite3_bind_text(s, 1, "RPT", -1, SQLITE_STATIC);
    sqlite3_bind_text(s, 2, "Q1", -1, SQLITE_STATIC);
    sqlite3_bind_int(s, 3, 2004);
    sqlite3_bind_int(s, 4, 0);
    sqlite3_bind_text(s, 5, "Friends of Benchmarking", -1, SQLITE_STATIC);
    sqlite3_bind_text(s, 6, title.c_str(), static_cast<int>(title.size()), SQLITE_TRANSIENT);
    sqlite3_bind_double(s, 10, 12.5);
    sqlite3_bind_text(s, 15, "2004-04-15 00:00:00", -1, SQLITE_STATIC);
    Check(sqlite3_step(s), db_, "insert");
    const std::int64_t id = sqlite3_last_insert_rowid(db_);
    sqlite3_stmt* r = Prepare(select_, "SELECT * FROM ref_document WHERE unique_id = ?1");
    sqlite3_bind_int64(r, 1, id);
    std::size_t bytes = 0;
    if (sqlite3_step(r) == SQLITE_ROW) {
      for (int c = 0; c < sqlite3_column_count(r); ++c) {
        const auto* text = sqlite3_column_text(r, c);
        if (text != nullptr) bytes += std::string(reinterpret_cast<const char*>(text)).size();
      }
    }
    // Ends the read at once, as the library's result sets do, so that this
    // connection holds no snapshot while the other one writes.
    sqlite3_reset(r);
    benchmark::DoNotOptimize(bytes);
    return id;
  }

 private:
  sqlite3* db_ = nullptr;
  sqlite3_stmt* begin_ = nullptr;
  sqlite3_stmt* update_ = nullptr;
  sqlite3_stmt* commit_ = nullptr;
  sqlite3_stmt* insert_ = nullptr;
  sqlite3_stmt* select_ = nullptr;
};

std::unique_ptr<tarnwick::clsDocument> ConnectedDocument() {
  auto doc = std::make_unique<tarnwick::clsDocument>();
  if (!doc->ConnectionVariables(TheOffice().Path(), "embedded", "", "", false)) {
    throw std::runtime_error("cannot connect to " + TheOffice().Path());
  }
  return doc;
}

void BM_SaveOneColumnChange(benchmark::State& state) {
  auto doc = ConnectedDocument();
  Plain plain;
  // Two documents of the sample office, one for each side.
  if (!doc->GetData(1) || !doc->GetData(2)) {
    state.SkipWithError("the sample office has no documents 1 and 2");
    return;
  }
  Split split;
  std::int64_t i = 0;
  for (auto _ : state) {
    const std::string title = "Benchmark title " + std::to_string(++i);
    doc->Title(title);  // differs from the value read on every pass
    bool saved = false;
    Split::Time(split.libraryCpu, split.libraryWall, [&] { saved = doc->SaveData(); });
    Split::Time(split.plainCpu, split.plainWall, [&] { plain.UpdateTitle(1, title); });
    if (!saved) {
      state.SkipWithError("SaveData failed");
      return;
    }
  }
  split.Report(state);
}
BENCHMARK(BM_SaveOneColumnChange)->Unit(benchmark::kMicrosecond)->Iterations(400);

void BM_SaveNewDocument(benchmark::State& state) {
  auto doc = ConnectedDocument();
  Plain plain;
  Split split;
  std::int64_t i = 0;
  for (auto _ : state) {
    const std::string title = "Benchmark report " + std::to_string(++i);
    if (!doc->GetData()) {
      state.SkipWithError("GetData() failed");
      return;
    }
    doc->DocTypeCode("RPT");
    doc->DocSubTypeCode("Q1");
    doc->DocYear("2004");
    doc->IsAmendment("False");
    doc->NameListed("Friends of Benchmarking");
    doc->Title(title);
    doc->AmountDue(tarnwick::Currency{125000});
    doc->ReceiveSendDate("4/15/2004");
    bool saved = false;
    Split::Time(split.libraryCpu, split.libraryWall, [&] { saved = doc->SaveData(); });
    Split::Time(split.plainCpu, split.plainWall, [&] { plain.InsertReport(title); });
    if (!saved || doc->UniqueID() <= 0) {
      state.SkipWithError("SaveData of a new document failed");
      return;
    }
  }
  split.Report(state);
}
BENCHMARK(BM_SaveNewDocument)->Unit(benchmark::kMicrosecond)->Iterations(400);

}  // namespace

BENCHMARK_MAIN();
