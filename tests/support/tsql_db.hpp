// An in-memory SQLite database with the T-SQL functions registered, for
// running translated texts in the tests.
#pragma once

#include <sqlite3.h>

#include <string>
#include <vector>

#include "gateway/sqlite/functions.hpp"
#include "gateway/sqlite/render.hpp"
#include "gateway/tsql/translate.hpp"

namespace tarnwick::test {

using namespace tsql;


using Rows = std::vector<std::vector<std::string>>;

class SqliteDb {
 public:
  SqliteDb() {
    sqlite3_open(":memory:", &db_);
    rc_ = sqlite::RegisterTsqlFunctions(db_);
  }
  ~SqliteDb() { sqlite3_close(db_); }
  SqliteDb(const SqliteDb&) = delete;
  SqliteDb& operator=(const SqliteDb&) = delete;

  int registration() const { return rc_; }

  // Runs SQLite text directly (schema and rows); returns the error or "".
  std::string Exec(const std::string& sql) {
    char* msg = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &msg) == SQLITE_OK) return {};
    std::string e = msg ? msg : "error";
    sqlite3_free(msg);
    return e;
  }

  // Translates a T-SQL text and runs it; rows hold each value as text, NULL
  // as "NULL". Returns the translation or SQLite error, or "".
  std::string Query(const std::string& tsql, Rows& rows, std::string* rendered = nullptr) {
    rows.clear();
    Translation t;
    std::string err = Translate(tsql, sqlite::Renderer(), t);
    if (!err.empty()) return "translate: " + err;
    if (rendered) *rendered = t.sql;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db_, t.sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
      return std::string("prepare: ") + sqlite3_errmsg(db_) + " in: " + t.sql;
    }
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
      std::vector<std::string> row;
      for (int i = 0; i < sqlite3_column_count(st); ++i) {
        const unsigned char* v = sqlite3_column_text(st, i);
        row.push_back(v ? reinterpret_cast<const char*>(v) : "NULL");
      }
      rows.push_back(std::move(row));
    }
    std::string result;
    if (rc != SQLITE_DONE) result = std::string("step: ") + sqlite3_errmsg(db_);
    sqlite3_finalize(st);
    return result;
  }

  // SQLite's plan for a translated T-SQL text, its steps joined by "; ".
  std::string Plan(const std::string& tsql) {
    Translation t;
    if (std::string err = Translate(tsql, sqlite::Renderer(), t); !err.empty()) return "translate: " + err;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db_, ("EXPLAIN QUERY PLAN " + t.sql).c_str(), -1, &st, nullptr) != SQLITE_OK) {
      return std::string("prepare: ") + sqlite3_errmsg(db_);
    }
    std::string plan;
    while (sqlite3_step(st) == SQLITE_ROW) {
      plan += reinterpret_cast<const char*>(sqlite3_column_text(st, 3));
      plan += "; ";
    }
    sqlite3_finalize(st);
    return plan;
  }

  // The single value of a one-row, one-column query (or the error text).
  std::string Value(const std::string& tsql) {
    Rows rows;
    std::string err = Query(tsql, rows);
    if (!err.empty()) return err;
    if (rows.size() != 1 || rows[0].size() != 1) return "not one value";
    return rows[0][0];
  }

 private:
  sqlite3* db_ = nullptr;
  int rc_ = 0;
};

}  // namespace tarnwick::test
