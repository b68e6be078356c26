// The office server engine of the data gateway: an office database on a
// PostgreSQL server, answering the library's T-SQL texts (rendered for the
// server, render.hpp) and its procedure calls (the office's procedures are
// server PROCEDUREs of the same names).
//
// Connection. SetConnection connects with libpq (connection.hpp) and checks
// that the database is an office of the schema version this library knows.
// It reads once per connection the office's tables and views with their
// column types (for the renderer), the procedures with their parameters, and
// the OIDs of the types the schema adds (citext, domains).
//
// Procedures. PrepareProcedure names a procedure, AddParameter gives values
// by name ("@name" or "name", any letter case), ExecuteProcedure runs
// `CALL name(param => $n, ...)`, reads the output parameters from the row the
// call returns and, for a procedure that returns rows, fetches the cursor it
// opened into the result set. A parameter not given is Null. rowsAffected is
// -1: the server does not count the rows a procedure changed.
//
// Units of work. BeginTransaction opens a server transaction. Every call
// inside it runs under a savepoint, so a failed call undoes only itself and
// the unit may go on (the first procedure of a unit needs none: when it
// fails, the unit is begun again, as empty as it was); outside one every call is its own transaction. A
// serialization failure or deadlock outside a unit of work is retried a few
// times; inside one it is the call's error text (the unit is the caller's to
// retry).
//
// A client text may only read: the renderer lets it name nothing but the
// office's tables and views and functions that read.
//
// A connection the server drops gives error texts (and RuntimeError from the
// unit-of-work calls) until the next SetConnection.
//
// Thread safety: one gateway per thread; distinct gateways may work on one
// office from distinct threads.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "gateway/postgres/connection.hpp"
#include "gateway/postgres/render.hpp"
#include "gateway/postgres/values.hpp"
#include "gateway/tsql/limits.hpp"
#include "gateway/tsql/translate.hpp"
#include "tarnwick/gateway.hpp"

namespace tarnwick::postgres {

struct ProcedureParameter {
  std::string name;  // as the catalog holds it, lower case
  Oid type = 0;
  bool output = false;  // INOUT or OUT
};

struct ProcedureInfo {
  std::string name;  // as the catalog holds it
  std::vector<ProcedureParameter> parameters;
  bool returnsCursor = false;  // its last parameter is tw_result refcursor
  // The index of a parameter by name (a leading "@" and letter case ignored); -1 when none.
  int IndexOf(std::string_view name) const;
};

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
  // A query text is read from the server a row at a time; an exec text is
  // collected first.
  std::string OpenForwardOnly(const std::string& sql, std::unique_ptr<RowStream>& rows) override;
  std::string LastErrorText() const override { return lastError_; }
  void SetCommandTimeout(std::int32_t seconds) override;

  // The PostgreSQL text a T-SQL query text becomes on this connection; with
  // Rewrites::Skip, without the planning rewrites (for the checks that they
  // keep the same rows).
  std::string Render(const std::string& sql, std::string& out, tsql::Rewrites rewrites = tsql::Rewrites::Apply);

 private:
  struct Call {
    const ProcedureInfo* procedure = nullptr;
    std::vector<Variant> values;  // one per parameter; Empty when not given
  };
  struct Rows {
    std::vector<Column> columns;
    std::vector<std::vector<Variant>> rows;
    bool hasRows = false;
  };
  class Stream;

  // A unit of work left idle this long is ended by the server.
  static constexpr std::int32_t kIdleUnitSeconds = 600;

  void Close();
  std::string ApplyLimits();
  std::string Note(std::string error);
  std::string Load();
  std::string Translate(const std::string& sql, tsql::Translation& out);
  // Runs work as one all-or-nothing step: its own transaction outside a unit
  // of work (retried on a serialization failure or deadlock), a savepoint
  // inside one.
  template <typename Work>
  std::string Atomically(Work&& work);
  std::string RunCall(Call& call, bool keepRows, Rows& rows);
  std::string RunQuery(const std::string& sql, Rows& rows);
  // Reads a CALL's output parameters into call; cursor receives the name of
  // the cursor a row-returning procedure opened.
  void ReadOutputs(const PGresult* r, Call& call, std::string& cursor) const;
  std::string CallUnderSavepoint(const std::string& sql, const std::vector<const char*>& values, Call& call);
  std::string MapArguments(const tsql::Translation& translation, Call& call) const;
  // The server's error for a failed result, noting a lost connection.
  std::string Failure(const PGresult* result);
  std::string Exec(const char* sql);
  bool Lost() const;

  Connection conn_;
  ConnectionSettings settings_;  // conn_'s, to give it back to the pool with
  TypeMap types_;
  OfficeColumns office_;
  std::unordered_map<std::string, ProcedureInfo> procedures_;  // by lower-case name
  std::unordered_map<std::string, tsql::Translation> translations_;
  std::optional<Call> call_;
  bool executed_ = false;
  bool inUnit_ = false;
  // No procedure has run in the open unit of work yet: a failing call can
  // then be undone with the whole (empty) unit, without a savepoint.
  bool unitClean_ = false;
  std::string lastError_;
  std::int32_t limitSeconds_ = tsql::kStatementSeconds;
};

}  // namespace tarnwick::postgres
