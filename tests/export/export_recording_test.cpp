// The export object against a scripted gateway: the query texts, the file
// format, and every way an export can fail without leaving a file behind.
#include <signal.h>
#include <sys/resource.h>

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
};

TEST_F(Exports, QueriesCarryTheArgumentsQuotedAndSafe) {
  EXPECT_TRUE(Filed(file));
  EXPECT_EQ(Calls().size(), 9u) << "eight arguments made safe, then the query";
  EXPECT_EQ(Calls().back(), "OpenRecordset(Exec sp_misc_reports_filed_lists '', '', '', '', '', '', '', '', 0, True)");
  Clear();
  EXPECT_TRUE(exporter.CreateFile("CAN", "2004", "Q1", "4/15/2004", "LATE", "1/1/2004", "3/31/2004", file,
                                  "O'Brien's"));
  EXPECT_EQ(Calls().back(),
            "OpenRecordset(Exec sp_misc_reports_filed_lists 'CAN', '2004', 'Q1', '4/15/2004', 'LATE', '1/1/2004', "
            "'3/31/2004', 'O''Brien''s', 0, True)");
  Clear();
  EXPECT_TRUE(exporter.CreateFileCorrExport("", "", "", "", "", file));
  EXPECT_EQ(Calls().back(), "OpenRecordset(Exec sp_misc_data_list_export '', '', '', '', '', 0, True)");
  Clear();
  EXPECT_TRUE(exporter.CreateFileCorrExport("PAC", "COR", "x'); drop table ref_document; --", "2005-01-31", "1/1/2005",
                                            file));
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

  // No rows: the header alone. A second export replaces the first.
  script->Answer("OpenRecordset", {.result = Recordset::FromRows({{"only", VarChar}}, {})});
  ASSERT_TRUE(exporter.CreateFileCorrExport("", "", "", "", "", file));
  EXPECT_EQ(ReadFile(file), "\"only\"\r\n");
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"reports.csv"}) << "no temporary file stays behind";
}

TEST_F(Exports, FailuresReturnFalseAndLeaveNoFile) {
  WriteFile(file, "earlier export\r\n");
  auto untouched = [&] {
    EXPECT_EQ(ReadFile(file), "earlier export\r\n");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"reports.csv"});
  };
  script->Answer("OpenRecordset", {.errorText = "timeout"});
  EXPECT_FALSE(Filed(file));
  untouched();
  script->Answer("OpenRecordset", {.raise = RuntimeError(-2147467259, "gateway", "link down")});
  EXPECT_FALSE(Filed(file));
  untouched();
  script->Answer("OpenRecordset", {.noResult = true});
  EXPECT_FALSE(Filed(file));
  untouched();
  script->Answer("OpenRecordset", {.result = Recordset::Create()});  // a closed set: a command, no rows
  EXPECT_FALSE(Filed(file));
  untouched();
  std::vector<Column> wide;
  for (int i = 0; i < 32768; ++i) wide.push_back({"c" + std::to_string(i), DataType::VarChar});
  script->Answer("OpenRecordset", {.result = Recordset::FromRows(wide, {})});
  EXPECT_FALSE(Filed(file)) << "more columns than a 16-bit counter holds";
  untouched();
  wide.pop_back();
  script->Answer("OpenRecordset", {.result = Recordset::FromRows(wide, {})});
  EXPECT_TRUE(Filed(dir.File("wide.csv")));

  // Paths that cannot be written: a missing folder, a folder, a file used as a folder, odd names.
  for (const std::string& path : {dir.File("missing/reports.csv"), dir.path().string(), file + "/x.csv",
                                  std::string(""), dir.File("trailing/")}) {
    SCOPED_TRACE(path);
    EXPECT_FALSE(Filed(path));
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));
  EXPECT_TRUE(Filed(dir.File("odd name, with 'quotes' & ünïcode.csv")));
  EXPECT_TRUE(std::filesystem::exists(dir.File("odd name, with 'quotes' & ünïcode.csv")));
}

// A file that cannot take more bytes part way through (a file size limit
// stands in for a full disk): False, no partial file, the earlier file kept.
TEST_F(Exports, AWriteThatFailsPartWayLeavesNothingBehind) {
  WriteFile(file, "earlier export\r\n");
  std::vector<std::vector<Variant>> rows;
  for (int i = 0; i < 20000; ++i) rows.push_back({Variant(std::string(100, 'x'))});
  script->Answer("OpenRecordset", {.result = Recordset::FromRows({{"text", DataType::VarChar}}, std::move(rows))});
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  rlimit small = old;
  small.rlim_cur = 64 * 1024;
  const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool written = Filed(file);
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(written);
  EXPECT_EQ(ReadFile(file), "earlier export\r\n");
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"reports.csv"});
}

TEST_F(Exports, LateBoundExportsRunTheSameCode) {
  auto exporter = CreateObject("Tarnwick.clsDocReportExport");
  script->Answer("OpenRecordset", {.result = Recordset::FromRows({{"n", DataType::Integer}}, {{std::int32_t{7}}})});
  EXPECT_EQ(exporter->Call("CreateFile", {"", "2004", "", "", "", "", "", file, ""}), Variant(true));
  EXPECT_EQ(Calls().back(), "OpenRecordset(Exec sp_misc_reports_filed_lists '', '2004', '', '', '', '', '', '', 0, True)");
  EXPECT_EQ(ReadFile(file), "\"n\"\r\n\"7\"\r\n");
  EXPECT_EQ(exporter->Call("CreateFileCorrExport", {"", "", "", "", "", dir.File("none/x.csv")}), Variant(false));
  ExpectRaises(err::kArgumentNotOptional, [&] { exporter->Call("CreateFile", {"", ""}); });
}

}  // namespace
}  // namespace tarnwick::test
