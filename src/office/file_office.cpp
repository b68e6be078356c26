// Creating an office database file.
#include "office/file_office.hpp"

#include <signal.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <system_error>
#include <utility>
#include <vector>

#include "gateway/sqlite/catalog.hpp"
#include "gateway/sqlite/functions.hpp"
#include "office/internal.hpp"
#include "office/sql_sources.hpp"
#include "office/upgrade.hpp"
#include "runtime/text.hpp"

namespace tarnwick::office {
namespace {

using detail::Exec;
using detail::Failure;
using detail::LineOf;

// Runs a SQL file statement by statement, so that a failure names its line.
void RunScript(sqlite3* db, const SqlFile& file, const OfficeProgressCallback& progress,
               std::string_view stage) {
  std::int64_t total = 0;
  if (progress) {
    // Count the statements first so the stage can report its progress.
    const char* tail = file.text.c_str();
    while (*tail != '\0') {
      sqlite3_stmt* stmt = nullptr;
      if (sqlite3_prepare_v2(db, tail, -1, &stmt, &tail) != SQLITE_OK || stmt == nullptr) {
        sqlite3_finalize(stmt);
        break;
      }
      sqlite3_finalize(stmt);
      ++total;
    }
  }
  const char* tail = file.text.c_str();
  std::int64_t done = 0;
  while (*tail != '\0') {
    sqlite3_stmt* stmt = nullptr;
    const char* start = tail;
    int rc = sqlite3_prepare_v2(db, start, -1, &stmt, &tail);
    if (rc == SQLITE_OK && stmt == nullptr) break;  // only blanks and comments left
    if (rc == SQLITE_OK) {
      while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
      }
      if (rc == SQLITE_DONE) rc = SQLITE_OK;
    }
    if (rc != SQLITE_OK) {
      std::string message = sqlite3_errmsg(db);
      sqlite3_finalize(stmt);
      const auto offset = static_cast<std::size_t>(start - file.text.c_str());
      std::size_t first = file.text.find_first_not_of(" \t\r\n", offset);
      if (first == std::string::npos) first = offset;
      // Skip the comment lines that precede the statement.
      while (file.text.compare(first, 2, "--") == 0) {
        const std::size_t eol = file.text.find('\n', first);
        if (eol == std::string::npos) break;
        first = file.text.find_first_not_of(" \t\r\n", eol);
        if (first == std::string::npos) {
          first = offset;
          break;
        }
      }
      throw Failure{OfficeStatus::InvalidSource,
                    file.path + ":" + std::to_string(LineOf(file.text, first)) + ": " + message};
    }
    sqlite3_finalize(stmt);
    ++done;
    if (progress) progress({stage, done, total});
  }
}

std::int64_t CountRows(sqlite3* db, const char* table) {
  detail::Statement count(db, std::string("select count(*) from ") + table);
  count.Step();
  return sqlite3_column_int64(count.get(), 0);
}

// Closes the connection and removes the partly built file on every way out.
class Builder {
 public:
  explicit Builder(std::filesystem::path path) : path_(std::move(path)) {}
  ~Builder() {
    Close();
    if (!kept_) {
      std::error_code ec;
      for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
        std::filesystem::remove(path_.string() + suffix, ec);
      }
    }
  }
  Builder(const Builder&) = delete;
  Builder& operator=(const Builder&) = delete;

