// Every failure point of every write: each write of each class runs once to
// count the calls it makes, then once more for every one of those calls
// failing, on the embedded database: the gateway's calls, the file
// operations underneath and the steps of SQLite's machine (fault_points.hpp). After each failure the office holds
// what it held before or the whole write, the method reports the failure as
// the class's contract says (False, or a raised error naming the method),
// no unit of work is left open, and the object saves again.
//
// A class that writes adds its writes to Scenarios() below.
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/scripted_gateway.hpp"
#include "fault_points.hpp"
#include "support/office_files.hpp"
#include "tarnwick/tarnwick.hpp"

namespace tarnwick::test {
namespace {

// One write: prepare loads the object and sets what the write sends.
struct WriteRun {
  std::function<void()> prepare;
  std::function<bool()> write;
};

struct WriteScenario {
  std::string name;
  std::string source;  // the method's name as a raised error carries it
  std::function<WriteRun(const std::string& file)> make;
};

// Rows of the sample office the writes work on.
struct OfficeRows {
  int committee = 0, otherCommittee = 0;
  int plainDocument = 0;                  // no links of its own
  int linkedDocument = 0, linkedOrg = 0;  // its first committee link
  int affectedDocument = 0, affectedOrg = 0;
  int reportId = 0, reportDocument = 0;
  int imageDocument = 0;    // has stored images
  int noImageDocument = 0;  // has none
};

template <class T>
std::shared_ptr<T> Connected(const std::string& file) {
  auto object = std::make_shared<T>();
  if (!object->ConnectionVariables(file, "", "", "", false)) ADD_FAILURE() << object->LastErrorText();
  return object;
}

template <class Link>
std::vector<WriteScenario> LinkScenarios(const std::string& cls, const OfficeRows& r, int document, int org) {
  return {
      {cls + ".SaveData, new link", cls + ".SaveData",
       [=](const std::string& file) {
         auto link = Connected<Link>(file);
         return WriteRun{[=] {
                           EXPECT_TRUE(link->GetData(0));
                           link->OrgID(std::to_string(r.committee));
                           link->DocumentID(std::to_string(r.plainDocument));
                         },
                         [=] { return link->SaveData(); }};
       }},
      {cls + ".SaveData, moved link", cls + ".SaveData",
       [=](const std::string& file) {
         auto link = Connected<Link>(file);
         return WriteRun{[=] {
                           EXPECT_TRUE(link->GetData(document));
                           link->NewOrgID(org == r.otherCommittee ? r.committee : r.otherCommittee);
                         },
                         [=] { return link->SaveData(); }};
       }},
      {cls + ".DeleteData", cls + ".DeleteData",
       [=](const std::string& file) {
         auto link = Connected<Link>(file);
         return WriteRun{[=] { EXPECT_TRUE(link->GetData(document)); },
                         [=] { return link->DeleteData(org, document); }};
       }},
  };
}

std::vector<WriteScenario> Scenarios(const OfficeRows& r) {
  std::vector<WriteScenario> all = {
      {"clsDocument.SaveData, new document", "clsDocument.SaveData",
       [=](const std::string& file) {
         auto doc = Connected<clsDocument>(file);
         return WriteRun{[=] {
                           EXPECT_TRUE(doc->GetData());
                           doc->DocTypeCode("RPT");
                           doc->DocYear("2004");
                           doc->Title("Saved under fire");
                           doc->ReceiveSendDate("4/15/2004");
                           doc->AmountDue(Currency{125000});
                         },
                         [=] { return doc->SaveData(); }};
       }},
      {"clsDocument.SaveData, changed document", "clsDocument.SaveData",
       [=](const std::string& file) {
         auto doc = Connected<clsDocument>(file);
         return WriteRun{[=] {
                           EXPECT_TRUE(doc->GetData(r.plainDocument));
                           doc->Title("Changed under fire");
                           doc->DueDate("5/1/2004");
                           doc->AmountDue(Currency{990000});
                           doc->NameListed("");
                         },
                         [=] { return doc->SaveData(); }};
       }},
      {"clsDocument.DeleteData", "clsDocument.DeleteData",
       [=](const std::string& file) {
         auto doc = Connected<clsDocument>(file);
         return WriteRun{[=] { EXPECT_TRUE(doc->GetData(r.linkedDocument)); },
                         [=] { return doc->DeleteData(r.linkedDocument); }};
       }},
      {"clsDocument.RemoveReportLink", "clsDocument.RemoveReportLink",
       [=](const std::string& file) {
         auto doc = Connected<clsDocument>(file);
         return WriteRun{[=] { EXPECT_TRUE(doc->GetData(r.reportDocument)); },
                         [=] { return doc->RemoveReportLink(r.reportId, r.reportDocument); }};
       }},
  };
  const Bytes page(64 * 1024, std::uint8_t{0x5A});
  auto saveImage = [=](const std::string& name, int document, bool fresh) {
    return WriteScenario{name, "clsDocumentImage.SaveData", [=](const std::string& file) {
                           auto images = Connected<clsDocumentImage>(file);
                           return WriteRun{[=] {
                                             EXPECT_TRUE(images->GetData(fresh ? -1 : document));
                                             images->Image(page);
                                             images->PageCount("3");
                                           },
                                           [=] { return images->SaveData(std::to_string(document)); }};
                         }};
  };
  all.push_back(saveImage("clsDocumentImage.SaveData, new image", r.noImageDocument, true));
  all.push_back(saveImage("clsDocumentImage.SaveData, replaced image", r.imageDocument, false));
  all.push_back({"clsDocumentImage.DeleteData", "clsDocumentImage.DeleteData", [=](const std::string& file) {
                   auto images = Connected<clsDocumentImage>(file);
                   return WriteRun{[] {}, [=] { return images->DeleteData(r.imageDocument); }};
                 }});
  for (auto& s : LinkScenarios<clsXrf_Org_Document>("clsXrf_Org_Document", r, r.linkedDocument, r.linkedOrg))
    all.push_back(std::move(s));
  for (auto& s :
       LinkScenarios<clsXrf_Aff_Org_Document>("clsXrf_Aff_Org_Document", r, r.affectedDocument, r.affectedOrg))
    all.push_back(std::move(s));
  return all;
}

// Every row of every table of the office, as text.
std::string Snapshot(const std::string& file) {
  sqlite3* db = nullptr;
  std::string out;
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return "<cannot open>";
  }
  std::vector<std::string> tables;
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db, "select name from sqlite_master where type = 'table' order by name", -1, &stmt, nullptr);
  while (sqlite3_step(stmt) == SQLITE_ROW) tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
  sqlite3_finalize(stmt);
  for (const std::string& table : tables) {
    out += "#" + table + "\n";
    sqlite3_prepare_v2(db, ("select * from \"" + table + "\" order by rowid").c_str(), -1, &stmt, nullptr);
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
        out += std::to_string(sqlite3_column_type(stmt, c)) + ":" + (text ? text : "") + "|";
      }
      out += "\n";
    }
    sqlite3_finalize(stmt);
  }
  sqlite3_close(db);
  return out;
}

