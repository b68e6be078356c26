// Tests against the office server: where it is (scripts/with-postgres.sh
// exports TARNWICK_PG_SOCKET and TARNWICK_PG_PORT), databases of a test's own,
// and reading and writing them straight through libpq.
//
// Without a configured server a server test skips; when TARNWICK_PG_REQUIRED
// is 1 (scripts/test.sh, CI) it fails instead, so that a run that should
// have tested the server cannot pass without doing so.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "gateway/postgres/connection.hpp"
#include "office/server_office.hpp"

namespace tarnwick::test {

inline std::string EnvText(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// True when the tests know a server to use.
inline bool ServerConfigured() {
  return !EnvText("TARNWICK_PG_SOCKET").empty() && !EnvText("TARNWICK_PG_PORT").empty();
}

// True when a server test must fail rather than skip without a server.
inline bool ServerRequired() { return EnvText("TARNWICK_PG_REQUIRED") == "1"; }

// The superuser through the socket (trusted), on the given database.
inline postgres::ConnectionSettings ServerSettings(const std::string& database) {
  postgres::ConnectionSettings settings;
  settings.server = EnvText("TARNWICK_PG_SOCKET") + ":" + EnvText("TARNWICK_PG_PORT");
  settings.database = database;
  const std::string user = EnvText("TARNWICK_PG_SUPERUSER");
  settings.user = user.empty() ? "postgres" : user;
  settings.trusted = true;
  return settings;
}

// A database name no other test (nor another test program running at the
// same time) uses: "tw_test_<pid>_<n>_<what>".
inline std::string UniqueDatabaseName(const std::string& what) {
  static std::atomic<int> serial{0};
  std::string name = "tw_test_" + std::to_string(static_cast<long>(::getpid())) + "_" + std::to_string(serial++) +
                     "_" + what;
  for (char& c : name) {
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) c = c >= 'A' && c <= 'Z' ? c + 32 : '_';
  }
  if (name.size() > 63) name.resize(63);
  return name;
}

// Drops a database, whoever is still connected to it. Returns the error text, empty on success.
inline std::string DropServerDatabase(const std::string& database) {
  std::string error;
  postgres::Connection conn = postgres::Connect(ServerSettings("postgres"), error);
  if (!conn) return error;
  PQsetNoticeProcessor(conn.get(), [](void*, const char*) {}, nullptr);
  return postgres::ExecText(conn.get(), "drop database if exists " + postgres::QuoteIdentifier(database) +
                                            " with (force)");
}

// Drops a server database (when named) on every way out of a test.
struct DroppedDatabase {
  std::string name;
  ~DroppedDatabase() {
    if (!name.empty()) DropServerDatabase(name);
  }
};

// Rows of a query through libpq, each value as text ("<null>" for Null).
inline std::vector<std::vector<std::string>> ServerRows(PGconn* conn, const std::string& sql) {
  postgres::Result result(PQexec(conn, sql.c_str()));
  if (!postgres::Succeeded(result.get()))
    throw std::runtime_error(postgres::ErrorText(conn, result.get()) + " in: " + sql);
  std::vector<std::vector<std::string>> rows;
  for (int r = 0; r < PQntuples(result.get()); ++r) {
    std::vector<std::string> row;
    for (int c = 0; c < PQnfields(result.get()); ++c)
      row.emplace_back(PQgetisnull(result.get(), r, c) ? "<null>" : PQgetvalue(result.get(), r, c));
    rows.push_back(std::move(row));
  }
  return rows;
}

// A connection to a database as the superuser; throws when there is none.
inline postgres::Connection ServerConnect(const std::string& database) {
  std::string error;
  postgres::Connection conn = postgres::Connect(ServerSettings(database), error);
  if (!conn) throw std::runtime_error(error);
  return conn;
}

inline void ServerExec(PGconn* conn, const std::string& sql) {
  if (auto e = postgres::ExecText(conn, sql); !e.empty()) throw std::runtime_error(e + " in: " + sql);
}

// The first value of the first row ("<none>" without rows).
inline std::string ServerText(PGconn* conn, const std::string& sql) {
  const auto rows = ServerRows(conn, sql);
  return rows.empty() || rows[0].empty() ? "<none>" : rows[0][0];
}

// Skips the test without a server, or fails it when the server is required.
#define TW_REQUIRE_SERVER()                                                                                 \
  do {                                                                                                      \
    if (::tarnwick::test::ServerConfigured()) break;                                                        \
    if (::tarnwick::test::ServerRequired())                                                                 \
      FAIL() << "TARNWICK_PG_REQUIRED is 1 but no server is configured (TARNWICK_PG_SOCKET/PORT)";          \
    GTEST_SKIP() << "no office server configured (run under scripts/with-postgres.sh)";                     \
  } while (false)

}  // namespace tarnwick::test
