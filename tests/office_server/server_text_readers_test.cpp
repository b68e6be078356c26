// The server's readers of clerks' date texts read what the embedded engine's
// tw_date_text reads, text for text.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "gateway/sqlite/functions.hpp"
#include "support/sample_office.hpp"

namespace tarnwick::test {
namespace {

class ServerTextReaders : public SampleOfficeSuite<0, Engines::Server> {};

TEST_F(ServerTextReaders, DatesReadAsTheEmbeddedEngineReadsThem) {
  Db file(":memory:", true);
  ASSERT_EQ(sqlite::RegisterTsqlFunctions(file.get()), SQLITE_OK);
  auto conn = OpenServer();

  const std::vector<std::string> texts = {
      "3/5/2004", "03/05/2004", " 3/5/2004 ", "3-5-2004", "3.5.2004", "3 5 2004", "3 / 5 / 2004", "3/5/04",
      "3/5/29", "3/5/30", "3/5/99", "3/5/0", "13/1/2005", "1/13/2005", "2/29/2004", "2/29/2001", "2/30/2004",
      "0/5/2004", "3/0/2004", "3/5/99999", "3/5/50", "3/5/150", "2004-03-05", "2004-3-5", "2004/03/05",
      "2004-03-05 14:30:00", "2004-03-05T14:30", "2004-13-05", "3/5/2004 2:30:00 PM", "3/5/2004 14:30",
      "3/5/2004 12:00 AM", "3/5/2004 25:00", "3/5/2004 2:61", "3/5/2004 13:00 AM", "March 5, 2004",
      "march 5 2004", "MAR 5 2004", "Mar-5-2004", "5-Mar-2004", "5 March 2004", "2004 Mar 5", "Sept 9, 2004",
      "Sep 9, 04", "Mar 5, 29", "29Feb01", "March 2005", "3/2005", "2005/3", "Smarch 5, 2004", "March 5 2004 x",
      "hello", "", "   ", "20040305", "20041305", "Jan 2004", "2004", "3//5/2004", "3/5/2004/1", "12345", "3/5", "5/3"};
  for (const std::string& text : texts) {
    // The texts hold no quotes, so each goes into the query as a literal.
    const std::string call = "select tw_date_text('" + text + "')";
    EXPECT_EQ(ServerText(conn.get(), call + "::text"), file.Text(call)) << "'" << text << "'";
  }
}

TEST_F(ServerTextReaders, AmountsYesNoAndNumbersReadAsTheProceduresNeed) {
  auto conn = OpenServer();
  EXPECT_EQ(ServerRows(conn.get(), "select tw_money_text('1,234.50'), tw_money_text('$1234.50'), "
                                   "tw_money_text(' $1,000 '), tw_money_text(''), tw_money_text('abc'), "
                                   "tw_money_text('12abc'), tw_money_text('-3.25')"),
            (std::vector<std::vector<std::string>>{{"1234.50", "1234.50", "1000", "<null>", "0", "12", "-3.25"}}));
  EXPECT_EQ(ServerRows(conn.get(), "select tw_yes_no_text('1'), tw_yes_no_text('-1'), tw_yes_no_text('true'), "
                                   "tw_yes_no_text(' FALSE '), tw_yes_no_text('0'), tw_yes_no_text('')"),
            (std::vector<std::vector<std::string>>{{"t", "t", "t", "f", "f", "<null>"}}));
  EXPECT_NE(postgres::ExecText(conn.get(), "select tw_yes_no_text('maybe')"), "");
  EXPECT_EQ(ServerRows(conn.get(), "select tw_integer_text(' 2004 '), tw_integer_text('12abc'), "
                                   "tw_integer_text('abc'), tw_integer_text('')"),
            (std::vector<std::vector<std::string>>{{"2004", "12", "0", "<null>"}}));
}

}  // namespace
}  // namespace tarnwick::test
