// The embedded engine: opening and checking the office file, running
// translated texts and catalog procedures, and units of work (see engine.hpp).
#include "gateway/sqlite/engine.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstring>
#include <exception>
#include <limits>
#include <optional>
#include <string>
#include <utility>

#include "gateway/sqlite/catalog.hpp"
#include "gateway/sqlite/functions.hpp"
#include "gateway/sqlite/pool.hpp"
#include "gateway/sqlite/render.hpp"
#include "gateway/tsql/translate.hpp"
#include "runtime/text.hpp"
#include "tarnwick/error.hpp"

namespace tarnwick::sqlite {

using namespace engine_detail;

namespace {

constexpr const char* kNotConnected = "Not connected to a database";
// How long a statement waits for another writer before giving up.
constexpr int kBusyTimeoutMs = tsql::kLockWaitSeconds * 1000;
// The number a failed database operation raises with (the provider's general failure).
constexpr std::int32_t kDatabaseFailure = -2147467259;

bool IsEmbeddedServer(const std::string& server) {
  std::string_view s = server;
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s.empty() || SameName(s, "embedded");
}

// Reads a one-value pragma such as "PRAGMA application_id".
bool PragmaInt(sqlite3* db, const char* sql, std::int64_t& value) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) return false;
  const bool ok = sqlite3_step(stmt) == SQLITE_ROW;
  if (ok) value = sqlite3_column_int64(stmt, 0);
  sqlite3_finalize(stmt);
  return ok;
}

std::string PragmaText(sqlite3* db, const char* sql) {
  sqlite3_stmt* stmt = nullptr;
  std::string out;
  if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    if (p) out = p;
  }
  sqlite3_finalize(stmt);
  return out;
}

// True when the text holds more than one statement; a single statement needs
// no transaction of its own.
bool SeveralStatements(Session& session, const std::string& sql) {
  if (sql.find(';') == std::string::npos) return false;
  StatementLease lease;
  std::size_t taken = 0;
  if (session.statements.Prepare(session.db, sql, lease, taken) != SQLITE_OK) return false;  // the run reports the error
  for (std::size_t i = taken; i < sql.size(); ++i) {
    const char c = sql[i];
    if (c == '\0') break;
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != ';') return true;
  }
  return false;
}

std::shared_ptr<Recordset> ToRecordset(StatementResults& results) {
  if (!results.hasRows) return Recordset::Create();  // a command that returned no rows: a closed set
  return Recordset::FromCells(std::move(results.columns), std::move(results.cells));
}

// Runs a keyed load on the statement kept for its shape, the key bound.
// False when that statement cannot be compiled: the text then runs as
// written, which reports the fault as for any other text. Otherwise true,
// with error set when the run failed (naming the text as written).
bool RunKeyedLoad(Session& session, const KeyedLoad& load, const std::string& text, StatementResults& results,
                  std::string& error) {
  StatementLease lease;
  std::size_t taken = 0;
  if (session.statements.Prepare(session.db, load.sql, lease, taken) != SQLITE_OK || lease.get() == nullptr)
    return false;
  sqlite3_stmt* stmt = lease.get();
  StatementResults fresh;
  int rc = sqlite3_bind_int64(stmt, 1, load.key);
  if (rc == SQLITE_OK) rc = CollectRows(stmt, fresh);
  if (rc == SQLITE_DONE) {
    results = std::move(fresh);
  } else {
    error = "the text, statement 1 \"" + text + "\": " + EngineCause(session.db);
  }
  return true;
}

// SeveralStatements for a client's text: compiling its first statement is
// already subject to the client's rules.
bool SeveralClientStatements(Session& session, const std::string& sql) {
  ClientText guard(session);
  return SeveralStatements(session, sql);
}

