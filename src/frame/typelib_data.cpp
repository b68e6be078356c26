// The component's type library as data: identity, enumerations and, for each
// of the eight public classes, its default interface in function-table order.
//
// How the tables are laid out. A class declares its properties first, then
// ConnectionVariables, then its private procedures, then its public methods.
// Property identifiers (0x6803nnnn) run downward from the top of the class's
// property range in declaration order; a reader and its writer share one
// identifier and take two consecutive table entries, reader first. Method
// identifiers (0x6003nnnn) run upward from ConnectionVariables; the private
// procedures take identifiers too but no table entries, which leaves a gap
// between ConnectionVariables and the first public method. Clients that bind
// early depend on every number and on the entry order below, so none of it
// may change once released.
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <utility>
#include <vector>

#include "tarnwick/typelib.hpp"

namespace tarnwick {
namespace {

constexpr std::int32_t kPropertyBase = 0x68030000;
constexpr std::int32_t kMethodBase = 0x60030000;

constexpr std::string_view kMEFRunType = "MEFRunType";
constexpr std::string_view kZubList = "zubList";

// Parameter shorthands.
ParamInfo Param(std::string_view name, TypeCode type, bool byRef, bool optional, std::string_view defaultText) {
  ParamInfo p{};
  p.name = name;
  p.type = type;
  p.byRef = byRef;
  p.optional = optional;
  p.defaultValue = defaultText;
  return p;
}
ParamInfo In(std::string_view name, TypeCode type) { return Param(name, type, false, false, {}); }
ParamInfo Optional(std::string_view name, TypeCode type, std::string_view defaultText) {
  return Param(name, type, false, true, defaultText);
}
ParamInfo ByRef(std::string_view name, TypeCode type) { return Param(name, type, true, false, {}); }

// Builds one interface's function table, handing out dispatch identifiers as
// the class declares its members.
class InterfaceBuilder {
 public:
  // propertyTop: identifier of the first declared property (low word);
  // firstMethod: identifier of ConnectionVariables (low word).
  InterfaceBuilder(std::int32_t propertyTop, std::int32_t firstMethod)
      : nextProperty_(kPropertyBase + propertyTop), nextMethod_(kMethodBase + firstMethod) {}

  // A read-only property.
  InterfaceBuilder& Get(std::string_view name, TypeCode type) {
    members_.push_back(MemberInfo{name, nextProperty_--, InvokeKind::PropertyGet, type, {}});
    return *this;
  }
  // A read-write property: reader, then writer, one identifier.
  InterfaceBuilder& GetLet(std::string_view name, TypeCode type, bool valueByRef = false) {
    AddReadWrite(nextProperty_--, name, type, valueByRef);
    return *this;
  }
  // A read-write property whose identifier is fixed apart from the downward run.
  InterfaceBuilder& GetLetAt(std::int32_t lowWord, std::string_view name, TypeCode type) {
    AddReadWrite(kPropertyBase + lowWord, name, type, false);
    return *this;
  }
  InterfaceBuilder& Method(std::string_view name, TypeCode result, std::vector<ParamInfo> params = {},
                           std::string_view resultEnum = {}) {
    members_.push_back(MemberInfo{name, nextMethod_++, InvokeKind::Method, result, std::move(params), resultEnum});
    return *this;
  }
  // Private procedures (InitObjects, ReleaseObjects and the like): identifiers, no entries.
  InterfaceBuilder& PrivateProcedures(int count) {
    nextMethod_ += count;
    return *this;
  }

  // Shared members of the data classes.
  InterfaceBuilder& ConnectionVariables() {
    return Method("ConnectionVariables", TypeCode::Boolean,
                  {In("DatabaseName", TypeCode::String), In("Source", TypeCode::String),
                   In("UsrName", TypeCode::String), In("Pass", TypeCode::String), In("UseTrusted", TypeCode::Boolean)});
  }
  InterfaceBuilder& CursorMoves() {
    return Method("MoveFirst", TypeCode::Boolean)
        .Method("MovePrevious", TypeCode::Boolean)
        .Method("MoveNext", TypeCode::Boolean)
        .Method("MoveLast", TypeCode::Boolean);
  }

