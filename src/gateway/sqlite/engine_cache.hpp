// What one connection of the embedded engine keeps between calls so that a
// document save does not compile the same SQL, read and parse the same
// catalog entry, look up the same table layout or translate the same T-SQL
// text over and over:
//
// - StatementCache: prepared statements keyed by their SQL text, least
//   recently used dropped first. A statement is lent out for one use and
//   comes back reset with its bindings cleared; while it is out, another use
//   of the same text gets a statement of its own. SQLite recompiles a kept
//   statement by itself after a schema change.
// - The catalog procedures already parsed, checked against the catalog row on
//   every use (one step of a kept statement), so that a procedure redefined by
//   any connection is picked up at once.
// - The layout (name as spelt, columns and their declared types) of the tables
//   the general procedures touch, dropped whenever the schema version moves.
// - T-SQL translations keyed by the text sent, least recently used dropped first.
//
// A keyed load (select * from ref_document where unique_id = 42, sent by
// every class reading its row) differs from the last one only in the key; it
// runs as one kept statement with the key bound (KeyedLoadText).
#pragma once

#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tarnwick::sqlite::engine_detail {

struct TextHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
};

// A map of bounded size that forgets the entry used longest ago.
template <typename Value>
class LruMap {
 public:
  explicit LruMap(std::size_t capacity) : capacity_(capacity == 0 ? 1 : capacity) {}

  // The value kept for key, now the most recently used; nullptr when none.
  Value* Find(std::string_view key) {
    const auto found = index_.find(key);
    if (found == index_.end()) return nullptr;
    order_.splice(order_.begin(), order_, found->second);
    return &found->second->second;
  }
  // Keeps value under key (replacing any earlier one); when the map is full
  // the least recently used entry is handed to dropped and forgotten.
  template <typename Dropped>
  Value& Put(std::string key, Value value, Dropped&& dropped) {
    if (const auto found = index_.find(std::string_view(key)); found != index_.end()) {
      dropped(found->second->second);
      order_.erase(found->second);
      index_.erase(found);
    }
    while (order_.size() >= capacity_) {
      auto& last = order_.back();
      dropped(last.second);
      index_.erase(std::string_view(last.first));
      order_.pop_back();
    }
    order_.emplace_front(std::move(key), std::move(value));
    index_.emplace(std::string_view(order_.front().first), order_.begin());
    return order_.front().second;
  }
  template <typename Dropped>
  void Clear(Dropped&& dropped) {
    for (auto& entry : order_) dropped(entry.second);
    index_.clear();
    order_.clear();
  }
  std::size_t Size() const { return order_.size(); }

 private:
  using Entry = std::pair<std::string, Value>;
  std::size_t capacity_;
  std::list<Entry> order_;  // most recently used first
  std::unordered_map<std::string_view, typename std::list<Entry>::iterator, TextHash, std::equal_to<>> index_;
};

// The translated text of a keyed load, "SELECT * FROM table WHERE column =
// 42" (names as plain words, the key a whole number, possibly negative), as
// "SELECT * FROM table WHERE column = ?1" and the key; nothing for any other
// text. Binding the key keeps the meaning: a bound whole number compares with
// the column exactly as the literal did.
struct KeyedLoad {
  std::string sql;
  std::int64_t key = 0;
};
std::optional<KeyedLoad> KeyedLoadText(std::string_view sql);

class StatementCache;

// A prepared statement on loan from the cache (or made for this use only);
// given back, reset and unbound, when the lease ends.
class StatementLease {
 public:
  StatementLease() = default;
  ~StatementLease() { Release(); }
  StatementLease(StatementLease&& other) noexcept { *this = std::move(other); }
  StatementLease& operator=(StatementLease&& other) noexcept {
    if (this != &other) {
      Release();
      stmt_ = std::exchange(other.stmt_, nullptr);
      slot_ = std::exchange(other.slot_, nullptr);
    }
    return *this;
  }
  StatementLease(const StatementLease&) = delete;
  StatementLease& operator=(const StatementLease&) = delete;

  sqlite3_stmt* get() const { return stmt_; }
  void Release();

 private:
  friend class StatementCache;
  sqlite3_stmt* stmt_ = nullptr;
  struct Slot* slot_ = nullptr;  // the cache entry lent out, or nullptr for a statement of this use only
};

struct Slot {
  sqlite3_stmt* stmt = nullptr;
  std::size_t tail = 0;  // bytes of the text the statement took
  bool lent = false;
  bool dropped = false;  // forgotten by the cache while lent: finalized on return
};

class StatementCache {
 public:
  explicit StatementCache(std::size_t capacity) : slots_(capacity) {}
  ~StatementCache() { Clear(); }
  StatementCache(const StatementCache&) = delete;
  StatementCache& operator=(const StatementCache&) = delete;

  // Compiles the first statement of sql (or takes it from the cache): out
  // holds it, or nothing when the text starts with only blanks or a comment;
  // taken is how many bytes of sql it used. Returns SQLite's result code; on
  // a failure sqlite3_errmsg(db) tells why.
  int Prepare(sqlite3* db, std::string_view sql, StatementLease& out, std::size_t& taken);
  // Runs a statement that returns no rows ("BEGIN IMMEDIATE", "COMMIT").
  // Returns an error text, empty on success.
  std::string Execute(sqlite3* db, std::string_view sql);
  // Finalizes every statement not on loan; those on loan are finalized when
  // given back, which may be after the cache is gone.
  void Clear();
  std::size_t Size() const { return slots_.Size(); }

 private:
  friend class StatementLease;
  // Touches only the slot, never the cache: a lease may outlive the cache
  // (whose Clear has then marked the slot dropped).
  static void GiveBack(sqlite3_stmt* stmt, Slot* slot);
  LruMap<std::unique_ptr<Slot>> slots_;
};

}  // namespace tarnwick::sqlite::engine_detail
