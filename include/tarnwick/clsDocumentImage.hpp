// clsDocumentImage: the stored page images of a document and the image settings.
//
// A document keeps two images, each with its page count: the document image
// and an altered image. An image is an opaque byte array, stored and read
// whole. The object is a record cursor over the image row of one document.
//
// Typical use: ConnectionVariables; GetData(id) and read Image, ImageAlt and
// the page counts; or GetData() for a new row, set them and SaveData(id).
// Property writes change only the row the object holds until SaveData.
//
// While no row is current the getters return "" or an empty array and the
// setters do nothing. Once a row is current, a column the last query did not
// select raises the result set's 3265.
//
// Failures: a gateway error text makes GetData, SaveData, DeleteData and
// GetDefaultRegSettings return false; a run-time failure inside them or
// inside SetImageDirs is re-raised as RuntimeError with
// " (clsDocumentImage.<method>)" added to its source.
//
// Thread safety: an object is called only on the thread that created it.
#pragma once

#include <cstdint>
#include <string>

#include "tarnwick/column_accessors.hpp"
#include "tarnwick/data_object.hpp"
#include "tarnwick/variant.hpp"

namespace tarnwick {

class clsDocumentImage : public DataObject {
 public:
  clsDocumentImage();
  ~clsDocumentImage() override;

  using DataObject::DataReady;
  // document_id as text; writing "" stores Null.
  TARNWICK_COLUMN(std::string, DocumentID);
  // doc_image; a Null column reads as an empty array. Writing stores the
  // array whole (an empty array stays an empty array, never Null).
  // The second form takes the caller's array instead of copying it (the
  // caller's is left empty), for an image the caller no longer needs.
  TARNWICK_BYTES_COLUMN(Image);
  // alt_doc_image; as Image, except that a Null column raises 13 on reading.
  TARNWICK_BYTES_COLUMN(ImageAlt);
  // The dates in their default text form ("3/4/2005 2:30:00 PM"), not mm/dd/yyyy.
  std::string OrigDate() const;
  std::string UpdateDate() const;
  using DataObject::BOF;
  using DataObject::EndOfFile;

  // The batch-scan folder stored by SetImageDirs ("" until then).
  const std::string& BatchScanPath() const { return batchScanPath_; }
  // Whether the document of the last GetData(id >= 1) has an altered image /
  // a document image (its size is above 0). False until such a GetData;
  // a GetData for a new row leaves both as they were.
  bool HasAltered() const { return altered_; }
  bool HasImage() const { return hasImage_; }

  // The columns of the current default-settings row. They do not ask
  // DataReady: with no query run they raise 91, with no current row 3021,
  // and over an image row 3265.
  std::string AppFunctionLabel() const;
  std::string AppFunctionValue() const;
  std::string SettingPath() const;
  std::string SettingKey() const;
  std::string SettingType() const;
  std::string SettingValue() const;

  using DataObject::ConnectionVariables;

  // Reads the batch-scan folder (code PATH_BATCH_SCAN) from lks_system_info;
  // the later of two rows wins. A gateway error text leaves it as it was.
  void SetImageDirs();
  // Loads the default settings of an application function as the object's
  // rows (replacing any image row). True when rows are ready, and always
  // after a GetData for a new row; false when there are none.
  bool GetDefaultRegSettings(const std::string& FunctionLabel, const std::string& FunctionValue);
  // Removes the document's images through sp_save_DOCUMENT_IMAGE called with
  // the identifier alone. Needs no current row.
  bool DeleteData(std::int32_t DocID);
  // UniqueID >= 1 loads that document's image row (false when there is none
  // and HasImage/HasAltered updated from it); anything else prepares one new
  // empty row to fill and save.
  bool GetData(std::int32_t UniqueID = -1);
  // Saves the current row's page counts and images under DocID (not under
  // DocumentID) through sp_save_DOCUMENT_IMAGE. REQUIRES: a current row (no
  // query run raises 91). Leaves the row and any unit of work as they are.
  bool SaveData(const std::string& DocID);

  using DataObject::MoveFirst;
  using DataObject::MovePrevious;
  using DataObject::MoveNext;
  using DataObject::MoveLast;

  // doc_page_ct and alt_doc_page_ct as text; writing "" stores Null.
  TARNWICK_COLUMN(std::string, PageCount);
  TARNWICK_COLUMN(std::string, PageCountAlt);

 protected:
  Variant Dispatch(const MemberInfo& member, std::span<Variant> args) override;

 private:
  std::string batchScanPath_;
  bool altered_ = false;
  bool hasImage_ = false;
};

}  // namespace tarnwick
