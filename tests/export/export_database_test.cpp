// The exports on an office database: files compared byte for byte, the
// arguments reaching the procedure, the rows read as the file is written
// (on both engines), and paths that cannot be written.
#include <sqlite3.h>

#include <memory>
#include <stdexcept>

#include "support/office_files.hpp"
#include "support/sample_office.hpp"

namespace tarnwick::test {
namespace {

class ExportOffice : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = std::make_unique<TempDir>();
    probe_ = dir_->File("probe.db");
    if (!MakeOffice(probe_, std::nullopt).ok()) throw std::runtime_error("cannot build the office");
    // The correspondence export of the probe office lists a table of awkward values.
    Db(probe_, true).Exec(
            "create table probe (id int, name varchar(50), amount money, filed datetime, note text, flag bit);"
            "insert into probe values"
            " (1, 'O''Brien', 12.5, '2005-03-04 00:00:00', 'plain', 1),"
            " (2, 'Smith, Jones & \"Co\"', null, '2005-03-04 18:30:00', 'two\r\nlines', 0),"
            " (3, 'Zoë Ångström', -0.0005, null, null, null);"
            "update tw_procedure set body = 'select id, name, amount, filed, note, flag, date(filed) as day"
            " from probe where @comm_type_code = '''' or name = @comm_type_code order by id'"
            " where name = 'sp_misc_data_list_export';");
  }
  static void TearDownTestSuite() { dir_.reset(); }

  static std::unique_ptr<clsDocReportExport> Connected(const std::string& db) {
    auto exporter = std::make_unique<clsDocReportExport>();
    if (!exporter->ConnectionVariables(db, "embedded", "", "", false)) throw std::runtime_error("cannot connect");
    return exporter;
  }

  TempDir out;
  static inline std::unique_ptr<TempDir> dir_;
  static inline std::string probe_;
};

TEST_F(ExportOffice, FilesHoldTheRowsByteForByte) {
  auto exporter = Connected(probe_);
  const std::string file = out.File("corr.csv");
  ASSERT_TRUE(exporter->CreateFileCorrExport("", "", "", "", "", file));
  EXPECT_EQ(ReadFile(file),
            "\"id\",\"name\",\"amount\",\"filed\",\"note\",\"flag\",\"day\"\r\n"
            "\"1\",\"O'Brien\",\"12.5\",\"3/4/2005\",\"plain\",\"True\",\"3/4/2005\"\r\n"
            "\"2\",\"Smith, Jones & \"Co\"\",\"\",\"3/4/2005 6:30:00 PM\",\"two\r\nlines\",\"False\",\"3/4/2005\"\r\n"
            "\"3\",\"Zoë Ångström\",\"-0.0005\",\"\",\"\",\"\",\"\"\r\n");
  // The apostrophe reaches the procedure inside its literal.
  ASSERT_TRUE(exporter->CreateFileCorrExport("O'Brien", "", "", "", "", file));
  EXPECT_EQ(ReadFile(file),
            "\"id\",\"name\",\"amount\",\"filed\",\"note\",\"flag\",\"day\"\r\n"
            "\"1\",\"O'Brien\",\"12.5\",\"3/4/2005\",\"plain\",\"True\",\"3/4/2005\"\r\n");
  ASSERT_TRUE(exporter->CreateFileCorrExport("nobody", "", "", "", "", file));
  EXPECT_EQ(ReadFile(file), "\"id\",\"name\",\"amount\",\"filed\",\"note\",\"flag\",\"day\"\r\n");
  EXPECT_EQ(out.Entries(), std::vector<std::string>{"corr.csv"});
}

// The same exports and streams on a sample office, on each engine.
class ExportSample : public SampleOfficeSuite<40> {};

TW_ON_BOTH_ENGINES(ExportSample);

