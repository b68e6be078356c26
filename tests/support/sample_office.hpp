// A test suite's own generated sample office of a given size, built once for
// the suite, with objects connected to it and direct reads of its database.
//
// Engines::Each runs each test once on the embedded file and once on the
// office server (a sample office built there with the same rows): instantiate
// the suite with TW_ON_BOTH_ENGINES(Suite) and write its tests with TEST_P.
// Engines::File and Engines::Server build the office on one engine only, and
// Engines::FileAndServer on both for tests that compare them (TEST_F). Tests
// that need the server skip without a configured server, or fail when
// TARNWICK_PG_REQUIRED=1.
#pragma once

#include <memory>
#include <type_traits>

#include "support/office_files.hpp"
#include "support/raises.hpp"
#include "support/server_office.hpp"
#include "tarnwick/tarnwick.hpp"

namespace tarnwick::test {

enum class OfficeEngine { Embedded, Server };
enum class Engines { Each, File, Server, FileAndServer };

inline std::string OfficeEngineName(const ::testing::TestParamInfo<OfficeEngine>& info) {
  return info.param == OfficeEngine::Embedded ? "Embedded" : "Server";
}

#define TW_ON_BOTH_ENGINES(Suite)                                                                          \
  INSTANTIATE_TEST_SUITE_P(BothEngines, Suite,                                                            \
                           ::testing::Values(::tarnwick::test::OfficeEngine::Embedded,                    \
                                             ::tarnwick::test::OfficeEngine::Server),                     \
                           ::tarnwick::test::OfficeEngineName)

// The document search form's choices, in SetupFilter's order, and the
// condition text the document object builds from them.
struct DocumentSearch {
  std::string docType{}, docName{}, year{}; bool useComm = true; std::string commType{}, name{}, first{}, last{};
  bool useName = false; std::string dateType{}, begin{}, end{}, user{}, nameType{}; bool notLinked = false;
  std::string Filter(clsDocument& d) const {
    return d.SetupFilter(docType, docName, year, useComm, commType, name, first, last, useName, dateType, begin, end,
                         user, nameType, notLinked);
  }
};

// A gateway connected to an office on one engine: the file, or the database
// on the test server (superuser, trusted); throws when it cannot connect.
inline std::unique_ptr<DataGateway> ConnectedGateway(OfficeEngine on, const std::string& file,
                                                     const std::string& database) {
  auto g = CreateDefaultGateway();
  const postgres::ConnectionSettings s = ServerSettings(database);
  const bool ok = on == OfficeEngine::Embedded ? g->SetConnection(file, "embedded", "", "", false, 0, "", "")
                                               : g->SetConnection(database, s.server, s.user, "", true, 5, "", "");
  if (!ok) throw std::runtime_error("cannot connect: " + g->LastErrorText());
  return g;
}

template <std::int64_t Documents, Engines On = Engines::Each>
class SampleOfficeSuite
    : public std::conditional_t<On == Engines::Each, ::testing::TestWithParam<OfficeEngine>, ::testing::Test> {
 protected:
  static constexpr bool kOnFile = On != Engines::Server;
  static constexpr bool kOnServer = On != Engines::File;

  static void SetUpTestSuite() {
    if constexpr (kOnFile) {
      dir_ = std::make_unique<TempDir>();
      file_ = dir_->File("office.db");
      const office::OfficeResult made = MakeOffice(file_, Documents);
      if (!made.ok()) throw std::runtime_error("sample office: " + made.message);
      summary_ = made.summary;
    }
    if (!kOnServer || !ServerConfigured()) return;
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
    if constexpr (On == Engines::Each) {
      engine_ = this->GetParam();
    } else {
      engine_ = On == Engines::Server ? OfficeEngine::Server : OfficeEngine::Embedded;
    }
    if (engine_ == OfficeEngine::Server || On == Engines::FileAndServer) {
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

  // A new connection to the suite's server office (superuser, trusted).
  static postgres::Connection OpenServer() { return ServerConnect(database_); }

  // The first value of the first row, straight from the database ("<none>"
  // without rows). The text must read the same on both engines.
  static std::string Query(const std::string& sql) {
    const auto rows = QueryRows(sql);
    return rows.empty() || rows.front().empty() ? "<none>" : rows.front().front();
  }
  static std::vector<std::vector<std::string>> QueryRows(const std::string& sql) {
    if (engine_ == OfficeEngine::Embedded) return Db(file_).Rows(sql);
    return ServerRows(OpenServer().get(), sql);
  }

  static inline std::unique_ptr<TempDir> dir_;
  static inline std::string file_;
  static inline std::string database_;
  static inline std::string serverError_;
  static inline office::OfficeSummary summary_;  // what building the file reported
  // The engine of the running test (tests run one at a time).
  static inline OfficeEngine engine_ = OfficeEngine::Embedded;
};

}  // namespace tarnwick::test
