// What only the embedded engine does with an office file: refusing a server
// name, the types it gives columns the file declares loosely, the values it
// stores, readers that never wait for a writer, and two threads writing at
// once. What both engines do alike is in tests/gateway/engines/; files that
// are no usable office are in tests/reliability/bad_files_test.cpp.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "gateway/sqlite/engine.hpp"
#include "support/engine_office.hpp"
#include "tarnwick/gateway.hpp"
#include "tarnwick/recordset.hpp"

namespace tarnwick::test {
namespace {

bool Connect(DataGateway& gateway, const std::string& path, const std::string& server = "") {
  return gateway.SetConnection(path, server, "", "", false, 0, "", "");
}

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.File("office.db");
    CreateEngineOffice(path_);
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

TEST_F(EngineTest, AServerNameIsRefusedAndLeavesNoConnection) {
  std::shared_ptr<Recordset> rs;
  auto fresh = CreateDefaultGateway();
  EXPECT_EQ(fresh->OpenRecordset("select 1", rs, 0, true), "Not connected to a database");
  EXPECT_EQ(fresh->PrepareProcedure("sp_x"), "Not connected to a database");
  EXPECT_FALSE(fresh->InTransaction());
  EXPECT_FALSE(Connect(*fresh, ""));
  EXPECT_FALSE(Connect(*gateway_, path_, "dbserver.office.example:1433"));
  EXPECT_EQ(gateway_->OpenRecordset("select 1", rs, 0, true), "Not connected to a database");
  ASSERT_TRUE(Connect(*gateway_, path_, "EMBEDDED"));
  EXPECT_EQ(gateway_->OpenRecordset("select 1", rs, 0, true), "");
}

TEST_F(EngineTest, LooselyDeclaredColumnsGetTheOfficeTypes) {
  // A view keeps the table's declared types; Nulls stay Null.
  auto rs = Open("select * from vw_document where unique_id = 3");
  ASSERT_EQ(rs->Columns().size(), 5u);
  EXPECT_EQ(rs->Columns()[2].type, DataType::Boolean);
  EXPECT_EQ(rs->Columns()[3].type, DataType::Currency);
  EXPECT_EQ(rs->Columns()[4].type, DataType::DBTimeStamp);
  EXPECT_TRUE(rs->Collect("amount_due").IsNull());
  EXPECT_EQ(rs->Collect("is_amendment"), Variant(false));
  // Expressions take their type from their values; a date expression stays a date.
  rs = Open("select count(*) as n, max(due_date) as latest, sum(score) as total, null as nothing from ref_document");
  EXPECT_EQ(rs->Columns()[0].type, DataType::Integer);
  EXPECT_EQ(rs->Columns()[1].type, DataType::DBTimeStamp);
  EXPECT_EQ(rs->Collect("latest").Type(), VarType::Date);
  EXPECT_EQ(rs->Columns()[2].type, DataType::Double);
  EXPECT_EQ(rs->Collect("total"), Variant(1.75));
  EXPECT_TRUE(rs->Collect("nothing").IsNull());
  // A misspelt bracketed name (written in double quotes for SQLite) is no
  // column, not the text of its spelling.
  std::shared_ptr<Recordset> untouched = rs;
  const std::string error =
      gateway_->OpenRecordset("select [doc titel] from ref_document where [doc titel] = 'doc titel'", untouched, 0, true);
  EXPECT_NE(error.find("no such column: doc titel"), std::string::npos) << error;
  ASSERT_NE(untouched, rs) << "a failed query leaves no earlier rows current";
  EXPECT_EQ(untouched->State(), ObjectState::Closed);
}

TEST_F(EngineTest, ProcedureInputsAreStoredInTheColumnsFormOrRefusedByName) {
  ASSERT_EQ(gateway_->PrepareProcedure("SP_Insert_Ref_Document"), "");
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
  gateway_->FinishProcedure();
  EXPECT_EQ(FileText(path_, "select doc_year || '|' || is_amendment || '|' || amount_due || '|' || due_date || "
                            "'|' || typeof(page_image) || length(page_image) from ref_document where unique_id = 4"),
            "2006|1|0.0025|2005-03-04 14:30:00|blob0");
  // A value that does not convert fails the call, naming the parameter, and stores nothing.
  ASSERT_EQ(gateway_->PrepareProcedure("sp_insert_ref_document"), "");
  gateway_->AddParameter("@Title", Variant("Bad year"));
  gateway_->AddParameter("@Doc_year", Variant("MMVI"));
  const std::string error = Execute(false, rows);
  EXPECT_NE(error.find("@Doc_year"), std::string::npos) << error;
  Variant id;
  ASSERT_EQ(gateway_->GetParameter("@Unique_id", id), "");
  EXPECT_TRUE(id.IsNull());
  EXPECT_EQ(FileText(path_, "select count(*) from ref_document"), "4");
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
  CreateEngineOffice(path);
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
  EXPECT_EQ(FileText(path, "select count(*) from ref_document where doc_year in (1, 2)"), std::to_string(2 * kRows));
  EXPECT_EQ(FileText(path, "select count(distinct title) from ref_document where doc_year in (1, 2)"),
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
  EXPECT_EQ(FileText(path_, "select due_date || '|' || amount_due || '|' || is_amendment || '|' || doc_year || "
                             "'|' || ifnull(org_id, 'null') || '|' || title from ref_document where unique_id = 2"),
            "2005-03-04 00:00:00|1234.5|1|2007|null|O'Brien's letter");
  EXPECT_EQ(FileText(path_, "select due_date from ref_document where unique_id = 3"), "2006-12-31 23:05:00");

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
  EXPECT_EQ(FileText(path_, "select count(*) from ref_document where title = 'hacked' or title = 'x'"), "0");
  EXPECT_EQ(FileText(path_, "select due_date || doc_year from ref_document where unique_id = 2"),
            "2005-03-04 00:00:002007");

  ASSERT_EQ(gateway_->PrepareProcedure("sp_delete_table"), "");
  gateway_->AddParameter("@table", Variant("ref_document"));
  gateway_->AddParameter("@unique_id", Variant("2"));
  std::int32_t affected = 0;
  ASSERT_EQ(gateway_->ExecuteProcedure(affected, false, rows, 0), "");
  EXPECT_EQ(affected, 1);
  EXPECT_EQ(FileText(path_, "select count(*) from ref_document where unique_id = 2"), "0");
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
  EXPECT_EQ(FileText(path_, "select count(*) from ref_document"), "6");
}

}  // namespace
}  // namespace tarnwick::test
