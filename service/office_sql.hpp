// A connection to the office database beside the classes' own, for what the
// service keeps and records itself (logins, sessions, the clerk of a save,
// the lock on a document being changed): on the file through SQLite, on the
// server through libpq; both borrowed from the engines' pools of idle
// connections when the service keeps them. One SQL text
// serves both engines: parameters are written $1, $2, ... and bound as text.
//
// Failures: an office that cannot be opened throws Problem 503, a statement
// the database refuses Problem 500, each with the engine's words.
//
// Thread safety: an OfficeSql is used by one thread.
#pragma once

#include <sqlite3.h>

#include <memory>
#include <string>
#include <vector>

#include "gateway/postgres/connection.hpp"
#include "gateway/sqlite/pool.hpp"
#include "http.hpp"

namespace tarnwick::service {

class OfficeSql {
 public:
  using Rows = std::vector<std::vector<std::string>>;

  explicit OfficeSql(const Office& office);
  OfficeSql(const OfficeSql&) = delete;
  OfficeSql& operator=(const OfficeSql&) = delete;
  // A server connection left inside a unit of work (a step failed) is
  // closed, never kept for another request.
  ~OfficeSql();

  // Runs one statement; its rows as text ("" for NULL).
  Rows Query(const char* sql, const std::vector<std::string>& params = {});

  bool OnServer() const { return server_ != nullptr; }

 private:
  sqlite3* file_ = nullptr;  // the file's connection, owned or borrowed
  std::unique_ptr<sqlite3, int (*)(sqlite3*)> opened_{nullptr, &sqlite3_close};
  std::unique_ptr<sqlite::KeptOffice> borrowed_;
  std::string path_;
  postgres::ConnectionSettings settings_;
  postgres::Connection server_;
};

}  // namespace tarnwick::service
