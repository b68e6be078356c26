// Idle connections to the office server, kept for the next object that
// connects with the same settings, so that a service answering many short
// requests does not start a server session (a process on the server, and a
// password exchange) for each of them.
//
// Off until EnablePool is called: a program that makes an object now and
// then (the client, the tests) opens and closes its connections as before,
// and a database it is done with can be dropped at once.
//
// A connection is kept only when it is idle (no unit of work open, no query
// running) and its session has been reset (DISCARD ALL: settings, prepared
// statements, cursors, temporary tables and advisory locks all go), so what
// one object did on it never reaches the next. One kept longer than the
// pool's idle limit is closed; one the server ended while it was kept is
// found when it is taken, closed, and replaced by a new connection.
//
// Thread safety: every function may be called from any thread.
#pragma once

#include <cstddef>
#include <string>

#include "gateway/postgres/connection.hpp"

namespace tarnwick::postgres {

// Keeps up to maxIdle idle connections, each for at most idleSeconds.
// maxIdle 0 turns keeping off again (and closes those kept).
void EnablePool(std::size_t maxIdle, int idleSeconds);

// A connection with the settings: a kept one that still answers, else a new
// one, with Connect's contract (null, and why in error, on failure).
Connection TakeConnection(const ConnectionSettings& settings, std::string& error);

// Ends the caller's use of a connection taken with these settings: kept for
// reuse when the pool is on, has room, and the connection is idle and
// healthy; closed otherwise. A null connection is ignored.
void GiveBack(const ConnectionSettings& settings, Connection connection);

// How many idle connections are kept now.
std::size_t PooledConnections();

}  // namespace tarnwick::postgres
