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

#include "tarnwick/recordset.hpp"
#include "tarnwick/variant.hpp"

namespace tarnwick {

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
  // Why the last failing operation of this gateway failed: the error text it
  // returned, or why SetConnection answered false (naming the database and
  // the engine's cause). Empty until something fails, and again after a
  // successful SetConnection.
  virtual std::string LastErrorText() const { return {}; }
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
