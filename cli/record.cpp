// Column properties by name, read and written through late binding.
#include "record.hpp"

#include <fmt/core.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>

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

// The value as a clerk reads it; a column this query did not select gives nothing.
std::optional<std::string> Read(Object& object, const std::string& property) {
  try {
    return object.Get(property).CStr();
  } catch (const RuntimeError& e) {
    if (e.Number() == 3265) return std::nullopt;
    throw;
  }
}

}  // namespace

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

std::vector<std::pair<std::string, std::string>> CurrentRow(Object& object, const std::vector<std::string>& properties) {
  std::vector<std::pair<std::string, std::string>> row;
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
    std::vector<std::string> row;
    for (std::size_t i = 0; i < properties.size(); ++i) {
      if (!selected[i]) continue;
      std::optional<std::string> value = Read(object, properties[i]);
      if (!value && table.rows.empty()) selected[i] = false;
      else row.push_back(value.value_or(""));
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
namespace {

// A value as the client shows it: Null as nothing, dates as mm/dd/yyyy (with
// the time of day when there is one), everything else in its text form.
std::string Shown(const Variant& value) {
  if (value.IsNull()) return "";
  if (value.Type() != VarType::Date) return value.CStr();
  using namespace std::chrono;
  const double serial = value.CDate().serial;
  const auto days = static_cast<int>(std::floor(serial));
  const year_month_day date{sys_days{1899y / December / 30} + std::chrono::days{days}};
  const auto seconds = static_cast<long>(std::lround((serial - days) * 86400.0));
  std::string text = fmt::format("{:02}/{:02}/{:04}", static_cast<unsigned>(date.month()),
                                 static_cast<unsigned>(date.day()), static_cast<int>(date.year()));
  if (seconds > 0) text += fmt::format(" {:02}:{:02}:{:02}", seconds / 3600, seconds / 60 % 60, seconds % 60);
  return text;
}

}  // namespace

Table AllColumns(Recordset& rows) {
  Table table;
  FieldCollection& fields = rows.Fields();
  for (std::int32_t i = 0; i < fields.Count(); ++i) table.columns.push_back(fields.Item(i).Name());
  while (!rows.EndOfFile()) {
    std::vector<std::string> row;
    for (std::int32_t i = 0; i < fields.Count(); ++i) {
      const Variant& value = fields.Item(i).Value();
      row.push_back(Shown(value));
    }
    table.Add(std::move(row));
    rows.MoveNext();
  }
  return table;
}

}  // namespace tarnwick::cli
