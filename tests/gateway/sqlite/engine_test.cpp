// The embedded engine against a small office file: opening and refusing
// files, running texts and procedures, and units of work.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "gateway/sqlite/engine.hpp"
#include "office_db.hpp"
#include "tarnwick/gateway.hpp"
#include "tarnwick/recordset.hpp"

namespace tarnwick {
namespace {

using testing::CreateDatabase;
using testing::CreateOfficeDatabase;
using testing::QueryText;
using testing::TempDir;

bool Connect(DataGateway& gateway, const std::string& path, const std::string& server = "") {
  return gateway.SetConnection(path, server, "", "", false, 0, "", "");
}

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.File("office.db");
    CreateOfficeDatabase(path_);
    gateway_ = CreateDefaultGateway();
    ASSERT_TRUE(Connect(*gateway_, path_, "Embedded"));
  }

  std::shared_ptr<Recordset> Open(const std::string& sql) {
    std::shared_ptr<Recordset> rs;
    const std::string error = gateway_->OpenRecordset(sql, rs, 0, true);
    EXPECT_EQ(error, "") << sql;
    return rs && error.empty() ? rs : Recordset::Create();
  }

  std::string Execute(bool returnsRows, std::shared_ptr<Recordset>& rows) {
    std::int32_t affected = -1;
    return gateway_->ExecuteProcedure(affected, returnsRows, rows, 0);
  }

  TempDir dir_;
  std::string path_;
  std::unique_ptr<DataGateway> gateway_;
};

TEST(EngineConnection, RefusesFilesItCannotUseAndCreatesNothing) {
  TempDir dir;
  auto gateway = CreateDefaultGateway();
  std::shared_ptr<Recordset> rs;
  EXPECT_EQ(gateway->OpenRecordset("select 1", rs, 0, true), "Not connected to a database");
  EXPECT_EQ(gateway->PrepareProcedure("sp_x"), "Not connected to a database");
  EXPECT_FALSE(gateway->InTransaction());

  const std::string missing = dir.File("missing.db");
  EXPECT_FALSE(Connect(*gateway, missing));
  EXPECT_FALSE(std::filesystem::exists(missing));
  EXPECT_FALSE(Connect(*gateway, ""));

  const std::string foreign = dir.File("foreign.db");
  CreateDatabase(foreign, 0, sqlite::kSchemaVersion, "create table t (a int);");
  const std::string otherVersion = dir.File("v2.db");
  CreateDatabase(otherVersion, sqlite::kApplicationId, sqlite::kSchemaVersion + 1, "create table t (a int);");
  const std::string notSqlite = dir.File("notes.txt");
  std::ofstream(notSqlite) << "these are not the pages you are looking for, not a database at all\n";

  sqlite::Engine engine;
  EXPECT_FALSE(engine.Open(foreign));
  EXPECT_NE(engine.LastError().find("not a filing-office database"), std::string::npos) << engine.LastError();
  EXPECT_FALSE(engine.Open(otherVersion));
  EXPECT_NE(engine.LastError().find("schema version " + std::to_string(sqlite::kSchemaVersion + 1)),
            std::string::npos)
      << engine.LastError();
  EXPECT_FALSE(engine.Open(notSqlite));
  EXPECT_FALSE(engine.Open(missing));
  EXPECT_FALSE(std::filesystem::exists(missing));
  // Nothing was written into the refused files (no journal switched on).
  EXPECT_EQ(QueryText(foreign, "PRAGMA journal_mode"), "delete");

  // A good file opens; a later failed reconnection leaves no connection behind.
  const std::string good = dir.File("office.db");
  CreateOfficeDatabase(good);
  ASSERT_TRUE(Connect(*gateway, good, "EMBEDDED"));
  EXPECT_EQ(gateway->OpenRecordset("select 1", rs, 0, true), "");
  EXPECT_FALSE(Connect(*gateway, good, "dbserver.office.example:1433"));
  EXPECT_EQ(gateway->OpenRecordset("select 1", rs, 0, true), "Not connected to a database");
  EXPECT_FALSE(Connect(*gateway, foreign));
  EXPECT_EQ(gateway->OpenRecordset("select 1", rs, 0, true), "Not connected to a database");
  ASSERT_TRUE(engine.Open(good));
  EXPECT_EQ(engine.LastError(), "");
}

