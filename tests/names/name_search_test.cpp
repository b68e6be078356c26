// The forgiving name search on both engines: every committee is found by each
// word of each of its names as a person types it; the rows come in the
// written ranking; hostile text is only words; and on the file the index
// agrees with the tables after the classes' writes.
#include <cctype>
#include <iterator>
#include <sstream>
#include <string_view>
#include <map>
#include <set>

#include "runtime/name_words.hpp"
#include "support/raises.hpp"
#include "support/sample_office.hpp"

namespace tarnwick::test {
namespace {

// Committees 990001..990007 with names, officers, statuses and filings
// chosen so that each ranking rule decides between two of them.
constexpr const char* kKnownRows = R"sql(
insert into ref_org (unique_id, group_id, id_1, id_2, id_3, id_4, current_status_code, trans_date) values
  (990001, 990001, '2004', 'C', '990001', '01', 'ACT', '2004-01-01 00:00:00'),
  (990002, 990002, '2004', 'P', '990002', '02', 'TRM', '2004-01-01 00:00:00'),
  (990003, 990003, '2004', 'P', '990003', '03', 'ACT', '2004-01-01 00:00:00'),
  (990004, 990004, '2004', 'C', '990004', '04', 'ACT', '2004-01-01 00:00:00'),
  (990005, 990005, '2004', 'P', '990005', '05', 'INA', '2004-01-01 00:00:00'),
  (990006, 990006, '2004', 'P', '990006', '06', 'ACT', '2004-01-01 00:00:00'),
  (990007, 990007, '2004', 'P', '990007', '07', 'INA', '2004-01-01 00:00:00');
insert into org_committee (org_group_id, trans_date, trans_end_date, org_name, inhouse_name, old_acronym,
                           comm_type_code) values
  (990001, '2004-01-01 00:00:00', null, 'Quorvex Müller Committee', 'MULLER, QUORVEX (CCM)', 'QMC', 'CNC'),
  (990002, '2004-01-01 00:00:00', null, 'Quorvexia Fund', null, 'ZQ PAC', 'PAC'),
  (990003, '2004-01-01 00:00:00', null, 'Neighbors of O''Hare Quorvexian', null, null, 'PAC'),
  (990004, '2004-01-01 00:00:00', null, 'Plain Committee Four', null, null, 'CNC'),
  (990005, '2001-01-01 00:00:00', '2004-01-01 00:00:00', 'Yesteryear Zintaro Club', null, null, 'PAC'),
  (990005, '2004-01-01 00:00:00', null, 'Plain Committee Five', null, null, 'PAC'),
  (990006, '2004-01-01 00:00:00', null, 'Quorvex Fund Two', null, null, 'PAC'),
  (990007, '2004-01-01 00:00:00', null, 'Quorvex Guild', null, null, 'PAC');
insert into org_name_address (unique_id, first_name, middle_name, last_name, nick_name) values
  (990001, 'Quorvex', null, 'D''Esposito', null),
  (990002, 'Quorvex', 'B.', 'Smith', 'Vexy');
insert into org_officers (group_id, org_group_id, name_type_code, entity_id, trans_date) values
  (990001, 990004, 'CND', 990001, '2004-01-01 00:00:00'),
  (990002, 990005, 'TRS', 990002, '2004-01-01 00:00:00');
insert into ref_document (unique_id, doc_type_code, doc_year, receive_send_date) values
  (990101, 'RPT', 2004, '2004-10-01 00:00:00'), (990102, 'RPT', 2004, '2004-12-01 00:00:00'),
  (990103, 'RPT', 2003, '2003-01-01 00:00:00'), (990104, 'RPT', 2005, '2005-01-01 00:00:00'),
  (990105, 'RPT', 2004, '2004-10-01 00:00:00'), (990106, 'RPT', 2006, '2006-01-01 00:00:00');
insert into xrf_org_document (org_id, document_id) values
  (990001, 990101), (990002, 990102), (990004, 990103), (990005, 990104), (990006, 990105), (990007, 990106);
)sql";

class NameSearch : public SampleOfficeSuite<2000> {
 protected:
  static void SetUpTestSuite() {
    SampleOfficeSuite::SetUpTestSuite();
    Db(file_, true).Exec(kKnownRows);
    if (!database_.empty()) ServerExec(ServerConnect(database_).get(), kKnownRows);
  }