  sqlite3* Open() {
    // A link planted at the build's name is never followed.
    const int rc = sqlite3_open_v2(path_.c_str(), &db_,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW,
                                   nullptr);
    if (rc != SQLITE_OK) {
      std::string message = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
      throw Failure{OfficeStatus::DatabaseError, "cannot create " + path_.string() + ": " + message};
    }
    sqlite3_extended_result_codes(db_, 1);
    // Procedure bodies call the engine's functions (tw_date_text); they
    // compile here only where those are known.
    if (const int registered = sqlite::RegisterTsqlFunctions(db_); registered != SQLITE_OK) {
      throw Failure{OfficeStatus::DatabaseError,
                    "cannot set up " + path_.string() + ": " + sqlite3_errstr(registered)};
    }
    // Schema and procedure texts are checked as the engine will read them.
    if (const int refused = sqlite::RefuseQuotedTexts(db_); refused != SQLITE_OK) {
      throw Failure{OfficeStatus::DatabaseError,
                    "cannot set up " + path_.string() + ": " + sqlite3_errstr(refused)};
    }
    return db_;
  }
  void Close() {
    if (db_ != nullptr) {
      sqlite3_close_v2(db_);
      db_ = nullptr;
    }
  }
  void Keep() { kept_ = true; }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  sqlite3* db_ = nullptr;
  bool kept_ = false;
};

// The office a forced run replaces, held for the replacement. Clients keep
// the database file open between their calls, and a client still holding
// the old file would go on writing into it after the new one took its name:
// every write lost, though each reported success. So the old file is taken
// for this process alone first, which fails while any client has it open,
// and is marked as no office before it is let go, so that a client opening
// the old name in the moment of the swap is refused instead of writing into
// the old file.
Failure InUse(const std::filesystem::path& target, const std::string& why) {
  return Failure{OfficeStatus::InUse, target.string() + " is in use: a client has the office open (" + why +
                                          "); close every client and try again"};
}

// Says before a long build, not after it, that the office cannot be replaced
// now; the check that counts is RetiringOffice's, when the new file is ready.
void RefuseIfInUse(const std::filesystem::path& target) {
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(target.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc == SQLITE_OK) {
    sqlite3_exec(db, "pragma locking_mode = exclusive", nullptr, nullptr, nullptr);
    rc = sqlite3_exec(db, "begin exclusive", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) sqlite3_exec(db, "rollback", nullptr, nullptr, nullptr);
  }
  const std::string why = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  sqlite3_close_v2(db);
  if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED) throw InUse(target, why);
}

class RetiringOffice {
 public:
  explicit RetiringOffice(const std::filesystem::path& target) {
    if (sqlite3_open_v2(target.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
      Close();  // not a database we can open: nobody can be using it as one
      return;
    }
    char* error = nullptr;
    sqlite3_exec(db_, "pragma locking_mode = exclusive", nullptr, nullptr, nullptr);
    // Leaving the write-ahead journal and writing take the file for this
    // connection alone; both fail while another connection has it open.
    int rc = sqlite3_exec(db_, "pragma journal_mode = delete", nullptr, nullptr, &error);
    if (rc == SQLITE_OK) rc = sqlite3_exec(db_, "begin exclusive", nullptr, nullptr, &error);
    if (rc == SQLITE_OK) {
      applicationId_ = Pragma("application_id");
      rc = sqlite3_exec(db_, "pragma application_id = 0; commit", nullptr, nullptr, &error);
    }
    const int code = rc & 0xff;
    const std::string why = error ? error : sqlite3_errstr(rc);
    sqlite3_free(error);
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED) {
      Close();
      throw InUse(target, why);
    }
    if (rc != SQLITE_OK) Close();  // not an office file (damaged, foreign): nothing to hold
  }
  ~RetiringOffice() { Close(); }
  RetiringOffice(const RetiringOffice&) = delete;
  RetiringOffice& operator=(const RetiringOffice&) = delete;

  // The replacement failed: the old office is an office again.
  void Restore() {
    if (!db_) return;
    const std::string sql = "pragma application_id = " + std::to_string(applicationId_);
    sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
    sqlite3_exec(db_, "pragma journal_mode = wal", nullptr, nullptr, nullptr);
  }

