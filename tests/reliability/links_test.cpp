// The office database refuses what cannot be a link, whatever a client
// sends, and says why.
#include <memory>
#include <string>

#include "support/sample_office.hpp"

namespace tarnwick::test {
namespace {

class ImpossibleLinks : public SampleOfficeSuite<30, Engines::File> {};

// Inserts and moves through one of the link classes; each impossible link
// leaves the table as it was and its reason with the object.
template <class Link>
void ExpectOnlyPossibleLinks(const std::string& file, const std::string& table, const std::string& committee,
                             const std::string& other, const std::string& document) {
  const std::string count = "select count(*) from " + table;
  const std::string before = Db(file).Text(count);
  Link link;
  ASSERT_TRUE(link.ConnectionVariables(file, "", "", "", false));

  ASSERT_TRUE(link.GetData(0));
  EXPECT_FALSE(link.SaveData()) << "a link with neither end";
  EXPECT_NE(link.LastErrorText().find("needs a committee"), std::string::npos) << link.LastErrorText();
  link.OrgID(committee);
  link.DocumentID("");
  EXPECT_FALSE(link.SaveData()) << "a link without its document";
  EXPECT_NE(link.LastErrorText().find("needs a document"), std::string::npos) << link.LastErrorText();
  link.DocumentID("99999999");
  EXPECT_FALSE(link.SaveData());
  EXPECT_NE(link.LastErrorText().find("document of the link does not exist"), std::string::npos)
      << link.LastErrorText();
  // A text that is no identifier is refused by the row itself and never sent.
  EXPECT_THROW(link.OrgID(committee + "' or '1' = '1"), RuntimeError);
  link.OrgID("424242");
  link.DocumentID(document);
  EXPECT_FALSE(link.SaveData());
  EXPECT_NE(link.LastErrorText().find("committee of the link does not exist"), std::string::npos)
      << link.LastErrorText();
  EXPECT_EQ(Db(file).Text(count), before);

  // A real link is kept, and cannot be moved to a committee that is not there.
  link.OrgID(committee);
  ASSERT_TRUE(link.SaveData()) << link.LastErrorText();
  ASSERT_TRUE(link.GetData(std::stoi(document)));
  link.NewOrgID(424242);
  EXPECT_FALSE(link.SaveData());
  EXPECT_NE(link.LastErrorText().find("moved to does not exist"), std::string::npos) << link.LastErrorText();
  const std::string where = " from " + table + " where document_id = " + document + " and org_id = ";
  EXPECT_EQ(Db(file).Text("select count(*)" + where + committee), "1");
  link.NewOrgID(std::stoi(other));
  EXPECT_TRUE(link.SaveData()) << link.LastErrorText();
  EXPECT_EQ(Db(file).Text("select count(*)" + where + other), "1");
}

TEST_F(ImpossibleLinks, AreRefusedWithTheirReasonAndNothingIsStored) {
  const std::string committee = Query("select min(unique_id) from ref_org where unique_id = group_id");
  const std::string other =
      Query("select min(unique_id) from ref_org where unique_id = group_id and unique_id > " + committee);
  clsDocument doc;
  ASSERT_TRUE(doc.ConnectionVariables(file_, "", "", "", false));
  ASSERT_TRUE(doc.GetData());
  doc.Title("A document for the link checks");
  ASSERT_TRUE(doc.SaveData()) << doc.LastErrorText();
  const std::string document = std::to_string(doc.UniqueID());

  ExpectOnlyPossibleLinks<clsXrf_Org_Document>(file_, "xrf_org_document", committee, other, document);
  ExpectOnlyPossibleLinks<clsXrf_Aff_Org_Document>(file_, "XRF_AFF_ORG_DOCUMENT", committee, other, document);

  // A deleted document takes its links with it; no link is left pointing nowhere.
  ASSERT_TRUE(doc.DeleteData(doc.UniqueID())) << doc.LastErrorText();
  EXPECT_EQ(Query("select count(*) from xrf_org_document where document_id = " + document), "0");
  EXPECT_EQ(Query("select count(*) from XRF_AFF_ORG_DOCUMENT where document_id = " + document), "0");
  EXPECT_EQ(Query("select count(*) from pragma_foreign_key_check"), "0") << "the sample office keeps its links";
}

}  // namespace
}  // namespace tarnwick::test
