// The planning rewrites change how the engine answers a text, never what it
// answers: every text the document, committee and lookup objects build, with
// each search form choice, gives the same rows in the same order with the
// rewrites as without them, through each engine's renderer on its own office
// (the file, the server), on a sample office with Null names, shared names
// and committee history. Hand-made texts pin the cases where a rewrite must
// not apply (a Null-accepting condition, an OR, NOT IN) and those where it
// must (so that the pass cannot silently do nothing).

#include "documents/document_queries.hpp"
#include "gateway/postgres/engine.hpp"
#include "gateway/sqlite/catalog.hpp"
#include "gateway/sqlite/render.hpp"
#include "gateway/tsql/translate.hpp"
#include "support/forwarding_gateway.hpp"
#include "support/sample_office.hpp"

namespace tarnwick::test {
namespace {

// A gateway that keeps every query text it is given.
class CapturingGateway : public ForwardingGateway {
 public:
  CapturingGateway(std::unique_ptr<DataGateway> inner, std::vector<std::string>& texts)
      : ForwardingGateway(std::move(inner)), texts_(texts) {}
  std::string OpenRecordset(const std::string& sql, std::shared_ptr<Recordset>& result, std::int32_t options,
                            bool scrollable) override {
    texts_.push_back(sql);
    return ForwardingGateway::OpenRecordset(sql, result, options, scrollable);
  }

 private:
  std::vector<std::string>& texts_;
};

class RewriteEquivalence : public SampleOfficeSuite<20000> {
 protected:
  void SetUp() override {
    previous_ = SetGatewayFactory(
        [this] { return std::make_unique<CapturingGateway>(CreateDefaultGateway(), texts_); });
  }
  void TearDown() override { SetGatewayFactory(previous_); }

  // The text as the test's engine translates it: the rewrites know the office's columns.
  static std::string Translated(const std::string& text, tsql::Rewrites rewrites) {
    std::string sql, error;
    if (engine_ == OfficeEngine::Embedded) {
      static Db schema(file_);
      static const tsql::ColumnLookup columns = sqlite::DatabaseColumns(schema.get());
      tsql::Translation t;
      error = tsql::Translate(text, sqlite::Renderer(rewrites, columns), t);
      sql = t.sql;
    } else {
      static postgres::Engine server;
      static const bool connected = [] {
        const postgres::ConnectionSettings s = ServerSettings(database_);
        return server.SetConnection(database_, s.server, s.user, "", true, 5, "", "");
      }();
      EXPECT_TRUE(connected);
      error = server.Render(text, sql, rewrites);
    }
    EXPECT_EQ(error, "") << text;
    return sql;
  }

  // The rows of a translated text, on the test's engine.
  static std::vector<std::vector<std::string>> Rows(const std::string& sql) {
    if (engine_ == OfficeEngine::Server) return QueryRows(sql);
    Db db(file_);
    sqlite::RegisterTsqlFunctions(db.get());
    return db.Rows(sql);
  }

  // Both translations of `text` on the office; they must agree row for row.
  static std::size_t ExpectSameRows(const std::string& text) {
    const auto plain = Rows(Translated(text, tsql::Rewrites::Skip));
    const auto rewritten = Rows(Translated(text, tsql::Rewrites::Apply));
    EXPECT_EQ(plain.size(), rewritten.size()) << text;
    EXPECT_TRUE(plain == rewritten) << "rows differ for: " << text;
    return plain.size();
  }

