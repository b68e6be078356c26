// The embedded engine on an office file. What only it does: refusing a
// server name, the types it gives columns the file declares loosely, the form
// values take in the file (its own general update and delete included),
// readers that never wait for a writer, and two threads writing at once. What
// it keeps between calls must never outlive what it describes: procedures
// redefined, tables altered and catalog rows removed, by this connection or
// another, are seen on the next call. (That every procedure of the office's
// catalog is accepted is in tests/office/ and tests/office_server/.) Values
// between the file and Variants: ISO dates and the forms a value takes in a
// column of each kind. (Procedure parameter lists are read in tests/office/.) What both engines do alike is in tests/gateway/engines/;
// files that are no usable office are in tests/reliability/bad_files_test.cpp.

#include <thread>
#include <utility>

#include "gateway/sqlite/engine.hpp"
#include "gateway/sqlite/engine_cache.hpp"
#include "gateway/sqlite/procedure.hpp"
#include "gateway/sqlite/values.hpp"
#include "runtime/dates.hpp"
#include "support/engine_office.hpp"
#include "tarnwick/gateway.hpp"
#include "tarnwick/recordset.hpp"

namespace tarnwick::test {
namespace {

using namespace sqlite;
using namespace sqlite::engine_detail;

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
  const auto update = [](const char* column, const Variant& value, std::int32_t id = 2,
                         const char* table = "ref_document") {
    return Inputs{{"@table", Variant(table)}, {"@column", Variant(column)}, {"@unique_id", Variant(id)},
                  {"@value", value}};
  };
  // The call, a part of its error text (empty: it succeeds), and what the file holds after it: the value of
  // an expression on the document rows chosen.
  struct Case {
    std::string procedure = "sp_update_table";
    Inputs inputs;
    std::string error = "", value = "", where = "unique_id = 2", stored = "";
  };
  const Case cases[] = {
      {.procedure = "SP_Insert_Ref_Document",
       .inputs = {{"@title", Variant("O'Malley for Council")}, {"@Doc_year", Variant("2,006")},
                  {"@Is_amendment", Variant("True")}, {"@amount_due", Variant(Currency{25})},
                  {"@due_date", Variant("3/4/2005 2:30:00 PM")}, {"@page_image", Variant(Bytes{})}},
       .value = "doc_year || '|' || is_amendment || '|' || amount_due || '|' || due_date || '|' || "
                "typeof(page_image) || length(page_image) || title",
       .where = "unique_id = 4", .stored = "2006|1|0.0025|2005-03-04 14:30:00|blob0O'Malley for Council"},
      {.procedure = "sp_insert_ref_document",
       .inputs = {{"@Title", Variant("Bad year")}, {"@Doc_year", Variant("MMVI")}},
       .error = "@Doc_year", .value = "count(*)", .where = "1 = 1", .stored = "4"},
      {.procedure = "sp_insert_ref_document",
       .inputs = {{"@Title", Variant("Bad date")}, {"@due_date", Variant("2/30/2004")}},
       .error = "@due_date", .value = "count(*)", .where = "1 = 1", .stored = "4"},
      {.procedure = "sp_insert_ref_document",
       .inputs = {{"@Title", Variant(std::string(201, 'x'))}},
       .error = "@Title (varchar(200)): a text of 201 characters", .value = "count(*)", .where = "1 = 1", .stored = "4"},
      {.inputs = update("DUE_DATE", Variant("3/4/2005"), 2, "REF_DOCUMENT"), .value = "due_date",
       .stored = "2005-03-04 00:00:00"},
      {.inputs = update("org_id", Variant::Null()), .value = "ifnull(org_id, 'null')", .stored = "null"},
      {.inputs = update("title", Variant("O'Brien's letter")), .value = "title", .stored = "O'Brien's letter"},
      {.inputs = update("no_column", Variant("x")), .error = "no_column"},
      {.inputs = update("title", Variant("x"), 2, "no_table"), .error = "no_table"},
      {.inputs = update("title = 'hacked' where 1 = 1 --", Variant("x")), .error = "title = 'hacked'",
       .value = "count(*)", .where = "title = 'hacked'", .stored = "0"},
      {.inputs = update("due_date", Variant("not a date")), .error = "due_date", .value = "due_date",
       .stored = "2005-03-04 00:00:00"},
      {.inputs = update("title", Variant("x"), 404), .error = "404", .value = "count(*)", .where = "title = 'x'", .stored = "0"},
      {.procedure = "sp_delete_table", .inputs = {{"@table", Variant("ref_document")}, {"@unique_id", Variant("2")}},
       .value = "count(*)", .stored = "0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.procedure + " " + (c.inputs.size() > 1 ? c.inputs[1].second.CStr() : ""));
    ASSERT_EQ(gateway_->PrepareProcedure(c.procedure), "");
    for (const auto& [name, value] : c.inputs) ASSERT_EQ(gateway_->AddParameter(name, value), "");
    std::shared_ptr<Recordset> rows;
    std::int32_t affected = -1;
    const std::string error = gateway_->ExecuteProcedure(affected, false, rows, 0);
    EXPECT_TRUE(c.error.empty() ? error.empty() && affected == 1 : error.find(c.error) != std::string::npos)
        << error << " (" << affected << " rows)";
    EXPECT_EQ(rows, nullptr);
    EXPECT_EQ(c.value.empty() ? "" : Db(path_).Text("select " + c.value + " from ref_document where " + c.where), c.stored);
  }
}

TEST_F(EngineTest, ReadingProceduresDoNotWaitForAnotherUnitOfWork) {
  std::shared_ptr<Recordset> rs;
  gateway_->BeginTransaction();
  ASSERT_EQ(gateway_->OpenRecordset("exec sp_update_table 'ref_document', 'title', 1, 'Uncommitted'", rs, 0, true), "");
  sqlite::Engine reader;
  ASSERT_TRUE(reader.Open(path_));
  ASSERT_EQ(reader.OpenRecordset("exec sp_get_document 1", rs, 0, true), "");
  EXPECT_EQ(rs->Collect("title"), Variant("First report"));
  gateway_->EndTransaction(true);
  ASSERT_EQ(reader.OpenRecordset("exec sp_get_document 1", rs, 0, true), "");
  EXPECT_EQ(rs->Collect("title"), Variant("Uncommitted"));
}

TEST_F(EngineTest, TwoGatewaysInTwoThreadsLoseNoRows) {
  constexpr int kRows = 150;
  std::atomic<int> failures{0};
  auto worker = [&](int thread) {
    auto gateway = CreateDefaultGateway();
    if (!Connect(*gateway, path_)) ++failures;
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
  { const std::jthread a(worker, 1), b(worker, 2); }  // both joined here
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(FileText(path_, "select count(distinct title) from ref_document where doc_year in (1, 2)"),
            std::to_string(2 * kRows));
}

// One text a step, after what another workstation changed in the file first.
// Keyed loads run on one kept statement with the key bound: each must still
// find its own rows, and a fault reads as for the text as written.
TEST_F(EngineTest, EachCallSeesTheFileAsItIsNow) {
  // Each step: what another connection runs first, the text, a part of its error text (empty: the text
  // runs), the first value of its first row and its numbers of rows and columns (when given).
  struct Step {
    const char* elsewhere = nullptr;
    std::string text, error = "", first = "";
    int rows = -1, columns = -1;
  };
  const std::string bad_load = "select * from ref_documents where unique_id = 4";
  const Step steps[] = {
      {.text = "select * from ref_document where unique_id = 2", .first = "2", .rows = 1, .columns = 10},
      {.text = "select * from vw_document where unique_id = 3", .first = "3", .rows = 1, .columns = 5},
      {.text = "select * from ref_document where unique_id = -1", .rows = 0},
      {.text = bad_load,
       .error = "OpenRecordset \"" + bad_load + "\": the text, statement 1 "
                "\"SELECT * FROM ref_documents WHERE unique_id = 4\": no such table: ref_documents"},
      {.text = "exec sp_get_document 2", .first = "2", .rows = 1, .columns = 3},
      // A procedure redefined, removed, put back and broken elsewhere.
      {.elsewhere = "update tw_procedure set parameters = '@year smallint', body = 'select doc_year, unique_id "
                    "from ref_document where doc_year = @year order by unique_id' where name = 'sp_get_document'",
       .text = "exec sp_get_document 2005", .first = "2005", .rows = 2, .columns = 2},
      {.elsewhere = "delete from tw_procedure where name = 'sp_get_document'",
       .text = "exec sp_get_document 2005", .error = "No stored procedure named 'sp_get_document'"},
      {.elsewhere = "insert into tw_procedure (name, parameters, body) values ('sp_get_document', '@id int', "
                    "'select title from ref_document where unique_id = @id')",
       .text = "exec sp_get_document 3", .first = "Amended report"},
      {.elsewhere = "update tw_procedure set parameters = '@id int = 4' where name = 'sp_get_document'",
       .text = "exec sp_get_document 3", .error = "default values are not supported"},
      // A table altered: its kept statements and the general update learn the new column.
      {.text = "exec sp_update_table 'ref_document', 'title', 2, 'Letter, revised'"},
      {.text = "exec sp_count_titles '%report%'", .first = "1", .rows = 2},
      {.elsewhere = "alter table ref_document add column filer_note varchar(40)",
       .text = "select * from ref_document where unique_id = 2", .columns = 11},
      {.text = "exec sp_update_table 'ref_document', 'filer_note', 2, 'late'"},
      {.text = "select filer_note + '|' + title from ref_document where unique_id = 2", .first = "late|Letter, revised"},
      // A column a kept statement uses goes away: a clear error, and the engine goes on.
      {.elsewhere = "drop view vw_document; alter table ref_document drop column due_date",
       .text = "exec sp_count_titles '%report%'", .error = "due_date"},
      {.text = "exec sp_update_table 'ref_document', 'due_date', 2, '1/2/2005'",
       .error = "sp_update_table: table 'ref_document' has no column 'due_date'"},
      {.text = "exec sp_update_table 'ref_document', 'filer_note', 2, 'on time'"},
  };
  sqlite::Engine engine;
  ASSERT_TRUE(engine.Open(path_)) << engine.LastError();
  Db other(path_, true);
  for (const Step& s : steps) {
    SCOPED_TRACE(s.text);
    if (s.elsewhere) other.Exec(s.elsewhere);
    std::shared_ptr<Recordset> rs;
    const std::string error = engine.OpenRecordset(s.text, rs, 0, true);
    if (!s.error.empty()) {
      EXPECT_NE(error.find(s.error), std::string::npos) << error;
      continue;
    }
    ASSERT_EQ(error, "");
    if (s.rows >= 0) { EXPECT_EQ(rs->RecordCount(), s.rows); }
    if (s.columns >= 0) { EXPECT_EQ(rs->Columns().size(), static_cast<std::size_t>(s.columns)); }
    if (!s.first.empty()) { EXPECT_EQ(rs->Fields().Item(0).Value().CStr(), s.first); }
  }
  // The unit of work a failed call ran in is over: a new one can begin and roll back.
  EXPECT_FALSE(engine.InTransaction());
  engine.BeginTransaction();
  std::shared_ptr<Recordset> rs;
  EXPECT_EQ(engine.OpenRecordset("exec sp_update_table 'ref_document', 'filer_note', 2, 'undone'", rs, 0, true), "");
  engine.EndTransaction(false);
  EXPECT_EQ(FileText(path_, "select filer_note from ref_document where unique_id = 2"), "on time");
}

TEST(StatementCache, KeyedLoadTextBindsOnlyTheKeyOfAPlainKeyedLoad) {
  const auto load = KeyedLoadText("SELECT * FROM ref_document WHERE unique_id = 42");
  ASSERT_TRUE(load);
  EXPECT_EQ(load->sql, "SELECT * FROM ref_document WHERE unique_id = ?1");
  EXPECT_EQ(load->key, 42);
  EXPECT_EQ(KeyedLoadText("SELECT * FROM t2 WHERE c_1 = -7")->key, -7);
  for (const char* other :
       {"SELECT * FROM t WHERE a = 1 ORDER BY 1", "SELECT * FROM t WHERE a = 1 AND b = 2", "SELECT * FROM t WHERE a = 1.5",
        "SELECT * FROM t WHERE a = 1e5", "SELECT * FROM t WHERE a = '1'", "SELECT * FROM t WHERE a = 1234567890123456789",
        "SELECT * FROM t WHERE \"a b\" = 1", "SELECT a FROM t WHERE a = 1", "SELECT * FROM t WHERE a = -",
        "SELECT * FROM t WHERE 1 = a", "SELECT * FROM t LIMIT 5", "SELECT * FROM t WHERE a IS NULL"}) {
    EXPECT_FALSE(KeyedLoadText(other)) << other;
  }
}

TEST(StatementCache, LendsEachStatementToOneUseAndKeepsOnlySoMany) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
  StatementLease survivor;  // outlives the cache that lent it
  {
    StatementCache cache(2);
    const std::string text = "select ?1; select 2";
    StatementLease outer, inner;
    std::size_t taken = 0;
    ASSERT_EQ(cache.Prepare(db, text, outer, taken), SQLITE_OK);
    EXPECT_EQ(text.substr(0, taken), "select ?1;");
    sqlite3_bind_int(outer.get(), 1, 7);
    ASSERT_EQ(sqlite3_step(outer.get()), SQLITE_ROW);
    // The same text while the first is still stepping: a statement of its own.
    ASSERT_EQ(cache.Prepare(db, text, inner, taken), SQLITE_OK);
    EXPECT_NE(inner.get(), outer.get());
    inner.Release();
    // Given back, the kept statement comes again reset and unbound.
    sqlite3_stmt* kept = outer.get();
    outer.Release();
    ASSERT_EQ(cache.Prepare(db, text, outer, taken), SQLITE_OK);
    EXPECT_EQ(outer.get(), kept);
    ASSERT_EQ(sqlite3_step(outer.get()), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_type(outer.get(), 0), SQLITE_NULL);
    // Forgotten while lent (the cache is full): still usable until given back.
    StatementLease a;
    ASSERT_EQ(cache.Prepare(db, "select 'a'", a, taken), SQLITE_OK);
    ASSERT_EQ(cache.Prepare(db, "select 'b'", survivor, taken), SQLITE_OK);
    EXPECT_EQ(cache.Size(), 2u);
    sqlite3_reset(outer.get());
    ASSERT_EQ(sqlite3_step(outer.get()), SQLITE_ROW);
    outer.Release();
    EXPECT_EQ(cache.Execute(db, "insert into nowhere values (1)"), "no such table: nowhere");
    a.Release();
  }
  // A statement still lent when the cache went is finalized by its lease.
  ASSERT_EQ(sqlite3_step(survivor.get()), SQLITE_ROW);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(sqlite3_column_text(survivor.get(), 0))), "b");
  survivor.Release();
  EXPECT_EQ(sqlite3_close(db), SQLITE_OK);  // nothing left unfinalized
}