 private:
  std::int64_t Pragma(const char* name) {
    sqlite3_stmt* stmt = nullptr;
    std::int64_t value = 0;
    if (sqlite3_prepare_v2(db_, (std::string("pragma ") + name).c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
      value = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    return value;
  }
  void Close() {
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
  }
  sqlite3* db_ = nullptr;
  std::int64_t applicationId_ = 0;
};

// Files "NAME.tarnwick-init-PID-N.tmp" (and their journals) that a run
// killed before it finished left next to the target. A file of a process
// still running is its work in progress and stays.
void RemoveLeftovers(const std::filesystem::path& target) {
  const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
  const std::string prefix = target.filename().string() + ".tarnwick-init-";
  std::error_code ec;
  std::filesystem::directory_iterator entries(folder, ec);
  if (ec) return;
  for (const auto& entry : entries) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(prefix, 0) != 0 || name.find(".tmp") == std::string::npos) continue;
    const std::string rest = name.substr(prefix.size());
    const std::size_t dash = rest.find('-');
    if (dash == 0 || dash == std::string::npos || rest.find_first_not_of("0123456789") != dash) continue;
    const long pid = std::stol(rest.substr(0, std::min<std::size_t>(dash, 9)));
    if (pid == static_cast<long>(::getpid())) continue;
    if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
    std::filesystem::remove(entry.path(), ec);
  }
}

// Puts the finished file in place: without overwrite only if nothing appeared
// at the target in the meantime.
void Install(const std::filesystem::path& built, const std::filesystem::path& target, bool overwrite) {
  std::error_code ec;
  if (overwrite) {
    RetiringOffice old(target);
    // A journal left by the old file would be applied to the new one.
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
      std::filesystem::remove(target.string() + suffix, ec);
    }
    std::filesystem::rename(built, target, ec);
    if (ec) {
      old.Restore();
      throw Failure{OfficeStatus::DatabaseError, "cannot replace " + target.string() + ": " + ec.message()};
    }
    return;
  }
  std::filesystem::create_hard_link(built, target, ec);
  if (!ec) {
    std::filesystem::remove(built, ec);
    return;
  }
  if (ec == std::errc::file_exists) {
    throw Failure{OfficeStatus::AlreadyExists, target.string() + " already exists"};
  }
  // The file system has no hard links: check, then rename.
  if (std::filesystem::exists(target)) {
    throw Failure{OfficeStatus::AlreadyExists, target.string() + " already exists"};
  }
  std::filesystem::rename(built, target, ec);
  if (ec) throw Failure{OfficeStatus::DatabaseError, "cannot create " + target.string() + ": " + ec.message()};
}

void CheckTarget(const std::filesystem::path& path, const OfficeOptions& options) {
  if (path.empty()) throw Failure{OfficeStatus::InvalidOptions, "no database file given"};
  if (options.sampleDocuments &&
      (*options.sampleDocuments < 0 || *options.sampleDocuments > kMaxSampleDocuments)) {
    throw Failure{OfficeStatus::InvalidOptions,
                  "the sample size must be between 0 and " + std::to_string(kMaxSampleDocuments) +
                      " documents, not " + std::to_string(*options.sampleDocuments)};
  }
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (std::filesystem::exists(status)) {
    if (std::filesystem::is_directory(status)) {
      throw Failure{OfficeStatus::InvalidOptions, path.string() + " is a folder"};
    }
    if (!std::filesystem::is_regular_file(status)) {
      throw Failure{OfficeStatus::InvalidOptions, path.string() + " is not a regular file"};
    }
    if (!options.overwrite) throw Failure{OfficeStatus::AlreadyExists, path.string() + " already exists"};
  }
  const std::filesystem::path parent = path.has_parent_path() ? path.parent_path() : ".";
  const auto parentStatus = std::filesystem::status(parent, ec);
  if (std::filesystem::exists(parentStatus) && !std::filesystem::is_directory(parentStatus)) {
    throw Failure{OfficeStatus::InvalidOptions, parent.string() + " is a file, not a folder"};
  }
  if (!std::filesystem::is_directory(parentStatus)) {
    throw Failure{OfficeStatus::InvalidOptions, "the folder " + parent.string() + " does not exist"};
  }
}