  std::vector<std::string> texts_;
  GatewayFactory previous_;
};
TW_ON_BOTH_ENGINES(RewriteEquivalence);

TEST_P(RewriteEquivalence, TheOfficeHasNullsSharedNamesAndHistory) {
  if (engine_ == OfficeEngine::Server) GTEST_SKIP() << "the same sample office as the file's, checked there";
  // Without these the equivalence below would prove little.
  for (const char* rows : {"org_committee where previous_id is null", "org_name_address where middle_name is null",
                           "org_committee where trans_end_date is not null",
                           "org_officers where trans_end_date is not null",
                           "(select org_name from org_committee group by org_name having count(*) > 1)",
                           "(select last_name from org_name_address group by last_name having count(*) > 1)",
                           "ref_document d where not exists (select 1 from xrf_org_document x where x.document_id = "
                           "d.unique_id)"}) {
    EXPECT_NE(Query(std::string("select count(*) from ") + rows), "0") << rows;
  }
}

TEST_P(RewriteEquivalence, EveryLibraryTextGivesTheSameRows) {
  // The values the searches look for, taken from the office.
  struct {
    std::string committee, inhouse, acronym, candidateLast, candidateFirst, treasurerLast, group, user;
  } n;
  const std::string open = "from org_committee where trans_end_date is null order by unique_id limit 1 offset 7";
  n.committee = Query("select org_name " + open);
  n.inhouse = Query("select substr(inhouse_name, 2, 4) " + open);
  n.acronym = Query("select old_acronym from org_committee where old_acronym <> '' limit 1");
  const std::string officer =
      "from org_officers o join org_name_address na on na.unique_id = o.entity_id where o.name_type_code = ";
  n.candidateLast = Query("select na.last_name " + officer + "'CND' order by o.unique_id limit 1 offset 3");
  n.candidateFirst = Query("select na.first_name " + officer + "'CND' order by o.unique_id limit 1 offset 5");
  n.treasurerLast = Query("select na.last_name " + officer + "'TRS' order by o.unique_id limit 1 offset 2");
  n.group = Query("select org_id from xrf_org_document group by org_id order by count(*) desc limit 1");
  n.user = Query("select user_id from ref_document where user_id is not null limit 1");

  auto document = Connected<clsDocument>();
  auto committees = Connected<clsOrg>();
  // Each choice of the document search form, alone and combined.
  const std::vector<DocumentSearch> forms = {
      {},
      {.year = "2010"},
      {.docType = "RPT", .docName = "Q1", .year = "2012"},
      {.commType = "CNC"},
      {.commType = "No Committee"},
      {.year = "2004", .commType = "No Committee"},
      {.useComm = false},
      {.name = n.committee, .nameType = "O"},
      {.name = n.committee.substr(0, 3) + "*", .nameType = "OIA"},
      {.name = "*" + n.inhouse + "*", .nameType = "I"},
      {.name = n.acronym, .nameType = "A"},
      {.first = n.candidateFirst, .useName = true},
      {.last = n.candidateLast, .useName = true},
      {.commType = "CNC", .first = "*a*", .last = n.candidateLast.substr(0, 2) + "*", .useName = true},
      {.commType = "PAC", .name = "*e*", .nameType = "O"},
      {.dateType = "RECEIVED DATE", .begin = "1/1/2010", .end = "6/30/2010"},
      {.dateType = "ENTERED DATE", .begin = "1/1/2010"},
      {.dateType = "LAST UPDATE DATE", .end = "12/31/2003"},
      {.user = n.user},
      {.year = "2010", .user = n.user},
      {.notLinked = true},
      {.year = "2008", .commType = "CNC", .notLinked = true},
  };
  for (const DocumentSearch& f : forms) document->GetDocumentList(f.Filter(*document));
  document->GetCommitteeDocumentList(n.group);
  // Each kind of committee search: names, identifier, previous identifier,
  // candidate and treasurer, with the code choices.
  const std::vector<std::vector<std::string>> searches = {
      {"", "", "", "1", n.committee.substr(0, 4), "", "", "", "O"},
      {"", "", "", "1", n.inhouse, "", "", "", "IA"},
      {"", "", "", "2", "0", "", "", "", ""},
      {"", "", "", "7", "1", "", "", "", ""},
      {"", "", "", "3", n.candidateLast, "a", "", "", ""},
      {"CNC", "", "", "3", n.candidateLast.substr(0, 1), "", "", "", ""},
      {"", "", "", "4", n.treasurerLast, "", "", "", ""},
      {"PAC", "", "", "", "", "", "", "", ""},
  };
  committees->GetDataList("");
  committees->GetAffectedDataList("");
  for (const auto& s : searches) {
    const std::string filter = committees->SetupFilter(s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7], s[8]);
    committees->GetDataList(filter);
  }
  committees->GetCommittee(committees->SetupFilter("", "", "", "1", n.committee, "", "", "", "OI"));
  committees->GetAffectedCommitteeDocumentList(Query("select document_id from XRF_AFF_ORG_DOCUMENT limit 1"));
  Connected<clsLookup_List>()->GetData(zubL_Users);