std::int32_t ClampCount(std::int64_t n) {
  return static_cast<std::int32_t>(std::min<std::int64_t>(n, std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

Engine::Engine() = default;

Engine::~Engine() { Close(); }

namespace {

// True while a statement of the connection is part way through its rows.
bool AnyStatementRunning(sqlite3* db) {
  for (sqlite3_stmt* s = sqlite3_next_stmt(db, nullptr); s != nullptr; s = sqlite3_next_stmt(db, s)) {
    if (sqlite3_stmt_busy(s)) return true;
  }
  return false;
}

}  // namespace

void Engine::Close() {
  call_.reset();
  executed_ = false;
  // Outside a unit of work and with nothing running, the connection and what
  // was compiled on it go to the pool (which closes them when it is off).
  if (db_ && OfficePool().Enabled() && sqlite3_get_autocommit(db_) && !AnyStatementRunning(db_)) {
    auto kept = std::make_unique<KeptOffice>();
    kept->db = std::exchange(db_, nullptr);
    kept->session = std::move(session_);
    kept->translations = std::move(translations_);
    kept->columns = std::move(columns_);
    kept->device = device_;
    kept->inode = inode_;
    translations_.Clear([](tsql::Translation&) {});
    columns_ = nullptr;
    OfficePool().Give(path_, std::move(kept));
    return;
  }
  translations_.Clear([](tsql::Translation&) {});
  columns_ = nullptr;
  if (db_) sqlite3_set_authorizer(db_, nullptr, nullptr);
  // Every kept statement is finalized before the connection closes.
  session_.reset();
  if (db_) {
    // Closing abandons an open unit of work.
    sqlite3_close_v2(db_);
    db_ = nullptr;
  }
}

bool Engine::SetConnection(const std::string& databaseName, const std::string& server, const std::string&,
                           const std::string&, bool, std::int32_t, const std::string&, const std::string&) {
  if (!IsEmbeddedServer(server)) {
    Close();
    lastError_ = "The embedded engine serves no server '" + server + "'";
    return false;
  }
  return Open(databaseName);
}

bool Engine::Open(const std::string& path) {
  Close();
  auto fail = [&](std::string why, sqlite3* db) {
    lastError_ = std::move(why);
    if (db) sqlite3_close_v2(db);
    return false;
  };
  if (path.empty()) return fail("No database file was named", nullptr);
  // The file system would read the name only up to the NUL and open another file.
  if (path.find('\0') != std::string::npos)
    return fail("The database name '" + std::string(path.c_str()) +
                    "...' holds a NUL character; no file has such a name",
                nullptr);
  // The file is looked at before SQLite opens it, so that each bad file is
  // named for what it is and none is touched.
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    const int error = errno;
    if (error == ENOENT || error == ENOTDIR) return fail("The database file '" + path + "' does not exist", nullptr);
    return fail("The database file '" + path + "' cannot be reached: " + std::strerror(error), nullptr);
  }
  if (S_ISDIR(info.st_mode)) return fail("'" + path + "' is a folder, not a database file", nullptr);
  if (!S_ISREG(info.st_mode)) return fail("'" + path + "' is not a regular file", nullptr);
  if (info.st_size == 0) return fail("The file '" + path + "' is empty: it is not a filing-office database", nullptr);
  // A file nobody may write is an office put away read-only, also for an
  // administrator whom the system would let write it anyway.
  if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
    return fail("The database file '" + path + "' is read-only; a filing office must be writable", nullptr);
  path_ = path;
  device_ = info.st_dev;
  inode_ = info.st_ino;
  const auto usable = [&](const std::unique_ptr<KeptOffice>& kept) {
    std::int64_t version = 0;
    return kept->device == info.st_dev && kept->inode == info.st_ino &&
           PragmaInt(kept->db, "PRAGMA user_version", version) && version == kSchemaVersion;
  };
  if (std::optional<std::unique_ptr<KeptOffice>> kept = OfficePool().Take(path, usable)) {
    KeptOffice& k = **kept;
    db_ = std::exchange(k.db, nullptr);
    session_ = std::move(k.session);
    translations_ = std::move(k.translations);
    columns_ = std::move(k.columns);
    session_->limitSeconds = limitSeconds_;
    session_->clientText = false;
    session_->stopped = false;
    session_->deadline = std::chrono::steady_clock::time_point::max();
    lastError_.clear();
    return true;
  }
  sqlite3* db = nullptr;
  // Never SQLITE_OPEN_CREATE: a database comes only from `tarnwick init`.
  const int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK)
    return fail("Cannot open the database file '" + path + "': " + (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)),
                db);
  sqlite3_extended_result_codes(db, 1);
  if (sqlite3_db_readonly(db, "main") == 1)
    return fail("The database file '" + path + "' is read-only; a filing office must be writable", db);
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  if (const int refused = RefuseQuotedTexts(db); refused != SQLITE_OK)
    return fail("The database '" + path + "' cannot be set to read double quotes as names: " +
                    sqlite3_errstr(refused),
                db);
  std::int64_t applicationId = 0, version = 0;
  if (!PragmaInt(db, "PRAGMA application_id", applicationId)) {
    if ((sqlite3_errcode(db) & 0xff) == SQLITE_NOTADB)
      return fail("The file '" + path + "' is not a database: " + sqlite3_errmsg(db), db);
    return fail("The file '" + path + "' cannot be read: " + EngineCause(db), db);
  }
  if (applicationId != kApplicationId)
    return fail("The file '" + path + "' is not a filing-office database", db);
  if (!PragmaInt(db, "PRAGMA user_version", version))
    return fail("The file '" + path + "' cannot be read: " + EngineCause(db), db);
  if (version != kSchemaVersion)
    return fail("The database '" + path + "' has schema version " + std::to_string(version) +
                    "; this library works with version " + std::to_string(kSchemaVersion) +
                    (version < kSchemaVersion ? " (an older office is brought up to it by `tarnwick upgrade`)" : ""),
                db);
  const std::string journal = PragmaText(db, "PRAGMA journal_mode=WAL");
  if (!SameName(journal, "wal"))
    return fail("The database '" + path + "' cannot use write-ahead journalling: " + EngineCause(db), db);
  // The link tables refer to the committee and the document they join.
  if (sqlite3_exec(db, "PRAGMA foreign_keys = ON", nullptr, nullptr, nullptr) != SQLITE_OK)
    return fail("The database '" + path + "' cannot check its links: " + EngineCause(db), db);
  // A search of a large office reads the same index pages call after call:
  // kept in the connection (up to 16 MiB, taken only as pages are read), they
  // are not copied from the file system each time.
  sqlite3_exec(db, "PRAGMA cache_size = -16384", nullptr, nullptr, nullptr);
  if (const int registered = sqlite::RegisterTsqlFunctions(db); registered != SQLITE_OK)
    return fail("The database '" + path + "' cannot take the SQL functions the library uses: " +
                    sqlite3_errstr(registered),
                db);
  // A value longer than the office takes (and the row that holds it) is
  // refused by the engine too, also when a client's text computes it.
  sqlite3_limit(db, SQLITE_LIMIT_LENGTH, static_cast<int>(tsql::kLargestValueBytes + (std::size_t{16} << 20)));
  session_ = std::make_unique<Session>(db);
  session_->limitSeconds = limitSeconds_;
  WatchDeadline(*session_);
  sqlite3_set_authorizer(db, AuthorizeClientText, session_.get());
  db_ = db;
  lastError_.clear();
  return true;
}

