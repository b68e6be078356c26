// The pool of open office files.
#include "gateway/sqlite/pool.hpp"

namespace tarnwick::sqlite {

KeptOffice::~KeptOffice() {
  if (db == nullptr) return;
  sqlite3_set_authorizer(db, nullptr, nullptr);  // it points into the session
  session.reset();
  sqlite3_close_v2(db);
}

IdlePool<std::unique_ptr<KeptOffice>>& OfficePool() {
  static IdlePool<std::unique_ptr<KeptOffice>> pool;
  return pool;
}

void EnablePool(std::size_t maxIdle, int idleSeconds) { OfficePool().Enable(maxIdle, idleSeconds); }

}  // namespace tarnwick::sqlite