struct Outcome {
  bool result = false;
  std::optional<RuntimeError> raised;
};

class WriteFaults : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    InstallFaultyDisk();
    InstallStepFaults();
    dir_ = std::make_unique<TempDir>();
    template_ = dir_->File("template.db");
    const office::OfficeResult made = MakeOffice(template_, 20);
    ASSERT_TRUE(made.ok()) << made.message;
    Db db(template_);
    auto id = [&](const std::string& sql) { return static_cast<int>(db.Int(sql)); };
    rows_.committee = id("select min(unique_id) from ref_org where unique_id = group_id");
    rows_.otherCommittee =
        id("select min(unique_id) from ref_org where unique_id = group_id and unique_id > " +
           std::to_string(rows_.committee));
    rows_.linkedDocument = id("select min(document_id) from xrf_org_document");
    rows_.linkedOrg = id("select org_id from xrf_org_document where document_id = " +
                         std::to_string(rows_.linkedDocument) + " order by unique_id limit 1");
    rows_.affectedDocument = id("select min(document_id) from XRF_AFF_ORG_DOCUMENT");
    rows_.affectedOrg = id("select org_id from XRF_AFF_ORG_DOCUMENT where document_id = " +
                           std::to_string(rows_.affectedDocument) + " order by unique_id limit 1");
    rows_.reportDocument = id("select min(document_id) from xrf_report_document");
    rows_.reportId = id("select report_id from xrf_report_document where document_id = " +
                        std::to_string(rows_.reportDocument) + " order by unique_id limit 1");
    rows_.plainDocument = id(
        "select min(unique_id) from ref_document where unique_id not in (select document_id from xrf_org_document) "
        "and unique_id not in (select document_id from XRF_AFF_ORG_DOCUMENT)");
    rows_.imageDocument = id("select min(document_id) from DOCUMENT_IMAGE");
    rows_.noImageDocument =
        id("select min(unique_id) from ref_document where unique_id not in (select document_id from DOCUMENT_IMAGE)");
    ASSERT_GT(rows_.imageDocument, 0);
    ASSERT_GT(rows_.affectedDocument, 0);
    ASSERT_GT(rows_.plainDocument, 0);
  }
  static void TearDownTestSuite() {
    std::printf("[ fault points injected: %lld ]\n", static_cast<long long>(injected_));
    dir_.reset();
  }
  void SetUp() override {
    previous_ = SetGatewayFactory([this] {
      auto gateway = std::make_unique<FailingGateway>(CreateDefaultGateway(), gatewayFaults_);
      current_ = gateway.get();
      return gateway;
    });
  }
  void TearDown() override { SetGatewayFactory(previous_); }

  // A fresh copy of the sample office.
  std::string FreshOffice() {
    const std::string file = dir_->File("run.db");
    std::error_code ec;
    for (const char* suffix : {"-wal", "-shm"}) std::filesystem::remove(file + suffix, ec);
    std::filesystem::copy_file(template_, file, std::filesystem::copy_options::overwrite_existing);
    return file;
  }

  static Outcome Attempt(const WriteRun& run, FaultPlan& plan, std::int64_t k) {
    Outcome outcome;
    plan.Arm(k);
    try {
      outcome.result = run.write();
    } catch (const RuntimeError& e) {
      outcome.raised = e;
    }
    plan.Disarm();
    return outcome;
  }

  // Runs the scenario once per call of the plan's kind that its write makes,
  // failing that call. strict: the failing call is one whose failure the
  // class must report (a gateway call), so the method may not succeed.
  void EveryFailurePoint(const WriteScenario& scenario, FaultPlan& plan, const char* kind) {
    const std::string file = FreshOffice();
    std::int64_t calls = 0;
    std::string before, whole;
    {
      const WriteRun run = scenario.make(file);
      run.prepare();
      before = Snapshot(file);
      const Outcome counted = Attempt(run, plan, 0);
      ASSERT_TRUE(counted.result && !counted.raised) << scenario.name << ": " << current_->LastErrorText();
      calls = plan.calls;
      whole = Snapshot(file);
    }
    ASSERT_GT(calls, 0) << scenario.name;
    ASSERT_NE(before, whole) << scenario.name << " changes nothing";
    for (std::int64_t k = 1; k <= calls; ++k) {
      SCOPED_TRACE(scenario.name + ", " + kind + " failure " + std::to_string(k) + " of " + std::to_string(calls));
      const std::string fresh = FreshOffice();
      const WriteRun run = scenario.make(fresh);
      run.prepare();
      const Outcome outcome = Attempt(run, plan, k);
      ++injected_;
      ASSERT_FALSE(plan.failed.empty()) << "the call to fail was not made";
      const std::string after = Snapshot(fresh);
      EXPECT_TRUE(after == before || after == whole) << "a partial write after failing " << plan.failed;
      if (outcome.result) {
        EXPECT_EQ(after, whole) << "reported saved but not stored";
      }
      const bool gatewayRaises = plan.failed == "BeginTransaction" || plan.failed == "EndTransaction";
      if (&plan == &gatewayFaults_) {
        EXPECT_EQ(outcome.raised.has_value(), gatewayRaises) << plan.failed;
        EXPECT_FALSE(outcome.result) << "a failed " << plan.failed << " was reported as success";
      }
      if (outcome.raised) {
        EXPECT_NE(outcome.raised->Source().find(scenario.source), std::string::npos) << outcome.raised->Source();
      }
      EXPECT_FALSE(current_->InTransaction()) << "a unit of work was left open";
      // The object is usable again.
      run.prepare();
      EXPECT_TRUE(run.write()) << current_->LastErrorText();
    }
  }

  // An export that fails at any point returns false, raises nothing and
  // leaves no file behind; the object exports again afterwards.
  void EveryExportFailurePoint(FaultPlan& plan, const char* kind) {
    const std::string file = FreshOffice();
    const std::string folder = dir_->File(std::string("export-") + kind);
    std::filesystem::create_directories(folder);
    const std::string output = folder + "/filed.csv";
    // Each attempt on a new connection, so that every one reads the file as the first did.
    auto exportOnce = [&] {
      auto exporter = Connected<clsDocReportExport>(file);
      return WriteRun{[] {}, [=] { return exporter->CreateFile("", "", "", "", "", "", "", output, ""); }};
    };
    const Outcome counted = Attempt(exportOnce(), plan, 0);
    ASSERT_TRUE(counted.result && !counted.raised) << current_->LastErrorText();
    const std::int64_t calls = plan.calls;
    std::filesystem::remove(output);
    for (std::int64_t k = 1; k <= calls; ++k) {
      SCOPED_TRACE(std::string("export, ") + kind + " failure " + std::to_string(k) + " of " + std::to_string(calls));
      const WriteRun run = exportOnce();
      const Outcome outcome = Attempt(run, plan, k);
      ++injected_;
      ASSERT_FALSE(plan.failed.empty()) << "the call to fail was not made";
      EXPECT_FALSE(outcome.raised.has_value()) << "an export never raises";
      EXPECT_FALSE(outcome.result) << "a failed " << plan.failed << " was reported as success";
      EXPECT_TRUE(std::filesystem::is_empty(folder)) << "a partial or temporary file was left";
      EXPECT_TRUE(run.write()) << current_->LastErrorText();
      std::filesystem::remove(output);
    }
  }

  FaultPlan gatewayFaults_;
  FailingGateway* current_ = nullptr;
  GatewayFactory previous_;
  static inline std::unique_ptr<TempDir> dir_;
  static inline std::string template_;
  static inline OfficeRows rows_;
  static inline std::int64_t injected_ = 0;
};

