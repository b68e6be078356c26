// The service's own connection to the office, on either engine.
#include "office_sql.hpp"

#include <fmt/core.h>

#include "gateway/postgres/pool.hpp"

namespace tarnwick::service {
namespace {

[[noreturn]] void Fail(const std::string& why) {
  throw Problem(500, "the office database refused the service's own work: " + why);
}

}  // namespace

OfficeSql::OfficeSql(const Office& office) {
  if (office.server.empty() || office.server == "embedded") {
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(office.db.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW, nullptr);
    file_.reset(db);
    if (rc != SQLITE_OK) {
      throw Problem(503, fmt::format("the office database {} cannot be opened: {}", office.db, sqlite3_errstr(rc)));
    }
    sqlite3_busy_timeout(db, 10000);
    return;
  }
  std::string error;
  settings_ = {office.server, office.db, office.user, office.password, office.trusted, 10};
  server_ = postgres::TakeConnection(settings_, error);
  if (!server_) throw Problem(503, error);
}

OfficeSql::~OfficeSql() { postgres::GiveBack(settings_, std::move(server_)); }

OfficeSql::Rows OfficeSql::Query(const char* sql, const std::vector<std::string>& params) {
  Rows rows;
  if (file_) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(file_.get(), sql, -1, &raw, nullptr) != SQLITE_OK) Fail(sqlite3_errmsg(file_.get()));
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(raw, &sqlite3_finalize);
    for (std::size_t i = 0; i < params.size(); ++i) {
      const int at = sqlite3_bind_parameter_index(raw, fmt::format("${}", i + 1).c_str());
      if (at > 0) sqlite3_bind_text(raw, at, params[i].c_str(), static_cast<int>(params[i].size()), SQLITE_TRANSIENT);
    }
    int rc;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
      auto& row = rows.emplace_back();
      for (int c = 0; c < sqlite3_column_count(raw); ++c) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(raw, c));
        row.emplace_back(text != nullptr ? text : "");
      }
    }
    if (rc != SQLITE_DONE) Fail(sqlite3_errmsg(file_.get()));
    return rows;
  }
  std::vector<const char*> values;
  for (const auto& p : params) values.push_back(p.c_str());
  postgres::Result result(PQexecParams(server_.get(), sql, static_cast<int>(values.size()), nullptr, values.data(),
                                       nullptr, nullptr, 0));
  if (!postgres::Succeeded(result.get())) Fail(postgres::ErrorText(server_.get(), result.get()));
  for (int r = 0; r < PQntuples(result.get()); ++r) {
    auto& row = rows.emplace_back();
    for (int c = 0; c < PQnfields(result.get()); ++c) row.emplace_back(PQgetvalue(result.get(), r, c));
  }
  return rows;
}

}  // namespace tarnwick::service