// The file's sources, read and parsed before anything is written.
struct FileSources {
  std::vector<SqlFile> files;
  std::map<std::string, const SqlFile*> byPath;
  std::vector<std::pair<const SqlFile*, ProcedureDefinition>> procedures;

  const SqlFile& Require(const std::string& path) const {
    auto it = byPath.find(path);
    if (it == byPath.end()) throw Failure{OfficeStatus::InvalidSource, "the SQL sources have no " + path};
    return *it->second;
  }
};

// Parses a procedure file and checks that it may join the others: named
// after its file, not one of the gateway's own procedures, not defined twice.
ProcedureDefinition ParseProcedure(const SqlFile& file, std::map<std::string, std::string>& procedureNames) {
  ProcedureDefinition definition;
  std::string error = ParseProcedureFile(file.text, definition);
  if (!error.empty()) throw Failure{OfficeStatus::InvalidSource, file.path + ": " + error};
  const std::string stem = std::filesystem::path(file.path).stem().string();
  if (stem != definition.name) {
    throw Failure{OfficeStatus::InvalidSource,
                  file.path + ": defines " + definition.name + "; the file must be named after it"};
  }
  const std::string lower = runtime::ToLower(definition.name);
  if (lower == "sp_update_table" || lower == "sp_delete_table") {
    throw Failure{OfficeStatus::InvalidSource,
                  file.path + ": " + definition.name + " is built into the gateway and cannot be redefined"};
  }
  auto [it, added] = procedureNames.emplace(lower, file.path);
  if (!added) {
    throw Failure{OfficeStatus::InvalidSource,
                  file.path + ": " + definition.name + " is already defined in " + it->second};
  }
  return definition;
}

FileSources ReadSources(const OfficeOptions& options) {
  FileSources sources;
  if (options.sqlDirectory.empty()) {
    sources.files = EmbeddedSqlFiles();
  } else {
    std::string error = ReadSqlFiles(options.sqlDirectory, sources.files);
    if (!error.empty()) throw Failure{OfficeStatus::InvalidSource, error};
  }
  std::map<std::string, std::string> procedureNames;  // lower-case name -> file
  for (const SqlFile& file : sources.files) {
    sources.byPath[file.path] = &file;
    if (file.path.rfind("procedures/", 0) == 0) {
      sources.procedures.emplace_back(&file, ParseProcedure(file, procedureNames));
    } else if (file.path != "schema.sql" && file.path != "defaults.sql" && file.path != "sample.sql" &&
               file.path != "indexes.sql" && file.path != "names.sql") {
      throw Failure{OfficeStatus::InvalidSource,
                    file.path + " is not part of the office database (expected schema.sql, defaults.sql, "
                                "sample.sql, indexes.sql, names.sql and procedures/*.sql)"};
    }
  }
  for (const char* path : {"schema.sql", "defaults.sql", "indexes.sql", "names.sql"}) sources.Require(path);
  if (options.sampleDocuments) sources.Require("sample.sql");
  if (sources.procedures.empty()) throw Failure{OfficeStatus::InvalidSource, "the SQL sources have no procedures"};
  return sources;
}

// Stores the procedures in the catalog, each compiled against the finished
// schema first. Returns how many were stored.
std::int64_t LoadProcedures(sqlite3* db, const FileSources& sources, const OfficeProgressCallback& progress) {
  detail::Statement insert(db, std::string("insert into ") + sqlite::kProcedureTable +
                                   " (name, parameters, body, description) values (?, ?, ?, ?)");
  std::int64_t loaded = 0;
  for (const auto& [file, definition] : sources.procedures) {
    std::string error = CheckProcedure(db, definition);
    if (!error.empty()) throw Failure{OfficeStatus::InvalidSource, file->path + ": " + error};
    insert.Bind(1, definition.name).Bind(2, definition.ParameterText()).Bind(3, definition.body);
    if (definition.description.empty()) {
      insert.BindNull(4);
    } else {
      insert.Bind(4, definition.description);
    }
    insert.Run();
    ++loaded;
    if (progress) progress({"procedures", loaded, static_cast<std::int64_t>(sources.procedures.size())});
  }
  return loaded;
}

