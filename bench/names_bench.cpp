// The forgiving name search on a large office, on the file and, when a
// server is configured (scripts/with-postgres.sh), on the office server.
//
//   names_bench                                 every case
//   scripts/with-postgres.sh build/bench/names_bench    the server too
//
// The office has TW_NAMES_DOCUMENTS documents (default 1,000,000: 50,000
// committees). The file is built once into names-office-<n>.tarnwick beside
// this program and reused; the server office is built for each run.
//
// Find/<engine>/<case>: clsNameSearch.Find for the first 20 rows, every row
// read, 200 times. Reports
//   rows         the rows found
//   median_ms    the median of one search
//   p99_ms       its 99th percentile
//   raw_ms       the median of the procedure's own query on the engine's raw
//                API (sqlite3; libpq CALL and FETCH), every value read
//   ratio        median_ms over raw_ms
// Goal: median <= 10 ms and p99 <= 25 ms for every case.
//
// Write/<engine>: what the name index costs a write: 200 new documents (the
// document and its filing link, one unit of work each) and 200 committee
// renames (the open name, on its own), with the index's triggers and then
// without them; reports the microseconds of each and their ratio (goal
// <= 1.2). On a copy of the file, and on the server's office at the end of
// the run, since it drops the triggers.
//
// IndexSize/<engine>: the bytes of the index's tables and indexes.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>
#include <libpq-fe.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "gateway/sqlite/functions.hpp"
#include "office/file_office.hpp"
#include "office/server_office.hpp"
#include "runtime/name_words.hpp"
#include "support/server_office.hpp"
#include "tarnwick/clsNameSearch.hpp"

namespace {

using namespace tarnwick;
using Clock = std::chrono::steady_clock;

std::int64_t Documents() {
  const char* text = std::getenv("TW_NAMES_DOCUMENTS");
  return text != nullptr ? std::atoll(text) : 1'000'000;
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
}

const std::string& FileOffice() {
  static const std::string path = [] {
    const auto here = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    const auto file = here / ("names-office-" + std::to_string(Documents()) + ".tarnwick");
    if (!std::filesystem::exists(file)) {
      office::OfficeOptions options;
      options.sampleDocuments = Documents();
      const auto made = office::CreateFileOffice(file, options);
      if (!made.ok()) throw std::runtime_error("office file: " + made.message);
      std::fprintf(stderr, "file office of %lld documents built in %.1f s\n", static_cast<long long>(Documents()),
                   made.summary.seconds);
    }
    return file.string();
  }();
  return path;
}

struct ServerOffice {
  ServerOffice() {
    office::OfficeOptions options;
    options.sampleDocuments = Documents();
    database = test::UniqueDatabaseName("names_bench");
    const auto made = office::CreateServerOffice(test::ServerSettings(database), options);
    if (!made.ok()) throw std::runtime_error("server office: " + made.message);
    std::fprintf(stderr, "server office of %lld documents built in %.1f s\n", static_cast<long long>(Documents()),
                 made.summary.seconds);
  }
  ~ServerOffice() { test::DropServerDatabase(database); }
  std::string database;
};

const std::string& ServerDatabase() {
  static ServerOffice office;
  return office.database;
}

// A raw connection to the file with the library's functions.
struct RawFile {
  explicit RawFile(const std::string& path = FileOffice()) {
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
        sqlite::RegisterTsqlFunctions(db) != SQLITE_OK)
      throw std::runtime_error(std::string("raw file: ") + sqlite3_errmsg(db));
  }
  ~RawFile() { sqlite3_close(db); }
  RawFile(const RawFile&) = delete;
  RawFile& operator=(const RawFile&) = delete;
  void Exec(const std::string& sql) const {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
      const std::string why = message != nullptr ? message : "?";
      sqlite3_free(message);
      throw std::runtime_error(why + " in: " + sql);
    }
  }
  std::string Text(const std::string& sql) const {
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
    std::string out = stmt != nullptr && sqlite3_step(stmt) == SQLITE_ROW
                          ? reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0))
                          : "";
    sqlite3_finalize(stmt);
    return out;
  }
  sqlite3* db = nullptr;
};

enum class Engine { File, Server };

