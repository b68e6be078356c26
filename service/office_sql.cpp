// The service's own connection to the office, on either engine.
#include "office_sql.hpp"

#include <fmt/core.h>
#include <sys/stat.h>

#include "gateway/postgres/pool.hpp"

namespace tarnwick::service {
namespace {

[[noreturn]] void Fail(const std::string& why) {
  throw Problem(500, "the office database refused the service's own work: " + why);
}

}  // namespace

OfficeSql::OfficeSql(const Office& office) {
  if (office.server.empty() || office.server == "embedded") {
    path_ = office.db;
    struct stat info {};
    const bool there = ::stat(office.db.c_str(), &info) == 0;
    const auto same = [&](const std::unique_ptr<sqlite::KeptOffice>& kept) {
      return there && kept->device == info.st_dev && kept->inode == info.st_ino;
    };
    if (auto kept = sqlite::OfficePool().Take(path_, same)) {
      borrowed_ = std::move(*kept);
      file_ = borrowed_->db;
      return;
    }
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(office.db.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW, nullptr);
    opened_.reset(db);
    if (rc != SQLITE_OK) {
      throw Problem(503, fmt::format("the office database {} cannot be opened: {}", office.db, sqlite3_errstr(rc)));
    }
    sqlite3_busy_timeout(db, 10000);
    file_ = db;
    return;
  }
  std::string error;
  settings_ = {office.server, office.db, office.user, office.password, office.trusted, 10};
  server_ = postgres::TakeConnection(settings_, error);
  if (!server_) throw Problem(503, error);
}

OfficeSql::~OfficeSql() {
  postgres::GiveBack(settings_, std::move(server_));
  // A borrowed file connection goes back unless a step left a unit of work open.
  if (borrowed_ && sqlite3_get_autocommit(file_)) sqlite::OfficePool().Give(path_, std::move(borrowed_));
}

OfficeSql::Rows OfficeSql::Query(const char* sql, const std::vector<std::string>& params) {
  Rows rows;
  if (file_) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(file_, sql, -1, &raw, nullptr) != SQLITE_OK) Fail(sqlite3_errmsg(file_));
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
    if (rc != SQLITE_DONE) Fail(sqlite3_errmsg(file_));
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
