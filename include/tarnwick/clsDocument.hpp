// clsDocument: the document object — a record cursor over filed documents
// (the document table or one of the document searches) with one typed
// property per document column.
//
// Typical use: ConnectionVariables; SetupFilter + GetDocumentList to search,
// or GetData(id) to load one document (GetData() for a new one); read and set
// the column properties of the current row; SaveData to send the row to the
// database (an insert for a new document, otherwise one column update per
// changed column inside one unit of work). Column writes change only the row
// held by the object until SaveData.
//
// While no row is current (no query yet, or an empty result) the column
// getters return "" or 0 and the setters do nothing. Once a row is current, a
// column the last query did not select raises the result set's error 3265.
//
// Failures: a gateway error text makes the method return false; a run-time
// failure inside GetData, GetDataDetail, GetDocumentList,
// GetCommitteeDocumentList, SaveData, DeleteData, RemoveReportLink or
// SetImageDirs is re-raised as RuntimeError with " (clsDocument.<method>)"
// added to its source. RunMEFChecks never raises.
//
// Thread safety: an object is called only on the thread that created it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "tarnwick/column_accessors.hpp"
#include "tarnwick/data_object.hpp"
#include "tarnwick/enums.hpp"
#include "tarnwick/recordset.hpp"
#include "tarnwick/variant.hpp"

namespace tarnwick {

class clsDocument : public DataObject {
 public:
  clsDocument();
  ~clsDocument() override;

  using DataObject::Table;      // always "ref_document"
  using DataObject::DataReady;  // a result set is open and has a current row
  std::int32_t UniqueID() const;  // unique_id; Null reads 0

  // Columns of ref_document, read/write. Text columns store "" as Null; date
  // columns read and write "mm/dd/yyyy" text; money columns read Null as 0.
  TARNWICK_COLUMN(std::string, DocTypeCode);
  TARNWICK_COLUMN(std::string, DocSubTypeCode);
  TARNWICK_COLUMN(std::string, DocYear);
  TARNWICK_COLUMN(std::string, IsAmendment);
  TARNWICK_COLUMN(std::string, NameListed);
  TARNWICK_COLUMN(std::string, Title);
  TARNWICK_COLUMN(std::string, DueDate);
  TARNWICK_COLUMN(std::string, ReferredCountyCode);
  TARNWICK_COLUMN(std::string, PenaltyAppealDecisionCode);
  TARNWICK_COLUMN(tarnwick::Currency, AmountDue);
  TARNWICK_COLUMN(tarnwick::Currency, AmountPaid);
  TARNWICK_COLUMN(std::string, DeliveryMethodCode);
  TARNWICK_COLUMN(std::string, DocReasonCode);
  TARNWICK_COLUMN(std::string, ReportVersionCode);
  TARNWICK_COLUMN(std::string, ReceiveSendDate);
  TARNWICK_COLUMN(std::string, EntryDate);
  TARNWICK_COLUMN(std::string, OtherDate);
  TARNWICK_COLUMN(std::string, ImportDate);
  TARNWICK_COLUMN(std::string, BeginDate);
  TARNWICK_COLUMN(std::string, EndDate);
  TARNWICK_COLUMN(std::string, SignedDate);
  TARNWICK_COLUMN(std::string, SignerOfficerType);
  TARNWICK_COLUMN(std::string, SignerOfficerID);
  TARNWICK_COLUMN(std::string, SignerName);
  TARNWICK_COLUMN(std::string, DeleteDate);
  TARNWICK_COLUMN(std::string, HasNoReportData);
  TARNWICK_COLUMN(std::string, NoReportDataReason);
  // Amounts, read as plain text (not formatted as money); Null reads "".
  TARNWICK_COLUMN(std::string, TotalReceipts);
  TARNWICK_COLUMN(std::string, TotalExpenditures);
  TARNWICK_COLUMN(std::string, NoTotals);

  using DataObject::RecordCount;

  // Descriptive columns, read-only; only the searches select them:
  // DocTypeCodeDesc and DocNameDesc by GetCommitteeDocumentList (and the
  // detail view of GetDataDetail), the committee's columns by GetDocumentList.
  std::string DocTypeCodeDesc() const;
  std::string DocNameDesc() const;
  std::string PreviousID() const;
  std::string CommStatus() const;
  std::string CommType() const;
  std::string InhouseName() const;

