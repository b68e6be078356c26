// Output of the office subcommands: aligned tables for people, CSV and JSON
// for scripts. Every listing goes through Table so that the three forms
// always carry the same columns and rows.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace tarnwick::cli {

enum class Format { Table, Csv, Json };

// Parses "table", "csv" or "json".
bool ParseFormat(const std::string& text, Format& format);

struct Table {
  std::vector<std::string> columns;
  std::vector<std::vector<std::string>> rows;  // each as long as columns

  void Add(std::vector<std::string> row) { rows.push_back(std::move(row)); }
};

// Writes the table: aligned columns with a header rule (and "(no rows)" when
// empty), CSV with a header line and RFC 4180 quoting, or a JSON array of
// objects keyed by column name.
void Print(const Table& table, Format format, std::FILE* out = stdout);

// A single record as name/value pairs: two aligned columns for people, a
// one-row CSV, or one JSON object.
void PrintRecord(const std::vector<std::pair<std::string, std::string>>& fields, Format format,
                 std::FILE* out = stdout);

// A short message for people ("Saved document 345"); in CSV and JSON
// formats it is written as {"message": ...} or a one-cell CSV so that scripts
// always get parsable output.
void PrintMessage(const std::string& text, Format format, std::FILE* out = stdout);

}  // namespace tarnwick::cli
