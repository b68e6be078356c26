// The tarnwick client run as a clerk runs it, against a sample office: every
// subcommand's output (tables for people, CSV and JSON parsed back) and its
// exit codes, failures included, with the words that name the user's mistake;
// and `tarnwick init` for a file and on the server, with no progress output
// when stdout is not a terminal, refusing to replace an office in use.

#include <algorithm>
#include <nlohmann/json.hpp>
#include <tuple>

#include "support/sample_office.hpp"
#include "support/server_office.hpp"

namespace tarnwick::test {
namespace {

class InitCommand : public ::testing::TestWithParam<OfficeEngine> {};

TW_ON_BOTH_ENGINES(InitCommand);

TEST_P(InitCommand, CreatesRefusesAndReplaces) {
  const bool onServer = GetParam() == OfficeEngine::Server;
  if (onServer) TW_REQUIRE_SERVER();
  TempDir dir;
  const DroppedDatabase dropped{onServer ? UniqueDatabaseName("init") : ""};
  const postgres::ConnectionSettings s = ServerSettings(dropped.name);
  const std::string target = onServer ? "--server '" + s.server + "' --database " + s.database + " --user " +
                                            s.user + " --trusted" : "'" + dir.File("office.db") + "'";
  const std::string count = "select count(*) from ref_document";
  struct Case {
    std::string arguments;
    int code;
    std::string says, lacks = "\r";  // no progress line on a pipe
    std::string documents;            // in the office afterwards
  };
  const Case cases[] = {
      {.arguments = " --sample 40", .code = 0, .says = "40 documents", .documents = "40"},
      {.arguments = "", .code = 3, .says = "--force", .documents = "40"},
      {.arguments = " --force", .code = 0, .says = "empty office", .documents = "0"},
      {.arguments = " --force --sample -3", .code = 2, .says = "", .documents = "0"},
      {.arguments = " --force --sample many", .code = 2, .says = "whole number", .lacks = "range", .documents = "0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    const CliRun run = Tarnwick("init " + target + c.arguments);
    EXPECT_EQ(run.code, c.code) << run.out;
    EXPECT_NE(run.out.find(c.says), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find(c.lacks), std::string::npos) << run.out;
    EXPECT_TRUE(c.code != 0 || std::count(run.out.begin(), run.out.end(), '\n') == 1) << run.out;
    EXPECT_EQ(onServer ? ServerText(ServerConnect(s.database).get(), count) : Db(dir.File("office.db")).Text(count),
              c.documents);
  }
  if (onServer) return;
  // Arguments that name no office, or name it twice; a folder that is not
  // there or is a file; an office a client has open, under its own exit code.
  WriteFile(dir.File("plain"), "x");
  clsDocument client;
  ASSERT_TRUE(client.ConnectionVariables(dir.File("office.db"), "", "", "", false));
  for (const auto& [arguments, code, says] : std::vector<std::tuple<std::string, int, std::string>>{
           {"", 2, ""}, {" --server h", 2, ""}, {" --database x", 2, ""}, {" 'a.db' --server h --database x", 2, ""},
           {" '" + dir.File("no/such/folder.db") + "'", 2, "does not exist"},
           {" '" + dir.File("plain") + "/a.db'", 2, "is a file, not a folder"},
           {" " + target + " --force", 5, "in use"}}) {
    const CliRun run = Tarnwick("init" + arguments);
    EXPECT_EQ(run.code, code) << arguments;
    EXPECT_NE(run.out.find(says), std::string::npos) << run.out;
  }
}

class Cli : public SampleOfficeSuite<300, Engines::File> {
 protected:
  // Runs the client on the sample office; stdout and stderr apart.
  static CliRun Tarnwick(const std::string& arguments) {
    return test::Tarnwick("--db '" + file_ + "' " + arguments, dir_->File("stderr.txt"));
  }

  static nlohmann::json Json(const CliRun& run) {
    EXPECT_EQ(run.code, 0) << run.err;
    return nlohmann::json::parse(run.out);  // throws (and fails the test) when not valid JSON
  }
  // Runs a command that must end with this exit code, saying `says` on stderr.
  static void ExpectEnds(const std::string& arguments, int code, const std::string& says = "") {
    const CliRun run = Tarnwick(arguments);
    EXPECT_EQ(run.code, code) << arguments << ": " << run.err;
    EXPECT_NE(run.err.find(says), std::string::npos) << arguments << ": " << run.err;
  }
};

// RFC 4180 records: quoted fields may hold commas, quotes and line breaks.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
  std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') rows.back().back() += text[++i];
      else if (c == '"') quoted = false;
      else rows.back().back() += c;
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      rows.back().emplace_back();
    } else if (c == '\n') {
      rows.emplace_back(1);
    } else if (c != '\r') {
      rows.back().back() += c;
    }
  }
  if (rows.back().size() == 1 && rows.back()[0].empty()) rows.pop_back();
  return rows;
}

