// The office's system settings: the code table lks_system_info, one row per
// setting with its Code and its value in Description.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "tarnwick/gateway.hpp"

namespace tarnwick::cursor {

// One setting a class keeps: its code and where its value goes.
struct SystemSetting {
  std::string_view code;  // "PATH_TIF"
  std::string* value;
};

// Reads every row of lks_system_info through a result set of its own and,
// for each row whose Code equals one of the settings' codes exactly (letter
// case and trailing blanks count; a Null code matches nothing), stores the
// row's Description as text. Every row is read, so when a code occurs twice
// the later row wins; a code on no row leaves its value as it was. A gateway
// error text changes nothing and is not reported. A run-time failure (a Null
// Description on a matching row, a missing column) is thrown, with the values
// of the rows before it already stored.
void ReadSystemSettings(DataGateway& gateway, std::span<const SystemSetting> settings);

}  // namespace tarnwick::cursor
