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
#include <utility>

#include "frame/binding.hpp"
#include "tarnwick/column_accessors.hpp"
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

// The type a family's accessors read and write.
template <Family F>
struct FamilyValue;
template <> struct FamilyValue<Family::Text> { using type = std::string; };
template <> struct FamilyValue<Family::DateText> { using type = std::string; };
template <> struct FamilyValue<Family::Long> { using type = std::int32_t; };
template <> struct FamilyValue<Family::Integer> { using type = std::int16_t; };
template <> struct FamilyValue<Family::Date> { using type = tarnwick::Date; };
template <> struct FamilyValue<Family::Currency> { using type = tarnwick::Currency; };
template <> struct FamilyValue<Family::Boolean> { using type = bool; };
template <> struct FamilyValue<Family::Bytes> { using type = tarnwick::Bytes; };
template <Family F>
using ColumnValue = typename FamilyValue<F>::type;

// The typed reading of a column of family F.
template <Family F>
ColumnValue<F> ReadColumn(const DataObject& o, const ColumnProperty& p) {
  if constexpr (F == Family::Text || F == Family::DateText) return ReadText(o, p);
  else if constexpr (F == Family::Long) return ReadLong(o, p);
  else if constexpr (F == Family::Integer) return ReadInteger(o, p);
  else if constexpr (F == Family::Date) return ReadDate(o, p);
  else if constexpr (F == Family::Currency) return ReadCurrency(o, p);
  else if constexpr (F == Family::Boolean) return ReadBoolean(o, p);
  else return ReadBytes(o, p);
}

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

// ---------------------------------------------------------------------------
// A class's column properties are listed once, one row each, in a macro of
// the class's own:
//
//   #define TW_LOOKUP_COLUMNS(COLUMN)
//     COLUMN(Code, "Code", Text, Read)
//     COLUMN(EffectiveDate, "effective_date", DateText, Read)
//
// (each line but the last ending in a backslash), the row being
//
//   COLUMN(Property, "column", Family, Access[, NullRule[, Guard]])
//
// Access names the accessors the class's public header declares: Read (the
// reader alone), ReadWrite (TARNWICK_COLUMN) or ReadWriteBytes
// (TARNWICK_BYTES_COLUMN). Then, in the class's source,
//
//   namespace { TW_COLUMN_TABLE(clsLookup_List, TW_LOOKUP_COLUMNS); }
//   TW_COLUMN_ACCESSORS(TW_LOOKUP_COLUMNS)
//
// make the column table kColumns (and ColumnOwner, the class) and define
// every accessor the list names, each reading or writing its entry of
// kColumns by its family's rules. A new column is a row of the list and a
// line of the header.
#define TW_COLUMN_TABLE(Class, LIST) \
  using ColumnOwner = Class;         \
  constexpr auto kColumns = std::to_array<::tarnwick::cursor::ColumnProperty>({LIST(TW_COLUMN_ROW)})
#define TW_COLUMN_ROW(Property, column, family, access, ...)                      \
  ::tarnwick::cursor::ColumnProperty{#Property, column,                           \
                                     ::tarnwick::cursor::Family::family __VA_OPT__(, ) __VA_ARGS__},

#define TW_COLUMN_ACCESSORS(LIST) LIST(TW_COLUMN_ACCESSOR_ROW)
#define TW_COLUMN_ACCESSOR_ROW(Property, column, family, access, ...) \
  TW_COLUMN_##access(Property, ::tarnwick::cursor::ColumnValue<::tarnwick::cursor::Family::family>, \
                     ::tarnwick::cursor::Family::family)
#define TW_COLUMN_OF(Property) ::tarnwick::cursor::Column(kColumns, #Property)
#define TW_COLUMN_Read(Property, Type, family)                                   \
  Type ColumnOwner::Property() const {                                           \
    return ::tarnwick::cursor::ReadColumn<family>(*this, TW_COLUMN_OF(Property)); \
  }
#define TW_COLUMN_ReadWrite(Property, Type, family)                                             \
  TW_COLUMN_Read(Property, Type, family)                                                        \
  void ColumnOwner::Property(::tarnwick::ColumnArgument<Type> value) {                          \
    ::tarnwick::cursor::WriteValue(*this, TW_COLUMN_OF(Property), ::tarnwick::Variant(value));   \
  }
#define TW_COLUMN_ReadWriteBytes(Property, Type, family)                                                   \
  TW_COLUMN_ReadWrite(Property, Type, family)                                                              \
  void ColumnOwner::Property(Type&& value) {                                                               \
    ::tarnwick::cursor::WriteValue(*this, TW_COLUMN_OF(Property), ::tarnwick::Variant(std::move(value)));   \
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
