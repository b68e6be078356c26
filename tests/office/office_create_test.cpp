// Creating an office database: the file, its marks, its procedure catalog,
// and the checks that keep broken SQL sources out of it.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "gateway/sqlite/catalog.hpp"
#include "gateway/sqlite/procedure.hpp"
#include "office/file_office.hpp"
#include "office/sql_sources.hpp"
#include "office/support.hpp"

namespace tarnwick {
namespace {

using office_test::Db;
using office_test::MakeOffice;
using office_test::TempDir;
using office::OfficeStatus;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(OfficeCreate, RefusesToReplaceAFileUnlessForced) {
  TempDir dir;
  const std::string path = dir.File("office.db");
  auto made = MakeOffice(path, std::nullopt);
  ASSERT_TRUE(made.ok()) << made.message;
  EXPECT_EQ(made.summary.documents, 0);
  EXPECT_GT(made.summary.procedures, 10);
  const std::string before = ReadFile(path);

  // A second run without overwrite fails and leaves the file as it was.
  auto again = MakeOffice(path, 50);
  EXPECT_EQ(again.status, OfficeStatus::AlreadyExists);
  EXPECT_NE(again.message.find("office.db"), std::string::npos) << again.message;
  EXPECT_EQ(ReadFile(path), before);

  // With overwrite the new office replaces the old one.
  office::OfficeOptions force;
  force.overwrite = true;
  force.sampleDocuments = 50;
  auto replaced = office::CreateFileOffice(path, force);
  ASSERT_TRUE(replaced.ok()) << replaced.message;
  // No temporary file is left behind by any of the runs.
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"office.db"});
  EXPECT_EQ(Db(path).Int("select count(*) from ref_document"), 50);
}

TEST(OfficeCreate, RejectsBadTargetsAndSizes) {
  TempDir dir;
  EXPECT_EQ(MakeOffice(dir.path().string(), std::nullopt).status, OfficeStatus::InvalidOptions);
  EXPECT_EQ(MakeOffice(dir.File("missing/office.db"), std::nullopt).status, OfficeStatus::InvalidOptions);
  EXPECT_EQ(MakeOffice("", std::nullopt).status, OfficeStatus::InvalidOptions);
  EXPECT_EQ(MakeOffice(dir.File("a.db"), -1).status, OfficeStatus::InvalidOptions);
  auto tooBig = MakeOffice(dir.File("a.db"), office::kMaxSampleDocuments + 1);
  EXPECT_EQ(tooBig.status, OfficeStatus::InvalidOptions);
  EXPECT_NE(tooBig.message.find("sample size"), std::string::npos) << tooBig.message;
  EXPECT_TRUE(dir.Entries().empty());
}

