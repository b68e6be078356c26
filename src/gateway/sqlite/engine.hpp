// The embedded engine of the data gateway: the office database in one SQLite
// file, answering the library's T-SQL texts (through the T-SQL front end) and
// its stored-procedure calls (through the procedure catalog in the file and
// the built-in general procedures).
//
// Connection. SetConnection opens an existing file read-write and never
// creates one; the file must carry the office's application id and schema
// version (catalog.hpp). It sets WAL journalling and a busy timeout of 5 s so
// that several gateways, in this process or others, can share the file.
// LastError tells why the last SetConnection or operation failed.
//
// Units of work. BeginTransaction takes the write lock at once (BEGIN
// IMMEDIATE). A procedure called outside a unit of work runs in its own
// transaction; inside one it is undone by itself when it fails, leaving the
// earlier work of the unit for the caller to keep or abandon.
//
// Kept between calls (engine_cache.hpp): compiled statements, parsed catalog
// procedures, table layouts and T-SQL translations, all per connection and
// dropped when it closes.
//
// Thread safety: one gateway per thread; distinct gateways may work on one
// file from distinct threads.
#pragma once

#include <sqlite3.h>
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "gateway/tsql/limits.hpp"
#include "gateway/sqlite/engine_cache.hpp"
#include "gateway/sqlite/procedure.hpp"
#include "gateway/tsql/rewrite.hpp"
#include "gateway/tsql/translate.hpp"
#include "tarnwick/gateway.hpp"

namespace tarnwick::sqlite {

class Engine final : public DataGateway {
 public:
  Engine();
  ~Engine() override;
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  bool InTransaction() override;
  void FinishProcedure() override;
  std::string PrepareProcedure(const std::string& name) override;
  std::string AddParameter(const std::string& name, const Variant& value) override;
  std::string GetParameter(const std::string& name, Variant& value) override;
  std::string ExecuteProcedure(std::int32_t& rowsAffected, bool returnsRows, std::shared_ptr<Recordset>& result,
                               std::int32_t options) override;
  std::string OpenRecordset(const std::string& sql, std::shared_ptr<Recordset>& result, std::int32_t options,
                            bool scrollable) override;
  bool SetConnection(const std::string& databaseName, const std::string& server, const std::string& userName,
                     const std::string& password, bool trusted, std::int32_t timeout,
                     const std::string& reserved1, const std::string& reserved2) override;
  void BeginTransaction() override;
  void EndTransaction(bool commit) override;
  std::string SqlSafeText(const std::string& text) override;
  // A single select (a text, or a catalog procedure of one select) is read
  // from the database a row at a time; anything else is collected first.
  std::string OpenForwardOnly(const std::string& sql, std::unique_ptr<RowStream>& rows) override;

  // Opens the office database file; the same as SetConnection with the
  // embedded server. False (with LastError set) when it cannot be used.
  bool Open(const std::string& path);
  // Why the last SetConnection/Open or the last failing operation since
  // failed; empty after a successful SetConnection/Open.
  const std::string& LastError() const { return lastError_; }
  std::string LastErrorText() const override { return lastError_; }
  void SetCommandTimeout(std::int32_t seconds) override;
  bool Connected() const { return db_ != nullptr; }

 private:
  std::int32_t limitSeconds_ = tsql::kStatementSeconds;
  void Close();
  // Keeps a non-empty error text as the last error; returns it.
  std::string Note(std::string error);
  std::string Prepare(const std::string& name);
  std::string Execute(std::int32_t& rowsAffected, bool returnsRows, std::shared_ptr<Recordset>& result);
  std::string Query(const std::string& sql, std::shared_ptr<Recordset>& result);
  // Runs work as one all-or-nothing step: in its own transaction outside a
  // unit of work (taking the write lock at once unless it only reads), under
  // a savepoint inside one.
  template <typename Work>
  std::string Atomically(const std::string& what, bool readsOnly, Work&& work);
  std::string Run(engine_detail::ProcedureCall& call, bool keepRows, engine_detail::StatementResults& results,
                  std::int64_t& changes);

  // Gives the call's parameters the values of an exec text's arguments
  // (positional, then by name). Returns an error text, empty on success.
  static std::string MapArguments(tsql::Translation& translation, engine_detail::ProcedureCall& call);
  // Runs one of the engine's own statements ("COMMIT"); an error text, empty on success.
  std::string Exec(const char* sql);
  // The translation of a T-SQL text, from the kept ones when it was seen before.
  std::string Translate(const std::string& sql, tsql::Translation& out);

  sqlite3* db_ = nullptr;
  std::unique_ptr<engine_detail::Session> session_;  // while connected
  // The file as opened: the path named, and the device and inode it was then.
  std::string path_;
  dev_t device_ = 0;
  ino_t inode_ = 0;
  engine_detail::LruMap<tsql::Translation> translations_{kTranslationsKept};
  // The columns of the office's tables, as the translations' rewrites ask for them.
  tsql::ColumnLookup columns_;
  static constexpr std::size_t kTranslationsKept = 128;
  // Longer texts are translated every time rather than kept.
  static constexpr std::size_t kLongestKeptText = 16 * 1024;
  std::string lastError_;
  std::optional<engine_detail::ProcedureCall> call_;
  bool executed_ = false;
};

}  // namespace tarnwick::sqlite
