// clsLookup_List: the office's code lists (delivery methods, document types,
// committee types, offices, parties, counties, users and the like) as lists in
// force on a date, and lookups by code within the loaded list.
//
// Typical use: ConnectionVariables; GetData(zubL_Office, date) loads the
// offices in force on that date in their order; a choice box walks the rows
// with the cursor members and the Code and Description properties;
// GetDescription("GOV") turns a code into its description.
//
// Row numbers (Index, FindIndex) are 1-based among the rows the list filter
// lets through; off a row the position reads -2 (before the first row), -3
// (after the last) or -1 (undetermined).
//
// Failures: a gateway error text makes GetData return false; a run-time
// failure inside GetData is re-raised as RuntimeError with
// " (clsLookupList.GetData)" added to its source. The other members let
// failures pass unchanged: a lookup or FindIndex before any GetData raises 91,
// a lookup on a list with no rows 3021, a column the list lacks 3265, a filter
// or FindIndex criteria that does not parse 3001.
//
// Thread safety: an object is called only on the thread that created it.
#pragma once

#include <cstdint>
#include <string>

#include "tarnwick/data_object.hpp"
#include "tarnwick/enums.hpp"
#include "tarnwick/variant.hpp"

namespace tarnwick {

class clsLookup_List : public DataObject {
 public:
  clsLookup_List();
  ~clsLookup_List() override;

  using DataObject::DataReady;
  // The current row number, or -2/-3/-1 off a row; 0 when no row is current.
  std::int32_t Index() const;
  // Moves to row N (1-based); past the last row the cursor stands after it.
  // Nothing happens when N < 1 or no row is current.
  void Index(std::int32_t value);
  // Columns of the current row; "" while no row is current. The date
  // columns read "mm/dd/yyyy". The users, officer-name and county lists
  // lack some of them (3265 on a current row).
  std::string Code() const;
  std::string Description() const;
  std::string Sequence() const;
  std::string EffectiveDate() const;
  std::string ExpireDate() const;
  std::string UpdateDate() const;
  using DataObject::BOF;
  using DataObject::EndOfFile;
  // The filter in force: "0" for none; "" while no row is current.
  std::string ListFilter() const;
  // Narrows the loaded list by criteria ("Code LIKE 'R*'"); "" or "0" removes
  // the filter. The cursor then stands on the first row let through.
  // Nothing happens before the first GetData.
  void ListFilter(const std::string& value);
  using DataObject::RecordCount;
  using DataObject::ConnectionVariables;

  // The row number of the first row whose code is Code, or, when Code is "",
  // whose description is Desc; -1 when none. A cursor standing on a row is
  // put back there; otherwise it stays where the search left it.
  std::int32_t FindIndex(const std::string& Code = "", const std::string& Desc = "");
  // Loads a list. Most lists keep the codes in force on EffTransDate (1 Jan
  // 1900 when not given) and come in sequence order. Filter1 is the document
  // type of the reasons (3), the document type prefix of the sub-types (11),
  // the committee group of the officer names (14) or the scheduled flag of
  // the report sub-types (15); Filter2 the officer role of list 14. ID is
  // not used. zubL_None (and any other number) reloads the last list's table.
  // True when a row came back.
  bool GetData(zubList List = zubL_None, tarnwick::Date EffTransDate = tarnwick::Date{2}, std::int32_t ID = -1,
               const std::string& Filter1 = "", const std::string& Filter2 = "");
  // The Description (Link, Delta, BitCheck) of the last row whose code,
  // trimmed, equals msCode, trimmed; "" when none. Scans the whole list and
  // leaves the cursor after the last row.
  std::string GetDescription(const std::string& msCode);
  std::string GetLink(const std::string& msCode);
  std::string GetDelta(const std::string& msCode);
  std::string GetBitCheck(const std::string& msCode);

  using DataObject::MoveFirst;
  using DataObject::MovePrevious;
  using DataObject::MoveNext;
  using DataObject::MoveLast;

 protected:
  Variant Dispatch(const MemberInfo& member, std::span<Variant> args) override;

 private:
  std::string Lookup(const std::string& msCode, std::string_view column);
  // The table (or FROM tail) of the last list loaded; it stays for the next call.
  std::string tablePart_;
};

}  // namespace tarnwick
