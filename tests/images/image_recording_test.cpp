// The image object against a scripted gateway: the texts and parameters it
// sends, its flags, its column rules and every way it can fail.
#include "support/scripted_gateway.hpp"

namespace tarnwick::test {
namespace {

using Images = Scripted;

TEST_F(Images, GetDataLoadsAnImageRowOrPreparesANewOne) {
  clsDocumentImage image;
  // A new row: the procedure is asked for the columns, and a blank row is added even with no rows.
  EXPECT_TRUE(image.GetData());
  script->Answer("OpenRecordset", {.result = ImageRows({})});
  EXPECT_TRUE(image.GetData(0));
  EXPECT_EQ(Calls(), (std::vector<std::string>{"OpenRecordset(exec sp_get_DOCUMENT_IMAGE -1 , 0, True)",
                                               "OpenRecordset(exec sp_get_DOCUMENT_IMAGE 0 , 0, True)"}));
  EXPECT_TRUE(image.DataReady());
  EXPECT_FALSE(image.HasImage());
  EXPECT_FALSE(image.HasAltered());

  // An existing document: the flags follow the sizes; Null and 0 mean no image.
  Clear();
  script->Answer("OpenRecordset", {.result = ImageRows({{{"document_id", 5}, {"doc_image_sz", 1200},
                                                         {"alt_doc_image_sz", Variant::Null()}}})});
  EXPECT_TRUE(image.GetData(5));
  EXPECT_EQ(Calls().front(), "OpenRecordset(exec sp_get_DOCUMENT_IMAGE 5 , 0, True)");
  EXPECT_TRUE(image.HasImage());
  EXPECT_FALSE(image.HasAltered());
  EXPECT_EQ(image.DocumentID(), "5");
  script->Answer("OpenRecordset", {.result = ImageRows({{{"doc_image_sz", 0}, {"alt_doc_image_sz", 3}}})});
  EXPECT_TRUE(image.GetData(2147483647));
  EXPECT_EQ(Calls().back(), "OpenRecordset(exec sp_get_DOCUMENT_IMAGE 2147483647 , 0, True)");
  EXPECT_FALSE(image.HasImage());
  EXPECT_TRUE(image.HasAltered());

  // A new row afterwards keeps what the last document set.
  script->Answer("OpenRecordset", {.result = ImageRows({})});
  EXPECT_TRUE(image.GetData(-2147483647 - 1));
  EXPECT_EQ(Calls().back(), "OpenRecordset(exec sp_get_DOCUMENT_IMAGE -2147483648 , 0, True)");
  EXPECT_TRUE(image.HasAltered());
  EXPECT_EQ(image.DocumentID(), "") << "the blank row";
}

TEST_F(Images, GetDataFailures) {
  clsDocumentImage image;
  // An error text is a quiet False.
  script->Answer("OpenRecordset", {.errorText = "timeout"});
  EXPECT_FALSE(image.GetData(5));
  script->Answer("OpenRecordset", {.errorText = "timeout"});
  EXPECT_FALSE(image.GetData());
  // No result set: False for a new row, an object-not-set error for a document (its sizes are read first).
  script->Answer("OpenRecordset", {.noResult = true});
  EXPECT_FALSE(image.GetData());
  script->Answer("OpenRecordset", {.noResult = true});
  RuntimeError e = ExpectRaises(err::kObjectNotSet, [&] { image.GetData(5); });
  EXPECT_TRUE(e.Source().ends_with(" (clsDocumentImage.GetData)")) << e.Source();
  // A document with no row fails on the size read and is reported.
  script->Answer("OpenRecordset", {.result = ImageRows({})});
  e = ExpectRaises(err::kNoCurrentRow, [&] { image.GetData(404); });
  EXPECT_TRUE(e.Source().ends_with(" (clsDocumentImage.GetData)")) << e.Source();
  // A run-time failure of the gateway itself keeps its number and gains the method's name.
  script->Answer("OpenRecordset", {.raise = RuntimeError(-2147467259, "gateway", "link down")});
  e = ExpectRaises(-2147467259, [&] { image.GetData(1); });
  EXPECT_EQ(e.Source(), "gateway (clsDocumentImage.GetData)");
  EXPECT_EQ(e.Description(), "link down");
}

TEST_F(Images, ColumnPropertiesFollowTheirRules) {
  clsDocumentImage image;
  // Nothing loaded: empty values, ignored writes, and settings columns that fail.
  EXPECT_FALSE(image.DataReady());
  EXPECT_EQ(image.PageCount(), "");
  EXPECT_TRUE(image.Image().empty());
  EXPECT_TRUE(image.ImageAlt().empty());
  image.Image(Pattern(10));
  image.PageCount("3");
  ExpectRaises(err::kObjectNotSet, [&] { image.SettingKey(); });

  script->Answer("OpenRecordset",
                 {.result = ImageRows({{{"document_id", 8},
                                        {"doc_page_ct", 2},
                                        {"doc_image", Variant::Null()},
                                        {"alt_doc_image", Variant::Null()},
                                        {"orig_date", Date{38415.5}}}})});
  ASSERT_TRUE(image.GetData(8));
  EXPECT_EQ(image.PageCount(), "2");
  EXPECT_EQ(image.OrigDate(), "3/4/2005 12:00:00 PM") << "the default date text, not mm/dd/yyyy";
  EXPECT_EQ(image.UpdateDate(), "");
  EXPECT_TRUE(image.Image().empty()) << "a Null image reads empty";
  ExpectRaises(err::kTypeMismatch, [&] { image.ImageAlt(); });
  ExpectRaises(err::kItemNotFound, [&] { image.SettingValue(); });

  image.PageCount("");
  image.PageCountAlt("7");
  image.Image(Bytes{});
  image.ImageAlt(Pattern(300));
  EXPECT_EQ(image.PageCountAlt(), "7");
  EXPECT_TRUE(image.Image().empty());
  EXPECT_EQ(image.ImageAlt(), Pattern(300));
  // What the row now holds: empty text stored Null, the empty array stayed an array.
  Clear();
  EXPECT_TRUE(image.SaveData("8"));
  EXPECT_EQ(Calls()[2], "AddParameter(@doc_page_ct, Null)");
  EXPECT_EQ(Calls()[4], "AddParameter(@doc_image, Bytes(0))");
  EXPECT_EQ(Calls()[5], "AddParameter(@alt_doc_image, Bytes(300))");

  // Moving past the row: the getters fail with the result set's error.
  image.MoveNext();
  EXPECT_TRUE(image.EndOfFile());
  ExpectRaises(err::kNoCurrentRow, [&] { image.PageCount(); });
}

TEST_F(Images, SaveDataSendsTheRowUnderTheGivenIdentifier) {
  clsDocumentImage image;
  // No row loaded: the first column read fails and is reported.
  RuntimeError e = ExpectRaises(err::kObjectNotSet, [&] { image.SaveData("12"); });
  EXPECT_TRUE(e.Source().ends_with(" (clsDocumentImage.SaveData)")) << e.Source();

  script->Answer("OpenRecordset", {.result = ImageRows({})});
  ASSERT_TRUE(image.GetData());
  image.DocumentID("99");
  image.PageCount("4");
  image.Image(Pattern(4096));
  Clear();
  script->inTransaction = true;
  EXPECT_TRUE(image.SaveData("12"));
  // The identifier comes from the argument only, and the unit of work is not touched.
  EXPECT_EQ(Calls(), (std::vector<std::string>{"PrepareProcedure(sp_save_DOCUMENT_IMAGE)",
                                               "AddParameter(@document_id, 12)", "AddParameter(@doc_page_ct, 4)",
                                               "AddParameter(@alt_doc_page_ct, Null)",
                                               "AddParameter(@doc_image, Bytes(4096))",
                                               "AddParameter(@alt_doc_image, Null)", "ExecuteProcedure(0, False, 0)"}));
  EXPECT_EQ(image.PageCount(), "4") << "the row stays as it was";

  Clear();
  script->Answer("PrepareProcedure", {.errorText = "no such procedure"});
  EXPECT_FALSE(image.SaveData("12"));
  EXPECT_EQ(Calls(), std::vector<std::string>{"PrepareProcedure(sp_save_DOCUMENT_IMAGE)"});
  script->Answer("ExecuteProcedure", {.errorText = "image too large"});
  EXPECT_FALSE(image.SaveData("12"));
  script->Answer("ExecuteProcedure", {.raise = RuntimeError(7, "gateway", "Out of memory")});
  e = ExpectRaises(7, [&] { image.SaveData("12"); });
  EXPECT_EQ(e.Source(), "gateway (clsDocumentImage.SaveData)");
  EXPECT_TRUE(script->inTransaction) << "SaveData never ends a unit of work";
}

TEST_F(Images, DeleteDataCallsTheSaveProcedureWithTheIdentifierAlone) {
  clsDocumentImage image;
  script->inTransaction = true;
  EXPECT_TRUE(image.DeleteData(12));
  EXPECT_EQ(Calls(), (std::vector<std::string>{"PrepareProcedure(sp_save_DOCUMENT_IMAGE)",
                                               "AddParameter(@document_id, 12)", "ExecuteProcedure(0, False, 0)",
                                               "InTransaction()", "EndTransaction(True)", "InTransaction()"}));
  Clear();
  script->inTransaction = true;
  script->Answer("ExecuteProcedure", {.errorText = "locked"});
  EXPECT_FALSE(image.DeleteData(-3));
  EXPECT_EQ(Calls(), (std::vector<std::string>{"PrepareProcedure(sp_save_DOCUMENT_IMAGE)",
                                               "AddParameter(@document_id, -3)", "ExecuteProcedure(0, False, 0)",
                                               "InTransaction()", "EndTransaction(False)", "InTransaction()"}));
  script->Answer("PrepareProcedure", {.errorText = "no such procedure"});
  EXPECT_FALSE(image.DeleteData(12));
}

TEST_F(Images, DefaultSettingsAreReadAsTheObjectsRows) {
  clsDocumentImage image;
  script->Answer("OpenRecordset", {.result = SettingRows({})});
  EXPECT_FALSE(image.GetDefaultRegSettings("", "")) << "no rows";
  EXPECT_EQ(Calls(), (std::vector<std::string>{"SqlSafeText()", "SqlSafeText()",
                                               "OpenRecordset(exec usp_adm_get_default_reg_setting 1, '', '' , 0, True)"}));
  // The caller's texts cannot end the literal.
  script->Answer("OpenRecordset",
                 {.result = SettingRows({{{"app_function_lbl", "SCAN"},
                                          {"setting_key", "Resolution"},
                                          {"setting_value", Variant::Null()}}})});
  EXPECT_TRUE(image.GetDefaultRegSettings("O'Brien's", "x' or '1'='1"));
  EXPECT_EQ(Calls().back(),
            "OpenRecordset(exec usp_adm_get_default_reg_setting 1, 'O''Brien''s', 'x'' or ''1''=''1' , 0, True)");
  EXPECT_EQ(image.AppFunctionLabel(), "SCAN");
  EXPECT_EQ(image.SettingKey(), "Resolution");
  EXPECT_EQ(image.SettingValue(), "") << "Null reads empty";
  ExpectRaises(err::kItemNotFound, [&] { image.PageCount(); });

  // After a GetData for a new row the rows count as ready even when there are none.
  ASSERT_TRUE(image.GetData());
  script->Answer("OpenRecordset", {.result = SettingRows({})});
  EXPECT_TRUE(image.GetDefaultRegSettings("SCAN", "BATCH"));
  ExpectRaises(err::kNoCurrentRow, [&] { image.SettingPath(); });

  script->Answer("OpenRecordset", {.errorText = "timeout"});
  EXPECT_FALSE(image.GetDefaultRegSettings("SCAN", "BATCH"));
  script->Answer("OpenRecordset", {.noResult = true});
  EXPECT_FALSE(image.GetDefaultRegSettings("SCAN", "BATCH"));
}

TEST_F(Images, BatchScanFolderIsTheLastExactMatch) {
  clsDocumentImage image;
  EXPECT_EQ(image.BatchScanPath(), "");
  script->Answer("OpenRecordset", {.result = SystemInfoRows({{"PATH_TIF", "/tif/"},
                                                             {"PATH_BATCH_SCAN", "/scan/one/"},
                                                             {"path_batch_scan", "/lower/"},
                                                             {"PATH_BATCH_SCAN ", "/blank/"},
                                                             {Variant::Null(), "/null/"},
                                                             {"PATH_BATCH_SCAN", "/scan/two/"}})});
  image.SetImageDirs();
  EXPECT_EQ(Calls(), std::vector<std::string>{"OpenRecordset(select * from lks_system_info, 0, True)"});
  EXPECT_EQ(image.BatchScanPath(), "/scan/two/");
  EXPECT_FALSE(image.DataReady()) << "the object's own rows are not touched";

  script->Answer("OpenRecordset", {.errorText = "timeout"});
  image.SetImageDirs();
  EXPECT_EQ(image.BatchScanPath(), "/scan/two/");

  // A Null folder on a matching row cannot become text: reported, earlier rows kept.
  script->Answer("OpenRecordset", {.result = SystemInfoRows({{"PATH_BATCH_SCAN", "/three/"},
                                                             {"PATH_BATCH_SCAN", Variant::Null()}})});
  const RuntimeError e = ExpectRaises(err::kInvalidUseOfNull, [&] { image.SetImageDirs(); });
  EXPECT_TRUE(e.Source().ends_with(" (clsDocumentImage.SetImageDirs)")) << e.Source();
  EXPECT_EQ(image.BatchScanPath(), "/three/");
}

TEST_F(Images, LateBoundCallsRunTheSameMembers) {
  auto image = CreateObject("Tarnwick.clsDocumentImage");
  // Every member of the interface answers; none is left to the "no such member" error.
  for (const MemberInfo& m : image->Class().members) {
    if (m.kind != InvokeKind::PropertyGet || m.name.starts_with("Setting") || m.name.starts_with("AppFunction"))
      continue;
    EXPECT_NO_THROW(image->Get(m.name)) << m.name;
  }
  script->Answer("OpenRecordset", {.result = ImageRows({})});
  EXPECT_EQ(image->Call("GetData"), Variant(true));
  EXPECT_EQ(Calls().back(), "OpenRecordset(exec sp_get_DOCUMENT_IMAGE -1 , 0, True)");
  image->Put("PageCount", "12");
  image->Put("Image", Pattern(64));
  EXPECT_EQ(image->Get("PageCount"), Variant("12"));
  EXPECT_EQ(image->Get("Image"), Variant(Pattern(64)));
  Clear();
  EXPECT_EQ(image->Call("SaveData", {std::int32_t{31}}), Variant(true));
  EXPECT_EQ(Calls()[1], "AddParameter(@document_id, 31)");
  EXPECT_EQ(image->Call("DeleteData", {"31"}), Variant(true));
  ExpectRaises(err::kTypeMismatch, [&] { image->Put("Image", "not bytes"); });
  script->Answer("OpenRecordset", {.result = ImageRows({{{"doc_image_sz", 1}, {"alt_doc_image_sz", 1}}})});
  EXPECT_EQ(image->Call("GetData", {"6"}), Variant(true));
  EXPECT_EQ(image->Get("HasImage"), Variant(true));
  EXPECT_EQ(image->Get("HasAltered"), Variant(true));
  EXPECT_EQ(image->Call("GetDefaultRegSettings", {"A'B", ""}), Variant(false));
  EXPECT_EQ(Calls().back(), "OpenRecordset(exec usp_adm_get_default_reg_setting 1, 'A''B', '' , 0, True)");
  image->Call("SetImageDirs");
  EXPECT_EQ(image->Get("BatchScanPath"), Variant(""));
}

}  // namespace
}  // namespace tarnwick::test
