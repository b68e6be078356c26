// Hostile text: what a client types into a text argument never changes the
// statement it lands in.
#include <random>

#include "gateway/sqlite/engine.hpp"
#include "gateway/tsql/lexer.hpp"
#include "gateway/tsql/parser.hpp"
#include "runtime/text.hpp"
#include "support/sample_office.hpp"

namespace tarnwick::test {
namespace {

// Texts built mostly from the characters that end literals, comment out the
// rest of a statement, act as wildcards or are no valid UTF-8.
std::string RandomText(std::mt19937& random) {
  static const std::vector<std::string> kPieces = {
      "'", "''", "\"", "[", "]", "%", "_", "*", "?", ";", "--", "/*", "*/", "\\", std::string(1, '\0'), "\n",
      "\xC3\xA4", "\xFF", "\x80", "\xC3", " or 1=1", "a", "Z", " ", "N'", "0x1F", "@p", "exec "};
  std::uniform_int_distribution<std::size_t> length(0, 24), piece(0, kPieces.size() - 1);
  std::string text;
  for (std::size_t i = length(random); i > 0; --i) text += kPieces[piece(random)];
  return text;
}

class HostileText : public SampleOfficeSuite<30, Engines::File> {};

// Made safe by either gateway, any text is one literal of itself in a statement; the first few hundred also
// come back from the database as they were sent.
TEST_F(HostileText, BecomesExactlyOneLiteralOfItselfAndComesBackAsSent) {
  std::mt19937 random(20041102);
  auto unconnected = CreateDefaultGateway();
  sqlite::Engine engine;
  ASSERT_TRUE(engine.Open(file_)) << engine.LastError();
  for (int i = 0; i < 3000; ++i) {
    const std::string text = RandomText(random);
    const bool nul = text.find('\0') != std::string::npos;
    if (i < 300) {
      std::shared_ptr<Recordset> rs;
      const std::string error = engine.OpenRecordset("select '" + engine.SqlSafeText(text) + "' as v", rs, 0, true);
      if (nul) {
        EXPECT_NE(error.find("NUL"), std::string::npos) << error;
      } else {
        ASSERT_EQ(error, "") << text;
        EXPECT_EQ(rs->Collect("v"), Variant(text));
      }
    }
    for (DataGateway* gateway : {unconnected.get(), static_cast<DataGateway*>(&engine)}) {
      const std::string sql = "select '" + gateway->SqlSafeText(text) + "' from ref_document where title = '" +
                              gateway->SqlSafeText(text) + "'";
      std::vector<tsql::Token> tokens;
      tsql::SyntaxError error;
      if (nul) {
        // No SQL text can carry a NUL: the whole statement is refused, none is cut short.
        EXPECT_FALSE(tsql::Tokenize(sql, tokens, error));
        EXPECT_NE(error.message.find("NUL"), std::string::npos) << error.message;
        continue;
      }
      ASSERT_TRUE(tsql::Tokenize(sql, tokens, error)) << error.message << " in " << sql;
      tsql::Translation parsed;
      tsql::ast::QueryPtr query;
      ASSERT_TRUE(tsql::Parse(tokens, parsed, query, error)) << error.message << " in " << sql;
      using enum tsql::ast::ExprKind;
      ASSERT_TRUE(query && query->cores.size() == 1) << sql;
      const auto& core = query->cores[0];
      ASSERT_TRUE(core.items.size() == 1 && core.from.size() == 1 && core.where && core.where->kind == Binary) << sql;
      ASSERT_TRUE(core.items[0].expr->kind == Text && core.where->args[1]->kind == Text) << sql;
      EXPECT_EQ(core.items[0].expr->text + "|" + core.where->args[1]->text, text + "|" + text);
    }
  }
}

// On the server, in a database whose own setting would read a backslash in a
// literal as an escape, as a careless administrator may leave it.
class StoredHostileText : public SampleOfficeSuite<30, Engines::Each> {
 protected:
  static void SetUpTestSuite() {
    SampleOfficeSuite::SetUpTestSuite();
    if (!database_.empty())
      ServerExec(ServerConnect("postgres").get(),
                 "ALTER DATABASE " + database_ + " SET standard_conforming_strings = off");
  }
};

TW_ON_BOTH_ENGINES(StoredHostileText);

TEST_P(StoredHostileText, IsStoredWholeAndSearchedForWithoutChangingTheSearch) {
  auto doc = Connected<clsDocument>();
  const std::string documents = Query("select count(*) from ref_document");
  std::mt19937 random(7);
  std::vector<std::string> texts = {"O'Brien's '' committee", "100% _of_ [all] *?", std::string(1 << 20, 'm'),
                                    "\\' or 1=1 --", "x\\'; select pg_sleep(30) --", "\\", "a\\%",
                                    std::string("nul\0inside", 10), "bad \xFF\xC3 utf-8"};
  for (int i = 0; i < 20; ++i) texts.push_back(RandomText(random));
  for (const std::string& text : texts) {
    SCOPED_TRACE(text.substr(0, 40));
    ASSERT_TRUE(doc->GetData());
    doc->Title(text);
    doc->NameListed(text);
    const bool saved = doc->SaveData();
    const bool nul = text.find('\0') != std::string::npos;
    // Longer than the column: refused on both engines, not cut.
    if (text.size() > 255) {
      EXPECT_FALSE(saved);
      EXPECT_NE(runtime::ToLower(doc->LastErrorText()).find("name_listed"), std::string::npos) << doc->LastErrorText();
      continue;
    }
    // The server keeps UTF-8 only and says so; the file keeps the bytes.
    if (engine_ == OfficeEngine::Server && !nul && !saved &&
        doc->LastErrorText().find("invalid byte sequence for encoding \"UTF8\"") != std::string::npos) continue;
    // No stored text ends early at a NUL: refused on both engines, naming the column.
    EXPECT_EQ(saved, !nul) << doc->LastErrorText();
    if (nul) {
      const std::string why = runtime::ToLower(doc->LastErrorText());
      EXPECT_TRUE(why.find("title") != std::string::npos || why.find("name_listed") != std::string::npos) << why;
      EXPECT_NE(why.find("nul character"), std::string::npos) << why;
      continue;
    }
    ASSERT_TRUE(saved) << doc->LastErrorText();
    EXPECT_EQ(doc->Title(), text);
    const std::int32_t id = doc->UniqueID();
    // The same text as a search value finds at most what it names.
    const std::string filter = DocumentSearch{.name = text, .nameType = "O"}.Filter(*doc);
    const bool found = doc->GetDocumentList(filter);
    EXPECT_EQ(doc->LastErrorText().find(filter), std::string::npos) << "a search failed: " << doc->LastErrorText();
    EXPECT_TRUE(!found || doc->RecordCount() < std::stoi(documents)) << "the search was widened by " << text;
    ASSERT_TRUE(doc->GetData(id));
    EXPECT_EQ(doc->Title(), text);
  }
}

TEST_F(HostileText, NameSearchesIgnoreLetterCaseBeyondAscii) {
  clsDocument doc;
  ASSERT_TRUE(doc.ConnectionVariables(file_, "", "", "", false) && doc.GetData());
  doc.NameListed("ÄÖ Ünion für Größe, ŁÓDŹ, ΑΘΗΝΑ, МОСКВА");
  ASSERT_TRUE(doc.SaveData()) << doc.LastErrorText();
  const std::string id = std::to_string(doc.UniqueID());
  sqlite::Engine engine;
  ASSERT_TRUE(engine.Open(file_));
  std::shared_ptr<Recordset> rs;
  const auto count = [&](const std::string& pattern) {
    const std::string sql = "select count(*) as n from ref_document where unique_id = " + id +
                            " and name_listed like '" + pattern + "'";
    EXPECT_EQ(engine.OpenRecordset(sql, rs, 0, true), "") << sql;
    return rs ? rs->Collect("n").CLng() : -1;
  };
  // ß is no SS; [] takes the server's character sets; _ is one character, not one byte.
  for (const auto& [pattern, n] : {std::pair{"äö ü%", 1}, {"%GRÖSSE%", 0}, {"%größe%", 1}, {"%łódź%", 1}, {"%αθηνα%", 1},
                                   {"%москва", 1}, {"[ä]ö_ü%", 1}, {"%москв_", 1}, {"ao%", 0}})
    EXPECT_EQ(count(pattern), n) << pattern;
}

// A code argument that closes its literal and reads the schema fails as a
// whole. (What any query text may reach is in tests/gateway/engines/.)
TEST_F(HostileText, ACodeArgumentThatReadsTheSchemaFailsAsAWhole) {
  const std::string documents = Query("select count(*) from ref_document");
  clsDocument doc;
  ASSERT_TRUE(doc.ConnectionVariables(file_, "", "", "", false));
  const std::string filter = DocumentSearch{.docType = "RPT' or exists (select 1 from sqlite_master) or 'a' = 'b"}.Filter(doc);
  EXPECT_FALSE(doc.GetDocumentList(filter));
  EXPECT_NE(doc.LastErrorText().find("not authorized"), std::string::npos) << doc.LastErrorText();
  EXPECT_EQ(Query("select count(*) from ref_document"), documents);
}

}  // namespace
}  // namespace tarnwick::test
