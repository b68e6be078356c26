// The document object on a sample office database: a document's life from
// creation to deletion, its committee link, the filing checks, and a column
// update that fails half way.

#include "support/forwarding_gateway.hpp"
#include "support/sample_office.hpp"

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
    doc.ReceiveSendDate("4/15/2004");
    doc.AmountDue(Currency{125000});
    EXPECT_TRUE(doc.SaveData());
    return doc.UniqueID();
  }
};

TW_ON_BOTH_ENGINES(SampleOffice);

TEST_P(SampleOffice, DocumentIsCreatedFoundEditedLinkedCheckedAndDeleted) {
  auto doc = Connected<clsDocument>();
  const std::int32_t id = CreateReport(*doc, "Quarterly report");
  const std::string key = std::to_string(id);
  EXPECT_EQ(doc->ReceiveSendDate() + "|" + doc->DueDate(), "04/15/2004|") << "a column never set is Null";
  // Found by the search form's choices: a 2004 report filed by no committee, received in April.
  ASSERT_TRUE(doc->GetDocumentList(doc->SetupFilter("RPT", "Q1", "2004", true, "No Committee", "", "", "", false,
                                                    "RECEIVED DATE", "4/1/2004", "4/30/2004", "", "", false)));
  bool found = false;
  for (; !doc->EndOfFile(); doc->MoveNext()) found = found || doc->UniqueID() == id;
  EXPECT_TRUE(found);

  // Edited: only the changed columns go, and they stay.
  ASSERT_TRUE(doc->GetData(id));
  doc->Title("Amended quarterly report");
  doc->DueDate("5/1/2004");
  doc->IsAmendment("True");
  doc->TotalReceipts("1234.5");
  ASSERT_TRUE(doc->SaveData() && doc->GetData(id));
  EXPECT_EQ(doc->Title() + "|" + doc->DueDate() + "|" + doc->IsAmendment() + "|" + doc->TotalReceipts() + "|" +
                doc->DocSubTypeCode(), "Amended quarterly report|05/01/2004|True|1234.5|Q1");

  // Linked to a committee group, then moved to another.
  const auto group = [](int skip) {
    return Query("select group_id from ref_org where unique_id = group_id order by group_id limit 1 offset " +
                 std::to_string(skip));
  };
  const std::string first = group(0), second = group(1);
  auto link = Connected<clsXrf_Org_Document>();
  ASSERT_TRUE(link->GetData());
  link->OrgID(first);
  link->DocumentID(key);
  ASSERT_TRUE(link->SaveData());
  const auto inGroup = [&](const std::string& g) {
    if (!doc->GetCommitteeDocumentList(g)) return false;
    for (doc->MoveFirst(); !doc->EndOfFile(); doc->MoveNext())
      if (doc->UniqueID() == id) return doc->DocTypeCodeDesc() == "Campaign finance report";
    return false;
  };
  EXPECT_TRUE(inGroup(first));
  ASSERT_TRUE(link->GetData(id));
  link->NewOrgID(std::stoi(second));
  ASSERT_TRUE(link->SaveData());
  EXPECT_TRUE(inGroup(second) && !inGroup(first));

  // The filing checks run; the committee exists, so the MEF return finds it.
  bool match = false, mef = false;
  std::int16_t election = -1;
  for (MEFRunType type : {FortyEightHourList, CheckMEF, ExistingReport, FortyEightHourListAmend, ReturnMEF}) {
    EXPECT_TRUE(doc->RunMEFChecks(type, second, key, "2004", "Q1", "4/1/2004", "6/30/2004", "100", "50", match, mef,
                                  election)) << type;
  }
  EXPECT_TRUE(match);

  // A scan and a report link go with their document; its number is never given again.
  auto image = Connected<clsDocumentImage>();
  ASSERT_TRUE(image->GetData());
  image->PageCount("1");
  image->Image(Bytes{1, 2, 3});
  ASSERT_TRUE(image->SaveData(key) && doc->GetData(id) && doc->DeleteData(id));
  EXPECT_FALSE(doc->GetData(id));
  EXPECT_EQ(Query("select count(*) from ref_document where unique_id = " + key), "0");
  EXPECT_EQ(Query("select count(*) from DOCUMENT_IMAGE where document_id = " + key), "0");
  const std::int32_t next = CreateReport(*doc, "Next report");
  EXPECT_GT(next, id);
  EXPECT_TRUE(image->GetData(next) && !image->HasImage());

  // The first day the runtime counts is a date like any other, on both engines.
  ASSERT_TRUE(doc->GetData(next));
  doc->DueDate("12/30/1899");
  ASSERT_TRUE(doc->SaveData()) << doc->LastErrorText();
  ASSERT_TRUE(doc->GetData(next));
  EXPECT_EQ(doc->DueDate(), "12/30/1899");

  // An edit leaves its trace: the time of the change, whatever column changed.
  const std::string old = Query("select min(unique_id) from ref_document where update_date < '2010-01-01'");
  ASSERT_TRUE(doc->GetData(std::stoi(old)));
  doc->NameListed("Renamed in an edit");
  ASSERT_TRUE(doc->SaveData()) << doc->LastErrorText();
  EXPECT_EQ(Query("select count(*) from ref_document where update_date > '2020-01-01' and unique_id = " + old), "1");
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
  int failAt_, updates_ = 0;
};

// On either engine, a save whose third column update fails leaves the whole
// row as it was, and the object saves every change once the connection is back.
TEST_P(SampleOffice, FailedColumnUpdateLeavesTheWholeRowAsItWas) {
  auto plain = Connected<clsDocument>();
  const std::string key = std::to_string(CreateReport(*plain, "Before the failure"));
  const std::string row = "select Title, name_listed, due_date, Amount_Due, doc_year from ref_document where unique_id = ";
  const auto before = QueryRows(row + key);
  GatewayFactory previous = SetGatewayFactory([] { return std::make_unique<FailingUpdates>(3); });
  auto doc = Connected<clsDocument>();
  SetGatewayFactory(std::move(previous));
  ASSERT_TRUE(doc->GetData(std::stoi(key)));
  doc->DocYear("2005");
  doc->NameListed("Changed");
  doc->Title("After the failure");
  doc->DueDate("6/1/2004");
  EXPECT_EQ(ExpectRaises(-2147467259, [&] { doc->SaveData(); }).Source(), "Gateway (clsDocument.SaveData)")
      << "the third column update fails";
  EXPECT_EQ(QueryRows(row + key), before);
  EXPECT_TRUE(doc->SaveData());
  ASSERT_TRUE(plain->GetData(std::stoi(key)));
  EXPECT_EQ(plain->Title() + "|" + plain->NameListed() + "|" + plain->DocYear() + "|" + plain->DueDate(),
            "After the failure|Changed|2005|06/01/2004");
}

}  // namespace
}  // namespace tarnwick::test