bool Engine::InTransaction() { return db_ && !sqlite3_get_autocommit(db_); }

void Engine::BeginTransaction() {
  if (!db_) return;
  if (!sqlite3_get_autocommit(db_))
    throw RuntimeError(kDatabaseFailure, "DataGateway.BeginTransaction", Note("A unit of work is already open"));
  if (auto e = Exec("BEGIN IMMEDIATE"); !e.empty())
    throw RuntimeError(kDatabaseFailure, "DataGateway.BeginTransaction", Note("Cannot begin a unit of work: " + e));
}

void Engine::EndTransaction(bool commit) {
  if (!db_ || sqlite3_get_autocommit(db_)) return;
  if (!commit) {
    Exec("ROLLBACK");
    return;
  }
  if (auto e = Exec("COMMIT"); !e.empty()) {
    std::string why = Note("Cannot commit the unit of work: " + e);
    if (!sqlite3_get_autocommit(db_)) Exec("ROLLBACK");
    throw RuntimeError(kDatabaseFailure, "DataGateway.EndTransaction", why);
  }
}

std::string Engine::Note(std::string error) {
  if (!error.empty() && session_ && session_->stopped) {
    error += " (" + tsql::TimeLimitNote(session_->limitSeconds) + ")";
    session_->stopped = false;
  }
  if (!error.empty()) lastError_ = error;
  return error;
}

