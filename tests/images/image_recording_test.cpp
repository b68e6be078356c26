// The image object against a scripted gateway: the texts and parameters it
// sends, its flags, its column rules and every way it can fail.
#include "support/scripted_gateway.hpp"

namespace tarnwick::test {
namespace {

struct Images : Scripted { clsDocumentImage image; };

TEST_F(Images, GetDataLoadsAnImageRowOrPreparesANewOne) {
  // A new row (no identifier, or one below 1): a blank row is added even with no rows.
  script->Answer("OpenRecordset", {.result = ImageRows({})});
  EXPECT_TRUE(image.GetData(0));
  EXPECT_EQ(Calls(), Texts{"OpenRecordset(exec sp_get_DOCUMENT_IMAGE 0 , 0, True)"});
  EXPECT_FALSE(image.HasImage());
  // An existing document: the flags follow the sizes; Null and 0 mean no image.
  script->Answer("OpenRecordset", {.result = ImageRows({{{"doc_image_sz", 1200}, {"alt_doc_image_sz", Variant::Null()}}})});
  EXPECT_TRUE(image.GetData(5) && image.HasImage() && !image.HasAltered());
  script->Answer("OpenRecordset", {.result = ImageRows({{{"doc_image_sz", 0}, {"alt_doc_image_sz", 3}}})});
  EXPECT_TRUE(image.GetData(2147483647) && !image.HasImage() && image.HasAltered());
  // A new row afterwards keeps what the last document set.
  script->Answer("OpenRecordset", {.result = ImageRows({})});
  EXPECT_TRUE(image.GetData());
  EXPECT_EQ(Calls().back(), "OpenRecordset(exec sp_get_DOCUMENT_IMAGE -1 , 0, True)");
  EXPECT_TRUE(image.HasAltered());

  // A document without a row fails on its size.
  script->Answer("OpenRecordset", {.result = ImageRows({})});
  EXPECT_TRUE(ExpectRaises(err::kNoCurrentRow, [&] { image.GetData(404); }).Source().ends_with(" (clsDocumentImage.GetData)"));
  script->Answer("OpenRecordset", {.raise = RuntimeError(-2147467259, "gateway", "link down")});
  EXPECT_EQ(ExpectRaises(-2147467259, [&] { image.GetData(1); }).Source(), "gateway (clsDocumentImage.GetData)");
}

TEST_F(Images, ColumnsFollowTheirRulesAndSaveDataSendsTheRowUnderTheGivenIdentifier) {
  // Nothing loaded: empty values and ignored writes; the first column SaveData reads fails.
  image.PageCount("3");
  EXPECT_EQ(image.PageCount(), "");
  EXPECT_TRUE(ExpectRaises(err::kObjectNotSet, [&] { image.SaveData("12"); }).Source().ends_with(" (clsDocumentImage.SaveData)"));

  script->Answer("OpenRecordset", {.result = ImageRows({{{"document_id", 8}, {"doc_page_ct", 2}, {"orig_date", Date{38415.5}}}})});
  ASSERT_TRUE(image.GetData(8));
  EXPECT_EQ(image.PageCount(), "2");
  EXPECT_EQ(image.OrigDate(), "3/4/2005 12:00:00 PM") << "the default date text, not mm/dd/yyyy";
  EXPECT_TRUE(image.Image().empty()) << "a Null image reads empty";
  image.DocumentID("99");
  image.PageCount("");
  image.Image(Bytes{});
  image.ImageAlt(Pattern(300));
  Clear();
  script->inTransaction = true;
  EXPECT_TRUE(image.SaveData("12"));
  // The identifier comes from the argument only; empty text goes as Null, the empty array as an array; the unit
  // of work is not touched.
  EXPECT_EQ(Calls(), (Texts{"PrepareProcedure(sp_save_DOCUMENT_IMAGE)", "AddParameter(@document_id, 12)",
                            "AddParameter(@doc_page_ct, Null)", "AddParameter(@alt_doc_page_ct, Null)",
                            "AddParameter(@doc_image, Bytes(0))", "AddParameter(@alt_doc_image, Bytes(300))",
                            "ExecuteProcedure(0, False, 0)"}));
  EXPECT_TRUE(script->inTransaction) << "SaveData never ends a unit of work";

  // DeleteData calls the save procedure with the identifier alone, in its own unit of work.
  Clear();
  EXPECT_TRUE(image.DeleteData(-3));
  EXPECT_EQ(Calls(), (Texts{"PrepareProcedure(sp_save_DOCUMENT_IMAGE)", "AddParameter(@document_id, -3)",
                            "ExecuteProcedure(0, False, 0)", "InTransaction()", "EndTransaction(True)", "InTransaction()"}));
}

TEST_F(Images, SettingsRowsAndTheBatchScanFolder) {
  // The caller's texts cannot end the literal.
  script->Answer("OpenRecordset", {.result = SettingRows({{{"app_function_lbl", "SCAN"}, {"setting_value", Variant::Null()}}})});
  EXPECT_TRUE(image.GetDefaultRegSettings("O'Brien's", "x' or '1'='1"));
  EXPECT_EQ(Calls().back(),
            "OpenRecordset(exec usp_adm_get_default_reg_setting 1, 'O''Brien''s', 'x'' or ''1''=''1' , 0, True)");
  EXPECT_EQ(image.SettingValue(), "") << "Null reads empty";

  // The last row whose code is exactly PATH_BATCH_SCAN names the folder.
  script->Answer("OpenRecordset", {.result = SystemInfoRows({{"PATH_BATCH_SCAN", "/scan/one/"}, {"path_batch_scan", "/lower/"},
                                                             {"PATH_BATCH_SCAN ", "/blank/"}, {Variant::Null(), "/null/"},
                                                             {"PATH_BATCH_SCAN", "/scan/two/"}})});
  Clear();
  image.SetImageDirs();
  EXPECT_EQ(Calls(), Texts{"OpenRecordset(select * from lks_system_info, 0, True)"});
  EXPECT_EQ(image.BatchScanPath(), "/scan/two/");
  // A Null folder on a matching row cannot become text: reported, earlier rows kept.
  script->Answer("OpenRecordset", {.result = SystemInfoRows({{"PATH_BATCH_SCAN", "/three/"}, {"PATH_BATCH_SCAN", Variant::Null()}})});
  EXPECT_TRUE(ExpectRaises(err::kInvalidUseOfNull, [&] { image.SetImageDirs(); }).Source().ends_with(" (clsDocumentImage.SetImageDirs)"));
  EXPECT_EQ(image.BatchScanPath(), "/three/");
}

}  // namespace
}  // namespace tarnwick::test
