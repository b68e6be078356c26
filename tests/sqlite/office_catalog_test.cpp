// The engine against a database made the way `tarnwick init` makes one: every
// procedure of the office's catalog is accepted, and the image and document
// procedures answer as the library's classes expect.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "gateway/sqlite/engine.hpp"
#include "gateway/sqlite/office.hpp"
#include "sqlite/office_db.hpp"
#include "tarnwick/recordset.hpp"

namespace tarnwick {
namespace {

class OfficeCatalogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.File("office.db");
    sqlite::OfficeOptions options;
    options.sampleDocuments = 20;
    options.sqlDirectory = TARNWICK_TEST_DB_SQL_DIR;
    const auto made = sqlite::CreateOfficeDatabase(path_, options);
    ASSERT_TRUE(made.ok()) << made.message;
    ASSERT_TRUE(engine_.Open(path_)) << engine_.LastError();
  }

  std::string Call(const std::string& name, const std::vector<std::pair<std::string, Variant>>& args,
                   std::shared_ptr<Recordset>* rows = nullptr) {
    if (auto e = engine_.PrepareProcedure(name); !e.empty()) return e;
    for (const auto& [parameter, value] : args)
      if (auto e = engine_.AddParameter(parameter, value); !e.empty()) return e;
    std::shared_ptr<Recordset> local;
    std::int32_t affected = 0;
    return engine_.ExecuteProcedure(affected, rows != nullptr, rows ? *rows : local, 0);
  }

  testing::TempDir dir_;
  std::string path_;
  sqlite::Engine engine_;
};

TEST_F(OfficeCatalogTest, EveryCatalogProcedurePrepares) {
  std::shared_ptr<Recordset> names;
  ASSERT_EQ(engine_.OpenRecordset("select name from tw_procedure order by name", names, 0, true), "");
  ASSERT_GT(names->RecordCount(), 0);
  for (names->MoveFirst(); !names->EndOfFile(); names->MoveNext()) {
    const std::string name = names->Collect("name").CStr();
    EXPECT_EQ(engine_.PrepareProcedure(name), "") << name;
  }
}

TEST_F(OfficeCatalogTest, ImageRowsSaveReadAndClear) {
  std::shared_ptr<Recordset> doc;
  ASSERT_EQ(engine_.OpenRecordset("select top 1 unique_id from ref_document order by unique_id", doc, 0, true), "");
  const std::int32_t id = doc->Collect("unique_id").CLng();

  // A new image row: no rows, but the image columns are there and take a new row.
  std::shared_ptr<Recordset> rs;
  ASSERT_EQ(engine_.OpenRecordset("exec sp_get_DOCUMENT_IMAGE -1 ", rs, 0, true), "");
  ASSERT_EQ(rs->State(), ObjectState::Open);
  EXPECT_TRUE(rs->BOF() && rs->EndOfFile());
  rs->AddNew();
  rs->Collect("doc_image", Variant(Bytes{9, 8, 7}));
  EXPECT_EQ(rs->Fields().Item("doc_image").Type(), DataType::LongVarBinary);

  // The page count arrives as text, as the image class sends it.
  ASSERT_EQ(Call("sp_save_DOCUMENT_IMAGE", {{"@document_id", Variant(std::to_string(id))},
                                            {"@doc_page_ct", Variant("3")},
                                            {"@alt_doc_page_ct", Variant::Null()},
                                            {"@doc_image", Variant(Bytes{9, 8, 7})},
                                            {"@alt_doc_image", Variant::Null()}}),
            "");
  ASSERT_EQ(engine_.OpenRecordset("exec sp_get_DOCUMENT_IMAGE " + std::to_string(id) + " ", rs, 0, true), "");
  ASSERT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(rs->Collect("doc_image"), Variant(Bytes{9, 8, 7}));
  EXPECT_EQ(rs->Collect("doc_page_ct").CLng(), 3);
  EXPECT_GT(rs->Collect("doc_image_sz").CLng(), 0);
  EXPECT_EQ(rs->Collect("orig_date").Type(), VarType::Date);

  // Called with the identifier alone, the save procedure clears the images.
  ASSERT_EQ(Call("sp_save_DOCUMENT_IMAGE", {{"@document_id", Variant(id)}}), "");
  ASSERT_EQ(engine_.OpenRecordset("exec sp_get_DOCUMENT_IMAGE " + std::to_string(id) + " ", rs, 0, true), "");
  EXPECT_TRUE(rs->Collect("doc_image").IsNull());
}

TEST_F(OfficeCatalogTest, DocumentSavedThenEditedColumnByColumn) {
  ASSERT_EQ(engine_.PrepareProcedure("sp_insert_ref_document"), "");
  engine_.AddParameter("@Title", Variant("Quarterly report"));
  engine_.AddParameter("@due_date", Variant("03/04/2005"));
  engine_.AddParameter("@Is_amendment", Variant(true));
  engine_.AddParameter("@amount_due", Variant(Currency{1234500}));
  std::shared_ptr<Recordset> none;
  std::int32_t affected = 0;
  ASSERT_EQ(engine_.ExecuteProcedure(affected, false, none, 0), "");
  Variant id;
  ASSERT_EQ(engine_.GetParameter("@Unique_id", id), "");
  ASSERT_EQ(id.Type(), VarType::Long);
  engine_.FinishProcedure();

  engine_.BeginTransaction();
  ASSERT_EQ(Call("sp_update_table", {{"@table", Variant("ref_document")},
                                     {"@column", Variant("due_date")},
                                     {"@unique_id", id},
                                     {"@value", Variant("4/5/2006")}}),
            "");
  ASSERT_EQ(Call("sp_update_table", {{"@table", Variant("ref_document")},
                                     {"@column", Variant("Is_amendment")},
                                     {"@unique_id", id},
                                     {"@value", Variant("0")}}),
            "");
  engine_.EndTransaction(true);

  std::shared_ptr<Recordset> rs;
  ASSERT_EQ(engine_.OpenRecordset("select * from ref_document where unique_id = " + id.CStr(), rs, 0, true), "");
  EXPECT_EQ(rs->Collect("Title"), Variant("Quarterly report"));
  EXPECT_EQ(rs->Collect("Amount_Due"), Variant(Currency{1234500}));
  EXPECT_EQ(rs->Collect("Is_amendment"), Variant(false));
  EXPECT_EQ(rs->Fields().Item("Is_amendment").Type(), DataType::Boolean);
  EXPECT_EQ(rs->Collect("due_date").CStr(), "4/5/2006");
}

}  // namespace
}  // namespace tarnwick
