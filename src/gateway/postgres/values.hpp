// Moving values between the office server and the library's Variants.
//
// Results come from the server as text. Each column is read by its type:
// boolean as Boolean, smallint as Integer, int and bigint as Long (a bigint
// beyond 32 bits as Double), numeric of scale 4 (money) as Currency and other
// numerics and floats as Double, timestamp and date as Date, bytea as Bytes,
// texts (citext too) and anything else as String.
//
// Parameters go to the server as text that the parameter's declared type
// reads: yes/no as true/false (or -1/0 for a number), dates as ISO
// "yyyy-mm-dd hh:mm:ss", Currency as its exact decimal, Bytes as bytea hex.
#pragma once

#include <libpq-fe.h>

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "gateway/postgres/catalog.hpp"
#include "tarnwick/recordset.hpp"
#include "tarnwick/variant.hpp"

namespace tarnwick::postgres {

// What the library makes of a server type.
enum class TypeClass { Boolean, SmallInt, Int, BigInt, Numeric, Real, Timestamp, Date, Text, Binary, Other };

// The server's types by OID: the built-in ones are fixed, the extension's
// (citext) and the schema's domains are read at connect.
class TypeMap {
 public:
  TypeMap();
  // Adds a type read from the catalog: its name, or for a domain its base type's OID.
  void AddNamed(Oid oid, std::string_view name);
  void AddDomain(Oid oid, Oid base);
  TypeClass ClassOf(Oid oid) const;
  bool IsCitext(Oid oid) const;
  // The renderer's view of a column of this type.
  ColumnKind KindOf(Oid oid) const;

 private:
  std::unordered_map<Oid, TypeClass> classes_;
  std::unordered_map<Oid, Oid> domains_;
  Oid citext_ = 0;
};

// The result-set type of a column of this class (numeric: by its scale).
DataType DataTypeOf(TypeClass type, int typmod);

// Reads one value the server sent as text.
Variant ReadValue(TypeClass type, int typmod, std::string_view text);

// The text a parameter of this class reads for value; nothing for Null (and
// for empty text given to anything but a text). Returns an error text,
// empty on success, when the value cannot be given to such a parameter.
std::string ParameterText(const Variant& value, TypeClass type, std::optional<std::string>& out);

}  // namespace tarnwick::postgres
