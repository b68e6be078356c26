// Creating offices on the office server: what an existing office, a forced
// run, clients still connected, bad credentials and a missing server give,
// and that a sample office holds the same tables, columns and rows as the
// file the embedded engine reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "office/sql_sources.hpp"
#include "office/support.hpp"
#include "runtime/text.hpp"
#include "support/server_office.hpp"

namespace tarnwick::test {
namespace {

using office::CreateServerOffice;
using office::OfficeOptions;
using office::OfficeStatus;

std::string Scalar(PGconn* conn, const std::string& sql) {
  const auto rows = ServerRows(conn, sql);
  return rows.empty() || rows[0].empty() ? "<none>" : rows[0][0];
}

postgres::Connection Connected(const std::string& database) {
  std::string error;
  postgres::Connection conn = postgres::Connect(ServerSettings(database), error);
  if (!conn) throw std::runtime_error(error);
  return conn;
}

// Drops the test's databases on every way out.
struct Dropped {
  std::vector<std::string> names;
  ~Dropped() {
    for (const auto& name : names) DropServerDatabase(name);
  }
};

TEST(ServerOfficeCreate, ExistingOfficeIsKeptUnlessForcedAndNeverReplacedWhileInUse) {
  TW_REQUIRE_SERVER();
  Dropped dropped;
  const std::string name = UniqueDatabaseName("create");
  dropped.names.push_back(name);

  // What a run killed half way left: a half-built database, no client on it.
  const std::string leftover = "tw_init_1_0_" + name;
  {
    auto admin = Connected("postgres");
    ASSERT_EQ(postgres::ExecText(admin.get(), "create database " + leftover), "");
  }
  std::vector<std::string> stages;
  OfficeOptions options;
  options.progress = [&](const office::OfficeProgress& p) {
    if (stages.empty() || stages.back() != p.stage) stages.emplace_back(p.stage);
  };
  auto made = CreateServerOffice(ServerSettings(name), options);
  ASSERT_TRUE(made.ok()) << made.message;
  EXPECT_NE(std::find(stages.begin(), stages.end(), "procedures"), stages.end());
  {
    auto conn = Connected(name);
    EXPECT_EQ(Scalar(conn.get(), "select version from tw_office"), "2");
    EXPECT_EQ(Scalar(conn.get(), "select count(*) from lks_document_type"), "5");
    EXPECT_EQ(Scalar(conn.get(), "select count(*) from ref_document"), "0");
    EXPECT_EQ(Scalar(conn.get(), "select count(*) from pg_proc where prokind = 'p' "
                                 "and pronamespace = 'public'::regnamespace"),
              std::to_string(made.summary.procedures));
    // Mark the office so that a replacement can be told from it.
    ASSERT_EQ(postgres::ExecText(conn.get(), "update lks_system_info set description = 'kept' where code = 'PATH_TIF'"),
              "");
  }
  auto again = CreateServerOffice(ServerSettings(name), {});
  EXPECT_EQ(again.status, OfficeStatus::AlreadyExists) << again.message;
  {
    auto conn = Connected(name);
    EXPECT_EQ(Scalar(conn.get(), "select description from lks_system_info where code = 'path_tif'"), "kept");

    // A client connected: a forced run refuses and leaves the office as it is.
    OfficeOptions force;
    force.overwrite = true;
    auto refused = CreateServerOffice(ServerSettings(name), force);
    EXPECT_EQ(refused.status, OfficeStatus::InUse) << refused.message;
    EXPECT_NE(refused.message.find("in use"), std::string::npos) << refused.message;
    EXPECT_EQ(Scalar(conn.get(), "select description from lks_system_info where code = 'PATH_TIF'"), "kept");
  }
  OfficeOptions force;
  force.overwrite = true;
  auto replaced = CreateServerOffice(ServerSettings(name), force);
  ASSERT_TRUE(replaced.ok()) << replaced.message;
  {
    auto conn = Connected(name);
    EXPECT_NE(Scalar(conn.get(), "select description from lks_system_info where code = 'PATH_TIF'"), "kept");
  }
  // Neither run left a database under a temporary name.
  auto admin = Connected("postgres");
  EXPECT_EQ(Scalar(admin.get(), "select count(*) from pg_database where datname like 'tw\\_%\\_" + name + "'"),
            "0");
}

TEST(ServerOfficeCreate, BadCredentialsMissingServerAndBadNamesAreRefusedWithoutThePassword) {
  TW_REQUIRE_SERVER();
  Dropped dropped;
  const std::string name = UniqueDatabaseName("login");
  dropped.names.push_back(name);
  const std::string password = EnvText("TARNWICK_PG_PASSWORD");
  const std::string host = EnvText("TARNWICK_PG_HOST");
  ASSERT_FALSE(password.empty());

  postgres::ConnectionSettings user;
  user.server = host;
  user.database = name;
  user.user = EnvText("TARNWICK_PG_USER");
  user.password = password + "-wrong";
  auto wrong = CreateServerOffice(user, {});
  EXPECT_EQ(wrong.status, OfficeStatus::DatabaseError);
  EXPECT_NE(wrong.message.find("password"), std::string::npos) << wrong.message;
  EXPECT_EQ(wrong.message.find(password), std::string::npos) << wrong.message;

  // Nothing listens on port 1.
  postgres::ConnectionSettings nowhere = user;
  nowhere.server = "127.0.0.1:1";
  nowhere.password = password;
  auto unreachable = CreateServerOffice(nowhere, {});
  EXPECT_EQ(unreachable.status, OfficeStatus::DatabaseError);
  EXPECT_NE(unreachable.message.find("127.0.0.1:1"), std::string::npos) << unreachable.message;
  EXPECT_EQ(unreachable.message.find(password), std::string::npos) << unreachable.message;

  for (const std::string& bad : {std::string(""), std::string("postgres"), std::string(64, 'x')}) {
    postgres::ConnectionSettings settings = ServerSettings(bad);
    auto refused = CreateServerOffice(settings, {});
    EXPECT_EQ(refused.status, OfficeStatus::InvalidOptions) << "'" << bad << "': " << refused.message;
  }
  OfficeOptions tooMany;
  tooMany.sampleDocuments = -1;
  EXPECT_EQ(CreateServerOffice(ServerSettings(name), tooMany).status, OfficeStatus::InvalidOptions);

  // The right password: an ordinary user who may create databases builds an
  // office (citext is a trusted extension) and owns it.
  user.password = password;
  auto made = CreateServerOffice(user, {});
  ASSERT_TRUE(made.ok()) << made.message;
  auto admin = Connected("postgres");
  EXPECT_EQ(Scalar(admin.get(), "select pg_get_userbyid(datdba) from pg_database where datname = '" + name + "'"),
            user.user);
}

TEST(ServerOfficeCreate, BrokenSourcesLeaveNothingBehind) {
  TW_REQUIRE_SERVER();
  office_test::TempDir dir;
  const std::filesystem::path folder = dir.path() / "postgres";
  std::filesystem::create_directories(folder / "procedures");
  for (const auto& file : office::EmbeddedServerSqlFiles()) {
    std::string text = file.text;
    if (file.path == "indexes.sql") text += "\ncreate index ix_broken on no_such_table (x);\n";
    std::ofstream(folder / file.path) << text;
  }
  const std::string name = UniqueDatabaseName("broken");
  Dropped dropped;
  dropped.names.push_back(name);
  OfficeOptions options;
  options.sqlDirectory = folder;
  auto failed = CreateServerOffice(ServerSettings(name), options);
  EXPECT_EQ(failed.status, OfficeStatus::InvalidSource) << failed.message;
  EXPECT_NE(failed.message.find("indexes.sql:"), std::string::npos) << failed.message;
  EXPECT_NE(failed.message.find("no_such_table"), std::string::npos) << failed.message;
  auto admin = Connected("postgres");
  EXPECT_EQ(Scalar(admin.get(), "select count(*) from pg_database where datname = '" + name +
                                    "' or datname like 'tw\\_%\\_" + name + "'"),
            "0");
}

// The same sample office as a file and on the server.
class ServerSampleOffice : public ServerOfficeSuite<300> {};

TEST_F(ServerSampleOffice, HoldsTheFilesTablesColumnsAndRows) {
  office_test::TempDir dir;
  const std::string file = dir.File("office.db");
  const auto made = office_test::MakeOffice(file, 300);
  ASSERT_TRUE(made.ok()) << made.message;
  office_test::Db db(file);
  auto conn = Open();

  // Tables and views, with their columns in order (the server folds names to
  // lower case) and the server type of each declared type; a computed view
  // column has no declared type on the file and is left out of that comparison.
  const std::map<std::string, std::string> serverType = {
      {"int", "int4"},   {"integer", "int4"},     {"smallint", "int2"}, {"bit", "bool"}, {"money", "numeric"},
      {"datetime", "timestamp"}, {"text", "citext"}, {"image", "bytea"}, {"float", "float8"}};
  std::map<std::string, std::vector<std::string>> fileObjects, serverObjects;
  for (const auto& row : db.Rows("select name from sqlite_master where type in ('table', 'view') "
                                 "and name not like 'sqlite%' and name <> 'tw_procedure'")) {
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
                                                "and c.relkind in ('r', 'v') and c.relname <> 'tw_office' "
                                                "and a.attnum > 0 and not a.attisdropped "
                                                "order by c.relname, a.attnum"))
    serverObjects[row[0]].push_back(row[1] + " " + row[2]);
  for (auto& [name, columns] : fileObjects) {
    auto& server = serverObjects[name];
    for (std::size_t i = 0; i < columns.size() && i < server.size(); ++i)
      if (columns[i].back() == '?') server[i] = server[i].substr(0, server[i].find(' ')) + " ?";
  }
  EXPECT_EQ(serverObjects, fileObjects);