  std::vector<MemberInfo> Take() { return std::move(members_); }

 private:
  void AddReadWrite(std::int32_t dispid, std::string_view name, TypeCode type, bool valueByRef) {
    members_.push_back(MemberInfo{name, dispid, InvokeKind::PropertyGet, type, {}});
    members_.push_back(MemberInfo{
        name, dispid, InvokeKind::PropertyPut, TypeCode::Void, {Param("value", type, valueByRef, false, {})}});
  }

  std::int32_t nextProperty_;
  std::int32_t nextMethod_;
  std::vector<MemberInfo> members_;
};

using enum TypeCode;

// Committee-document link, and its twin for the committees a document affects.
std::vector<MemberInfo> LinkMembers(std::int32_t propertyTop, std::int32_t firstMethod, bool withRecordCount) {
  InterfaceBuilder b(propertyTop, firstMethod);
  b.Get("Table", String)
      .Get("DataReady", Boolean)
      .GetLet("OrgID", String)
      .GetLet("DocumentID", String)
      .GetLet("NewOrgID", Long)
      .Get("BOF", Boolean)
      .Get("EOF", Boolean);
  // The affected-committee link counts its rows in a 16-bit Integer.
  if (withRecordCount) b.Get("RecordCount", Integer);
  b.ConnectionVariables()
      .PrivateProcedures(2)  // InitObjects, ReleaseObjects
      .Method("DeleteData", Boolean, {In("OrgID", Long), In("DocumentID", Long)})
      .Method("GetData", Boolean, {Optional("DocumentID", Long, "-1")})
      .Method("GetOrgGroupID", Long, {In("OrgID", Long)})
      .Method("SaveData", Boolean)
      .Method("ValidateData", Boolean)
      .CursorMoves();
  return b.Take();
}

std::vector<MemberInfo> OrgMembers() {
  InterfaceBuilder b(0x2D, 0x2E);
  b.Get("Table", String).Get("DataReady", Boolean).Get("UniqueID", String).Get("GroupID", String);
  b.Get("IsFund", Integer);
  for (std::string_view name : {"ID1", "ID2", "ID3", "ID4", "CurrentStatusCode", "EnteredMethodCode"}) {
    b.Get(name, String);
  }
  b.Get("EnteredDate", Date).Get("TransDate", Date);
  for (std::string_view name : {"CheckOutUserID", "CheckOutDate", "CheckInUserID", "CheckInDate", "Reason",
                                "UpdateDate", "OrigUserID", "OrigDate"}) {
    b.Get(name, String);
  }
  b.Get("BOF", Boolean).Get("EOF", Boolean);
  for (std::string_view name :
       {"FullID",         "OrgName",         "InhouseName",    "OrgID",        "PreviousID",    "CommTypeCode",
        "CommTypeDesc",   "CandFirstName",   "CandMiddleName", "CandLastName", "CandSuffix",    "CandNickName",
        "TreasFirstName", "TreasMiddleName", "TreasLastName",  "TreasSuffix",  "TreasNickName", "UserID",
        "TransType",      "StatusDesc",      "StatusCode"}) {
    b.Get(name, String);
  }
  b.Get("RecordCount", Long).Get("Count", Long);
  b.ConnectionVariables()
      .PrivateProcedures(2)  // InitObjects, ReleaseObjects
      .Method("SetupFilter", String,
              {In("CommType", String), In("CommLevel", String), In("Status", String), In("InfoType", String),
               In("Name", String), In("FirstName", String), In("Office", String), In("Party", String),
               In("NameType", String)})
      .Method("GetDataList", Boolean, {In("Filter", String)})
      .Method("GetCommittee", Boolean, {In("Filter", String)})
      .Method("GetAffectedCommitteeDocumentList", Boolean, {In("DocumentID", String)})
      .Method("GetAffectedDataList", Boolean, {In("Filter", String)})
      .Method("ValidateData", Boolean)
      .CursorMoves();
  return b.Take();
}

std::vector<MemberInfo> DocumentImageMembers() {
  InterfaceBuilder b(0x10, 0x11);
  b.Get("DataReady", Boolean)
      .GetLet("DocumentID", String)
      .GetLet("Image", Bytes, /*valueByRef=*/true)
      .GetLet("ImageAlt", Bytes, /*valueByRef=*/true)
      .Get("OrigDate", String)
      .Get("UpdateDate", String)
      .Get("BOF", Boolean)
      .Get("EOF", Boolean)
      .Get("BatchScanPath", String)
      .Get("HasAltered", Boolean)
      .Get("HasImage", Boolean);
  for (std::string_view name :
       {"AppFunctionLabel", "AppFunctionValue", "SettingPath", "SettingKey", "SettingType", "SettingValue"}) {
    b.Get(name, String);
  }
  b.ConnectionVariables()
      .PrivateProcedures(2)  // InitObjects, ReleaseObjects
      .Method("SetImageDirs", Void)
      .Method("GetDefaultRegSettings", Boolean, {In("FunctionLabel", String), In("FunctionValue", String)})
      .Method("DeleteData", Boolean, {In("DocID", Long)})
      .Method("GetData", Boolean, {Optional("UniqueID", Long, "-1")})
      .Method("SaveData", Boolean, {In("DocID", String)})
      .CursorMoves();
  // The two page-count properties have their entries at the very end of the
  // table, after MoveLast, and identifiers above the method range.
  b.GetLetAt(0x1E, "PageCount", String).GetLetAt(0x1D, "PageCountAlt", String);
  return b.Take();
}

std::vector<MemberInfo> LookupListMembers() {
  InterfaceBuilder b(0x6F, 0x70);
  b.Get("DataReady", Boolean).GetLet("Index", Long);
  for (std::string_view name : {"Code", "Description", "Sequence", "EffectiveDate", "ExpireDate", "UpdateDate"}) {
    b.Get(name, String);
  }
  b.Get("BOF", Boolean).Get("EOF", Boolean).GetLet("ListFilter", String).Get("RecordCount", Long);
  ParamInfo list = Optional("List", Enum, "0");  // zubL_None
  list.enumName = kZubList;
  b.ConnectionVariables()
      .PrivateProcedures(2)  // InitObjects, ReleaseObjects
      .Method("FindIndex", Long, {Optional("Code", String, ""), Optional("Desc", String, "")})
      .Method("GetData", Boolean,
              {list, Optional("EffTransDate", Date, "1/1/1900"), Optional("ID", Long, "-1"),
               Optional("Filter1", String, ""), Optional("Filter2", String, "")})
      .Method("GetDescription", String, {In("msCode", String)})
      .Method("GetLink", String, {In("msCode", String)})
      .Method("GetDelta", String, {In("msCode", String)})
      .Method("GetBitCheck", String, {In("msCode", String)})
      .CursorMoves();
  return b.Take();
}

std::vector<MemberInfo> DocumentMembers() {
  InterfaceBuilder b(0xF7, 0xF8);
  b.Get("Table", String).Get("DataReady", Boolean).Get("UniqueID", Long);
  for (std::string_view name : {"DocTypeCode", "DocSubTypeCode", "DocYear", "IsAmendment", "NameListed", "Title",
                                "DueDate", "ReferredCountyCode", "PenaltyAppealDecisionCode"}) {
    b.GetLet(name, String);
  }
  b.GetLet("AmountDue", Currency).GetLet("AmountPaid", Currency);
  for (std::string_view name :
       {"DeliveryMethodCode", "DocReasonCode", "ReportVersionCode", "ReceiveSendDate", "EntryDate", "OtherDate",
        "ImportDate", "BeginDate", "EndDate", "SignedDate", "SignerOfficerType", "SignerOfficerID", "SignerName",
        "DeleteDate", "HasNoReportData", "NoReportDataReason", "TotalReceipts", "TotalExpenditures", "NoTotals"}) {
    b.GetLet(name, String);
  }
  b.Get("RecordCount", Long);
  for (std::string_view name :
       {"DocTypeCodeDesc", "DocNameDesc", "PreviousID", "CommStatus", "CommType", "InhouseName"}) {
    b.Get(name, String);
  }
  b.Get("BOF", Boolean).Get("EOF", Boolean);
  b.Get("ImagePath", String).Get("HasAltered", String).Get("HasImage", Boolean);
  b.Get("Count", Long).Get("mRecSet", Recordset);

  ParamInfo runType = In("RunType", Enum);
  runType.enumName = kMEFRunType;
  b.ConnectionVariables()
      // InitObjects, ReleaseObjects and one more internal procedure of the document class.
      .PrivateProcedures(3)
      .Method("SetImageDirs", Void)
      .Method("SetupFilter", String,
              {In("DocType", String), In("DocName", String), In("Year", String), In("UseComm", Boolean),
               In("CommType", String), In("Name", String), In("First", String), In("Last", String),
               In("UseName", Boolean), In("DateType", String), In("BeginDate", String), In("EndDate", String),
               In("User", String), In("NameType", String), In("NotLinked", Boolean)})
      .Method("DeleteData", Boolean, {In("UniqueID", Long)})
      .Method("RemoveReportLink", Boolean, {In("ReportID", Long), In("DocumentID", Long)})
      .Method("GetData", Boolean, {Optional("UniqueID", Long, "-1")})
      .Method("GetDataDetail", Boolean, {In("UniqueID", Long)})
      .Method("GetDocumentList", Boolean, {In("Filter", String)})
      .Method("GetCommitteeDocumentList", Boolean, {In("OrgGroupID", String)})
      .Method("RunMEFChecks", Boolean,
              {runType, In("OrgID", String), In("DocID", String), In("DocumentYear", String),
               In("DocumentSubTypeCode", String), In("StartDate", String), In("EndDate", String),
               In("TotalReceipts", String), In("TotalExpenditures", String), ByRef("MatchFound", Boolean),
               ByRef("MEFFlag", Boolean), ByRef("ElectionID", Integer)})
      .Method("SaveData", Boolean)
      .Method("ValidateData", Boolean)
      .CursorMoves();
  return b.Take();
}

std::vector<MemberInfo> DocReportExportMembers() {
  InterfaceBuilder b(0, 0x16);  // no properties
  b.ConnectionVariables()
      .PrivateProcedures(2)  // InitObjects, ReleaseObjects
      .Method("CreateFile", Boolean,
              {In("CommitteeType", String), In("ReportYear", String), In("ReportSubType", String),
               In("DueDate", String), In("ReportExportType", String), In("BeginDate", String), In("EndDate", String),
               In("Filename", String), In("EnteredDate", String)})
      .Method("CreateFileCorrExport", Boolean,
              {In("CommitteeType", String), In("DocumentType", String), In("DocumentSubType", String),
               In("SendReceiveDateFrom", String), In("SendReceiveDateTo", String), In("Filename", String)});
  return b.Take();
}

// The name search: its row's properties, the cursor members it has, Find.
std::vector<MemberInfo> NameSearchMembers() {
  InterfaceBuilder b(0x0A, 0x0B);
  b.Get("Kind", String)
      .Get("OrgID", Long)
      .Get("OrgName", String)
      .Get("MatchedName", String)
      .Get("StatusCode", String)
      .Get("LastFiledDate", String)
      .Get("DataReady", Boolean)
      .Get("BOF", Boolean)
      .Get("EOF", Boolean)
      .Get("RecordCount", Long);
  b.ConnectionVariables()
      .Method("Find", Boolean, {In("Text", String), In("Kinds", String), In("Limit", Long)})
      .CursorMoves();
  return b.Take();
}

TypeLibraryInfo BuildLibrary() {
  TypeLibraryInfo lib;
  lib.name = "Tarnwick";
  lib.majorVersion = 5;
  lib.minorVersion = 0;
  lib.lcid = 0x409;
  lib.libid = "{D5A2B832-FA64-4609-AEB1-F229AB629F96}";
  lib.helpString = "Business logic for filed documents and their images";

  lib.classes.push_back(ClassInfo{"clsXrf_Org_Document", "Tarnwick.clsXrf_Org_Document",
                                  "{92A960F4-A1D7-4599-80F7-6C6A6524C588}", "_clsXrf_Org_Document",
                                  "{E79ED521-134B-43AC-9DF3-EFDBE651B76C}", LinkMembers(0x06, 0x07, false)});
  lib.classes.push_back(ClassInfo{"clsOrg", "Tarnwick.clsOrg", "{D810C814-348C-4490-8A31-CF8C51C35D82}", "_clsOrg",
                                  "{49199973-EA91-4E23-9735-E0BBCD2CA6F8}", OrgMembers()});
  lib.classes.push_back(ClassInfo{"clsXrf_Aff_Org_Document", "Tarnwick.clsXrf_Aff_Org_Document",
                                  "{6A86D4AE-825A-4632-AE78-8970279B5D80}", "_clsXrf_Aff_Org_Document",
                                  "{5AF2A78C-C1ED-4FD4-B76E-7D6822E869DB}", LinkMembers(0x07, 0x08, true)});
  lib.classes.push_back(ClassInfo{"clsDocumentImage", "Tarnwick.clsDocumentImage",
                                  "{3AAB25F5-3442-4C03-A1A4-9CEF30F84C6F}", "_clsDocumentImage",
                                  "{F88078C4-E114-4D59-B95E-5385CB4EA36D}", DocumentImageMembers()});
  lib.classes.push_back(ClassInfo{"clsLookup_List", "Tarnwick.clsLookup_List", "{D8739286-A847-417A-94D8-27127B70F334}",
                                  "_clsLookup_List", "{B95FB76C-67EA-4057-892D-5BD87D0BCEAA}", LookupListMembers()});
  lib.classes.push_back(ClassInfo{"clsDocument", "Tarnwick.clsDocument", "{C3DEFEBA-A8BE-4B48-82CA-57B6375F71F0}",
                                  "_clsDocument", "{9A71BC08-82E5-4C42-8016-96025B6B1A0F}", DocumentMembers()});
  lib.classes.push_back(ClassInfo{"clsDocReportExport", "Tarnwick.clsDocReportExport",
                                  "{2DA66717-AC97-45B1-8A99-65B4C8CB9A24}", "_clsDocReportExport",
                                  "{AE3AAE17-8B8D-4504-9926-FF693E6E4558}", DocReportExportMembers()});
  lib.classes.push_back(ClassInfo{"clsNameSearch", "Tarnwick.clsNameSearch", "{C31DC3EE-359C-42AB-A58D-20197835EE14}",
                                  "_clsNameSearch", "{6EA1BA49-3BDF-46FD-A5AA-74B3B390402E}", NameSearchMembers()});

  lib.enums.push_back(EnumInfo{kMEFRunType,
                               "{2CB8AB77-2750-464E-9997-AB544764595F}",
                               {{"FortyEightHourList", 1},
                                {"CheckMEF", 2},
                                {"ReturnMEF", 3},
                                {"ExistingReport", 4},
                                {"FortyEightHourListAmend", 5}}});
  lib.enums.push_back(EnumInfo{kZubList,
                               "{9D41688E-0AAF-4FB1-B2C1-F5D038CDE147}",
                               {{"zubL_DeliveryMethod", 1},
                                {"zubL_DocumentType", 2},
                                {"zubL_DocumentReason", 3},
                                {"zubL_ReportVersion", 4},
                                {"zubL_CommitteeType", 5},
                                {"zubL_NameType", 6},
                                {"zubL_CommitteeLevel", 7},
                                {"zubL_OrgStatus", 8},
                                {"zubL_Office", 9},
                                {"zubL_Party", 10},
                                {"zubL_DocumentSubType", 11},
                                {"zubL_Users", 12},
                                {"zubL_OfficerType", 13},
                                {"zubL_OfficerName", 14},
                                {"zubL_ReportSubType", 15},
                                {"zubL_AffCommitteeType", 16},
                                {"zubL_Penalty_Appeal_Decision", 17},
                                {"zubL_County", 18},
                                {"zubL_None", 0}}});
  return lib;
}

}  // namespace

const TypeLibraryInfo& TypeLibrary() {
  // Built once, on first use; immutable afterwards, so any thread may read it.
  static const TypeLibraryInfo library = BuildLibrary();
  return library;
}

}  // namespace tarnwick