TEST_F(EngineTest, ResultColumnsCarryTheDeclaredTypes) {
  auto rs = Open("select * from ref_document where unique_id = 1");
  ASSERT_EQ(rs->State(), ObjectState::Open);
  const auto& cols = rs->Columns();
  ASSERT_EQ(cols.size(), 10u);
  const DataType expected[] = {DataType::Integer,  DataType::VarChar,     DataType::SmallInt, DataType::VarChar,
                               DataType::Boolean,  DataType::Currency,    DataType::DBTimeStamp,
                               DataType::LongVarBinary, DataType::Double, DataType::Integer};
  for (std::size_t i = 0; i < cols.size(); ++i) EXPECT_EQ(cols[i].type, expected[i]) << cols[i].name;
  EXPECT_EQ(rs->Collect("unique_id"), Variant(std::int32_t{1}));
  EXPECT_EQ(rs->Collect("doc_year"), Variant(std::int16_t{2004}));
  EXPECT_EQ(rs->Collect("is_amendment"), Variant(true));
  EXPECT_EQ(rs->Collect("amount_due"), Variant(Currency{12345000}));
  EXPECT_EQ(rs->Collect("due_date").Type(), VarType::Date);
  EXPECT_NEAR(rs->Collect("due_date").CDate().serial, 38051.6041666667, 1e-9);
  EXPECT_EQ(rs->Collect("page_image"), Variant(Bytes{1, 2, 3, 4}));
  EXPECT_EQ(rs->Collect("score"), Variant(0.25));
  EXPECT_EQ(rs->Collect("title"), Variant("First report"));

  // A view keeps the table's declared types; Nulls stay Null.
  rs = Open("select * from vw_document where unique_id = 3");
  ASSERT_EQ(rs->Columns().size(), 5u);
  EXPECT_EQ(rs->Columns()[2].type, DataType::Boolean);
  EXPECT_EQ(rs->Columns()[3].type, DataType::Currency);
  EXPECT_EQ(rs->Columns()[4].type, DataType::DBTimeStamp);
  EXPECT_TRUE(rs->Collect("amount_due").IsNull());
  EXPECT_EQ(rs->Collect("is_amendment"), Variant(false));

  // Expressions take their type from their values; a date expression stays a date.
  rs = Open("select count(*) as n, max(due_date) as latest, sum(score) as total, null as nothing from ref_document");
  EXPECT_EQ(rs->Columns()[0].type, DataType::Integer);
  EXPECT_EQ(rs->Collect("n"), Variant(std::int32_t{3}));
  EXPECT_EQ(rs->Columns()[1].type, DataType::DBTimeStamp);
  EXPECT_EQ(rs->Collect("latest").Type(), VarType::Date);
  EXPECT_EQ(rs->Columns()[2].type, DataType::Double);
  EXPECT_EQ(rs->Collect("total"), Variant(1.75));
  EXPECT_TRUE(rs->Collect("nothing").IsNull());

  // No rows: open at BOF and EOF with the columns typed; a command with no result: closed.
  rs = Open("select unique_id, due_date from ref_document where unique_id = 99");
  EXPECT_EQ(rs->State(), ObjectState::Open);
  EXPECT_TRUE(rs->BOF() && rs->EndOfFile());
  EXPECT_EQ(rs->Columns()[1].type, DataType::DBTimeStamp);
  rs = Open("exec sp_update_table 'ref_document', 'score', 3, '2'");
  EXPECT_EQ(rs->State(), ObjectState::Closed);
  EXPECT_EQ(QueryText(path_, "select score from ref_document where unique_id = 3"), "2.0");
}

