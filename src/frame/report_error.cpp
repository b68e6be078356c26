// ReportError: chains the source of a pending run-time error and re-raises
// it, and turns other failures into run-time errors (see report_error.hpp).
#include "frame/report_error.hpp"

#include <new>

namespace tarnwick::frame {

void ReportError(const std::string& Source, const std::string& Description, bool ReplaceDescription,
                 std::int32_t ErrNumber, const RuntimeError* pending) {
  const std::int32_t number = ErrNumber != 0 ? ErrNumber : (pending != nullptr ? pending->Number() : 0);
  if (number == 0) return;
  const std::string pendingSource = pending != nullptr ? pending->Source() : std::string();
  const std::string pendingDescription = pending != nullptr ? pending->Description() : std::string();
  std::string source = pendingSource + " (" + Source + ")";
  std::string description = ReplaceDescription ? Description : pendingDescription + Description;
  throw RuntimeError(number, std::move(source), std::move(description),
                     pending != nullptr ? pending->HelpFile() : std::string(),
                     pending != nullptr ? pending->HelpContext() : 0);
}

RuntimeError AsRuntimeError(const std::exception& e) {
  if (const auto* runtime = dynamic_cast<const RuntimeError*>(&e)) return *runtime;
  if (dynamic_cast<const std::bad_alloc*>(&e) != nullptr) return RuntimeError(7, "Tarnwick", "Out of memory");
  return RuntimeError(51, "Tarnwick", std::string("Internal error: ") + e.what());
}

}  // namespace tarnwick::frame
