// Open office files kept for the next engine that opens the same file, so
// that a service answering many short requests neither opens the file nor
// reads its schema for each, and starts with the statements and translations
// the last engine compiled.
//
// Off until EnablePool is called (tarnwick serve does): a program that makes
// an object now and then opens and closes the file as before.
//
// An engine gives its connection back when it closes outside a unit of work
// with no statement running. A kept connection is used again only for the
// same file (the same device and inode at the path: a file replaced there is
// opened anew) still at this library's schema version.
//
// Thread safety: every function may be called from any thread; a kept
// connection is used by one engine at a time.
#pragma once

#include <sqlite3.h>
#include <sys/types.h>

#include <cstddef>
#include <memory>

#include "gateway/idle_pool.hpp"
#include "gateway/sqlite/engine_cache.hpp"
#include "gateway/sqlite/procedure.hpp"
#include "gateway/tsql/rewrite.hpp"
#include "gateway/tsql/translate.hpp"

namespace tarnwick::sqlite {

// One open office file and what an engine keeps about it between calls.
struct KeptOffice {
  KeptOffice() = default;
  KeptOffice(const KeptOffice&) = delete;
  KeptOffice& operator=(const KeptOffice&) = delete;
  // Closes it: every kept statement finalized, then the connection.
  ~KeptOffice();

  sqlite3* db = nullptr;
  std::unique_ptr<engine_detail::Session> session;
  engine_detail::LruMap<tsql::Translation> translations{1};
  tsql::ColumnLookup columns;
  dev_t device = 0;
  ino_t inode = 0;
};

// Keeps up to maxIdle open files, each for at most idleSeconds; 0 turns
// keeping off again and closes those kept.
void EnablePool(std::size_t maxIdle, int idleSeconds);

// The kept connections, by the path they were opened with.
IdlePool<std::unique_ptr<KeptOffice>>& OfficePool();

}  // namespace tarnwick::sqlite
