// Replacing an office while clients work in it, and what a killed
// `tarnwick init` leaves behind.
#include <unistd.h>

#include <algorithm>
#include <climits>

#include "support/scripted_gateway.hpp"
#include "support/office_files.hpp"

namespace tarnwick::test {
namespace {

office::OfficeResult Replace(const std::string& path) {
  office::OfficeOptions options;
  options.overwrite = true;
  return office::CreateFileOffice(path, options);
}

TEST(ReplacingAnOffice, IsRefusedWhileAClientHasItOpenSoNoSaveIsLost) {
  TempDir dir;
  const std::string file = dir.File("office.db");
  ASSERT_TRUE(MakeOffice(file, 20).ok());

  std::int32_t saved = 0;
  {
    clsDocument doc;
    ASSERT_TRUE(doc.ConnectionVariables(file, "", "", "", false));
    const office::OfficeResult refused = Replace(file);
    EXPECT_EQ(refused.status, office::OfficeStatus::InUse) << refused.message;
    EXPECT_NE(refused.message.find("in use"), std::string::npos) << refused.message;

    // The client goes on working in the office it has, and keeps its work.
    ASSERT_TRUE(doc.GetData());
    doc.Title("Written after the refused replacement");
    ASSERT_TRUE(doc.SaveData()) << doc.LastErrorText();
    saved = doc.UniqueID();
    EXPECT_EQ(Db(file).Int("select count(*) from ref_document"), 21);
  }
  EXPECT_EQ(Db(file).Text("select Title from ref_document where unique_id = " + std::to_string(saved)),
            "Written after the refused replacement");

  // With every client gone the office is replaced, and the new one opens.
  const office::OfficeResult replaced = Replace(file);
  ASSERT_TRUE(replaced.ok()) << replaced.message;
  clsDocument doc;
  ASSERT_TRUE(doc.ConnectionVariables(file, "", "", "", false)) << doc.LastErrorText();
  EXPECT_EQ(Db(file).Int("select count(*) from ref_document"), 0);
}

TEST(ReplacingAnOffice, LeftoversOfAKilledRunAreRemovedAndWorkInProgressIsNot) {
  TempDir dir;
  const std::string file = dir.File("office.db");
  // No process has the largest identifier; the parent of this test is alive.
  const std::string dead = file + ".tarnwick-init-" + std::to_string(INT_MAX) + "-0.tmp";
  const std::string alive = file + ".tarnwick-init-" + std::to_string(::getppid()) + "-3.tmp";
  const std::string other = dir.File("other.db.tarnwick-init-" + std::to_string(INT_MAX) + "-0.tmp");
  for (const std::string& f : {dead, dead + "-journal", alive, other}) std::ofstream(f) << "half an office";

  ASSERT_TRUE(MakeOffice(file, std::nullopt).ok());
  // A running init's file stays, and so does another office's leftover: that run's business.
  auto entries = dir.Entries();
  std::sort(entries.begin(), entries.end());
  const auto name = [](const std::string& path) { return std::filesystem::path(path).filename().string(); };
  EXPECT_EQ(entries, (std::vector<std::string>{"office.db", name(alive), name(other)}));
}

}  // namespace
}  // namespace tarnwick::test
