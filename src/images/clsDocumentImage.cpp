// The document image object: the image row of a document (two images with
// their page counts), its save and removal, and the image settings kept in
// the database (the batch-scan folder and the default workstation settings).
#include "tarnwick/clsDocumentImage.hpp"

#include <array>
#include <string_view>
#include <vector>

#include "cursor/columns.hpp"
#include "cursor/procedure.hpp"
#include "cursor/system_info.hpp"
#include "frame/binding.hpp"
#include "frame/report_error.hpp"
#include "runtime/raise.hpp"
#include "tarnwick/error.hpp"

namespace tarnwick {
namespace {

using cursor::Guard;
using cursor::NullRule;

constexpr std::string_view kSaveProcedure = "sp_save_DOCUMENT_IMAGE";

// Every column property, in the interface's order. The six settings columns
// belong to the rows of GetDefaultRegSettings and read without asking
// DataReady.
#define TW_IMAGE_COLUMNS(COLUMN)                                                          \
  COLUMN(DocumentID, "document_id", Text, ReadWrite)                                      \
  COLUMN(Image, "doc_image", Bytes, ReadWriteBytes)                                       \
  COLUMN(ImageAlt, "alt_doc_image", Bytes, ReadWriteBytes, NullRule::Fails)               \
  COLUMN(OrigDate, "orig_date", Text, Read)                                               \
  COLUMN(UpdateDate, "update_date", Text, Read)                                           \
  COLUMN(AppFunctionLabel, "app_function_lbl", Text, Read, NullRule::Zero, Guard::None)   \
  COLUMN(AppFunctionValue, "app_function_value", Text, Read, NullRule::Zero, Guard::None) \
  COLUMN(SettingPath, "setting_path", Text, Read, NullRule::Zero, Guard::None)            \
  COLUMN(SettingKey, "setting_key", Text, Read, NullRule::Zero, Guard::None)              \
  COLUMN(SettingType, "setting_type", Text, Read, NullRule::Zero, Guard::None)            \
  COLUMN(SettingValue, "setting_value", Text, Read, NullRule::Zero, Guard::None)          \
  COLUMN(PageCount, "doc_page_ct", Text, ReadWrite)                                       \
  COLUMN(PageCountAlt, "alt_doc_page_ct", Text, ReadWrite)
TW_COLUMN_TABLE(clsDocumentImage, TW_IMAGE_COLUMNS);

const frame::Bindings& Members() {
  static const frame::Bindings bindings = [] {
    frame::Bindings b("clsDocumentImage");
    cursor::BindCursorMembers(b);
    cursor::BindColumns(b, kColumns);
    b.Get("BatchScanPath", frame::Bind(&clsDocumentImage::BatchScanPath));
    b.Get("HasAltered", frame::Bind(&clsDocumentImage::HasAltered));
    b.Get("HasImage", frame::Bind(&clsDocumentImage::HasImage));
    b.Method("SetImageDirs", frame::Bind(&clsDocumentImage::SetImageDirs));
    b.Method("GetDefaultRegSettings", frame::Bind(&clsDocumentImage::GetDefaultRegSettings));
    b.Method("DeleteData", frame::Bind(&clsDocumentImage::DeleteData));
    b.Method("GetData", frame::Bind(&clsDocumentImage::GetData));
    b.Method("SaveData", frame::Bind(&clsDocumentImage::SaveData));
    return b;
  }();
  return bindings;
}

// An image size of the current row: above 0 means there is an image; Null does not.
bool SizeAboveZero(const std::shared_ptr<Recordset>& rs, std::string_view column) {
  const Variant& size = cursor::RequireResultSet(rs).Fields().Item(column).Value();
  return !size.IsNull() && size.CDbl() > 0;
}

// A result set ready for reading: it exists and is not empty.
bool HasRows(const Recordset& rs) { return !(rs.EndOfFile() && rs.BOF()); }

}  // namespace

clsDocumentImage::clsDocumentImage() : DataObject("clsDocumentImage", "") {}
clsDocumentImage::~clsDocumentImage() = default;

Variant clsDocumentImage::Dispatch(const MemberInfo& member, std::span<Variant> args) {
  return Members().Run(*this, member, args);
}

// ---------------------------------------------------------------------------
// Column properties.

TW_COLUMN_ACCESSORS(TW_IMAGE_COLUMNS)

// ---------------------------------------------------------------------------
// Settings.

void clsDocumentImage::SetImageDirs() {
  frame::Guarded({"clsDocumentImage.SetImageDirs"}, [&] {
    const std::array<cursor::SystemSetting, 1> folders{{{"PATH_BATCH_SCAN", &batchScanPath_}}};
    cursor::ReadSystemSettings(Gateway(), folders);
  });
}

bool clsDocumentImage::GetDefaultRegSettings(const std::string& FunctionLabel, const std::string& FunctionValue) {
  return frame::Guarded({"clsDocumentImage.GetDefaultRegSettings"}, [&] {
    DataGateway& gateway = Gateway();
    // The label and value are the caller's texts: an apostrophe in them must
    // not end the literal.
    const std::string sql = "exec usp_adm_get_default_reg_setting 1, '" + gateway.SqlSafeText(FunctionLabel) +
                            "', '" + gateway.SqlSafeText(FunctionValue) + "' ";
    std::shared_ptr<Recordset>& rs = ResultSet();
    if (!gateway.OpenRecordset(sql, rs, 0, true).empty()) throw frame::EnterHandler{};
    if (!rs) return false;
    // After a GetData for a new row the caller is filling a form: the rows
    // are ready even when there are none.
    if (NewRecord()) return true;
    return HasRows(*rs);
  });
}

// ---------------------------------------------------------------------------
// Loading, saving and removing images.

bool clsDocumentImage::GetData(std::int32_t UniqueID) {
  return frame::Guarded({"clsDocumentImage.GetData"}, [&] {
    NewRecord() = UniqueID < 1;
    const std::string sql = "exec sp_get_DOCUMENT_IMAGE " + std::to_string(UniqueID) + " ";
    std::shared_ptr<Recordset>& rs = ResultSet();
    if (!Gateway().OpenRecordset(sql, rs, 0, true).empty()) throw frame::EnterHandler{};
    if (UniqueID >= 1) {
      // Read before any test for rows: a document with no row fails here.
      altered_ = SizeAboveZero(rs, "alt_doc_image_sz");
      hasImage_ = SizeAboveZero(rs, "doc_image_sz");
    }
    if (!rs) return false;
    if (NewRecord()) {
      rs->AddNew();
      return true;
    }
    return HasRows(*rs);
  });
}

bool clsDocumentImage::SaveData(const std::string& DocID) {
  return frame::Guarded({"clsDocumentImage.SaveData"}, [&] {
    // The row's values are read as each parameter is added.
    auto current = [this](std::string_view column) {
      return [this, column] { return cursor::RequireResultSet(ResultSet()).Fields().Item(column).Value(); };
    };
    const std::vector<cursor::Parameter> inputs{
        {"@document_id", Variant(DocID)},
        {"@doc_page_ct", current(cursor::Column(kColumns, "PageCount").column)},
        {"@alt_doc_page_ct", current(cursor::Column(kColumns, "PageCountAlt").column)},
        {"@doc_image", current(cursor::Column(kColumns, "Image").column)},
        {"@alt_doc_image", current(cursor::Column(kColumns, "ImageAlt").column)},
    };
    if (!cursor::RunProcedure(Gateway(), std::string(kSaveProcedure), inputs).empty()) throw frame::EnterHandler{};
    return true;
  });
}

bool clsDocumentImage::DeleteData(std::int32_t DocID) {
  return cursor::DeleteThrough(Gateway(), true, "clsDocumentImage.DeleteData", std::string(kSaveProcedure),
                               {{"@document_id", Variant(DocID)}});
}

}  // namespace tarnwick
