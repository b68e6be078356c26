// The data gateway's engines side by side: the same small office in an
// embedded file and on the test server, the same texts and procedure calls,
// the same expected rows. Each test runs once per engine; the server's runs
// are skipped without a configured server (and fail with
// TARNWICK_PG_REQUIRED=1). With the pools a service turns on, a closed
// gateway's connection serves the next one.

#include <tuple>
#include <utility>

#include "gateway/postgres/pool.hpp"
#include "gateway/sqlite/pool.hpp"
#include "runtime/dates.hpp"
#include "runtime/text.hpp"
#include "support/engine_office.hpp"
#include "support/sample_office.hpp"

namespace tarnwick::test {
namespace {

class OfficeEngines : public EngineOfficeSuite, public ::testing::WithParamInterface<OfficeEngine> {
 protected:
  void SetUp() override {
    if (GetParam() == OfficeEngine::Server) TW_REQUIRE_SERVER();
    gateway_ = Connected();
  }

  // A new gateway on this test's office, through the engine-selecting factory.
  std::unique_ptr<DataGateway> Connected() { return ConnectedGateway(GetParam(), file_, database_); }

  static std::shared_ptr<Recordset> Open(DataGateway& g, const std::string& sql) {
    std::shared_ptr<Recordset> rs;
    const std::string error = g.OpenRecordset(sql, rs, 0, true);
    EXPECT_EQ(error, "") << sql;
    return rs;
  }
  std::shared_ptr<Recordset> Open(const std::string& sql) { return Open(*gateway_, sql); }

  // The values of a query's first column as the runtime writes them, joined by "|".
  static std::string Values(DataGateway& g, const std::string& sql) {
    std::string out;
    auto rs = Open(g, sql);
    for (; rs && rs->State() == ObjectState::Open && !rs->EndOfFile(); rs->MoveNext()) {
      const Variant& v = rs->Fields().Item(0).Value();
      out += (out.empty() ? "" : "|") + (v.IsNull() ? std::string("<null>") : v.CStr());
    }
    return out;
  }
  std::string First(const std::string& sql) { return Values(*gateway_, sql); }
  // The same through a gateway of its own: what other clients see.
  std::string Committed(const std::string& sql) { return Values(*Connected(), sql); }