  // Every table and view holds as many rows, and the sums of the columns
  // that are most easily lost in a copy (money, dates, images) agree.
  for (const auto& [name, columns] : fileObjects) {
    EXPECT_EQ(Scalar(conn.get(), "select count(*) from " + name), db.Text("select count(*) from " + name)) << name;
  }
  EXPECT_EQ(Scalar(conn.get(), "select sum(total_receipts)::numeric(19,2) from ref_document"),
            db.Text("select printf('%.2f', sum(total_receipts)) from ref_document"));
  EXPECT_EQ(Scalar(conn.get(), "select max(receive_send_date) from ref_document"),
            db.Text("select max(receive_send_date) from ref_document"));
  EXPECT_EQ(Scalar(conn.get(), "select sum(length(doc_image)) from document_image"),
            db.Text("select sum(length(doc_image)) from DOCUMENT_IMAGE"));
  EXPECT_EQ(Scalar(conn.get(), "select count(*) from ref_document where has_image"),
            db.Text("select count(*) from ref_document where has_image = 1"));
  // The code tables are the server's own defaults and fixed sample rows: the same codes.
  for (const char* table : {"lks_document_type", "lku_document_sub_type", "lks_county", "lku_report_sub_type",
                            "lks_name_type"}) {
    std::vector<std::vector<std::string>> fileRows = db.Rows(
        std::string("select code, description, sequence, effective_date, coalesce(expire_date, '<null>') from ") +
        table + " order by 1, 2");
    EXPECT_EQ(ServerRows(conn.get(), std::string("select code, description, sequence, effective_date, "
                                                 "coalesce(expire_date::text, '<null>') from ") +
                                         table + " order by lower(code::text) collate \"C\", 2"),
              fileRows)
        << table;
  }

