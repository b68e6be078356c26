// The exports on a sample office, on each engine: each list's file holds,
// byte for byte, the rows its procedure returns as a result set (the file is
// written from rows read forward only), and paths that cannot be written fail.

#include "support/office_files.hpp"
#include "support/sample_office.hpp"

namespace tarnwick::test {
namespace {

class ExportSample : public SampleOfficeSuite<40> {};

TW_ON_BOTH_ENGINES(ExportSample);

// The file an export should write: every column name and value quoted, lines ended by CR LF.
std::string Expected(Recordset& rs) {
  std::string text;
  for (std::int32_t c = 0; c < rs.Fields().Count(); ++c) text += (c ? ",\"" : "\"") + rs.Columns()[static_cast<std::size_t>(c)].name + "\"";
  for (text += "\r\n"; !rs.EndOfFile(); rs.MoveNext(), text += "\r\n")
    for (std::int32_t c = 0; c < rs.Fields().Count(); ++c) text += (c ? ",\"" : "\"") + rs.Fields().Item(c).Value().Text() + "\"";
  return text;
}

TEST_P(ExportSample, EachListFileHoldsTheRowsOfItsProcedure) {
  auto exporter = Connected<clsDocReportExport>();
  auto g = ConnectedGateway(engine_, file_, database_);
  TempDir out;
  const std::string file = out.File("list.csv");
  const std::pair<std::string, std::function<bool()>> lists[] = {
      {"Exec sp_misc_reports_filed_lists '', '', '', '', '', '', '', ''",
       [&] { return exporter->CreateFile("", "", "", "", "", "", "", file, ""); }},
      {"Exec sp_misc_data_list_export '', '', '', '', ''",
       [&] { return exporter->CreateFileCorrExport("", "", "", "", "", file); }},
      {"Exec sp_misc_data_list_export '', 'NONE', '', '', ''",  // no rows: the header alone
       [&] { return exporter->CreateFileCorrExport("", "NONE", "", "", "", file); }},
  };
  for (const auto& [sql, write] : lists) {
    SCOPED_TRACE(sql);
    std::shared_ptr<Recordset> rs;
    ASSERT_EQ(g->OpenRecordset(sql, rs, 0, true), "");
    ASSERT_TRUE(write());
    EXPECT_EQ(ReadFile(file), Expected(*rs));
  }
  EXPECT_EQ(out.Entries(), std::vector<std::string>{"list.csv"});
}

}  // namespace
}  // namespace tarnwick::test