  std::unique_ptr<DataGateway> gateway_;
};

TW_ON_BOTH_ENGINES(OfficeEngines);

TEST_P(OfficeEngines, ResultColumnsAreTypedAndNamedAsTheTextWroteThem) {
  auto rs = Open("select * from ref_document where unique_id = 1");
  ASSERT_FALSE(rs->EndOfFile());
  for (const auto& [column, value] : {std::pair{"doc_year", Variant(std::int16_t{2004})},
                                      {"unique_id", Variant(std::int32_t{1})},
                                      {"is_amendment", Variant(true)},
                                      {"amount_due", Variant(Currency{12345000})},
                                      {"due_date", Variant(dates::FromCivil({2004, 3, 5, 14, 30, 0}))},
                                      {"page_image", Variant(Bytes{1, 2, 3, 4})},
                                      {"score", Variant(0.25)},
                                      {"title", Variant("First report")}}) {
    EXPECT_EQ(rs->Collect(column).Type(), value.Type()) << column;
    EXPECT_EQ(rs->Collect(column), value) << column;
  }
  EXPECT_EQ(rs->Fields().Item("amount_due").Type(), DataType::Currency);
  // A plain column's name may come back in the schema's letter case; the
  // classes read columns case-blind.
  std::string names;
  const auto named = Open("select Title as 'Report Title', DOC_year, rd.Unique_ID from ref_document rd");
  for (const auto& c : named->Columns()) names += runtime::ToLower(c.name) + "|";
  EXPECT_EQ(names, "report title|doc_year|unique_id|");
  // The ends of the Long range read as Longs, not as Doubles.
  auto edges = Open("select 2147483647 as top_long, -2147483648 as bottom_long from ref_document where unique_id = 1");
  EXPECT_EQ(std::tuple(edges->Collect("top_long"), edges->Collect("bottom_long").Type()),
            std::tuple(Variant(std::int32_t{2147483647}), VarType::Long));
  auto none = Open("select unique_id from ref_document where 1 = 0");
  EXPECT_TRUE(none->State() == ObjectState::Open && none->EndOfFile() && none->BOF());
}

// One text per rule of the office server's meaning: + joins texts and adds
// numbers, = and like are case-blind (also on computed texts), dates are
// texts as the clerk writes them, yes/no columns compare with 1 and 0, char(n)
// pads, NULLs sort first. Several values of a column read joined by "|".
TEST_P(OfficeEngines, QueriesKeepTheOfficeServersMeaning) {
  const std::string one = " from ref_document where unique_id = 1", count = "select count(*) from ref_document where ";
  const std::pair<std::string, std::string> cases[] = {
      {"select doc_type_code + '-' + title + cast(doc_year + 1 as varchar(4))" + one, "RPT-First report2005"},
      {"select isnull(amount_due, 0) + 1 from ref_document where unique_id = 3", "1"},
      {count + "title = 'LETTER' and doc_type_code + 'x' = 'corX'", "1"},
      {count + "title like '%REPORT' and title + '' like 'f%'", "1"},
      {count + "title like '[a-f]%' and title like '[^a]%' and title like 'First_report'", "1"},
      {count + "title <> 'O''Malley' and 'it''s' like '%''s'", "3"},
      {count + "due_date >= '3/5/2004' and due_date < getdate()", "2"},
      {count + "cast(due_date as date) = '3/5/2004'", "1"},
      {count + "cast(due_date as date) <= '3/4/2004 2:30:00 PM'", "0"},
      {count + "due_date between '1/1/2004' and '12/31/2004'", "1"},
      {"select year(due_date) * 100 + datediff(day, '3/1/2004', due_date)" + one, "200404"},
      {"select dateadd(month, 1, due_date)" + one, "4/5/2004 2:30:00 PM"},
      {"select datepart(weekday, due_date) * 100 + datepart(dayofyear, due_date)" + one, "665"},
      {"select datediff(month, '12/31/2003', due_date) + datediff(year, due_date, '1/1/2006')" + one, "5"},
      {"select convert(varchar, due_date, 101) + convert(varchar(10), due_date, 120)" + one, "03/05/20042004-03-05"},
      {count + "is_amendment = 1", "1"},
      {"select is_amendment from ref_document order by unique_id", "True|False|False"},
      {"select cast(is_amendment as char(3)) + '|'" + one, "1  |"},
      {"select len(cast(title as varchar(5))) + len('ab  ') * 100 + datalength(title) * 1000" + one, "12205"},
      {"select substring(title, 7, 3) + left(title, 2) + right(title, 3)" + one, "repFiort"},
      {"select charindex('REP', title) * 10 + charindex('r', title, 4)" + one, "77"},
      {"select replace(title, 'REPORT', 'paper') + upper(doc_type_code) + lower('X') + ltrim(' y')" + one,
       "First paperRPTxy"},
      {"select isnumeric(doc_year) + isnumeric(title) + isnumeric(' 1.5e3 ')" + one, "2"},
      {"select cast(amount_due as int) + cast('12' as int) + cast(2.9 as int)" + one, "1248"},
      {"select case when cast(score * 4 as bit) = 1 then 'y' else 'n' end" + one, "y"},
      {"select isnull(cast(org_id as varchar(5)), 'none') from ref_document where unique_id = 3", "none"},
      {"select case doc_type_code when 'rpt' then 'report' else 'other' end" + one, "report"},
      {count + "doc_type_code + '' in ('rpt', 'x') and not (org_id is null)", "1"},
      {"select top 2 unique_id from ref_document order by 1 desc", "3|2"},
      {"select amount_due from ref_document order by amount_due", "<null>|0|1234.5"},
      {"select title as 'T' from ref_document order by T desc", "Letter|First report|Amended report"},
      {"select unique_id from ref_document where unique_id in (select unique_id from vw_document "
       "where title like '%report') union select 9 order by 1", "1|3|9"},
      {"select doc_type_code from ref_document group by doc_type_code having count(*) > 1", "RPT"},
      {"select d.title from (select top 2 title, unique_id from ref_document order by unique_id desc) d "
       "order by d.title", "Amended report|Letter"},
  };
  for (const auto& [sql, want] : cases) EXPECT_EQ(First(sql), want) << sql;
  // A text made safe for a literal reads back as itself, whatever it holds.
  for (const std::string text : {"O'Malley's", "x'; delete from ref_document; --", "'"})
    EXPECT_EQ(First("select '" + gateway_->SqlSafeText(text) + "' + ''"), text);
}

// What a query text may reach is the office's own tables and views, read
// only; not even a unit of work's end.
TEST_P(OfficeEngines, ClientTextsMayOnlyRead) {
  gateway_->BeginTransaction();
  for (const char* sql : {"select * from pg_authid", "select * from sqlite_master", "select * from tw_procedure",
                          "select * from pg_class", "select * from information_schema.tables",
                          "select name from sqlite_schema", "select * from temp.sqlite_temp_master",
                          "select count(*) from ref_document where exists (select 1 from sqlite_master)",
                          "select * from pragma_table_info('ref_document')", "attach database 'x.db' as x",
                          "select pg_terminate_backend(1)", "select nextval('ref_document_unique_id_seq')",
                          "delete from ref_document", "update ref_document set title = 'x'", "commit",
                          "begin transaction", "select 1; delete from ref_document",
                          "insert into ref_document (title) values ('x')"}) {
    std::shared_ptr<Recordset> rs;
    EXPECT_NE(gateway_->OpenRecordset(sql, rs, 0, true), "") << sql;
    ASSERT_TRUE(rs);
    EXPECT_EQ(rs->State(), ObjectState::Closed) << sql;
  }
  EXPECT_TRUE(gateway_->InTransaction());
  gateway_->EndTransaction(false);
  EXPECT_EQ(Committed("select count(*) from ref_document where title = 'x'"), "0");
  EXPECT_EQ(First("select count(*) from dbo.vw_document"), "3");
  // Only the functions both engines answer alike: none of an engine's own.
  for (const char* sql : {"select randomblob(500000000)", "select pg_sleep(60)", "select sqlite_version()",
                          "select version()", "select load_extension('x')", "select concat('a', 'b')",
                          "select lo_import('/etc/passwd')", "select cast(title as geometry) from ref_document"}) {
    std::shared_ptr<Recordset> rs;
    const std::string error = gateway_->OpenRecordset(sql, rs, 0, true);
    EXPECT_TRUE(error.find("is not a recognized built-in function name") != std::string::npos ||
                error.find("is not a defined system type") != std::string::npos) << sql << ": " << error;
  }
}

// A text that would run for hours is stopped at the connection's time limit,
// with an error that names it, and the connection goes on; so is a write
// that waits on a row another unit of work holds.
TEST_P(OfficeEngines, NothingRunsPastItsLimit) {
  gateway_->SetCommandTimeout(1);
  std::string runaway = "select count(*) from ref_document a0";
  for (int i = 1; i < 24; ++i) runaway += ", ref_document a" + std::to_string(i);
  std::shared_ptr<Recordset> rs;
  EXPECT_NE(gateway_->OpenRecordset(runaway, rs, 0, true).find("time limit of 1 s"), std::string::npos)
      << gateway_->LastErrorText();
  std::unique_ptr<RowStream> stream;
  const std::string opened = gateway_->OpenForwardOnly(runaway, stream);
  try {
    while (opened.empty() && stream && stream->Next()) {}
    EXPECT_NE(opened.find("time limit of 1 s"), std::string::npos) << opened;
  } catch (const RuntimeError& e) {
    EXPECT_NE(e.Description().find("time limit of 1 s"), std::string::npos) << e.Description();
  }
  stream.reset();
  EXPECT_EQ(First("select count(*) from ref_document"), "3");
  // The value the client sets is the one kept: a limit long enough lets the text be.
  gateway_->SetCommandTimeout(0);
  EXPECT_EQ(First("select replicate('ab', 3) + space(2) + '|' + replicate('x', -1) + '|'"), "ababab  ||");
  if (GetParam() != OfficeEngine::Server) return;
  // The server: another session holds what this call must read.
  auto holder = ServerConnect(database_);
  ServerExec(holder.get(), "BEGIN; LOCK TABLE ref_document IN ACCESS EXCLUSIVE MODE");
  const std::string waited = gateway_->OpenRecordset("select count(*) from ref_document", rs, 0, true);
  EXPECT_NE(waited.find("lock-wait limit of 5 s"), std::string::npos) << waited;
  ServerExec(holder.get(), "ROLLBACK");
}

TEST_P(OfficeEngines, ProceduresTakeInputsByNameAndGiveOutputsAndRows) {
  DataGateway& g = *gateway_;
  const std::pair<const char*, Variant> inputs[] = {
      {"@Title", Variant("Added")},         {"@Doc_year", Variant("2006")},
      {"@Is_amendment", Variant(true)},     {"@amount_due", Variant(Currency{123456789})},
      {"@due_date", Variant("3/4/2005 2:30:00 PM")}, {"@page_image", Variant(Bytes{0, 255})}};
  ASSERT_EQ(g.PrepareProcedure("SP_INSERT_REF_DOCUMENT"), "");
  for (const auto& [name, value] : inputs) EXPECT_EQ(g.AddParameter(name, value), "") << name;
  EXPECT_NE(g.AddParameter("@nothing", Variant(1)), "");
  std::int32_t rows = 0;
  std::shared_ptr<Recordset> rs;
  ASSERT_EQ(g.ExecuteProcedure(rows, false, rs, 0), "");
  Variant id;
  ASSERT_EQ(g.GetParameter("@Unique_id", id), "");
  ASSERT_EQ(id.Type(), VarType::Long);
  g.FinishProcedure();
  auto added = Open(*Connected(), "select * from ref_document where unique_id = " + id.CStr());
  ASSERT_FALSE(added->EndOfFile());
  for (const auto& [name, value] : inputs) {
    const Variant stored = added->Collect(std::string(name).substr(1));
    EXPECT_TRUE(value.Type() == VarType::Bytes ? stored == value : stored.CStr() == value.CStr()) << name;
  }
  EXPECT_EQ(added->Collect("amount_due").Type(), VarType::Currency);

  // Rows beside outputs.
  ASSERT_EQ((std::tuple{g.PrepareProcedure("sp_count_titles"), g.AddParameter("@title", Variant("%REPORT")),
                        g.ExecuteProcedure(rows, true, rs, 0)}), std::tuple("", "", ""));
  Variant count, latest, unused;
  ASSERT_EQ(g.GetParameter("@count", count) + g.GetParameter("@latest", latest) + g.GetParameter("@unused", unused), "");
  EXPECT_EQ(std::tuple(count, latest.CStr(), unused.IsNull(), rs->RecordCount(), rs->Collect("title")),
            std::tuple(Variant(std::int32_t{2}), "3/5/2004 2:30:00 PM", true, 2, Variant("First report")));

  // An exec text: positional arguments in the procedure's order, then by name.
  EXPECT_EQ(First("exec sp_get_document 2"), "2");
  EXPECT_EQ(First("exec sp_get_document @doc_type_code = 'rpt'"), "1|3");
  EXPECT_EQ(First("exec sp_get_document 2, 'RPT'"), "1|2|3");
  EXPECT_NE(g.OpenRecordset("exec sp_get_document 1, 'x', 'y'", rs, 0, true), "");
  const std::string unknown = g.OpenRecordset("exec sp_nothing", rs, 0, true);
  const std::string misnamed = g.OpenRecordset("exec sp_get_document @nope = 1", rs, 0, true);
  EXPECT_NE(misnamed, "");
  if (GetParam() == OfficeEngine::Embedded) {
    EXPECT_NE(unknown.find("sp_nothing"), std::string::npos) << unknown;
    EXPECT_NE(misnamed.find("@nope"), std::string::npos) << misnamed;
  }
  // A procedure asked for no rows still answers with typed, empty columns.
  auto none = Open("exec sp_get_document -1");
  ASSERT_TRUE(none->BOF() && none->EndOfFile() && none->Columns().size() == 3);
  EXPECT_EQ(none->Columns()[2].type, DataType::DBTimeStamp);
  EXPECT_NE(g.PrepareProcedure("sp_nothing"), "");
}

TEST_P(OfficeEngines, AFailedCallUndoesOnlyItselfAndUnitsOfWorkCommitOrRollBack) {
  DataGateway& g = *gateway_;
  const std::string before = Committed("select count(*) from ref_document");
  // Calls a procedure with its one text input, if given: the call's error text, empty when it ran.
  const auto call = [&g](const char* procedure, const char* input = "", const char* title = "") {
    std::int32_t rows = 0;
    std::shared_ptr<Recordset> rs;
    std::string error = g.PrepareProcedure(procedure);
    if (error.empty() && *input) error = g.AddParameter(input, Variant(title));
    if (!error.empty()) ADD_FAILURE() << procedure << " was not prepared: " << error;
    return error.empty() ? g.ExecuteProcedure(rows, false, rs, 0) : error;
  };
  EXPECT_NE(call("sp_fail_midway", "@title", "midway"), "");
  EXPECT_EQ(Committed("select count(*) from ref_document"), before);

  g.BeginTransaction();
  EXPECT_TRUE(g.InTransaction());
  EXPECT_THROW(g.BeginTransaction(), RuntimeError);
  // A failing first call leaves the unit open and usable, then later ones.
  EXPECT_NE(call("sp_fail_midway"), "");
  EXPECT_TRUE(g.InTransaction());
  ASSERT_EQ(call("sp_insert_ref_document", "@Title", "kept"), "");
  // A failing call and a failing query inside the unit leave it usable.
  EXPECT_NE(call("sp_fail_midway"), "");
  std::shared_ptr<Recordset> rs;
  EXPECT_NE(g.OpenRecordset("select nosuchcolumn from ref_document", rs, 0, true), "");
  EXPECT_EQ(First("select title from ref_document where title in ('KEPT', 'midway')"), "kept");
  EXPECT_EQ(Committed("select count(*) from ref_document where title = 'kept'"), "0");
  g.EndTransaction(true);
  EXPECT_FALSE(g.InTransaction());

  g.BeginTransaction();
  ASSERT_EQ(call("sp_insert_ref_document", "@Title", "dropped"), "");
  g.EndTransaction(false);
  EXPECT_EQ(Committed("select title from ref_document where title in ('kept', 'dropped')"), "kept");
}

TEST_P(OfficeEngines, ForwardOnlyReadingLeavesTheConnectionReady) {
  DataGateway& g = *gateway_;
  std::unique_ptr<RowStream> rows;
  ASSERT_EQ(g.OpenForwardOnly("select unique_id, title from ref_document where unique_id <= 3 order by 1", rows), "");
  ASSERT_TRUE(rows && rows->Columns().size() == 2 && rows->Next());
  EXPECT_EQ(std::tuple(rows->Columns()[1].name, rows->Row()[0]), std::tuple("title", Variant(std::int32_t{1})));
  rows.reset();  // left before the end
  EXPECT_EQ(First("select count(*) from ref_document where unique_id <= 3"), "3");

  g.BeginTransaction();
  ASSERT_EQ(g.OpenForwardOnly("select title from ref_document where unique_id <= 3 order by unique_id", rows), "");
  std::string titles;
  while (rows->Next()) titles += rows->Row()[0].CStr() + "|";
  rows.reset();
  EXPECT_EQ(titles, "First report|Letter|Amended report|");
  EXPECT_EQ(First("select count(*) from ref_document where unique_id = 1"), "1");
  g.EndTransaction(true);
  ASSERT_EQ(g.OpenForwardOnly("exec sp_get_document @doc_type_code = 'RPT'", rows), "");
  int n = 0;
  while (rows->Next()) ++n;
  EXPECT_EQ(n, 2);
}

// With the pools on (a service), a gateway's connection outlives the
// gateway: it serves the next gateway of the same office, sees what others
// wrote meanwhile, and is never kept inside a unit of work.
TEST_P(OfficeEngines, AKeptConnectionServesTheNextGatewayAndNeverAnOpenUnitOfWork) {
  struct PoolsOff {
    ~PoolsOff() {
      sqlite::EnablePool(0, 0);
      postgres::EnablePool(0, 0);
    }
  } off;
  sqlite::EnablePool(2, 60);
  postgres::EnablePool(2, 60);
  const auto kept = [&] {
    return GetParam() == OfficeEngine::Embedded ? sqlite::OfficePool().Size() : postgres::PooledConnections();
  };
  const auto insert = [](DataGateway& g, const char* title) {
    std::shared_ptr<Recordset> rs;
    std::int32_t n = 0;
    EXPECT_EQ(g.PrepareProcedure("sp_insert_ref_document"), "");
    EXPECT_EQ(g.AddParameter("@Title", Variant(title)), "");
    EXPECT_EQ(g.ExecuteProcedure(n, false, rs, 0), "");
  };
  const std::string count = "select count(*) from ref_document where title in ('Written meanwhile', 'Abandoned')";
  EXPECT_EQ(Committed(count), "0");
  EXPECT_EQ(kept(), 1u) << "a closed gateway's connection is kept";
  insert(*gateway_, "Written meanwhile");
  {
    auto again = Connected();
    EXPECT_EQ(kept(), 0u) << "and taken by the next";
    EXPECT_EQ(Values(*again, count), "1");
    again->BeginTransaction();
    insert(*again, "Abandoned");
  }
  EXPECT_EQ(kept(), 0u) << "one left inside a unit of work is closed";
  EXPECT_EQ(Committed(count), "1");
  sqlite::EnablePool(0, 0);
  postgres::EnablePool(0, 0);
  EXPECT_EQ(kept(), 0u) << "turned off, the pool closes what it kept";
}

}  // namespace
}  // namespace tarnwick::test
