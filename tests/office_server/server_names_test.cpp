// The server's name fold gives runtime::NameWords's words for every text.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "runtime/name_words.hpp"
#include "support/sample_office.hpp"

namespace tarnwick::test {
namespace {

std::string Utf8(char32_t cp) {
  std::string out;
  runtime::AppendUtf8(out, cp);
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

}  // namespace
}  // namespace tarnwick::test
