// The upgrade of an office from an older schema version (see upgrade.hpp): the
// clean-up both engines run alike, the file's reload and the server's change
// in place.
#include "office/upgrade.hpp"

#include <algorithm>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "gateway/postgres/catalog.hpp"
#include "gateway/sqlite/catalog.hpp"
#include "office/internal.hpp"
#include "office/name_words_sql.hpp"
#include "office/sql_sources.hpp"
#include "office/update_table_sql.hpp"

namespace tarnwick::office {
namespace {

using detail::Failure;

// The version before foreign keys and update stamps.
constexpr std::int32_t kUnlinkedVersion = 2;
// The first server version with the name index.
constexpr std::int32_t kNameIndexVersion = 4;

// What a deleted document may have left behind, and how each is found: the
// same text on both engines (dates compare as ISO text on the file).
struct LeftBehind {
  const char* what;
  const char* sql;
};
constexpr LeftBehind kLeftBehind[] = {
    {"scanned images of no document",
     "delete from DOCUMENT_IMAGE where not exists "
     "(select 1 from ref_document d where d.unique_id = DOCUMENT_IMAGE.document_id)"},
    {"scanned images older than the document that now has their number",
     "delete from DOCUMENT_IMAGE where exists (select 1 from ref_document d "
     "where d.unique_id = DOCUMENT_IMAGE.document_id and d.orig_date > DOCUMENT_IMAGE.orig_date)"},
    {"report links of no document",
     "delete from xrf_report_document where not exists "
     "(select 1 from ref_document d where d.unique_id = xrf_report_document.document_id)"},
    {"report links older than the document that now has their number",
     "delete from xrf_report_document where exists (select 1 from ref_document d "
     "where d.unique_id = xrf_report_document.document_id and d.orig_date > xrf_report_document.orig_date)"},
};

std::string Removed(std::int64_t count, const char* what) { return std::to_string(count) + " " + what; }

std::vector<std::string> TextColumn(sqlite3* db, const std::string& sql) {
  detail::Statement statement(db, sql);
  std::vector<std::string> out;
  while (statement.Step()) out.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 0)));
  return out;
}

// Server helpers: a statement that must succeed, and a count.
postgres::Result Must(PGconn* conn, const std::string& what, const std::string& sql) {
  postgres::Result result(PQexec(conn, sql.c_str()));
  if (!postgres::Succeeded(result.get()))
    throw Failure{OfficeStatus::DatabaseError, what + ": " + postgres::ErrorText(conn, result.get())};
  return result;
}

// Runs the library's own server files of these paths, in this order.
void RunEmbedded(PGconn* conn, const std::string& what, std::initializer_list<std::string_view> paths) {
  const std::vector<SqlFile> files = EmbeddedServerSqlFiles();
  for (std::string_view path : paths) {
    const auto file = std::find_if(files.begin(), files.end(), [&](const SqlFile& f) { return f.path == path; });
    if (file == files.end())
      throw Failure{OfficeStatus::InvalidSource, what + ": the library has no " + std::string(path)};
    Must(conn, what + " (" + file->path + ")", file->text);
  }
}

}  // namespace

namespace detail {

std::vector<std::string> LoadOlderOffice(sqlite3* db) {
  // Every table of the new office that the old one has, the columns both
  // have; the procedures are the new office's own.
  for (const std::string& table :
       TextColumn(db, "select m.name from main.sqlite_master m where m.type = 'table' and m.name not like 'sqlite%' "
                      "and m.name <> '" + std::string(sqlite::kProcedureTable) + "' and exists "
                      "(select 1 from old.sqlite_master o where o.type = 'table' and o.name = m.name collate nocase)")) {
    std::string columns;
    for (const std::string& column :
         TextColumn(db, "select n.name from pragma_table_info('" + table + "', 'main') n where exists "
                        "(select 1 from pragma_table_info('" + table + "', 'old') o where o.name = n.name collate nocase)"))
      columns += (columns.empty() ? "\"" : ", \"") + column + "\"";
    Exec(db, ("delete from main.\"" + table + "\"").c_str());
    Exec(db, ("insert into main.\"" + table + "\" (" + columns + ") select " + columns + " from old.\"" + table + "\"")
                 .c_str());
  }
  std::vector<std::string> removed;
  for (const LeftBehind& left : kLeftBehind) {
    Exec(db, left.sql);
    if (const int count = sqlite3_changes(db); count > 0) removed.push_back(Removed(count, left.what));
  }
  const std::vector<std::string> broken = TextColumn(db, "select \"table\" from pragma_foreign_key_check");
  if (!broken.empty())
    throw Failure{OfficeStatus::DatabaseError,
                  "the office holds rows that refer to rows it does not have, in " + broken.front()};
  return removed;
}

}  // namespace detail