  ASSERT_EQ(texts_.size(), forms.size() + 1 + 2 + searches.size() + 3);
  std::size_t rows = 0;
  for (const std::string& text : texts_) rows += ExpectSameRows(text);
  EXPECT_GT(rows, 20000u);  // the searches found rows to compare
}

TEST_P(RewriteEquivalence, JoinsStayOptionalUnlessAConditionRejectsTheirNulls) {
  const std::string from = std::string(documents::kDocumentListSelect);
  // Each condition, and whether the committee join must become inner.
  const std::vector<std::pair<std::string, bool>> texts = {
      {"where OC.org_name like '%a%' ", true},
      {"where oc.comm_type_code = 'CNC' ", true},
      {"where OC.ref_group_id > 0 ", true},
      {"where OC.inhouse_name is not null ", true},
      {"where (OC.org_name like 'a%' or OC.org_name like 'b%') ", true},
      // Conditions a committee of all Nulls passes: the join must stay optional.
      {"where XCD.org_id is null ", false},
      {"where isnull(OC.inhouse_name, '') = '' ", false},
      {"where OC.org_name like 'a%' or RD.doc_year = 2010 ", false},
      {"where not (OC.org_name like 'a%') ", false},
      {"where OC.ref_group_id not in (select org_id from xrf_org_document where org_id < 0) ", false},
      {"where case when OC.org_name is null then 1 else 0 end = 1 ", false},
      {"where inhouse_name like 'a%' ", false},  // no table named: the pass cannot tell
  };
  for (const auto& [where, inner] : texts) {
    const std::string text = from + where + std::string(documents::kDocumentListOrder);
    const std::string sql = Translated(text, tsql::Rewrites::Apply);
    EXPECT_EQ(sql.find("LEFT JOIN vw_zub_ORG_Committee_ref_current") == std::string::npos, inner) << where;
    ExpectSameRows(text);
  }
}

TEST_P(RewriteEquivalence, ConditionsOnASubSelectAreCopiedIntoIt) {
  const std::string text = "select c.n, c.id from ref_document d "
                           "join (select na.last_name as n, o.org_group_id as id from org_officers o "
                           "left join org_name_address na on na.unique_id = o.entity_id) c on c.id = d.unique_id "
                           "where c.n like 'a%' and c.id > 3 order by c.n, c.id";
  const std::string sql = Translated(text, tsql::Rewrites::Apply);
  EXPECT_NE(sql.find("INNER JOIN org_name_address"), std::string::npos) << sql;
  EXPECT_NE(sql.find("o.org_group_id > 3"), std::string::npos) << sql;
  ExpectSameRows(text);
  // Left-joined, DISTINCT or computed columns: nothing is copied.
  for (const char* kept :
       {"select c.n from ref_document d left join (select na.last_name as n from org_name_address na) c "
        "on c.n = d.name_listed where c.n is null",
        "select c.n from ref_document d join (select distinct na.last_name as n from org_name_address na) c "
        "on c.n = d.name_listed where c.n like 'b%'",
        "select c.n from ref_document d join (select na.last_name + '' as n from org_name_address na) c "
        "on c.n = d.name_listed where c.n like 'b%'"}) {
    const std::string rendered = Translated(kept, tsql::Rewrites::Apply);
    EXPECT_EQ(rendered.find("na.last_name LIKE"), std::string::npos) << rendered;
    EXPECT_EQ(rendered.find("na.last_name IS NULL"), std::string::npos) << rendered;
    ExpectSameRows(kept);
  }
}

TEST_P(RewriteEquivalence, OptionalSubSelectsBecomeJoinsOnlyWhenEveryRowStays) {
  // The outer select, the join condition, what the officer meets its name row
  // on, the sub-select's condition, and whether it must be read as two joins.
  struct Text {
    std::string outer = "select r.unique_id, c.n, c.f from ref_org r", on = "c.g = r.group_id",
                name = "o.entity_id", where = "";
    bool joins = false;
  };
  const std::vector<Text> texts = {
      {.where = " where o.trans_end_date is null", .joins = true},
      // The officer without a name row would meet name row 1.
      {.name = "isnull(o.entity_id, 1)"},
      // The join condition or the sub-select's condition reads the name.
      {.on = "c.g = r.group_id and c.n like 'a%'"},
      {.where = " where na.last_name like 'b%'"},
      // A bare name, or a name the sub-select's tables would hide.
      {.outer = "select unique_id, c.n, c.f from ref_org r"},
      {.outer = "select o.unique_id, c.n, c.f from ref_org o join ref_org r on r.unique_id = o.unique_id",
       .on = "c.g = o.group_id"},
      // Another sub-select's bare names that its own table gives stay its own.
      {.outer = "select r.unique_id, c.n, c.f, (select max(trans_date) from ref_org where group_id = r.group_id) "
                "from ref_org r",
       .joins = true},
      // Another sub-select's bare name means the outer row's column; the
      // officer and name tables have one of that name too.
      {.outer = "select r.unique_id, c.n, c.f, (select count(*) from lks_org_status s where s.Code = "
                "r.current_status_code and unique_id > 0) from ref_org r"},
  };
  for (const Text& t : texts) {
    const std::string text = t.outer +
                             " left join (select o.org_group_id as g, na.last_name as n, na.first_name as f "
                             "from org_officers o left join org_name_address na on na.unique_id = " +
                             t.name + t.where + ") c on " + t.on + " where r.group_id < 60 order by 1, 2, 3";
    EXPECT_EQ(Translated(text, tsql::Rewrites::Apply).find("JOIN (SELECT") == std::string::npos, t.joins) << text;
    ExpectSameRows(text);
  }
}

TEST_P(RewriteEquivalence, NotInIsAskedAsNotExistsOnlyWhereANullChangesNoRow) {
  // The condition, and whether it must be asked as NOT EXISTS.
  const std::vector<std::pair<std::string, bool>> texts = {
      {"RD.unique_id not in (select document_id from xrf_org_document)", true},
      {"RD.doc_year = 2004 or RD.unique_id not in (select x.document_id from xrf_org_document x "
       "where x.org_id < 40)", true},
      // A Null committee of a document without a link, against an empty set and a full one.
      {"XCD.org_id not in (select unique_id from ref_org where unique_id < 0)", true},
      {"XCD.org_id not in (select unique_id from ref_org where unique_id < 40)", true},
      // A set with a Null in it keeps no row at all; under NOT a Null and a false differ.
      {"RD.unique_id not in (select check_out_user_id from ref_org)", false},
      {"not XCD.org_id not in (select unique_id from ref_org where unique_id < 40)", false},
      // Inside the sub-select RD would name its own table; TOP decides its rows.
      {"RD.unique_id not in (select RD.document_id from xrf_org_document RD)", false},
      {"RD.unique_id not in (select top 5 document_id from xrf_org_document order by document_id)", false},
  };
  for (const auto& [condition, exists] : texts) {
    const std::string text = "select RD.unique_id, XCD.org_id from ref_document RD left join xrf_org_document XCD "
                             "on XCD.document_id = RD.unique_id where " + condition + " order by 1, 2";
    const std::string sql = Translated(text, tsql::Rewrites::Apply);
    EXPECT_EQ(sql.find("NOT IN (") == std::string::npos, exists) << sql;
    const std::size_t rows = ExpectSameRows(text);
    if (condition.find("check_out") != std::string::npos) {
      EXPECT_EQ(rows, 0u);
    }
  }
}

TEST_P(RewriteEquivalence, AMissingRowIsTestedOnTheColumnItsJoinMatches) {
  // The condition, and the test the rewritten text must make.
  const std::vector<std::pair<std::string, std::string>> texts = {
      {"XRD.report_id is null", "document_id IS NULL"},
      {"XRD.report_id is not null or RD.doc_year = 2004", "document_id IS NOT NULL"},
      // The link's date may be Null in a link that is there.
      {"XRD.orig_date is null", "orig_date IS NULL"},
  };
  for (const auto& [condition, test] : texts) {
    const std::string text = "select RD.unique_id, XRD.report_id from ref_document RD left join xrf_report_document XRD "
                             "on RD.unique_id = XRD.document_id where " + condition + " order by 1, 2";
    const std::string sql = Translated(text, tsql::Rewrites::Apply);
    EXPECT_NE(sql.find(test), std::string::npos) << sql;
    EXPECT_GT(ExpectSameRows(text), 0u) << text;
  }
}

TEST_P(RewriteEquivalence, CurrentCommitteeViewIsTheOpenDetailRowWithTheLatestReferenceRow) {
  if (engine_ == OfficeEngine::Server) GTEST_SKIP() << "the server's view is held to the file's by tests/office_server";
  // The view is written for the planner; these are the rows it stands for.
  const std::string joined =
      "select ro.unique_id, ro.group_id, ro.id_1, ro.id_2, ro.id_3, ro.id_4, ro.current_status_code, "
      "(select Description from lks_org_status where Code = ro.current_status_code), ro.trans_date, oc.org_name, "
      "oc.inhouse_name, oc.old_acronym, oc.previous_id, oc.comm_type_code, "
      "(select Description from lks_committee_type where Code = oc.comm_type_code), oc.comm_level_code, "
      "oc.party_code, oc.mef_required from org_committee oc join ref_org ro on ro.group_id = oc.org_group_id "
      "where oc.trans_end_date is null and ro.unique_id = (select r2.unique_id from ref_org r2 "
      "where r2.group_id = oc.org_group_id order by r2.trans_date desc, r2.unique_id desc limit 1)";
  const std::string view = "select * from vw_zub_ORG_Committee_ref_current";
  EXPECT_NE(Query("select count(*) from ref_org group by group_id having count(*) > 1 limit 1"), "<none>");
  EXPECT_EQ(Query("select count(*) from (" + joined + ")"), Query("select count(*) from (" + view + ")"));
  EXPECT_EQ(Query("select count(*) from (" + joined + " except " + view + ")"), "0");
  EXPECT_EQ(Query("select count(*) from (" + view + " except " + joined + ")"), "0");
}

}  // namespace
}  // namespace tarnwick::test
