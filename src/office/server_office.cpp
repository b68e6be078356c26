// Creating an office database on the office server.
#include "office/server_office.hpp"

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <map>
#include <string>
#include <system_error>
#include <vector>

#include "gateway/postgres/catalog.hpp"
#include "office/file_office.hpp"
#include "office/internal.hpp"
#include "office/name_words_sql.hpp"
#include "office/sql_sources.hpp"
#include "office/update_table_sql.hpp"
#include "runtime/text.hpp"

namespace tarnwick::office {
namespace {

using postgres::Connection;
using postgres::ConnectionSettings;
using postgres::ErrorText;
using postgres::kServerSchemaVersion;
using postgres::QuoteIdentifier;
using postgres::Result;
using postgres::Succeeded;
using detail::Failure;
using detail::LineOf;

// PostgreSQL keeps at most 63 bytes of a name and cuts longer ones silently.
constexpr std::size_t kMaxNameBytes = 63;

// SQLSTATEs the builder answers with a status of its own.
constexpr const char* kObjectInUse = "55006";
constexpr const char* kDuplicateDatabase = "42P04";

std::string StateOf(const PGresult* result) {
  const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  return state ? state : "";
}

// Runs a statement with text parameters; the result is returned whatever its status.
Result Run(PGconn* conn, const std::string& sql, const std::vector<std::string>& params = {}) {
  std::vector<const char*> values;
  values.reserve(params.size());
  for (const auto& p : params) values.push_back(p.c_str());
  return Result(PQexecParams(conn, sql.c_str(), static_cast<int>(values.size()), nullptr, values.data(), nullptr,
                             nullptr, 0));
}

// Runs a statement that must succeed; `what` names the step in the error.
Result Must(PGconn* conn, const std::string& what, const std::string& sql,
            const std::vector<std::string>& params = {}) {
  Result result = Run(conn, sql, params);
  if (!Succeeded(result.get())) throw Failure{OfficeStatus::DatabaseError, what + ": " + ErrorText(conn, result.get())};
  return result;
}

std::int64_t Count(PGconn* conn, const std::string& what, const std::string& sql,
                   const std::vector<std::string>& params = {}) {
  Result result = Must(conn, what, sql, params);
  if (PQntuples(result.get()) == 0 || PQgetisnull(result.get(), 0, 0)) return 0;
  return std::stoll(PQgetvalue(result.get(), 0, 0));
}

// Runs a whole SQL file in one round trip; a failure names the file and the
// line the server points at.
void RunScript(PGconn* conn, const SqlFile& file) {
  Result result(PQexec(conn, file.text.c_str()));
  if (Succeeded(result.get())) return;
  std::string where = file.path;
  if (const char* position = result ? PQresultErrorField(result.get(), PG_DIAG_STATEMENT_POSITION) : nullptr) {
    // The position counts characters (UTF-8 code points) from 1.
    std::size_t chars = static_cast<std::size_t>(std::max(1L, std::strtol(position, nullptr, 10))) - 1;
    std::size_t offset = 0;
    for (; offset < file.text.size() && chars > 0; ++offset) {
      if ((static_cast<unsigned char>(file.text[offset]) & 0xC0) != 0x80) --chars;
    }
    where += ":" + std::to_string(LineOf(file.text, offset));
  }
  throw Failure{OfficeStatus::InvalidSource, where + ": " + ErrorText(conn, result.get())};
}

// The files of the server's sources besides its procedures, every one needed.
constexpr const char* kServerFiles[] = {"schema.sql", "views.sql",   "functions.sql",
                                        "stamps.sql", "indexes.sql", "names.sql"};

// The server's sources, checked for the files every office needs.
struct ServerSources {
  std::vector<SqlFile> files;
  std::map<std::string, const SqlFile*> byPath;
  std::vector<const SqlFile*> procedures;
  std::vector<SqlFile> fileSources;  // for the office's rows: empty means the embedded ones

