// clsOrg: a read-only view of committees — the committee searches with the
// candidate and treasurer of each committee, walked as a record cursor.
//
// Typical use: ConnectionVariables; SetupFilter turns the search form's
// choices into a condition text ("AND ..." clauses); GetDataList (or
// GetAffectedDataList, GetCommittee) runs the search with it; the column
// properties read the current row. The class never adds, changes or deletes
// rows, and never sorts: the row order is the database's.
//
// Column properties: while no row is current they return "" (0 for IsFund,
// the zero date for EnteredDate and TransDate). Once a row is current, a
// column the last query did not select raises the result set's 3265; IsFund,
// EnteredDate and TransDate convert without a null test, so a Null raises 94
// and a value that does not convert 13. Null text columns read "".
//
// Failures: a gateway error text makes a query return false; a run-time
// failure inside a query is re-raised as RuntimeError with
// " (clsOrg_Data.<method>)" added to its source. SetupFilter and the column
// properties let failures pass unchanged.
//
// Thread safety: an object is called only on the thread that created it.
#pragma once

#include <cstdint>
#include <string>

#include "tarnwick/data_object.hpp"
#include "tarnwick/variant.hpp"

namespace tarnwick {

class clsOrg : public DataObject {
 public:
  clsOrg();
  ~clsOrg() override;

  using DataObject::Table;  // always "ref_org"
  using DataObject::DataReady;
  std::string UniqueID() const;
  std::string GroupID() const;
  std::int16_t IsFund() const;  // True reads -1
  std::string ID1() const;
  std::string ID2() const;
  std::string ID3() const;
  std::string ID4() const;
  std::string CurrentStatusCode() const;
  std::string EnteredMethodCode() const;
  tarnwick::Date EnteredDate() const;
  tarnwick::Date TransDate() const;
  std::string CheckOutUserID() const;
  std::string CheckOutDate() const;  // "mm/dd/yyyy"
  std::string CheckInUserID() const;
  std::string CheckInDate() const;   // "mm/dd/yyyy"
  std::string Reason() const;
  std::string UpdateDate() const;    // "mm/dd/yyyy"
  std::string OrigUserID() const;
  std::string OrigDate() const;      // "mm/dd/yyyy"
  using DataObject::BOF;
  using DataObject::EndOfFile;
  std::string FullID() const;
  std::string OrgName() const;
  std::string InhouseName() const;
  std::string OrgID() const;
  std::string PreviousID() const;
  std::string CommTypeCode() const;
  std::string CommTypeDesc() const;
  // The candidate's names are "" unless the committee is a candidate committee.
  std::string CandFirstName() const;
  std::string CandMiddleName() const;
  std::string CandLastName() const;
  std::string CandSuffix() const;
  std::string CandNickName() const;
  std::string TreasFirstName() const;
  std::string TreasMiddleName() const;
  std::string TreasLastName() const;
  std::string TreasSuffix() const;
  std::string TreasNickName() const;
  std::string UserID() const;
  std::string TransType() const;
  std::string StatusDesc() const;
  std::string StatusCode() const;  // the same column as CurrentStatusCode
  using DataObject::RecordCount;
  // Always 0: no operation of the committee object keeps a list count.
  std::int32_t Count() const { return 0; }
  using DataObject::ConnectionVariables;

  // The condition text of the committee search form: "AND ..." clauses, each
  // ending in one blank, in the order type, level, status, office, name
  // search, party; "" when nothing was chosen. A code choice counts when it is
  // not "" (blanks count) and goes in trimmed. Name and FirstName have "*"
  // and "?" turned into "%" and "_" and pass through the gateway's
  // SqlSafeText; InfoType picks the name search ("1" committee names by the
  // capital letters O, I, A in NameType; "2" identifier; "7" previous
  // identifier; "3" candidate; "4" treasurer).
  std::string SetupFilter(const std::string& CommType, const std::string& CommLevel, const std::string& Status,
                          const std::string& InfoType, const std::string& Name, const std::string& FirstName,
                          const std::string& Office, const std::string& Party, const std::string& NameType);

  // The current committees (the open detail row and the latest reference
  // row of each group) except type NRR, narrowed by Filter, a condition text
  // appended unchanged. True when a row came back.
  bool GetDataList(const std::string& Filter);
  // The committee rows of the short form (no candidate or treasurer), narrowed by Filter.
  bool GetCommittee(const std::string& Filter);
  // The current committees that the document affects; DocumentID is a number
  // written as text and goes into the text unquoted.
  bool GetAffectedCommitteeDocumentList(const std::string& DocumentID);
  // As GetDataList, with type NRR included.
  bool GetAffectedDataList(const std::string& Filter);

  using DataObject::ValidateData;
  using DataObject::MoveFirst;
  using DataObject::MovePrevious;
  using DataObject::MoveNext;
  using DataObject::MoveLast;

 protected:
  Variant Dispatch(const MemberInfo& member, std::span<Variant> args) override;

 private:
  bool RunList(const char* source, const std::string& sql);
};

}  // namespace tarnwick