TEST_F(EngineTest, TsqlTextGoesThroughTheFrontEnd) {
  auto rs = Open(
      "SELECT [title] + ' (' + doc_type_code + ')' AS 'label', isnull(amount_due, 0) AS due "
      "FROM ref_document WHERE isnull(due_date, '1/1/1900') > '12/31/2004' ORDER BY 1");
  ASSERT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(rs->Collect("label"), Variant("Letter (COR)"));

  // Text comparisons ignore letter case as on the office's server.
  rs = Open("select unique_id from ref_document where doc_type_code = 'rpt' order by unique_id");
  EXPECT_EQ(rs->RecordCount(), 2);

  std::shared_ptr<Recordset> untouched = rs;
  std::string error = gateway_->OpenRecordset("select from where", untouched, 0, true);
  EXPECT_NE(error.find("select from where"), std::string::npos) << error;
  ASSERT_NE(untouched, rs) << "a failed query leaves no earlier rows current";
  EXPECT_EQ(untouched->State(), ObjectState::Closed);
  error = gateway_->OpenRecordset("select nosuchcolumn from ref_document", untouched, 0, true);
  EXPECT_NE(error.find("nosuchcolumn"), std::string::npos) << error;
  // A misspelt bracketed name (written in double quotes for SQLite) is no
  // column, not the text of its spelling.
  error = gateway_->OpenRecordset("select [doc titel] from ref_document where [doc titel] = 'doc titel'",
                                  untouched, 0, true);
  EXPECT_NE(error.find("no such column: doc titel"), std::string::npos) << error;
}

TEST_F(EngineTest, ExecRunsCatalogProceduresWithPositionalAndNamedArguments) {
  auto rs = Open("exec sp_get_document 2");
  ASSERT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(rs->Collect("title"), Variant("Letter"));
  EXPECT_EQ(rs->Columns()[2].type, DataType::DBTimeStamp);

  rs = Open("Exec SP_GET_DOCUMENT @Doc_Type_Code = 'rpt'");
  ASSERT_EQ(rs->RecordCount(), 2);
  EXPECT_EQ(rs->Collect("unique_id"), Variant(std::int32_t{1}));

  // A procedure asked for no rows still answers with typed, empty columns.
  rs = Open("exec sp_get_document -1 ");
  EXPECT_EQ(rs->State(), ObjectState::Open);
  EXPECT_TRUE(rs->BOF() && rs->EndOfFile());
  EXPECT_EQ(rs->Columns().size(), 3u);

  std::shared_ptr<Recordset> none;
  std::string error = gateway_->OpenRecordset("exec sp_no_such_thing 1", none, 0, true);
  EXPECT_NE(error.find("sp_no_such_thing"), std::string::npos) << error;
  error = gateway_->OpenRecordset("exec sp_get_document 1, 'a', 3", none, 0, true);
  EXPECT_NE(error, "");
  error = gateway_->OpenRecordset("exec sp_get_document @nope = 1", none, 0, true);
  EXPECT_NE(error.find("@nope"), std::string::npos) << error;
}