TEST_F(Cli, DocumentSearchInEveryFormat) {
  const CliRun table = Tarnwick("documents search --type RPT --limit 3");
  ASSERT_EQ(table.code, 0) << table.err;
  EXPECT_EQ(table.out.rfind("UniqueID  DocTypeCode", 0), 0u) << table.out;
  EXPECT_NE(table.out.find("(3 of "), std::string::npos) << table.out;

  const auto all = Json(Tarnwick("--format json documents search --type RPT --limit 0"));
  ASSERT_TRUE(all.is_array());
  ASSERT_GT(all.size(), 3u);
  for (const auto& row : all) EXPECT_EQ(row.at("DocTypeCode"), "RPT");

  const CliRun csv = Tarnwick("--format csv documents search --type RPT --limit 0");
  const auto rows = ParseCsv(csv.out);
  ASSERT_EQ(rows.size(), all.size() + 1);
  EXPECT_EQ(rows[0][0], "UniqueID");
  for (std::size_t i = 1; i < rows.size(); ++i) {
    ASSERT_EQ(rows[i].size(), rows[0].size()) << "row " << i;
    EXPECT_EQ(rows[i][5], all[i - 1].at("Title"));  // embedded commas survive the quoting
  }

  // Wildcards and dates reach the search form; a search that finds nothing is no failure.
  EXPECT_EQ(Json(Tarnwick("--format json documents search --committee 'no such committee*'")).size(), 0u);
  const auto received = Json(Tarnwick("--format json documents search --dates received --from 1/1/2004 "
                                      "--to 12/31/2004 --limit 0"));
  for (const auto& row : received) EXPECT_EQ(row.at("ReceiveSendDate").get<std::string>().substr(0, 5), "2004-");

  ExpectEnds("documents search --dates received --from 2004-13-01", 2, "mm/dd/yyyy");
  ExpectEnds("documents search --from 01/01/2004", 2);  // a date without its kind
  ExpectEnds("documents search --dates someday", 2);
  ExpectEnds("documents search --dates received --from 02/30/2004", 2);
}

