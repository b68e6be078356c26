// Creating an office, as a file for the embedded engine or as a database on
// the office server: an existing office kept unless forced, bad targets and
// sizes, broken sources leaving nothing behind, and what only one of them
// has (the file's procedure catalog; the server's logins, clients still
// connected, and a sample office equal to the file's). What each engine's
// office refuses is in tests/reliability/.

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

#include "gateway/sqlite/catalog.hpp"
#include "gateway/sqlite/procedure.hpp"
#include "office/sql_sources.hpp"
#include "office/upgrade.hpp"
#include "runtime/text.hpp"
#include "support/sample_office.hpp"

namespace tarnwick::test {
namespace {

using office::OfficeOptions;
using office::CreateServerOffice;
using office::OfficeStatus;
using sqlite::engine_detail::SqlKind;

// An office built by the running test, as a file or on the server.
class OfficeCreate : public ::testing::TestWithParam<OfficeEngine> {
 protected:
  void SetUp() override {
    if (!OnServer()) return;
    TW_REQUIRE_SERVER();
    dropped_.name = UniqueDatabaseName("create");
  }
  bool OnServer() const { return GetParam() == OfficeEngine::Server; }
  const std::string& Name() const { return dropped_.name; }
  std::string File() const { return dir_.File("office.db"); }

  office::OfficeResult Create(std::optional<std::int64_t> sample, bool overwrite = false,
                              const std::filesystem::path& sql = {}, office::OfficeProgressCallback progress = {}) {
    const OfficeOptions options{
        .overwrite = overwrite, .sampleDocuments = sample, .sqlDirectory = sql, .progress = std::move(progress)};
    return OnServer() ? office::CreateServerOffice(ServerSettings(Name()), options)
                      : office::CreateFileOffice(File(), options);
  }
  std::string Text(const std::string& sql) {
    return OnServer() ? ServerText(ServerConnect(Name()).get(), sql) : Db(File()).Text(sql);
  }
  void Exec(const std::string& sql) {
    OnServer() ? ServerExec(ServerConnect(Name()).get(), sql) : Db(File(), true).Exec(sql);
  }
  // True when there is no office: no file, or no database of the name.
  bool Absent() {
    return OnServer() ? ServerText(ServerConnect("postgres").get(),
                                   "select count(*) from pg_database where datname = '" + Name() + "'") == "0"
                      : !std::filesystem::exists(File());
  }
  // What the runs left besides the office (with the companions SQLite keeps
  // beside it while the test reads it) and the sources: files in the test's
  // folder, or databases on the server under a temporary name.
  std::string Leftovers() {
    if (OnServer())
      return ServerText(ServerConnect("postgres").get(),
                        "select count(*) from pg_database where datname like 'tw\\_%\\_" + Name() + "'");
    std::string names;
    for (const auto& name : dir_.Entries())
      if (name != "office.db" && name != "office.db-wal" && name != "office.db-shm" && name != "sql")
        names += name + " ";
    return names.empty() ? "0" : names;
  }

