// What a connection keeps between calls: compiled statements, catalog
// entries, table layouts and translations (see engine_cache.hpp).
#include "gateway/sqlite/engine_cache.hpp"

#include <charconv>
#include <climits>

namespace tarnwick::sqlite::engine_detail {

void StatementLease::Release() {
  if (stmt_ == nullptr) return;
  StatementCache::GiveBack(stmt_, slot_);
  stmt_ = nullptr;
  slot_ = nullptr;
}

void StatementCache::GiveBack(sqlite3_stmt* stmt, Slot* slot) {
  if (slot == nullptr) {
    sqlite3_finalize(stmt);
    return;
  }
  if (slot->dropped) {
    sqlite3_finalize(stmt);
    delete slot;
    return;
  }
  sqlite3_reset(stmt);
  sqlite3_clear_bindings(stmt);
  slot->lent = false;
}

namespace {

// Forgets a cache entry: finalized now when idle, on return when lent.
void DropSlot(std::unique_ptr<Slot>& slot) {
  if (!slot) return;
  if (slot->lent) {
    slot->dropped = true;
    (void)slot.release();  // the lease finalizes the statement and frees the entry
    return;
  }
  sqlite3_finalize(slot->stmt);
  slot.reset();
}

}  // namespace

std::optional<KeyedLoad> KeyedLoadText(std::string_view sql) {
  const std::string_view text = sql;
  auto literal = [&](std::string_view word) {
    if (sql.substr(0, word.size()) != word) return false;
    sql.remove_prefix(word.size());
    return true;
  };
  auto name = [&] {
    std::size_t n = 0;
    while (n < sql.size() && ((sql[n] >= 'a' && sql[n] <= 'z') || (sql[n] >= 'A' && sql[n] <= 'Z') ||
                              sql[n] == '_' || (n > 0 && sql[n] >= '0' && sql[n] <= '9')))
      ++n;
    sql.remove_prefix(n);
    return n > 0;
  };
  if (!literal("SELECT * FROM ") || !name() || !literal(" WHERE ") || !name() || !literal(" = ")) return std::nullopt;
  const std::size_t head = text.size() - sql.size();
  std::string_view figures = sql.substr(sql.starts_with('-') ? 1 : 0);
  // Longer keys are left as written: from 19 figures on SQLite may read a
  // real number.
  if (figures.empty() || figures.size() > 18 || figures.find_first_not_of("0123456789") != std::string_view::npos)
    return std::nullopt;
  KeyedLoad load;
  const auto [end, ec] = std::from_chars(sql.data(), sql.data() + sql.size(), load.key);
  if (ec != std::errc() || end != sql.data() + sql.size()) return std::nullopt;
  load.sql.reserve(head + 2);
  load.sql.append(text.substr(0, head)).append("?1");
  return load;
}

int StatementCache::Prepare(sqlite3* db, std::string_view sql, StatementLease& out, std::size_t& taken) {
  out.Release();
  taken = 0;
  if (sql.size() > static_cast<std::size_t>(INT_MAX)) return SQLITE_TOOBIG;
  if (std::unique_ptr<Slot>* found = slots_.Find(sql); found != nullptr && !(*found)->lent) {
    Slot& slot = **found;
    slot.lent = true;
    out.stmt_ = slot.stmt;
    out.slot_ = &slot;
    taken = slot.tail;
    return SQLITE_OK;
  } else if (found != nullptr) {
    // The same text is already running (a nested use): this use gets a
    // statement of its own, finalized when it is done.
    sqlite3_stmt* own = nullptr;
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &own, &tail);
    if (rc != SQLITE_OK) {
      sqlite3_finalize(own);
      return rc;
    }
    out.stmt_ = own;
    taken = tail ? static_cast<std::size_t>(tail - sql.data()) : sql.size();
    return SQLITE_OK;
  }
  sqlite3_stmt* stmt = nullptr;
  const char* tail = nullptr;
  const int rc =
      sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt, &tail);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(stmt);
    return rc;
  }
  taken = tail ? static_cast<std::size_t>(tail - sql.data()) : sql.size();
  if (stmt == nullptr) return SQLITE_OK;  // only blanks or a comment: nothing to keep
  auto slot = std::make_unique<Slot>();
  slot->stmt = stmt;
  slot->tail = taken;
  slot->lent = true;
  Slot* raw = slot.get();
  slots_.Put(std::string(sql), std::move(slot), DropSlot);
  out.stmt_ = stmt;
  out.slot_ = raw;
  return SQLITE_OK;
}

std::string StatementCache::Execute(sqlite3* db, std::string_view sql) {
  StatementLease lease;
  std::size_t taken = 0;
  if (Prepare(db, sql, lease, taken) != SQLITE_OK) return sqlite3_errmsg(db);
  if (lease.get() == nullptr) return {};
  int rc;
  while ((rc = sqlite3_step(lease.get())) == SQLITE_ROW) {
  }
  if (rc != SQLITE_DONE) return sqlite3_errmsg(db);
  return {};
}

void StatementCache::Clear() { slots_.Clear(DropSlot); }

}  // namespace tarnwick::sqlite::engine_detail
