// The data gateway's engines side by side: the same small office in an
// embedded file and on the test server, the same texts and procedure calls,
// the same expected rows. Each test runs once per engine; the server's runs
// are skipped without a configured server (and fail with
// TARNWICK_PG_REQUIRED=1).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "runtime/text.hpp"
#include "support/engine_office.hpp"
#include "support/sample_office.hpp"
#include "tarnwick/error.hpp"
#include "tarnwick/gateway.hpp"

namespace tarnwick::test {
namespace {

class OfficeEngines : public EngineOfficeSuite, public ::testing::WithParamInterface<OfficeEngine> {
 protected:
  void SetUp() override {
    if (GetParam() == OfficeEngine::Server) TW_REQUIRE_SERVER();
    gateway_ = Connected();
  }

  // A new gateway on this test's office, through the engine-selecting factory.
  std::unique_ptr<DataGateway> Connected() {
    auto g = CreateDefaultGateway();
    const bool ok = GetParam() == OfficeEngine::Embedded
                        ? g->SetConnection(file_, "embedded", "", "", false, 0, "", "")
                        : g->SetConnection(database_, ServerSettings("").server, ServerSettings("").user, "", true, 5, "", "");
    if (!ok) throw std::runtime_error("cannot connect: " + g->LastErrorText());
    return g;
  }

  static std::shared_ptr<Recordset> Open(DataGateway& g, const std::string& sql) {
    std::shared_ptr<Recordset> rs;
    const std::string error = g.OpenRecordset(sql, rs, 0, true);
    EXPECT_EQ(error, "") << sql;
    return rs;
  }
  std::shared_ptr<Recordset> Open(const std::string& sql) { return Open(*gateway_, sql); }

  // The first value of the first row as the runtime writes it ("<none>" without rows).
  static std::string First(DataGateway& g, const std::string& sql) {
    auto rs = Open(g, sql);
    if (!rs || rs->State() != ObjectState::Open) return "<closed>";
    if (rs->EndOfFile()) return "<none>";
    const Variant& v = rs->Fields().Item(0).Value();
    return v.IsNull() ? "<null>" : v.CStr();
  }
  std::string First(const std::string& sql) { return First(*gateway_, sql); }
  // The same through a gateway of its own: what other clients see.
  std::string Committed(const std::string& sql) { return First(*Connected(), sql); }

  std::vector<std::string> Column(const std::string& sql) {
    std::vector<std::string> out;
    auto rs = Open(sql);
    for (; rs && rs->State() == ObjectState::Open && !rs->EndOfFile(); rs->MoveNext()) {
      const Variant& v = rs->Fields().Item(0).Value();
      out.push_back(v.IsNull() ? "<null>" : v.CStr());
    }
    return out;
  }

