// The steps of a stored-procedure call that every saving and deleting method
// shares: prepare, add the inputs in order, execute with a fresh local result
// set, and end any unit of work left open on the way out.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tarnwick/gateway.hpp"

namespace tarnwick::cursor {

// One input of a procedure call. A value read from the current row is taken
// when its AddParameter is made, after the procedure was prepared, so a
// failing read happens at the same step as it always has.
struct Parameter {
  Parameter(std::string n, Variant v) : name(std::move(n)), value([v = std::move(v)] { return v; }) {}
  Parameter(std::string n, std::function<Variant()> read) : name(std::move(n)), value(std::move(read)) {}
  std::string name;  // "@Org_id"
  std::function<Variant()> value;
};

// PrepareProcedure, AddParameter for each input (their error texts are
// ignored), then ExecuteProcedure(0, returnsRows, local, 0). Returns the error
// text of PrepareProcedure or ExecuteProcedure, empty on success; with
// returnsRows the rows land in *rows.
std::string RunProcedure(DataGateway& gateway, const std::string& name, const std::vector<Parameter>& inputs,
                         bool returnsRows = false, std::shared_ptr<Recordset>* rows = nullptr);

// A deleting method: nothing happens (true) while the object has no current
// row; otherwise the procedure runs, an error text or a run-time failure goes
// to the method's handler (source), and a unit of work still open is ended
// with commit on success and without it on every way out.
bool DeleteThrough(DataGateway& gateway, bool ready, const std::string& source, const std::string& procedure,
                   const std::vector<Parameter>& inputs);

// The exit step of a procedure-calling method: a unit of work still open is
// ended without commit.
void EndOpenWork(DataGateway& gateway);

}  // namespace tarnwick::cursor