TEST_F(EngineTest, ProceduresConvertInputsAndReturnOutputs) {
  EXPECT_NE(gateway_->PrepareProcedure("sp_missing").find("sp_missing"), std::string::npos);
  ASSERT_EQ(gateway_->PrepareProcedure("SP_Insert_Ref_Document"), "");
  EXPECT_NE(gateway_->AddParameter("@no_such", Variant(1)), "");
  // Texts for typed parameters convert as the runtime converts them.
  EXPECT_EQ(gateway_->AddParameter("@title", Variant("O'Malley for Council")), "");
  EXPECT_EQ(gateway_->AddParameter("@Doc_year", Variant("2,006")), "");
  EXPECT_EQ(gateway_->AddParameter("@Is_amendment", Variant("True")), "");
  EXPECT_EQ(gateway_->AddParameter("@amount_due", Variant(Currency{25})), "");
  EXPECT_EQ(gateway_->AddParameter("@due_date", Variant("3/4/2005 2:30:00 PM")), "");
  EXPECT_EQ(gateway_->AddParameter("@page_image", Variant(Bytes{})), "");
  std::shared_ptr<Recordset> rows;
  std::int32_t affected = 0;
  ASSERT_EQ(gateway_->ExecuteProcedure(affected, false, rows, 0), "");
  EXPECT_EQ(affected, 1);
  EXPECT_EQ(rows, nullptr);
  Variant id;
  ASSERT_EQ(gateway_->GetParameter("@unique_id", id), "");
  EXPECT_EQ(id, Variant(std::int32_t{4}));
  gateway_->FinishProcedure();
  EXPECT_EQ(QueryText(path_, "select doc_year || '|' || is_amendment || '|' || amount_due || '|' || due_date || "
                             "'|' || typeof(page_image) || length(page_image) from ref_document where unique_id = 4"),
            "2006|1|0.0025|2005-03-04 14:30:00|blob0");

  // A value that does not convert fails the call, naming the parameter, and stores nothing.
  ASSERT_EQ(gateway_->PrepareProcedure("sp_insert_ref_document"), "");
  gateway_->AddParameter("@Title", Variant("Bad year"));
  gateway_->AddParameter("@Doc_year", Variant("MMVI"));
  const std::string error = Execute(false, rows);
  EXPECT_NE(error.find("@Doc_year"), std::string::npos) << error;
  ASSERT_EQ(gateway_->GetParameter("@Unique_id", id), "");
  EXPECT_TRUE(id.IsNull());
  EXPECT_EQ(QueryText(path_, "select count(*) from ref_document"), "4");

  // Outputs set by a statement of the body, rows from the last other select.
  ASSERT_EQ(gateway_->PrepareProcedure("sp_count_titles"), "");
  gateway_->AddParameter("@title", Variant("%REPORT%"));
  ASSERT_EQ(Execute(true, rows), "");
  ASSERT_NE(rows, nullptr);
  EXPECT_EQ(rows->RecordCount(), 2);
  EXPECT_EQ(rows->Collect("title"), Variant("First report"));
  Variant count, latest, unused;
  gateway_->GetParameter("@count", count);
  gateway_->GetParameter("@latest", latest);
  gateway_->GetParameter("@unused", unused);
  EXPECT_EQ(count, Variant(std::int32_t{2}));
  ASSERT_EQ(latest.Type(), VarType::Date);
  EXPECT_NEAR(latest.CDate().serial, 38051.6041666667, 1e-9);
  EXPECT_TRUE(unused.IsNull());
}

TEST_F(EngineTest, UnitsOfWorkKeepOrAbandonEverythingTogether) {
  const std::string before = QueryText(path_, "select group_concat(title, ',') from ref_document");
  gateway_->BeginTransaction();
  EXPECT_TRUE(gateway_->InTransaction());
  std::shared_ptr<Recordset> rows;
  ASSERT_EQ(gateway_->PrepareProcedure("sp_update_table"), "");
  gateway_->AddParameter("@table", Variant("ref_document"));
  gateway_->AddParameter("@column", Variant("Title"));
  gateway_->AddParameter("@unique_id", Variant(std::int32_t{2}));
  gateway_->AddParameter("@value", Variant("Changed"));
  ASSERT_EQ(Execute(false, rows), "");
  ASSERT_EQ(gateway_->PrepareProcedure("sp_insert_ref_document"), "");
  gateway_->AddParameter("@Title", Variant("Added"));
  ASSERT_EQ(Execute(false, rows), "");
  // A procedure failing inside the unit undoes only itself.
  ASSERT_EQ(gateway_->PrepareProcedure("sp_fail_midway"), "");
  gateway_->AddParameter("@title", Variant("Half"));
  EXPECT_NE(Execute(false, rows), "");
  EXPECT_TRUE(gateway_->InTransaction());
  EXPECT_EQ(Open("select count(*) as n from ref_document where title in ('Changed', 'Added', 'Half')")
                ->Collect("n"),
            Variant(std::int32_t{2}));
  gateway_->EndTransaction(false);
  EXPECT_FALSE(gateway_->InTransaction());
  EXPECT_EQ(QueryText(path_, "select group_concat(title, ',') from ref_document"), before);

  // Outside a unit of work a failing procedure leaves nothing behind.
  ASSERT_EQ(gateway_->PrepareProcedure("sp_fail_midway"), "");
  gateway_->AddParameter("@title", Variant("Half"));
  EXPECT_NE(Execute(false, rows), "");
  EXPECT_FALSE(gateway_->InTransaction());
  EXPECT_EQ(QueryText(path_, "select count(*) from ref_document"), "3");

  gateway_->BeginTransaction();
  ASSERT_EQ(gateway_->PrepareProcedure("sp_insert_ref_document"), "");
  gateway_->AddParameter("@Title", Variant("Kept"));
  ASSERT_EQ(Execute(false, rows), "");
  gateway_->EndTransaction(true);
  EXPECT_EQ(QueryText(path_, "select count(*) from ref_document where title = 'Kept'"), "1");
}

