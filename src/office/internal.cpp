// The office builders' shared pieces: the result of a build, source lines,
// and the SQLite statements of the file office and the sample office.
#include "office/internal.hpp"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <new>

namespace tarnwick::office::detail {

OfficeResult RunBuild(const std::function<void(OfficeSummary&)>& build) {
  const auto started = std::chrono::steady_clock::now();
  OfficeResult result;
  try {
    build(result.summary);
  } catch (const Failure& failure) {
    result.status = failure.status;
    result.message = failure.message;
  } catch (const SqlError& error) {
    result.status = OfficeStatus::DatabaseError;
    result.message = error.what();
  } catch (const std::filesystem::filesystem_error& error) {
    result.status = OfficeStatus::DatabaseError;
    result.message = error.what();
  } catch (const std::bad_alloc&) {
    result.status = OfficeStatus::DatabaseError;
    result.message = "out of memory";
  }
  result.summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  return result;
}

int LineOf(std::string_view text, std::size_t offset) {
  offset = std::min(offset, text.size());
  return 1 + static_cast<int>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
}

void Exec(sqlite3* db, const char* sql) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
    std::string text = message != nullptr ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    throw SqlError(text + " (in: " + std::string(sql).substr(0, 80) + ")");
  }
}

Statement::Statement(sqlite3* db, std::string_view sql) : db_(db) {
  if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr) != SQLITE_OK) {
    std::string message = sqlite3_errmsg(db);
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
    throw SqlError(message + " (in: " + std::string(sql.substr(0, 80)) + ")");
  }
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

void Statement::Check(int rc, const char* what) {
  if (rc != SQLITE_OK) {
    throw SqlError(std::string(what) + ": " + sqlite3_errmsg(db_) + " (in: " +
                   std::string(sqlite3_sql(stmt_)).substr(0, 80) + ")");
  }
}

Statement& Statement::Bind(int index, std::int64_t value) {
  Check(sqlite3_bind_int64(stmt_, index, value), "bind");
  return *this;
}
Statement& Statement::Bind(int index, double value) {
  Check(sqlite3_bind_double(stmt_, index, value), "bind");
  return *this;
}
Statement& Statement::Bind(int index, std::string_view text) {
  Check(sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8),
        "bind");
  return *this;
}
Statement& Statement::BindBlob(int index, const void* data, std::size_t size) {
  Check(sqlite3_bind_blob64(stmt_, index, data, size, SQLITE_TRANSIENT), "bind");
  return *this;
}
Statement& Statement::BindNull(int index) {
  Check(sqlite3_bind_null(stmt_, index), "bind");
  return *this;
}

void Statement::Run() {
  int rc;
  while ((rc = sqlite3_step(stmt_)) == SQLITE_ROW) {
  }
  if (rc != SQLITE_DONE) {
    std::string message = sqlite3_errmsg(db_);
    sqlite3_reset(stmt_);
    throw SqlError(message + " (in: " + std::string(sqlite3_sql(stmt_)).substr(0, 80) + ")");
  }
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

bool Statement::Step() {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  throw SqlError(std::string(sqlite3_errmsg(db_)) + " (in: " +
                 std::string(sqlite3_sql(stmt_)).substr(0, 80) + ")");
}

void Statement::Reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}


}  // namespace tarnwick::office::detail
