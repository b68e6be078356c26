// The server's name index: its fold gives runtime::NameWords's words for
// every text, and the index follows every write as a rebuild would have it.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "runtime/name_words.hpp"
#include "support/sample_office.hpp"

namespace tarnwick::test {
namespace {

using Rows = std::vector<std::vector<std::string>>;

std::string Utf8(char32_t cp) {
  std::string out;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6)), out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12)), out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18)), out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F)), out += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return out;
}

// A text[] parameter in the array's text form.
std::string ArrayText(const std::vector<std::string>& texts) {
  std::string out = "{";
  for (const std::string& text : texts) {
    if (out.size() > 1) out += ',';
    out += '"';
    for (char c : text) {
      if (c == '"' || c == '\\') out += '\\';
      out += c;
    }
    out += '"';
  }
  return out + "}";
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

class ServerNameFold : public SampleOfficeSuite<0, Engines::Server> {};

TEST_F(ServerNameFold, GivesTheWordsNameWordsGivesForEveryText) {
  auto conn = OpenServer();
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

  constexpr std::size_t kBatch = 1000;
  for (std::size_t start = 0; start < texts.size(); start += kBatch) {
    const std::vector<std::string> batch(texts.begin() + static_cast<std::ptrdiff_t>(start),
                                         texts.begin() + static_cast<std::ptrdiff_t>(std::min(texts.size(), start + kBatch)));
    const std::string array = ArrayText(batch);
    const char* values[] = {array.c_str()};
    postgres::Result result(PQexecParams(conn.get(),
                                         "select tw_name_words(x, 0), tw_name_words(x, 1) "
                                         "from unnest($1::text[]) with ordinality t (x, n) order by n",
                                         1, nullptr, values, nullptr, nullptr, 0));
    ASSERT_TRUE(postgres::Succeeded(result.get())) << postgres::ErrorText(conn.get(), result.get());
    ASSERT_EQ(PQntuples(result.get()), static_cast<int>(batch.size()));
    for (std::size_t i = 0; i < batch.size(); ++i) {
      const int row = static_cast<int>(i);
      EXPECT_EQ(PQgetvalue(result.get(), row, 0), runtime::NameWords(batch[i], runtime::NameWordsUse::Index))
          << "index words of '" << batch[i] << "'";
      EXPECT_EQ(PQgetvalue(result.get(), row, 1), runtime::NameWords(batch[i], runtime::NameWordsUse::Query))
          << "query words of '" << batch[i] << "'";
    }
  }
  EXPECT_EQ(ServerText(conn.get(), "select coalesce(tw_name_words(null, 0), 'null')"), "null");
}

class ServerNameIndex : public SampleOfficeSuite<300, Engines::Server> {
 protected:
  // The index as it stands, and as a rebuild from the tables makes it.
  static Rows Index(PGconn* conn) {
    return ServerRows(conn,
                      "select org_id::text, kind, source, name, words, coalesce(acronym_key, '-'), words_tsv::text "
                      "from tw_name order by org_id, kind, source, name collate \"C\", words collate \"C\", acronym_key collate \"C\"");
  }
  static Rows Committees(PGconn* conn) {
    return ServerRows(conn, "select org_id, org_name, status_code, last_filed from tw_name_committee order by org_id");
  }
  static void ExpectAsRebuilt(PGconn* conn, const std::string& after) {
    SCOPED_TRACE(after);
    const Rows index = Index(conn), committees = Committees(conn);
    ServerExec(conn, "begin; delete from tw_name; delete from tw_name_committee; "
                     "select tw_names_refresh(array(select org_group_id from org_committee), true)");
    EXPECT_EQ(index, Index(conn));
    EXPECT_EQ(committees, Committees(conn));
    ServerExec(conn, "rollback");
  }
  static Rows Found(PGconn* conn, const std::string& text) {
    ServerExec(conn, "begin; call sp_find_names('" + text + "', 'committee,candidate,treasurer', 20, 'found')");
    Rows rows = ServerRows(conn, "fetch all from found");
    ServerExec(conn, "commit");
    return rows;
  }
};

TEST_F(ServerNameIndex, FollowsEveryWriteAsARebuildWould) {
  auto conn = OpenServer();
  PGconn* c = conn.get();
  ASSERT_GT(std::stoi(ServerText(c, "select count(*) from tw_name_committee")), 5);
  ExpectAsRebuilt(c, "the build");
  const std::string org = ServerText(c, "select min(org_group_id) from org_committee where trans_end_date is null");
  const std::string other = ServerText(c, "select max(org_group_id) from org_committee");

  ServerExec(c, "update org_committee set org_name = 'Friends of Zébulon Quarrie' "
                "where org_group_id = " + org + " and trans_end_date is null");
  ExpectAsRebuilt(c, "a committee renamed");
  EXPECT_EQ(ServerText(c, "select org_name from tw_name_committee where org_id = " + org), "Friends of Zébulon Quarrie");
  EXPECT_EQ(Found(c, "zebulon quar"), (Rows{{"committee", org, "Friends of Zébulon Quarrie",
                                             "Friends of Zébulon Quarrie",
                                             ServerText(c, "select coalesce(status_code, '<null>') from tw_name_committee "
                                                           "where org_id = " + org),
                                             ServerText(c, "select coalesce(last_filed::text, '<null>') from "
                                                           "tw_name_committee where org_id = " + org)}}));

  const std::string person = ServerText(
      c, "insert into org_name_address (first_name, last_name) values ('Ysolde', 'O''Brannagh') returning unique_id");
  ServerExec(c, "insert into org_officers (group_id, org_group_id, name_type_code, entity_id, trans_date) "
                "values (" + other + ", " + other + ", 'trs', " + person + ", '2004-01-01')");
  ExpectAsRebuilt(c, "an officer added");
  ASSERT_EQ(Found(c, "brannagh").size(), 1u);
  EXPECT_EQ(Found(c, "brannagh")[0][3], "Ysolde O'Brannagh");
  ServerExec(c, "update org_officers set trans_end_date = '2005-01-01' where entity_id = " + person);
  ServerExec(c, "update org_name_address set first_name = 'Yseult' where unique_id = " + person);
  ExpectAsRebuilt(c, "an officer's term ended, then the name changed");
  EXPECT_EQ(Found(c, "obrannagh")[0][3], "Yseult O'Brannagh") << "a former officer is still found";

  ServerExec(c, "insert into xrf_org_document (org_id, document_id) select " + org +
                ", max(unique_id) from ref_document where unique_id not in "
                "(select document_id from xrf_org_document where org_id = " + org + ")");
  ServerExec(c, "update ref_document set receive_send_date = '2031-05-06' where unique_id = "
                "(select max(document_id) from xrf_org_document where org_id = " + org + ")");
  ExpectAsRebuilt(c, "a link added, its document's receipt changed");
  EXPECT_EQ(ServerText(c, "select last_filed from tw_name_committee where org_id = " + org), "2031-05-06 00:00:00");
  ServerExec(c, "delete from xrf_org_document where org_id = " + org +
                " and document_id = (select max(document_id) from xrf_org_document where org_id = " + org + ")");
  ServerExec(c, "update ref_org set current_status_code = 'trm' where group_id = " + org);
  ExpectAsRebuilt(c, "a link removed, a status changed");

  const Rows before = Index(c);
  ServerExec(c, "begin; update org_committee set org_name = 'Never Kept' where org_group_id = " + other +
                "; delete from org_officers where org_group_id = " + org + "; rollback");
  EXPECT_EQ(Index(c), before) << "a rolled-back write leaves the index as it was";
  ServerExec(c, "delete from org_officers where org_group_id = " + org);
  ExpectAsRebuilt(c, "officers deleted");
}

}  // namespace
}  // namespace tarnwick::test
