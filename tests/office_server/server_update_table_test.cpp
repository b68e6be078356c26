// The server's one-column save: each refusal of sp_update_table keeps its
// SQLSTATE and text, and the lookup and write written from the office's
// catalog find any table of it by any letter case, however it is named.

#include <optional>
#include <tuple>

#include "office/update_table_sql.hpp"
#include "support/sample_office.hpp"

namespace tarnwick::test {
namespace {

using Text = std::optional<std::string>;

// "SQLSTATE: message" of a refused call, empty when the call succeeds.
std::string Save(PGconn* conn, const Text& table, const Text& column, const Text& id, const Text& value) {
  const char* values[] = {table ? table->c_str() : nullptr, column ? column->c_str() : nullptr,
                          id ? id->c_str() : nullptr, value ? value->c_str() : nullptr};
  postgres::Result r(
      PQexecParams(conn, "call sp_update_table($1, $2, $3, $4)", 4, nullptr, values, nullptr, nullptr, 0));
  if (postgres::Succeeded(r.get())) return "";
  return std::string(PQresultErrorField(r.get(), PG_DIAG_SQLSTATE)) + ": " +
         PQresultErrorField(r.get(), PG_DIAG_MESSAGE_PRIMARY);
}

class ServerUpdateTable : public SampleOfficeSuite<20, Engines::Server> {};

TEST_F(ServerUpdateTable, RefusalsKeepTheirStatesAndTexts) {
  auto conn = OpenServer();
  const std::string id = ServerText(conn.get(), "select min(unique_id) from ref_document");
  const struct {
    Text table, column, id, value;
    const char* says;
  } calls[] = {
      {"  ", "title", id, "x", "22023: sp_update_table: @table must name a table"},
      {"tw_office", "version", "1", "5", "42P01: sp_update_table: the database has no table named 'tw_office'"},
      {" REF_Document ", std::nullopt, id, "x", "22023: sp_update_table: @column must name a column"},
      {"ref_document", " Xmin ", id, "x", "42703: sp_update_table: table 'ref_document' has no column ' Xmin '"},
      {"DOCUMENT_IMAGE", "Doc_Page_Ct", "1", "1",
       "42703: sp_update_table: table 'document_image' has no unique_id column"},
      {"ref_document", "title", std::nullopt, "x", "22023: sp_update_table: @unique_id must be given"},
      {"ref_document", "DOC_YEAR", id, "abc",
       "22P02: sp_update_table: @value for column 'doc_year' of table 'ref_document': 'abc' cannot be stored as integer"},
      {"ref_document", "Amount_Due", id, "abc", "22P02: sp_update_table: @value for column 'amount_due' of table "
                                                "'ref_document': 'abc' cannot be stored as numeric(19,4)"},
      {"ref_document", "is_amendment", id, "maybe", "22P02: sp_update_table: @value for column 'is_amendment' of table "
                                                    "'ref_document': 'maybe' cannot be stored as bit"},
      {"ref_document", "due_date", id, "2/29/2001", "22007: sp_update_table: @value for column 'due_date' of table "
                                                    "'ref_document': '2/29/2001' cannot be stored as datetime"},
      {"ref_document", "title", "999999", "x",
       "P0002: sp_update_table: table 'ref_document' has no row with unique_id 999999"},
      {"Ref_Document", "Title", id, "Saved", ""},
  };
  for (const auto& call : calls) EXPECT_EQ(Save(conn.get(), call.table, call.column, call.id, call.value), call.says);
  EXPECT_EQ(ServerText(conn.get(), "select title from ref_document where unique_id = " + id), "Saved");
}

// A table made after the office, its name and columns needing quotes, one of
// them named like the write's own parameter: found once the functions are
// written again. Of two columns whose names fold alike, the lower-case one.
TEST_F(ServerUpdateTable, ATableOfAnyNameIsFoundOnceTheFunctionsAreWrittenAgain) {
  auto conn = OpenServer();
  ServerExec(conn.get(), "begin; create table \"Clerk's \"\"Notes\"\"\" (unique_id integer primary key, \"Note\" citext, "
                         "\"select\" boolean, new_value text, \"Count\" integer, count integer); "
                         "insert into \"Clerk's \"\"Notes\"\"\" (unique_id) values (1)");
  office::WriteUpdateTableFunctions(conn.get());
  for (const auto& [table, column, value] : {std::tuple{"CLERK'S \"NOTES\"", "note", "Late"},
                                             {"clerk's \"notes\"", "SELECT", "-1"},
                                             {"Clerk's \"Notes\"", "New_Value", "kept"},
                                             {"Clerk's \"Notes\"", "COUNT", "2.5"}})
    EXPECT_EQ(Save(conn.get(), table, column, "1", value), "") << column;
  EXPECT_EQ(ServerRows(conn.get(),
                       "select \"Note\", \"select\", new_value, \"Count\", count from \"Clerk's \"\"Notes\"\"\""),
            (std::vector<std::vector<std::string>>{{"Late", "t", "kept", "<null>", "2"}}));
  EXPECT_EQ(Save(conn.get(), "Clerk's \"Notes\"", "Note", "2", "x"),
            "P0002: sp_update_table: table 'Clerk's \"Notes\"' has no row with unique_id 2");
  ServerExec(conn.get(), "rollback");
}

}  // namespace
}  // namespace tarnwick::test