std::unique_ptr<clsNameSearch> Connected(Engine engine) {
  auto search = std::make_unique<clsNameSearch>();
  bool ok = false;
  if (engine == Engine::File) {
    ok = search->ConnectionVariables(FileOffice(), "embedded", "", "", false);
  } else {
    const auto s = test::ServerSettings(ServerDatabase());
    ok = search->ConnectionVariables(ServerDatabase(), s.server, s.user, "", true);
  }
  if (!ok) throw std::runtime_error("cannot connect: " + search->LastErrorText());
  return search;
}

// One search on the engine's raw API: the procedure's own query, every value read.
std::function<std::int64_t(const std::string&)> RawSearch(Engine engine) {
  if (engine == Engine::File) {
    auto raw = std::make_shared<RawFile>();
    const std::string body = raw->Text("select body from tw_procedure where name = 'sp_find_names'");
    return [raw, body](const std::string& text) {
      sqlite3_stmt* stmt = nullptr;
      if (sqlite3_prepare_v2(raw->db, body.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(raw->db));
      sqlite3_bind_text(stmt, sqlite3_bind_parameter_index(stmt, "@find_text"), text.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(stmt, sqlite3_bind_parameter_index(stmt, "@name_kinds"), "committee,candidate,treasurer", -1,
                        SQLITE_STATIC);
      sqlite3_bind_int(stmt, sqlite3_bind_parameter_index(stmt, "@row_limit"), 20);
      std::int64_t rows = 0;
      while (sqlite3_step(stmt) == SQLITE_ROW) {
        for (int i = 0; i < sqlite3_column_count(stmt); ++i) benchmark::DoNotOptimize(sqlite3_column_text(stmt, i));
        ++rows;
      }
      sqlite3_finalize(stmt);
      return rows;
    };
  }
  auto conn = std::make_shared<postgres::Connection>(test::ServerConnect(ServerDatabase()));
  return [conn](const std::string& text) {
    const char* values[] = {text.c_str()};
    PGconn* c = conn->get();
    test::ServerExec(c, "begin");
    postgres::Result call(PQexecParams(c, "call sp_find_names($1, 'committee,candidate,treasurer', 20, 'found')", 1,
                                       nullptr, values, nullptr, nullptr, 0));
    postgres::Result rows(PQexec(c, "fetch all from found"));
    if (!postgres::Succeeded(call.get()) || !postgres::Succeeded(rows.get()))
      throw std::runtime_error(PQerrorMessage(c));
    for (int r = 0; r < PQntuples(rows.get()); ++r)
      for (int f = 0; f < PQnfields(rows.get()); ++f) benchmark::DoNotOptimize(PQgetvalue(rows.get(), r, f));
    test::ServerExec(c, "commit");
    return static_cast<std::int64_t>(PQntuples(rows.get()));
  };
}

// A query on the engine's raw API, for the set-up of the cases.
std::string EngineText(Engine engine, const std::string& sql) {
  if (engine == Engine::File) return RawFile().Text(sql);
  return test::ServerText(test::ServerConnect(ServerDatabase()).get(), sql);
}

void Find(benchmark::State& state, Engine engine, std::string text) {
  // The acronym case takes the acronym of the first committee that has one of three letters or more.
  if (text.empty())
    text = EngineText(engine, "select min(old_acronym) from org_committee where trans_end_date is null "
                              "and length(old_acronym) >= 3 and org_group_id = (select min(org_group_id) "
                              "from org_committee where trans_end_date is null and length(old_acronym) >= 3)");
  auto search = Connected(engine);
  std::vector<double> times;
  std::int64_t rows = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    rows = 0;
    if (search->Find(text, "any", 20))
      for (; !search->EndOfFile(); search->MoveNext()) {
        benchmark::DoNotOptimize(search->MatchedName());
        ++rows;
      }
    times.push_back(Ms(Clock::now() - start));
  }
  if (!search->LastErrorText().empty()) state.SkipWithError(search->LastErrorText().c_str());
  auto raw = RawSearch(engine);
  std::vector<double> rawTimes;
  for (int i = 0; i < 50; ++i) {
    const auto start = Clock::now();
    benchmark::DoNotOptimize(raw(runtime::NameWords(text, runtime::NameWordsUse::Query)));
    rawTimes.push_back(Ms(Clock::now() - start));
  }
  state.counters["rows"] = static_cast<double>(rows);
  state.counters["median_ms"] = Percentile(times, 0.5);
  state.counters["p99_ms"] = Percentile(times, 0.99);
  state.counters["raw_ms"] = Percentile(rawTimes, 0.5);
  state.counters["ratio"] = Percentile(times, 0.5) / Percentile(rawTimes, 0.5);
}

// What the name index costs the writes a clerk makes, each its own unit of
// work as the classes send it: on a copy of the file (the index's triggers
// are dropped from it for the second half), or on the run's own server office
// (the last of its cases).
class Writes {
 public:
  explicit Writes(Engine engine) : engine_(engine) {
    if (engine == Engine::File) {
      copy_ = FileOffice() + ".writes";
      std::filesystem::copy_file(FileOffice(), copy_, std::filesystem::copy_options::overwrite_existing);
      // The copy on disk before the writes, or they would wait behind its write-back.
      const int fd = ::open(copy_.c_str(), O_RDONLY);
      if (fd < 0 || ::fsync(fd) != 0) throw std::runtime_error("cannot flush the copy of the office");
      ::close(fd);
      file_ = std::make_unique<RawFile>(copy_);
      file_->Exec("pragma journal_mode = wal; pragma synchronous = normal; pragma foreign_keys = on");
    } else {
      server_ = std::make_unique<postgres::Connection>(test::ServerConnect(ServerDatabase()));
    }
  }
  ~Writes() {
    for (sqlite3_stmt* s : statements_) sqlite3_finalize(s);
    file_.reset();
    if (!copy_.empty()) {
      std::error_code ec;
      for (const char* tail : {"", "-wal", "-shm"}) std::filesystem::remove(copy_ + tail, ec);
    }
  }

  // One write: a prepared statement on the file (the gateway keeps its
  // statements prepared too), a parameterised one on the server.
  void Run(const std::string& sql, const std::vector<std::string>& values) {
    if (engine_ == Engine::File) {
      sqlite3_stmt*& stmt = prepared_[sql];
      if (stmt == nullptr) {
        if (sqlite3_prepare_v2(file_->db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
          throw std::runtime_error(sqlite3_errmsg(file_->db));
        statements_.push_back(stmt);
      }
      for (std::size_t i = 0; i < values.size(); ++i)
        sqlite3_bind_text(stmt, static_cast<int>(i + 1), values[i].c_str(), -1, SQLITE_TRANSIENT);
      const int rc = sqlite3_step(stmt);
      sqlite3_reset(stmt);
      if (rc != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(file_->db));
      return;
    }
    std::vector<const char*> params;
    for (const std::string& v : values) params.push_back(v.c_str());
    postgres::Result r(PQexecParams(server_->get(), sql.c_str(), static_cast<int>(params.size()), nullptr,
                                    params.data(), nullptr, nullptr, 0));
    if (!postgres::Succeeded(r.get())) throw std::runtime_error(PQerrorMessage(server_->get()));
  }
  void Exec(const std::string& sql) {
    if (file_) file_->Exec(sql);
    else test::ServerExec(server_->get(), sql);
  }
  std::string Text(const std::string& sql) {
    return file_ ? file_->Text(sql) : test::ServerText(server_->get(), sql);
  }
  void DropIndexTriggers() {
    std::string drops;
    if (engine_ == Engine::File) {
      sqlite3_stmt* stmt = nullptr;
      sqlite3_prepare_v2(file_->db, "select name from sqlite_master where type = 'trigger' and name like 'tr_tw_names_%'",
                         -1, &stmt, nullptr);
      while (sqlite3_step(stmt) == SQLITE_ROW)
        drops += "drop trigger \"" + std::string(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0))) + "\"; ";
      sqlite3_finalize(stmt);
    } else {
      for (const auto& row : test::ServerRows(server_->get(),
                                              "select tgname, tgrelid::regclass::text from pg_trigger "
                                              "where not tgisinternal and tgname like 'tr_tw_names%'"))
        drops += "drop trigger \"" + row[0] + "\" on " + row[1] + "; ";
    }
    if (drops.empty()) throw std::runtime_error("the office has no name index triggers");
    for (sqlite3_stmt* s : statements_) sqlite3_finalize(s);
    statements_.clear();
    prepared_.clear();
    Exec(drops);
  }

 private:
  Engine engine_;
  std::string copy_;
  std::unique_ptr<RawFile> file_;
  std::unique_ptr<postgres::Connection> server_;
  std::map<std::string, sqlite3_stmt*> prepared_;
  std::vector<sqlite3_stmt*> statements_;
};

void Write(benchmark::State& state, Engine engine) {
  Writes writes(engine);
  const std::int64_t firstOrg = std::stoll(writes.Text("select min(org_group_id) from org_committee"));
  std::int64_t nextDocument = std::stoll(writes.Text("select max(unique_id) + 1 from ref_document"));
  constexpr int kWrites = 200;
  const auto perWrite = [&](auto&& write) {
    const auto start = Clock::now();
    for (int i = 0; i < kWrites; ++i) write(i);
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / kWrites;
  };
  // A new document with its filing link, in one unit of work.
  const auto newDocument = [&](int i) {
    const std::string id = std::to_string(nextDocument++), org = std::to_string(firstOrg + i);
    writes.Exec("begin");
    writes.Run("insert into ref_document (unique_id, doc_type_code, doc_year, receive_send_date) "
               "values (cast($1 as int), 'RPT', 2024, '2024-06-01 00:00:00')", {id});
    writes.Run("insert into xrf_org_document (org_id, document_id) select cast($1 as int), cast($2 as int) "
               "where exists (select 1 from ref_org where unique_id = cast($1 as int))", {org, id});
    writes.Exec("commit");
  };
  const auto rename = [&](int i) {
    writes.Run("update org_committee set org_name = org_name || ' Renamed' "
               "where trans_end_date is null and org_group_id = cast($1 as int)", {std::to_string(firstOrg + i)});
  };
  double docWith = 0, renameWith = 0, docWithout = 0, renameWithout = 0;
  for (auto _ : state) {
    docWith = perWrite(newDocument);
    renameWith = perWrite(rename);
    writes.DropIndexTriggers();
    docWithout = perWrite(newDocument);
    renameWithout = perWrite(rename);
  }
  state.counters["doc_with_us"] = docWith;
  state.counters["doc_without_us"] = docWithout;
  state.counters["doc_ratio"] = docWith / docWithout;
  state.counters["rename_with_us"] = renameWith;
  state.counters["rename_without_us"] = renameWithout;
  state.counters["rename_ratio"] = renameWith / renameWithout;
}

void IndexSize(benchmark::State& state, Engine engine) {
  double bytes = 0;
  for (auto _ : state) {
    const std::string text =
        engine == Engine::File
            ? RawFile().Text("select sum(pgsize) from dbstat where name like 'tw_name%' or name like 'ix_tw_name%'")
            : EngineText(engine, "select sum(pg_total_relation_size(c.oid)) from pg_class c "
                                 "where c.relkind = 'r' and c.relname like 'tw_name%'");
    bytes = std::stod(text.empty() ? "0" : text);
  }
  state.counters["MiB"] = bytes / (1024.0 * 1024.0);
}

struct FindCase {
  const char* name;
  const char* text;  // "" for the office's own acronym
};
constexpr FindCase kFindCases[] = {
    {"one_word", "babcock"},          {"two_words", "bab sus"},  {"initial_and_last", "s babcock"},
    {"accented", "orsted"},           {"apostrophe", "o'hare"},  {"acronym", ""},
    {"two_letter_prefix", "ba"},      {"no_match", "zzqx"},
};

void Register(Engine engine, const char* label) {
  for (const FindCase& c : kFindCases)
    benchmark::RegisterBenchmark((std::string("Find/") + label + "/" + c.name).c_str(), Find, engine,
                                 std::string(c.text))
        ->Iterations(200)
        ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark((std::string("IndexSize/") + label).c_str(), IndexSize, engine)->Iterations(1);
  // Last: on the server it drops the index's triggers.
  benchmark::RegisterBenchmark((std::string("Write/") + label).c_str(), Write, engine)
      ->Iterations(1)
      ->Unit(benchmark::kMillisecond);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Register(Engine::File, "file");
  if (test::ServerConfigured()) Register(Engine::Server, "server");
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