// One empty office: its marks, its standard codes, and a catalog holding every
// procedure file as written, with exactly the parameters the classes pass.
TEST(OfficeCreate, EmptyOfficeIsMarkedAndHoldsTheWholeCatalog) {
  TempDir dir;
  const std::string path = dir.File("office.db");
  ASSERT_TRUE(MakeOffice(path, std::nullopt).ok());
  Db db(path);
  EXPECT_EQ(db.Int("pragma application_id"), sqlite::kApplicationId);
  EXPECT_EQ(db.Int("pragma user_version"), sqlite::kSchemaVersion);
  EXPECT_EQ(db.Text("pragma journal_mode"), "wal");
  EXPECT_EQ(db.Text("pragma integrity_check"), "ok");
  // The standard codes the searches rely on are there in an empty office.
  EXPECT_EQ(db.Int("select count(*) from lks_committee_type where Code in ('CNC', 'NRR')"), 2);
  EXPECT_EQ(db.Int("select count(*) from lks_name_type where Code in ('CND', 'TRS')"), 2);
  EXPECT_EQ(db.Int("select count(*) from lks_system_info where Code in ('PATH_TIF', 'PATH_TIF_ALT', 'PATH_PDF', "
                   "'PATH_PDF_ALT', 'PATH_PDF_CREATE', 'PATH_BATCH_SCAN')"),
            6);

  std::vector<office::SqlFile> sources;
  ASSERT_EQ(office::ReadSqlFiles(TARNWICK_TEST_DB_SQL_DIR, sources), "");
  // The copy built into the library is the source tree's.
  const std::vector<office::SqlFile> embedded = office::EmbeddedSqlFiles();
  ASSERT_EQ(embedded.size(), sources.size());
  for (std::size_t i = 0; i < sources.size(); ++i) {
    EXPECT_EQ(embedded[i].path, sources[i].path);
    EXPECT_EQ(embedded[i].text, sources[i].text) << sources[i].path << " changed since the last build";
  }

  std::map<std::string, std::vector<std::string>> catalog;
  for (auto& row : db.Rows(std::string("select name, parameters, body, description from ") + sqlite::kProcedureTable)) {
    catalog[row[0]] = row;
  }
  std::size_t files = 0;
  for (const auto& file : sources) {
    if (file.path.rfind("procedures/", 0) != 0) continue;
    ++files;
    office::ProcedureDefinition definition;
    ASSERT_EQ(office::ParseProcedureFile(file.text, definition), "") << file.path;
    auto it = catalog.find(definition.name);
    ASSERT_NE(it, catalog.end()) << definition.name;
    EXPECT_EQ(it->second[1], definition.ParameterText());
    EXPECT_EQ(it->second[2], definition.body);
    EXPECT_NE(it->second[3], "<null>") << definition.name << " has no description";
  }
  EXPECT_EQ(catalog.size(), files);

  // The calls the classes make, with their parameters in the order they are added.
  const std::map<std::string, std::string> expected = {
      {"sp_insert_xrf_org_document", "@Org_id @Document_id"},
      {"sp_update_xrf_org_document", "@Org_id @Document_id @Value"},
      {"sp_delete_xrf_org_document", "@org_id @document_id"},
      {"sp_insert_XRF_AFF_ORG_DOCUMENT", "@Org_id @Document_id"},
      {"sp_update_XRF_AFF_ORG_DOCUMENT", "@Org_id @Document_id @Value"},
      {"sp_delete_XRF_AFF_ORG_DOCUMENT", "@org_id @document_id"},
      {"sp_delete_xrf_report_document", "@report_id @document_id"},
      {"sp_insert_ref_document",
       "@Doc_type_code @Doc_sub_type_code @Doc_year @Is_amendment @Name_listed @Title @due_date "
       "@referred_county_code @penalty_appeal_decision_code @amount_due @amount_paid @Delivery_method_code "
       "@Doc_reason_code @Report_version_code @Receive_send_date @Entry_date @Other_date @Import_date "
       "@Begin_date @End_date @Signed_date @Signer_officer_type_code @Signer_officer_id @Signer_name "
       "@Delete_date @has_no_report_data @no_report_data_reason @total_receipts @total_expenditures "
       "@has_no_totals @Unique_id*"},
      {"sp_misc_mef_checks",
       "@get_type_flag @org_id @document_id @doc_year @doc_sub_type_code @begin_date @end_date "
       "@total_receipts @total_expenditures @match_found* @flag_mef* @election_id*"},
      {"sp_get_DOCUMENT_IMAGE", "@document_id"},
      {"sp_save_DOCUMENT_IMAGE", "@document_id @doc_page_ct @alt_doc_page_ct @doc_image @alt_doc_image"},
  };
  // Called with positional arguments: only the count is fixed.
  const std::map<std::string, std::size_t> positional = {
      {"usp_adm_get_default_reg_setting", 3}, {"sp_misc_reports_filed_lists", 8}, {"sp_misc_data_list_export", 5}};
  for (auto& row : db.Rows("select name, parameters from tw_procedure")) {
    std::vector<sqlite::DeclaredParameter> parameters;
    ASSERT_EQ(sqlite::ParseDeclaredParameters(row[1], parameters), "") << row[0];
    if (auto p = positional.find(row[0]); p != positional.end()) {
      EXPECT_EQ(parameters.size(), p->second) << row[0];
      for (const auto& parameter : parameters) EXPECT_FALSE(parameter.output) << row[0];
      continue;
    }
    auto e = expected.find(row[0]);
    ASSERT_NE(e, expected.end()) << row[0] << " is called by no class";
    std::string names;
    for (const auto& parameter : parameters) {
      names += (names.empty() ? "" : " ") + parameter.name + (parameter.output ? "*" : "");
    }
    EXPECT_EQ(names, e->second) << row[0];
  }
  EXPECT_EQ(db.Int("select count(*) from tw_procedure"), static_cast<std::int64_t>(expected.size() + positional.size()));
}

TEST(OfficeCreate, ProcedureFileFormat) {
  office::ProcedureDefinition p;
  ASSERT_EQ(office::ParseProcedureFile("-- Finds a thing.\n--\n-- Second paragraph.\n"
                                       "create procedure sp_x @a int, @b VARCHAR (20) , @c money output\n"
                                       "as\nselect @a as \"@c\";\n",
                                       p),
            "");
  EXPECT_EQ(p.name, "sp_x");
  EXPECT_EQ(p.description, "Finds a thing.\n\nSecond paragraph.");
  EXPECT_EQ(p.ParameterText(), "@a int, @b varchar(20), @c money output");
  EXPECT_EQ(p.body, "select @a as \"@c\";");

  ASSERT_EQ(office::ParseProcedureFile("create procedure sp_none as select 1", p), "");
  EXPECT_TRUE(p.parameters.empty());

  // Each broken header is refused with a reason.
  for (const char* broken : {
           "select 1",                                              // no header
           "create procedure sp_x @a int select 1",                 // no "as"
           "create procedure sp_x @a, @b int as select 1",          // no type
           "create procedure sp_x @a number as select 1",           // unknown type
           "create procedure sp_x @a varchar(0) as select 1",       // empty size
           "create procedure sp_x a int as select 1",               // no @
           "create procedure sp_x @a int, @A int as select 1",      // declared twice
           "create procedure sp_x @a int as   ",                    // empty body
       }) {
    EXPECT_NE(office::ParseProcedureFile(broken, p), "") << broken;
  }
}

