// A sample office built once for the tests of one suite.
#pragma once

#include <memory>
#include <string>

#include "documents/support.hpp"
#include "office/support.hpp"

namespace tarnwick::test {

template <int Documents>
class SharedOffice : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = std::make_unique<office_test::TempDir>();
    file_ = dir_->File("office.db");
    const office::OfficeResult made = office_test::MakeOffice(file_, Documents);
    ASSERT_TRUE(made.ok()) << made.message;
  }
  static void TearDownTestSuite() { dir_.reset(); }
  // The first value of the first row, straight from the file.
  static std::string Query(const std::string& sql) { return office_test::Db(file_).Text(sql); }

  static inline std::unique_ptr<office_test::TempDir> dir_;
  static inline std::string file_;
};

}  // namespace tarnwick::test
