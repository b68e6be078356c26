// Column properties: a class declares each one as data (property, column,
// family) and the rules of its family read and write the current row.
//
// Getters: while the cursor is not ready they return the family's empty value
// without touching the result set. Setters: while not ready they do nothing.
// Otherwise a failure of the result set (an unknown column, no current row)
// reaches the caller unchanged.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "frame/binding.hpp"
#include "tarnwick/data_object.hpp"
#include "tarnwick/recordset.hpp"
#include "tarnwick/variant.hpp"

namespace tarnwick::cursor {

enum class Family {
  Text,      // the value joined to "" ("" for Null); writing "" stores Null
  DateText,  // as Text, then formatted mm/dd/yyyy; writing "" stores Null
  Long,      // Null reads 0
  Integer,   // converted to a 16-bit Integer
  Date,      // converted to a Date
  Currency,  // converted to Currency; written unchanged, never Null
  Boolean,   // converted to a Boolean
  Bytes,     // a byte array, written whole
};

// What a Null column gives in the Integer, Date, Currency, Boolean and Bytes families.
enum class NullRule { Zero, Fails };

// Whether a property asks DataReady first (the rule for column properties) or
// reads the current row straight away, so that no result set raises 91 and no
// current row the result set's 3021.
enum class Guard { Ready, None };

struct ColumnProperty {
  std::string_view property;  // "DueDate"
  std::string_view column;    // "due_date"
  Family family;
  NullRule null = NullRule::Zero;
  Guard guard = Guard::Ready;
};

// Access to the state a DataObject shares with the column rules.
class CursorAccess {
 public:
  static std::shared_ptr<Recordset>& ResultSet(DataObject& o) { return o.recordset_; }
  static const std::shared_ptr<Recordset>& ResultSet(const DataObject& o) { return o.recordset_; }
  static DataGateway& Gateway(const DataObject& o) { return o.Gateway(); }
  static bool& NewRecord(DataObject& o) { return o.newRecord_; }
  static const std::string& Table(const DataObject& o) { return o.table_; }

  // The shared cursor members, for late binding.
  static bool ConnectionVariables(DataObject& o, const std::string& db, const std::string& source,
                                  const std::string& user, const std::string& pass, bool trusted) {
    return o.ConnectionVariables(db, source, user, pass, trusted);
  }
  static bool DataReady(const DataObject& o) { return o.DataReady(); }
  static bool BOF(const DataObject& o) { return o.BOF(); }
  static bool EndOfFile(const DataObject& o) { return o.EndOfFile(); }
  static std::int32_t RecordCount(const DataObject& o) { return o.RecordCount(); }
  static std::int16_t RecordCountInteger(const DataObject& o) { return o.RecordCountInteger(); }
  static bool MoveFirst(DataObject& o) { return o.MoveFirst(); }
  static bool MovePrevious(DataObject& o) { return o.MovePrevious(); }
  static bool MoveNext(DataObject& o) { return o.MoveNext(); }
  static bool MoveLast(DataObject& o) { return o.MoveLast(); }
};

// True when rs exists, is open, and is not at both EOF and BOF.
bool Ready(const Recordset* rs);

// The family's reading of the column of the current row (its empty value when not ready).
Variant Read(const Recordset* rs, const ColumnProperty& p);
// The family's writing of v into the column of the current row (nothing when not ready).
void Write(Recordset* rs, const ColumnProperty& p, const Variant& v);

// Typed forms for the early-bound accessors of the classes.
std::string ReadText(const DataObject& o, const ColumnProperty& p);
std::int32_t ReadLong(const DataObject& o, const ColumnProperty& p);
std::int16_t ReadInteger(const DataObject& o, const ColumnProperty& p);
tarnwick::Currency ReadCurrency(const DataObject& o, const ColumnProperty& p);
tarnwick::Date ReadDate(const DataObject& o, const ColumnProperty& p);
bool ReadBoolean(const DataObject& o, const ColumnProperty& p);
tarnwick::Bytes ReadBytes(const DataObject& o, const ColumnProperty& p);
void WriteValue(DataObject& o, const ColumnProperty& p, const Variant& v);

// The result set a query left, for the steps that read it directly.
// Raises 91 (object not set) when there is none.
Recordset& RequireResultSet(const std::shared_ptr<Recordset>& rs);

// The entry of a class's column table for one property, found at compile time
// so that the early-bound accessors cannot name a property the table lacks.
template <std::size_t N>
consteval const ColumnProperty& Column(const std::array<ColumnProperty, N>& columns, std::string_view property) {
  for (const ColumnProperty& p : columns) {
    if (p.property == property) return p;
  }
  throw "no column property of that name";
}

// Binds the reader (and, when the interface has one, the writer) of each column property.
void BindColumns(frame::Bindings& b, std::span<const ColumnProperty> columns);

// Binds the shared cursor members the class's interface has (ConnectionVariables,
// Table, DataReady, BOF, EOF, RecordCount, MoveFirst..MoveLast, ValidateData).
// RecordCount is bound as a Long or, where the interface declares it Integer, as an Integer.
void BindCursorMembers(frame::Bindings& b);

// The keyed load of GetData: key >= 1 loads "select * from <table> <existing><key> ",
// anything else prepares a new empty row from "select * from <table> <newRow>".
// A gateway error text enters the caller's handler (throws frame::EnterHandler).
bool KeyedLoad(DataObject& o, std::int32_t key, std::string_view existingCondition, std::string_view newRowCondition);

// What a list query found.
enum class ListOutcome {
  ErrorText,  // the gateway refused the text; the result set is whatever the gateway left
  NoRows,     // no result set came back, or an empty one
  Rows,       // the result set stands on its first row
};

// Opens sql into the object's result set (replacing the previous one). A
// run-time failure of the gateway passes to the caller unchanged.
ListOutcome OpenList(DataObject& o, const std::string& sql);

}  // namespace tarnwick::cursor
