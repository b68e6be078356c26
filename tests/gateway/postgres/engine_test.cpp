// The office server engine on a small office database: connecting, typing
// result columns, the T-SQL meanings the renderer keeps, procedure calls,
// units of work, forward-only reading and a connection the server drops.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "gateway/postgres/engine.hpp"
#include "server_db.hpp"
#include "tarnwick/error.hpp"

namespace tarnwick::testing {
namespace {

using postgres::Engine;

class PostgresEngine : public ServerDbSuite {
 protected:
  void SetUp() override {
    ServerDbSuite::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_TRUE(engine_.SetConnection(database_, PgSocketServer(), PgSuperuser(), "", true, 5, "", ""))
        << engine_.LastErrorText();
  }

  std::shared_ptr<Recordset> Open(const std::string& sql) {
    std::shared_ptr<Recordset> rs;
    const std::string error = engine_.OpenRecordset(sql, rs, 0, true);
    EXPECT_EQ(error, "") << sql;
    return rs;
  }
  // The first value of the first row as the runtime writes it ("<none>" without rows).
  std::string First(const std::string& sql) {
    auto rs = Open(sql);
    if (!rs || rs->State() != ObjectState::Open) return "<closed>";
    if (rs->EndOfFile()) return "<none>";
    const Variant& v = rs->Fields().Item(0).Value();
    return v.IsNull() ? "<null>" : v.CStr();
  }
  std::vector<std::string> Column(const std::string& sql) {
    std::vector<std::string> out;
    auto rs = Open(sql);
    for (; rs && !rs->EndOfFile(); rs->MoveNext()) {
      const Variant& v = rs->Fields().Item(0).Value();
      out.push_back(v.IsNull() ? "<null>" : v.CStr());
    }
    return out;
  }

