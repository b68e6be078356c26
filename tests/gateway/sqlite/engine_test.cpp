// What only the embedded engine does with an office file: refusing a server
// name, the types it gives columns the file declares loosely, the form values
// take in the file (its own general update and delete included), readers that
// never wait for a writer, and two threads writing at once. What both engines
// do alike is in tests/gateway/engines/; files that are no usable office are
// in tests/reliability/bad_files_test.cpp.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

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
  TempDir dir_;
  std::string path_;
  std::unique_ptr<DataGateway> gateway_;
};

TEST_F(EngineTest, AServerNameIsRefusedAndLeavesNoConnection) {
  std::shared_ptr<Recordset> rs;
  EXPECT_EQ(CreateDefaultGateway()->OpenRecordset("select 1", rs, 0, true), "Not connected to a database");
  EXPECT_FALSE(Connect(*gateway_, path_, "dbserver.office.example:1433"));
  EXPECT_EQ(gateway_->PrepareProcedure("sp_x"), "Not connected to a database");
  ASSERT_TRUE(Connect(*gateway_, path_, "EMBEDDED"));
  EXPECT_EQ(gateway_->OpenRecordset("select 1", rs, 0, true), "");
}

TEST_F(EngineTest, LooselyDeclaredColumnsGetTheOfficeTypes) {
  // A view keeps the table's declared types; an expression takes its type
  // from its values, and a date expression stays a date.
  const auto types = [this](const char* sql) {
    std::shared_ptr<Recordset> rs;
    EXPECT_EQ(gateway_->OpenRecordset(sql, rs, 0, true), "") << sql;
    std::vector<DataType> out;
    for (const auto& column : rs->Columns()) out.push_back(column.type);
    return out;
  };
  using enum DataType;
  EXPECT_EQ(types("select is_amendment, amount_due, due_date from vw_document"),
            (std::vector<DataType>{Boolean, Currency, DBTimeStamp}));
  EXPECT_EQ(types("select count(*), max(due_date), sum(score) from ref_document"),
            (std::vector<DataType>{Integer, DBTimeStamp, Double}));
  // A misspelt bracketed name (written in double quotes for SQLite) is no
  // column, not the text of its spelling; the failure leaves no rows current.
  auto earlier = Recordset::Create();
  auto rs = earlier;
  const std::string error =
      gateway_->OpenRecordset("select [doc titel] from ref_document where [doc titel] = 'doc titel'", rs, 0, true);
  EXPECT_NE(error.find("no such column: doc titel"), std::string::npos) << error;
  ASSERT_NE(rs, earlier);
  EXPECT_EQ(rs->State(), ObjectState::Closed);
}

// Inputs arrive in many forms and are stored in the column's; a value that
// does not convert, an unknown table or column, or a name that is SQL is
// refused with its name and changes nothing.
TEST_F(EngineTest, ProcedureInputsAreStoredInTheColumnsFormOrRefusedByName) {
  using Inputs = std::vector<std::pair<std::string, Variant>>;
  const auto update = [](const char* table, const char* column, std::int32_t id, const Variant& value) {
    return Inputs{{"@table", Variant(table)}, {"@column", Variant(column)}, {"@unique_id", Variant(id)},
                  {"@value", value}};
  };
  struct Case {
    std::string procedure;
    Inputs inputs;
    std::string error = "";  // a part of the error text; empty: the call succeeds
    std::string check = "", stored = "";
  };
  const Case cases[] = {
      {.procedure = "SP_Insert_Ref_Document",
       .inputs = {{"@title", Variant("O'Malley for Council")}, {"@Doc_year", Variant("2,006")},
                  {"@Is_amendment", Variant("True")}, {"@amount_due", Variant(Currency{25})},
                  {"@due_date", Variant("3/4/2005 2:30:00 PM")}, {"@page_image", Variant(Bytes{})}},
       .check = "doc_year || '|' || is_amendment || '|' || amount_due || '|' || due_date || '|' || "
                "typeof(page_image) || length(page_image) || title from ref_document where unique_id = 4",
       .stored = "2006|1|0.0025|2005-03-04 14:30:00|blob0O'Malley for Council"},
      {.procedure = "sp_insert_ref_document",
       .inputs = {{"@Title", Variant("Bad year")}, {"@Doc_year", Variant("MMVI")}},
       .error = "@Doc_year", .check = "count(*) from ref_document", .stored = "4"},
      {.procedure = "sp_update_table", .inputs = update("REF_DOCUMENT", "DUE_DATE", 2, Variant("3/4/2005")),
       .check = "due_date from ref_document where unique_id = 2", .stored = "2005-03-04 00:00:00"},
      {.procedure = "sp_update_table", .inputs = update("ref_document", "org_id", 2, Variant::Null()),
       .check = "ifnull(org_id, 'null') from ref_document where unique_id = 2", .stored = "null"},
      {.procedure = "sp_update_table", .inputs = update("ref_document", "title", 2, Variant("O'Brien's letter")),
       .check = "title from ref_document where unique_id = 2", .stored = "O'Brien's letter"},
      {.procedure = "sp_update_table", .inputs = update("ref_document", "no_column", 2, Variant("x")),
       .error = "no_column"},
      {.procedure = "sp_update_table", .inputs = update("no_table", "title", 2, Variant("x")), .error = "no_table"},
      {.procedure = "sp_update_table",
       .inputs = update("ref_document", "title = 'hacked' where 1 = 1 --", 2, Variant("x")),
       .error = "title = 'hacked'", .check = "count(*) from ref_document where title = 'hacked'", .stored = "0"},
      {.procedure = "sp_update_table", .inputs = update("ref_document", "due_date", 2, Variant("not a date")),
       .error = "due_date", .check = "due_date from ref_document where unique_id = 2", .stored = "2005-03-04 00:00:00"},
      {.procedure = "sp_update_table", .inputs = update("ref_document", "title", 404, Variant("x")), .error = "404",
       .check = "count(*) from ref_document where title = 'x'", .stored = "0"},
      {.procedure = "sp_delete_table",
       .inputs = {{"@table", Variant("ref_document")}, {"@unique_id", Variant("2")}},
       .check = "count(*) from ref_document where unique_id = 2", .stored = "0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.procedure + " " + (c.inputs.size() > 1 ? c.inputs[1].second.CStr() : ""));
    ASSERT_EQ(gateway_->PrepareProcedure(c.procedure), "");
    for (const auto& [name, value] : c.inputs) ASSERT_EQ(gateway_->AddParameter(name, value), "");
    std::shared_ptr<Recordset> rows;
    std::int32_t affected = -1;
    const std::string error = gateway_->ExecuteProcedure(affected, false, rows, 0);
    if (c.error.empty()) {
      EXPECT_EQ(error, "");
      EXPECT_EQ(affected, 1);
    } else {
      EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
    EXPECT_EQ(rows, nullptr);
    if (!c.check.empty()) { EXPECT_EQ(FileText(path_, "select " + c.check), c.stored); }
  }
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
    if (!Connect(*gateway, path)) ++failures;
    for (int i = 0; i < kRows && failures == 0; ++i) {
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
  EXPECT_EQ(FileText(path, "select count(distinct title) from ref_document where doc_year in (1, 2)"),
            std::to_string(2 * kRows));
}

}  // namespace
}  // namespace tarnwick::test
