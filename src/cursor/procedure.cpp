// The shared steps of a stored-procedure call: prepare, add the inputs, run,
// and end a unit of work left open (see procedure.hpp).
#include "cursor/procedure.hpp"

#include "frame/report_error.hpp"

namespace tarnwick::cursor {

std::string RunProcedure(DataGateway& gateway, const std::string& name, const std::vector<Parameter>& inputs,
                         bool returnsRows, std::shared_ptr<Recordset>* rows) {
  std::string errorText = gateway.PrepareProcedure(name);
  if (!errorText.empty()) return errorText;
  for (const Parameter& p : inputs) gateway.AddParameter(p.name, p.value());
  std::shared_ptr<Recordset> local;
  std::int32_t rowsAffected = 0;
  errorText = gateway.ExecuteProcedure(rowsAffected, returnsRows, local, 0);
  if (rows != nullptr) *rows = std::move(local);
  return errorText;
}

bool DeleteThrough(DataGateway& gateway, bool ready, const std::string& source, const std::string& procedure,
                   const std::vector<Parameter>& inputs) {
  const bool result = frame::Guarded({source.c_str(), [&gateway] { EndOpenWork(gateway); }}, [&] {
    if (!ready) return true;
    if (!RunProcedure(gateway, procedure, inputs).empty()) throw frame::EnterHandler{};
    if (gateway.InTransaction()) gateway.EndTransaction(true);
    return true;
  });
  EndOpenWork(gateway);
  return result;
}

void EndOpenWork(DataGateway& gateway) {
  if (gateway.InTransaction()) gateway.EndTransaction(false);
}

}  // namespace tarnwick::cursor
