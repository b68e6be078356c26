// Creating an office database file: a new SQLite file with the office's
// tables, views, standard codes and settings, its stored procedures in the
// procedure catalog, and, on request, a synthetic sample office.
//
// The SQL comes from db/sqlite (embedded into the library at build time, or
// read from OfficeOptions::sqlDirectory for development). The file is built
// under a temporary name next to the target and put in place only when
// complete, so a failed or interrupted run never leaves a half-built office
// behind, and a forced run never destroys the old file before the new one is
// ready.
#pragma once

#include <filesystem>

#include "office/build.hpp"

namespace tarnwick::office {

OfficeResult CreateFileOffice(const std::filesystem::path& path, const OfficeOptions& options);

}  // namespace tarnwick::office
