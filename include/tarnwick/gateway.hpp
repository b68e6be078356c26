// DataGateway: the data-access component every data object creates and owns.
// It runs SQL text and stored procedures and hands back result sets.
//
// An error text is the std::string result: empty means success, anything else
// sends the caller down its failure path. A gateway may also throw
// RuntimeError, which the calling method treats as a run-time failure.
//
// Thread safety: a gateway belongs to the object that created it and is used
// on that object's thread only. Distinct gateways may work on one database
// from distinct threads.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tarnwick/recordset.hpp"
#include "tarnwick/variant.hpp"

namespace tarnwick {

// A forward-only pass over the rows of one query, for readers that need each
// row once, in order (the exports): only the current row is held, so a result
// of any length takes the memory of one row. Values are the Variants a result
// set would hold for the same rows, with one difference of kind but not of
// text: in a column computed by an expression, a whole number stays a Long
// where a result set mixing whole and fractional numbers makes it a Double.
class RowStream {
 public:
  virtual ~RowStream() = default;
  // The result's columns, known before the first row. A text that returned no
  // result at all (a command) raises 3704, as its closed result set would.
  virtual const std::vector<Column>& Columns() = 0;
  // Moves to the next row: true when there is one, false at the end (and on
  // every call after). A failure while reading raises RuntimeError.
  virtual bool Next() = 0;
  // The current row, one value per column. REQUIRES: the last Next() was true.
  virtual const std::vector<Variant>& Row() const = 0;
};

class DataGateway {
 public:
  virtual ~DataGateway() = default;
  // True while a unit of work is open.
  virtual bool InTransaction() = 0;
  // Called after a save procedure ran without error; drops the prepared call.
  virtual void FinishProcedure() = 0;
  // Starts a procedure call; parameters follow with AddParameter.
  virtual std::string PrepareProcedure(const std::string& name) = 0;
  virtual std::string AddParameter(const std::string& name, const Variant& value) = 0;
  // REQUIRES: ExecuteProcedure ran. value receives the output parameter (may be Null).
  virtual std::string GetParameter(const std::string& name, Variant& value) = 0;
  // Runs the prepared procedure. With returnsRows, result receives its rows.
  virtual std::string ExecuteProcedure(std::int32_t& rowsAffected, bool returnsRows,
                                       std::shared_ptr<Recordset>& result, std::int32_t options) = 0;
  // On success result is open on its first row. On failure result is a new,
  // closed result set, so that no earlier rows stand in for the failed
  // query's answer.
  virtual std::string OpenRecordset(const std::string& sql, std::shared_ptr<Recordset>& result,
                                    std::int32_t options, bool scrollable) = 0;
  // Opens (or checks) the connection; false when the database cannot be used.
  virtual bool SetConnection(const std::string& databaseName, const std::string& server,
                             const std::string& userName, const std::string& password,
                             bool trusted, std::int32_t timeout, const std::string& reserved1,
                             const std::string& reserved2) = 0;
  virtual void BeginTransaction() = 0;
  virtual void EndTransaction(bool commit) = 0;
  // The text made safe between apostrophes in a SQL literal.
  virtual std::string SqlSafeText(const std::string& text) = 0;
  // Runs sql as OpenRecordset(sql, result, 0, true) does and hands back its
  // rows one at a time. The base version opens the result set and walks it;
  // a gateway that can read rows as the database produces them overrides it.
  // An error text (and no stream) when the text fails; on success rows may
  // still be empty when the gateway handed back no result set. The stream is
  // released before the gateway, and no other call is made on the gateway
  // while it is open.
  virtual std::string OpenForwardOnly(const std::string& sql, std::unique_ptr<RowStream>& rows);
  // Why the last failing operation of this gateway failed: the error text it
  // returned, or why SetConnection answered false (naming the database and
  // the engine's cause). Empty until something fails, and again after a
  // successful SetConnection.
  virtual std::string LastErrorText() const { return {}; }
  // The longest one statement may run on this connection before the engine
  // stops it and the call fails with an error text naming the limit; 0 or
  // less: no limit. A new connection has 30 s. Takes effect from the next
  // call (on the office server, at once when connected, else on connecting).
  // A gateway without a database of its own (a test's script) ignores it.
  virtual void SetCommandTimeout(std::int32_t seconds) { (void)seconds; }
};

using GatewayFactory = std::function<std::unique_ptr<DataGateway>()>;

// Installs the factory every new object calls once, at creation. Returns the
// previous one; an empty factory restores the default.
GatewayFactory SetGatewayFactory(GatewayFactory factory);

// The engine-selecting gateway, not yet connected. SetConnection with server
// "" or "embedded" opens the embedded database file named by databaseName.
std::unique_ptr<DataGateway> CreateDefaultGateway();

// The gateway a new object gets: the installed factory's, or the default.
std::unique_ptr<DataGateway> CreateGateway();

}  // namespace tarnwick
