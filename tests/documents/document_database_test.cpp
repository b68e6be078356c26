// The document object on a sample office database: a document's life from
// creation to deletion, its committee link, the filing checks, and a column
// update that fails half way.
#include <memory>
#include <stdexcept>

#include "support/forwarding_gateway.hpp"
#include "office/file_office.hpp"
#include "support/sample_office.hpp"
#include "support/scripted_gateway.hpp"

namespace tarnwick::test {
namespace {

class SampleOffice : public SampleOfficeSuite<60> {
 protected:
  // A new report document, saved; returns its identifier.
  static std::int32_t CreateReport(clsDocument& doc, const std::string& title) {
    EXPECT_TRUE(doc.GetData());
    doc.DocTypeCode("RPT");
    doc.DocSubTypeCode("Q1");
    doc.DocYear("2004");
    doc.Title(title);
    doc.NameListed("Friends of Testing");
    doc.ReceiveSendDate("4/15/2004");
    doc.AmountDue(Currency{125000});
    doc.IsAmendment("False");
    EXPECT_TRUE(doc.SaveData());
    return doc.UniqueID();
  }

  // A committee group whose first record carries the group's number, as the
  // committee document list joins them.
  static std::string CommitteeGroup(int skip) {
    return Query("select group_id from ref_org where unique_id = group_id order by group_id limit 1 offset " +
                 std::to_string(skip));
  }
};

TW_ON_BOTH_ENGINES(SampleOffice);

TEST_P(SampleOffice, DocumentIsCreatedFoundEditedLinkedCheckedAndDeleted) {
  auto doc = Connected<clsDocument>();
  const std::int32_t id = CreateReport(*doc, "Quarterly report of the test committee");
  ASSERT_GT(id, 0);
  EXPECT_EQ(doc->Title(), "Quarterly report of the test committee");
  EXPECT_EQ(doc->ReceiveSendDate(), "04/15/2004");
  EXPECT_EQ(doc->AmountDue().scaled, 125000);
  EXPECT_EQ(doc->DueDate(), "") << "a column never set is Null";
  EXPECT_EQ(Query("select Title from ref_document where unique_id = " + std::to_string(id)),
            "Quarterly report of the test committee")
      << "the insert is committed";

  // Found by the search form's choices: a 2004 report filed by no committee.
  std::string filter = doc->SetupFilter("RPT", "Q1", "2004", true, "No Committee", "", "", "", false,
                                        "RECEIVED DATE", "4/1/2004", "4/30/2004", "", "", false);
  ASSERT_TRUE(doc->GetDocumentList(filter)) << filter;
  bool found = false;
  for (; !doc->EndOfFile() && !found; doc->MoveNext()) found = doc->UniqueID() == id;
  EXPECT_TRUE(found);
  EXPECT_GE(doc->Count(), 1);

  // Edited: only the changed columns go, and they stay.
  ASSERT_TRUE(doc->GetData(id));
  doc->Title("Amended quarterly report");
  doc->DueDate("5/1/2004");
  doc->NameListed("");
  doc->IsAmendment("True");
  doc->TotalReceipts("1234.5");
  ASSERT_TRUE(doc->SaveData());
  ASSERT_TRUE(doc->GetData(id));
  EXPECT_EQ(doc->Title(), "Amended quarterly report");
  EXPECT_EQ(doc->DueDate(), "05/01/2004");
  EXPECT_EQ(doc->NameListed(), "");
  EXPECT_EQ(doc->IsAmendment(), "True");
  EXPECT_EQ(doc->TotalReceipts(), "1234.5");
  EXPECT_EQ(doc->DocSubTypeCode(), "Q1");

  // Linked to a committee, then moved to another.
  const std::string first = CommitteeGroup(0);
  const std::string second = CommitteeGroup(1);
  ASSERT_FALSE(first.empty());
  ASSERT_FALSE(second.empty());
  auto link = Connected<clsXrf_Org_Document>();
  ASSERT_TRUE(link->GetData());
  link->OrgID(first);
  link->DocumentID(std::to_string(id));
  ASSERT_TRUE(link->SaveData());
  const auto listsDocument = [&](const std::string& group) {
    if (!doc->GetCommitteeDocumentList(group)) return false;
    for (doc->MoveFirst(); !doc->EndOfFile(); doc->MoveNext()) {
      if (doc->UniqueID() == id) return doc->DocTypeCodeDesc() == "Campaign finance report";
    }
    return false;
  };
  EXPECT_TRUE(listsDocument(first));
  ASSERT_TRUE(link->GetData(id));
  link->NewOrgID(std::stoi(second));
  ASSERT_TRUE(link->SaveData());
  EXPECT_TRUE(listsDocument(second));
  EXPECT_FALSE(listsDocument(first));
  filter = doc->SetupFilter("RPT", "", "2004", true, "No Committee", "", "", "", false, "", "", "", "", "", false);
  if (doc->GetDocumentList(filter)) {
    for (doc->MoveFirst(); !doc->EndOfFile(); doc->MoveNext()) EXPECT_NE(doc->UniqueID(), id) << "now linked";
  }

  // Every filing check runs; the committee exists, so the MEF return finds it.
  for (MEFRunType type : {FortyEightHourList, CheckMEF, ReturnMEF, ExistingReport, FortyEightHourListAmend}) {
    bool match = false, mef = false;
    std::int16_t election = -1;
    EXPECT_TRUE(doc->RunMEFChecks(type, second, std::to_string(id), "2004", "Q1", "4/1/2004", "6/30/2004", "100",
                                  "50", match, mef, election))
        << type;
    if (type == ReturnMEF) {
      EXPECT_TRUE(match);
    }
  }

  // Deleted: the row is gone from the database.
  ASSERT_TRUE(doc->GetData(id));
  ASSERT_TRUE(doc->DeleteData(id));
  EXPECT_FALSE(doc->GetData(id));
  EXPECT_EQ(Query("select count(*) from ref_document where unique_id = " + std::to_string(id)), "0");
}

// Passes every call to the office database and fails the chosen column
// update, as a lost connection would.
class FailingUpdates final : public test::ForwardingGateway {
 public:
  explicit FailingUpdates(int failAt) : ForwardingGateway(CreateDefaultGateway()), failAt_(failAt) {}
  std::string PrepareProcedure(const std::string& name) override {
    if (name == "sp_update_table") ++updates_;
    return ForwardingGateway::PrepareProcedure(name);
  }
  std::string ExecuteProcedure(std::int32_t& rows, bool returnsRows, std::shared_ptr<Recordset>& result,
                               std::int32_t options) override {
    if (updates_ == failAt_) throw RuntimeError(-2147467259, "Gateway", "Connection lost");
    return ForwardingGateway::ExecuteProcedure(rows, returnsRows, result, options);
  }

