// Eight clerk processes on one office file for a few seconds: every write the
// library acknowledged is in the file exactly once, and every write it could
// not make was refused with an error text, never a crash.
#include <gtest/gtest.h>

#include <string>

#include "clerks.hpp"
#include "office/support.hpp"

namespace tarnwick {
namespace {

TEST(ManyClerks, EveryAcknowledgedWriteIsThereOnce) {
  office_test::TempDir dir;
  const std::string file = dir.File("office.db");
  ASSERT_TRUE(office_test::MakeOffice(file, 20).ok());
  const load::Figures f = load::RunClerks(file, dir.path().string(), 8, 3.0);
  for (const std::string& p : f.problems) ADD_FAILURE() << p;
  EXPECT_GT(f.acknowledged, 8) << "every clerk got some writes done";
  RecordProperty("acknowledged", std::to_string(f.acknowledged));
  RecordProperty("busy", std::to_string(f.busy));
}

}  // namespace
}  // namespace tarnwick
