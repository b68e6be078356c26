// The office database refuses what cannot be a link, whatever a client
// sends, and says why, on either engine.

#include "support/sample_office.hpp"

namespace tarnwick::test {
namespace {

class ImpossibleLinks : public SampleOfficeSuite<30> {
 protected:
  // Inserts and moves through one of the link classes; each impossible link
  // leaves the table as it was and its reason with the object.
  template <class Link>
  static void ExpectOnlyPossibleLinks(const std::string& table, const std::string& committee, const std::string& other,
                                      const std::string& document) {
    const std::string count = "select count(*) from " + table;
    const std::string before = Query(count);
    auto link = Connected<Link>();
    const auto refused = [&](const std::string& says) {
      EXPECT_FALSE(link->SaveData()) << says;
      EXPECT_NE(link->LastErrorText().find(says), std::string::npos) << link->LastErrorText();
    };
    ASSERT_TRUE(link->GetData(0));
    refused("needs a committee");  // a link with neither end
    link->OrgID(committee);
    link->DocumentID("");
    refused("needs a document");
    link->DocumentID("99999999");
    refused("The document of the link does not exist");
    // A text that is no identifier is refused by the row itself and never sent.
    EXPECT_THROW(link->OrgID(committee + "' or '1' = '1"), RuntimeError);
    link->OrgID("424242");
    link->DocumentID(document);
    refused("The committee of the link does not exist");
    EXPECT_EQ(Query(count), before);

    // A real link is kept, and cannot be moved to a committee that is not there.
    link->OrgID(committee);
    ASSERT_TRUE(link->SaveData()) << link->LastErrorText();
    ASSERT_TRUE(link->GetData(std::stoi(document)));
    link->NewOrgID(424242);
    refused("moved to does not exist");
    const std::string where = "select count(*) from " + table + " where document_id = " + document + " and org_id = ";
    EXPECT_EQ(Query(where + committee), "1");
    link->NewOrgID(std::stoi(other));
    EXPECT_TRUE(link->SaveData()) << link->LastErrorText();
    EXPECT_EQ(Query(where + other), "1");
  }
};

TW_ON_BOTH_ENGINES(ImpossibleLinks);

TEST_P(ImpossibleLinks, AreRefusedWithTheirReasonAndNothingIsStored) {
  const std::string committee = Query("select min(unique_id) from ref_org where unique_id = group_id");
  const std::string other =
      Query("select min(unique_id) from ref_org where unique_id = group_id and unique_id > " + committee);
  auto doc = Connected<clsDocument>();
  ASSERT_TRUE(doc->GetData());
  doc->Title("A document for the link checks");
  ASSERT_TRUE(doc->SaveData()) << doc->LastErrorText();
  const std::string document = std::to_string(doc->UniqueID());

  ExpectOnlyPossibleLinks<clsXrf_Org_Document>("xrf_org_document", committee, other, document);
  ExpectOnlyPossibleLinks<clsXrf_Aff_Org_Document>("XRF_AFF_ORG_DOCUMENT", committee, other, document);

  // A deleted document takes its links with it; no link is left pointing nowhere.
  ASSERT_TRUE(doc->DeleteData(doc->UniqueID())) << doc->LastErrorText();
  EXPECT_EQ(Query("select count(*) from xrf_org_document where document_id = " + document), "0");
  EXPECT_EQ(Query("select count(*) from XRF_AFF_ORG_DOCUMENT where document_id = " + document), "0");
  const bool file = engine_ == OfficeEngine::Embedded;
  EXPECT_EQ(file ? Query("select count(*) from pragma_foreign_key_check") : "0", "0") << "the sample keeps its links";
}

}  // namespace
}  // namespace tarnwick::test