 private:
  int failAt_;
  int updates_ = 0;
};

TEST_P(SampleOffice, FailedColumnUpdateLeavesTheWholeRowAsItWas) {
  auto plain = Connected<clsDocument>();
  const std::int32_t id = CreateReport(*plain, "Before the failure");
  const std::string key = std::to_string(id);
  const std::string row = "select Title, name_listed, due_date, Amount_Due, doc_year from ref_document where unique_id = ";
  const auto before = QueryRows(row + key);

  GatewayFactory previous = SetGatewayFactory([] { return std::make_unique<FailingUpdates>(3); });
  auto doc = Connected<clsDocument>();
  SetGatewayFactory(std::move(previous));
  ASSERT_TRUE(doc->GetData(id));
  doc->DocYear("2005");
  doc->NameListed("Changed");
  doc->Title("After the failure");
  doc->DueDate("6/1/2004");
  try {
    doc->SaveData();
    ADD_FAILURE() << "the third column update should have failed";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.Source(), "Gateway (clsDocument.SaveData)");
  }
  EXPECT_EQ(QueryRows(row + key), before);
  ASSERT_TRUE(plain->GetData(id));
  EXPECT_EQ(plain->Title(), "Before the failure");
  EXPECT_EQ(plain->DocYear(), "2004");

  // Saved again once the connection is back: the abandoned unit of work is
  // closed, and every change is still held by the object.
  EXPECT_TRUE(doc->SaveData());
  ASSERT_TRUE(plain->GetData(id));
  EXPECT_EQ(plain->Title(), "After the failure");
  EXPECT_EQ(plain->NameListed(), "Changed");
  EXPECT_EQ(plain->DocYear(), "2005");
  EXPECT_EQ(plain->DueDate(), "06/01/2004");
}

}  // namespace
}  // namespace tarnwick::test