  Engine engine_;
};

TEST_F(PostgresEngine, ConnectingRefusesWhatIsNoUsableOfficeAndNeverShowsThePassword) {
  const char* user = std::getenv("TARNWICK_PG_USER");
  const char* host = std::getenv("TARNWICK_PG_HOST");
  const char* password = std::getenv("TARNWICK_PG_PASSWORD");
  Engine e;
  if (user && host && password) {
    EXPECT_FALSE(e.SetConnection(database_, host, user, std::string(password) + "x", false, 5, "", ""));
    EXPECT_NE(e.LastErrorText(), "");
    EXPECT_EQ(e.LastErrorText().find(std::string(password) + "x"), std::string::npos) << e.LastErrorText();
  }
  EXPECT_FALSE(e.SetConnection(database_ + "_missing", PgSocketServer(), PgSuperuser(), "", true, 5, "", ""));
  EXPECT_NE(e.LastErrorText().find(database_ + "_missing"), std::string::npos) << e.LastErrorText();
  EXPECT_FALSE(e.SetConnection(database_, "127.0.0.1:1", PgSuperuser(), "", true, 2, "", ""));
  // A database without the office's version row is no office.
  EXPECT_FALSE(e.SetConnection("postgres", PgSocketServer(), PgSuperuser(), "", true, 5, "", ""));
  EXPECT_NE(e.LastErrorText().find("not a filing-office database"), std::string::npos) << e.LastErrorText();
  std::shared_ptr<Recordset> rs;
  EXPECT_NE(e.OpenRecordset("select 1", rs, 0, true), "");
  ASSERT_TRUE(e.SetConnection(database_, PgSocketServer(), PgSuperuser(), "", true, 5, "", ""));
  EXPECT_EQ(e.LastErrorText(), "");
}

TEST_F(PostgresEngine, ResultColumnsAreTypedFromTheServerTypes) {
  auto rs = Open("select * from ref_document where unique_id = 1");
  ASSERT_FALSE(rs->EndOfFile());
  FieldCollection& f = rs->Fields();
  EXPECT_EQ(f.Item("doc_year").Value(), Variant(std::int16_t{2004}));
  EXPECT_EQ(f.Item("unique_id").Value(), Variant(std::int32_t{1}));
  EXPECT_EQ(f.Item("is_amendment").Value(), Variant(true));
  EXPECT_EQ(f.Item("amount_due").Value(), Variant(Currency{12345000}));
  EXPECT_EQ(f.Item("amount_due").Type(), DataType::Currency);
  EXPECT_EQ(f.Item("due_date").Value().Type(), VarType::Date);
  EXPECT_EQ(f.Item("due_date").Value().CStr(), "3/5/2004 2:30:00 PM");
  EXPECT_EQ(f.Item("page_image").Value(), Variant(Bytes{1, 2, 3, 4}));
  EXPECT_EQ(f.Item("score").Value(), Variant(0.25));
  EXPECT_EQ(f.Item("title").Value(), Variant("First report"));
  // Names come back as the text spelled them.
  auto named = Open("select Title as 'Report Title', DOC_year, rd.Unique_ID from ref_document rd where unique_id = 2");
  ASSERT_EQ(named->Columns().size(), 3u);
  EXPECT_EQ(named->Columns()[0].name, "Report Title");
  EXPECT_EQ(named->Columns()[1].name, "DOC_year");
  EXPECT_EQ(named->Columns()[2].name, "Unique_ID");
  // A query with no rows is open and empty.
  auto none = Open("select unique_id from ref_document where 1 = 0");
  EXPECT_EQ(none->State(), ObjectState::Open);
  EXPECT_TRUE(none->EndOfFile() && none->BOF());
}

TEST_F(PostgresEngine, QueriesKeepTheOfficeServersMeaning) {
  // + joins texts and adds numbers; isnull; case-blind = and like.
  EXPECT_EQ(First("select doc_type_code + '-' + title from ref_document where unique_id = 1"), "RPT-First report");
  EXPECT_EQ(First("select doc_year + 1 from ref_document where unique_id = 1"), "2005");
  EXPECT_EQ(First("select isnull(amount_due, 0) + 1 from ref_document where unique_id = 3"), "1");
  EXPECT_EQ(First("select isnull(org_id, '') from ref_document where unique_id = 3"), "0");
  EXPECT_EQ(First("select count(*) from ref_document where title = 'LETTER'"), "1");
  EXPECT_EQ(First("select count(*) from ref_document where doc_type_code + 'x' = 'rptX'"), "2");
  EXPECT_EQ(First("select count(*) from ref_document where title like '%REPORT'"), "2");
  EXPECT_EQ(First("select count(*) from ref_document where title + '' like 'f%'"), "1");
  EXPECT_EQ(First("select count(*) from ref_document where title like '[a-f]%'"), "2");
  EXPECT_EQ(First("select count(*) from ref_document where title like '[^a]%'"), "2");
  EXPECT_EQ(First("select count(*) from ref_document where title like 'First_report'"), "1");
  // Dates: texts as the clerk writes them, cast to a day, getdate.
  EXPECT_EQ(First("select count(*) from ref_document where due_date >= '3/5/2004'"), "2");
  EXPECT_EQ(First("select count(*) from ref_document where cast(due_date as date) = '3/5/2004'"), "1");
  EXPECT_EQ(First("select count(*) from ref_document where cast(due_date as date) <= '3/4/2004 2:30:00 PM'"), "0");
  EXPECT_EQ(First("select count(*) from ref_document where due_date < getdate()"), "2");
  EXPECT_EQ(First("select year(due_date) from ref_document where unique_id = 1"), "2004");
  EXPECT_EQ(First("select datediff(day, '3/1/2004', due_date) from ref_document where unique_id = 1"), "4");
  EXPECT_EQ(First("select dateadd(month, 1, due_date) from ref_document where unique_id = 1"), "4/5/2004 2:30:00 PM");
  // yes/no columns compare with 1 and 0; char(n) pads.
  EXPECT_EQ(First("select count(*) from ref_document where is_amendment = 1"), "1");
  EXPECT_EQ(First("select cast(is_amendment as char(3)) + '|' from ref_document where unique_id = 1"), "1  |");
  EXPECT_EQ(First("select len(cast(title as varchar(5))) from ref_document where unique_id = 1"), "5");
  // TOP, ORDER BY positions, NULLs first, case-blind order of a computed text.
  EXPECT_EQ(Column("select top 2 unique_id from ref_document order by 1 desc"), (std::vector<std::string>{"3", "2"}));
  EXPECT_EQ(Column("select amount_due from ref_document order by amount_due"),
            (std::vector<std::string>{"<null>", "0", "1234.5"}));
  EXPECT_EQ(Column("select title as 'T' from ref_document order by T desc"),
            (std::vector<std::string>{"Letter", "First report", "Amended report"}));
  EXPECT_EQ(Column("select case when org_id is null then 'none' else 'x' end from ref_document order by unique_id"),
            (std::vector<std::string>{"x", "x", "none"}));
  EXPECT_EQ(Column("select unique_id from ref_document where unique_id in (select unique_id from vw_document "
                   "where title like '%report') union select 9 order by 1"),
            (std::vector<std::string>{"1", "3", "9"}));
}

TEST_F(PostgresEngine, ClientTextsReadOnlyTheOfficesTablesAndViews) {
  for (const char* sql : {"select * from pg_authid", "select * from pg_catalog.pg_class", "select * from tw_nothing",
                          "select pg_terminate_backend(1)", "select nextval('ref_document_unique_id_seq')",
                          "select set_config('work_mem', '1MB', false)", "delete from ref_document",
                          "update ref_document set title = 'x'", "select 1; delete from ref_document"}) {
    std::shared_ptr<Recordset> rs;
    EXPECT_NE(engine_.OpenRecordset(sql, rs, 0, true), "") << sql;
    ASSERT_TRUE(rs);
    EXPECT_EQ(rs->State(), ObjectState::Closed) << sql;
  }
  EXPECT_EQ(Text("select count(*) from ref_document where title = 'x'"), "0");
  EXPECT_EQ(First("select count(*) from dbo.vw_document"), "3");
}

TEST_F(PostgresEngine, ProceduresTakeInputsByNameAndGiveOutputsAndRows) {
  ASSERT_EQ(engine_.PrepareProcedure("SP_INSERT_REF_DOCUMENT"), "");
  EXPECT_EQ(engine_.AddParameter("@Title", Variant("Added")), "");
  EXPECT_EQ(engine_.AddParameter("@Doc_year", Variant("2006")), "");
  EXPECT_EQ(engine_.AddParameter("@Is_amendment", Variant(true)), "");
  EXPECT_EQ(engine_.AddParameter("@amount_due", Variant(Currency{123456789})), "");
  EXPECT_EQ(engine_.AddParameter("@due_date", Variant("3/4/2005 2:30:00 PM")), "");
  EXPECT_EQ(engine_.AddParameter("@page_image", Variant(Bytes{0, 255})), "");
  EXPECT_NE(engine_.AddParameter("@nothing", Variant(1)), "");
  std::int32_t rows = 0;
  std::shared_ptr<Recordset> rs;
  ASSERT_EQ(engine_.ExecuteProcedure(rows, false, rs, 0), "");
  Variant id;
  ASSERT_EQ(engine_.GetParameter("@Unique_id", id), "");
  ASSERT_EQ(id.Type(), VarType::Long);
  const std::string where = " from ref_document where unique_id = " + id.CStr();
  EXPECT_EQ(Text("select title || doc_year || is_amendment || amount_due || due_date || encode(page_image, 'hex')" + where),
            "Added2006true12345.67892005-03-04 14:30:0000ff");
  engine_.FinishProcedure();

  // Rows through the procedure's cursor, with outputs beside them.
  ASSERT_EQ(engine_.PrepareProcedure("sp_count_titles"), "");
  ASSERT_EQ(engine_.AddParameter("@title", Variant("%REPORT")), "");
  ASSERT_EQ(engine_.ExecuteProcedure(rows, true, rs, 0), "");
  Variant count, latest, unused;
  ASSERT_EQ(engine_.GetParameter("@count", count), "");
  ASSERT_EQ(engine_.GetParameter("@latest", latest), "");
  ASSERT_EQ(engine_.GetParameter("@unused", unused), "");
  EXPECT_EQ(count, Variant(std::int32_t{2}));
  EXPECT_EQ(latest.CStr(), "3/5/2004 2:30:00 PM");
  EXPECT_TRUE(unused.IsNull());
  ASSERT_EQ(rs->RecordCount(), 2);
  EXPECT_EQ(rs->Fields().Item("title").Value(), Variant("First report"));

  // An exec text: positional arguments in the procedure's order, then by name.
  EXPECT_EQ(Column("exec sp_get_document 2"), (std::vector<std::string>{"2"}));
  EXPECT_EQ(Column("exec sp_get_document @doc_type_code = 'rpt'"), (std::vector<std::string>{"1", "3"}));
  EXPECT_EQ(Column("exec sp_get_document 2, 'RPT'"), (std::vector<std::string>{"1", "2", "3"}));
  EXPECT_NE(engine_.OpenRecordset("exec sp_get_document 1, 'x', 'y'", rs, 0, true), "");
  EXPECT_NE(engine_.OpenRecordset("exec sp_nothing", rs, 0, true), "");
  EXPECT_NE(engine_.PrepareProcedure("sp_nothing"), "");
}

TEST_F(PostgresEngine, AFailedCallUndoesOnlyItselfAndUnitsOfWorkCommitOrRollBack) {
  const std::string before = Text("select count(*) from ref_document");
  std::int32_t rows = 0;
  std::shared_ptr<Recordset> rs;
  ASSERT_EQ(engine_.PrepareProcedure("sp_fail_midway"), "");
  ASSERT_EQ(engine_.AddParameter("@title", Variant("midway")), "");
  EXPECT_NE(engine_.ExecuteProcedure(rows, false, rs, 0), "");
  EXPECT_EQ(Text("select count(*) from ref_document"), before);

  engine_.BeginTransaction();
  EXPECT_TRUE(engine_.InTransaction());
  EXPECT_THROW(engine_.BeginTransaction(), RuntimeError);
  ASSERT_EQ(engine_.PrepareProcedure("sp_insert_ref_document"), "");
  ASSERT_EQ(engine_.AddParameter("@Title", Variant("kept")), "");
  ASSERT_EQ(engine_.ExecuteProcedure(rows, false, rs, 0), "");
  // A failing call and a failing query inside the unit leave it usable.
  ASSERT_EQ(engine_.PrepareProcedure("sp_fail_midway"), "");
  EXPECT_NE(engine_.ExecuteProcedure(rows, false, rs, 0), "");
  EXPECT_NE(engine_.OpenRecordset("select cast(title as int) from ref_document", rs, 0, true), "");
  EXPECT_EQ(First("select count(*) from ref_document where title = 'KEPT'"), "1");
  EXPECT_EQ(Text("select count(*) from ref_document where title = 'kept'"), "0");  // not yet visible
  engine_.EndTransaction(true);
  EXPECT_FALSE(engine_.InTransaction());
  EXPECT_EQ(Text("select count(*) from ref_document where title = 'kept'"), "1");

  engine_.BeginTransaction();
  ASSERT_EQ(engine_.PrepareProcedure("sp_insert_ref_document"), "");
  ASSERT_EQ(engine_.AddParameter("@Title", Variant("dropped")), "");
  ASSERT_EQ(engine_.ExecuteProcedure(rows, false, rs, 0), "");
  engine_.EndTransaction(false);
  EXPECT_EQ(Text("select count(*) from ref_document where title = 'dropped'"), "0");
}

TEST_F(PostgresEngine, ForwardOnlyReadingStreamsAndLeavesTheConnectionReady) {
  std::unique_ptr<RowStream> rows;
  ASSERT_EQ(engine_.OpenForwardOnly("select unique_id, title from ref_document where unique_id <= 3 order by 1", rows), "");
  ASSERT_TRUE(rows);
  ASSERT_EQ(rows->Columns().size(), 2u);
  EXPECT_EQ(rows->Columns()[1].name, "title");
  ASSERT_TRUE(rows->Next());
  EXPECT_EQ(rows->Row()[0], Variant(std::int32_t{1}));
  rows.reset();  // left before the end
  EXPECT_EQ(First("select count(*) from ref_document where unique_id <= 3"), "3");

  // Inside a unit of work too, and a failure while reading raises.
  engine_.BeginTransaction();
  // The server may fail before the first row (an error text) or on a later one (RuntimeError).
  const std::string error =
      engine_.OpenForwardOnly("select 10 / (unique_id - 2) from ref_document where unique_id <= 3", rows);
  if (error.empty()) {
    EXPECT_THROW(while (rows->Next()) {}, RuntimeError);
  } else {
    EXPECT_NE(error.find("division by zero"), std::string::npos) << error;
  }
  rows.reset();
  EXPECT_EQ(First("select count(*) from ref_document where unique_id = 1"), "1");
  engine_.EndTransaction(true);

  ASSERT_EQ(engine_.OpenForwardOnly("exec sp_get_document @doc_type_code = 'RPT'", rows), "");
  int n = 0;
  while (rows->Next()) ++n;
  EXPECT_EQ(n, 2);
}

TEST_F(PostgresEngine, ADroppedConnectionGivesErrorsUntilTheNextConnection) {
  const std::string pid = First("select count(*) from ref_document");  // the connection works
  auto admin = PgConnect("postgres");
  const auto terminate = [&] {
    PgExec(admin.get(), "select pg_terminate_backend(pid) from pg_stat_activity where datname = '" + database_ +
                            "' and application_name = 'tarnwick'");
  };
  terminate();
  std::shared_ptr<Recordset> rs;
  const std::string error = engine_.OpenRecordset("select count(*) from ref_document", rs, 0, true);
  EXPECT_NE(error.find("connection"), std::string::npos) << error;
  EXPECT_NE(engine_.OpenRecordset("select count(*) from ref_document", rs, 0, true), "");
  ASSERT_TRUE(engine_.SetConnection(database_, PgSocketServer(), PgSuperuser(), "", true, 5, "", ""));
  EXPECT_EQ(First("select count(*) from vw_document where 1 = 1"), pid);

  // Inside a unit of work the commit reports that the work is gone.
  engine_.BeginTransaction();
  ASSERT_EQ(engine_.PrepareProcedure("sp_insert_ref_document"), "");
  ASSERT_EQ(engine_.AddParameter("@Title", Variant("lost")), "");
  std::int32_t n = 0;
  ASSERT_EQ(engine_.ExecuteProcedure(n, false, rs, 0), "");
  terminate();
  EXPECT_NE(engine_.ExecuteProcedure(n, false, rs, 0), "");
  EXPECT_THROW(engine_.EndTransaction(true), RuntimeError);
  EXPECT_EQ(Text("select count(*) from ref_document where title = 'lost'"), "0");
  ASSERT_TRUE(engine_.SetConnection(database_, PgSocketServer(), PgSuperuser(), "", true, 5, "", ""));
}

}  // namespace
}  // namespace tarnwick::testing
