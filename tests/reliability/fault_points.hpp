// Fault injection for the write tests.
//
// FailingGateway wraps the gateway an object would get and, when armed,
// fails the k-th call that reaches the database (OpenRecordset,
// OpenForwardOnly, PrepareProcedure, ExecuteProcedure with an error text; BeginTransaction and
// EndTransaction(True) with the run-time failure the engine raises).
// AddParameter and GetParameter only hand values to the prepared call in
// memory and fail only for a misnamed parameter, so they are passed through.
//
// FaultyDisk is a SQLite file system over the real one, installed as the
// default for every connection the test opens: when armed it fails the k-th
// read, write, truncate or sync with an I/O error, and it gives every
// connection the same "now", so that two runs of one write store the same
// rows.
//
// StepFaults interrupts SQLite's work at the k-th of its counted steps, in
// the middle of a statement, a procedure or a commit.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>

#include "tarnwick/error.hpp"
#include "support/forwarding_gateway.hpp"
#include "tarnwick/gateway.hpp"

namespace tarnwick::test {

// Counts the calls of the armed kind and says which one is to fail.
struct FaultPlan {
  bool armed = false;
  std::int64_t calls = 0;   // counted since armed
  std::int64_t failAt = 0;  // 1-based; 0 fails none (a counting run)
  std::string failed;       // the operation that was failed, when one was
  bool Fail(const char* op) {
    if (!armed) return false;
    if (++calls != failAt) return false;
    failed = op;
    return true;
  }
  void Arm(std::int64_t k) { *this = FaultPlan{true, 0, k, {}}; }
  void Disarm() { armed = false; }
};

class FailingGateway final : public ForwardingGateway {
 public:
  FailingGateway(std::unique_ptr<DataGateway> inner, FaultPlan& plan)
      : ForwardingGateway(std::move(inner)), plan_(plan) {}
  std::string PrepareProcedure(const std::string& name) override {
    return plan_.Fail("PrepareProcedure") ? kInjected : ForwardingGateway::PrepareProcedure(name);
  }
  std::string ExecuteProcedure(std::int32_t& rows, bool returnsRows, std::shared_ptr<Recordset>& result,
                               std::int32_t options) override {
    return plan_.Fail("ExecuteProcedure") ? kInjected
                                          : ForwardingGateway::ExecuteProcedure(rows, returnsRows, result, options);
  }
  std::string OpenRecordset(const std::string& sql, std::shared_ptr<Recordset>& result, std::int32_t options,
                            bool scrollable) override {
    if (!plan_.Fail("OpenRecordset")) return ForwardingGateway::OpenRecordset(sql, result, options, scrollable);
    result = Recordset::Create();
    return kInjected;
  }
  std::string OpenForwardOnly(const std::string& sql, std::unique_ptr<RowStream>& rows) override {
    if (!plan_.Fail("OpenForwardOnly")) return ForwardingGateway::OpenForwardOnly(sql, rows);
    rows.reset();
    return kInjected;
  }
  void BeginTransaction() override {
    if (plan_.Fail("BeginTransaction")) throw RuntimeError(kFailure, "DataGateway.BeginTransaction", kInjected);
    ForwardingGateway::BeginTransaction();
  }
  void EndTransaction(bool commit) override {
    // A rollback is what a failure leads to; it is not itself failed.
    if (commit && plan_.Fail("EndTransaction")) throw RuntimeError(kFailure, "DataGateway.EndTransaction", kInjected);
    ForwardingGateway::EndTransaction(commit);
  }

  static constexpr const char* kInjected = "injected failure";
  static constexpr std::int32_t kFailure = -2147467259;

 private:
  FaultPlan& plan_;
};

// The file system of the test process; Install makes it every connection's default.
FaultPlan& DiskFaults();
void InstallFaultyDisk();

// Steps of SQLite's virtual machine, counted every kStepsPerPoint
// instructions on every engine opened after Install; the counted point
// that is to fail interrupts the statement running there.
inline constexpr int kStepsPerPoint = 16;
FaultPlan& StepFaults();
void InstallStepFaults();

}  // namespace tarnwick::test