TEST_F(EngineTest, ReadingProceduresDoNotWaitForAnotherUnitOfWork) {
  std::shared_ptr<Recordset> rs;
  gateway_->BeginTransaction();
  ASSERT_EQ(gateway_->OpenRecordset("exec sp_update_table 'ref_document', 'title', 1, 'Uncommitted'", rs, 0, true),
            "");
  sqlite::Engine reader;
  ASSERT_TRUE(reader.Open(path_));
  ASSERT_EQ(reader.OpenRecordset("exec sp_get_document 1", rs, 0, true), "");
  EXPECT_EQ(rs->Collect("title"), Variant("First report"));
  gateway_->EndTransaction(true);
  ASSERT_EQ(reader.OpenRecordset("exec sp_get_document 1", rs, 0, true), "");
  EXPECT_EQ(rs->Collect("title"), Variant("Uncommitted"));
}

TEST(EngineConcurrency, TwoGatewaysInTwoThreadsLoseNoRows) {
  TempDir dir;
  const std::string path = dir.File("office.db");
  CreateOfficeDatabase(path);
  constexpr int kRows = 150;
  std::atomic<int> failures{0};
  auto worker = [&](int thread) {
    auto gateway = CreateDefaultGateway();
    if (!Connect(*gateway, path)) {
      ++failures;
      return;
    }
    for (int i = 0; i < kRows; ++i) {
      try {
        gateway->BeginTransaction();
        std::shared_ptr<Recordset> rows;
        std::int32_t affected = 0;
        gateway->PrepareProcedure("sp_insert_ref_document");
        gateway->AddParameter("@Title", Variant("t" + std::to_string(thread) + "-" + std::to_string(i)));
        gateway->AddParameter("@Doc_year", Variant(std::int32_t{thread}));
        if (!gateway->ExecuteProcedure(affected, false, rows, 0).empty()) ++failures;
        // A read inside the unit sees its own write.
        if (!gateway->OpenRecordset("select count(*) from ref_document", rows, 0, true).empty()) ++failures;
        gateway->EndTransaction(true);
      } catch (const std::exception&) {
        ++failures;
      }
    }
  };
  std::thread a(worker, 1), b(worker, 2);
  a.join();
  b.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(QueryText(path, "select count(*) from ref_document where doc_year in (1, 2)"), std::to_string(2 * kRows));
  EXPECT_EQ(QueryText(path, "select count(distinct title) from ref_document where doc_year in (1, 2)"),
            std::to_string(2 * kRows));
}

