// The pool of idle office-server connections: one list, newest last, of
// connections with the settings they were opened with.
#include "gateway/postgres/pool.hpp"

#include <algorithm>
#include <chrono>
#include <deque>
#include <mutex>

namespace tarnwick::postgres {
namespace {

using Clock = std::chrono::steady_clock;

struct Kept {
  std::string key;
  Connection connection;
  Clock::time_point since;
};

struct Pool {
  std::mutex mutex;
  std::size_t maxIdle = 0;
  Clock::duration idleLimit{};
  std::deque<Kept> idle;  // oldest first

  // Closes the connections kept past the idle limit. REQUIRES: mutex held.
  void Expire(Clock::time_point now) {
    while (!idle.empty() && now - idle.front().since > idleLimit) idle.pop_front();
  }
};

Pool& ThePool() {
  static Pool pool;
  return pool;
}

// Connections are shared only between identical settings: the same server,
// database, user, password and kind of login.
std::string KeyOf(const ConnectionSettings& s) {
  std::string key = s.server;
  for (const std::string* part : {&s.database, &s.user, &s.password}) key += '\0' + *part;
  return key + (s.trusted ? "\1" : "\2");
}

// True when a kept connection still answers the server's way: a round trip
// finds one the server ended while it was kept.
bool Answers(PGconn* conn) {
  if (PQstatus(conn) != CONNECTION_OK) return false;
  Result r(PQexec(conn, "SELECT 1"));
  return Succeeded(r.get());
}

}  // namespace

void EnablePool(std::size_t maxIdle, int idleSeconds) {
  Pool& pool = ThePool();
  std::deque<Kept> closing;
  {
    std::lock_guard lock(pool.mutex);
    pool.maxIdle = maxIdle;
    pool.idleLimit = std::chrono::seconds(std::max(idleSeconds, 0));
    while (pool.idle.size() > maxIdle) {
      closing.push_back(std::move(pool.idle.front()));
      pool.idle.pop_front();
    }
  }
  // closing's connections end here, outside the lock.
}

Connection TakeConnection(const ConnectionSettings& settings, std::string& error) {
  Pool& pool = ThePool();
  const std::string key = KeyOf(settings);
  for (;;) {
    Connection found;
    {
      std::lock_guard lock(pool.mutex);
      pool.Expire(Clock::now());
      // The most recently kept first: it is the likeliest to be warm.
      for (auto it = pool.idle.rbegin(); it != pool.idle.rend(); ++it) {
        if (it->key != key) continue;
        found = std::move(it->connection);
        pool.idle.erase(std::next(it).base());
        break;
      }
    }
    if (!found) return Connect(settings, error);
    if (Answers(found.get())) return found;
    // The server ended it while it was kept: close it and try the next.
  }
}

void GiveBack(const ConnectionSettings& settings, Connection connection) {
  if (!connection) return;
  Pool& pool = ThePool();
  {
    std::lock_guard lock(pool.mutex);
    if (pool.maxIdle == 0) return;
  }
  if (PQstatus(connection.get()) != CONNECTION_OK || PQtransactionStatus(connection.get()) != PQTRANS_IDLE) return;
  if (!ExecText(connection.get(), "DISCARD ALL").empty()) return;
  std::deque<Kept> closing;
  std::lock_guard lock(pool.mutex);
  const Clock::time_point now = Clock::now();
  pool.Expire(now);
  if (pool.maxIdle == 0) return;
  if (pool.idle.size() >= pool.maxIdle) {
    closing.push_back(std::move(pool.idle.front()));
    pool.idle.pop_front();
  }
  pool.idle.push_back({KeyOf(settings), std::move(connection), now});
}

std::size_t PooledConnections() {
  Pool& pool = ThePool();
  std::lock_guard lock(pool.mutex);
  return pool.idle.size();
}

}  // namespace tarnwick::postgres
