// What makes a PostgreSQL database an office server database, shared by the
// engine that connects to it and by `tarnwick init --server`, which creates
// it (db/postgres holds the schema):
//
// - The one row of the table tw_office holds the schema version; the engine
//   opens only kServerSchemaVersion.
// - The office's tables and views stand in the connection's current schema;
//   text columns are citext, so they compare case-blind as on the office's
//   own server.
// - The office's procedures are server PROCEDUREs of the same names; one that
//   returns rows ends with the parameter tw_result refcursor.
//
// The engine reads the tables' and views' columns once per connection
// (OfficeColumns), for the renderer to tell what each expression is.
#pragma once

#include <string>
#include <unordered_map>

namespace tarnwick::postgres {

// The schema version an office server database carries (table tw_office).
// 3: a document's scans and report links go with it; update_date stamped on
// every change. 4: the name index (db/postgres/names.sql) and its search.
// 5: the views in views.sql, the current-committee view counted by the
// planner, and trigram indexes for the name searches. Versions 2 to 4 are
// brought to 5 by office::UpgradeServerOffice.
inline constexpr int kServerSchemaVersion = 5;

// How every office session plans its statements: short interactive
// searches, so no JIT compilation (it cost a year's search at a million
// documents more than 100 ms and saved less), and memory enough to sort a
// large result without writing it to disk. The engine sets these on each
// connection; a hand-written query measured against the library's should
// run under them too.
inline constexpr const char* kOfficeSessionSettings = "SET jit = off; SET work_mem = '32MB'";

// What a value is, as far as the renderer needs to know.
enum class ValueKind { Unknown, Number, Text, Date, Boolean, Binary };

struct ColumnKind {
  ValueKind kind = ValueKind::Unknown;
  bool citext = false;   // a case-blind text column
  bool notNull = false;  // declared NOT NULL (a key column is)
};

// The office's tables and views: name (lower case) -> column (lower case) -> kind.
using OfficeColumns = std::unordered_map<std::string, std::unordered_map<std::string, ColumnKind>>;

}  // namespace tarnwick::postgres