TEST_F(WriteFaults, EveryGatewayCallOfEveryWriteMayFail) {
  for (const WriteScenario& scenario : Scenarios(rows_)) EveryFailurePoint(scenario, gatewayFaults_, "gateway");
}

TEST_F(WriteFaults, EveryFileOperationOfEveryWriteMayFail) {
  for (const WriteScenario& scenario : Scenarios(rows_)) EveryFailurePoint(scenario, DiskFaults(), "disk");
}

TEST_F(WriteFaults, EveryStepOfEveryWriteMayBeInterrupted) {
  for (const WriteScenario& scenario : Scenarios(rows_)) EveryFailurePoint(scenario, StepFaults(), "step");
}

TEST_F(WriteFaults, AnExportThatFailsAnywhereLeavesNoFile) {
  EveryExportFailurePoint(gatewayFaults_, "gateway");
  EveryExportFailurePoint(DiskFaults(), "disk");
  EveryExportFailurePoint(StepFaults(), "step");
}

TEST_F(WriteFaults, AFullDatabaseRefusesTheWriteAndKeepsWhatItHeld) {
  const std::string file = FreshOffice();
  {
    // A procedure of this test only, holding the file at the pages it has.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "insert into tw_procedure (name, parameters, body) values "
                           "('usp_test_disk_full', '', 'pragma max_page_count = 1')",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
  }
  auto doc = Connected<clsDocument>(file);
  std::int32_t rowsAffected = 0;
  std::shared_ptr<Recordset> none;
  ASSERT_EQ(current_->PrepareProcedure("usp_test_disk_full"), "");
  ASSERT_EQ(current_->ExecuteProcedure(rowsAffected, false, none, 0), "");
  const std::string before = Snapshot(file);

  ASSERT_TRUE(doc->GetData());
  doc->Title(std::string(256 * 1024, 't'));
  EXPECT_FALSE(doc->SaveData());
  EXPECT_NE(doc->LastErrorText().find("full"), std::string::npos) << doc->LastErrorText();
  EXPECT_FALSE(current_->InTransaction());
  EXPECT_EQ(Snapshot(file), before) << "something stored was lost or half a document written";
  EXPECT_EQ(Db(file).Text("pragma integrity_check"), "ok");

  // A change that needs no new page still goes through.
  ASSERT_TRUE(doc->GetData(rows_.plainDocument));
  doc->DocYear("2003");
  EXPECT_TRUE(doc->SaveData()) << doc->LastErrorText();
  EXPECT_EQ(Db(file).Text("select doc_year from ref_document where unique_id = " +
                                       std::to_string(rows_.plainDocument)),
            "2003");
}

}  // namespace
}  // namespace tarnwick::test
