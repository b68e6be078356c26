// The pool of idle office-server connections.
#include "gateway/postgres/pool.hpp"

#include "gateway/idle_pool.hpp"

namespace tarnwick::postgres {
namespace {

IdlePool<Connection>& ThePool() {
  static IdlePool<Connection> pool;
  return pool;
}

// Connections are shared only between identical settings: the same server,
// database, user, password and kind of login.
std::string KeyOf(const ConnectionSettings& s) {
  std::string key = s.server;
  for (const std::string* part : {&s.database, &s.user, &s.password}) key += '\0' + *part;
  return key + (s.trusted ? "\1" : "\2");
}

// True when a kept connection still answers: a round trip finds one the
// server ended while it was kept.
bool Answers(const Connection& conn) {
  if (PQstatus(conn.get()) != CONNECTION_OK) return false;
  Result r(PQexec(conn.get(), "SELECT 1"));
  return Succeeded(r.get());
}

}  // namespace

void EnablePool(std::size_t maxIdle, int idleSeconds) { ThePool().Enable(maxIdle, idleSeconds); }

Connection TakeConnection(const ConnectionSettings& settings, std::string& error) {
  if (std::optional<Connection> kept = ThePool().Take(KeyOf(settings), Answers)) return std::move(*kept);
  return Connect(settings, error);
}

void GiveBack(const ConnectionSettings& settings, Connection connection) {
  if (!connection || !ThePool().Enabled()) return;
  if (PQstatus(connection.get()) != CONNECTION_OK || PQtransactionStatus(connection.get()) != PQTRANS_IDLE) return;
  if (!ExecText(connection.get(), "DISCARD ALL").empty()) return;
  ThePool().Give(KeyOf(settings), std::move(connection));
}

std::size_t PooledConnections() { return ThePool().Size(); }

}  // namespace tarnwick::postgres
