// Column properties by name, read and written through late binding.
#include "record.hpp"

#include <fmt/core.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <string_view>

#include "session.hpp"
#include "tarnwick/error.hpp"
#include "tarnwick/recordset.hpp"
#include "tarnwick/typelib.hpp"
#include "tarnwick/variant.hpp"

namespace tarnwick::cli {
namespace {

const ClassInfo& ClassOf(const Object& object) {
  const ClassInfo* info = TypeLibrary().FindClass(object.ProgID());
  if (info == nullptr) throw Failure(kExitFailed, fmt::format("{} is not in the type library", object.ProgID()));
  return *info;
}

// Member names are ASCII; they match without regard to letter case.
bool SameName(std::string_view a, std::string_view b) {
  auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return fold(x) == fold(y); });
}

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

// The value in the kind the office stores it in. The empty text of a column
// that holds no value is Null; a text that does not read as its kind (data
// written around the library) stays text rather than being changed.
Variant Stored(std::string_view property, const Variant& value) {
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

// The value as a clerk reads it; a column this query did not select gives nothing.
std::optional<Cell> Read(Object& object, const std::string& property) {
  try {
    return ColumnCell(property, object.Get(property));
  } catch (const RuntimeError& e) {
    if (e.Number() == 3265) return std::nullopt;
    throw;
  }
}

}  // namespace

Cell ColumnCell(const std::string& property, const Variant& value) {
  return Cell(value.CStr(), Stored(property, value));
}

std::vector<std::string> ColumnProperties(const Object& object, const std::vector<std::string>& skip) {
  std::vector<std::string> names;
  for (const MemberInfo& m : ClassOf(object).members) {
    if (m.kind != InvokeKind::PropertyGet || !m.params.empty() || !IsColumnType(m.result)) continue;
    auto listed = [&](const std::string& s) { return SameName(s, m.name); };
    if (std::any_of(kCursorMembers.begin(), kCursorMembers.end(), listed)) continue;
    if (std::any_of(skip.begin(), skip.end(), listed)) continue;
    names.emplace_back(m.name);
  }
  return names;
}

Record CurrentRow(Object& object, const std::vector<std::string>& properties) {
  Record row;
  for (const std::string& p : properties) {
    if (auto value = Read(object, p)) row.emplace_back(p, std::move(*value));
  }
  return row;
}

Table Rows(Object& object, const std::vector<std::string>& properties, long limit) {
  Table table;
  table.columns = properties;
  if (!object.Get("DataReady").CBool()) return table;
  // Columns the query did not select are found on the first row and left out.
  std::vector<bool> selected(properties.size(), true);
  while (!object.Get("EOF").CBool() && (limit <= 0 || static_cast<long>(table.rows.size()) < limit)) {
    std::vector<Cell> row;
    for (std::size_t i = 0; i < properties.size(); ++i) {
      if (!selected[i]) continue;
      std::optional<Cell> value = Read(object, properties[i]);
      if (!value && table.rows.empty()) selected[i] = false;
      else row.push_back(value ? std::move(*value) : Cell(Variant::Null()));
    }
    table.Add(std::move(row));
    object.Call("MoveNext");
  }
  table.columns.clear();
  for (std::size_t i = 0; i < properties.size(); ++i) {
    if (selected[i]) table.columns.push_back(properties[i]);
  }
  return table;
}

void SetProperty(Object& object, const std::string& assignment) {
  const std::size_t eq = assignment.find('=');
  const std::string name = assignment.substr(0, eq);
  std::vector<std::string> settable;
  const MemberInfo* writer = nullptr;
  for (const MemberInfo& m : ClassOf(object).members) {
    if (m.kind != InvokeKind::PropertyPut) continue;
    settable.emplace_back(m.name);
    if (SameName(m.name, name)) writer = &m;
  }
  if (eq == std::string::npos || writer == nullptr) {
    std::string list;
    for (const auto& s : settable) list += (list.empty() ? "" : ", ") + s;
    throw Failure(kExitUsage, fmt::format("\"{}\" is not NAME=VALUE with a settable column; the columns are: {}",
                                          assignment, list));
  }
  std::string value = assignment.substr(eq + 1);
  object.Put(writer->name, Variant(std::move(value)));
}

}  // namespace tarnwick::cli

namespace tarnwick::cli {

Table AllColumns(Recordset& rows) {
  Table table;
  FieldCollection& fields = rows.Fields();
  for (std::int32_t i = 0; i < fields.Count(); ++i) table.columns.push_back(fields.Item(i).Name());
  while (!rows.EndOfFile()) {
    std::vector<Cell> row;
    for (std::int32_t i = 0; i < fields.Count(); ++i) row.emplace_back(fields.Item(i).Value());
    table.Add(std::move(row));
    rows.MoveNext();
  }
  return table;
}

}  // namespace tarnwick::cli
