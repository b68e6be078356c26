// A small office database for the engine tests: a document table with the
// office's declared types, a view over it, and a few catalog procedures.
#pragma once

#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "gateway/sqlite/catalog.hpp"
#include "support/temp_dir.hpp"

namespace tarnwick::testing {

using test::TempDir;

inline void ExecOrThrow(sqlite3* db, const std::string& sql) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    std::string text = message ? message : "?";
    sqlite3_free(message);
    throw std::runtime_error(text + " in: " + sql);
  }
}

// Creates a SQLite file with the given application id and schema version and
// runs sql in it.
inline void CreateDatabase(const std::string& path, std::int32_t applicationId, std::int32_t version,
                           const std::string& sql) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
    throw std::runtime_error("cannot create " + path);
  try {
    ExecOrThrow(db, "PRAGMA application_id = " + std::to_string(applicationId) +
                        "; PRAGMA user_version = " + std::to_string(version) + ";");
    ExecOrThrow(db, sql);
  } catch (...) {
    sqlite3_close(db);
    throw;
  }
  sqlite3_close(db);
}

inline const char* kOfficeSchema = R"sql(
create table ref_document (
  unique_id integer primary key,
  doc_type_code varchar(10) collate nocase,
  doc_year smallint,
  title varchar(200) collate nocase,
  is_amendment bit,
  amount_due money,
  due_date datetime,
  page_image image,
  score float,
  org_id int
);
create view vw_document as
  select unique_id, title, is_amendment, amount_due, due_date from ref_document;
create table tw_procedure (
  name text primary key collate nocase,
  parameters text not null,
  body text not null,
  description text
);
insert into ref_document values
  (1, 'RPT', 2004, 'First report', 1, 1234.5, '2004-03-05 14:30:00', x'01020304', 0.25, 7),
  (2, 'COR', 2005, 'Letter', 0, 0, '2005-01-01 00:00:00', null, null, 8),
  (3, 'RPT', 2005, 'Amended report', 0, null, null, null, 1.5, null);
insert into tw_procedure (name, parameters, body) values
  ('sp_insert_ref_document',
   '@Title varchar(200), @Doc_year smallint, @Is_amendment bit, @amount_due money, @due_date datetime,
    @page_image image, @Unique_id int output',
   'insert into ref_document (title, doc_year, is_amendment, amount_due, due_date, page_image)
      values (@Title, @Doc_year, @Is_amendment, @amount_due, @due_date, @page_image);
    select last_insert_rowid() as "@Unique_id"'),
  ('sp_get_document', '@unique_id int, @doc_type_code varchar(10)',
   'select unique_id, title, due_date from ref_document
      where unique_id = @unique_id or doc_type_code = @doc_type_code order by unique_id'),
  ('sp_count_titles', '@title varchar(200), @count int output, @latest datetime output, @unused int output',
   'select count(*) as "@count", max(due_date) as "@latest" from ref_document where title like @title;
    select unique_id, title from ref_document where title like @title order by unique_id'),
  ('sp_fail_midway', '@title varchar(200)',
   'insert into ref_document (title) values (@title);
    insert into ref_document (unique_id, title) values (1, @title)');
)sql";

inline void CreateOfficeDatabase(const std::string& path) {
  CreateDatabase(path, sqlite::kApplicationId, sqlite::kSchemaVersion, kOfficeSchema);
}

// Runs a query straight on the file and returns the first column of the first
// row as text ("<null>" for Null, "<none>" without rows).
inline std::string QueryText(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
    throw std::runtime_error("cannot open " + path);
  sqlite3_busy_timeout(db, 5000);
  sqlite3_stmt* stmt = nullptr;
  std::string out;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    out = std::string("<error ") + sqlite3_errmsg(db) + ">";
  } else if (sqlite3_step(stmt) == SQLITE_ROW) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    out = text ? text : "<null>";
  } else {
    out = "<none>";
  }
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  return out;
}

}  // namespace tarnwick::testing
