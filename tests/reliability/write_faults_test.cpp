// Every failure point of every write: each write of each class runs once to
// count the calls it makes, then once more for every one of those calls
// failing, on the embedded database: the gateway's calls, the file
// operations underneath and the steps of SQLite's machine (fault_points.hpp). After each failure the office holds
// what it held before or the whole write, the method reports the failure as
// the class's contract says (False, or a raised error naming the method),
// no unit of work is left open, and the object saves again.
//
// A class that writes adds its writes to Scenarios() below.

#include "office/upgrade.hpp"
#include "support/scripted_gateway.hpp"
#include "fault_points.hpp"
#include "support/office_files.hpp"

namespace tarnwick::test {
namespace {

// One write: prepare loads the object and sets what the write sends.
struct WriteRun {
  std::function<void()> prepare;
  std::function<bool()> write;
};

// name: the method's name as a raised error carries it, then what the write does.
struct WriteScenario {
  std::string name;
  std::function<WriteRun(const std::string& file)> make;
  std::string source() const { return name.substr(0, name.find(',')); }
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

// A write of a T on a fresh connection to the office.
template <class T>
WriteScenario Write(const std::string& name, std::function<void(T&)> prepare, std::function<bool(T&)> write) {
  return {name, [=](const std::string& file) {
            auto object = Connected<T>(file);
            return WriteRun{[=] { prepare(*object); }, [=] { return write(*object); }};
          }};
}

template <class Link>
void AddLinkScenarios(std::vector<WriteScenario>& all, const std::string& cls, const OfficeRows& r, int document,
                      int org) {
  all.push_back(Write<Link>(
      cls + ".SaveData, new link",
      [=](Link& link) {
        EXPECT_TRUE(link.GetData(0));
        link.OrgID(std::to_string(r.committee));
        link.DocumentID(std::to_string(r.plainDocument));
      },
      [](Link& link) { return link.SaveData(); }));
  all.push_back(Write<Link>(
      cls + ".SaveData, moved link",
      [=](Link& link) {
        EXPECT_TRUE(link.GetData(document));
        link.NewOrgID(org == r.otherCommittee ? r.committee : r.otherCommittee);
      },
      [](Link& link) { return link.SaveData(); }));
  all.push_back(Write<Link>(
      cls + ".DeleteData", [=](Link& link) { EXPECT_TRUE(link.GetData(document)) << link.LastErrorText(); },
      [=](Link& link) { return link.DeleteData(org, document); }));
}

std::vector<WriteScenario> Scenarios(const OfficeRows& r) {
  auto save = [](clsDocument& doc) { return doc.SaveData(); };
  std::vector<WriteScenario> all = {
      Write<clsDocument>(
          "clsDocument.SaveData, new document",
          [](clsDocument& doc) {
            EXPECT_TRUE(doc.GetData());
            doc.DocTypeCode("RPT");
            doc.DocYear("2004");
            doc.Title("Saved under fire");
            doc.ReceiveSendDate("4/15/2004");
            doc.AmountDue(Currency{125000});
          },
          save),
      Write<clsDocument>(
          "clsDocument.SaveData, changed document",
          [=](clsDocument& doc) {
            EXPECT_TRUE(doc.GetData(r.plainDocument));
            doc.Title("Changed under fire");
            doc.DueDate("5/1/2004");
            doc.AmountDue(Currency{990000});
            doc.NameListed("");
          },
          save),
      Write<clsDocument>(
          "clsDocument.DeleteData", [=](clsDocument& doc) { EXPECT_TRUE(doc.GetData(r.linkedDocument)); },
          [=](clsDocument& doc) { return doc.DeleteData(r.linkedDocument); }),
      // Its scans go with it, in the same unit of work.
      Write<clsDocument>(
          "clsDocument.DeleteData, with its scans", [=](clsDocument& doc) { EXPECT_TRUE(doc.GetData(r.imageDocument)); },
          [=](clsDocument& doc) { return doc.DeleteData(r.imageDocument); }),
      Write<clsDocument>(
          "clsDocument.RemoveReportLink", [=](clsDocument& doc) { EXPECT_TRUE(doc.GetData(r.reportDocument)); },
          [=](clsDocument& doc) { return doc.RemoveReportLink(r.reportId, r.reportDocument); }),
  };
  const Bytes page(64 * 1024, std::uint8_t{0x5A});
  for (const bool fresh : {true, false}) {
    const int document = fresh ? r.noImageDocument : r.imageDocument;
    all.push_back(Write<clsDocumentImage>(
        fresh ? "clsDocumentImage.SaveData, new image" : "clsDocumentImage.SaveData, replaced image",
        [=](clsDocumentImage& images) {
          EXPECT_TRUE(images.GetData(fresh ? -1 : document));
          images.Image(page);
          images.PageCount("3");
        },
        [=](clsDocumentImage& images) { return images.SaveData(std::to_string(document)); }));
  }
  all.push_back(Write<clsDocumentImage>("clsDocumentImage.DeleteData", [](clsDocumentImage&) {},
                                        [=](clsDocumentImage& images) { return images.DeleteData(r.imageDocument); }));
  AddLinkScenarios<clsXrf_Org_Document>(all, "clsXrf_Org_Document", r, r.linkedDocument, r.linkedOrg);
  AddLinkScenarios<clsXrf_Aff_Org_Document>(all, "clsXrf_Aff_Org_Document", r, r.affectedDocument, r.affectedOrg);
  return all;
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
    // The first link of a link table, by its document.
    auto first = [](const std::string& table, const std::string& column) {
      return "select " + column + " from " + table + " where document_id = (select min(document_id) from " + table +
             ") order by unique_id limit 1";
    };
    const std::string committees = "select min(unique_id) from ref_org where unique_id = group_id";
    const std::pair<int OfficeRows::*, std::string> queries[] = {
        {&OfficeRows::committee, committees},
        {&OfficeRows::otherCommittee, committees + " and unique_id > (" + committees + ")"},
        {&OfficeRows::linkedDocument, first("xrf_org_document", "document_id")},
        {&OfficeRows::linkedOrg, first("xrf_org_document", "org_id")},
        {&OfficeRows::affectedDocument, first("XRF_AFF_ORG_DOCUMENT", "document_id")},
        {&OfficeRows::affectedOrg, first("XRF_AFF_ORG_DOCUMENT", "org_id")},
        {&OfficeRows::reportDocument, first("xrf_report_document", "document_id")},
        {&OfficeRows::reportId, first("xrf_report_document", "report_id")},
        {&OfficeRows::plainDocument,
         "select min(unique_id) from ref_document where unique_id not in (select document_id from xrf_org_document) "
         "and unique_id not in (select document_id from XRF_AFF_ORG_DOCUMENT)"},
        {&OfficeRows::imageDocument, "select min(document_id) from DOCUMENT_IMAGE"},
        {&OfficeRows::noImageDocument,
         "select min(unique_id) from ref_document where unique_id not in (select document_id from DOCUMENT_IMAGE)"},
    };
    const Db db(template_);
    for (const auto& [row, sql] : queries) rows_.*row = static_cast<int>(db.Int(sql));
    ASSERT_TRUE(rows_.imageDocument > 0 && rows_.affectedDocument > 0 && rows_.plainDocument > 0);
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
  // failing that call. A failed gateway call is one the class must report,
  // so the method may not succeed then.
  void EveryFailurePoint(const WriteScenario& scenario, FaultPlan& plan, const char* kind) {
    const std::string file = FreshOffice();
    std::int64_t calls = 0;
    std::string before, whole;
    {
      const WriteRun run = scenario.make(file);
      run.prepare();
      before = FileContent(file);
      const Outcome counted = Attempt(run, plan, 0);
      ASSERT_TRUE(counted.result && !counted.raised) << scenario.name << ": " << current_->LastErrorText();
      calls = plan.calls;
      whole = FileContent(file);
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
      const std::string after = FileContent(fresh);
      EXPECT_TRUE(after == before || after == whole) << "a partial write after failing " << plan.failed;
      EXPECT_TRUE(!outcome.result || after == whole) << "reported saved but not stored";
      const bool gatewayRaises = plan.failed == "BeginTransaction" || plan.failed == "EndTransaction";
      if (&plan == &gatewayFaults_) {
        EXPECT_EQ(outcome.raised.has_value(), gatewayRaises) << plan.failed;
        EXPECT_FALSE(outcome.result) << "a failed " << plan.failed << " was reported as success";
      }
      EXPECT_TRUE(!outcome.raised || outcome.raised->Source().find(scenario.source()) != std::string::npos)
          << (outcome.raised ? outcome.raised->Source() : "");
      EXPECT_FALSE(current_->InTransaction()) << "a unit of work was left open";
      // The object is usable again (a fault the engine rode out left the
      // write done, and there is nothing left to write again).
      if (!outcome.result) {
        run.prepare();
        EXPECT_TRUE(run.write()) << current_->LastErrorText();
      }
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

// An upgrade whose file operations fail anywhere leaves the office of the
// previous version as it was, whole; one that reports success leaves the new
// version. A whole upgrade is thousands of operations: 48 spread over it are
// failed in turn.
TEST_F(WriteFaults, AnUpgradeThatFailsAnywhereLeavesTheOfficeAsItWas) {
  FaultPlan* plan = &DiskFaults();
  const auto older = [this] {
    const std::string file = FreshOffice();
    Db(file, true).Exec("pragma user_version = 2");
    return file;
  };
  std::string file = older();
  const std::string before = FileContent(file);
  plan->Arm(0);
  const office::UpgradeResult whole = office::UpgradeFileOffice(file);
  plan->Disarm();
  ASSERT_TRUE(whole.ok() && whole.from == 2 && whole.to == 4) << whole.message << " " << whole.from;
  const std::int64_t calls = plan->calls;
  ASSERT_GT(calls, 48);
  for (std::int64_t k = 1; k <= calls; k += calls / 48) {
    SCOPED_TRACE("failure " + std::to_string(k) + " of " + std::to_string(calls));
    file = older();
    plan->Arm(k);
    const office::UpgradeResult upgraded = office::UpgradeFileOffice(file);
    plan->Disarm();
    ++injected_;
    EXPECT_EQ(Db(file).Text("pragma integrity_check"), "ok");
    EXPECT_EQ(Db(file).Text("pragma user_version"), upgraded.ok() ? "4" : "2") << upgraded.message;
    EXPECT_TRUE(upgraded.ok() || FileContent(file) == before) << upgraded.message;
    EXPECT_FALSE(std::filesystem::exists(file + ".before-upgrade")) << "the copy outlived the upgrade";
  }
}

TEST_F(WriteFaults, AnExportThatFailsAnywhereLeavesNoFile) {
  EveryExportFailurePoint(gatewayFaults_, "gateway");
  EveryExportFailurePoint(DiskFaults(), "disk");
  EveryExportFailurePoint(StepFaults(), "step");
}

TEST_F(WriteFaults, AFullDatabaseRefusesTheWriteAndKeepsWhatItHeld) {
  const std::string file = FreshOffice();
  // A procedure of this test only, holding the file at the pages it has.
  Db(file, true).Exec("insert into tw_procedure (name, parameters, body) values "
                      "('usp_test_disk_full', '', 'pragma max_page_count = 1')");
  auto doc = Connected<clsDocument>(file);
  std::int32_t rowsAffected = 0;
  std::shared_ptr<Recordset> none;
  ASSERT_EQ(current_->PrepareProcedure("usp_test_disk_full"), "");
  ASSERT_EQ(current_->ExecuteProcedure(rowsAffected, false, none, 0), "");
  // New documents until one needs a page the file may not have.
  std::string before;
  bool saved = true;
  for (int i = 0; i < 2000 && saved; ++i) {
    before = FileContent(file);
    ASSERT_TRUE(doc->GetData());
    doc->Title(std::string(250, 't'));
    doc->NameListed(std::string(150, 'n'));
    saved = doc->SaveData();
  }
  EXPECT_FALSE(saved);
  EXPECT_NE(doc->LastErrorText().find("full"), std::string::npos) << doc->LastErrorText();
  EXPECT_FALSE(current_->InTransaction());
  EXPECT_EQ(FileContent(file), before) << "something stored was lost or half a document written";
  EXPECT_EQ(Db(file).Text("pragma integrity_check"), "ok");

  // A change that needs no new page still goes through.
  ASSERT_TRUE(doc->GetData(rows_.plainDocument));
  doc->DocYear("2003");
  EXPECT_TRUE(doc->SaveData()) << doc->LastErrorText();
  EXPECT_EQ(Db(file).Text("select doc_year from ref_document where unique_id = " + std::to_string(rows_.plainDocument)),
            "2003");
}

}  // namespace
}  // namespace tarnwick::test
