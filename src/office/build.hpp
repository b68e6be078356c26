// What building an office database takes and gives, on either engine: the
// options of a build, its progress reports, and its result. The file office
// (file_office.hpp) and the office on the server (server_office.hpp) are
// built from the same options and answer with the same statuses.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick::office {

// The seed of the sample office. The same seed and document count always
// give the same database contents.
inline constexpr std::uint64_t kSampleSeed = 20040305;
// The largest sample office a build makes.
inline constexpr std::int64_t kMaxSampleDocuments = 10'000'000;

struct OfficeProgress {
  std::string_view stage;  // "schema", "committees", "documents", "images", "indexes", ...
  std::int64_t done = 0;   // units of the stage finished so far
  std::int64_t total = 0;  // units of the stage; 0 when the stage has no count
};
using OfficeProgressCallback = std::function<void(const OfficeProgress&)>;

struct OfficeOptions {
  // Replace an existing office (file or database). Without it an existing
  // office is left alone.
  bool overwrite = false;
  // Fill a sample office with this many documents (0 gives committees, staff
  // and elections but no documents). Nothing: an empty office.
  std::optional<std::int64_t> sampleDocuments;
  std::uint64_t sampleSeed = kSampleSeed;
  // Read the SQL from this folder (laid out as db/sqlite for the file, as
  // db/postgres for the server) instead of the copy built into the library.
  std::filesystem::path sqlDirectory;
  // Called as the work advances, on the calling thread.
  OfficeProgressCallback progress;
  // The file only: its rows and no more (no indexes, name index, procedures
  // or statistics). The server builder copies the rows of such a file and
  // throws it away; a client cannot use it.
  bool rowsOnly = false;
};

enum class OfficeStatus {
  Ok,
  AlreadyExists,   // the file exists and overwrite was not asked for
  InUse,           // overwrite was asked for, but a client has the office open
  InvalidOptions,  // a bad path or sample size
  InvalidSource,   // the SQL sources are incomplete or do not compile
  DatabaseError,   // the engine or the file system failed
};

struct OfficeSummary {
  std::int64_t procedures = 0;
  std::int64_t committees = 0;
  std::int64_t officers = 0;
  std::int64_t users = 0;
  std::int64_t documents = 0;
  std::int64_t images = 0;
  double seconds = 0;
};

struct OfficeResult {
  OfficeStatus status = OfficeStatus::Ok;
  std::string message;  // empty on success
  OfficeSummary summary;
  bool ok() const { return status == OfficeStatus::Ok; }
};

}  // namespace tarnwick::office
