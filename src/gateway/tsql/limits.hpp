// The limits both office engines hold a call to, and the texts they refuse a
// value with, so that the file and the server refuse the same things alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tarnwick::tsql {

// How long one statement may run before the engine stops it, unless the
// client sets another limit on its connection (DataGateway::SetCommandTimeout).
inline constexpr std::int32_t kStatementSeconds = 30;
// How long a write waits for a row or file another unit of work holds.
inline constexpr std::int32_t kLockWaitSeconds = 5;
// The largest value (a scanned image) a call may send. The server's own
// limit for one value is 1 GB, and a byte array travels to it as hex text
// of twice its size; this leaves room under it on both engines.
inline constexpr std::size_t kLargestValueBytes = std::size_t{256} << 20;

// "a text holding a NUL character (at 4) cannot be stored": position from 1.
inline std::string NulRefusal(std::size_t at) {
  return "a text holding a NUL character (at " + std::to_string(at + 1) + ") cannot be stored";
}

// Why a value of `bytes` bytes is refused before it is sent.
inline std::string TooLargeRefusal(std::size_t bytes) {
  return "a value of " + std::to_string(bytes) + " bytes is over the office's limit of " +
         std::to_string(kLargestValueBytes) + " bytes for one value";
}

// What an engine adds to the error of a statement it stopped at its limit.
inline std::string TimeLimitNote(std::int32_t seconds) {
  return "stopped at the statement time limit of " + std::to_string(seconds) + " s";
}

}  // namespace tarnwick::tsql
