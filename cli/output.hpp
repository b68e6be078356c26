// Output of the office subcommands: aligned tables for people, CSV and JSON
// for scripts. Every listing goes through Table so that the three forms
// always carry the same columns and rows.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tarnwick/variant.hpp"

namespace tarnwick::cli {

enum class Format { Table, Csv, Json };

// Parses "table", "csv" or "json".
bool ParseFormat(const std::string& text, Format& format);

// One value of a listing: its text as the clerk's table and CSV show it, and
// the typed value JSON gives scripts (a number as a number, a date in ISO
// form). A cell made from text alone is text in JSON too.
struct Cell {
  Cell(std::string shown) : text(std::move(shown)) {}
  Cell(const char* shown) : text(shown) {}
  Cell(std::string shown, Variant typed) : text(std::move(shown)), value(std::move(typed)) {}
  // The value with the client's text for it: Null as nothing, dates as
  // mm/dd/yyyy (with the time of day when there is one), the rest as CStr.
  explicit Cell(const Variant& typed);

  std::string text;
  std::optional<Variant> value;  // none: JSON carries the text
};

struct Table {
  std::vector<std::string> columns;
  std::vector<std::vector<Cell>> rows;  // each as long as columns

  void Add(std::vector<Cell> row) { rows.push_back(std::move(row)); }
};

using Record = std::vector<std::pair<std::string, Cell>>;

// Writes the table: aligned columns with a header rule (and "(no rows)" when
// empty), CSV with a header line and RFC 4180 quoting, or a JSON array of
// objects keyed by column name.
void Print(const Table& table, Format format, std::FILE* out = stdout);

// A single record as name/value pairs: two aligned columns for people, a
// one-row CSV, or one JSON object.
void PrintRecord(const Record& fields, Format format, std::FILE* out = stdout);

// A short message for people ("Saved document 345"); in CSV and JSON
// formats it is written as {"message": ...} or a one-cell CSV so that scripts
// always get parsable output.
void PrintMessage(const std::string& text, Format format, std::FILE* out = stdout);

}  // namespace tarnwick::cli