void Engine::SetCommandTimeout(std::int32_t seconds) {
  limitSeconds_ = seconds;
  if (session_) session_->limitSeconds = seconds;
}

std::string Engine::Exec(const char* sql) { return session_->statements.Execute(db_, sql); }

std::string Engine::Translate(const std::string& sql, tsql::Translation& out) {
  if (const tsql::Translation* kept = translations_.Find(sql)) {
    out = *kept;
    return {};
  }
  if (!columns_) columns_ = DatabaseColumns(db_);
  if (auto e = tsql::Translate(sql, Renderer(tsql::Rewrites::Apply, columns_), out); !e.empty()) return e;
  if (sql.size() <= kLongestKeptText) translations_.Put(sql, out, [](tsql::Translation&) {});
  return {};
}

std::string Engine::SqlSafeText(const std::string& text) { return runtime::DoubleApostrophes(text); }

template <typename Work>
std::string Engine::Atomically(const std::string& what, bool readsOnly, Work&& work) {
  if (sqlite3_get_autocommit(db_)) {
    // A reading call sees one consistent state of the file without waiting
    // for writers; a writing call announces itself at once so that two
    // callers never deadlock upgrading a read to a write.
    if (auto e = Exec(readsOnly ? "BEGIN" : "BEGIN IMMEDIATE"); !e.empty())
      return what + ": cannot begin: " + e;
    std::string error = work();
    if (error.empty()) {
      if (auto e = Exec("COMMIT"); !e.empty()) error = what + ": cannot commit: " + e;
    }
    if (!error.empty() && !sqlite3_get_autocommit(db_)) Exec("ROLLBACK");
    return error;
  }
  if (auto e = Exec("SAVEPOINT tw_call"); !e.empty()) return what + ": cannot begin: " + e;
  std::string error = work();
  // A failure may already have ended the whole unit of work.
  if (!sqlite3_get_autocommit(db_)) {
    if (!error.empty()) Exec("ROLLBACK TO tw_call");
    Exec("RELEASE tw_call");
  }
  return error;
}

std::string Engine::Run(ProcedureCall& call, bool keepRows, StatementResults& results, std::int64_t& changes) {
  const std::int64_t before = sqlite3_total_changes64(db_);
  const bool readsOnly = sqlite3_get_autocommit(db_) && ReadsOnly(*session_, *call.procedure);
  std::string error = Atomically("Procedure " + call.procedure->name, readsOnly,
                                 [&] { return RunProcedure(*session_, call, keepRows, results); });
  changes = sqlite3_total_changes64(db_) - before;
  return error;
}

std::string Engine::PrepareProcedure(const std::string& name) { return Note(Prepare(name)); }

std::string Engine::Prepare(const std::string& name) {
  call_.reset();
  executed_ = false;
  if (!db_) return kNotConnected;
  try {
    std::shared_ptr<const Procedure> procedure;
    if (auto e = LoadProcedure(*session_, name, procedure); !e.empty()) return e;
    ProcedureCall call;
    call.values.resize(procedure->parameters.size());
    call.procedure = std::move(procedure);
    call_ = std::move(call);
    return {};
  } catch (const std::exception& e) {
    return "PrepareProcedure " + name + ": " + e.what();
  }
}

std::string Engine::AddParameter(const std::string& name, const Variant& value) {
  if (!db_) return kNotConnected;
  if (!call_) return "AddParameter " + name + ": no procedure has been prepared";
  const int index = call_->procedure->IndexOf(name);
  if (index < 0) return "Procedure " + call_->procedure->name + " has no parameter " + name;
  call_->values[static_cast<std::size_t>(index)] = value;
  return {};
}

