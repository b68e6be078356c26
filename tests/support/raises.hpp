// Expecting run-time errors: what a call that should fail raised, checked by
// its number.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "tarnwick/error.hpp"

namespace tarnwick::test {

// Expects body to throw a RuntimeError with this number; returns it.
template <class Body>
RuntimeError ExpectRaises(std::int32_t number, Body&& body) {
  try {
    body();
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.Number(), number) << e.Source() << ": " << e.Description();
    return e;
  }
  ADD_FAILURE() << "expected run-time error " << number;
  return RuntimeError(0, "", "");
}

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

}  // namespace tarnwick::test
