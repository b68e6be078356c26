// Helpers for the frame and cursor tests: link rows and a fixture whose
// gateway answers from a script instead of a database.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tarnwick/tarnwick.hpp"
#include "support/raises.hpp"
#include "tarnwick/testing/recording_gateway.hpp"

namespace tarnwick::test {

inline std::shared_ptr<Recordset> LinkRows(std::vector<std::pair<std::int32_t, std::int32_t>> links) {
  std::vector<std::vector<Variant>> rows;
  for (auto [org, doc] : links) rows.push_back({Variant(org), Variant(doc)});
  return Recordset::FromRows({{"org_id", DataType::Integer}, {"document_id", DataType::Integer}}, std::move(rows));
}

struct Scripted : ::testing::Test {
  std::shared_ptr<testing::GatewayScript> script = std::make_shared<testing::GatewayScript>();
  testing::ScopedRecordingFactory factory{script};
};

}  // namespace tarnwick::test
