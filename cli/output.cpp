// Tables, records and messages in the three output forms.
#include "output.hpp"

#include <fmt/core.h>

#include <algorithm>
#include <nlohmann/json.hpp>

namespace tarnwick::cli {
namespace {

// Width on a terminal: UTF-8 continuation bytes take no column.
std::size_t DisplayWidth(const std::string& text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

void PadTo(std::string& line, const std::string& cell, std::size_t width) {
  line += cell;
  line.append(width - DisplayWidth(cell), ' ');
}

// RFC 4180: a field with a comma, a quote or a line break is quoted, quotes doubled.
std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

void PrintCsvLine(const std::vector<std::string>& cells, std::FILE* out) {
  std::string line;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (i > 0) line += ',';
    line += CsvField(cells[i]);
  }
  line += "\r\n";
  std::fputs(line.c_str(), out);
}

// Texts from the office are UTF-8; a byte sequence that is not is shown with
// the replacement character rather than making the whole output invalid JSON.
std::string JsonText(const nlohmann::ordered_json& value) {
  return value.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace

bool ParseFormat(const std::string& text, Format& format) {
  if (text == "table") format = Format::Table;
  else if (text == "csv") format = Format::Csv;
  else if (text == "json") format = Format::Json;
  else return false;
  return true;
}

void Print(const Table& table, Format format, std::FILE* out) {
  switch (format) {
    case Format::Csv:
      PrintCsvLine(table.columns, out);
      for (const auto& row : table.rows) PrintCsvLine(row, out);
      return;
    case Format::Json: {
      nlohmann::ordered_json rows = nlohmann::ordered_json::array();
      for (const auto& row : table.rows) {
        nlohmann::ordered_json object = nlohmann::ordered_json::object();
        for (std::size_t i = 0; i < table.columns.size() && i < row.size(); ++i) object[table.columns[i]] = row[i];
        rows.push_back(std::move(object));
      }
      fmt::print(out, "{}\n", JsonText(rows));
      return;
    }
    case Format::Table: break;
  }
  std::vector<std::size_t> widths(table.columns.size());
  for (std::size_t i = 0; i < widths.size(); ++i) widths[i] = DisplayWidth(table.columns[i]);
  for (const auto& row : table.rows) {
    for (std::size_t i = 0; i < widths.size() && i < row.size(); ++i) widths[i] = std::max(widths[i], DisplayWidth(row[i]));
  }
  auto line = [&](const std::vector<std::string>& cells) {
    std::string text;
    for (std::size_t i = 0; i < widths.size(); ++i) {
      if (i > 0) text += "  ";
      PadTo(text, i < cells.size() ? cells[i] : std::string(), widths[i]);
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    fmt::print(out, "{}\n", text);
  };
  line(table.columns);
  std::vector<std::string> rule;
  for (std::size_t w : widths) rule.emplace_back(w, '-');
  line(rule);
  for (const auto& row : table.rows) line(row);
  if (table.rows.empty()) fmt::print(out, "(no rows)\n");
}

void PrintRecord(const std::vector<std::pair<std::string, std::string>>& fields, Format format, std::FILE* out) {
  if (format == Format::Table) {
    std::size_t width = 0;
    for (const auto& [name, value] : fields) width = std::max(width, DisplayWidth(name));
    for (const auto& [name, value] : fields) {
      std::string text;
      PadTo(text, name, width);
      text += "  " + value;
      while (!text.empty() && text.back() == ' ') text.pop_back();
      fmt::print(out, "{}\n", text);
    }
    return;
  }
  Table table;
  table.rows.emplace_back();
  for (const auto& [name, value] : fields) {
    table.columns.push_back(name);
    table.rows.back().push_back(value);
  }
  if (format == Format::Csv) {
    Print(table, format, out);
    return;
  }
  nlohmann::ordered_json object = nlohmann::ordered_json::object();
  for (const auto& [name, value] : fields) object[name] = value;
  fmt::print(out, "{}\n", JsonText(object));
}

void PrintMessage(const std::string& text, Format format, std::FILE* out) {
  switch (format) {
    case Format::Table: fmt::print(out, "{}\n", text); return;
    case Format::Csv: PrintCsvLine({"message"}, out); PrintCsvLine({text}, out); return;
    case Format::Json: fmt::print(out, "{}\n", JsonText(nlohmann::ordered_json{{"message", text}})); return;
  }
}

}  // namespace tarnwick::cli
