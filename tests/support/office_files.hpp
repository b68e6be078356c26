// Office files for the tests: building a sample office, reading and writing a
// database file directly, whole files as text, and running the client.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>

#include "gateway/sqlite/functions.hpp"
#include "office/file_office.hpp"
#include "support/temp_dir.hpp"

namespace tarnwick::test {

inline office::OfficeResult MakeOffice(const std::string& path, std::optional<std::int64_t> sample,
                                       std::uint64_t seed = office::kSampleSeed) {
  office::OfficeOptions options;
  options.sampleDocuments = sample;
  options.sampleSeed = seed;
  return office::CreateFileOffice(path, options);
}

// A connection straight to a database file, read-only unless asked to write
// (a file to write is created when missing). A writing connection has the
// library's SQL functions, as the office's name index triggers call them.
class Db {
 public:
  explicit Db(const std::string& path, bool write = false) {
    const int flags = write ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY;
    if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
      sqlite3_close(db_);
      throw std::runtime_error("cannot open " + path);
    }
    if (write) sqlite::RegisterTsqlFunctions(db_);
    sqlite3_busy_timeout(db_, 5000);
  }
  ~Db() { sqlite3_close(db_); }
  Db(const Db&) = delete;
  Db& operator=(const Db&) = delete;
  sqlite3* get() const { return db_; }

  // Runs statements that return nothing; throws with SQLite's reason.
  void Exec(const std::string& sql) const {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
      const std::string text = message ? message : "?";
      sqlite3_free(message);
      throw std::runtime_error(text + " in: " + sql);
    }
  }
  // Every row of a query, each value as text (`null` for Null); throws with
  // SQLite's reason when the text does not prepare or a step fails.
  std::vector<std::vector<std::string>> Rows(const std::string& sql, const std::string& null = "<null>") const {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
      throw std::runtime_error(std::string(sqlite3_errmsg(db_)) + " in: " + sql);
    std::vector<std::vector<std::string>> rows;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
      std::vector<std::string> row;
      for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
        row.emplace_back(text != nullptr ? text : null);
      }
      rows.push_back(std::move(row));
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE) throw std::runtime_error(std::string(sqlite3_errmsg(db_)) + " in: " + sql);
    return rows;
  }
  // The first value of the first row ("<none>" without rows).
  std::string Text(const std::string& sql) const {
    auto rows = Rows(sql);
    return rows.empty() || rows[0].empty() ? "<none>" : rows[0][0];
  }
  std::int64_t Int(const std::string& sql) const { return std::stoll(Text(sql)); }

 private:
  sqlite3* db_ = nullptr;
};

// Every row of every table of an office file in row order, each value with
// its storage class, as SQLite quotes it; the name index's words stand for
// its word index (tw_name_fts...), which is made from them.
inline std::string FileContent(const std::string& path) {
  const Db db(path);
  std::string all;
  for (const auto& table : db.Rows("select name from sqlite_master where type = 'table' and "
                                   "name not like 'tw_name_fts%' order by name")) {
    std::string values = "''";
    for (const auto& column : db.Rows("select name from pragma_table_info('" + table[0] + "')"))
      values += " || typeof(\"" + column[0] + "\") || ' ' || quote(\"" + column[0] + "\") || '|'";
    all += "#" + table[0] + "\n";
    for (const auto& row : db.Rows("select " + values + " from \"" + table[0] + "\" order by rowid")) all += row[0] + "\n";
  }
  return all;
}

// The first value of the first row of a query straight on a file.
inline std::string FileText(const std::string& path, const std::string& sql) { return Db(path).Text(sql); }

// Creates a SQLite file with the given application id and schema version and runs sql in it.
inline void CreateDatabase(const std::string& path, std::int32_t applicationId, std::int32_t version,
                           const std::string& sql) {
  Db(path, true).Exec("PRAGMA application_id = " + std::to_string(applicationId) +
                      "; PRAGMA user_version = " + std::to_string(version) + ";" + sql);
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// The result of running a command.
struct CliRun {
  int code;
  std::string out;  // stdout, and stderr unless kept apart
  std::string err;  // stderr when kept apart
};

// Runs a shell command; stderr goes with stdout, or apart into `err` when
// errFile names a scratch file for it.
inline CliRun RunCommand(const std::string& command, const std::string& errFile = "") {
  FILE* pipe = popen((command + (errFile.empty() ? " 2>&1" : " 2>'" + errFile + "'")).c_str(), "r");
  if (pipe == nullptr) return {-1, "", "popen failed"};
  CliRun run{0, "", ""};
  char buffer[4096];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
  const int status = pclose(pipe);
  run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (!errFile.empty()) run.err = ReadFile(errFile);
  return run;
}

// The client is built for the test programs only (bench/ includes this file too).
#ifdef TARNWICK_CLI_PATH
// Runs the `tarnwick` client with the arguments (a shell's words).
inline CliRun Tarnwick(const std::string& arguments, const std::string& errFile = "") {
  return RunCommand(std::string(TARNWICK_CLI_PATH) + " " + arguments, errFile);
}
#endif

}  // namespace tarnwick::test
