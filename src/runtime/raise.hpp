// Raising the runtime's own errors and the result set's errors with the
// numbers, sources and messages clients of the filing office expect.
#pragma once

#include <cstdint>
#include <string_view>

namespace tarnwick::runtime {

// The source the runtime gives its own conversion errors: the project name.
inline constexpr std::string_view kProjectSource = "Tarnwick";
inline constexpr std::string_view kRecordsetSource = "ADODB.Recordset";
inline constexpr std::string_view kFieldsSource = "ADODB.Fields";
inline constexpr std::string_view kFieldSource = "ADODB.Field";

// The standard English message for a runtime or result-set error number
// ("Overflow", "Type mismatch", ...); "Application-defined or object-defined
// error" for numbers without one.
std::string_view StandardMessage(std::int32_t number);

// Throws RuntimeError(number, "Tarnwick", StandardMessage(number)).
[[noreturn]] void Raise(std::int32_t number);
// Throws RuntimeError(number, source, StandardMessage(number)).
[[noreturn]] void Raise(std::int32_t number, std::string_view source);

}  // namespace tarnwick::runtime