  const SqlFile& Require(const std::string& path) const {
    auto it = byPath.find(path);
    if (it == byPath.end()) throw Failure{OfficeStatus::InvalidSource, "the server's SQL sources have no " + path};
    return *it->second;
  }
};

ServerSources ReadSources(const OfficeOptions& options) {
  ServerSources sources;
  if (options.sqlDirectory.empty()) {
    sources.files = EmbeddedServerSqlFiles();
  } else {
    if (std::string error = ReadSqlFiles(options.sqlDirectory, sources.files); !error.empty())
      throw Failure{OfficeStatus::InvalidSource, error};
    const std::filesystem::path beside = options.sqlDirectory.lexically_normal().parent_path() / "sqlite";
    std::error_code ec;
    if (std::filesystem::is_directory(beside, ec)) {
      if (std::string error = ReadSqlFiles(beside, sources.fileSources); !error.empty())
        throw Failure{OfficeStatus::InvalidSource, error};
    }
  }
  for (const SqlFile& file : sources.files) {
    sources.byPath[file.path] = &file;
    if (file.path.rfind("procedures/", 0) == 0) {
      sources.procedures.push_back(&file);
    } else if (std::find(std::begin(kServerFiles), std::end(kServerFiles), file.path) == std::end(kServerFiles)) {
      std::string expected;
      for (const char* path : kServerFiles) expected += std::string(path) + ", ";
      throw Failure{OfficeStatus::InvalidSource, file.path + " is not part of the office server database (expected " +
                                                     expected + "and procedures/*.sql)"};
    }
  }
  for (const char* path : kServerFiles) sources.Require(path);
  if (sources.procedures.empty()) throw Failure{OfficeStatus::InvalidSource, "the SQL sources have no procedures"};
  return sources;
}

void CheckOptions(const ConnectionSettings& office, const OfficeOptions& options) {
  postgres::ServerAddress address;
  std::string error;
  if (!postgres::ParseServer(office.server, address, error)) throw Failure{OfficeStatus::InvalidOptions, error};
  const std::string& name = office.database;
  if (runtime::Trim(name).empty()) throw Failure{OfficeStatus::InvalidOptions, "no database name given"};
  if (name.size() > kMaxNameBytes) {
    throw Failure{OfficeStatus::InvalidOptions, "the database name '" + name + "' is longer than " +
                                                    std::to_string(kMaxNameBytes) + " bytes"};
  }
  const std::string lower = runtime::ToLower(name);
  if (lower == "postgres" || lower == "template0" || lower == "template1") {
    throw Failure{OfficeStatus::InvalidOptions, "'" + name + "' is a database of the server itself"};
  }
  if (options.sampleDocuments &&
      (*options.sampleDocuments < 0 || *options.sampleDocuments > kMaxSampleDocuments)) {
    throw Failure{OfficeStatus::InvalidOptions, "the sample size must be between 0 and " +
                                                    std::to_string(kMaxSampleDocuments) + " documents, not " +
                                                    std::to_string(*options.sampleDocuments)};
  }
}

Connection Open(const ConnectionSettings& office, const std::string& database) {
  ConnectionSettings settings = office;
  settings.database = database;
  std::string error;
  Connection conn = postgres::Connect(settings, error);
  if (!conn) throw Failure{OfficeStatus::DatabaseError, error};
  return conn;
}

std::string InUseText(const std::string& database, std::int64_t clients) {
  return "the office database '" + database + "' is in use: " + std::to_string(clients) +
         (clients == 1 ? " client is" : " clients are") + " connected to it; close every client and try again";
}

std::int64_t ClientsOf(PGconn* maintenance, const std::string& database) {
  return Count(maintenance, "cannot read the server's sessions",
               "select count(*) from pg_stat_activity where datname = $1 and pid <> pg_backend_pid() "
               "and backend_type = 'client backend'", {database});
}

bool DatabaseExists(PGconn* maintenance, const std::string& database) {
  return Count(maintenance, "cannot read the server's databases", "select count(*) from pg_database where datname = $1",
               {database}) > 0;
}

// The database under construction: dropped on every way out unless it was
// put in place.
class TemporaryDatabase {
 public:
  TemporaryDatabase(PGconn* maintenance, std::string name) : maintenance_(maintenance), name_(std::move(name)) {}
  ~TemporaryDatabase() {
    if (created_ && !kept_) {
      Result(PQexec(maintenance_, ("drop database if exists " + QuoteIdentifier(name_)).c_str()));
    }
  }
  TemporaryDatabase(const TemporaryDatabase&) = delete;
  TemporaryDatabase& operator=(const TemporaryDatabase&) = delete;

