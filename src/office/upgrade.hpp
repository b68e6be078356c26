// Bringing an office of an older schema version up to the current one, in
// place, on either engine (the file's current version is 4, the server's 5).
// What changed in 3: identifiers are never used twice, a document's scans
// and report links go with it when it is deleted (foreign keys), and
// update_date is stamped on every change. In 4: the name index, built from
// the office's committees and officers. In 5, on the server only: the
// current-committee view as the planner can count it, and trigram indexes
// for the name searches.
//
// An office of version 2 may hold scans and report links its deleted
// documents left behind: of no document at all, or, on the file, where the
// deleted document's number was given to a newer one, attached to that
// newer document though older than it. The upgrade removes both kinds and
// says how many of each it removed.
//
// The file is rebuilt beside the office from the current schema and the old
// office's rows, and put in place only when complete; the old office is kept
// as NAME.before-upgrade until then. On the server the change is one unit of
// work. Either way a failure leaves the office as it was.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "gateway/postgres/connection.hpp"
#include "office/build.hpp"

namespace tarnwick::office {

// The oldest schema version the upgrade brings up to the current one.
inline constexpr std::int32_t kOldestUpgradable = 2;

struct UpgradeResult {
  OfficeStatus status = OfficeStatus::Ok;
  std::string message;      // why it failed; empty on success
  std::int32_t from = 0;    // the version the office had
  std::int32_t to = 0;      // the version it has now (from == to: nothing to do)
  std::vector<std::string> removed;  // "2 scanned images of no document", one line per kind found
  bool ok() const { return status == OfficeStatus::Ok; }
};

// REQUIRES: no client has the office open (else InUse).
UpgradeResult UpgradeFileOffice(const std::filesystem::path& path);
UpgradeResult UpgradeServerOffice(const postgres::ConnectionSettings& office);

namespace detail {

// Fills the tables of a new, empty office (the connection's main database)
// with the rows of the office attached as "old", keeping every identifier,
// then removes what deleted documents left behind. Returns what it removed.
std::vector<std::string> LoadOlderOffice(sqlite3* db);

}  // namespace detail
}  // namespace tarnwick::office
