// The image object on a sample office database: images stored, read back,
// replaced and removed, the settings rows, and input the database refuses.

#include "support/scripted_gateway.hpp"
#include "support/sample_office.hpp"

namespace tarnwick::test {
namespace {

class ImageOffice : public SampleOfficeSuite<40> {};

TW_ON_BOTH_ENGINES(ImageOffice);

TEST_P(ImageOffice, ImagesAreStoredReadReplacedAndRemovedAndBadInputLosesNothing) {
  auto image = Connected<clsDocumentImage>();
  // A document the sample gave no image.
  const std::string key = Query("select min(unique_id) from ref_document where unique_id not in "
                                "(select document_id from DOCUMENT_IMAGE)");
  const std::int32_t id = std::stoi(key);
  ASSERT_TRUE(image->GetData(id) && !image->HasImage() && image->GetData());
  image->PageCount("3");
  image->Image(Pattern(300000, 3));
  image->ImageAlt(Pattern(17, 9));
  ASSERT_TRUE(image->SaveData(key) && image->GetData(id));
  EXPECT_TRUE(image->HasImage() && image->HasAltered());
  EXPECT_TRUE(image->Image() == Pattern(300000, 3) && image->ImageAlt() == Pattern(17, 9)) << "both images, byte for byte";
  EXPECT_EQ(image->PageCount() + "|" + image->PageCountAlt(), "3|");
  const std::string stored = image->OrigDate();
  EXPECT_EQ(Query("select count(*) from ref_document where has_image = true and unique_id = " + key), "1");

  // Replaced in whole: the altered image is now empty (0 bytes, not Null), the first date stays.
  image->Image(Pattern(5, 1));
  image->ImageAlt(Bytes{});
  ASSERT_TRUE(image->SaveData(key) && image->GetData(id));
  EXPECT_TRUE(image->Image() == Pattern(5, 1) && image->ImageAlt().empty());
  EXPECT_FALSE(image->HasAltered()) << "a 0-byte image is no image";
  EXPECT_EQ(image->OrigDate(), stored);

  // Identifiers that name no document: a new row for negatives, a reported failure for the rest.
  EXPECT_TRUE(image->GetData(-7));
  ExpectRaises(err::kNoCurrentRow, [&] { image->GetData(2147483647); });
  ASSERT_TRUE(image->GetData());
  image->Image(Pattern(10));
  for (const char* bad : {"12abc", "", "2147483647"}) EXPECT_FALSE(image->SaveData(bad)) << bad;
  EXPECT_EQ(Query("select count(*) from DOCUMENT_IMAGE where document_id not in (select unique_id from ref_document)"), "0");
  ASSERT_TRUE(image->GetData(id));
  EXPECT_EQ(image->Image(), Pattern(5, 1));

  // Removed: the document is still there with no images.
  EXPECT_TRUE(image->DeleteData(id) && image->GetData(id) && !image->HasImage());
  EXPECT_EQ(Query("select count(*) from ref_document where has_image = false and unique_id = " + key), "1");
}

TEST_P(ImageOffice, SettingsComeFromTheDatabase) {
  auto image = Connected<clsDocumentImage>();
  image->SetImageDirs();
  EXPECT_EQ(image->BatchScanPath(), Query("select Description from lks_system_info where Code = 'PATH_BATCH_SCAN'"));
  ASSERT_TRUE(image->GetDefaultRegSettings("SCAN", "BATCH"));
  std::vector<std::string> keys;
  for (; !image->EndOfFile(); image->MoveNext())
    keys.push_back(image->SettingPath() + ":" + image->SettingKey() + "=" + image->SettingValue() + ":" + image->SettingType());
  EXPECT_EQ(keys, (std::vector<std::string>{"Software\\Tarnwick\\Scan:Resolution=300:REG_DWORD",
                                            "Software\\Tarnwick\\Scan:ColorMode=BW:REG_SZ",
                                            "Software\\Tarnwick\\Scan:Duplex=1:REG_DWORD"}));
}

}  // namespace
}  // namespace tarnwick::test