TEST_P(ExportSample, TheFiledListHoldsEveryReportAndPathsThatCannotBeWrittenFail) {
  auto exporter = Connected<clsDocReportExport>();
  TempDir out;
  const std::string file = out.File("filed.csv");
  ASSERT_TRUE(exporter->CreateFile("", "", "", "", "", "", "", file, ""));
  const std::string text = ReadFile(file);
  EXPECT_TRUE(text.starts_with("\"comm_id\",\"committee_name\",\"committee_type\",\"status\",\"treasurer\","))
      << text.substr(0, 200);
  // One line per row of the procedure (values hold no line ends in the sample).
  const std::int64_t reports = std::stoll(Query(
      "select count(*) from ref_document rd join xrf_org_document x on x.document_id = rd.unique_id "
      "join vw_zub_ORG_Committee_ref_current oc on oc.ref_group_id = x.org_id "
      "where rd.doc_type_code = 'RPT' and rd.delete_date is null"));
  ASSERT_GT(reports, 0);
  std::int64_t lines = 0;
  for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) ++lines;
  EXPECT_EQ(lines, reports + 1);
  // A list with no rows: the header alone.
  ASSERT_TRUE(exporter->CreateFileCorrExport("", "NONE", "", "", "", file));
  EXPECT_EQ(ReadFile(file),
            "\"comm_id\",\"committee_name\",\"committee_type\",\"treasurer\",\"address_1\",\"address_2\",\"city\","
            "\"state\",\"zip\",\"document_type\",\"document_sub_type\",\"title\",\"reason\",\"receive_send_date\","
            "\"delivery_method\",\"document_id\"\r\n");
  EXPECT_FALSE(exporter->CreateFile("", "", "", "", "", "", "", out.File("no/such/folder.csv"), ""));
  EXPECT_FALSE(exporter->CreateFile("", "", "", "", "", "", "", "/proc/tarnwick.csv", ""));
  EXPECT_EQ(out.Entries(), std::vector<std::string>{"filed.csv"});
}

// The rows read forward only are the rows of the result set, value for value.
TEST_P(ExportSample, StreamedRowsEqualTheResultSet) {
  auto g = CreateDefaultGateway();
  const postgres::ConnectionSettings s = ServerSettings(database_);
  ASSERT_TRUE(engine_ == OfficeEngine::Embedded ? g->SetConnection(file_, "embedded", "", "", false, 0, "", "")
                                                : g->SetConnection(database_, s.server, s.user, "", true, 5, "", ""));
  for (const std::string sql :
       {"Exec sp_misc_reports_filed_lists '', '', '', '', '', '', '', ''",
        "Exec sp_misc_data_list_export '', '', '', '', ''",
        "select unique_id, cast(receive_send_date as date) as day, isnull(entry_date, receive_send_date) as later, "
        "case when unique_id % 2 = 0 then 1.5 else 2 end as n, null as nothing from ref_document order by unique_id",
        "exec sp_get_DOCUMENT_IMAGE 1", "exec usp_adm_get_default_reg_setting 2, '', ''"}) {
    SCOPED_TRACE(sql);
    std::shared_ptr<Recordset> rs;
    ASSERT_EQ(g->OpenRecordset(sql, rs, 0, true), "");
    std::unique_ptr<RowStream> rows;
    ASSERT_EQ(g->OpenForwardOnly(sql, rows), "");
    ASSERT_EQ(rows->Columns().size(), rs->Columns().size());
    const bool server = engine_ == OfficeEngine::Server;  // the server's streams keep the exact kinds too
    for (std::size_t c = 0; c < rs->Columns().size(); ++c) {
      EXPECT_EQ(rows->Columns()[c].name, rs->Columns()[c].name);
      if (server) {
        EXPECT_EQ(rows->Columns()[c].type, rs->Columns()[c].type);
      }
    }
    std::size_t n = 0;
    for (; rows->Next(); ++n) {
      ASSERT_FALSE(rs->EndOfFile());
      for (std::int32_t c = 0; c < rs->Fields().Count(); ++c) {
        const Variant& streamed = rows->Row()[static_cast<std::size_t>(c)];
        const Variant& kept = rs->Fields().Item(c).Value();
        EXPECT_EQ(streamed.Text(), kept.Text()) << c;
        if (server) {
          EXPECT_EQ(streamed, kept) << c;
        }
      }
      rs->MoveNext();
    }
    EXPECT_TRUE(rs->EndOfFile());
    EXPECT_EQ(static_cast<std::int32_t>(n), rs->RecordCount());
    EXPECT_FALSE(rows->Next()) << "a finished stream stays finished";
  }
  std::unique_ptr<RowStream> rows;
  EXPECT_NE(g->OpenForwardOnly("select * from no_such_table", rows), "");
  EXPECT_EQ(rows, nullptr);
  if (engine_ == OfficeEngine::Embedded) {
    ASSERT_EQ(g->OpenForwardOnly("exec sp_save_DOCUMENT_IMAGE -1", rows), "");
    ExpectRaises(err::kObjectClosed, [&] { rows->Columns(); });
  }
}

}  // namespace
}  // namespace tarnwick::test
