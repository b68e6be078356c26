// Tables, records and messages in the three output forms.
#include "output.hpp"

#include <fmt/core.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string_view>
#include <nlohmann/json.hpp>

#include "client/json_value.hpp"

namespace tarnwick::cli {
namespace {

// Width on a terminal: UTF-8 continuation bytes take no column.
std::size_t DisplayWidth(const std::string& text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// The length of the UTF-8 sequence that starts at text[i], or 0 when the
// bytes there are no well-formed character.
std::size_t Utf8Length(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  const std::size_t n = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : (lead & 0xF0) == 0xE0 ? 3
                      : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
  if (n == 0 || i + n > text.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  }
  return n;
}

// A cell as a terminal may show it: the control characters (C0, DEL and the
// C1 range) and bytes that are no UTF-8 are written as escapes (\n, \t, \0,
// \x1b, \u009b), so that no stored text can move the cursor, change colours
// or end a row on the screen.
std::string ForTerminal(std::string_view text) {
  std::string shown;
  shown.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t n = Utf8Length(text, i);
    if (n == 1 && c >= 0x20 && c != 0x7F) {
      shown += text[i];
    } else if (n == 1) {
      switch (c) {
        case '\n': shown += "\\n"; break;
        case '\r': shown += "\\r"; break;
        case '\t': shown += "\\t"; break;
        case '\0': shown += "\\0"; break;
        default: shown += fmt::format("\\x{:02x}", c);
      }
    } else if (n == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
      shown += fmt::format("\\u{:04x}", static_cast<unsigned char>(text[i + 1]));  // C1 control
    } else if (n > 1) {
      shown.append(text.substr(i, n));
    } else {
      shown += fmt::format("\\x{:02x}", c);
      n = 1;
    }
    i += n;
  }
  return shown;
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
  // Written by length: a NUL in a value is data, not the end of the line.
  std::fwrite(line.data(), 1, line.size(), out);
}

// Texts from the office are UTF-8; a byte sequence that is not is shown with
// the replacement character rather than making the whole output invalid JSON.
// The writer escapes the C0 controls; DEL and the C1 controls, which JSON
// allows raw but a terminal would obey, are escaped here. Outside strings a
// JSON text is ASCII without them, so every one found is inside a string.
std::string JsonText(const nlohmann::ordered_json& value) {
  const std::string raw = value.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
  std::string text;
  text.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const auto c = static_cast<unsigned char>(raw[i]);
    const auto next = i + 1 < raw.size() ? static_cast<unsigned char>(raw[i + 1]) : 0;
    if (c == 0x7F) {
      text += "\\u007f";
    } else if (c == 0xC2 && next >= 0x80 && next < 0xA0) {
      text += fmt::format("\\u{:04x}", next);
      ++i;
    } else {
      text += raw[i];
    }
  }
  return text;
}

nlohmann::ordered_json JsonCell(const Cell& cell) {
  return cell.value ? client::JsonValue(*cell.value) : nlohmann::ordered_json(cell.text);
}

std::string ClerkText(const Variant& value) {
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

std::vector<std::string> Texts(const std::vector<Cell>& cells) {
  std::vector<std::string> texts;
  texts.reserve(cells.size());
  for (const Cell& cell : cells) texts.push_back(cell.text);
  return texts;
}

}  // namespace

Cell::Cell(const Variant& typed) : text(ClerkText(typed)), value(typed) {}

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
      for (const auto& row : table.rows) PrintCsvLine(Texts(row), out);
      return;
    case Format::Json: {
      nlohmann::ordered_json rows = nlohmann::ordered_json::array();
      for (const auto& row : table.rows) {
        nlohmann::ordered_json object = nlohmann::ordered_json::object();
        for (std::size_t i = 0; i < table.columns.size() && i < row.size(); ++i) {
          object[table.columns[i]] = JsonCell(row[i]);
        }
        rows.push_back(std::move(object));
      }
      fmt::print(out, "{}\n", JsonText(rows));
      return;
    }
    case Format::Table: break;
  }
  // What the terminal shows: the escaped texts, header first.
  std::vector<std::vector<std::string>> shown{{}};
  for (const auto& name : table.columns) shown[0].push_back(ForTerminal(name));
  for (const auto& row : table.rows) {
    shown.emplace_back();
    for (const auto& cell : row) shown.back().push_back(ForTerminal(cell.text));
  }
  std::vector<std::size_t> widths(table.columns.size());
  for (const auto& row : shown) {
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
  line(shown[0]);
  std::vector<std::string> rule;
  for (std::size_t w : widths) rule.emplace_back(w, '-');
  line(rule);
  for (std::size_t r = 1; r < shown.size(); ++r) line(shown[r]);
  if (table.rows.empty()) fmt::print(out, "(no rows)\n");
}

void PrintRecord(const Record& fields, Format format, std::FILE* out) {
  if (format == Format::Table) {
    std::size_t width = 0;
    for (const auto& [name, value] : fields) width = std::max(width, DisplayWidth(name));
    for (const auto& [name, value] : fields) {
      std::string text;
      PadTo(text, name, width);
      text += "  " + ForTerminal(value.text);
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
  for (const auto& [name, value] : fields) object[name] = JsonCell(value);
  fmt::print(out, "{}\n", JsonText(object));
}

void PrintMessage(const std::string& text, Format format, std::FILE* out) {
  switch (format) {
    case Format::Table: fmt::print(out, "{}\n", ForTerminal(text)); return;
    case Format::Csv: PrintCsvLine({"message"}, out); PrintCsvLine({text}, out); return;
    case Format::Json: fmt::print(out, "{}\n", JsonText(nlohmann::ordered_json{{"message", text}})); return;
  }
}

}  // namespace tarnwick::cli
