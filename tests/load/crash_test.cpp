// A writing clerk killed with SIGKILL at a random moment, again and again, on
// one office file: after every kill the file passes SQLite's integrity check
// and every document shows either the whole of a save or none of it.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "support/office_files.hpp"
#include "tarnwick/tarnwick.hpp"

namespace tarnwick::test {
namespace {

constexpr int kKills = 100;
constexpr int kDocuments = 6;

// The writer: saves three columns of one of the documents in one unit of
// work, over and over, each time with the next number, and now and then a
// new document with its link. Says "ready" through the pipe once connected.
[[noreturn]] void Writer(const std::string& file, const std::vector<std::int32_t>& ids, std::int32_t org,
                         int ready, std::uint64_t seed) {
  std::mt19937_64 random(seed);
  clsDocument doc;
  clsXrf_Org_Document link;
  if (!doc.ConnectionVariables(file, "embedded", "", "", false) ||
      !link.ConnectionVariables(file, "embedded", "", "", false)) ::_exit(2);
  const char byte = 1;
  if (::write(ready, &byte, 1) != 1) ::_exit(2);
  for (std::int64_t n = static_cast<std::int64_t>(seed % 1000000) * 1000;; ++n) {
    try {
      if (random() % 8 == 0) {
        if (doc.GetData()) {
          doc.Title("crash new " + std::to_string(n));
          if (doc.SaveData() && link.GetData(0)) {
            link.OrgID(std::to_string(org));
            link.DocumentID(std::to_string(doc.UniqueID()));
            link.SaveData();
          }
        }
        continue;
      }
      if (!doc.GetData(ids[random() % ids.size()])) continue;
      const std::string mark = "crash " + std::to_string(n);
      doc.Title(mark);
      doc.NameListed(mark);
      doc.AmountDue(Currency{n * 10000});
      doc.SaveData();
    } catch (const RuntimeError&) {
    }
  }
}

TEST(CrashSafety, KilledWritersNeverLeaveAHalfSaveOrABrokenFile) {
  TempDir dir;
  const std::string file = dir.File("office.db");
  ASSERT_TRUE(MakeOffice(file, 10).ok());
  std::vector<std::int32_t> ids;
  {
    clsDocument doc;
    ASSERT_TRUE(doc.ConnectionVariables(file, "embedded", "", "", false));
    for (int k = 0; k < kDocuments; ++k) {
      ASSERT_TRUE(doc.GetData());
      doc.Title("crash 0");
      doc.NameListed("crash 0");
      doc.AmountDue(Currency{0});
      ASSERT_TRUE(doc.SaveData()) << doc.LastErrorText();
      ids.push_back(doc.UniqueID());
    }
  }
  const std::int32_t org = std::stoi(Db(file).Text("select min(unique_id) from ref_org where unique_id = group_id"));
  std::string idList;
  for (std::int32_t id : ids) idList += (idList.empty() ? "" : ",") + std::to_string(id);

  std::mt19937_64 random(20261206);
  int killedWhileWriting = 0;
  for (int kill = 0; kill < kKills; ++kill) {
    SCOPED_TRACE("kill " + std::to_string(kill));
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ::close(pipeFds[0]);
      Writer(file, ids, org, pipeFds[1], random());
    }
    ::close(pipeFds[1]);
    char byte = 0;
    const bool ready = ::read(pipeFds[0], &byte, 1) == 1;
    ::close(pipeFds[0]);
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 40000));
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the writer stopped by itself: " << status;
    killedWhileWriting += ready ? 1 : 0;

    // Opening the file read-write lets SQLite roll back what the writer left unfinished.
    const Db db(file, true);
    EXPECT_EQ(db.Text("pragma integrity_check"), "ok");
    const auto rows = db.Rows("select title, name_listed, 'crash ' || cast(amount_due as integer) from ref_document "
                              "where unique_id in (" + idList + ")");
    EXPECT_EQ(rows.size(), std::size_t{kDocuments});
    for (const auto& r : rows) EXPECT_TRUE(r[0] == r[1] && r[1] == r[2]) << "half a save: " << r[0] << "|" << r[1] << "|" << r[2];
    if (::testing::Test::HasFailure()) break;
  }
  EXPECT_EQ(killedWhileWriting, kKills) << "every writer was connected and writing when killed";
  EXPECT_EQ(Db(file).Text("select count(*) from pragma_foreign_key_check"), "0");
}

}  // namespace
}  // namespace tarnwick::test