TEST_F(Cli, DocumentLifeCycle) {
  const auto made = Json(Tarnwick("--format json documents new DocTypeCode=COR DocYear=2004 "
                                  "'Title=Letter, \"urgent\"' DueDate=3/5/2004 AmountDue=-12.50 TotalReceipts=7"));
  const std::string message = made.at("message");
  ASSERT_EQ(message.rfind("Saved new document ", 0), 0u) << message;
  const std::string id = message.substr(std::string("Saved new document ").size());

  // JSON gives each value its kind; the table keeps the clerk's texts.
  auto shown = Json(Tarnwick("documents show " + id + " --format json"));
  const nlohmann::json expected = {{"Title", "Letter, \"urgent\""}, {"DueDate", "2004-03-05"}, {"AmountDue", "-12.5000"},
                                   {"TotalReceipts", "7.0000"}, {"UniqueID", std::stoi(id)}, {"DocYear", 2004},
                                   {"OtherDate", nullptr}, {"IsAmendment", nullptr}};
  for (const auto& [column, value] : expected.items()) EXPECT_EQ(shown.at(column), value) << column;
  EXPECT_NE(Tarnwick("documents show " + id).out.find("03/05/2004"), std::string::npos);

  ASSERT_EQ(Tarnwick("documents set " + id + " duedate=04/01/2004 Title=").code, 0);
  shown = Json(Tarnwick("--format json documents show " + id));
  EXPECT_EQ(std::tuple(shown.at("DueDate"), shown.at("Title")), std::tuple("2004-04-01", ""));

  ExpectEnds("documents set " + id + " NoSuchColumn=1", 2, "DueDate");  // lists the settable columns
  // A refused value is named with its column, under the number the conversion raised.
  ExpectEnds("documents set " + id + " AmountDue=lots", 1, "error 13 in Tarnwick: AmountDue: 'lots' is not a number");
  ExpectEnds("documents set " + id + " DueDate=02/30/2004", 1, "DueDate: '02/30/2004' is not a date");

  // Whatever a Title holds comes back whole in CSV and JSON, one row each, and
  // escaped in a table, where it can neither break a row nor drive the terminal.
  const std::string title = "a,\"b\"\r\nc\x1b[2Jd\x7f\xc2\x9b" "e\t";
  ASSERT_EQ(Tarnwick("documents set " + id + " 'Title=" + title + "' DocYear=1987").code, 0);
  Db(file_, true).Exec("update ref_document set Title = Title || char(0) || 'z' where unique_id = " + id);
  const std::string stored = title + std::string(1, '\0') + "z";
  const auto json = Json(Tarnwick("--format json documents search --year 1987 --limit 0"));
  ASSERT_EQ(json.size(), 1u);
  EXPECT_EQ(json[0].at("Title"), stored);
  const auto csv = ParseCsv(Tarnwick("--format csv documents search --year 1987 --limit 0").out);
  ASSERT_EQ(csv.size(), 2u);
  EXPECT_EQ(csv[1].at(std::find(csv[0].begin(), csv[0].end(), "Title") - csv[0].begin()), stored);
  for (const std::string& command : std::vector<std::string>{"documents search --year 1987", "documents show " + id,
                                                             "--format json documents search --year 1987"}) {
    const std::string shown = Tarnwick(command).out;
    EXPECT_TRUE(command[0] == '-' || shown.find("a,\"b\"\\r\\nc\\x1b[2Jd\\x7f\\u009be\\t\\0z") != std::string::npos) << shown;
    EXPECT_EQ(shown.find_first_of(std::string("\x1b\r\t\x7f\0", 5)), std::string::npos) << command;
    EXPECT_EQ(shown.find("\xc2\x9b"), std::string::npos) << command;
  }

  for (const auto& [command, code] : std::vector<std::pair<std::string, int>>{
           {"link " + id + " 3", 0}, {"link " + id + " 4 --affected", 0}, {"unlink " + id + " 3", 0},
           {"unlink " + id + " 4 --affected", 0}, {"unlink " + id + " 4 --affected", 3}, {"delete " + id, 0},
           {"delete 0", 3}}) ExpectEnds("documents " + command, code);
  ExpectEnds("documents show " + id, 3, "no document " + id);
}