  // A UTF-8 database whose texts sort by code point, with letter case folded
  // by the full Unicode rules where the server has the C.UTF-8 locale (citext
  // folds with the database's character type): sorting then never depends on
  // the server machine's language settings.
  void Create() {
    const std::string base = "create database " + QuoteIdentifier(name_) +
                             " template template0 encoding 'UTF8' lc_collate 'C' lc_ctype ";
    Result made = Run(maintenance_, base + "'C.UTF-8'");
    if (!Succeeded(made.get())) made = Run(maintenance_, base + "'C'");
    if (!Succeeded(made.get()))
      throw Failure{OfficeStatus::DatabaseError, "cannot create a database on the server: " +
                                                     ErrorText(maintenance_, made.get())};
    created_ = true;
  }
  void Keep() { kept_ = true; }
  const std::string& name() const { return name_; }

 private:
  PGconn* maintenance_;
  std::string name_;
  bool created_ = false;
  bool kept_ = false;
};

std::string TemporaryName(const std::string& target, std::string_view kind) {
  static std::atomic<int> serial{0};
  std::string prefix = "tw_" + std::string(kind) + "_" + std::to_string(static_cast<long>(::getpid())) + "_" +
                       std::to_string(serial++) + "_";
  std::string name = prefix + target;
  if (name.size() > kMaxNameBytes) {
    name.resize(kMaxNameBytes);
    // Never cut a UTF-8 character in two.
    while (!name.empty() && (static_cast<unsigned char>(name.back()) & 0xC0) == 0x80) name.pop_back();
    if (!name.empty() && (static_cast<unsigned char>(name.back()) & 0x80) != 0) name.pop_back();
  }
  return name;
}

// Databases that runs for this office killed half way left behind: one
// being built ("tw_init_...") or an old office set aside for its replacement
// ("tw_old_..."). A database still in use (a build in progress holds its
// connection) cannot be dropped and stays.
void RemoveLeftovers(PGconn* maintenance, const std::string& target) {
  std::string pattern = "^tw_(init|old)_[0-9]+_[0-9]+_";
  for (char c : target) {
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
          (static_cast<unsigned char>(c) & 0x80) != 0))
      pattern += '\\';
    pattern += c;
  }
  pattern += "$";
  Result found = Run(maintenance, "select datname from pg_database where datname ~ $1", {pattern});
  if (!Succeeded(found.get())) return;
  for (int i = 0; i < PQntuples(found.get()); ++i) {
    Result(PQexec(maintenance, ("drop database " + QuoteIdentifier(PQgetvalue(found.get(), i, 0))).c_str()));
  }
}

// The office's rows built as a file by the file builder, removed on every way out.
class SampleFile {
 public:
  SampleFile() {
    static std::atomic<int> serial{0};
    path_ = std::filesystem::temp_directory_path() /
            ("tarnwick-server-sample-" + std::to_string(static_cast<long>(::getpid())) + "-" +
             std::to_string(serial++) + ".db");
    Remove();
  }
  ~SampleFile() { Remove(); }
  SampleFile(const SampleFile&) = delete;
  SampleFile& operator=(const SampleFile&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  void Remove() {
    std::error_code ec;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) std::filesystem::remove(path_.string() + suffix, ec);
  }
  std::filesystem::path path_;
};

