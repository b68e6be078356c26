// A gateway that passes every call to the gateway an object would have got,
// for tests that change a few calls (to fail them, count them) and must keep
// every other member, including ones added later, working as the real one.
#pragma once

#include <memory>
#include <string>
#include <utility>

#include "tarnwick/gateway.hpp"

namespace tarnwick::test {

class ForwardingGateway : public DataGateway {
 public:
  explicit ForwardingGateway(std::unique_ptr<DataGateway> inner) : inner_(std::move(inner)) {}

  bool InTransaction() override { return inner_->InTransaction(); }
  void FinishProcedure() override { inner_->FinishProcedure(); }
  std::string PrepareProcedure(const std::string& name) override { return inner_->PrepareProcedure(name); }
  std::string AddParameter(const std::string& name, const Variant& value) override {
    return inner_->AddParameter(name, value);
  }
  std::string GetParameter(const std::string& name, Variant& value) override {
    return inner_->GetParameter(name, value);
  }
  std::string ExecuteProcedure(std::int32_t& rows, bool returnsRows, std::shared_ptr<Recordset>& result,
                               std::int32_t options) override {
    return inner_->ExecuteProcedure(rows, returnsRows, result, options);
  }
  std::string OpenRecordset(const std::string& sql, std::shared_ptr<Recordset>& result, std::int32_t options,
                            bool scrollable) override {
    return inner_->OpenRecordset(sql, result, options, scrollable);
  }
  std::string OpenForwardOnly(const std::string& sql, std::unique_ptr<RowStream>& rows) override {
    return inner_->OpenForwardOnly(sql, rows);
  }
  bool SetConnection(const std::string& db, const std::string& server, const std::string& user,
                     const std::string& pass, bool trusted, std::int32_t timeout, const std::string& r1,
                     const std::string& r2) override {
    return inner_->SetConnection(db, server, user, pass, trusted, timeout, r1, r2);
  }
  void BeginTransaction() override { inner_->BeginTransaction(); }
  void EndTransaction(bool commit) override { inner_->EndTransaction(commit); }
  std::string SqlSafeText(const std::string& text) override { return inner_->SqlSafeText(text); }
  std::string LastErrorText() const override { return inner_->LastErrorText(); }

 private:
  std::unique_ptr<DataGateway> inner_;
};

}  // namespace tarnwick::test
