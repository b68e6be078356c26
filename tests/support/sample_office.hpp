// A test suite's own generated sample office of a given size, built once for
// the suite, with objects connected to it and direct reads of the file.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "office/support.hpp"

namespace tarnwick::test {

template <std::int64_t Documents>
class SampleOfficeSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = std::make_unique<office_test::TempDir>();
    file_ = dir_->File("office.db");
    const sqlite::OfficeResult made = office_test::MakeOffice(file_, Documents);
    if (!made.ok()) throw std::runtime_error("sample office: " + made.message);
  }
  static void TearDownTestSuite() { dir_.reset(); }

  // A new object of class T connected to the office.
  template <class T>
  static std::unique_ptr<T> Connected() {
    auto object = std::make_unique<T>();
    if (!object->ConnectionVariables(file_, "embedded", "", "", false)) throw std::runtime_error("cannot connect");
    return object;
  }

  // The first value of the first row, straight from the file ("<none>" without rows).
  static std::string Query(const std::string& sql) { return office_test::Db(file_).Text(sql); }
  static std::vector<std::vector<std::string>> QueryRows(const std::string& sql) {
    return office_test::Db(file_).Rows(sql);
  }

  static inline std::unique_ptr<office_test::TempDir> dir_;
  static inline std::string file_;
};

}  // namespace tarnwick::test
