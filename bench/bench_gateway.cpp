// The embedded gateway against plain SQLite: a document search over 100,000
// documents, read through OpenRecordset (T-SQL text translated, every value
// turned into a typed Variant of a result set) and the same translated query
// stepped through the SQLite API, copying every value into std::string, int
// or double. The "ratio" counter is gateway time / plain time (goal: < 1.3).
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <time.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "gateway/sqlite/catalog.hpp"
#include "gateway/sqlite/engine.hpp"
#include "gateway/sqlite/functions.hpp"
#include "gateway/sqlite/render.hpp"
#include "gateway/tsql/translate.hpp"
#include "tarnwick/recordset.hpp"

namespace {

constexpr int kDocuments = 100000;

// A document search as the library writes it: isnull, a date literal and a
// joined caption.
constexpr const char* kSearch =
    "SELECT d.unique_id, d.org_id, d.doc_type_code, d.title + ' - ' + isnull(d.name_listed, '') AS caption, "
    "d.receive_send_date, d.due_date, d.amount_due, d.is_amendment, d.doc_year, d.total_receipts "
    "FROM ref_document d WHERE isnull(d.receive_send_date, '1/1/1900') >= '1/1/1995' AND d.doc_type_code <> 'XXX' "
    "ORDER BY d.receive_send_date DESC, d.unique_id";

void Check(int rc, sqlite3* db, const char* what) {
  if (rc != SQLITE_OK) throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
}

class Office {
 public:
  Office() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tw_bench_XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    dir_ = pattern;
    path_ = (dir_ / "office.db").string();
    sqlite3* db = nullptr;
    Check(sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr), db, "create");
    const std::string schema =
        "PRAGMA application_id = " + std::to_string(tarnwick::sqlite::kApplicationId) +
        "; PRAGMA user_version = " + std::to_string(tarnwick::sqlite::kSchemaVersion) +
        "; create table tw_procedure (name text primary key collate nocase, parameters text not null, "
        "body text not null, description text);"
        "create table ref_document (unique_id integer primary key, org_id int, doc_type_code varchar(10) "
        "collate nocase, title varchar(200) collate nocase, name_listed varchar(100) collate nocase, "
        "receive_send_date datetime, due_date datetime, amount_due money, is_amendment bit, doc_year smallint, "
        "total_receipts money);";
    Check(sqlite3_exec(db, schema.c_str(), nullptr, nullptr, nullptr), db, "schema");
    Check(sqlite3_exec(db, "begin", nullptr, nullptr, nullptr), db, "begin");
    sqlite3_stmt* insert = nullptr;
    Check(sqlite3_prepare_v2(db, "insert into ref_document values (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)",
                             -1, &insert, nullptr),
          db, "prepare");
    static const char* kTypes[] = {"RPT", "COR", "48H", "AMD", "LTR"};
    std::uint64_t seed = 12345;
    auto next = [&seed] {
      seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
      return static_cast<std::uint32_t>(seed >> 33);
    };
    char date[32];
    for (int i = 1; i <= kDocuments; ++i) {
      sqlite3_bind_int(insert, 1, i);
      sqlite3_bind_int(insert, 2, static_cast<int>(next() % 5000) + 1);
      sqlite3_bind_text(insert, 3, kTypes[next() % 5], -1, SQLITE_STATIC);
      const std::string title = "Campaign report number " + std::to_string(i) + " of committee " +
                                std::to_string(next() % 5000);
      sqlite3_bind_text(insert, 4, title.c_str(), -1, SQLITE_TRANSIENT);
      if (next() % 4 == 0) {
        sqlite3_bind_null(insert, 5);
      } else {
        const std::string name = "Friends of candidate " + std::to_string(next() % 900);
        sqlite3_bind_text(insert, 5, name.c_str(), -1, SQLITE_TRANSIENT);
      }
      std::snprintf(date, sizeof date, "%04u-%02u-%02u %02u:%02u:%02u", 1990 + next() % 20, 1 + next() % 12,
                    1 + next() % 28, next() % 24, next() % 60, next() % 60);
      sqlite3_bind_text(insert, 6, date, -1, SQLITE_TRANSIENT);
      std::snprintf(date, sizeof date, "%04u-%02u-%02u 00:00:00", 1990 + next() % 20, 1 + next() % 12,
                    1 + next() % 28);
      if (next() % 3 == 0)
        sqlite3_bind_null(insert, 7);
      else
        sqlite3_bind_text(insert, 7, date, -1, SQLITE_TRANSIENT);
      sqlite3_bind_double(insert, 8, (next() % 1000000) / 100.0);
      sqlite3_bind_int(insert, 9, static_cast<int>(next() % 2));
      sqlite3_bind_int(insert, 10, 1990 + static_cast<int>(next() % 20));
      sqlite3_bind_double(insert, 11, (next() % 100000000) / 100.0);
      if (sqlite3_step(insert) != SQLITE_DONE) Check(SQLITE_ERROR, db, "insert");
      sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    Check(sqlite3_exec(db, "commit", nullptr, nullptr, nullptr), db, "commit");
    sqlite3_close(db);

    tarnwick::tsql::Translation translation;
    const std::string error = tarnwick::tsql::Translate(kSearch, tarnwick::sqlite::Renderer(), translation);
    if (!error.empty()) throw std::runtime_error("translate: " + error);
    translated_ = translation.sql;
  }
  ~Office() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  const std::string& Path() const { return path_; }
  const std::string& Translated() const { return translated_; }

