// An in-memory SQLite database with the T-SQL functions registered, for
// running translated texts in the tests.
#pragma once

#include <string>
#include <vector>

#include "gateway/sqlite/functions.hpp"
#include "gateway/sqlite/render.hpp"
#include "gateway/tsql/translate.hpp"
#include "support/office_files.hpp"

namespace tarnwick::test {

using namespace tsql;

using Rows = std::vector<std::vector<std::string>>;

class SqliteDb {
 public:
  SqliteDb() : db_(":memory:", true), rc_(sqlite::RegisterTsqlFunctions(db_.get())) {}

  int registration() const { return rc_; }

  // Runs SQLite text directly (schema and rows); returns the error or "".
  std::string Exec(const std::string& sql) {
    try {
      db_.Exec(sql);
      return {};
    } catch (const std::exception& e) {
      return e.what();
    }
  }

  // Translates a T-SQL text and runs it; rows hold each value as text, NULL
  // as "NULL". Returns the translation or SQLite error, or "".
  std::string Query(const std::string& tsql, Rows& rows, std::string* rendered = nullptr) {
    rows.clear();
    Translation t;
    if (std::string err = Translate(tsql, sqlite::Renderer(), t); !err.empty()) return "translate: " + err;
    if (rendered) *rendered = t.sql;
    try {
      rows = db_.Rows(t.sql, "NULL");
    } catch (const std::exception& e) {
      return e.what();
    }
    return {};
  }

  // SQLite's plan for a translated T-SQL text, its steps joined by "; ".
  std::string Plan(const std::string& tsql) {
    Translation t;
    if (std::string err = Translate(tsql, sqlite::Renderer(), t); !err.empty()) return "translate: " + err;
    std::string plan;
    try {
      for (const auto& step : db_.Rows("EXPLAIN QUERY PLAN " + t.sql)) plan += step.at(3) + "; ";
    } catch (const std::exception& e) {
      return e.what();
    }
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
  Db db_;
  int rc_ = 0;
};

}  // namespace tarnwick::test