OfficeSummary BuildSampleFile(const SampleFile& file, const OfficeOptions& options,
                                      const ServerSources& sources) {
  OfficeOptions fileOptions;
  fileOptions.sampleDocuments = options.sampleDocuments;
  fileOptions.sampleSeed = options.sampleSeed;
  fileOptions.progress = options.progress;
  // Only the rows are copied: the file's own indexes and name index would be
  // built for nothing (16 s of 31 at 1,000,000 documents).
  fileOptions.rowsOnly = true;
  if (!sources.fileSources.empty()) {
    fileOptions.sqlDirectory = options.sqlDirectory.lexically_normal().parent_path() / "sqlite";
  }
  const OfficeResult made = CreateFileOffice(file.path(), fileOptions);
  if (!made.ok()) {
    throw Failure{made.status == OfficeStatus::InvalidSource ? OfficeStatus::InvalidSource : OfficeStatus::DatabaseError,
                  "cannot build the office's rows: " + made.message};
  }
  return made.summary;
}

class SqliteReader {
 public:
  explicit SqliteReader(const std::filesystem::path& path) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
      const std::string why = db_ ? sqlite3_errmsg(db_) : "out of memory";
      sqlite3_close(db_);
      db_ = nullptr;
      throw Failure{OfficeStatus::DatabaseError, "cannot read the office's rows: " + why};
    }
  }
  ~SqliteReader() { sqlite3_close(db_); }
  SqliteReader(const SqliteReader&) = delete;
  SqliteReader& operator=(const SqliteReader&) = delete;
  sqlite3* get() const { return db_; }

 private:
  sqlite3* db_ = nullptr;
};

// How a column's values are written in COPY's text format.
enum class CopyKind { Text, Boolean, Integer, Numeric, Double, Bytes, Timestamp };

CopyKind KindOfServerType(std::string_view type) {
  if (type == "bool") return CopyKind::Boolean;
  if (type == "int2" || type == "int4" || type == "int8") return CopyKind::Integer;
  if (type == "numeric") return CopyKind::Numeric;
  if (type == "float4" || type == "float8") return CopyKind::Double;
  if (type == "bytea") return CopyKind::Bytes;
  if (type == "timestamp" || type == "date") return CopyKind::Timestamp;
  return CopyKind::Text;
}

void AppendEscaped(std::string& out, const char* text, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    const char c = text[i];
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default: out += c;
    }
  }
}

// One value of the file in COPY's text format for a column of the given kind.
void AppendValue(std::string& out, sqlite3_stmt* stmt, int index, CopyKind kind) {
  const int type = sqlite3_column_type(stmt, index);
  if (type == SQLITE_NULL) {
    out += "\\N";
    return;
  }
  char buffer[64];
  switch (kind) {
    case CopyKind::Boolean:
      out += sqlite3_column_int64(stmt, index) != 0 ? 't' : 'f';
      return;
    case CopyKind::Integer:
      out += std::to_string(sqlite3_column_int64(stmt, index));
      return;
    case CopyKind::Numeric:
      if (type == SQLITE_INTEGER) {
        out += std::to_string(sqlite3_column_int64(stmt, index));
      } else if (type == SQLITE_FLOAT) {
        // Amounts are kept as reals only where four decimals hold them exactly.
        std::snprintf(buffer, sizeof buffer, "%.4f", sqlite3_column_double(stmt, index));
        out += buffer;
      } else {
        // A large amount with a fraction is kept as its decimal text.
        const auto* text = static_cast<const char*>(sqlite3_column_blob(stmt, index));
        AppendEscaped(out, text, static_cast<std::size_t>(sqlite3_column_bytes(stmt, index)));
      }
      return;
    case CopyKind::Double:
      std::snprintf(buffer, sizeof buffer, "%.17g", sqlite3_column_double(stmt, index));
      out += buffer;
      return;
    case CopyKind::Bytes: {
      const auto* bytes = static_cast<const unsigned char*>(sqlite3_column_blob(stmt, index));
      const int size = sqlite3_column_bytes(stmt, index);
      static const char kHex[] = "0123456789abcdef";
      out += "\\\\x";
      for (int i = 0; i < size; ++i) {
        out += kHex[bytes[i] >> 4];
        out += kHex[bytes[i] & 0xF];
      }
      return;
    }
    case CopyKind::Timestamp:
    case CopyKind::Text: {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, index));
      AppendEscaped(out, text, static_cast<std::size_t>(sqlite3_column_bytes(stmt, index)));
      return;
    }
  }
}

