// Helpers shared by the runtime tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "tarnwick/error.hpp"

namespace tarnwick::testing_support {

// The number of the RuntimeError f throws, or 0 when it throws nothing.
inline std::int32_t ErrorOf(const std::function<void()>& f, std::string* source = nullptr) {
  try {
    f();
  } catch (const RuntimeError& e) {
    if (source) *source = e.Source();
    return e.Number();
  }
  return 0;
}

}  // namespace tarnwick::testing_support
