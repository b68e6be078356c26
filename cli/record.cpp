// Column properties by name, read and written through late binding.
#include "record.hpp"

#include <fmt/core.h>

#include <optional>

#include "client/columns.hpp"
#include "session.hpp"
#include "tarnwick/recordset.hpp"
#include "tarnwick/variant.hpp"

namespace tarnwick::cli {
namespace {

// The value as a clerk reads it; a column this query did not select gives nothing.
std::optional<Cell> Read(Object& object, const std::string& property) {
  std::optional<Variant> value = client::ReadColumn(object, property);
  if (!value) return std::nullopt;
  return ColumnCell(property, *value);
}

}  // namespace

Cell ColumnCell(const std::string& property, const Variant& value) {
  return Cell(value.CStr(), client::StoredValue(property, value));
}

std::vector<std::string> ColumnProperties(const Object& object, const std::vector<std::string>& skip) {
  return client::ColumnProperties(object, skip);
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
  const std::optional<std::string> writer = client::SettableProperty(object, assignment.substr(0, eq));
  if (eq == std::string::npos || !writer) {
    std::string list;
    for (const auto& s : client::SettableProperties(object)) list += (list.empty() ? "" : ", ") + s;
    throw Failure(kExitUsage, fmt::format("\"{}\" is not NAME=VALUE with a settable column; the columns are: {}",
                                          assignment, list));
  }
  object.Put(*writer, Variant(assignment.substr(eq + 1)));
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