// Builds the whole office into the private file db and counts what it holds.
// Every table with an update_date has it stamped on each change that does
// not set it itself. Added once the rows are in, so that loading them
// stamps nothing.
void AddStampTriggers(sqlite3* db) {
  std::vector<std::string> tables;
  {
    detail::Statement list(db, "select m.name from main.sqlite_master m where m.type = 'table' and exists "
                               "(select 1 from pragma_table_info(m.name, 'main') c where c.name = 'update_date')");
    while (list.Step()) tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(list.get(), 0)));
  }
  for (const std::string& table : tables) {
    Exec(db, ("create trigger \"tr_stamp_" + table + "\" after update on \"" + table +
              "\" for each row when new.update_date is old.update_date begin update \"" + table +
              "\" set update_date = datetime('now', 'localtime') where rowid = new.rowid; end")
                 .c_str());
  }
}

// Builds the office in db: its schema and standard codes, then the rows
// load gives (an older office's), or the sample asked for, or none.
OfficeSummary Fill(sqlite3* db, const FileSources& sources, const OfficeOptions& options,
                   const std::function<void(sqlite3*)>& load = {}) {
  const OfficeProgressCallback& progress = options.progress;
  // The file is private until it is put in place, so it is built without
  // a journal; a failure discards the whole file.
  Exec(db, "pragma page_size = 8192");
  Exec(db, "pragma journal_mode = off");
  Exec(db, "pragma synchronous = off");
  Exec(db, "pragma locking_mode = exclusive");
  Exec(db, "pragma cache_size = -131072");
  Exec(db, "pragma temp_store = memory");
  Exec(db, ("pragma application_id = " + std::to_string(sqlite::kApplicationId)).c_str());
  Exec(db, ("pragma user_version = " + std::to_string(sqlite::kSchemaVersion)).c_str());
  Exec(db, "begin");

  if (progress) progress({"schema", 0, 0});
  RunScript(db, sources.Require("schema.sql"), {}, "schema");
  RunScript(db, sources.Require("defaults.sql"), {}, "defaults");

  OfficeSummary summary;
  if (load) {
    load(db);
  } else if (options.sampleDocuments) {
    RunScript(db, sources.Require("sample.sql"), {}, "sample");
    summary = detail::FillSampleOffice(db, *options.sampleDocuments, options.sampleSeed, progress);
  }
  if (options.rowsOnly) {
    Exec(db, "commit");
    return summary;
  }
  AddStampTriggers(db);

  RunScript(db, sources.Require("indexes.sql"), progress, "indexes");
  if (progress) progress({"name index", 0, 0});
  RunScript(db, sources.Require("names.sql"), {}, "name index");
  LoadProcedures(db, sources, progress);

  if (progress) progress({"statistics", 0, 0});
  Exec(db, "commit");
  // Statistics let the query planner choose the search indexes well on a large office.
  Exec(db, "pragma analysis_limit = 2000");
  Exec(db, "analyze");

  if (progress) progress({"finishing", 0, 0});
  summary.procedures = CountRows(db, sqlite::kProcedureTable);
  Exec(db, "pragma locking_mode = normal");
  Exec(db, "pragma journal_mode = wal");
  Exec(db, "pragma synchronous = normal");
  return summary;
}

}  // namespace

OfficeResult CreateFileOffice(const std::filesystem::path& path, const OfficeOptions& options) {
  return detail::RunBuild([&](OfficeSummary& summary) {
    CheckTarget(path, options);
    RemoveLeftovers(path);
    if (options.overwrite && std::filesystem::exists(path)) RefuseIfInUse(path);
    const FileSources sources = ReadSources(options);

    static std::atomic<int> serial{0};
    const std::filesystem::path built = path.string() + ".tarnwick-init-" +
                                        std::to_string(static_cast<long>(::getpid())) + "-" +
                                        std::to_string(serial++) + ".tmp";
    Builder builder(built);
    {
      std::error_code ec;
      std::filesystem::remove(built, ec);
    }
    summary = Fill(builder.Open(), sources, options);
    builder.Close();

    Install(built, path, options.overwrite);
    builder.Keep();
  });
}

