// The document object: column properties over ref_document and the document
// searches, the search filter, loading, saving, deleting, the filing checks
// and the image folders.
#include "tarnwick/clsDocument.hpp"
#include "runtime/raise.hpp"

#include <array>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "cursor/columns.hpp"
#include "cursor/procedure.hpp"
#include "cursor/system_info.hpp"
#include "documents/document_members.hpp"
#include "documents/document_queries.hpp"
#include "frame/binding.hpp"
#include "frame/report_error.hpp"
#include "runtime/decimal_text.hpp"
#include "runtime/text.hpp"
#include "tarnwick/error.hpp"

namespace tarnwick {
namespace {

using cursor::ColumnProperty;
using cursor::Family;

// Every column property of the document object, in the interface's order:
// the identifier, the thirty columns of ref_document a client may set, then
// the descriptive columns only the searches select. Date columns are text
// properties too; their family formats them.
#define TW_DOCUMENT_COLUMNS(COLUMN)                                                   \
  COLUMN(UniqueID, "unique_id", Long, Read)                                          \
  COLUMN(DocTypeCode, "doc_type_code", Text, ReadWrite)                              \
  COLUMN(DocSubTypeCode, "doc_sub_type_code", Text, ReadWrite)                       \
  COLUMN(DocYear, "doc_year", Text, ReadWrite)                                       \
  COLUMN(IsAmendment, "Is_amendment", Text, ReadWrite)                               \
  COLUMN(NameListed, "name_listed", Text, ReadWrite)                                 \
  COLUMN(Title, "Title", Text, ReadWrite)                                            \
  COLUMN(DueDate, "due_date", DateText, ReadWrite)                                   \
  COLUMN(ReferredCountyCode, "referred_county_code", Text, ReadWrite)                \
  COLUMN(PenaltyAppealDecisionCode, "penalty_appeal_decision_code", Text, ReadWrite) \
  COLUMN(AmountDue, "Amount_Due", Currency, ReadWrite)                               \
  COLUMN(AmountPaid, "amount_paid", Currency, ReadWrite)                             \
  COLUMN(DeliveryMethodCode, "delivery_method_code", Text, ReadWrite)                \
  COLUMN(DocReasonCode, "doc_reason_code", Text, ReadWrite)                          \
  COLUMN(ReportVersionCode, "report_version_code", Text, ReadWrite)                  \
  COLUMN(ReceiveSendDate, "receive_send_date", DateText, ReadWrite)                  \
  COLUMN(EntryDate, "entry_date", DateText, ReadWrite)                               \
  COLUMN(OtherDate, "other_date", DateText, ReadWrite)                               \
  COLUMN(ImportDate, "import_date", DateText, ReadWrite)                             \
  COLUMN(BeginDate, "begin_date", DateText, ReadWrite)                               \
  COLUMN(EndDate, "end_date", DateText, ReadWrite)                                   \
  COLUMN(SignedDate, "signed_date", DateText, ReadWrite)                             \
  COLUMN(SignerOfficerType, "signer_officer_type_code", Text, ReadWrite)             \
  COLUMN(SignerOfficerID, "signer_officer_id", Text, ReadWrite)                      \
  COLUMN(SignerName, "signer_name", Text, ReadWrite)                                 \
  COLUMN(DeleteDate, "delete_date", DateText, ReadWrite)                             \
  COLUMN(HasNoReportData, "has_no_report_data", Text, ReadWrite)                     \
  COLUMN(NoReportDataReason, "no_report_data_reason", Text, ReadWrite)               \
  COLUMN(TotalReceipts, "total_receipts", Text, ReadWrite)                           \
  COLUMN(TotalExpenditures, "total_expenditures", Text, ReadWrite)                   \
  COLUMN(NoTotals, "has_no_totals", Text, ReadWrite)                                 \
  COLUMN(DocTypeCodeDesc, "doc_type_code_desc", Text, Read)                          \
  COLUMN(DocNameDesc, "doc_name_desc", Text, Read)                                   \
  COLUMN(PreviousID, "previous_id", Text, Read)                                      \
  COLUMN(CommStatus, "status_desc", Text, Read)                                      \
  COLUMN(CommType, "comm_type_desc", Text, Read)                                     \
  COLUMN(InhouseName, "Inhouse_name", Text, Read)
TW_COLUMN_TABLE(clsDocument, TW_DOCUMENT_COLUMNS);

// The inputs of sp_insert_ref_document, one per settable column, in the
// order of kColumns[1..30].
constexpr std::size_t kFirstSettable = 1;
constexpr std::array<std::string_view, 30> kInsertParameters{
    "@Doc_type_code",      "@Doc_sub_type_code",       "@Doc_year",
    "@Is_amendment",       "@Name_listed",             "@Title",
    "@due_date",           "@referred_county_code",    "@penalty_appeal_decision_code",
    "@amount_due",         "@amount_paid",             "@Delivery_method_code",
    "@Doc_reason_code",    "@Report_version_code",     "@Receive_send_date",
    "@Entry_date",         "@Other_date",              "@Import_date",
    "@Begin_date",         "@End_date",                "@Signed_date",
    "@Signer_officer_type_code", "@Signer_officer_id", "@Signer_name",
    "@Delete_date",        "@has_no_report_data",      "@no_report_data_reason",
    "@total_receipts",     "@total_expenditures",      "@has_no_totals"};

// Each insert input names its column: "@" and the column name in any letter case.
constexpr bool InsertParametersMatchColumns() {
  for (std::size_t i = 0; i < kInsertParameters.size(); ++i) {
    const std::string_view parameter = kInsertParameters[i];
    const std::string_view column = kColumns[kFirstSettable + i].column;
    if (parameter.size() != column.size() + 1 || parameter[0] != '@') return false;
    for (std::size_t k = 0; k < column.size(); ++k) {
      if (runtime::FoldLower(parameter[k + 1]) != runtime::FoldLower(column[k])) return false;
    }
  }
  return true;
}
static_assert(InsertParametersMatchColumns(), "sp_insert_ref_document inputs out of step with the columns");

// has_image is read for HasImage only, which has its own conversion.
constexpr ColumnProperty kHasImage{"HasImage", "has_image", Family::Text};

// A name searched with a wildcard in the middle (ab%cd) also finds names that
// go on after the last part.
std::string ExtendInnerWildcard(std::string text) {
  const std::size_t first = text.find('%');
  if (first != std::string::npos && first != 0 && first != text.size() - 1) text += '%';
  return text;
}

bool IsNumericKind(VarType t) {
  switch (t) {
    case VarType::Empty:
    case VarType::Boolean:
    case VarType::Integer:
    case VarType::Long:
    case VarType::Double:
    case VarType::Currency:
    case VarType::Date: return true;
    default: return false;
  }
}

// Whether a column's current value differs from the value read. Null against
// Null is unchanged and Null against a value changed; numbers (dates and
// Booleans included) compare by value, texts exactly; values of unlike kinds
// count as changed.
bool Differs(const Variant& value, const Variant& original) {
  if (value.IsNull() || original.IsNull()) return value.IsNull() != original.IsNull();
  const VarType a = value.Type();
  const VarType b = original.Type();
  if (a == VarType::String && b == VarType::String) return value.CStr() != original.CStr();
  if ((a == VarType::String && b == VarType::Empty) || (a == VarType::Empty && b == VarType::String)) {
    return !value.CStr().empty() || !original.CStr().empty();
  }
  if (IsNumericKind(a) && IsNumericKind(b)) {
    if (a == VarType::Currency && b == VarType::Currency) return value.CCur() != original.CCur();
    return value.CDbl() != original.CDbl();
  }
  if (a == VarType::Bytes && b == VarType::Bytes) return value.AsBytes() != original.AsBytes();
  if (a == VarType::Object && b == VarType::Object) return !(value == original);
  return true;
}

// The "@value" of a changed column: Null, a Boolean as 1 or 0, anything else as its text.
Variant UpdateValue(const Field& field) {
  const Variant& value = field.Value();
  if (value.IsNull()) return Variant::Null();
  if (field.Type() == DataType::Boolean) return Variant(std::to_string(std::abs(static_cast<int>(value.CInt()))));
  return Variant(value.CStr());
}

}  // namespace

namespace documents {

const frame::Bindings& DocumentMembers() {
  static const frame::Bindings bindings = [] {
    frame::Bindings b("clsDocument");
    cursor::BindCursorMembers(b);
    cursor::BindColumns(b, kColumns);
    b.Get("ImagePath", frame::Bind(&clsDocument::ImagePath));
    b.Get("HasAltered", frame::Bind(&clsDocument::HasAltered));
    b.Get("HasImage", frame::Bind(&clsDocument::HasImage));
    b.Get("Count", frame::Bind(&clsDocument::Count));
    b.Get("mRecSet", frame::Bind(&clsDocument::mRecSet));
    b.Method("SetImageDirs", frame::Bind(&clsDocument::SetImageDirs));
    b.Method("SetupFilter", frame::Bind(&clsDocument::SetupFilter));
    b.Method("DeleteData", frame::Bind(&clsDocument::DeleteData));
    b.Method("RemoveReportLink", frame::Bind(&clsDocument::RemoveReportLink));
    b.Method("GetData", frame::Bind(&clsDocument::GetData));
    b.Method("GetDataDetail", frame::Bind(&clsDocument::GetDataDetail));
    b.Method("GetDocumentList", frame::Bind(&clsDocument::GetDocumentList));
    b.Method("GetCommitteeDocumentList", frame::Bind(&clsDocument::GetCommitteeDocumentList));
    b.Method("RunMEFChecks", frame::Bind(&clsDocument::RunMEFChecks));
    b.Method("SaveData", frame::Bind(&clsDocument::SaveData));
    return b;
  }();
  return bindings;
}

}  // namespace documents

clsDocument::clsDocument() : DataObject("clsDocument", "ref_document") {}
clsDocument::~clsDocument() = default;

Variant clsDocument::Dispatch(const MemberInfo& member, std::span<Variant> args) {
  return documents::DocumentMembers().Run(*this, member, args);
}

// ---------------------------------------------------------------------------
// Column properties: each accessor reads or writes its entry of kColumns.

TW_COLUMN_ACCESSORS(TW_DOCUMENT_COLUMNS)

// ---------------------------------------------------------------------------
// Image folders.

std::string clsDocument::HasAltered() const { return Variant(altered_).CStr(); }

bool clsDocument::HasImage() const {
  if (!DataReady()) return false;
  return Variant(cursor::ReadText(*this, kHasImage)).CBool();
}

std::shared_ptr<Recordset> clsDocument::mRecSet() const { return DataReady() ? ResultSet() : nullptr; }

void clsDocument::SetImageDirs() {
  frame::Guarded({"clsDocument.SetImageDirs"}, [&] {
    const std::array<cursor::SystemSetting, 5> folders{{{"PATH_TIF", &imagePath_},
                                                        {"PATH_TIF_ALT", &altImagePath_},
                                                        {"PATH_PDF", &pdfPath_},
                                                        {"PATH_PDF_ALT", &altPdfPath_},
                                                        {"PATH_PDF_CREATE", &pdfCreatePath_}}};
    cursor::ReadSystemSettings(Gateway(), folders);
  });
}

// ---------------------------------------------------------------------------
// Searches and loads.

std::string clsDocument::SetupFilter(const std::string& DocType, const std::string& DocName, const std::string& Year,
                                     bool UseComm, const std::string& CommType, const std::string& Name,
                                     const std::string& First, const std::string& Last, bool UseName,
                                     const std::string& DateType, const std::string& BeginDate,
                                     const std::string& EndDate, const std::string& User,
                                     const std::string& NameType, bool NotLinked) {
  DataGateway& gateway = Gateway();
  // The name values are mapped here, before ExtendInnerWildcard, which looks
  // for the LIKE form ("%") of a wildcard inside the name. GetDocumentList
  // maps the whole text once more; on these values that changes nothing.
  const auto searchText = [&gateway](const std::string& text) {
    return ExtendInnerWildcard(gateway.SqlSafeText(runtime::MapWildcards(text)));
  };
  const std::string name = searchText(Name);
  const std::string first = searchText(First);
  const std::string last = searchText(Last);

  // Fifteen numbered slots; their numbers fix the order of the conditions.
  struct Slot {
    std::string condition;
    std::string value;
  };
  std::array<Slot, 16> slots{};  // slot 0 unused
  const auto quoted = [](const std::string& value) { return value + "'"; };

  slots[1] = {" RD.Doc_year = ", Year};
  if (CommType == "No Committee") {
    slots[3] = {" XCD.org_id is ", "null "};
  } else {
    slots[3] = {" oc.comm_type_code = '", quoted(CommType)};
  }
  if (!UseComm) {
    slots[6] = {" RD.unique_id not in ", "(SELECT document_id from xrf_org_document)"};
  } else if (UseName) {
    if (!first.empty()) slots[6] = {" cnd.first_name like '", quoted(first)};
    if (!last.empty()) slots[7] = {" cnd.last_name like '", quoted(last)};
  } else if (!name.empty()) {
    if (NameType.find('O') != std::string::npos) slots[5] = {" OC.org_name like '", quoted(name)};
    if (NameType.find('I') != std::string::npos) slots[13] = {" OC.inhouse_name like '", quoted(name)};
    if (NameType.find('A') != std::string::npos) slots[14] = {" OC.old_acronym like '", quoted(name)};
  }
  slots[8] = {" RD.Doc_type_code = '", quoted(DocType)};
  slots[9] = {" RD.Doc_sub_type_code = '", quoted(DocName)};
  std::string_view dateColumn;
  if (DateType == "ENTERED DATE") dateColumn = "entry_date";
  else if (DateType == "RECEIVED DATE") dateColumn = "receive_send_date";
  else if (DateType == "LAST UPDATE DATE") dateColumn = "update_date";
  if (!dateColumn.empty()) {
    const std::string cast = " cast(RD." + std::string(dateColumn) + " as date) ";
    if (!BeginDate.empty()) slots[10] = {cast + ">= '", quoted(BeginDate)};
    if (!EndDate.empty()) slots[11] = {cast + "<= '", quoted(EndDate)};
  }
  slots[12] = {" RD.user_id = '", quoted(User)};
  if (NotLinked) slots[15] = {" xrd.report_id is null ", " and isnull(RD.has_no_report_data, 0) = 0 "};

  std::string where = "where";
  for (std::size_t i = 1; i < slots.size(); ++i) {
    const std::string& value = slots[i].value;
    // An empty choice leaves only its closing apostrophe (or an empty quoted text).
    if (value.empty() || value == "'" || value == "''") continue;
    where += slots[i].condition + value + " and";
  }
  if (where == "where") return "";
  where.resize(where.size() - 3);  // keeps the blank before the last " and"
  return where;
}

bool clsDocument::GetData(std::int32_t UniqueID) {
  return frame::Guarded({"clsDocument.GetData"}, [&] {
    return cursor::KeyedLoad(*this, UniqueID, "where unique_id = ", "where unique_id is null ");
  });
}

bool clsDocument::GetDataDetail(std::int32_t UniqueID) {
  return frame::Guarded({"clsDocument.GetDataDetail"}, [&] {
    const std::string sql = "SELECT rd.* FROM vw_zub_ref_document_detail rd where rd.unique_id = " +
                            std::to_string(UniqueID);
    if (!Gateway().OpenRecordset(sql, ResultSet(), 0, true).empty()) throw frame::EnterHandler{};
    const std::shared_ptr<Recordset>& rs = ResultSet();
    return rs != nullptr && !(rs->EndOfFile() && rs->BOF());
  });
}

bool clsDocument::GetDocumentList(const std::string& Filter) {
  return frame::Guarded({"clsDocument.GetDocumentList"}, [&] {
    std::string sql(documents::kDocumentListSelect);
    // The filter need not come from SetupFilter: a search form may write its
    // own, with the forms' wildcards anywhere in it, so the whole text is mapped.
    sql += runtime::MapWildcards(Filter);
    sql += documents::kDocumentListOrder;
    if (!Gateway().OpenRecordset(sql, ResultSet(), 0, true).empty()) throw frame::EnterHandler{};
    const std::shared_ptr<Recordset>& rs = ResultSet();
    if (rs == nullptr || (rs->EndOfFile() && rs->BOF())) return false;
    count_ = rs->RecordCount();
    return true;
  });
}

bool clsDocument::GetCommitteeDocumentList(const std::string& OrgGroupID) {
  count_ = 0;
  return frame::Guarded({"clsDocument.GetCommitteeDocumentList"}, [&] {
    // The group number is the leading number of the text; anything else is group 0.
    const std::string group = Variant(runtime::Val(OrgGroupID)).CStr();
    const std::string sql =
        "SELECT RD.doc_type_desc as 'Doc_type_code_desc', RD.doc_year, "
        "RD.doc_sub_type_desc as 'doc_name_desc', "
        "RD.Title , RD.receive_send_date, RD.entry_date, RD.unique_id "
        "FROM XRF_Org_Document XCD "
        "left outer join vw_zub_ref_document_detail RD ON XCD.document_id = RD.unique_id "
        "left outer join ref_org ro on xcd.org_id = ro.unique_id "
        "WHERE ro.group_id = " +
        group + " " +
        "and RD.Delete_date is null "
        "ORDER BY 5, 1, 2, 3 ";
    if (!Gateway().OpenRecordset(sql, ResultSet(), 0, true).empty()) throw frame::EnterHandler{};
    const std::shared_ptr<Recordset>& rs = ResultSet();
    if (rs == nullptr || (rs->EndOfFile() && rs->BOF())) return false;
    count_ = rs->RecordCount();
    return true;
  });
}

// ---------------------------------------------------------------------------
// Filing checks.

bool clsDocument::RunMEFChecks(MEFRunType RunType, const std::string& OrgID, const std::string& DocID,
                               const std::string& DocumentYear, const std::string& DocumentSubTypeCode,
                               const std::string& StartDate, const std::string& EndDate,
                               const std::string& TotalReceipts, const std::string& TotalExpenditures,
                               bool& MatchFound, bool& MEFFlag, std::int16_t& ElectionID) {
  DataGateway& gateway = Gateway();
  // Only the 48-hour lists come back as rows.
  const bool returnsRows = RunType == FortyEightHourList || RunType == FortyEightHourListAmend;
  bool result = false;
  try {
    count_ = 0;
    if (gateway.PrepareProcedure("sp_misc_mef_checks").empty()) {
      gateway.AddParameter("@get_type_flag", Variant(static_cast<std::int32_t>(RunType)));
      gateway.AddParameter("@org_id", Variant(OrgID));
      gateway.AddParameter("@document_id", Variant(DocID));
      gateway.AddParameter("@doc_year", Variant(DocumentYear));
      gateway.AddParameter("@doc_sub_type_code", Variant(DocumentSubTypeCode));
      gateway.AddParameter("@begin_date", Variant(StartDate));
      gateway.AddParameter("@end_date", Variant(EndDate));
      gateway.AddParameter("@total_receipts", Variant(TotalReceipts));
      gateway.AddParameter("@total_expenditures", Variant(TotalExpenditures));
      std::int32_t rowsAffected = 0;
      const std::string errorText = gateway.ExecuteProcedure(rowsAffected, returnsRows, ResultSet(), 0);

      // The answers are read whether or not the procedure reported an error.
      Variant answer = Variant::Null();
      gateway.GetParameter("@match_found", answer);
      MatchFound = answer.IsNull() ? false : answer.CBool();
      answer = Variant::Null();
      gateway.GetParameter("@flag_mef", answer);
      MEFFlag = answer.IsNull() ? false : answer.CBool();
      answer = Variant::Null();
      gateway.GetParameter("@election_id", answer);
      if (!answer.IsNull() && runtime::IsNumeric(answer)) ElectionID = Variant(answer.CLng()).CInt();

      if (errorText.empty()) {
        result = true;
        const std::shared_ptr<Recordset>& rs = ResultSet();
        if (rs != nullptr && !(rs->BOF() && rs->EndOfFile())) {
          count_ = rs->RecordCount();
          if (gateway.InTransaction()) gateway.EndTransaction(true);
        }
      }
    }
  } catch (const std::exception&) {
    // A run-time failure (an answer that cannot be converted, a failing
    // result set or gateway) ends like an error text: the result is False.
    result = false;
  }
  try {
    if (!result && gateway.InTransaction()) gateway.EndTransaction(false);
    if (gateway.InTransaction()) gateway.EndTransaction(true);
  } catch (const std::exception&) {
    result = false;
  }
  return result;
}

// ---------------------------------------------------------------------------
// Saving and deleting.

bool clsDocument::SaveData() {
  DataGateway& gateway = Gateway();
  const bool result =
      frame::Guarded({"clsDocument.SaveData", [&gateway] { cursor::EndOpenWork(gateway); }}, [&] { return NewRecord() ? Insert() : UpdateChangedColumns(); });
  cursor::EndOpenWork(gateway);
  return result;
}

// A new document: every settable column of the new row goes to the insert
// procedure (Null where nothing was set), and the row the database made is
// loaded back so that the object stands on it with its identifier.
bool clsDocument::Insert() {
  DataGateway& gateway = Gateway();
  std::vector<cursor::Parameter> inputs;
  inputs.reserve(kInsertParameters.size());
  for (std::size_t i = 0; i < kInsertParameters.size(); ++i) {
    const std::string_view column = kColumns[kFirstSettable + i].column;
    inputs.emplace_back(std::string(kInsertParameters[i]), std::function<Variant()>([this, column] {
                          return cursor::RequireResultSet(ResultSet()).Fields().Item(column).Value();
                        }));
  }
  if (!cursor::RunProcedure(gateway, "sp_insert_" + Table(), inputs).empty()) return false;
  Variant newId = Variant::Null();
  gateway.GetParameter("@Unique_id", newId);
  gateway.FinishProcedure();
  return GetData(newId.CLng());
}

// An existing document: one sp_update_table call per column whose value
// differs from the value read, all inside one unit of work. The first failing
// column ends the save; the caller's exit step then abandons the unit of
// work, so no column of the row changes.
bool clsDocument::UpdateChangedColumns() {
  DataGateway& gateway = Gateway();
  Recordset& rs = cursor::RequireResultSet(ResultSet());
  const std::int32_t id = rs.Fields().Item("unique_id").Value().CLng();
  if (!gateway.InTransaction()) gateway.BeginTransaction();
  FieldCollection& fields = rs.Fields();
  for (std::int32_t i = 0; i < fields.Count(); ++i) {
    const Field& field = fields.Item(i);
    if (!Differs(field.Value(), field.OriginalValue())) continue;
    const std::vector<cursor::Parameter> inputs{{"@table", Variant(Table())},
                                                {"@column", Variant(field.Name())},
                                                {"@unique_id", Variant(id)},
                                                {"@value", UpdateValue(field)}};
    if (!cursor::RunProcedure(gateway, "sp_update_table", inputs).empty()) return false;
  }
  if (gateway.InTransaction()) gateway.EndTransaction(true);
  return true;
}

bool clsDocument::DeleteData(std::int32_t UniqueID) {
  return cursor::DeleteThrough(Gateway(), DataReady(), "clsDocument.DeleteData", "sp_delete_table",
                               {{"@table", Variant(Table())}, {"@unique_id", Variant(UniqueID)}});
}

bool clsDocument::RemoveReportLink(std::int32_t ReportID, std::int32_t DocumentID) {
  return cursor::DeleteThrough(Gateway(), DataReady(), "clsDocument.RemoveReportLink", "sp_delete_xrf_report_document",
                               {{"@report_id", Variant(ReportID)}, {"@document_id", Variant(DocumentID)}});
}

}  // namespace tarnwick
