// Column properties by name, read through late binding, in their stored kinds.
#include "client/columns.hpp"

#include <algorithm>
#include <cmath>
#include <map>

#include "tarnwick/error.hpp"

namespace tarnwick::client {
namespace {

bool IsColumnType(TypeCode t) {
  switch (t) {
    case TypeCode::Boolean:
    case TypeCode::Integer:
    case TypeCode::Long:
    case TypeCode::Double:
    case TypeCode::Currency:
    case TypeCode::Date:
    case TypeCode::String: return true;
    default: return false;
  }
}

const std::vector<std::string> kCursorMembers{"Table", "DataReady", "BOF", "EOF", "RecordCount", "Count"};

// Column properties the classes hand out as text (or, IsFund, as -1 and 0)
// while the office stores another kind: identifiers and years as whole
// numbers, flags as Booleans, totals as money, dates as dates. The same
// property name is the same column in every class.
const std::map<std::string_view, VarType, std::less<>> kStoredKinds{
    {"UniqueID", VarType::Long},         {"GroupID", VarType::Long},          {"OrgID", VarType::Long},
    {"DocumentID", VarType::Long},       {"SignerOfficerID", VarType::Long},  {"DocYear", VarType::Long},
    {"Sequence", VarType::Long},         {"PageCount", VarType::Long},        {"PageCountAlt", VarType::Long},
    {"IsFund", VarType::Boolean},        {"IsAmendment", VarType::Boolean},   {"HasNoReportData", VarType::Boolean},
    {"NoTotals", VarType::Boolean},      {"TotalReceipts", VarType::Currency}, {"TotalExpenditures", VarType::Currency},
    {"DueDate", VarType::Date},          {"ReceiveSendDate", VarType::Date},  {"EntryDate", VarType::Date},
    {"OtherDate", VarType::Date},        {"ImportDate", VarType::Date},       {"BeginDate", VarType::Date},
    {"EndDate", VarType::Date},          {"SignedDate", VarType::Date},       {"DeleteDate", VarType::Date},
    {"CheckOutDate", VarType::Date},     {"CheckInDate", VarType::Date},      {"UpdateDate", VarType::Date},
    {"OrigDate", VarType::Date},         {"EffectiveDate", VarType::Date},    {"ExpireDate", VarType::Date},
    {"LastFiledDate", VarType::Date},
};

}  // namespace

bool SameName(std::string_view a, std::string_view b) {
  auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return fold(x) == fold(y); });
}

std::vector<std::string> ColumnProperties(const Object& object, const std::vector<std::string>& skip) {
  std::vector<std::string> names;
  for (const MemberInfo& m : object.Class().members) {
    if (m.kind != InvokeKind::PropertyGet || !m.params.empty() || !IsColumnType(m.result)) continue;
    auto listed = [&](const std::string& s) { return SameName(s, m.name); };
    if (std::any_of(kCursorMembers.begin(), kCursorMembers.end(), listed)) continue;
    if (std::any_of(skip.begin(), skip.end(), listed)) continue;
    names.emplace_back(m.name);
  }
  return names;
}

std::optional<VarType> StoredKind(std::string_view property) {
  const auto kind = kStoredKinds.find(property);
  if (kind == kStoredKinds.end()) return std::nullopt;
  return kind->second;
}

Variant StoredValue(std::string_view property, const Variant& value) {
  const auto kind = kStoredKinds.find(property);
  if (kind == kStoredKinds.end() || value.Type() == kind->second || value.IsNull()) return value;
  if (value.Type() == VarType::String && value.CStr().empty()) return Variant::Null();
  try {
    switch (kind->second) {
      case VarType::Long: {
        const double number = value.CDbl();
        return std::trunc(number) == number ? Variant(value.CLng()) : value;
      }
      case VarType::Boolean: return Variant(value.CBool());
      case VarType::Currency: return Variant(value.CCur());
      case VarType::Date: return Variant(value.CDate());
      default: return value;
    }
  } catch (const RuntimeError&) {
    return value;
  }
}

std::optional<Variant> ReadColumn(Object& object, const std::string& property) {
  try {
    return object.Get(property);
  } catch (const RuntimeError& e) {
    if (e.Number() == 3265) return std::nullopt;
    throw;
  }
}

std::vector<std::string> SettableProperties(const Object& object) {
  std::vector<std::string> names;
  for (const MemberInfo& m : object.Class().members) {
    if (m.kind == InvokeKind::PropertyPut) names.emplace_back(m.name);
  }
  return names;
}

std::optional<std::string> SettableProperty(const Object& object, std::string_view name) {
  for (const MemberInfo& m : object.Class().members) {
    if (m.kind == InvokeKind::PropertyPut && SameName(m.name, name)) return std::string(m.name);
  }
  return std::nullopt;
}

}  // namespace tarnwick::client
