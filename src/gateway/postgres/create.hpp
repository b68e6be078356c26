// The office server engine as the gateway factory sees it, without libpq's
// headers: an engine not yet connected.
#pragma once

#include <memory>

#include "tarnwick/gateway.hpp"

namespace tarnwick::postgres {

std::unique_ptr<DataGateway> CreateServerEngine();

}  // namespace tarnwick::postgres
