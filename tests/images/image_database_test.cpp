// The image object on a sample office database: images stored, read back,
// replaced and removed, the settings rows, and input the database refuses.
#include <memory>
#include <stdexcept>

#include "support/scripted_gateway.hpp"
#include "support/sample_office.hpp"

namespace tarnwick::test {
namespace {

class ImageOffice : public SampleOfficeSuite<40> {
 protected:
  static std::unique_ptr<clsDocumentImage> Connected() { return SampleOfficeSuite::Connected<clsDocumentImage>(); }
  // A document the sample gave no image.
  static std::int32_t DocumentWithoutImage(int skip) {
    return static_cast<std::int32_t>(std::stoll(Query(
        "select unique_id from ref_document where unique_id not in (select document_id from DOCUMENT_IMAGE) "
        "order by unique_id limit 1 offset " + std::to_string(skip))));
  }
};

TW_ON_BOTH_ENGINES(ImageOffice);

TEST_P(ImageOffice, ImagesAreStoredReadReplacedAndRemoved) {
  auto image = Connected();
  const std::int32_t id = DocumentWithoutImage(0);
  const std::string key = std::to_string(id);
  ASSERT_TRUE(image->GetData(id));
  EXPECT_FALSE(image->HasImage());
  EXPECT_TRUE(image->Image().empty());

  ASSERT_TRUE(image->GetData());
  image->PageCount("3");
  image->Image(Pattern(300000, 3));
  image->ImageAlt(Pattern(17, 9));
  ASSERT_TRUE(image->SaveData(key));
  ASSERT_TRUE(image->GetData(id));
  EXPECT_TRUE(image->HasImage());
  EXPECT_TRUE(image->HasAltered());
  EXPECT_EQ(image->Image(), Pattern(300000, 3));
  EXPECT_EQ(image->ImageAlt(), Pattern(17, 9));
  EXPECT_EQ(image->PageCount(), "3");
  EXPECT_EQ(image->PageCountAlt(), "");
  EXPECT_EQ(image->DocumentID(), key);
  const std::string stored = image->OrigDate();
  EXPECT_NE(stored, "");
  EXPECT_EQ(Query("select count(*) from ref_document where has_image = true and unique_id = " + key), "1");

  // Replaced in whole: the altered image is now empty (0 bytes, not Null), the first date stays.
  image->Image(Pattern(5, 1));
  image->ImageAlt(Bytes{});
  ASSERT_TRUE(image->SaveData(key));
  ASSERT_TRUE(image->GetData(id));
  EXPECT_EQ(image->Image(), Pattern(5, 1));
  EXPECT_TRUE(image->ImageAlt().empty());
  EXPECT_FALSE(image->HasAltered()) << "a 0-byte image is no image";
  EXPECT_EQ(image->OrigDate(), stored);

  // Removed: the document is still there with no images.
  ASSERT_TRUE(image->DeleteData(id));
  ASSERT_TRUE(image->GetData(id));
  EXPECT_FALSE(image->HasImage());
  EXPECT_TRUE(image->Image().empty());
  ExpectRaises(err::kTypeMismatch, [&] { image->ImageAlt(); });
  EXPECT_EQ(Query("select count(*) from ref_document where has_image = false and unique_id = " + key), "1");
}

TEST_P(ImageOffice, BadInputLosesNothingStored) {
  auto image = Connected();
  const std::int32_t id = DocumentWithoutImage(1);
  ASSERT_TRUE(image->GetData());
  image->Image(Pattern(1000, 5));
  ASSERT_TRUE(image->SaveData(std::to_string(id)));

  // Identifiers that name no document: a new row for negatives, a reported failure for the rest.
  EXPECT_TRUE(image->GetData(-7));
  const RuntimeError e = ExpectRaises(err::kNoCurrentRow, [&] { image->GetData(2147483647); });
  EXPECT_TRUE(e.Source().ends_with("(clsDocumentImage.GetData)")) << e.Source();
  // An identifier that is no number is refused by the procedure, and nothing changes.
  ASSERT_TRUE(image->GetData());
  image->Image(Pattern(10));
  EXPECT_FALSE(image->SaveData("12abc"));
  EXPECT_FALSE(image->SaveData("")) << "no identifier";
  EXPECT_FALSE(image->SaveData("2147483647")) << "no such document";
  EXPECT_EQ(Query("select count(*) from DOCUMENT_IMAGE where document_id not in (select unique_id from ref_document)"),
            "0");
  EXPECT_TRUE(image->DeleteData(-1));
  ASSERT_TRUE(image->GetData(id));
  EXPECT_EQ(image->Image(), Pattern(1000, 5));
}

TEST_P(ImageOffice, SettingsComeFromTheDatabase) {
  auto image = Connected();
  image->SetImageDirs();
  EXPECT_EQ(image->BatchScanPath(), Query("select Description from lks_system_info where Code = 'PATH_BATCH_SCAN'"));
  ASSERT_TRUE(image->GetDefaultRegSettings("SCAN", "BATCH"));
  std::vector<std::string> keys;
  while (!image->EndOfFile()) {
    EXPECT_EQ(image->AppFunctionLabel(), "SCAN");
    EXPECT_EQ(image->SettingPath(), "Software\\Tarnwick\\Scan");
    keys.push_back(image->SettingKey() + "=" + image->SettingValue() + ":" + image->SettingType());
    image->MoveNext();
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"Resolution=300:REG_DWORD", "ColorMode=BW:REG_SZ", "Duplex=1:REG_DWORD"}));
  EXPECT_FALSE(image->GetDefaultRegSettings("SCAN'; delete from adm_default_reg_setting; --", ""));
  EXPECT_TRUE(image->GetDefaultRegSettings("VIEWER", ""));
  EXPECT_EQ(Query("select count(*) from adm_default_reg_setting"), "10");
}

}  // namespace
}  // namespace tarnwick::test