TEST_F(Cli, CommitteesAndCodeLists) {
  // (What each search finds is the classes' business; here the options reach it.)
  const auto all = Json(Tarnwick("--format json committees search --limit 0"));
  ASSERT_FALSE(all.empty());
  const auto candidates = Json(Tarnwick("--format json committees search --name-kind candidate --name '*a*' --limit 0"));
  ASSERT_FALSE(candidates.empty());
  for (const auto& row : candidates) EXPECT_EQ(row.at("CommTypeCode"), "CNC");
  const std::string group = std::to_string(all[0].at("OrgID").get<int>());
  const auto one = Json(Tarnwick("--format json committees show " + group));
  EXPECT_EQ(one.at("OrgName"), all[0].at("OrgName"));
  // A name is looked for in the official name unless told; every kind given must match.
  const std::string name = all[0].at("OrgName");
  const auto byName = Json(Tarnwick("--format json committees search --name '" + name + "'"));
  EXPECT_TRUE(std::any_of(byName.begin(), byName.end(), [&](const auto& row) { return row == all[0]; })) << name;
  EXPECT_EQ(Json(Tarnwick("--format json committees search --name-in OA --name '" + name + "'")).size(), 0u);
  for (const char* wrong : {"committees search --name-kind nickname --name x", "committees search --name-in OX --name x",
                            "committees search --name-kind id --name 1 --first Ann", "find babcock --kind nickname",
                            "find babcock --limit 0"}) ExpectEnds(wrong, 2);
  ExpectEnds("committees show 987654", 3);
  ExpectEnds("committees affected 1", 0);

  // The name search: any name, typed loosely, as typed JSON; hostile text is
  // only words; a kind or limit the search does not take is a usage error.
  const std::string word = name.substr(name.rfind(' ') + 1);
  const auto found = Json(Tarnwick("find '" + word + "' --format json --kind any --limit 3"));
  ASSERT_FALSE(found.empty());
  EXPECT_LE(found.size(), 3u);
  EXPECT_TRUE(found[0].at("OrgID").is_number());
  EXPECT_TRUE(found[0].at("LastFiledDate").is_null() || found[0].at("LastFiledDate").get<std::string>().size() >= 10);
  EXPECT_EQ(Json(Tarnwick("--format json find '" + word + "'")),
            Json(Tarnwick("--format json find '(\"" + word + "\"* ^ -%)'")));
  ExpectEnds("find '\"; drop table tw_name; --'", 0);

  const auto offices = Json(Tarnwick("--format json lists show office --date 01/01/2004"));
  ASSERT_FALSE(offices.empty());
  const std::string code = offices[0].at("Code");
  const auto described = Json(Tarnwick("--format json codes describe office " + code + " --date 01/01/2004"));
  EXPECT_EQ(described.at("Description"), offices[0].at("Description"));
  EXPECT_EQ(Json(Tarnwick("--format json lists show office --date 01/01/2004 --filter \"Code = '" + code + "'\"")).size(), 1u);
  // Columns the list lacks are left out.
  EXPECT_FALSE(Json(Tarnwick("--format json lists show county")).at(0).contains("ExpireDate"));

  ExpectEnds("codes describe office NOPE", 3);
  ExpectEnds("lists show offices", 2, "county");  // names the lists
  ExpectEnds("lists show office --date 13/45/2004", 2);
  ExpectEnds("lists show office --filter 'Code LIKE ('", 2);
}

// The sample's scans (document 1 uncompressed, 26 Group 4, 51 LZW grey, 76
// PackBits, 101 JPEG colour, 126 PNG) as PNG pages and as one PDF each.
TEST_F(Cli, ImagePagesAsPngAndDocumentsAsPdf) {
  Db(file_, true).Exec("update DOCUMENT_IMAGE set orig_date = '2004-10-15 14:30:00' where document_id = 26");
  const auto info = Json(Tarnwick("--format json images info 26"));
  EXPECT_EQ(info.at("OrigDate"), "2004-10-15T14:30:00");
  EXPECT_EQ(info.at("Pages").get<std::string>().rfind("1: 340 x 440 px, 40 x 40 dpi, bilevel, CCITT Group 4", 0), 0u);
  const std::string png = dir_->File("page.png"), pdf = dir_->File("filing.pdf");
  ASSERT_EQ(Tarnwick("images page 26 1 -o '" + png + "' --width 200").code, 0);
  EXPECT_EQ(ReadFile(png).substr(12, 12), std::string("IHDR\0\0\0\xC8\0\0\x01\x03", 12)) << "200 x 259";
  for (const std::string document : {"1", "26", "51", "76", "101", "126"}) {
    ASSERT_EQ(Tarnwick("images pdf " + document + " -o '" + pdf + "'").code, 0) << document;
    const int pages = Json(Tarnwick("--format json images info " + document)).at("PageCount");
    EXPECT_EQ(std::system(("pdfinfo '" + pdf + "' | grep -q '^Pages: *" + std::to_string(pages) + "$'").c_str()), 0)
        << document;
  }
  ExpectEnds("images page 26 9 -o '" + png + "'", 3);
  ExpectEnds("images page 26 1 --width 0 -o '" + png + "'", 2);
  ExpectEnds("images pdf 26 -o '" + dir_->File("no/such/folder/f.pdf") + "'", 1);
  // A stored image that is no picture: info says why, page and pdf refuse it.
  WriteFile(dir_->File("junk.bin"), "not a scan");
  ASSERT_EQ(Tarnwick("images put 9 '" + dir_->File("junk.bin") + "'").code, 0);
  EXPECT_EQ(Json(Tarnwick("--format json images info 9")).at("Pages"),
            "unreadable: document 9: the stored image is neither TIFF nor PNG (10 bytes)");
  ExpectEnds("images pdf 9 -o '" + pdf + "'", 1, "document 9: the stored image is neither TIFF nor PNG");
}

