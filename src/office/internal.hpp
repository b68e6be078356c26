// Pieces shared by the two office builders and the sample office: how a
// build reports failure, the line a source position stands on, and the
// SQLite statements that the file office and the sample office run.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "office/build.hpp"

namespace tarnwick::office::detail {

// A failure with its status, thrown inside a build and returned as its result.
struct Failure {
  OfficeStatus status;
  std::string message;
};

// A failure of SQLite while building the office; the message names what was being done.
class SqlError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Runs one build of an office and says how it went: the build fills the
// summary, each way it can fail (a Failure, SqlError, a file system error,
// memory running out) becomes the result's status and message, and the
// summary gets the seconds the whole build took.
OfficeResult RunBuild(const std::function<void(OfficeSummary&)>& build);

// The line (from 1) of text on which offset stands; an offset past the end
// counts as the end.
int LineOf(std::string_view text, std::size_t offset);

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

// Fills the generated part of the sample office (staff, elections,
// committees with their officers, documents with their links and reports,
// page images) into a database whose schema, defaults and sample.sql rows
// are in place and whose indexes are not built yet. Returns the counts of
// what it made (the summary's procedures and seconds stay 0).
// Deterministic for a given seed and document count. Throws SqlError.
OfficeSummary FillSampleOffice(sqlite3* db, std::int64_t documents, std::uint64_t seed,
                               const OfficeProgressCallback& progress);

// A page the sample office scans: 8-bit pixels, rows top first, one sample a
// pixel (grey; a bilevel page holds only 0 and 255) or three (RGB).
struct ScanPage {
  std::uint32_t width = 0, height = 0;
  int samples = 1;
  bool bilevel = true;
  double dpi = 100;
  std::vector<std::uint8_t> pixels;
};

// A page of "text" (a frame and lines of dashes) drawn from `seed`.
ScanPage DrawScanPage(std::uint32_t width, std::uint32_t height, int samples, bool bilevel, std::uint64_t seed);
// The pages as one TIFF in a compression libtiff writes (its COMPRESSION_
// value): bilevel pages 1 bit a pixel with 0 white, grey pages 8 bits, colour
// pages RGB, or YCbCr when JPEG-compressed. The CCITT compressions take
// bilevel pages only, JPEG grey and colour ones. Throws Failure.
std::string WriteScanTiff(const std::vector<ScanPage>& pages, std::uint16_t compression);
// The page as an 8-bit grey or RGB PNG. Throws Failure.
std::string WriteScanPng(const ScanPage& page);

}  // namespace tarnwick::office::detail
