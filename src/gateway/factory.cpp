// The gateway factory every new object calls, and the default gateway: one
// that picks its database engine when the object hands it the connection
// settings.
#include <exception>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

#include "gateway/postgres/create.hpp"
#include "gateway/sqlite/engine.hpp"
#include "gateway/tsql/limits.hpp"
#include "runtime/text.hpp"
#include "tarnwick/gateway.hpp"

namespace tarnwick {

namespace {

constexpr const char* kNotConnected = "Not connected to a database";

// The engines SetConnection can choose from, by the server argument.
enum class EngineKind { Embedded, Server };

EngineKind EngineFor(std::string_view server) {
  server = runtime::Trim(server);
  if (server.empty()) return EngineKind::Embedded;
  if (runtime::EqualsNoCase(server, "embedded")) return EngineKind::Embedded;
  // Any other name is where the office server listens: a host, host:port
  // or a socket folder.
  return EngineKind::Server;
}

// Delegates to the engine chosen by the last successful SetConnection; until
// then every operation reports that there is no connection.
class SelectingGateway final : public DataGateway {
 public:
  bool InTransaction() override { return engine_ && engine_->InTransaction(); }
  void FinishProcedure() override {
    if (engine_) engine_->FinishProcedure();
  }
  std::string PrepareProcedure(const std::string& name) override {
    return Note(engine_ ? engine_->PrepareProcedure(name) : kNotConnected);
  }
  std::string AddParameter(const std::string& name, const Variant& value) override {
    return Note(engine_ ? engine_->AddParameter(name, value) : kNotConnected);
  }
  std::string GetParameter(const std::string& name, Variant& value) override {
    if (engine_) return Note(engine_->GetParameter(name, value));
    value = Variant::Null();
    return Note(kNotConnected);
  }
  std::string ExecuteProcedure(std::int32_t& rowsAffected, bool returnsRows, std::shared_ptr<Recordset>& result,
                               std::int32_t options) override {
    if (engine_) return Note(engine_->ExecuteProcedure(rowsAffected, returnsRows, result, options));
    rowsAffected = 0;
    return Note(kNotConnected);
  }
  std::string OpenRecordset(const std::string& sql, std::shared_ptr<Recordset>& result, std::int32_t options,
                            bool scrollable) override {
    if (engine_) return Note(engine_->OpenRecordset(sql, result, options, scrollable));
    result = Recordset::Create();
    return Note(kNotConnected);
  }
  std::string OpenForwardOnly(const std::string& sql, std::unique_ptr<RowStream>& rows) override {
    rows.reset();
    return Note(engine_ ? engine_->OpenForwardOnly(sql, rows) : kNotConnected);
  }
  bool SetConnection(const std::string& databaseName, const std::string& server, const std::string& userName,
                     const std::string& password, bool trusted, std::int32_t timeout, const std::string& reserved1,
                     const std::string& reserved2) override {
    // A failed reconnection leaves no connection behind: the object asked
    // for a database it cannot have, and must not go on using another one.
    engine_.reset();
    std::unique_ptr<DataGateway> engine;
    switch (EngineFor(server)) {
      case EngineKind::Embedded: engine = std::make_unique<sqlite::Engine>(); break;
      case EngineKind::Server: engine = postgres::CreateServerEngine(); break;
    }
    engine->SetCommandTimeout(limitSeconds_);
    if (!engine->SetConnection(databaseName, server, userName, password, trusted, timeout, reserved1, reserved2)) {
      lastError_ = engine->LastErrorText();
      return false;
    }
    engine_ = std::move(engine);
    lastError_.clear();
    return true;
  }
  void BeginTransaction() override {
    if (engine_) Noting([&] { engine_->BeginTransaction(); });
  }
  std::string LastErrorText() const override { return lastError_; }
  void SetCommandTimeout(std::int32_t seconds) override {
    limitSeconds_ = seconds;
    if (engine_) engine_->SetCommandTimeout(seconds);
  }
  void EndTransaction(bool commit) override {
    if (engine_) Noting([&] { engine_->EndTransaction(commit); });
  }
  std::string SqlSafeText(const std::string& text) override {
    // Doubling apostrophes is the same for every engine and needs no connection.
    if (engine_) return engine_->SqlSafeText(text);
    return runtime::DoubleApostrophes(text);
  }

 private:
  std::int32_t limitSeconds_ = tsql::kStatementSeconds;

  // Keeps a non-empty error text as the last error; returns it.
  std::string Note(std::string error) {
    if (!error.empty()) lastError_ = error;
    return error;
  }

  // Runs a unit-of-work step, keeping the description of what it raises.
  template <typename Step>
  void Noting(Step&& step) {
    try {
      step();
    } catch (const std::exception& e) {
      lastError_ = e.what();
      throw;
    }
  }

  std::unique_ptr<DataGateway> engine_;
  std::string lastError_;
};

std::mutex& FactoryMutex() {
  static std::mutex mutex;
  return mutex;
}

GatewayFactory& InstalledFactory() {
  static GatewayFactory factory;
  return factory;
}

}  // namespace

GatewayFactory SetGatewayFactory(GatewayFactory factory) {
  std::lock_guard<std::mutex> lock(FactoryMutex());
  return std::exchange(InstalledFactory(), std::move(factory));
}

std::unique_ptr<DataGateway> CreateDefaultGateway() { return std::make_unique<SelectingGateway>(); }

std::unique_ptr<DataGateway> CreateGateway() {
  GatewayFactory factory;
  {
    std::lock_guard<std::mutex> lock(FactoryMutex());
    factory = InstalledFactory();
  }
  // The factory runs outside the lock: it may itself create gateways.
  if (factory) {
    if (auto gateway = factory()) return gateway;
  }
  return CreateDefaultGateway();
}

}  // namespace tarnwick