UpgradeResult UpgradeServerOffice(const postgres::ConnectionSettings& office) {
  UpgradeResult result;
  result.to = postgres::kServerSchemaVersion;
  try {
    std::string error;
    postgres::Connection conn = postgres::Connect(office, error);
    if (!conn) throw Failure{OfficeStatus::DatabaseError, error};
    PGconn* c = conn.get();
    Must(c, "cannot begin the upgrade", "begin");
    postgres::Result version = Must(c, "cannot read the office's version", "select version from tw_office for update");
    if (PQntuples(version.get()) != 1) throw Failure{OfficeStatus::InvalidOptions, "this database is no office"};
    result.from = std::stoi(PQgetvalue(version.get(), 0, 0));
    if (result.from == result.to) {
      Must(c, "cannot end the upgrade", "rollback");
      return result;
    }
    if (result.from < kOldestUpgradable || result.from > result.to)
      throw Failure{OfficeStatus::InvalidOptions, "an office of schema version " + std::to_string(result.from) +
                                                      " cannot be upgraded by this library"};
    if (result.from == kUnlinkedVersion) {
      for (const LeftBehind& left : kLeftBehind) {
        const postgres::Result done = Must(c, std::string("cannot remove ") + left.what, left.sql);
        if (const std::int64_t count = std::stoll(PQcmdTuples(done.get())); count > 0)
          result.removed.push_back(Removed(count, left.what));
      }
      Must(c, "cannot tie scanned images to their documents",
           "alter table DOCUMENT_IMAGE add foreign key (document_id) references ref_document (unique_id) "
           "on delete cascade");
      Must(c, "cannot tie report links to their documents",
           "alter table xrf_report_document add foreign key (document_id) references ref_document (unique_id) "
           "on delete cascade");
      RunEmbedded(c, "cannot add the update stamps", {"functions.sql", "stamps.sql"});
    }
    // The name index with its current upkeep, built anew from the office's
    // committees and officers; an office older than the index also gets the
    // search that reads it.
    Must(c, "cannot write the name fold", NameWordsFunctionSql());
    RunEmbedded(c, "cannot build the name index", {"names.sql"});
    if (result.from < kNameIndexVersion) RunEmbedded(c, "cannot add the name search", {"procedures/sp_find_names.sql"});
    // The views as the planner counts them now, and the indexes the office
    // lacks (the trigram indexes of the name searches): both files may be
    // run again. Fresh statistics, so that the next search is planned on
    // the office's rows.
    RunEmbedded(c, "cannot renew the views and indexes", {"indexes.sql", "views.sql"});
    // Last, once the office's tables are as this version has them: the
    // one-column save's lookup and write, written from them, and the
    // sp_update_table that uses them (an office of an older library has one
    // that looks its names up in the catalog on every call). A later change
    // to the tables goes above this step, so that they are written again.
    WriteUpdateTableFunctions(c);
    RunEmbedded(c, "cannot replace sp_update_table", {"procedures/sp_update_table.sql"});
    Must(c, "cannot mark the office's version",
         "update tw_office set version = " + std::to_string(postgres::kServerSchemaVersion));
    Must(c, "cannot finish the upgrade", "commit");
    Must(c, "cannot gather statistics", "analyze");
  } catch (const Failure& failure) {
    result.status = failure.status;
    result.message = failure.message;
    result.removed.clear();
  }
  return result;
}

}  // namespace tarnwick::office