// The builder and the engine read parameter lists by one set of rules: every
// procedure of db/ comes back from the catalog text the builder writes as it
// was declared, and the engine knows the kind of every parameter.
TEST(OfficeCreate, EveryProcedureParameterListRoundTrips) {
  std::vector<office::SqlFile> sources;
  ASSERT_EQ(office::ReadSqlFiles(TARNWICK_TEST_DB_SQL_DIR, sources), "");
  int procedures = 0;
  for (const office::SqlFile& file : sources) {
    if (file.path.rfind("procedures/", 0) != 0) continue;
    ++procedures;
    office::ProcedureDefinition definition;
    ASSERT_EQ(office::ParseProcedureFile(file.text, definition), "") << file.path;
    const std::string text = definition.ParameterText();
    std::vector<sqlite::DeclaredParameter> again;
    ASSERT_EQ(sqlite::ParseDeclaredParameters(text, again), "") << file.path;
    EXPECT_EQ(sqlite::ParameterListText(again), text) << file.path;
    ASSERT_EQ(again.size(), definition.parameters.size()) << file.path;
    std::vector<sqlite::engine_detail::ProcedureParameter> engine;
    ASSERT_EQ(sqlite::engine_detail::ParseParameterList(text, engine), "") << file.path;
    ASSERT_EQ(engine.size(), definition.parameters.size()) << file.path;
    for (std::size_t i = 0; i < again.size(); ++i) {
      const sqlite::DeclaredParameter& declared = definition.parameters[i];
      EXPECT_EQ(again[i].name, declared.name) << file.path;
      EXPECT_EQ(again[i].type, declared.type) << file.path;
      EXPECT_EQ(again[i].output, declared.output) << file.path;
      EXPECT_EQ(engine[i].name, declared.name) << file.path;
      EXPECT_EQ(engine[i].output, declared.output) << file.path;
      EXPECT_NE(engine[i].kind, sqlite::engine_detail::SqlKind::None) << file.path << " " << declared.name;
    }
  }
  EXPECT_GE(procedures, 10);

  // What one side refuses the other refuses too.
  for (const char* list : {"@a", "@a output", "@a int = 4", "@1a int", "@a int, @A int", "a int", "@a int,"}) {
    std::vector<sqlite::DeclaredParameter> declared;
    std::vector<sqlite::engine_detail::ProcedureParameter> engine;
    EXPECT_NE(sqlite::ParseDeclaredParameters(list, declared), "") << list;
    EXPECT_NE(sqlite::engine_detail::ParseParameterList(list, engine), "") << list;
  }
}

// Each break of a copy of the source tree is refused with a message naming
// where, and leaves no file behind.
TEST(OfficeCreate, RefusesBrokenSources) {
  const std::string proc = "procedures/sp_delete_xrf_report_document.sql";
  const std::string header = "create procedure sp_delete_xrf_report_document @report_id int, @document_id int as\n";
  struct Break {
    std::string file, text, where;  // text "-" removes the file, "->name" renames it
  };
  const Break breaks[] = {
      // A parameter used but not declared, spelled in another letter case, or set as an output it is not.
      {proc, header + "delete from xrf_report_document where report_id = @report;", "@report"},
      {proc, header + "delete from xrf_report_document where report_id = @Report_id;", "@Report_id"},
      {proc, header + "select 1 as \"@report_id\";", "@report_id"},
      // A body that does not compile against the schema; a file named after another procedure.
      {proc, header + "select 1;\ndelete from no_such_table where report_id = @report_id;", "no_such_table"},
      {proc, "->procedures/sp_other.sql", "sp_other.sql"},
      // The general procedures belong to the gateway.
      {"procedures/sp_update_table.sql", "create procedure sp_update_table @table text as select 1;", "sp_update_table"},
      // A schema statement that fails names its file and line; schema files missing or unknown.
      {"indexes.sql", "create index ix_a on ref_document (doc_year);\n\ncreate index ix_b on ref_document (no_column);\n",
       "indexes.sql:3"},
      {"schema.sql", "-", "schema.sql"},
      {"extra.sql", "select 1;", "extra.sql"},
  };
  for (const Break& b : breaks) {
    SCOPED_TRACE(b.where);
    TempDir dir;
    const std::filesystem::path sql = dir.path() / "sql";
    std::filesystem::copy(TARNWICK_TEST_DB_SQL_DIR, sql, std::filesystem::copy_options::recursive);
    if (b.text == "-") {
      std::filesystem::remove(sql / b.file);
    } else if (b.text.starts_with("->")) {
      std::filesystem::rename(sql / b.file, sql / b.text.substr(2));
    } else {
      std::ofstream(sql / b.file, std::ios::binary | std::ios::trunc) << b.text;
    }
    office::OfficeOptions options;
    options.sqlDirectory = sql;
    options.sampleDocuments = 10;
    const auto result = office::CreateFileOffice(dir.File("office.db"), options);
    EXPECT_EQ(result.status, OfficeStatus::InvalidSource) << result.message;
    EXPECT_NE(result.message.find(b.where), std::string::npos) << result.message;
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"sql"});
  }
}

}  // namespace
}  // namespace tarnwick