struct ServerColumn {
  std::string name;
  CopyKind kind;
};

std::vector<ServerColumn> ColumnsOf(PGconn* conn, const std::string& table) {
  Result result = Must(conn, "cannot read the columns of " + table,
                       "select a.attname, t.typname from pg_attribute a join pg_type t on t.oid = a.atttypid "
                       "where a.attrelid = $1::regclass and a.attnum > 0 and not a.attisdropped order by a.attnum",
                       {QuoteIdentifier(table)});
  std::vector<ServerColumn> columns;
  for (int i = 0; i < PQntuples(result.get()); ++i) {
    columns.push_back({PQgetvalue(result.get(), i, 0), KindOfServerType(PQgetvalue(result.get(), i, 1))});
  }
  return columns;
}

void FinishCopy(PGconn* conn, const std::string& table, bool sent) {
  if (PQputCopyEnd(conn, sent ? nullptr : "the sample office could not be read") != 1) {
    throw Failure{OfficeStatus::DatabaseError, "cannot copy " + table + ": " + ErrorText(conn, nullptr)};
  }
  Result result(PQgetResult(conn));
  const bool ok = Succeeded(result.get());
  const std::string error = ok ? "" : ErrorText(conn, result.get());
  while (Result(PQgetResult(conn))) {
  }
  if (!ok) throw Failure{OfficeStatus::DatabaseError, "cannot copy " + table + ": " + error};
}

// Copies every row of one table of the file into the server's table of the
// same name, column by column by name.
std::int64_t CopyTable(PGconn* conn, sqlite3* file, const std::string& table, std::int64_t& done,
                       std::int64_t total, const OfficeProgressCallback& progress) {
  const std::vector<ServerColumn> columns = ColumnsOf(conn, table);
  std::string select = "select ";
  std::string copy = "copy " + QuoteIdentifier(table) + " (";
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (i > 0) {
      select += ", ";
      copy += ", ";
    }
    select += QuoteIdentifier(columns[i].name);
    copy += QuoteIdentifier(columns[i].name);
  }
  select += " from " + QuoteIdentifier(table);
  copy += ") from stdin";

  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(file, select.c_str(), -1, &raw, nullptr) != SQLITE_OK) {
    const std::string why = sqlite3_errmsg(file);
    sqlite3_finalize(raw);
    throw Failure{OfficeStatus::InvalidSource,
                  "the table " + table + " of the server differs from the file's: " + why};
  }
  std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> stmt(raw, sqlite3_finalize);

  Result started(PQexec(conn, copy.c_str()));
  if (PQresultStatus(started.get()) != PGRES_COPY_IN) {
    throw Failure{OfficeStatus::DatabaseError, "cannot copy " + table + ": " + ErrorText(conn, started.get())};
  }
  constexpr std::size_t kChunk = 1 << 20;
  std::string buffer;
  buffer.reserve(kChunk + 4096);
  std::int64_t rows = 0;
  int rc;
  auto send = [&] {
    if (PQputCopyData(conn, buffer.data(), static_cast<int>(buffer.size())) != 1) {
      throw Failure{OfficeStatus::DatabaseError, "cannot copy " + table + ": " + ErrorText(conn, nullptr)};
    }
    buffer.clear();
  };
  while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (i > 0) buffer += '\t';
      AppendValue(buffer, stmt.get(), static_cast<int>(i), columns[i].kind);
    }
    buffer += '\n';
    ++rows;
    if (buffer.size() >= kChunk) {
      send();
      if (progress) progress({"copy", done + rows, total});
    }
  }
  if (!buffer.empty() && rc == SQLITE_DONE) send();
  if (rc != SQLITE_DONE) {
    const std::string why = sqlite3_errmsg(file);
    FinishCopy(conn, table, false);
    throw Failure{OfficeStatus::DatabaseError, "cannot read " + table + " of the sample office: " + why};
  }
  FinishCopy(conn, table, true);
  done += rows;
  if (progress) progress({"copy", done, total});
  return rows;
}