TEST(EngineValues, IsoDatesReadAsTheRuntimeCountsThem) {
  // Before 1899-12-30 the serial is negative with a positive time of day.
  for (const dates::Civil& c : {dates::Civil{1899, 12, 29, 12, 0, 0}, dates::Civil{2000, 2, 29, 23, 59, 59},
                                dates::Civil{100, 1, 1}, dates::Civil{9999, 12, 31, 23, 59, 59}}) {
    const std::string iso = dates::IsoText(dates::FromCivil(c));
    const auto parsed = ParseIsoDate(iso);
    ASSERT_TRUE(parsed) << iso;
    EXPECT_NEAR(parsed->serial, dates::FromCivil(c).serial, 1e-9) << iso;
  }
  // Which texts are ISO dates at all is the runtime's reader's (tests/runtime); only years before 100 are refused here.
  EXPECT_FALSE(ParseIsoDate("0099-12-31"));
}

TEST(EngineValues, ValuesConvertToWhatTheColumnStoresOrAreRefused) {
  // Only the empty text converts (to Null but for text); the rest are refused.
  for (const auto& [value, kind] : {std::pair{Variant(""), SqlKind::Int}, {Variant("40000"), SqlKind::SmallInt},
                                    {Variant("Yes"), SqlKind::Bit}, {Variant("abc"), SqlKind::Binary},
                                    {Variant(Bytes{1}), SqlKind::Int}}) {
    SqlValue out;
    const bool refused = !ToSqlValue(value, kind, out).empty();
    EXPECT_EQ(refused, value.Type() != VarType::String || !value.CStr().empty()) << value.CStr();
    if (!refused) { EXPECT_EQ(out.storage, SqlValue::Storage::Null); }
  }
  EXPECT_EQ(KindOfDeclaredType("money not null"), SqlKind::Money);
  EXPECT_EQ(KindOfDeclaredType("unsigned big int"), SqlKind::Int);
}

}  // namespace
}  // namespace tarnwick::test
