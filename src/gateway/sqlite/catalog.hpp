// What makes a SQLite file an office database, shared by the engine that
// opens it and by `tarnwick init`, which creates it.
//
// - PRAGMA application_id is kApplicationId; any other value is a foreign file.
// - PRAGMA user_version is the schema version; the engine opens only kSchemaVersion.
// - Stored procedures live in the table kProcedureTable:
//     name        text primary key collate nocase   -- "sp_insert_xrf_org_document"
//     parameters  text not null  -- "@Org_id int, @Document_id int, @Unique_id int output"
//     body        text not null  -- SQLite statements separated by ";" using @name parameters
//     description text           -- what the procedure does, for the office's administrators
//   A body statement whose result columns are all named after output parameters
//   (select max(unique_id) as "@Unique_id") sets those parameters; the rows of
//   the last other select are the procedure's result.
// - Dates are stored as ISO text "yyyy-mm-dd hh:mm:ss"; bit as 0/1; money as an
//   INTEGER or REAL where that holds the amount exactly, else as a BLOB with
//   the amount's exact decimal text.
// - Column types are declared in the SQL Server manner (int, smallint, bit,
//   money, datetime, varchar(n), text, image, float); text columns are COLLATE NOCASE.
#pragma once

#include <sqlite3.h>

#include <cstdint>

#include "gateway/tsql/rewrite.hpp"

namespace tarnwick::sqlite {

inline constexpr std::int32_t kApplicationId = 0x54574B31;  // "TWK1"
// 2: link tables with NOT NULL, foreign keys and checking triggers; money
// beyond a double's exact range kept exactly.
// 3: identifiers never used twice (AUTOINCREMENT); a document's scans and
// report links go with it; update_date stamped on every change. An office of
// version 2 is brought to 3 by office::UpgradeFileOffice (`tarnwick upgrade`).
// 4: the name index (tw_name and its companions, kept by triggers). An office
// of version 2 or 3 is brought to 4 by the same upgrade.
inline constexpr std::int32_t kSchemaVersion = 4;
inline constexpr const char* kProcedureTable = "tw_procedure";

// Makes a connection read "..." only as a name, in queries and in schema and
// procedure texts alike. SQLite would otherwise take a name it cannot find
// for a text value, so a misspelt [column] (rendered "column") would quietly
// compare with or list its own spelling. Returns SQLite's result code.
inline int RefuseQuotedTexts(sqlite3* db) {
  int rc = sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
  return rc;
}

// The column lookup of an open database, for the planning rewrites: a
// table's or view's columns are read the first time it is asked about and
// kept for the lookup's life, so a lookup belongs with one connection and a
// schema that does not change under it. A name the database does not know
// has no columns.
tsql::ColumnLookup DatabaseColumns(sqlite3* db);

}  // namespace tarnwick::sqlite