namespace {

using FileHandle = std::unique_ptr<sqlite3, int (*)(sqlite3*)>;

// An existing office file, opened for the upgrade's own reads and copy.
FileHandle OpenExisting(const std::filesystem::path& path, int flags) {
  sqlite3* db = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
  FileHandle handle(db, sqlite3_close_v2);
  if (rc != SQLITE_OK)
    throw Failure{OfficeStatus::DatabaseError, "cannot open " + path.string() + ": " +
                                                   (db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc))};
  return handle;
}

std::int64_t Pragma(sqlite3* db, const char* pragma) {
  detail::Statement statement(db, pragma);
  return statement.Step() ? sqlite3_column_int64(statement.get(), 0) : 0;
}

}  // namespace

UpgradeResult UpgradeFileOffice(const std::filesystem::path& path) {
  UpgradeResult upgrade;
  upgrade.to = sqlite::kSchemaVersion;
  const std::filesystem::path kept = path.string() + ".before-upgrade";
  const OfficeResult built = detail::RunBuild([&](OfficeSummary&) {
    if (!std::filesystem::is_regular_file(path))
      throw Failure{OfficeStatus::InvalidOptions, path.string() + " is no office file"};
    {
      const FileHandle office = OpenExisting(path, SQLITE_OPEN_READONLY);
      if (Pragma(office.get(), "pragma application_id") != sqlite::kApplicationId)
        throw Failure{OfficeStatus::InvalidOptions, path.string() + " is not a filing-office database"};
      upgrade.from = static_cast<std::int32_t>(Pragma(office.get(), "pragma user_version"));
    }
    if (upgrade.from == upgrade.to) return;
    if (upgrade.from < kOldestUpgradable || upgrade.from > sqlite::kSchemaVersion)
      throw Failure{OfficeStatus::InvalidOptions, "an office of schema version " + std::to_string(upgrade.from) +
                                                      " cannot be upgraded by this library"};
    RemoveLeftovers(path);
    RefuseIfInUse(path);
    // The old office as it is now, kept until the new one is in place.
    std::error_code ec;
    std::filesystem::remove(kept, ec);
    Exec(OpenExisting(path, SQLITE_OPEN_READWRITE).get(),
         ("vacuum into '" + runtime::DoubleApostrophes(kept.string()) + "'").c_str());
    Builder builder(path.string() + ".tarnwick-init-" + std::to_string(static_cast<long>(::getpid())) + "-upgrade.tmp");
    sqlite3* db = builder.Open();
    Exec(db, ("attach database '" + runtime::DoubleApostrophes(kept.string()) + "' as old").c_str());
    Fill(db, ReadSources(OfficeOptions{}), OfficeOptions{}, [&](sqlite3* into) {
      upgrade.removed = detail::LoadOlderOffice(into);
    });
    Exec(db, "detach database old");
    builder.Close();
    Install(builder.path(), path, true);
    builder.Keep();
    std::filesystem::remove(kept, ec);
  });
  upgrade.status = built.status;
  upgrade.message = built.message;
  if (!built.ok()) {
    upgrade.removed.clear();
    // The copy is needed no longer once the office reads as it did; else it is what is left of it.
    std::error_code ec;
    bool intact = false;
    try {
      intact = Pragma(OpenExisting(path, SQLITE_OPEN_READONLY).get(), "pragma user_version") == upgrade.from &&
               upgrade.from != 0;
    } catch (const Failure&) {
    } catch (const detail::SqlError&) {
    }
    if (intact) std::filesystem::remove(kept, ec);
    else if (std::filesystem::exists(kept, ec)) upgrade.message += "; the office as it was is kept in " + kept.string();
  }
  return upgrade;
}

}  // namespace tarnwick::office