// The office's tables, those that others refer to first.
std::vector<std::string> TablesInLoadOrder(PGconn* conn) {
  Result result = Must(conn, "cannot read the tables",
                       "select c.relname from pg_class c "
                       "where c.relkind = 'r' and c.relnamespace = 'public'::regnamespace and c.relname <> 'tw_office' "
                       "order by exists (select 1 from pg_constraint k where k.conrelid = c.oid and k.contype = 'f'), "
                       "c.relname");
  std::vector<std::string> tables;
  for (int i = 0; i < PQntuples(result.get()); ++i) tables.emplace_back(PQgetvalue(result.get(), i, 0));
  return tables;
}

// Fills the empty tables of the new database with the rows of the office
// built as a file (its standard codes and settings, and the sample office
// when one was asked for), so that both engines hold the same rows under the
// same identifiers. Returns the rows copied.
std::int64_t CopySample(PGconn* conn, const std::filesystem::path& path, const OfficeProgressCallback& progress) {
  SqliteReader file(path);
  std::vector<std::pair<std::string, std::int64_t>> work;
  std::int64_t total = 0;
  for (const std::string& table : TablesInLoadOrder(conn)) {
    if (Count(conn, "cannot count " + table, "select count(*) from (select 1 from " + QuoteIdentifier(table) +
                                                 " limit 1) t") > 0)
      continue;
    sqlite3_stmt* raw = nullptr;
    const std::string sql = "select count(*) from " + QuoteIdentifier(table);
    std::int64_t rows = 0;
    if (sqlite3_prepare_v2(file.get(), sql.c_str(), -1, &raw, nullptr) == SQLITE_OK && sqlite3_step(raw) == SQLITE_ROW)
      rows = sqlite3_column_int64(raw, 0);
    sqlite3_finalize(raw);
    if (rows == 0) continue;
    work.emplace_back(table, rows);
    total += rows;
  }
  // A foreign key checks each copied row by itself, a look-up that locks the
  // row it finds: at a million documents a third of the copy. Set aside
  // while the rows go in and put back after, each key checks every row in
  // one join instead; a row without its parent still fails the build, under
  // the key's own name. All of it is one unit of work.
  Result keys = Must(conn, "cannot read the foreign keys",
                     "select conrelid::regclass::text, quote_ident(conname), pg_get_constraintdef(oid) "
                     "from pg_constraint where contype = 'f' and connamespace = 'public'::regnamespace order by oid");
  for (int i = 0; i < PQntuples(keys.get()); ++i) {
    Must(conn, "cannot prepare the copy",
         std::string("alter table ") + PQgetvalue(keys.get(), i, 0) + " drop constraint " + PQgetvalue(keys.get(), i, 1));
  }
  std::int64_t done = 0;
  for (const auto& [table, rows] : work) {
    // The rows were checked by the file's own rules; the link checks would
    // only repeat that, row by row.
    Must(conn, "cannot prepare " + table, "alter table " + QuoteIdentifier(table) + " disable trigger user");
    CopyTable(conn, file.get(), table, done, total, progress);
    Must(conn, "cannot prepare " + table, "alter table " + QuoteIdentifier(table) + " enable trigger user");
  }
  for (int i = 0; i < PQntuples(keys.get()); ++i) {
    Must(conn, "cannot check the copied rows",
         std::string("alter table ") + PQgetvalue(keys.get(), i, 0) + " add constraint " + PQgetvalue(keys.get(), i, 1) +
             " " + PQgetvalue(keys.get(), i, 2));
  }
  return done;
}