TEST_F(EngineTest, GeneralUpdateAndDeleteCheckNamesAndConvertValues) {
  std::shared_ptr<Recordset> rows;
  auto update = [&](const Variant& table, const Variant& column, const Variant& id, const Variant& value) {
    EXPECT_EQ(gateway_->PrepareProcedure("sp_update_table"), "");
    gateway_->AddParameter("@table", table);
    gateway_->AddParameter("@column", column);
    gateway_->AddParameter("@unique_id", id);
    gateway_->AddParameter("@value", value);
    return Execute(false, rows);
  };
  const Variant two(std::int32_t{2});
  // Values arrive as the library's text of them and go back to the column's type.
  EXPECT_EQ(update("ref_document", "DUE_DATE", two, "3/4/2005"), "");
  EXPECT_EQ(update("REF_DOCUMENT", "due_date", Variant(std::int32_t{3}), "12/31/2006 11:05:00 PM"), "");
  EXPECT_EQ(update("ref_document", "amount_due", two, "1234.5"), "");
  EXPECT_EQ(update("ref_document", "is_amendment", two, "1"), "");
  EXPECT_EQ(update("ref_document", "doc_year", two, "2007"), "");
  EXPECT_EQ(update("ref_document", "org_id", two, Variant::Null()), "");
  EXPECT_EQ(update("ref_document", "title", two, "O'Brien's letter"), "");
  EXPECT_EQ(QueryText(path_, "select due_date || '|' || amount_due || '|' || is_amendment || '|' || doc_year || "
                             "'|' || ifnull(org_id, 'null') || '|' || title from ref_document where unique_id = 2"),
            "2005-03-04 00:00:00|1234.5|1|2007|null|O'Brien's letter");
  EXPECT_EQ(QueryText(path_, "select due_date from ref_document where unique_id = 3"), "2006-12-31 23:05:00");

  // Unknown names and unconvertible values are refused; nothing is changed.
  std::string error = update("ref_document", "no_column", two, "x");
  EXPECT_NE(error.find("no_column"), std::string::npos) << error;
  error = update("ref_document", "title = 'hacked' where 1 = 1 --", two, "x");
  EXPECT_NE(error, "");
  error = update("no_table", "title", two, "x");
  EXPECT_NE(error.find("no_table"), std::string::npos) << error;
  EXPECT_NE(update("ref_document", "due_date", two, "not a date"), "");
  EXPECT_NE(update("ref_document", "doc_year", two, "abc"), "");
  EXPECT_NE(update("ref_document", "title", Variant(std::int32_t{404}), "x"), "");
  EXPECT_EQ(QueryText(path_, "select count(*) from ref_document where title = 'hacked' or title = 'x'"), "0");
  EXPECT_EQ(QueryText(path_, "select due_date || doc_year from ref_document where unique_id = 2"),
            "2005-03-04 00:00:002007");

  ASSERT_EQ(gateway_->PrepareProcedure("sp_delete_table"), "");
  gateway_->AddParameter("@table", Variant("ref_document"));
  gateway_->AddParameter("@unique_id", Variant("2"));
  std::int32_t affected = 0;
  ASSERT_EQ(gateway_->ExecuteProcedure(affected, false, rows, 0), "");
  EXPECT_EQ(affected, 1);
  EXPECT_EQ(QueryText(path_, "select count(*) from ref_document where unique_id = 2"), "0");
}

TEST_F(EngineTest, SqlSafeTextKeepsApostrophesInsideTheLiteral) {
  EXPECT_EQ(gateway_->SqlSafeText("O'Malley"), "O''Malley");
  EXPECT_EQ(CreateDefaultGateway()->SqlSafeText("''"), "''''");
  for (const std::string name : {"O'Malley", "x'; delete from ref_document; --", "'"}) {
    std::shared_ptr<Recordset> rows;
    ASSERT_EQ(gateway_->PrepareProcedure("sp_insert_ref_document"), "");
    gateway_->AddParameter("@Title", Variant(name));
    ASSERT_EQ(Execute(false, rows), "");
    auto rs = Open("select title from ref_document where title = '" + gateway_->SqlSafeText(name) + "'");
    ASSERT_EQ(rs->RecordCount(), 1) << name;
    EXPECT_EQ(rs->Collect("title"), Variant(name));
  }
  EXPECT_EQ(QueryText(path_, "select count(*) from ref_document"), "6");
}

}  // namespace
}  // namespace tarnwick