TEST_F(Cli, ImagesExportsAndSettings) {
  const std::string image = dir_->File("page.bin");
  std::string bytes(70000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 % 251);
  WriteFile(image, bytes);
  ASSERT_EQ(Tarnwick("images put 7 '" + image + "' --pages 2").code, 0);
  const auto info = Json(Tarnwick("--format json images info 7"));
  EXPECT_EQ(std::tuple(info.at("ImageBytes"), info.at("PageCount"), info.at("HasImage")), std::tuple(70000, 2, true));
  // A link planted at a name beside the target is never followed.
  const std::string back = dir_->File("back.bin"), outside = dir_->File("outside.txt");
  WriteFile(outside, "not the client's");
  std::filesystem::create_symlink(outside, back + ".tarnwick-part");
  ASSERT_EQ(Tarnwick("images get 7 -o '" + back + "'").code, 0);
  EXPECT_TRUE(ReadFile(back) == bytes) << "read back byte for byte";
  EXPECT_EQ(ReadFile(outside), "not the client's");
  ExpectEnds("images get 7 --altered -o '" + back + "'", 3);
  ExpectEnds("images put 7 '" + dir_->File("no-such.tif") + "'", 2);
  ExpectEnds("images put 999999 '" + image + "'", 3);
  ExpectEnds("images get 7 -o '" + dir_->File("no/such/folder/x.bin") + "'", 1, "x.bin': No such file or directory");
  // An image over the office's limit is refused before it is read, naming the limit.
  const std::string huge = dir_->File("huge.bin"), starved = dir_->File("starved.txt");
  WriteFile(huge, "");
  std::filesystem::resize_file(huge, std::uintmax_t{300} << 20);
  ExpectEnds("images put 7 '" + huge + "'", 2, "limit of 268435456 bytes");
#ifndef __SANITIZE_ADDRESS__  // whose shadow memory no address-space limit leaves room for
  // Memory that runs out is reported as such, under its own exit code.
  std::filesystem::resize_file(huge, std::uintmax_t{200} << 20);
  const int status = std::system(("ulimit -v 262144; " TARNWICK_CLI_PATH " --db '" + file_ + "' images put 7 '" +
                                  huge + "' 2>'" + starved + "'").c_str());
  EXPECT_EQ(WEXITSTATUS(status), 6);
  EXPECT_NE(ReadFile(starved).find("images put: out of memory"), std::string::npos) << ReadFile(starved);
#endif
  ExpectEnds("images delete 7", 0);
  ExpectEnds("images delete 7", 3);
  EXPECT_EQ(Json(Tarnwick("--format json images info 7")).at("HasImage"), false);

  const std::string csv = dir_->File("filed.csv");
  ASSERT_EQ(Tarnwick("export filed-reports --kind filed -o '" + csv + "'").code, 0);
  EXPECT_EQ(ReadFile(csv).substr(0, 1), "\"") << "a header line of quoted column names";
  ExpectEnds("export correspondence -o '" + dir_->File("no/such/folder/x.csv") + "'", 1, "nothing was written");
  ExpectEnds("export filed-reports --kind sometimes -o x.csv", 2);
  ExpectEnds("export correspondence --from 31/12/2004 -o x.csv", 2);
  ExpectEnds("export filed-reports", 2);  // -o is required

  EXPECT_TRUE(Json(Tarnwick("--format json settings batch-scan")).contains("BatchScanPath"));
  EXPECT_TRUE(Json(Tarnwick("--format json settings defaults")).at(0).contains("SettingKey"));
  EXPECT_EQ(Json(Tarnwick("--format json settings defaults NO-SUCH-FUNCTION")).size(), 0u);
}

