// Raising the runtime's own errors and the result set's errors with the
// numbers, sources and messages clients of the filing office expect.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tarnwick/variant.hpp"

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

// What the error of a column value that cannot be stored says, naming the
// column and the value: "DueDate: '02/30/2004' is not a date". wanted is the
// kind of value the column holds, number the conversion error raised (6 says
// the value is out of the column's range). Long values are cut short.
std::string RefusedValue(std::string_view column, const Variant& value, VarType wanted, std::int32_t number);

// True for the numbers of the conversion errors (13, 6, 94): a value of the
// wrong kind or out of range, as opposed to a cursor or object error.
bool IsConversionError(std::int32_t number);

}  // namespace tarnwick::runtime
