// Error reporting of the public methods: ReportError and the handler pattern
// that every reporting method shares.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <type_traits>

#include "tarnwick/error.hpp"

namespace tarnwick::frame {

// Re-raises the pending error with Source appended to its source as
// " (Source)", and its description kept (ReplaceDescription false: the pending
// description followed by Description) or replaced. ErrNumber 0 keeps the
// pending number. With no pending error and ErrNumber 0 it returns at once.
void ReportError(const std::string& Source, const std::string& Description, bool ReplaceDescription,
                 std::int32_t ErrNumber, const RuntimeError* pending);

// Thrown inside a handler-protected method to jump to its handler without a
// pending error, as a gateway error text does in the methods whose error
// text enters the handler. The handler then returns the method's empty result.
struct EnterHandler {};

// What the handler does before reporting.
struct ErrorHandler {
  const char* source;                  // "clsDocument.GetData"
  // Methods that call procedures: ends an open unit of work without commit.
  // The frame knows no gateway; the caller says how.
  std::function<void()> rollback = nullptr;
};

// Turns any failure inside the library into the RuntimeError a client sees.
RuntimeError AsRuntimeError(const std::exception& e);

// Runs body under the handler pattern: a RuntimeError (or any other failure)
// rolls back an open unit of work where asked and is re-raised with the chained
// source; EnterHandler rolls back and returns the empty result (false, 0, "").
template <class Body>
auto Guarded(const ErrorHandler& handler, Body&& body) -> std::invoke_result_t<Body&> {
  using Result = std::invoke_result_t<Body&>;
  auto rollback = [&] {
    if (handler.rollback) handler.rollback();
  };
  try {
    return body();
  } catch (const EnterHandler&) {
    rollback();
    ReportError(handler.source, "", false, 0, nullptr);
  } catch (const RuntimeError& e) {
    rollback();
    ReportError(handler.source, "", false, 0, &e);
  } catch (const std::exception& e) {
    rollback();
    const RuntimeError pending = AsRuntimeError(e);
    ReportError(handler.source, "", false, 0, &pending);
  }
  if constexpr (!std::is_void_v<Result>) return Result{};
}

}  // namespace tarnwick::frame