TEST_F(Cli, UsageVersionHelpAndMissingOffice) {
  const CliRun version = Tarnwick("--version");
  EXPECT_EQ(version.code, 0);
  EXPECT_EQ(version.out.rfind("tarnwick ", 0), 0u) << version.out;

  EXPECT_EQ(Tarnwick("--help").code, 0);
  const CliRun searchHelp = Tarnwick("documents search --help");
  EXPECT_NE(searchHelp.out.find("Example:"), std::string::npos) << searchHelp.out;

  // (The filing checks' answers are held to known rows in tests/office; here their options.)
  for (const char* wrong : {"", "--format xml documents show 1", "documents show x", "documents show 1 --no-such-option",
                            "checks run sometimes --committee 1", "checks run mef-check"}) ExpectEnds(wrong, 2);
  ExpectEnds("frobnicate", 2, "'frobnicate' is not a command");
  // The global options stand anywhere on the line, in every command; the last one given counts.
  for (const char* command : {"documents search --limit 2", "committees affected 1", "lists show party",
                              "codes describe party DEM", "settings defaults", "images info 26",
                              "checks run mef-return --committee 1 --format table",
                              "checks run 48h-list-amend --committee 1 --year 2004"}) {
    EXPECT_TRUE(Json(Tarnwick(std::string(command) + " --format json")).is_structured()) << command;
  }
  EXPECT_TRUE(Json(Tarnwick("--format json checks run mef-return --committee 1")).at("MatchFound").is_boolean());
  EXPECT_EQ(Tarnwick("lists show party --db '" + file_ + "' --format csv").out.rfind("Code,", 0), 0u);
  ExpectEnds("documents show 1 --db '" + dir_->File("absent.db") + "'", 4);
  ExpectEnds("--db '" + dir_->File("absent.db") + "' documents show 1", 4, "tarnwick init");
  ExpectEnds("--db '" + dir_->File("stderr.txt") + "' documents show 1", 4);

  const CliRun typelib = Tarnwick("typelib --members");
  EXPECT_EQ(typelib.code, 0);
  EXPECT_NE(typelib.out.find("Tarnwick.clsDocument"), std::string::npos);
  EXPECT_NE(typelib.out.find("FortyEightHourList"), std::string::npos);
}

TEST_F(Cli, DemoCreatesItsOfficeAndRunsTwice) {
  const std::string file = dir_->File("demo.db");
  for (int run = 0; run < 2; ++run) {
    const CliRun demo = Tarnwick("demo '" + file + "'");
    ASSERT_EQ(demo.code, 0) << demo.err;
    EXPECT_EQ(demo.out.find("Creating a sample office") != std::string::npos, run == 0) << demo.out;
    for (const char* step : {"1. Reports filed", "2. Open report", "3. Committee links", "4. Committees whose",
                             "5. Store a scanned page", "6. The 48-hour list", "7. Export"}) {
      EXPECT_NE(demo.out.find(step), std::string::npos) << step << " missing from:\n" << demo.out;
    }
    EXPECT_NE(demo.out.find("identical"), std::string::npos) << demo.out;
    EXPECT_TRUE(std::filesystem::exists(dir_->File("filed-reports-2004.csv")));
    EXPECT_EQ(demo.out.find('\r'), std::string::npos) << "no progress line on a pipe";
  }
}

}  // namespace
}  // namespace tarnwick::test
