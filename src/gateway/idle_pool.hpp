// Idle connections kept for reuse, by a key naming what they connect to:
// what the engines' pools share (gateway/postgres/pool, gateway/sqlite/pool).
// Each engine says what an item is, when one may be kept and how it is reset;
// this keeps them: up to a number, each for up to a time, newest taken first.
//
// Off until Enable: then Give drops (closes) every item at once.
//
// Thread safety: every member may be called from any thread. Items are
// closed (destroyed) outside the pool's lock.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

namespace tarnwick {

template <class Item>
class IdlePool {
 public:
  // Keeps up to maxIdle items, each for at most idleSeconds; maxIdle 0
  // turns keeping off and closes what was kept.
  void Enable(std::size_t maxIdle, int idleSeconds) {
    std::deque<Kept> closing;
    std::lock_guard lock(mutex_);
    maxIdle_ = maxIdle;
    idleLimit_ = std::chrono::seconds(std::max(idleSeconds, 0));
    while (idle_.size() > maxIdle_) MoveOldest(closing);
  }

  bool Enabled() const {
    std::lock_guard lock(mutex_);
    return maxIdle_ > 0;
  }

  // The most recently kept item under key for which usable(item) holds
  // (called outside the lock); one for which it does not is closed and the
  // next tried. Nothing when none is left.
  template <class Usable>
  std::optional<Item> Take(const std::string& key, Usable&& usable) {
    for (;;) {
      std::optional<Item> found;
      {
        std::deque<Kept> closing;
        std::lock_guard lock(mutex_);
        Expire(closing);
        for (auto it = idle_.rbegin(); it != idle_.rend(); ++it) {
          if (it->key != key) continue;
          found.emplace(std::move(it->item));
          idle_.erase(std::next(it).base());
          break;
        }
      }
      if (!found) return std::nullopt;
      if (usable(*found)) return found;
    }
  }

  // Keeps item under key when the pool is on (closing the oldest kept when
  // full); closes it otherwise.
  void Give(std::string key, Item item) {
    std::deque<Kept> closing;
    std::lock_guard lock(mutex_);
    if (maxIdle_ == 0) {
      closing.push_back({std::move(key), std::move(item), {}});
      return;
    }
    Expire(closing);
    if (idle_.size() >= maxIdle_) MoveOldest(closing);
    idle_.push_back({std::move(key), std::move(item), Clock::now()});
  }

  std::size_t Size() const {
    std::lock_guard lock(mutex_);
    return idle_.size();
  }

 private:
  using Clock = std::chrono::steady_clock;
  struct Kept {
    std::string key;
    Item item;
    Clock::time_point since;
  };

  // REQUIRES: mutex_ held. closing is destroyed after the lock is released.
  void MoveOldest(std::deque<Kept>& closing) {
    closing.push_back(std::move(idle_.front()));
    idle_.pop_front();
  }
  void Expire(std::deque<Kept>& closing) {
    const Clock::time_point now = Clock::now();
    while (!idle_.empty() && now - idle_.front().since > idleLimit_) MoveOldest(closing);
  }

  mutable std::mutex mutex_;
  std::size_t maxIdle_ = 0;
  Clock::duration idleLimit_{};
  std::deque<Kept> idle_;  // oldest first
};

}  // namespace tarnwick