  std::unique_ptr<DataGateway> gateway_;
};

TW_ON_BOTH_ENGINES(OfficeEngines);

TEST_P(OfficeEngines, ResultColumnsAreTypedAndNamedAsTheTextWroteThem) {
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
  auto named = Open("select Title as 'Report Title', DOC_year, rd.Unique_ID from ref_document rd where unique_id = 2");
  ASSERT_EQ(named->Columns().size(), 3u);
  EXPECT_EQ(named->Columns()[0].name, "Report Title");
  // A plain column's name may come back in the schema's letter case; the
  // classes read columns case-blind.
  EXPECT_TRUE(runtime::EqualsNoCase(named->Columns()[1].name, "doc_year")) << named->Columns()[1].name;
  EXPECT_TRUE(runtime::EqualsNoCase(named->Columns()[2].name, "unique_id")) << named->Columns()[2].name;
  auto none = Open("select unique_id from ref_document where 1 = 0");
  EXPECT_EQ(none->State(), ObjectState::Open);
  EXPECT_TRUE(none->EndOfFile() && none->BOF());
}

TEST_P(OfficeEngines, QueriesKeepTheOfficeServersMeaning) {
  // + joins texts and adds numbers; isnull; case-blind = and like.
  EXPECT_EQ(First("select doc_type_code + '-' + title from ref_document where unique_id = 1"), "RPT-First report");
  EXPECT_EQ(First("select doc_year + 1 from ref_document where unique_id = 1"), "2005");
  EXPECT_EQ(First("select isnull(amount_due, 0) + 1 from ref_document where unique_id = 3"), "1");
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
  // TOP, ORDER BY positions, NULLs first, names and aliases in ORDER BY.
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

TEST_P(OfficeEngines, FunctionsAndConversionsGiveTheSameAnswers) {
  const std::string one = " from ref_document where unique_id = 1";
  EXPECT_EQ(First("select substring(title, 7, 3) + left(title, 2) + right(title, 3)" + one), "repFiort");
  EXPECT_EQ(First("select charindex('REP', title)" + one), "7");
  EXPECT_EQ(First("select charindex('r', title, 4)" + one), "7");
  EXPECT_EQ(First("select replace(title, 'REPORT', 'paper')" + one), "First paper");
  EXPECT_EQ(First("select upper(title) + lower(doc_type_code) + ltrim('  x') + rtrim('y  ') + '|'" + one),
            "FIRST REPORTrptxy|");
  EXPECT_EQ(First("select len('ab  ') + datalength(title)" + one), "14");
  EXPECT_EQ(First("select isnumeric(doc_year) + isnumeric(title) + isnumeric(' 1.5e3 ')" + one), "2");
  EXPECT_EQ(First("select convert(varchar, due_date, 101) + ' ' + convert(varchar(10), due_date, 120)" + one),
            "03/05/2004 2004-03-05");
  EXPECT_EQ(First("select datepart(weekday, due_date) * 100 + datepart(dayofyear, due_date)" + one), "665");
  EXPECT_EQ(First("select datediff(month, '12/31/2003', due_date) + datediff(year, due_date, '1/1/2006')" + one), "5");
  EXPECT_EQ(First("select cast(amount_due as int) + cast('12' as int) + cast(2.9 as int)" + one), "1248");
  EXPECT_EQ(First("select case when cast(score * 4 as bit) = 1 then 'y' else 'n' end" + one), "y");
  EXPECT_EQ(First("select isnull(cast(org_id as varchar(5)), 'none') from ref_document where unique_id = 3"),
            "none");
  EXPECT_EQ(First("select count(*) from ref_document where due_date between '1/1/2004' and '12/31/2004'"), "1");
  EXPECT_EQ(First("select count(*) from ref_document where doc_type_code in ('rpt', 'x')"), "2");
  EXPECT_EQ(First("select count(*) from ref_document where doc_type_code + '' in ('rpt', 'x')"), "2");
  EXPECT_EQ(First("select case doc_type_code when 'rpt' then 'report' else 'other' end" + one), "report");
  EXPECT_EQ(First("select count(distinct doc_type_code) from ref_document"), "2");
  EXPECT_EQ(First("select max(title) from ref_document where title like '%e%'"), "Letter");
  EXPECT_EQ(First("select sum(doc_year) - 6000 from ref_document"), "14");
  EXPECT_EQ(First("select count(*) from ref_document where title not like '%report' and not (org_id is null)"),
            "1");
  EXPECT_EQ(Column("select doc_type_code, count(*) from ref_document group by doc_type_code having count(*) > 1"),
            (std::vector<std::string>{"RPT"}));
  EXPECT_EQ(Column("select d.title from (select top 2 title, unique_id from ref_document order by unique_id desc) d "
                   "order by d.title"),
            (std::vector<std::string>{"Amended report", "Letter"}));
}

TEST_P(OfficeEngines, ClientTextsMayOnlyRead) {
  for (const char* sql : {"select * from pg_authid", "select * from sqlite_master", "select * from tw_nothing",
                          "select pg_terminate_backend(1)", "select nextval('ref_document_unique_id_seq')",
                          "delete from ref_document", "update ref_document set title = 'x'",
                          "select 1; delete from ref_document", "insert into ref_document (title) values ('x')"}) {
    std::shared_ptr<Recordset> rs;
    EXPECT_NE(gateway_->OpenRecordset(sql, rs, 0, true), "") << sql;
    ASSERT_TRUE(rs);
    EXPECT_EQ(rs->State(), ObjectState::Closed) << sql;
  }
  EXPECT_EQ(Committed("select count(*) from ref_document where title = 'x'"), "0");
  EXPECT_EQ(First("select count(*) from dbo.vw_document"), "3");
}

TEST_P(OfficeEngines, ProceduresTakeInputsByNameAndGiveOutputsAndRows) {
  DataGateway& g = *gateway_;
  ASSERT_EQ(g.PrepareProcedure("SP_INSERT_REF_DOCUMENT"), "");
  EXPECT_EQ(g.AddParameter("@Title", Variant("Added")), "");
  EXPECT_EQ(g.AddParameter("@Doc_year", Variant("2006")), "");
  EXPECT_EQ(g.AddParameter("@Is_amendment", Variant(true)), "");
  EXPECT_EQ(g.AddParameter("@amount_due", Variant(Currency{123456789})), "");
  EXPECT_EQ(g.AddParameter("@due_date", Variant("3/4/2005 2:30:00 PM")), "");
  EXPECT_EQ(g.AddParameter("@page_image", Variant(Bytes{0, 255})), "");
  EXPECT_NE(g.AddParameter("@nothing", Variant(1)), "");
  std::int32_t rows = 0;
  std::shared_ptr<Recordset> rs;
  ASSERT_EQ(g.ExecuteProcedure(rows, false, rs, 0), "");
  Variant id;
  ASSERT_EQ(g.GetParameter("@Unique_id", id), "");
  ASSERT_EQ(id.Type(), VarType::Long);
  g.FinishProcedure();
  auto other = Connected();
  auto added = Open(*other, "select * from ref_document where unique_id = " + id.CStr());
  ASSERT_FALSE(added->EndOfFile());
  EXPECT_EQ(added->Collect("title"), Variant("Added"));
  EXPECT_EQ(added->Collect("doc_year"), Variant(std::int16_t{2006}));
  EXPECT_EQ(added->Collect("is_amendment"), Variant(true));
  EXPECT_EQ(added->Collect("amount_due"), Variant(Currency{123456789}));
  EXPECT_EQ(added->Collect("due_date").CStr(), "3/4/2005 2:30:00 PM");
  EXPECT_EQ(added->Collect("page_image"), Variant(Bytes{0, 255}));

  // Rows beside outputs.
  ASSERT_EQ(g.PrepareProcedure("sp_count_titles"), "");
  ASSERT_EQ(g.AddParameter("@title", Variant("%REPORT")), "");
  ASSERT_EQ(g.ExecuteProcedure(rows, true, rs, 0), "");
  Variant count, latest, unused;
  ASSERT_EQ(g.GetParameter("@count", count), "");
  ASSERT_EQ(g.GetParameter("@latest", latest), "");
  ASSERT_EQ(g.GetParameter("@unused", unused), "");
  EXPECT_EQ(count, Variant(std::int32_t{2}));
  EXPECT_EQ(latest.CStr(), "3/5/2004 2:30:00 PM");
  EXPECT_TRUE(unused.IsNull());
  ASSERT_EQ(rs->RecordCount(), 2);
  EXPECT_EQ(rs->Fields().Item("title").Value(), Variant("First report"));

  // An exec text: positional arguments in the procedure's order, then by name.
  EXPECT_EQ(Column("exec sp_get_document 2"), (std::vector<std::string>{"2"}));
  EXPECT_EQ(Column("exec sp_get_document @doc_type_code = 'rpt'"), (std::vector<std::string>{"1", "3"}));
  EXPECT_EQ(Column("exec sp_get_document 2, 'RPT'"), (std::vector<std::string>{"1", "2", "3"}));
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
  EXPECT_TRUE(none->BOF() && none->EndOfFile());
  ASSERT_EQ(none->Columns().size(), 3u);
  EXPECT_EQ(none->Columns()[2].type, DataType::DBTimeStamp);
  EXPECT_NE(g.PrepareProcedure("sp_nothing"), "");
}

TEST_P(OfficeEngines, AFailedCallUndoesOnlyItselfAndUnitsOfWorkCommitOrRollBack) {
  DataGateway& g = *gateway_;
  const std::string before = Committed("select count(*) from ref_document");
  std::int32_t rows = 0;
  std::shared_ptr<Recordset> rs;
  ASSERT_EQ(g.PrepareProcedure("sp_fail_midway"), "");
  ASSERT_EQ(g.AddParameter("@title", Variant("midway")), "");
  EXPECT_NE(g.ExecuteProcedure(rows, false, rs, 0), "");
  EXPECT_EQ(Committed("select count(*) from ref_document"), before);

  g.BeginTransaction();
  EXPECT_TRUE(g.InTransaction());
  EXPECT_THROW(g.BeginTransaction(), RuntimeError);
  // A failing first call leaves the unit open and usable, then later ones.
  ASSERT_EQ(g.PrepareProcedure("sp_fail_midway"), "");
  EXPECT_NE(g.ExecuteProcedure(rows, false, rs, 0), "");
  EXPECT_TRUE(g.InTransaction());
  ASSERT_EQ(g.PrepareProcedure("sp_insert_ref_document"), "");
  ASSERT_EQ(g.AddParameter("@Title", Variant("kept")), "");
  ASSERT_EQ(g.ExecuteProcedure(rows, false, rs, 0), "");
  // A failing call and a failing query inside the unit leave it usable.
  ASSERT_EQ(g.PrepareProcedure("sp_fail_midway"), "");
  EXPECT_NE(g.ExecuteProcedure(rows, false, rs, 0), "");
  EXPECT_NE(g.OpenRecordset("select nosuchcolumn from ref_document", rs, 0, true), "");
  EXPECT_EQ(First("select count(*) from ref_document where title = 'KEPT'"), "1");
  EXPECT_EQ(First("select count(*) from ref_document where title = 'midway'"), "0");
  EXPECT_EQ(Committed("select count(*) from ref_document where title = 'kept'"), "0");
  g.EndTransaction(true);
  EXPECT_FALSE(g.InTransaction());
  EXPECT_EQ(Committed("select count(*) from ref_document where title = 'kept'"), "1");

  g.BeginTransaction();
  ASSERT_EQ(g.PrepareProcedure("sp_insert_ref_document"), "");
  ASSERT_EQ(g.AddParameter("@Title", Variant("dropped")), "");
  ASSERT_EQ(g.ExecuteProcedure(rows, false, rs, 0), "");
  g.EndTransaction(false);
  EXPECT_EQ(Committed("select count(*) from ref_document where title = 'dropped'"), "0");
}

TEST_P(OfficeEngines, ForwardOnlyReadingLeavesTheConnectionReady) {
  DataGateway& g = *gateway_;
  std::unique_ptr<RowStream> rows;
  ASSERT_EQ(g.OpenForwardOnly("select unique_id, title from ref_document where unique_id <= 3 order by 1", rows), "");
  ASSERT_TRUE(rows);
  ASSERT_EQ(rows->Columns().size(), 2u);
  EXPECT_EQ(rows->Columns()[1].name, "title");
  ASSERT_TRUE(rows->Next());
  EXPECT_EQ(rows->Row()[0], Variant(std::int32_t{1}));
  rows.reset();  // left before the end
  EXPECT_EQ(First("select count(*) from ref_document where unique_id <= 3"), "3");

  g.BeginTransaction();
  ASSERT_EQ(g.OpenForwardOnly("select title from ref_document where unique_id <= 3 order by unique_id", rows), "");
  std::vector<std::string> titles;
  while (rows->Next()) titles.push_back(rows->Row()[0].CStr());
  rows.reset();
  EXPECT_EQ(titles, (std::vector<std::string>{"First report", "Letter", "Amended report"}));
  EXPECT_EQ(First("select count(*) from ref_document where unique_id = 1"), "1");
  g.EndTransaction(true);

  ASSERT_EQ(g.OpenForwardOnly("exec sp_get_document @doc_type_code = 'RPT'", rows), "");
  int n = 0;
  while (rows->Next()) ++n;
  EXPECT_EQ(n, 2);
}

}  // namespace
}  // namespace tarnwick::test