// Each identity column continues after the largest identifier copied.
void SetSequences(PGconn* conn) {
  Result result = Must(conn, "cannot read the identity columns",
                       "select c.relname, a.attname from pg_attribute a join pg_class c on c.oid = a.attrelid "
                       "where c.relnamespace = 'public'::regnamespace and c.relkind = 'r' and a.attidentity <> ''");
  for (int i = 0; i < PQntuples(result.get()); ++i) {
    const std::string table = QuoteIdentifier(PQgetvalue(result.get(), i, 0));
    const std::string column = PQgetvalue(result.get(), i, 1);
    Must(conn, "cannot set the identifiers of " + table,
         "select setval(pg_get_serial_sequence($1, $2), coalesce(max(" + QuoteIdentifier(column) + "), 0) + 1, false) "
         "from " + table,
         {table, column});
  }
}

void Report(const OfficeProgressCallback& progress, std::string_view stage, std::int64_t done = 0,
            std::int64_t total = 0) {
  if (progress) progress({stage, done, total});
}

// Loads the whole office into the new database.
OfficeSummary Fill(PGconn* conn, const ServerSources& sources, const OfficeOptions& options,
                           const SampleFile& sample, const OfficeSummary& sampleSummary) {
  const OfficeProgressCallback& progress = options.progress;
  Report(progress, "schema");
  Must(conn, "cannot start the build", "begin");
  RunScript(conn, sources.Require("schema.sql"));
  const std::int64_t version = Count(conn, "cannot read the office's version", "select version from tw_office");
  if (version != postgres::kServerSchemaVersion) {
    throw Failure{OfficeStatus::InvalidSource, "schema.sql gives the office version " + std::to_string(version) +
                                                   "; this library builds version " +
                                                   std::to_string(postgres::kServerSchemaVersion)};
  }
  RunScript(conn, sources.Require("views.sql"));
  RunScript(conn, sources.Require("functions.sql"));
  RunScript(conn, sources.Require("stamps.sql"));
  // The standard codes and settings, and the sample office when one was
  // asked for, are the rows the file builder wrote: they are kept once, in
  // db/sqlite, and copied from there.
  CopySample(conn, sample.path(), progress);
  SetSequences(conn);
  Report(progress, "indexes");
  // Sorting a large table's keys in memory rather than on disk builds its
  // indexes several times faster; the setting lasts for this session only.
  Must(conn, "cannot prepare the indexes", "set maintenance_work_mem = '256MB'");
  RunScript(conn, sources.Require("indexes.sql"));
  Report(progress, "names");
  Must(conn, "cannot write the name fold", NameWordsFunctionSql());
  RunScript(conn, sources.Require("names.sql"));
  std::int64_t loaded = 0;
  for (const SqlFile* file : sources.procedures) {
    RunScript(conn, *file);
    Report(progress, "procedures", ++loaded, static_cast<std::int64_t>(sources.procedures.size()));
  }
  // Last, once every source has made its tables: sp_update_table's lookup
  // and write know the office's tables as they stand now.
  WriteUpdateTableFunctions(conn);
  Must(conn, "cannot finish the build", "commit");
  // Statistics for every table, the name index's among them: without them
  // the planner reads a large table whole where an index would serve.
  Report(progress, "statistics");
  Must(conn, "cannot gather statistics", "analyze");

  OfficeSummary summary = sampleSummary;
  summary.procedures = loaded;
  return summary;
}