  // The rows of a search: kind, committee, its name, the name that matched,
  // status and last filing, one line each.
  static std::vector<std::string> Found(clsNameSearch& search, const std::string& text, const std::string& kinds = "any",
                                        std::int32_t limit = 20) {
    std::vector<std::string> rows;
    if (!search.Find(text, kinds, limit)) {
      EXPECT_EQ(search.LastErrorText(), "") << text;
      return rows;
    }
    for (; !search.EndOfFile(); search.MoveNext())
      rows.push_back(search.Kind() + "|" + std::to_string(search.OrgID()) + "|" + search.OrgName() + "|" +
                     search.MatchedName() + "|" + search.StatusCode() + "|" + search.LastFiledDate());
    return rows;
  }
  static std::set<std::int32_t> Committees(clsNameSearch& search, const std::string& text, const std::string& kinds) {
    std::set<std::int32_t> found;
    if (search.Find(text, kinds, clsNameSearch::kMaxFindRows))
      for (; !search.EndOfFile(); search.MoveNext()) found.insert(search.OrgID());
    return found;
  }
};

TW_ON_BOTH_ENGINES(NameSearch);

// What a person types for a word of a name: lower case, no accents, the
// apostrophe left out or typed as a blank. Words with letters this table
// does not know are left to the fold's own tests.
std::vector<std::string> Typed(const std::string& word) {
  static const std::map<std::string, std::string> kPlain = {{"Ø", "o"}, {"Á", "a"}, {"ü", "u"}, {"é", "e"}};
  std::string plain, spaced;
  for (std::size_t i = 0; i < word.size(); ++i) {
    const auto c = static_cast<unsigned char>(word[i]);
    std::string letter;
    if (c >= 0x80) {
      const auto known = kPlain.find(word.substr(i++, 2));
      if (known == kPlain.end()) return {};
      letter = known->second;
    } else if (std::isalnum(c)) {
      letter = std::string(1, static_cast<char>(std::tolower(c)));
    }
    plain += letter;
    spaced += c == '\'' ? " " : letter;
  }
  if (plain.empty()) return {};
  return spaced == plain ? std::vector<std::string>{plain} : std::vector<std::string>{plain, spaced};
}

std::vector<std::string> Words(std::string name) {
  for (char& c : name) c = std::string_view(",().&-").find(c) == std::string_view::npos ? c : ' ';
  std::istringstream in(name);
  return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

TEST_P(NameSearch, EveryCommitteeIsFoundByEachWordOfEachOfItsNamesAndByItsAcronym) {
  auto search = Connected<clsNameSearch>();
  // Each name of each committee, former ones too, with the kind it is found as.
  const auto names = QueryRows(
      "select org_group_id, 'committee', org_name from org_committee union "
      "select org_group_id, 'committee', inhouse_name from org_committee where inhouse_name is not null union "
      "select o.org_group_id, case when o.name_type_code = 'CND' then 'candidate' else 'treasurer' end, "
      "coalesce(na.first_name, '') || ' ' || coalesce(na.middle_name, '') || ' ' || coalesce(na.last_name, '') "
      "|| ' ' || coalesce(na.suffix, '') || ' ' || coalesce(na.nick_name, '') "
      "from org_officers o join org_name_address na on na.unique_id = o.entity_id "
      "where o.name_type_code in ('CND', 'TRS')");
  ASSERT_GT(names.size(), 150u);
  std::map<std::pair<std::string, std::string>, std::set<std::int32_t>> asked;  // (typed, kind) -> committees
  std::size_t tried = 0;
  for (const auto& row : names) {
    for (const std::string& word : Words(row[2])) {
      for (const std::string& typed : Typed(word)) {
        auto key = std::make_pair(typed, row[1]);
        auto it = asked.find(key);
        if (it == asked.end()) it = asked.emplace(key, Committees(*search, typed, row[1])).first;
        EXPECT_TRUE(it->second.count(std::stoi(row[0])))
            << "committee " << row[0] << " not found as " << row[1] << " by '" << typed << "' of '" << row[2] << "'";
        ++tried;
      }
    }
  }
  EXPECT_GT(tried, 600u);
  for (const auto& row : QueryRows("select org_group_id, old_acronym from org_committee where old_acronym <> ''"))
    EXPECT_TRUE(Committees(*search, row[1], "committee").count(std::stoi(row[0]))) << row[1];
}

TEST_P(NameSearch, RanksWholeWordsOwnNamesActiveCommitteesAndLatestFilingsFirst) {
  auto search = Connected<clsNameSearch>();
  const std::string a = "committee|990001|Quorvex Müller Committee|Quorvex Müller Committee|ACT|10/01/2004";
  const std::string b = "committee|990002|Quorvexia Fund|Quorvexia Fund|TRM|12/01/2004";
  const std::string c = "committee|990003|Neighbors of O'Hare Quorvexian|Neighbors of O'Hare Quorvexian|ACT|";
  const std::string d = "candidate|990004|Plain Committee Four|Quorvex D'Esposito|ACT|01/01/2003";
  const std::string e = "treasurer|990005|Plain Committee Five|Quorvex B. Smith|INA|01/01/2005";
  const std::string f = "committee|990006|Quorvex Fund Two|Quorvex Fund Two|ACT|10/01/2004";
  const std::string g = "committee|990007|Quorvex Guild|Quorvex Guild|INA|01/01/2006";
  struct Case { std::string text, kinds = "any"; std::int32_t limit = 20; std::vector<std::string> rows; };
  const Case cases[] = {
      // Whole before prefix; own names, then candidates, then treasurers;
      // active before inactive, whatever the filings; a tie of status and
      // filing goes by committee number; among prefixes the active committee
      // without filings before the terminated one.
      {.text = "QUORVEX", .rows = {a, f, g, d, e, c, b}},
      {.text = "quorvex", .kinds = "Treasurer, candidate", .rows = {d, e}},
      {.text = "quorvex", .limit = 2, .rows = {a, f}},
      // Words in any order, accents and apostrophes as the person types them.
      {.text = "muller quor", .rows = {a}},
      {.text = "comm müller", .rows = {a}},
      {.text = "ohare quorv", .rows = {c}},
      {.text = "o hare QUORVEXIAN", .rows = {c}},
      {.text = "O’Hare quorvexian", .rows = {c}},
      {.text = "q desposito", .kinds = "candidate", .rows = {d}},
      {.text = "d esposito quorvex", .rows = {d}},
      // A nickname and a middle initial; a former name, with the current one shown.
      {.text = "vexy smith", .rows = {e}},
      {.text = "quorvex b smi", .rows = {e}},
      {.text = "zintaro", .rows = {"committee|990005|Plain Committee Five|Yesteryear Zintaro Club|INA|01/01/2005"}},
      // An acronym only whole; two-letter words.
      {.text = "qmc", .rows = {"committee|990001|Quorvex Müller Committee|QMC|ACT|10/01/2004"}},
      {.text = "zq pac", .rows = {"committee|990002|Quorvexia Fund|ZQ PAC|TRM|12/01/2004"}},
      {.text = "ZQPAC", .rows = {"committee|990002|Quorvexia Fund|ZQ PAC|TRM|12/01/2004"}},
      {.text = "qm", .rows = {}},
      {.text = "quorvexes", .rows = {}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.text + " / " + k.kinds);
    EXPECT_EQ(Found(*search, k.text, k.kinds, k.limit), k.rows);
    EXPECT_EQ(search->RecordCount(), static_cast<std::int32_t>(k.rows.size()));
  }
}

TEST_P(NameSearch, HostileTextIsOnlyWordsAndBadChoicesAreRefused) {
  auto search = Connected<clsNameSearch>();
  // Each text finds what its plain words find: quotes, the index's operators,
  // wildcards and control characters are blanks.
  const std::string texts[] = {
      "babcock\" OR \"a",  "bab* NEAR(sus", "'; drop table tw_name; --", "bab:* | !sus", "-babcock ^sus",
      "%bab%",            "bab\\",          std::string("bab\0sus", 7),  "(bab) & {sus}", "AND OR NOT",
      "babcock' or '1'='1", "\x01\x1b[31mbab",  "bab\xff\xfe sus",  "\"\"", "*",
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    const std::string words = runtime::NameWords(text, runtime::NameWordsUse::Query);
    EXPECT_EQ(Found(*search, text), Found(*search, words));
  }
  EXPECT_FALSE(search->Find("", "any", 20) || search->Find(" ' * % ", "any", 20) || search->DataReady());
  EXPECT_EQ(search->LastErrorText(), "");
  // Sixteen words are a name; seventeen are not; nor are kinds and limits the search does not take.
  EXPECT_NO_THROW(search->Find("a b c d e f g h i j k l m n o p", "any", 20));
  for (const auto& [text, kinds, limit] : {std::tuple{"a b c d e f g h i j k l m n o p q", "any", 20},
                                           {"babcock", "committees", 20}, {"babcock", "committee,", 20},
                                           {"babcock", "any", 0}, {"babcock", "any", 1001}}) {
    const RuntimeError e = ExpectRaises(err::kInvalidArgument, [&] { search->Find(text, kinds, limit); });
    EXPECT_EQ(e.Source(), "Tarnwick (clsNameSearch.Find)");
    if (limit == 1001) { EXPECT_NE(e.Description().find("1001"), std::string::npos) << e.Description(); }
  }
}

// After each write, through the classes and straight to the tables, on
// either engine: the index is what a rebuild from the tables makes, and on
// the file its word index holds what tw_name holds.
class NameIndex : public SampleOfficeSuite<300> {
 protected:
  void SetUp() override {
    SampleOfficeSuite::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    if (engine_ == OfficeEngine::Embedded) db_ = std::make_unique<Db>(file_, true);
    else server_ = std::make_unique<postgres::Connection>(OpenServer());
  }
  void Exec(const std::string& sql) const {
    if (db_) db_->Exec(sql);
    else ServerExec(server_->get(), sql);
  }
  std::vector<std::vector<std::string>> Rows(const std::string& sql) const {
    return db_ ? db_->Rows(sql) : ServerRows(server_->get(), sql);
  }
  void ExpectAsRebuilt(const std::string& after) const {
    SCOPED_TRACE(after);
    if (db_) db_->Exec("insert into tw_name_fts (tw_name_fts, rank) values ('integrity-check', 1)");
    const std::string names = "select org_id, kind, source, name, words, acronym_key, name_rank from tw_name "
                              "order by org_id, name_rank";
    const std::string ranking = "select org_id, org_name, status_code, last_filed from tw_name_committee order by org_id";
    const auto index = Rows(names), committees = Rows(ranking);
    Exec("begin; delete from tw_name; delete from tw_name_committee");
    Exec(db_ ? "insert into tw_name_refresh select distinct org_group_id, 1 from org_committee"
             : "select tw_names_refresh(array(select org_group_id from org_committee), true)");
    EXPECT_EQ((std::tuple{Rows(names), Rows(ranking)}), std::tuple(index, committees));
    Exec("rollback");
  }
  std::unique_ptr<Db> db_;
  std::unique_ptr<postgres::Connection> server_;
};

TW_ON_BOTH_ENGINES(NameIndex);

TEST_P(NameIndex, AgreesWithTheTablesAfterEveryWrite) {
  ExpectAsRebuilt("the build");
  const std::string org = Query("select min(org_group_id) from org_committee where trans_end_date is null");
  const std::string other = Query("select max(org_group_id) from org_committee");
  const std::string document = Query("select min(unique_id) from ref_document where unique_id not in "
                                     "(select document_id from xrf_org_document)");
  auto link = Connected<clsXrf_Org_Document>();
  ASSERT_TRUE(link->GetData(0));
  link->OrgID(org);
  link->DocumentID(document);
  ASSERT_TRUE(link->SaveData()) << link->LastErrorText();
  auto doc = Connected<clsDocument>();
  ASSERT_TRUE(doc->GetData(std::stoi(document)));
  doc->ReceiveSendDate("05/06/2031");
  ASSERT_TRUE(doc->SaveData()) << doc->LastErrorText();
  ExpectAsRebuilt("a link saved, its document's receipt changed");
  EXPECT_EQ(Query("select last_filed from tw_name_committee where org_id = " + org), "2031-05-06 00:00:00");
  ASSERT_TRUE(link->GetData(std::stoi(document)));
  ASSERT_TRUE(link->DeleteData(std::stoi(org), std::stoi(document))) << link->LastErrorText();
  ExpectAsRebuilt("the link deleted");
  ASSERT_TRUE(doc->GetData(std::stoi(document)));
  ASSERT_TRUE(doc->DeleteData(std::stoi(document))) << doc->LastErrorText();
  ExpectAsRebuilt("a document deleted");

  Exec("update org_committee set org_name = 'Friends of Zébulon Quarrie' where trans_end_date is null and "
       "org_group_id = " + org);
  Exec("update org_name_address set last_name = 'O''Brannagh' where unique_id = "
       "(select min(entity_id) from org_officers where org_group_id = " + org + ")");
  Exec("update ref_org set current_status_code = 'TRM' where group_id = " + org);
  Exec("insert into org_name_address (unique_id, first_name, last_name) values (990201, 'Ysolde', 'Vantongeren')");
  Exec("insert into org_officers (group_id, org_group_id, name_type_code, entity_id, trans_date) values (" + other +
       ", " + other + ", 'TRS', 990201, '2004-01-01 00:00:00')");
  ExpectAsRebuilt("a committee renamed, an officer's name changed, a status changed, an officer added");
  auto search = Connected<clsNameSearch>();
  ASSERT_TRUE(search->Find("zebulon quar", "any", 5));
  EXPECT_EQ(std::to_string(search->OrgID()) + " " + search->MatchedName() + " " + search->StatusCode(),
            org + " Friends of Zébulon Quarrie TRM");
  Exec("update org_officers set trans_end_date = '2005-01-01 00:00:00' where entity_id = 990201");
  ExpectAsRebuilt("an officer's term ended");
  ASSERT_TRUE(search->Find("vantong", "treasurer", 5)) << "a former officer is still found";
  EXPECT_EQ(search->MatchedName(), "Ysolde Vantongeren");

  const auto before = Rows("select org_id, name, name_rank from tw_name order by org_id, name_rank");
  Exec("begin; delete from org_officers where org_group_id = " + org + "; update org_committee set org_name = "
       "'Never Kept' where org_group_id = " + other + "; rollback");
  EXPECT_EQ(Rows("select org_id, name, name_rank from tw_name order by org_id, name_rank"), before)
      << "a rolled-back write leaves the index as it was";
  Exec("delete from org_officers where org_group_id = " + org);
  Exec("delete from org_committee where org_group_id = " + org);
  ExpectAsRebuilt("a committee and its officers deleted");
  EXPECT_EQ(Query("select count(*) from tw_name where org_id = " + org), "0");
}

}  // namespace
}  // namespace tarnwick::test
