// Moving values between the office database and the library's Variants.
//
// The database declares its columns and procedure parameters in the SQL
// Server manner (int, smallint, bit, money, datetime, varchar(n), text, image,
// float) while SQLite stores integers, reals, texts and blobs. Reading maps a
// stored value to the Variant kind of its declared type; writing converts a
// Variant (or the text the library sends for a column) to what that type
// stores: dates as ISO text, bit as 0/1, money as a number (exactly, see
// ToSqlValue).
#pragma once

#include <sqlite3.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tarnwick/recordset.hpp"
#include "tarnwick/variant.hpp"

namespace tarnwick::sqlite::engine_detail {

// What a declared column or parameter type stores.
enum class SqlKind { None, Int, SmallInt, Bit, Money, DateTime, Text, Binary, Real };

// "int", "varchar(50)", "DATETIME", "money not null"... None when the type is
// empty; unknown names follow SQLite's affinity rules (contains "int",
// "char", "text", "blob", "real", ...), else None.
SqlKind KindOfDeclaredType(std::string_view declared);

// The result-set type code for a declared kind (None: Variant).
DataType DataTypeOfKind(SqlKind kind);

// Reads "yyyy-mm-dd", "yyyy-mm-dd hh:mm[:ss[.fff]]" (also with "T") quickly.
// Nothing when the text is not exactly that shape or names no real date.
std::optional<Date> ParseIsoDate(std::string_view text);

// Reads column `col` of the statement's current row as a Variant of the
// kind's family. A stored value that does not fit the declared kind (a text
// in an int column, an integer beyond 32 bits) is kept in the nearest kind
// that holds it without loss rather than dropped.
Variant ReadColumn(sqlite3_stmt* stmt, int col, SqlKind kind);

// Reads the statement's current value by its storage class alone (for a
// result column with no declared type).
Variant ReadUntyped(sqlite3_stmt* stmt, int col);

// Types every untyped result column from its values: the first non-null
// value decides; a text column whose every value is an ISO date becomes a
// date column. `kinds` holds each column's declared kind (None = untyped).
// `cells` holds the rows one after the other, columns.size() values each.
void TypeUntypedColumns(const std::vector<SqlKind>& kinds, std::vector<Column>& columns,
                        std::vector<Variant>& cells);

// A value as the database stores it for a column or parameter of `kind`.
struct SqlValue {
  enum class Storage { Null, Integer, Real, Text, Blob } storage = Storage::Null;
  sqlite3_int64 integer = 0;
  double real = 0;
  std::string text;  // Text
  Bytes blob;        // Blob
};

// Converts value the way the runtime would for a column or parameter of
// `kind`: "12" to an int gives 12, "3/4/2005" to a datetime gives
// "2005-03-04 00:00:00", "True" to a bit gives 1, Currency to money gives an
// integer or a real when either holds the amount exactly, else the amount's
// decimal text as a blob (a money column keeps a blob unchanged). Empty text gives Null for every kind but text. Returns an error text
// (empty on success) naming the value when it cannot be converted.
std::string ToSqlValue(const Variant& value, SqlKind kind, SqlValue& out);

// ToSqlValue for a column or parameter of the declared type (its kind as
// KindOfDeclaredType reads it): a text longer than a declared length
// ("varchar(150)") is refused, as the office server refuses it, never cut.
std::string ToDeclaredValue(const Variant& value, std::string_view declared, SqlKind kind, SqlValue& out);

// Binds out to the statement's parameter `index`; returns SQLite's result code.
int BindSqlValue(sqlite3_stmt* stmt, int index, const SqlValue& value);

// Compares two ASCII names without regard to letter case.
bool SameName(std::string_view a, std::string_view b);

}  // namespace tarnwick::sqlite::engine_detail