  using DataObject::BOF;
  using DataObject::EndOfFile;

  // Image folders and marker.
  // The document image folder stored by SetImageDirs ("" until then).
  const std::string& ImagePath() const { return imagePath_; }
  // "True" or "False".
  std::string HasAltered() const;
  // has_image of the current row as a Boolean; false while no row is current.
  // A Null or non-Boolean value raises 13 (no handler).
  bool HasImage() const;

  // The row count captured by the last list query; not changed by loads or moves.
  std::int32_t Count() const { return count_; }
  // The object's own result set (not a copy) while a row is current, else empty.
  std::shared_ptr<Recordset> mRecSet() const;

  using DataObject::ConnectionVariables;

  // Reads the image, PDF and altered-copy folders from lks_system_info.
  // A gateway error text leaves them as they were.
  void SetImageDirs();

  // Builds the WHERE text of a document search from the search form's
  // choices ("" when nothing applies). The three name texts take "*" and "?"
  // as wildcards and are quoted through the gateway; every other value is
  // placed in the text as given. Runs no query.
  std::string SetupFilter(const std::string& DocType, const std::string& DocName, const std::string& Year,
                          bool UseComm, const std::string& CommType, const std::string& Name,
                          const std::string& First, const std::string& Last, bool UseName,
                          const std::string& DateType, const std::string& BeginDate, const std::string& EndDate,
                          const std::string& User, const std::string& NameType, bool NotLinked);

  // Deletes the document through sp_delete_table. True without deleting
  // anything when no row is current; false on a gateway error text.
  bool DeleteData(std::int32_t UniqueID);
  // Removes the link between a report and a document; as DeleteData.
  bool RemoveReportLink(std::int32_t ReportID, std::int32_t DocumentID);

  // UniqueID >= 1 loads that document (false when it does not exist);
  // anything else prepares one new empty row for SaveData to insert.
  bool GetData(std::int32_t UniqueID = -1);
  // Loads one document from the document detail view.
  bool GetDataDetail(std::int32_t UniqueID);
  // Runs the document search with a WHERE text from SetupFilter (or "").
  // False when nothing is found; Count then keeps its previous value.
  bool GetDocumentList(const std::string& Filter);
  // Lists the live documents of a committee group (its number as text; text
  // that does not start with a number lists group 0).
  bool GetCommitteeDocumentList(const std::string& OrgGroupID);

  // Runs the office's filing checks (sp_misc_mef_checks) for a committee and
  // a document; the two 48-hour list kinds make the rows the object's result
  // set. The three answers are set from the procedure's output parameters
  // (ElectionID only when the procedure gives a number). Never raises.
  bool RunMEFChecks(MEFRunType RunType, const std::string& OrgID, const std::string& DocID,
                    const std::string& DocumentYear, const std::string& DocumentSubTypeCode,
                    const std::string& StartDate, const std::string& EndDate, const std::string& TotalReceipts,
                    const std::string& TotalExpenditures, bool& MatchFound, bool& MEFFlag,
                    std::int16_t& ElectionID);

  // Sends the current row: a new document through sp_insert_ref_document
  // (then reloads it, so UniqueID is the new identifier), an existing one
  // column by column through sp_update_table inside one unit of work that is
  // abandoned when any column fails. Columns are compared with the values as
  // read, and the values as read are not reset: a second SaveData without a
  // new GetData sends the same columns again.
  bool SaveData();

  using DataObject::ValidateData;
  using DataObject::MoveFirst;
  using DataObject::MovePrevious;
  using DataObject::MoveNext;
  using DataObject::MoveLast;

 protected:
  Variant Dispatch(const MemberInfo& member, std::span<Variant> args) override;

 private:
  bool Insert();
  bool UpdateChangedColumns();

  std::string imagePath_;
  std::string altImagePath_;
  std::string pdfPath_;
  std::string altPdfPath_;
  std::string pdfCreatePath_;
  bool altered_ = false;
  std::int32_t count_ = 0;
};

}  // namespace tarnwick
