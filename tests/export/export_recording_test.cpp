// The export object against a scripted gateway: the query texts, the file
// format, and every way an export can fail without leaving a file behind.
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>

#include "export/text_file.hpp"
#include "runtime/replacing_file.hpp"
#include "support/office_files.hpp"
#include "support/scripted_gateway.hpp"

namespace tarnwick::test {
namespace {

class Exports : public Scripted {
 protected:
  TempDir dir;
  std::string file = dir.File("reports.csv");
  clsDocReportExport exporter;

  bool Filed(const std::string& path) { return exporter.CreateFile("", "", "", "", "", "", "", path, ""); }
  void ExpectUntouched() {
    EXPECT_EQ(ReadFile(file), "earlier export\r\n");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"reports.csv"}) << "no temporary file stays behind";
  }
};

TEST_F(Exports, QueriesCarryTheArgumentsQuotedAndSafe) {
  EXPECT_TRUE(exporter.CreateFile("CAN", "2004", "Q1", "4/15/2004", "LATE", "1/1/2004", "3/31/2004", file, "O'Brien's"));
  EXPECT_EQ(Calls().back(),
            "OpenRecordset(Exec sp_misc_reports_filed_lists 'CAN', '2004', 'Q1', '4/15/2004', 'LATE', '1/1/2004', "
            "'3/31/2004', 'O''Brien''s', 0, True)");
  EXPECT_TRUE(exporter.CreateFileCorrExport("PAC", "COR", "x'); drop table ref_document; --", "2005-01-31", "1/1/2005", file));
  EXPECT_EQ(Calls().back(),
            "OpenRecordset(Exec sp_misc_data_list_export 'PAC', 'COR', 'x''); drop table ref_document; --', "
            "'2005-01-31', '1/1/2005', 0, True)");
}

TEST_F(Exports, EveryValueIsQuotedAsItsPlainText) {
  using enum DataType;
  script->Answer("OpenRecordset",
                 {.result = Recordset::FromRows(
                      {{"a", Integer}, {"b", VarChar}, {"when", DBTimeStamp}, {"amount", Currency}, {"ok", Boolean}},
                      {{std::int32_t{1}, "x", tarnwick::Date{38415.0}, tarnwick::Currency{12500}, true},
                       {Variant::Null(), "y", Variant::Null(), Variant::Null(), false},
                       {std::int32_t{-3}, "say \"hi\", then\r\nleave", tarnwick::Date{38415.75}, tarnwick::Currency{-5}, Variant::Null()},
                       {std::int32_t{4}, "Zoë Ångström – €", Variant::Null(), Variant::Null(), Variant::Null()}})});
  ASSERT_TRUE(Filed(file));
  EXPECT_EQ(ReadFile(file),
            "\"a\",\"b\",\"when\",\"amount\",\"ok\"\r\n"
            "\"1\",\"x\",\"3/4/2005\",\"1.25\",\"True\"\r\n"
            "\"\",\"y\",\"\",\"\",\"False\"\r\n"
            "\"-3\",\"say \"hi\", then\r\nleave\",\"3/4/2005 6:00:00 PM\",\"-0.0005\",\"\"\r\n"
            "\"4\",\"Zoë Ångström – €\",\"\",\"\",\"\"\r\n");
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"reports.csv"}) << "no temporary file stays behind";
}

TEST_F(Exports, FailuresReturnFalseAndLeaveNoFile) {
  WriteFile(file, "earlier export\r\n");
  std::vector<Column> wide;
  for (int i = 0; i < 32768; ++i) wide.push_back({"c" + std::to_string(i), DataType::VarChar});
  const testing::GatewayAnswer answers[] = {
      {.errorText = "timeout"}, {.noResult = true},
      {.result = Recordset::Create()},                // a closed set: a command, no rows
      {.result = Recordset::FromRows(wide, {})},      // more columns than a 16-bit counter holds
  };
  for (const auto& answer : answers) {
    script->Answer("OpenRecordset", answer);
    EXPECT_FALSE(Filed(file));
    ExpectUntouched();
  }
  // Paths that cannot be written: a missing folder, a folder, a file used as a folder, odd names.
  for (const std::string& path : {dir.File("missing/reports.csv"), dir.path().string(), file + "/x.csv",
                                  std::string(""), dir.File("trailing/")}) {
    EXPECT_FALSE(Filed(path)) << path;
  }
  ExpectUntouched();
  EXPECT_TRUE(Filed(dir.File("odd name, with 'quotes' & ünïcode.csv")));
}

// The target is replaced, not rewritten: an existing file keeps its
// permission bits, a link is written through to the file it names, and names
// up to the folder's limit are written (the temporary name is short whatever
// the target's); a longer one is refused naming the cause.
TEST_F(Exports, TheTargetKeepsItsModeAndItsLinkAndMayHaveALongName) {
  namespace fs = std::filesystem;
  WriteFile(file, "earlier export\r\n");
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
  TempDir elsewhere;
  const std::string linked = elsewhere.File("real.csv"), longName = std::string(246, 'n') + ".csv";
  WriteFile(linked, "earlier export\r\n");
  fs::create_symlink(linked, dir.File("link.csv"));
  for (const std::string& path : {file, dir.File(longName), dir.File("link.csv")}) EXPECT_TRUE(Filed(path)) << path;
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_TRUE(fs::is_symlink(dir.File("link.csv")));
  EXPECT_NE(ReadFile(linked), "earlier export\r\n");
  const std::string tooLong = dir.File(std::string(256, 'n'));
  const RuntimeError refused = ExpectRaises(75, [&] { runtime::ReplacingFile out(tooLong); });
  EXPECT_NE(refused.Description().find("'" + tooLong + "': File name too long"), std::string::npos) << refused.Description();
  std::vector<std::string> entries = dir.Entries();
  std::sort(entries.begin(), entries.end());
  EXPECT_EQ(entries, (std::vector<std::string>{"link.csv", longName, "reports.csv"})) << "no temporary file stays behind";
}

// A full disk is told apart from other write failures (61, not the device
// error 57): a child process fills a small file system mounted in a mount
// namespace of its own, and exits with the number the writer raised (201 when
// a temporary file stayed behind).
TEST(ExportFile, AFullDiskIsReportedAsDiskFull) {
  TempDir dir;
  const std::string folder = dir.path().string();
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::unshare(CLONE_NEWNS) != 0 && ::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) ::_exit(200);
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tarnwick-test", folder.c_str(), "tmpfs", 0, "size=64k") != 0)
      ::_exit(200);
    try {
      exports::TextFileWriter out(folder + "/full.csv");
      out.Append(std::string(400000, 'x'));
      out.EndLine();
      out.Commit();
    } catch (const RuntimeError& e) {
      // Nothing of the failed file may stay in the folder.
      ::_exit(std::filesystem::is_empty(folder) ? e.Number() : 201);
    }
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 200) GTEST_SKIP() << "no file system of its own can be mounted here";
  EXPECT_EQ(WEXITSTATUS(status), 61);
}

}  // namespace
}  // namespace tarnwick::test
