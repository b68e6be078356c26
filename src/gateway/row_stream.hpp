// The base forward-only stream: a result set walked row by row.
#pragma once

#include <memory>

#include "tarnwick/gateway.hpp"

namespace tarnwick {

// A stream over rs from its current row on; nullptr when rs is.
std::unique_ptr<RowStream> StreamOverRecordset(std::shared_ptr<Recordset> rs);

}  // namespace tarnwick
