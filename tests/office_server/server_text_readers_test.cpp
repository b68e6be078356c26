// The server's readers of clerks' date texts, and its fold of names into
// words, give what the embedded engine's functions give, text for text.

#include <random>

#include "runtime/name_words.hpp"
#include "support/sample_office.hpp"

namespace tarnwick::test {
namespace {

std::string Utf8(char32_t cp) {
  std::string out;
  runtime::AppendUtf8(out, cp);
  return out;
}

// The pieces texts are made of: every letter that folds, the characters at
// and beside each end of each blank range, each apostrophe, ASCII signs,
// digits and control characters, and letters of other scripts.
std::vector<std::string> Pieces() {
  std::vector<std::string> pieces;
  for (const runtime::LetterFold& fold : runtime::LetterFolds()) pieces.push_back(Utf8(fold.letter));
  for (const runtime::BlankRange& range : runtime::BlankRanges()) {
    for (const char32_t cp : {char32_t(range.first - 1), range.first, range.last, char32_t(range.last + 1)}) pieces.push_back(Utf8(cp));
  }
  for (char32_t cp : runtime::Apostrophes()) pieces.push_back(Utf8(cp));
  for (char32_t cp = 1; cp < 0x80; ++cp) pieces.push_back(Utf8(cp));
  for (const char* other : {"Ἀθῆναι", "Σωκράτης", "北京", "東京都", "😀", "🎉", "\xEF\xBF\xBD", "\xE1\x9A\x80", "ǅ", "Ω"})
    pieces.emplace_back(other);
  return pieces;
}

class ServerTextReaders : public SampleOfficeSuite<0, Engines::Server> {
 protected:
  // Each text as x in expression, on the server (read as text) and on the
  // embedded engine; Null reads "<null>". A thousand texts a round trip.
  void ExpectAsOnTheFile(const std::string& expression, const std::vector<std::string>& texts) {
    Db file(":memory:", true);
    auto conn = OpenServer();
    constexpr std::size_t kBatch = 1000;
    for (std::size_t start = 0; start < texts.size(); start += kBatch) {
      const std::size_t end = std::min(texts.size(), start + kBatch);
      std::string array = "{";  // a text[] parameter in the array's text form
      for (std::size_t i = start; i < end; ++i) {
        array += i > start ? ",\"" : "\"";
        for (const char c : texts[i]) array += (c == '"' || c == '\\') ? std::string{'\\', c} : std::string{c};
        array += '"';
      }
      array += "}";
      const char* values[] = {array.c_str()};
      postgres::Result result(PQexecParams(conn.get(),
                                           ("select (" + expression + ")::text from unnest($1::text[]) "
                                            "with ordinality t (x, n) order by n").c_str(),
                                           1, nullptr, values, nullptr, nullptr, 0));
      ASSERT_TRUE(postgres::Succeeded(result.get())) << postgres::ErrorText(conn.get(), result.get());
      for (std::size_t i = start; i < end; ++i) {
        sqlite3_stmt* stmt = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(file.get(), ("select " + expression + " from (select ?1 as x)").c_str(), -1,
                                     &stmt, nullptr), SQLITE_OK);
        sqlite3_bind_text(stmt, 1, texts[i].data(), static_cast<int>(texts[i].size()), SQLITE_TRANSIENT);
        sqlite3_step(stmt);
        const auto* onFile = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        const std::string expected = onFile != nullptr ? onFile : "<null>";
        sqlite3_finalize(stmt);
        const int row = static_cast<int>(i - start);
        EXPECT_EQ(PQgetisnull(result.get(), row, 0) ? "<null>" : PQgetvalue(result.get(), row, 0), expected)
            << expression << " of '" << texts[i] << "'";
      }
    }
  }
};

TEST_F(ServerTextReaders, DatesReadAsTheEmbeddedEngineReadsThem) {
  const std::vector<std::string> texts = {
      "3/5/2004", "03/05/2004", " 3/5/2004 ", "3-5-2004", "3.5.2004", "3 5 2004", "3 / 5 / 2004", "3/5/04",
      "3/5/29", "3/5/30", "3/5/99", "3/5/0", "13/1/2005", "1/13/2005", "2/29/2004", "2/29/2001", "2/30/2004",
      "0/5/2004", "3/0/2004", "3/5/99999", "3/5/50", "3/5/150", "2004-03-05", "2004-3-5", "2004/03/05",
      "2004-03-05 14:30:00", "2004-03-05T14:30", "2004-13-05", "3/5/2004 2:30:00 PM", "3/5/2004 14:30",
      "3/5/2004 12:00 AM", "3/5/2004 25:00", "3/5/2004 2:61", "3/5/2004 13:00 AM", "March 5, 2004",
      "march 5 2004", "MAR 5 2004", "Mar-5-2004", "5-Mar-2004", "5 March 2004", "2004 Mar 5", "Sept 9, 2004",
      "Sep 9, 04", "Mar 5, 29", "29Feb01", "March 2005", "3/2005", "2005/3", "Smarch 5, 2004", "March 5 2004 x",
      "hello", "", "   ", "20040305", "20041305", "Jan 2004", "2004", "3//5/2004", "3/5/2004/1", "12345", "3/5", "5/3"};
  ExpectAsOnTheFile("tw_date_text(x)", texts);
  ExpectAsOnTheFile("tw_date_text(null)", {""});
}

TEST_F(ServerTextReaders, AmountsYesNoAndNumbersReadAsTheProceduresNeed) {
  auto conn = OpenServer();
  EXPECT_EQ(ServerRows(conn.get(), "select tw_money_text('1,234.50'), tw_money_text('$1234.50'), tw_money_text(' $1,000 '), "
                                   "tw_money_text(''), tw_money_text('abc'), tw_money_text('12abc'), tw_money_text('-3.25'), "
                                   "tw_yes_no_text('1'), tw_yes_no_text('-1'), tw_yes_no_text('true'), "
                                   "tw_yes_no_text(' FALSE '), tw_yes_no_text('0'), tw_yes_no_text(''), "
                                   "tw_integer_text(' 2004 '), tw_integer_text('12abc'), tw_integer_text('abc'), "
                                   "tw_integer_text('')")[0],
            (std::vector<std::string>{"1234.50", "1234.50", "1000", "<null>", "0", "12", "-3.25", "t", "t", "t", "f", "f",
                                      "<null>", "2004", "12", "0", "<null>"}));
  EXPECT_NE(postgres::ExecText(conn.get(), "select tw_yes_no_text('maybe')"), "");
}

TEST_F(ServerTextReaders, NamesFoldIntoTheWordsTheFileFindsThemBy) {
  std::vector<std::string> texts = {"", " ", "O'Hare", "o’hare", "'Tis", "rock'n'roll", "d''Arc", "' '", "a ' b",
                                    "ĲSSELMEER straße", "Æsir ÞÓR", "  BABCOCK,  Susan  ", "Jean-Luc O`Neil Jr."};
  const std::vector<std::string> pieces = Pieces();
  for (const std::string& piece : pieces) {
    texts.push_back(piece);
    texts.push_back("Ab" + piece + "cD");
    texts.push_back(piece + "xY");
    texts.push_back("Xy" + piece);
  }
  std::mt19937 random(20240601);
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1), length(1, 12);
  for (int i = 0; i < 4000; ++i) {
    std::string text;
    for (std::size_t n = length(random); n > 0; --n) text += pieces[pick(random)];
    texts.push_back(text);
  }

  ExpectAsOnTheFile("tw_name_words(x, 0)", texts);
  ExpectAsOnTheFile("tw_name_words(x, 1)", texts);
  ExpectAsOnTheFile("tw_name_words(null, 0)", {""});
}

}  // namespace
}  // namespace tarnwick::test
