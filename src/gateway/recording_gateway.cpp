// The recording gateway: a DataGateway for tests that logs each call with its
// input arguments and answers from the per-operation queues of its script.
#include "tarnwick/testing/recording_gateway.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/text.hpp"
#include "tarnwick/error.hpp"
#include "tarnwick/gateway.hpp"
#include "tarnwick/recordset.hpp"
#include "tarnwick/variant.hpp"

namespace tarnwick::testing {
namespace {

constexpr std::string_view kSource = "Tarnwick.RecordingGateway";

// The operations of a DataGateway; an answer queued under any other name could
// never be used, which is a mistake in the test that queued it.
constexpr std::array<std::string_view, 11> kOperations = {
    "InTransaction", "FinishProcedure", "PrepareProcedure", "AddParameter",   "GetParameter", "ExecuteProcedure",
    "OpenRecordset", "SetConnection",   "BeginTransaction", "EndTransaction", "SqlSafeText"};

using runtime::EqualsNoCase;

std::string ArgumentText(const Variant& v) {
  switch (v.Type()) {
    case VarType::Null:
      return "Null";
    case VarType::Empty:
      return "Empty";
    case VarType::Bytes:
      // Page images would print as noise; their size is what a test can check.
      return "Bytes(" + std::to_string(v.AsBytes().size()) + ")";
    case VarType::Object:
      return v.IsNothing() ? "Nothing" : "Object";
    default:
      return v.Text();
  }
}

}  // namespace

std::string GatewayCall::ToString() const {
  std::string text = op + "(";
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (i > 0) text += ", ";
    text += ArgumentText(args[i]);
  }
  text += ")";
  return text;
}

void GatewayScript::Answer(const std::string& op, GatewayAnswer answer) {
  if (std::find(kOperations.begin(), kOperations.end(), op) == kOperations.end()) {
    throw RuntimeError(err::kInvalidArgument, std::string(kSource), "No gateway operation is called \"" + op + "\"");
  }
  answers_[op].push_back(std::move(answer));
}

std::vector<std::string> GatewayScript::CallTexts() const {
  std::vector<std::string> texts;
  texts.reserve(calls_.size());
  for (const GatewayCall& call : calls_) texts.push_back(call.ToString());
  return texts;
}

GatewayAnswer GatewayScript::Take(const std::string& op) {
  auto it = answers_.find(op);
  if (it == answers_.end() || it->second.empty()) return GatewayAnswer{};
  GatewayAnswer answer = std::move(it->second.front());
  it->second.pop_front();
  return answer;
}

RecordingGateway::RecordingGateway(std::shared_ptr<GatewayScript> script) : script_(std::move(script)) {
  if (!script_) throw RuntimeError(err::kInvalidArgument, std::string(kSource), "A recording gateway needs a script");
  ++script_->created;
  ++script_->alive;
}

RecordingGateway::~RecordingGateway() { --script_->alive; }

GatewayAnswer RecordingGateway::Record(const char* op, std::vector<Variant> args) {
  script_->calls_.push_back(GatewayCall{op, std::move(args)});
  GatewayAnswer answer = script_->Take(op);
  if (answer.raise) {
    lastError_ = answer.raise->Description();
    throw *answer.raise;
  }
  if (!answer.errorText.empty()) lastError_ = answer.errorText;
  return answer;
}

bool RecordingGateway::InTransaction() {
  Record("InTransaction", {});
  return script_->inTransaction;
}

void RecordingGateway::FinishProcedure() { Record("FinishProcedure", {}); }

std::string RecordingGateway::PrepareProcedure(const std::string& name) {
  return Record("PrepareProcedure", {Variant(name)}).errorText;
}

std::string RecordingGateway::AddParameter(const std::string& name, const Variant& value) {
  return Record("AddParameter", {Variant(name), value}).errorText;
}

std::string RecordingGateway::GetParameter(const std::string& name, Variant& value) {
  GatewayAnswer answer = Record("GetParameter", {Variant(name)});
  // Procedure parameter names are not case-sensitive on the database server.
  value = Variant::Null();
  auto exact = script_->lastOutputs_.find(name);
  if (exact != script_->lastOutputs_.end()) {
    value = exact->second;
  } else {
    for (const auto& [outputName, outputValue] : script_->lastOutputs_) {
      if (EqualsNoCase(outputName, name)) {
        value = outputValue;
        break;
      }
    }
  }
  return answer.errorText;
}

std::string RecordingGateway::ExecuteProcedure(std::int32_t& rowsAffected, bool returnsRows,
                                               std::shared_ptr<Recordset>& result, std::int32_t options) {
  GatewayAnswer answer = Record("ExecuteProcedure", {Variant(rowsAffected), Variant(returnsRows), Variant(options)});
  script_->lastOutputs_ = std::move(answer.outputs);
  if (answer.noResult) {
    result = nullptr;
  } else if (answer.result) {
    result = answer.result;
  } else if (returnsRows && answer.errorText.empty()) {
    result = Recordset::FromRows({}, {});
  }
  // The count of a row-returning call is its number of rows; a scripted call
  // that changes rows reports none.
  rowsAffected = (returnsRows && result && result->State() == ObjectState::Open) ? result->RecordCount() : 0;
  return answer.errorText;
}

std::string RecordingGateway::OpenRecordset(const std::string& sql, std::shared_ptr<Recordset>& result,
                                            std::int32_t options, bool scrollable) {
  GatewayAnswer answer = Record("OpenRecordset", {Variant(sql), Variant(options), Variant(scrollable)});
  if (answer.noResult) {
    result = nullptr;
  } else if (answer.result) {
    result = answer.result;
  } else if (answer.errorText.empty()) {
    result = Recordset::FromRows({}, {});
  } else {
    // As every gateway does: a failed open leaves a closed result set.
    result = Recordset::Create();
  }
  return answer.errorText;
}

bool RecordingGateway::SetConnection(const std::string& databaseName, const std::string& server,
                                     const std::string& userName, const std::string& password, bool trusted,
                                     std::int32_t timeout, const std::string& reserved1, const std::string& reserved2) {
  return Record("SetConnection", {Variant(databaseName), Variant(server), Variant(userName), Variant(password),
                                  Variant(trusted), Variant(timeout), Variant(reserved1), Variant(reserved2)})
      .connected;
}

void RecordingGateway::BeginTransaction() {
  Record("BeginTransaction", {});
  script_->inTransaction = true;
}

void RecordingGateway::EndTransaction(bool commit) {
  Record("EndTransaction", {Variant(commit)});
  script_->inTransaction = false;
}

std::string RecordingGateway::SqlSafeText(const std::string& text) {
  Record("SqlSafeText", {Variant(text)});
  return runtime::DoubleApostrophes(text);
}

ScopedRecordingFactory::ScopedRecordingFactory(std::shared_ptr<GatewayScript> script) {
  if (!script) throw RuntimeError(err::kInvalidArgument, std::string(kSource), "A recording factory needs a script");
  previous_ = SetGatewayFactory([script = std::move(script)]() -> std::unique_ptr<DataGateway> {
    return std::make_unique<RecordingGateway>(script);
  });
}

ScopedRecordingFactory::~ScopedRecordingFactory() { SetGatewayFactory(std::move(previous_)); }

}  // namespace tarnwick::testing