 private:
  std::filesystem::path dir_;
  std::string path_;
  std::string translated_;
};

Office& TheOffice() {
  static Office office;
  return office;
}

struct PlainRow {
  int unique_id, org_id;
  std::string doc_type_code, caption, receive_send_date, due_date;
  double amount_due;
  int is_amendment, doc_year;
  double total_receipts;
};

std::string Text(sqlite3_stmt* stmt, int col) {
  const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, col));
  return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt, col))) : std::string();
}

class PlainReader {
 public:
  PlainReader() {
    Check(sqlite3_open_v2(TheOffice().Path().c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr), db_, "open");
    sqlite3_exec(db_, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    if (tarnwick::sqlite::RegisterTsqlFunctions(db_) != SQLITE_OK) throw std::runtime_error("functions");
  }
  ~PlainReader() { sqlite3_close(db_); }
  std::size_t Read() {
    sqlite3_stmt* stmt = nullptr;
    const std::string& sql = TheOffice().Translated();
    Check(sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr), db_, "prepare");
    std::vector<PlainRow> rows;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      rows.push_back(PlainRow{sqlite3_column_int(stmt, 0), sqlite3_column_int(stmt, 1), Text(stmt, 2),
                              Text(stmt, 3), Text(stmt, 4), Text(stmt, 5), sqlite3_column_double(stmt, 6),
                              sqlite3_column_int(stmt, 7), sqlite3_column_int(stmt, 8),
                              sqlite3_column_double(stmt, 9)});
    }
    sqlite3_finalize(stmt);
    benchmark::DoNotOptimize(rows.data());
    return rows.size();
  }

 private:
  sqlite3* db_ = nullptr;
};

class GatewayReader {
 public:
  GatewayReader() {
    if (!engine_.Open(TheOffice().Path())) throw std::runtime_error(engine_.LastError());
  }
  std::size_t Read() {
    std::shared_ptr<tarnwick::Recordset> rs;
    const std::string error = engine_.OpenRecordset(kSearch, rs, 0, true);
    if (!error.empty()) throw std::runtime_error(error);
    const auto count = static_cast<std::size_t>(rs->RecordCount());
    benchmark::DoNotOptimize(rs.get());
    return count;
  }

 private:
  tarnwick::sqlite::Engine engine_;
};

void BM_PlainSqlite(benchmark::State& state) {
  PlainReader reader;
  std::size_t rows = 0;
  for (auto _ : state) rows = reader.Read();
  state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(BM_PlainSqlite)->Unit(benchmark::kMillisecond);

void BM_GatewayOpenRecordset(benchmark::State& state) {
  GatewayReader reader;
  std::size_t rows = 0;
  for (auto _ : state) rows = reader.Read();
  state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(BM_GatewayOpenRecordset)->Unit(benchmark::kMillisecond);

// This thread's processor time in seconds: on a shared machine it is steadier
// than the wall clock for comparing the two readers.
double ThreadSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Both readers in turn in every iteration; the counter is the ratio of their
// processor times.
void BM_GatewayVsPlain(benchmark::State& state) {
  PlainReader plain;
  GatewayReader gateway;
  double plainTime = 0, gatewayTime = 0;
  for (auto _ : state) {
    const double t0 = ThreadSeconds();
    const std::size_t a = plain.Read();
    const double t1 = ThreadSeconds();
    const std::size_t b = gateway.Read();
    const double t2 = ThreadSeconds();
    if (a != b) {
      state.SkipWithError("the two readers disagree on the row count");
      break;
    }
    plainTime += t1 - t0;
    gatewayTime += t2 - t1;
  }
  state.counters["ratio"] = gatewayTime / plainTime;
}
BENCHMARK(BM_GatewayVsPlain)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
