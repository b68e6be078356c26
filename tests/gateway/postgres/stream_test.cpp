// Reading a server office forward only: the rows of a stream are the rows of
// the result set, value for value, for texts and procedures alike, and an
// export written from a stream holds every row of the list.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "support/server_office.hpp"
#include "support/temp_dir.hpp"
#include "tarnwick/tarnwick.hpp"

namespace tarnwick::test {
namespace {

class ServerStreams : public ServerOfficeSuite<40> {
 protected:
  static std::unique_ptr<DataGateway> Gateway() {
    auto g = CreateDefaultGateway();
    const postgres::ConnectionSettings s = ServerSettings(database_);
    if (!g->SetConnection(s.database, s.server, s.user, "", true, 5, "", "")) throw std::runtime_error("cannot connect");
    return g;
  }
};

TEST_F(ServerStreams, StreamedRowsEqualTheResultSet) {
  auto g = Gateway();
  for (const std::string sql :
       {"Exec sp_misc_reports_filed_lists '', '', '', '', '', '', '', ''",
        "Exec sp_misc_data_list_export '', '', '', '', ''",
        "select unique_id, cast(receive_send_date as date) as day, isnull(entry_date, receive_send_date) as later, "
        "case when unique_id % 2 = 0 then 1.5 else 2 end as n, null as nothing from ref_document order by unique_id",
        "exec usp_adm_get_default_reg_setting 2, '', ''"}) {
    SCOPED_TRACE(sql);
    std::shared_ptr<Recordset> rs;
    ASSERT_EQ(g->OpenRecordset(sql, rs, 0, true), "");
    std::unique_ptr<RowStream> rows;
    ASSERT_EQ(g->OpenForwardOnly(sql, rows), "");
    ASSERT_EQ(rows->Columns().size(), rs->Columns().size());
    for (std::size_t c = 0; c < rs->Columns().size(); ++c) {
      EXPECT_EQ(rows->Columns()[c].name, rs->Columns()[c].name);
      EXPECT_EQ(rows->Columns()[c].type, rs->Columns()[c].type);
    }
    std::size_t n = 0;
    for (; rows->Next(); ++n) {
      ASSERT_FALSE(rs->EndOfFile());
      for (std::int32_t c = 0; c < rs->Fields().Count(); ++c)
        EXPECT_EQ(rows->Row()[static_cast<std::size_t>(c)], rs->Fields().Item(c).Value()) << c;
      rs->MoveNext();
    }
    EXPECT_TRUE(rs->EndOfFile());
    EXPECT_EQ(static_cast<std::int32_t>(n), rs->RecordCount());
    EXPECT_FALSE(rows->Next()) << "a finished stream stays finished";
  }
  std::unique_ptr<RowStream> rows;
  EXPECT_NE(g->OpenForwardOnly("select * from no_such_table", rows), "");
  EXPECT_EQ(rows, nullptr);
}

TEST_F(ServerStreams, TheFiledListExportHoldsEveryReport) {
  clsDocReportExport exporter;
  const postgres::ConnectionSettings s = ServerSettings(database_);
  ASSERT_TRUE(exporter.ConnectionVariables(s.database, s.server, s.user, "", true));
  TempDir out;
  const std::string file = out.File("filed.csv");
  ASSERT_TRUE(exporter.CreateFile("", "", "", "", "", "", "", file, ""));
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  const std::string content = text.str();
  EXPECT_TRUE(content.starts_with("\"comm_id\",\"committee_name\",\"committee_type\",\"status\",\"treasurer\","))
      << content.substr(0, 200);
  auto conn = Open();
  const auto count = ServerRows(conn.get(),
                                "select count(*) from ref_document rd join xrf_org_document x on x.document_id = "
                                "rd.unique_id join vw_zub_org_committee_ref_current oc on oc.ref_group_id = x.org_id "
                                "where rd.doc_type_code = 'RPT' and rd.delete_date is null");
  const std::int64_t reports = std::stoll(count.at(0).at(0));
  ASSERT_GT(reports, 0);
  std::int64_t lines = 0;
  for (std::size_t at = content.find("\r\n"); at != std::string::npos; at = content.find("\r\n", at + 2)) ++lines;
  EXPECT_EQ(lines, reports + 1);
}

}  // namespace
}  // namespace tarnwick::test
