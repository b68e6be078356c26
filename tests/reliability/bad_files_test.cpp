// Connecting to files that are no usable office, and reading a damaged one:
// every refusal says which file and why, and leaves the file as it was.
#include <sys/stat.h>

#include <map>
#include <tuple>

#include "gateway/sqlite/catalog.hpp"
#include "support/sample_office.hpp"

namespace tarnwick::test {
namespace {

class BadFiles : public SampleOfficeSuite<40, Engines::File> {
 protected:
  // Connects a document object to path and expects the refusal to name the
  // file and the cause, with the folder's files exactly as they were.
  static void ExpectRefused(const std::string& path, const std::string& cause) {
    std::map<std::string, std::string> before;
    for (const auto& name : dir_->Entries()) before[name] = ReadFile(dir_->File(name));
    clsDocument doc;
    EXPECT_FALSE(doc.ConnectionVariables(path, "", "", "", false)) << path;
    const std::string why = doc.LastErrorText();
    EXPECT_NE(why.find(cause), std::string::npos) << why;
    EXPECT_NE(why.find(path.substr(0, path.find('\0'))), std::string::npos) << why;
    std::map<std::string, std::string> after;
    for (const auto& name : dir_->Entries()) after[name] = ReadFile(dir_->File(name));
    EXPECT_EQ(before, after) << "connecting to " << path << " changed or created a file";
    EXPECT_FALSE(doc.GetData(1)) << "an object refused its database has none";
    EXPECT_NE(doc.LastErrorText().find("Not connected"), std::string::npos);
  }
};

TEST_F(BadFiles, EachUnusableFileIsRefusedByNameAndCauseAndLeftAlone) {
  ExpectRefused(dir_->File("missing.db"), "does not exist");
  ExpectRefused(dir_->path().string(), "is a folder");

  for (const auto& [name, bytes, cause] : {std::tuple{"empty.db", std::string(), "is empty"},
                                           std::tuple{"garbage.db", std::string(8192, 'x'), "is not a database"}}) {
    WriteFile(dir_->File(name), bytes);
    ExpectRefused(dir_->File(name), cause);
  }

  const std::string foreign = dir_->File("foreign.db");
  Db(foreign, true).Exec("create table t(x); insert into t values (1);");
  ExpectRefused(foreign, "is not a filing-office database");

  const std::string older = dir_->File("older.db");
  CreateDatabase(older, sqlite::kApplicationId, sqlite::kSchemaVersion + 1, "create table t(x);");
  ExpectRefused(older, "has schema version " + std::to_string(sqlite::kSchemaVersion + 1));

  // An office put away read-only is refused before anything is written to it.
  const std::string archived = dir_->File("archived.db");
  ASSERT_TRUE(MakeOffice(archived, std::nullopt).ok());
  ASSERT_EQ(::chmod(archived.c_str(), 0444), 0);
  ExpectRefused(archived, "is read-only");
  ASSERT_EQ(::chmod(archived.c_str(), 0644), 0);

  // A name holding a NUL would open the file named by its first part.
  ExpectRefused(file_ + std::string(1, '\0') + "other", "NUL");
}

TEST_F(BadFiles, AConnectionAndAQueryThatFailSayWhy) {
  clsDocument doc;
  EXPECT_EQ(doc.LastErrorText(), "");
  ASSERT_TRUE(doc.ConnectionVariables(file_, "embedded", "", "", false));
  EXPECT_EQ(doc.LastErrorText(), "");
  EXPECT_FALSE(doc.ConnectionVariables(file_, "db.example.org", "", "", false));
  EXPECT_NE(doc.LastErrorText().find("db.example.org"), std::string::npos) << doc.LastErrorText();

  // A failed search leaves no rows behind that look like its answer, after a list or a row.
  ASSERT_TRUE(doc.ConnectionVariables(file_, "", "", "", false));
  for (const std::string bad : {"((", "no_such_column = 1"}) {
    ASSERT_TRUE(bad == "((" ? doc.GetDocumentList("") && doc.RecordCount() > 1 : doc.GetData(1));
    EXPECT_FALSE(doc.GetDocumentList("and " + bad));
    EXPECT_NE(doc.LastErrorText().find(bad), std::string::npos) << doc.LastErrorText();
    EXPECT_EQ(std::tuple(doc.DataReady(), doc.RecordCount(), doc.Title()), std::tuple(false, 0, ""));
  }
}

TEST_F(BadFiles, ADamagedTableIsReportedAsDamageNotAsNothingFound) {
  const std::string damaged = dir_->File("damaged.db");
  ASSERT_TRUE(MakeOffice(damaged, 40).ok());
  // The first document; the table's root page and the page size.
  const auto at = Db(damaged).Rows("select (select min(unique_id) from ref_document), rootpage, page_size "
                                   "from sqlite_master, pragma_page_size where name = 'ref_document'")[0];
  {
    // Scribble over the table's root page past its header.
    std::fstream file(damaged, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(static_cast<std::streamoff>((std::stoll(at[1]) - 1) * std::stoll(at[2])));
    const std::string junk(64, '\xA5');
    file.write(junk.data(), static_cast<std::streamsize>(junk.size()));
  }
  clsDocument doc;
  ASSERT_TRUE(doc.ConnectionVariables(damaged, "", "", "", false)) << doc.LastErrorText();
  for (const bool read : {false, true}) {
    EXPECT_FALSE(read ? doc.GetDocumentList("") : doc.GetData(std::stoi(at[0])));
    const std::string why = doc.LastErrorText();
    EXPECT_TRUE(why.find("is damaged") != std::string::npos && why.find(damaged) != std::string::npos) << why;
  }
}

}  // namespace
}  // namespace tarnwick::test