  // New rows continue after the copied identifiers.
  const std::string next = Scalar(conn.get(), "insert into ref_document (doc_type_code) values ('COR') returning unique_id");
  EXPECT_EQ(std::stoll(next), db.Int("select max(unique_id) from ref_document") + 1);
  ASSERT_EQ(postgres::ExecText(conn.get(), "delete from ref_document where unique_id = " + next), "");
}

TEST_F(ServerSampleOffice, EnforcesWhatTheFileEnforces) {
  auto conn = Open();
  // Too long a text is refused, not cut.
  EXPECT_NE(postgres::ExecText(conn.get(), "update ref_document set doc_type_code = 'ABCDEFGHIJK' where unique_id = 1"),
            "");
  // Texts compare without regard to letter case.
  EXPECT_EQ(Scalar(conn.get(), "select count(*) from lks_document_type where code = 'rpt' and description like 'campaign%'"),
            "1");
  // A link needs a committee and a document that exist, and says which is missing.
  const std::string noCommittee =
      postgres::ExecText(conn.get(), "insert into xrf_org_document (org_id, document_id) values (999999, 1)");
  EXPECT_NE(noCommittee.find("The committee of the link does not exist"), std::string::npos) << noCommittee;
  const std::string noDocument = postgres::ExecText(
      conn.get(), "insert into XRF_AFF_ORG_DOCUMENT (org_id, document_id) select min(unique_id), 999999 from ref_org");
  EXPECT_NE(noDocument.find("The document of the link does not exist"), std::string::npos) << noDocument;
  const std::string empty =
      postgres::ExecText(conn.get(), "update xrf_org_document set org_id = null where unique_id = 1");
  EXPECT_NE(empty.find("the new org_id is empty"), std::string::npos) << empty;
  // Deleting a document deletes its links.
  ASSERT_EQ(postgres::ExecText(conn.get(), "begin"), "");
  const std::string doc = Scalar(conn.get(), "select min(document_id) from xrf_org_document");
  ASSERT_EQ(postgres::ExecText(conn.get(), "delete from ref_document where unique_id = " + doc), "");
  EXPECT_EQ(Scalar(conn.get(), "select count(*) from xrf_org_document where document_id = " + doc), "0");
  ASSERT_EQ(postgres::ExecText(conn.get(), "rollback"), "");
}

}  // namespace
}  // namespace tarnwick::test
