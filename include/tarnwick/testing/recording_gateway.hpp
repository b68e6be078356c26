// A DataGateway for tests that needs no database: it logs every call with its
// arguments, in order, and answers from a script.
//
//   auto script = std::make_shared<tarnwick::testing::GatewayScript>();
//   tarnwick::testing::ScopedRecordingFactory scope(script);   // new objects get it
//   script->Answer("OpenRecordset", {.result = rows});
//   auto doc = tarnwick::CreateObject("Tarnwick.clsDocument");
//   ... script->Calls() now lists "OpenRecordset(select * from ...)" and so on.
//
// OpenForwardOnly is logged and answered as the OpenRecordset(sql, 0, True)
// it stands for, and walks the result set handed back.
//
// Answers are queued per operation name and used once each, oldest first; an
// operation without a queued answer succeeds (empty error text; OpenRecordset
// and a row-returning ExecuteProcedure give an open, empty result set).
//
// Thread safety: one script serves one test thread.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tarnwick/error.hpp"
#include "tarnwick/gateway.hpp"

namespace tarnwick::testing {

struct GatewayCall {
  std::string op;               // "OpenRecordset", "AddParameter", ...
  std::vector<Variant> args;    // in call order, by-reference outputs left out
  // "op(arg, arg)"; texts as they are, Null as "Null", Empty as "Empty".
  std::string ToString() const;
};

struct GatewayAnswer {
  // Every member has an initializer, so that an answer may name only the
  // members it sets ({.result = rows}) without a missing-initializer warning.
  std::string errorText{};                   // the operation's error text
  std::optional<RuntimeError> raise{};       // thrown instead of answering
  std::shared_ptr<Recordset> result{};       // OpenRecordset / ExecuteProcedure rows
  bool noResult = false;                     // hand back no result set at all
  std::map<std::string, Variant> outputs{};  // ExecuteProcedure: output parameters
  bool connected = true;                     // SetConnection's verdict
};

class GatewayScript {
 public:
  // Queues an answer for the next call of op.
  void Answer(const std::string& op, GatewayAnswer answer);
  // Every call so far, in order, across every gateway of this script.
  const std::vector<GatewayCall>& Calls() const { return calls_; }
  std::vector<std::string> CallTexts() const;
  void ClearCalls() { calls_.clear(); }
  // Whether a unit of work is open; tests may set it to start inside one.
  bool inTransaction = false;
  // How many gateways this script made and how many are still alive.
  int created = 0;
  int alive = 0;

 private:
  friend class RecordingGateway;
  GatewayAnswer Take(const std::string& op);
  std::vector<GatewayCall> calls_;
  std::map<std::string, std::deque<GatewayAnswer>> answers_;
  std::map<std::string, Variant> lastOutputs_;
};

class RecordingGateway : public DataGateway {
 public:
  explicit RecordingGateway(std::shared_ptr<GatewayScript> script);
  ~RecordingGateway() override;
  bool InTransaction() override;
  void FinishProcedure() override;
  std::string PrepareProcedure(const std::string& name) override;
  std::string AddParameter(const std::string& name, const Variant& value) override;
  std::string GetParameter(const std::string& name, Variant& value) override;
  std::string ExecuteProcedure(std::int32_t& rowsAffected, bool returnsRows,
                               std::shared_ptr<Recordset>& result, std::int32_t options) override;
  std::string OpenRecordset(const std::string& sql, std::shared_ptr<Recordset>& result,
                            std::int32_t options, bool scrollable) override;
  bool SetConnection(const std::string& databaseName, const std::string& server,
                     const std::string& userName, const std::string& password, bool trusted,
                     std::int32_t timeout, const std::string& reserved1,
                     const std::string& reserved2) override;
  void BeginTransaction() override;
  void EndTransaction(bool commit) override;
  std::string SqlSafeText(const std::string& text) override;
  // The last scripted error text (or raised description) this gateway gave.
  std::string LastErrorText() const override { return lastError_; }

 private:
  // Logs the call, takes its answer and throws the answer's error if it has one.
  GatewayAnswer Record(const char* op, std::vector<Variant> args);
  std::shared_ptr<GatewayScript> script_;
  std::string lastError_;
};

// Installs a factory making RecordingGateways over script; restores the
// previous factory when it goes out of scope.
class ScopedRecordingFactory {
 public:
  explicit ScopedRecordingFactory(std::shared_ptr<GatewayScript> script);
  ~ScopedRecordingFactory();
  ScopedRecordingFactory(const ScopedRecordingFactory&) = delete;
  ScopedRecordingFactory& operator=(const ScopedRecordingFactory&) = delete;

 private:
  GatewayFactory previous_;
};

}  // namespace tarnwick::testing
