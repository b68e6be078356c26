// Pieces shared by the office database's creation and its sample office.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "office/office.hpp"

namespace tarnwick::office::detail {

// A failure of SQLite while building the office; the message names what was being done.
class SqlError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Runs statements that return no rows.
void Exec(sqlite3* db, const char* sql);

// One prepared statement, bound by position (1-based) and run again and again.
class Statement {
 public:
  Statement(sqlite3* db, std::string_view sql);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Bind(int index, std::int64_t value);
  Statement& Bind(int index, int value) { return Bind(index, static_cast<std::int64_t>(value)); }
  Statement& Bind(int index, double value);
  Statement& Bind(int index, std::string_view text);
  Statement& Bind(int index, const char* text) { return Bind(index, std::string_view(text)); }
  Statement& BindBlob(int index, const void* data, std::size_t size);
  Statement& BindNull(int index);
  // Runs the statement to its end and clears the bindings for the next row.
  void Run();
  // Steps once; true while a row is there. Reset() starts it over.
  bool Step();
  void Reset();
  sqlite3_stmt* get() const { return stmt_; }

 private:
  void Check(int rc, const char* what);
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

struct SampleCounts {
  std::int64_t committees = 0;
  std::int64_t officers = 0;
  std::int64_t users = 0;
  std::int64_t documents = 0;
  std::int64_t images = 0;
};

// Fills the generated part of the sample office (staff, elections,
// committees with their officers, documents with their links and reports,
// page images) into a database whose schema, defaults and sample.sql rows
// are in place and whose indexes are not built yet. Deterministic for a
// given seed and document count. Throws SqlError.
SampleCounts FillSampleOffice(sqlite3* db, std::int64_t documents, std::uint64_t seed,
                              const OfficeProgressCallback& progress);

// A small multi-page bilevel TIFF image of `pages` pages, its pattern drawn
// from `seed`: the sample office's scanned pages.
std::string MakeSampleTiff(int pages, std::uint64_t seed);

}  // namespace tarnwick::office::detail
