// Replacing an office while clients work in it, what a killed `tarnwick init`
// leaves behind, and the client's words for the mistakes a user makes.
#include <unistd.h>

#include <climits>
#include <fstream>
#include <string>

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
  const auto entries = dir.Entries();
  auto has = [&](const std::string& path) {
    return std::find(entries.begin(), entries.end(), std::filesystem::path(path).filename().string()) !=
           entries.end();
  };
  EXPECT_FALSE(has(dead));
  EXPECT_FALSE(has(dead + "-journal"));
  EXPECT_TRUE(has(alive)) << "a running init's file";
  EXPECT_TRUE(has(other)) << "another office's leftover is that run's business";
}


TEST(ClientMessages, NameTheMistakeTheUserMade) {
  TempDir dir;
  const CliRun unknown = Tarnwick("frobnicate");
  EXPECT_EQ(unknown.code, 2);
  EXPECT_NE(unknown.out.find("'frobnicate' is not a command"), std::string::npos) << unknown.out;

  const CliRun letters = Tarnwick("init '" + dir.File("a.db") + "' --sample abc");
  EXPECT_EQ(letters.code, 2);
  EXPECT_NE(letters.out.find("whole number"), std::string::npos) << letters.out;
  EXPECT_EQ(letters.out.find("range"), std::string::npos) << letters.out;

  std::ofstream(dir.File("plain")) << "x";
  const CliRun underFile = Tarnwick("init '" + dir.File("plain") + "/a.db'");
  EXPECT_EQ(underFile.code, 2);
  EXPECT_NE(underFile.out.find("is a file, not a folder"), std::string::npos) << underFile.out;

  // Replacing an office a client has open is refused with its own exit code.
  const std::string file = dir.File("office.db");
  ASSERT_TRUE(MakeOffice(file, 5).ok());
  clsDocument client;
  ASSERT_TRUE(client.ConnectionVariables(file, "", "", "", false));
  const CliRun busy = Tarnwick("init '" + file + "' --force");
  EXPECT_EQ(busy.code, 5) << busy.out;
  EXPECT_NE(busy.out.find("in use"), std::string::npos) << busy.out;
}

}  // namespace
}  // namespace tarnwick::test
