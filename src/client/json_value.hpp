// The one JSON form of a value of the office, for the client's --format json,
// the service's answers and any other program that hands the office's values on.
#pragma once

#include <nlohmann/json.hpp>

#include "tarnwick/variant.hpp"

namespace tarnwick::client {

// A value in JSON by its kind: Empty and Null (and an object reference to
// nothing) as null; Booleans as true and false; Integer, Long and Double as
// numbers (a whole Double as a whole number, one that is no number as null);
// texts as strings; money as a decimal string with four places ("25.0000",
// "-0.5000"), so that no cent is lost to floating point; dates as ISO 8601
// text, "2004-10-15" at midnight and "2004-10-15T14:30:00" otherwise; bytes
// as base64 text. An object reference is no value and is refused
// (std::invalid_argument).
nlohmann::ordered_json JsonValue(const Variant& value);

}  // namespace tarnwick::client