// Puts the finished database in place under the office's name. With
// overwrite the old office is renamed aside first, which the server refuses
// while any client is connected to it, and dropped once the new one has
// its name.
void Install(PGconn* maintenance, TemporaryDatabase& built, const std::string& target, bool overwrite) {
  const std::string quotedTarget = QuoteIdentifier(target);
  if (overwrite && DatabaseExists(maintenance, target)) {
    const std::string retired = TemporaryName(target, "old");
    Result aside = Run(maintenance, "alter database " + quotedTarget + " rename to " + QuoteIdentifier(retired));
    if (!Succeeded(aside.get())) {
      if (StateOf(aside.get()) == kObjectInUse) {
        throw Failure{OfficeStatus::InUse, InUseText(target, std::max<std::int64_t>(1, ClientsOf(maintenance, target)))};
      }
      throw Failure{OfficeStatus::DatabaseError,
                    "cannot replace the office database '" + target + "': " + ErrorText(maintenance, aside.get())};
    }
    Result moved = Run(maintenance, "alter database " + QuoteIdentifier(built.name()) + " rename to " + quotedTarget);
    if (!Succeeded(moved.get())) {
      const std::string why = ErrorText(maintenance, moved.get());
      Result(PQexec(maintenance, ("alter database " + QuoteIdentifier(retired) + " rename to " + quotedTarget).c_str()));
      throw Failure{OfficeStatus::DatabaseError, "cannot replace the office database '" + target + "': " + why};
    }
    built.Keep();
    Result dropped = Run(maintenance, "drop database " + QuoteIdentifier(retired));
    if (!Succeeded(dropped.get())) {
      throw Failure{OfficeStatus::DatabaseError, "the new office is in place, but its old database, now named '" +
                                                     retired + "', could not be removed: " +
                                                     ErrorText(maintenance, dropped.get())};
    }
    return;
  }
  Result moved = Run(maintenance, "alter database " + QuoteIdentifier(built.name()) + " rename to " + quotedTarget);
  if (!Succeeded(moved.get())) {
    if (StateOf(moved.get()) == kDuplicateDatabase) {
      throw Failure{OfficeStatus::AlreadyExists, "the office database '" + target + "' already exists"};
    }
    throw Failure{OfficeStatus::DatabaseError,
                  "cannot create the office database '" + target + "': " + ErrorText(maintenance, moved.get())};
  }
  built.Keep();
}

}  // namespace

OfficeResult CreateServerOffice(const ConnectionSettings& office, const OfficeOptions& options) {
  OfficeResult result = detail::RunBuild([&](OfficeSummary& summary) {
    CheckOptions(office, options);
    const ServerSources sources = ReadSources(options);
    const std::string& target = office.database;

    Connection maintenance = Open(office, "postgres");
    RemoveLeftovers(maintenance.get(), target);
    if (DatabaseExists(maintenance.get(), target)) {
      if (!options.overwrite) {
        throw Failure{OfficeStatus::AlreadyExists, "the office database '" + target + "' already exists"};
      }
      // Said before the long build, not after it; the rename at the end is the check that counts.
      if (const std::int64_t clients = ClientsOf(maintenance.get(), target); clients > 0) {
        throw Failure{OfficeStatus::InUse, InUseText(target, clients)};
      }
    }

    // The office's rows are built as a file first (an empty office, or the
    // sample), then copied.
    auto sample = std::make_unique<SampleFile>();
    const OfficeSummary sampleSummary = BuildSampleFile(*sample, options, sources);

    TemporaryDatabase built(maintenance.get(), TemporaryName(target, "init"));
    built.Create();
    {
      Connection conn = Open(office, built.name());
      summary = Fill(conn.get(), sources, options, *sample, sampleSummary);
    }
    sample.reset();
    Report(options.progress, "finishing");
    Install(maintenance.get(), built, target, options.overwrite);
  });
  // A server message could quote what it was given; the password is never passed on.
  if (!office.password.empty()) {
    for (auto at = result.message.find(office.password); at != std::string::npos;
         at = result.message.find(office.password)) {
      result.message.replace(at, office.password.size(), "***");
    }
  }
  return result;
}

}  // namespace tarnwick::office