std::string Engine::GetParameter(const std::string& name, Variant& value) {
  value = Variant::Null();
  if (!db_) return kNotConnected;
  if (!call_) return "GetParameter " + name + ": no procedure has been prepared";
  const int index = call_->procedure->IndexOf(name);
  if (index < 0) return "Procedure " + call_->procedure->name + " has no parameter " + name;
  if (!executed_) return "GetParameter " + name + ": procedure " + call_->procedure->name + " has not run";
  const Variant& held = call_->values[static_cast<std::size_t>(index)];
  if (!held.IsEmpty()) value = held;
  return {};
}

void Engine::FinishProcedure() {
  call_.reset();
  executed_ = false;
}

std::string Engine::ExecuteProcedure(std::int32_t& rowsAffected, bool returnsRows,
                                     std::shared_ptr<Recordset>& result, std::int32_t) {
  return Note(Execute(rowsAffected, returnsRows, result));
}

std::string Engine::Execute(std::int32_t& rowsAffected, bool returnsRows, std::shared_ptr<Recordset>& result) {
  rowsAffected = 0;
  if (!db_) return kNotConnected;
  if (!call_) return "ExecuteProcedure: no procedure has been prepared";
  Deadline deadline(*session_);
  try {
    // The run works on a copy so that a failed call leaves the outputs unset.
    ProcedureCall working = *call_;
    StatementResults results;
    std::int64_t changes = 0;
    std::string error = Run(working, returnsRows, results, changes);
    executed_ = true;
    if (!error.empty()) return error;
    *call_ = std::move(working);
    rowsAffected = ClampCount(changes);
    if (returnsRows) result = ToRecordset(results);
    return {};
  } catch (const std::exception& e) {
    return "Procedure " + call_->procedure->name + ": " + e.what();
  }
}

std::string Engine::OpenRecordset(const std::string& sql, std::shared_ptr<Recordset>& result, std::int32_t,
                                  bool) {
  std::string error = Query(sql, result);
  if (!error.empty()) result = Recordset::Create();
  return Note(std::move(error));
}

std::string Engine::Query(const std::string& sql, std::shared_ptr<Recordset>& result) {
  if (!db_) return kNotConnected;
  // The error text names the statement; it is built only when something failed.
  const auto failed = [&sql](const std::string& what) { return "OpenRecordset \"" + sql + "\": " + what; };
  Deadline deadline(*session_);
  try {
    tsql::Translation translation;
    if (auto e = Translate(sql, translation); !e.empty()) return failed(e);
    StatementResults results;
    if (translation.kind == tsql::Translation::Kind::Exec) {
      ProcedureCall call;
      if (auto e = LoadProcedure(*session_, translation.procedure, call.procedure); !e.empty()) return failed(e);
      if (auto e = MapArguments(translation, call); !e.empty()) return failed(e);
      std::int64_t changes = 0;
      if (auto e = Run(call, true, results, changes); !e.empty()) return failed(e);
    } else if (SeveralClientStatements(*session_, translation.sql)) {
      // The statements read one state of the file, as one query would.
      auto work = [&] {
        ClientText guard(*session_);
        return RunStatements(*session_, translation.sql, "the text", nullptr, true, results);
      };
      if (auto e = Atomically("the text", true, work); !e.empty()) return failed(e);
    } else {
      ClientText guard(*session_);
      const std::optional<KeyedLoad> keyed = KeyedLoadText(translation.sql);
      std::string error;
      if (keyed && RunKeyedLoad(*session_, *keyed, translation.sql, results, error)) {
        if (!error.empty()) return failed(error);
      } else if (auto e = RunStatements(*session_, translation.sql, "the text", nullptr, true, results);
                 !e.empty()) {
        return failed(e);
      }
    }
    result = ToRecordset(results);
    return {};
  } catch (const std::exception& e) {
    return failed(e.what());
  }
}

}  // namespace tarnwick::sqlite