  TempDir dir_;
  DroppedDatabase dropped_;
};

TW_ON_BOTH_ENGINES(OfficeCreate);

TEST_P(OfficeCreate, AnExistingOfficeIsKeptUnlessForcedAndNeverReplacedWhileInUse) {
  if (OnServer()) {
    // What a run killed half way left: a half-built database, no client on it.
    ServerExec(ServerConnect("postgres").get(), "create database tw_init_1_0_" + Name());
  }
  std::vector<std::string> stages;
  const auto made = Create(std::nullopt, false, {}, [&](const office::OfficeProgress& p) {
    if (stages.empty() || stages.back() != p.stage) stages.emplace_back(p.stage);
  });
  ASSERT_TRUE(made.ok()) << made.message;
  EXPECT_NE(std::find(stages.begin(), stages.end(), "procedures"), stages.end());
  EXPECT_TRUE(made.summary.documents == 0 && made.summary.procedures > 10);
  EXPECT_EQ(Text("select (select count(*) from lks_document_type) || '|' || (select count(*) from ref_document)"), "5|0");
  Exec("update lks_system_info set description = 'kept' where code = 'PATH_TIF'");

  const auto again = Create(50);
  EXPECT_EQ(again.status, OfficeStatus::AlreadyExists) << again.message;
  EXPECT_NE(again.message.find(OnServer() ? Name() : "office.db"), std::string::npos) << again.message;
  EXPECT_EQ(Text("select description from lks_system_info where code = 'path_tif'"), "kept");
  if (OnServer()) {
    // A client connected: a forced run refuses and leaves the office as it is.
    auto client = ServerConnect(Name());
    const auto refused = Create(50, true);
    EXPECT_EQ(refused.status, OfficeStatus::InUse) << refused.message;
    EXPECT_NE(refused.message.find("in use"), std::string::npos) << refused.message;
    EXPECT_EQ(ServerText(client.get(), "select description from lks_system_info where code = 'PATH_TIF'"), "kept");
  }
  const auto replaced = Create(50, true);
  ASSERT_TRUE(replaced.ok()) << replaced.message;
  EXPECT_NE(Text("select description from lks_system_info where code = 'PATH_TIF'"), "kept");
  EXPECT_EQ((std::tuple{Text("select count(*) from ref_document"), Leftovers()}), std::tuple("50", "0"));
}

// What an office server database of version 2 or 3 lacks: the name index.
const std::string kDropServerNameIndex =
    "drop function tw_names_rows_changed, tw_names_person_changed, tw_names_received_changed, tw_names_filed cascade; "
    "drop function tw_names_refresh, tw_name_words; drop procedure sp_find_names; "
    "drop table tw_name, tw_name_committee; ";

// An office of the previous version, with what deleted documents left
// behind in it, is brought up to this one in place: the rows kept, the
// leftovers removed and counted, the new rules in force.
TEST_P(OfficeCreate, AnOlderOfficeIsUpgradedInPlace) {
  ASSERT_TRUE(Create(40).ok());
  const std::string image = Text("select min(document_id) from DOCUMENT_IMAGE");
  const std::string link = Text("select min(document_id) from xrf_report_document");
  // Back to the previous version: no foreign keys, (on the server) a
  // one-column save that is not this library's, a scan and a report link of
  // a deleted document, and a scan older than the document holding it.
  if (OnServer()) {
    Exec("alter table DOCUMENT_IMAGE drop constraint document_image_document_id_fkey; "
         "alter table xrf_report_document drop constraint xrf_report_document_document_id_fkey; " +
         kDropServerNameIndex + "update tw_office set version = 2; drop function tw_office_column, tw_set_column; "
         "create or replace procedure sp_update_table(\"table\" text default null, \"column\" text default null, "
         "unique_id integer default null, value text default null) language plpgsql as $$ begin "
         "raise exception 'the older office''s save'; end $$");
  } else {
    Db(File(), true).Exec("pragma user_version = 2");
  }
  Exec("insert into DOCUMENT_IMAGE (document_id, doc_page_ct, orig_date) values (999001, 1, '2004-01-01 00:00:00'); "
       "insert into xrf_report_document (report_id, document_id, orig_date) values (1, 999002, '2004-01-01 00:00:00'); "
       "update DOCUMENT_IMAGE set orig_date = '1990-01-01 00:00:00' where document_id = " + image);
  const std::string documents = Text("select count(*) from ref_document");
  const std::string links = Text("select count(*) from xrf_report_document");

  const auto settings = ServerSettings(Name());
  office::UpgradeResult upgraded = OnServer() ? office::UpgradeServerOffice(settings) : office::UpgradeFileOffice(File());
  ASSERT_TRUE(upgraded.ok()) << upgraded.message;
  EXPECT_EQ(upgraded.from, 2);
  EXPECT_EQ(upgraded.removed, (std::vector<std::string>{
                                  "1 scanned images of no document",
                                  "1 scanned images older than the document that now has their number",
                                  "1 report links of no document"}));
  EXPECT_EQ(Text("select count(*) from ref_document") + "|" + Text("select count(*) from xrf_report_document"),
            documents + "|" + std::to_string(std::stoi(links) - 1));
  EXPECT_EQ(Text("select count(*) from DOCUMENT_IMAGE where document_id = " + image), "0");
  EXPECT_EQ(Text("select count(*) from tw_name_committee"), Text("select count(distinct org_group_id) from org_committee"))
      << "the name index was built";
  EXPECT_EQ(Leftovers(), "0") << "the copy kept during the upgrade is gone";
  // The office opens, and a deleted document now takes its report link with it.
  auto gateway = ConnectedGateway(GetParam(), File(), Name());
  std::shared_ptr<Recordset> rs;
  // The one-column save is the new office's (on the server: written from the upgraded office's tables).
  EXPECT_EQ(gateway->OpenRecordset("exec sp_update_table 'ref_document', 'title', " + link + ", 'Upgraded'", rs, 0,
                                   true), "");
  EXPECT_EQ(Text("select title from ref_document where unique_id = " + link), "Upgraded");
  EXPECT_EQ(gateway->OpenRecordset("exec sp_delete_table 'ref_document', " + link, rs, 0, true), "");
  EXPECT_EQ(Text("select count(*) from xrf_report_document where document_id = " + link), "0");
  if (OnServer()) {
    // Version 3 has the links already: only the name index is new.
    Exec(kDropServerNameIndex + "update tw_office set version = 3");
    upgraded = office::UpgradeServerOffice(settings);
    EXPECT_TRUE(upgraded.ok() && upgraded.from == 3 && upgraded.removed.empty()) << upgraded.message;
    EXPECT_NE(Text("select count(*) from tw_name"), "0");
    // Version 4 lacks the trigram indexes of the name searches, and its name
    // index is built anew.
    Exec("drop index ix_org_committee_inhouse_trgm; delete from tw_name; update tw_office set version = 4");
    upgraded = office::UpgradeServerOffice(settings);
    EXPECT_TRUE(upgraded.ok() && upgraded.from == 4 && upgraded.to == 5) << upgraded.message;
    EXPECT_EQ(Text("select count(*) from pg_indexes where indexname = 'ix_org_committee_inhouse_trgm'"), "1");
    EXPECT_NE(Text("select count(*) from tw_name"), "0");
  }
  // Again: nothing to do. An office of no known version is refused, untouched.
  upgraded = OnServer() ? office::UpgradeServerOffice(settings) : office::UpgradeFileOffice(File());
  EXPECT_TRUE(upgraded.ok() && upgraded.from == upgraded.to && upgraded.removed.empty()) << upgraded.message;
  if (OnServer()) Exec("update tw_office set version = 1");
  else Db(File(), true).Exec("pragma user_version = 1");
  upgraded = OnServer() ? office::UpgradeServerOffice(settings) : office::UpgradeFileOffice(File());
  EXPECT_EQ(upgraded.status, OfficeStatus::InvalidOptions);
  EXPECT_NE(upgraded.message.find("schema version 1"), std::string::npos) << upgraded.message;
}

TEST_P(OfficeCreate, BadTargetsAndSizesAreRefusedBeforeAnythingIsMade) {
  EXPECT_EQ(Create(-1).status, OfficeStatus::InvalidOptions);
  const auto tooBig = Create(office::kMaxSampleDocuments + 1);
  EXPECT_EQ(tooBig.status, OfficeStatus::InvalidOptions);
  EXPECT_NE(tooBig.message.find("sample size"), std::string::npos) << tooBig.message;
  for (const std::string& bad : OnServer() ? std::vector<std::string>{"", "postgres", std::string(64, 'x')}
                                           : std::vector<std::string>{dir_.path().string(),
                                                                      dir_.File("missing/office.db"), ""}) {
    const auto refused = OnServer() ? office::CreateServerOffice(ServerSettings(bad), {}) : MakeOffice(bad, std::nullopt);
    EXPECT_EQ(refused.status, OfficeStatus::InvalidOptions) << "'" << bad << "': " << refused.message;
  }
  EXPECT_TRUE(Absent() && dir_.Entries().empty());
}

// Each break of a copy of the sources is refused with a message naming where,
// and the half-built office is removed: nothing is left behind.
TEST_P(OfficeCreate, RefusesBrokenSourcesAndLeavesNothingBehind) {
  const std::string proc = "procedures/sp_delete_xrf_report_document.sql";
  const std::string header = "create procedure sp_delete_xrf_report_document @report_id int, @document_id int as\n";
  struct Break {
    std::string file, text;  // text "-" removes the file, "->name" renames it, "+..." appends to it
    std::vector<std::string> says;
    bool fileOnly = true;  // the server's sources are other files
  };
  const Break breaks[] = {
      // A schema statement that fails names its file and line.
      {.file = "indexes.sql", .text = "+\ncreate index ix_broken on no_such_table (x);\n",
       .says = {"indexes.sql:", "no_such_table"}, .fileOnly = false},
      // A parameter used but not declared, spelled in another letter case, or set as an output it is not.
      {.file = proc, .text = header + "delete from xrf_report_document where report_id = @report;", .says = {"@report"}},
      {.file = proc, .text = header + "delete from xrf_report_document where report_id = @Report_id;",
       .says = {"@Report_id"}},
      {.file = proc, .text = header + "select 1 as \"@report_id\";", .says = {"@report_id"}},
      // A body that does not compile against the schema; a file named after another procedure.
      {.file = proc, .text = header + "select 1;\ndelete from no_such_table where report_id = @report_id;",
       .says = {"no_such_table"}},
      {.file = proc, .text = "->procedures/sp_other.sql", .says = {"sp_other.sql"}},
      // The general procedures belong to the gateway.
      {.file = "procedures/sp_update_table.sql", .text = "create procedure sp_update_table @table text as select 1;",
       .says = {"sp_update_table"}},
      // Schema files missing or unknown.
      {.file = "schema.sql", .text = "-", .says = {"schema.sql"}},
      {.file = "extra.sql", .text = "select 1;", .says = {"extra.sql"}},
  };
  const std::filesystem::path sql = dir_.path() / "sql";
  for (const Break& b : breaks) {
    if (b.fileOnly && OnServer()) continue;
    SCOPED_TRACE(b.says.front());
    std::filesystem::remove_all(sql);
    if (OnServer()) {
      std::filesystem::create_directories(sql / "procedures");
      for (const auto& file : office::EmbeddedServerSqlFiles()) std::ofstream(sql / file.path) << file.text;
    } else {
      std::filesystem::copy(TARNWICK_TEST_DB_SQL_DIR, sql, std::filesystem::copy_options::recursive);
    }
    if (b.text == "-") std::filesystem::remove(sql / b.file);
    else if (b.text.starts_with("->")) std::filesystem::rename(sql / b.file, sql / b.text.substr(2));
    else if (b.text.starts_with("+")) std::ofstream(sql / b.file, std::ios::app) << b.text.substr(1);
    else std::ofstream(sql / b.file, std::ios::binary | std::ios::trunc) << b.text;
    const auto failed = Create(10, false, sql);
    EXPECT_EQ(failed.status, OfficeStatus::InvalidSource) << failed.message;
    for (const std::string& says : b.says) EXPECT_NE(failed.message.find(says), std::string::npos) << failed.message;
    EXPECT_TRUE(Absent());
    EXPECT_TRUE(OnServer() ? Leftovers() == "0" : dir_.Entries() == std::vector<std::string>{"sql"}) << Leftovers();
  }
}

// An empty office is marked with its schema version and holds the standard
// codes and, for each procedure of db/, the catalog row the builder wrote from
// it; the builder and the engine read each parameter list by one set of rules.
TEST(OfficeFile, EmptyOfficeIsMarkedAndHoldsTheWholeCatalog) {
  TempDir dir;
  const std::string path = dir.File("office.db");
  ASSERT_TRUE(MakeOffice(path, std::nullopt).ok());
  Db db(path);
  EXPECT_EQ(db.Int("pragma application_id"), sqlite::kApplicationId);
  EXPECT_EQ(db.Int("pragma user_version"), sqlite::kSchemaVersion);
  EXPECT_EQ(db.Text("pragma journal_mode"), "wal");
  // The standard codes the searches rely on are there in an empty office.
  EXPECT_EQ(db.Int("select count(*) from lks_committee_type where Code in ('CNC', 'NRR')"), 2);
  EXPECT_EQ(db.Int("select count(*) from lks_system_info where Code in ('PATH_TIF', 'PATH_TIF_ALT', 'PATH_PDF', "
                   "'PATH_PDF_ALT', 'PATH_PDF_CREATE', 'PATH_BATCH_SCAN')"), 6);

  std::vector<office::SqlFile> sources;
  ASSERT_EQ(office::ReadSqlFiles(TARNWICK_TEST_DB_SQL_DIR, sources), "");
  // The copy built into the library is the source tree's.
  const auto texts = [](const std::vector<office::SqlFile>& files) {
    std::map<std::string, std::string> out;
    for (const auto& file : files) out[file.path] = file.text;
    return out;
  };
  EXPECT_TRUE(texts(office::EmbeddedSqlFiles()) == texts(sources)) << "db/sqlite changed since the last build";
  std::map<std::string, std::vector<std::string>> catalog;
  for (auto& row : db.Rows(std::string("select name, parameters, body, description from ") + sqlite::kProcedureTable))
    catalog[row[0]] = row;
  std::size_t files = 0;
  for (const auto& file : sources) {
    if (file.path.rfind("procedures/", 0) != 0) continue;
    SCOPED_TRACE(file.path);
    ++files;
    office::ProcedureDefinition definition;
    ASSERT_EQ(office::ParseProcedureFile(file.text, definition), "");
    const std::string text = definition.ParameterText();
    auto it = catalog.find(definition.name);
    ASSERT_NE(it, catalog.end());
    EXPECT_EQ((std::tuple{it->second[1], it->second[2]}), std::tuple(text, definition.body));
    EXPECT_NE(it->second[3], "<null>") << "no description";
    std::vector<sqlite::DeclaredParameter> again;
    ASSERT_EQ(sqlite::ParseDeclaredParameters(text, again), "");
    EXPECT_EQ(sqlite::ParameterListText(again), text);
    std::vector<sqlite::engine_detail::ProcedureParameter> engine;
    ASSERT_EQ(sqlite::engine_detail::ParseParameterList(text, engine), "");
    std::string read, declared;  // every parameter of a kind the engine knows
    for (const auto& p : engine) read += p.name + (p.output ? " out" : "") + (p.kind == SqlKind::None ? " ?," : ",");
    for (const auto& p : definition.parameters) declared += p.name + (p.output ? " out," : ",");
    EXPECT_EQ(read, declared);
  }
  EXPECT_EQ(catalog.size(), files);
  EXPECT_GE(files, 10u);
}

TEST(OfficeFile, ProcedureFileFormat) {
  office::ProcedureDefinition p;
  ASSERT_EQ(office::ParseProcedureFile("-- Finds a thing.\n--\n-- Second paragraph.\n"
                                       "create procedure sp_x @a int, @b VARCHAR (20) , @c money output\n"
                                       "as\nselect @a as \"@c\";\n",
                                       p), "");
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
  // The engine reads a list as the builder writes it: types as written, and either word for an output.
  std::vector<sqlite::engine_detail::ProcedureParameter> read;
  ASSERT_EQ(sqlite::engine_detail::ParseParameterList("@a decimal(10, 2),\n @b int OUTPUT, @c text out", read), "");
  EXPECT_EQ(read.at(0).type + "|" + read.at(1).name + "|" + read.at(2).name, "decimal(10, 2)|@b|@c");
  EXPECT_TRUE(read.at(0).kind == SqlKind::Real && !read.at(0).output && read.at(1).output && read.at(2).output);
  // What the builder refuses in a list the engine refuses too.
  for (const char* list : {"@a", "@a output", "@a int = 4", "@1a int", "@a int, @A int", "a int", "@a int,",
                           "@a int,, @b int", "@a decimal(10, 2"}) {
    std::vector<sqlite::DeclaredParameter> declared;
    std::vector<sqlite::engine_detail::ProcedureParameter> engine;
    EXPECT_NE(sqlite::ParseDeclaredParameters(list, declared), "") << list;
    EXPECT_NE(sqlite::engine_detail::ParseParameterList(list, engine), "") << list;
  }
}

TEST(ServerOffice, BadCredentialsAndAMissingServerAreRefusedWithoutThePassword) {
  TW_REQUIRE_SERVER();
  const std::string name = UniqueDatabaseName("login");
  const DroppedDatabase dropped{name};
  const std::string password = EnvText("TARNWICK_PG_PASSWORD");
  const std::string host = EnvText("TARNWICK_PG_HOST");
  ASSERT_FALSE(password.empty());

  postgres::ConnectionSettings user;
  user.database = name;
  user.user = EnvText("TARNWICK_PG_USER");
  // A wrong password; a server where nothing listens (port 1).
  for (const auto& [server, pass, says] : {std::tuple{host, password + "-wrong", "password"},
                                           std::tuple{std::string("127.0.0.1:1"), password, "127.0.0.1:1"}}) {
    user.server = server;
    user.password = pass;
    const auto refused = CreateServerOffice(user, {});
    EXPECT_EQ(refused.status, OfficeStatus::DatabaseError);
    EXPECT_NE(refused.message.find(says), std::string::npos) << refused.message;
    EXPECT_EQ(refused.message.find(password), std::string::npos) << refused.message;
  }
  // The right password: an ordinary user who may create databases builds an
  // office (citext is a trusted extension) and owns it.
  user.server = host;
  user.password = password;
  auto made = CreateServerOffice(user, {});
  ASSERT_TRUE(made.ok()) << made.message;
  auto admin = ServerConnect("postgres");
  EXPECT_EQ(ServerText(admin.get(), "select pg_get_userbyid(datdba) from pg_database where datname = '" + name + "'"),
            user.user);
}

// The same sample office as a file and on the server.
class ServerSampleOffice : public SampleOfficeSuite<300, Engines::FileAndServer> {};

TEST_F(ServerSampleOffice, HoldsTheFilesTablesColumnsAndRows) {
  Db db(file_);
  auto conn = OpenServer();

  // Tables and views, with their columns in order (the server folds names to
  // lower case) and the server type of each declared type; a computed view
  // column has no declared type on the file and is left out of that comparison.
  // The name index (tw_name...) is each engine's own, built its own way.
  const std::map<std::string, std::string> serverType = {
      {"int", "int4"},   {"integer", "int4"},     {"smallint", "int2"}, {"bit", "bool"}, {"money", "numeric"},
      {"datetime", "timestamp"}, {"text", "citext"}, {"image", "bytea"}, {"float", "float8"}};
  std::map<std::string, std::vector<std::string>> fileObjects, serverObjects;
  for (const auto& row : db.Rows("select name from sqlite_master where type in ('table', 'view') "
                                 "and name not like 'sqlite%' and name <> 'tw_procedure' and name not like 'tw_name%'")) {
    auto& columns = fileObjects[runtime::ToLower(row[0])];
    for (const auto& column : db.Rows("select name, lower(type) from pragma_table_info('" + row[0] + "')")) {
      std::string type = column[1];
      if (type.rfind("varchar", 0) == 0) type = "text";
      columns.push_back(runtime::ToLower(column[0]) + " " + (type.empty() ? "?" : serverType.at(type)));
    }
  }
  for (const auto& row : ServerRows(conn.get(), "select c.relname, a.attname, t.typname from pg_class c "
                                                "join pg_attribute a on a.attrelid = c.oid "
                                                "join pg_type t on t.oid = a.atttypid "
                                                "where c.relnamespace = 'public'::regnamespace "
                                                "and c.relkind in ('r', 'v') and c.relname <> 'tw_office' and c.relname not like 'tw_name%' "
                                                "and a.attnum > 0 and not a.attisdropped "
                                                "order by c.relname, a.attnum"))
    serverObjects[row[0]].push_back(row[1] + " " + row[2]);
  for (auto& [name, columns] : fileObjects) {
    auto& server = serverObjects[name];
    for (std::size_t i = 0; i < columns.size() && i < server.size(); ++i)
      if (columns[i].back() == '?') server[i] = server[i].substr(0, server[i].find(' ')) + " ?";
  }
  EXPECT_EQ(serverObjects, fileObjects);

  // Every table and view holds as many rows. (The values themselves are
  // compared through the procedures' answers in tests/office_server.)
  for (const auto& [name, columns] : fileObjects)
    EXPECT_EQ(ServerText(conn.get(), "select count(*) from " + name), db.Text("select count(*) from " + name)) << name;
  // The code tables are the server's own defaults and fixed sample rows: the same codes.
  for (const char* table : {"lks_document_type", "lku_document_sub_type", "lks_county", "lku_report_sub_type",
                            "lks_name_type"}) {
    std::vector<std::vector<std::string>> fileRows = db.Rows(
        std::string("select code, description, sequence, effective_date, coalesce(expire_date, '<null>') from ") +
        table + " order by 1, 2");
    EXPECT_EQ(ServerRows(conn.get(), std::string("select code, description, sequence, effective_date, "
                                                 "coalesce(expire_date::text, '<null>') from ") +
                                         table + " order by lower(code::text) collate \"C\", 2"),
              fileRows) << table;
  }

  // New rows continue after the copied identifiers.
  const std::string next = ServerText(conn.get(), "insert into ref_document (doc_type_code) values ('COR') returning unique_id");
  EXPECT_EQ(std::stoll(next), db.Int("select max(unique_id) from ref_document") + 1);
  ASSERT_EQ(postgres::ExecText(conn.get(), "delete from ref_document where unique_id = " + next), "");
}

}  // namespace
}  // namespace tarnwick::test
