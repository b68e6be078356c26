// Helpers of the office database tests: a scratch folder, building an
// office, reading a database file directly, and running the client.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "office/file_office.hpp"
#include "support/temp_dir.hpp"

namespace tarnwick::office_test {

using test::TempDir;

inline office::OfficeResult MakeOffice(const std::string& path, std::optional<std::int64_t> sample,
                                       std::uint64_t seed = office::kSampleSeed) {
  office::OfficeOptions options;
  options.sampleDocuments = sample;
  options.sampleSeed = seed;
  return office::CreateFileOffice(path, options);
}

// A read-only connection to a database file.
class Db {
 public:
  explicit Db(const std::string& path) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
      sqlite3_close(db_);
      throw std::runtime_error("cannot open " + path);
    }
  }
  ~Db() { sqlite3_close(db_); }
  Db(const Db&) = delete;
  Db& operator=(const Db&) = delete;
  sqlite3* get() const { return db_; }

  // Every row of a query, each value as text ("<null>" for Null).
  std::vector<std::vector<std::string>> Rows(const std::string& sql) const {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
      throw std::runtime_error(std::string(sqlite3_errmsg(db_)) + " in: " + sql);
    }
    std::vector<std::vector<std::string>> rows;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      std::vector<std::string> row;
      for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
        row.emplace_back(text != nullptr ? text : "<null>");
      }
      rows.push_back(std::move(row));
    }
    sqlite3_finalize(stmt);
    return rows;
  }
  // The first value of the first row.
  std::string Text(const std::string& sql) const {
    auto rows = Rows(sql);
    return rows.empty() || rows[0].empty() ? "<none>" : rows[0][0];
  }
  std::int64_t Int(const std::string& sql) const { return std::stoll(Text(sql)); }

 private:
  sqlite3* db_ = nullptr;
};

// The result of running the `tarnwick` client.
struct CliRun {
  int code;
  std::string out;  // stdout and stderr
};

inline CliRun Tarnwick(const std::string& arguments) {
  const std::string command = std::string(TARNWICK_CLI_PATH) + " " + arguments + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return {-1, "popen failed"};
  std::string out;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
  const int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

}  // namespace tarnwick::office_test
