// A test suite's own generated sample office of a given size, built once for
// the suite, with objects connected to it and direct reads of its database.
//
// The suite runs on both engines: each test runs once on the embedded file
// and once on the office server (a sample office built there with the same
// rows). The server's runs skip without a configured server, or fail when
// TARNWICK_PG_REQUIRED=1. Instantiate a suite with TW_ON_BOTH_ENGINES(Suite)
// and write its tests with TEST_P.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "office/support.hpp"
#include "support/server_office.hpp"

namespace tarnwick::test {

enum class OfficeEngine { Embedded, Server };

inline std::string OfficeEngineName(const ::testing::TestParamInfo<OfficeEngine>& info) {
  return info.param == OfficeEngine::Embedded ? "Embedded" : "Server";
}

#define TW_ON_BOTH_ENGINES(Suite)                                                                          \
  INSTANTIATE_TEST_SUITE_P(BothEngines, Suite,                                                            \
                           ::testing::Values(::tarnwick::test::OfficeEngine::Embedded,                    \
                                             ::tarnwick::test::OfficeEngine::Server),                     \
                           ::tarnwick::test::OfficeEngineName)

template <std::int64_t Documents>
class SampleOfficeSuite : public ::testing::TestWithParam<OfficeEngine> {
 protected:
  static void SetUpTestSuite() {
    dir_ = std::make_unique<office_test::TempDir>();
    file_ = dir_->File("office.db");
    const office::OfficeResult made = office_test::MakeOffice(file_, Documents);
    if (!made.ok()) throw std::runtime_error("sample office: " + made.message);
    if (!ServerConfigured()) return;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_suite();
    database_ = UniqueDatabaseName(info ? info->name() : "suite");
    office::OfficeOptions options;
    options.sampleDocuments = Documents;
    const office::OfficeResult server = office::CreateServerOffice(ServerSettings(database_), options);
    serverError_ = server.ok() ? "" : server.message;
    if (!server.ok()) database_.clear();
  }
  static void TearDownTestSuite() {
    dir_.reset();
    if (!database_.empty()) DropServerDatabase(database_);
    database_.clear();
  }
  void SetUp() override {
    engine_ = GetParam();
    if (engine_ == OfficeEngine::Server) {
      TW_REQUIRE_SERVER();
      ASSERT_TRUE(serverError_.empty()) << "the sample office could not be built on the server: " << serverError_;
    }
  }

  // A new object of class T connected to the office of the running test's engine.
  template <class T>
  static std::unique_ptr<T> Connected() {
    auto object = std::make_unique<T>();
    const postgres::ConnectionSettings s = ServerSettings(database_);
    const bool ok = engine_ == OfficeEngine::Embedded
                        ? object->ConnectionVariables(file_, "embedded", "", "", false)
                        : object->ConnectionVariables(database_, s.server, s.user, "", true);
    if (!ok) throw std::runtime_error("cannot connect");
    return object;
  }

  // The first value of the first row, straight from the database ("<none>"
  // without rows). The text must read the same on both engines.
  static std::string Query(const std::string& sql) {
    const auto rows = QueryRows(sql);
    return rows.empty() || rows.front().empty() ? "<none>" : rows.front().front();
  }
  static std::vector<std::vector<std::string>> QueryRows(const std::string& sql) {
    if (engine_ == OfficeEngine::Embedded) return office_test::Db(file_).Rows(sql);
    std::string error;
    postgres::Connection conn = postgres::Connect(ServerSettings(database_), error);
    if (!conn) throw std::runtime_error(error);
    return ServerRows(conn.get(), sql);
  }

  static inline std::unique_ptr<office_test::TempDir> dir_;
  static inline std::string file_;
  static inline std::string database_;
  static inline std::string serverError_;
  // The engine of the running test (tests run one at a time).
  static inline OfficeEngine engine_ = OfficeEngine::Embedded;
};

}  // namespace tarnwick::test
