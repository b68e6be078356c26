// Helpers for the frame and cursor tests: result sets and a scripted gateway.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tarnwick/tarnwick.hpp"
#include "tarnwick/testing/recording_gateway.hpp"

namespace tarnwick::test {

inline std::shared_ptr<Recordset> LinkRows(std::vector<std::pair<std::int32_t, std::int32_t>> links) {
  std::vector<std::vector<Variant>> rows;
  for (auto [org, doc] : links) rows.push_back({Variant(org), Variant(doc)});
  return Recordset::FromRows({{"org_id", DataType::Integer}, {"document_id", DataType::Integer}}, std::move(rows));
}

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

struct Scripted : ::testing::Test {
  std::shared_ptr<testing::GatewayScript> script = std::make_shared<testing::GatewayScript>();
  testing::ScopedRecordingFactory factory{script};
};

}  // namespace tarnwick::test
