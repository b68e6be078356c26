// The component's type library: its identity, its enumerations and, for each
// public class, the members of its default interface in function-table order
// with their dispatch identifiers. Clients that bind early rely on the order;
// clients that bind late look members up by name (Object::GetIDOfName).
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace tarnwick {

enum class InvokeKind { Method, PropertyGet, PropertyPut };

// The types that appear in member signatures.
enum class TypeCode { Void, Boolean, Integer, Long, Double, Currency, Date, String, Variant, Bytes, Recordset, Enum };

struct ParamInfo {
  std::string_view name;
  TypeCode type;
  bool byRef = false;
  bool optional = false;
  std::string_view defaultValue;   // text form of an optional argument's default ("-1", "")
  std::string_view enumName = {};  // for TypeCode::Enum
};

// One entry of the function table. A property with a reader and a writer
// has two entries, reader first, sharing one dispatch identifier.
struct MemberInfo {
  std::string_view name;
  std::int32_t dispid;
  InvokeKind kind;
  TypeCode result;                 // a writer's result is Void; its value is its last parameter
  std::vector<ParamInfo> params;
  std::string_view enumName = {};  // for a result of TypeCode::Enum
};

struct ClassInfo {
  std::string_view name;           // "clsDocument"
  std::string_view progId;         // "Tarnwick.clsDocument"
  std::string_view clsid;          // "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}"
  std::string_view interfaceName;  // "_clsDocument"
  std::string_view iid;
  std::vector<MemberInfo> members; // function-table order, after the 7 dispatch entries

  // The entries of a member name (case-insensitive): one for a method, one or two for a property.
  std::vector<const MemberInfo*> Find(std::string_view member) const;
  const MemberInfo* Find(std::int32_t dispid, InvokeKind kind) const;
};

struct EnumInfo {
  std::string_view name;
  std::string_view guid;
  std::vector<std::pair<std::string_view, std::int32_t>> members;  // declaration order
};

struct TypeLibraryInfo {
  std::string_view name;           // "Tarnwick"
  std::uint16_t majorVersion, minorVersion;
  std::uint32_t lcid;              // 0x409
  std::string_view libid;
  std::string_view helpString;
  std::vector<ClassInfo> classes;  // the seven public classes
  std::vector<EnumInfo> enums;

  // By class name, programmatic identifier or class identifier (letter case ignored); nullptr if unknown.
  const ClassInfo* FindClass(std::string_view nameProgIdOrClsid) const;
};

const TypeLibraryInfo& TypeLibrary();

}  // namespace tarnwick
