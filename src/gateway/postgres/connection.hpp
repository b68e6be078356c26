// A connection to the office server (PostgreSQL, through libpq), and the
// reading of the gateway's connection settings into libpq's.
//
// The server argument names where the server listens:
//   "host"            a host name or address, the default port 5432
//   "host:port"       with a port; "[::1]:5433" for an IPv6 address
//   "/folder"         a Unix socket in that folder, the default port
//   "/folder:port"    the socket of that port in that folder
// The database, user and password come from the connection settings. Trusted
// means no password is sent: the server identifies the user by the socket
// (peer) or by its own rules for the address. A user left empty is the
// server's default, the name of the account the client runs under.
//
// No error text made here contains the password.
//
// Thread safety: a Connection is used by one thread at a time.
#pragma once

#include <libpq-fe.h>

#include <memory>
#include <string>
#include <string_view>

namespace tarnwick::postgres {

struct ServerAddress {
  std::string host;  // a host name, an address or a socket folder
  std::string port;  // empty: the default
};

// Reads a server argument. False, with why in error, when it names no server
// (empty, a port that is no number from 1 to 65535, an unclosed "[").
bool ParseServer(std::string_view server, ServerAddress& out, std::string& error);

struct ConnectionSettings {
  std::string server;    // as ParseServer reads it
  std::string database;  // empty: the user's name, as the server's default
  std::string user;
  std::string password;  // not sent when trusted
  bool trusted = false;
  int timeoutSeconds = 0;  // to connect; 0 or less: 15 s
};

struct ConnDeleter {
  void operator()(PGconn* conn) const { PQfinish(conn); }
};
struct ResultDeleter {
  void operator()(PGresult* result) const { PQclear(result); }
};
using Connection = std::unique_ptr<PGconn, ConnDeleter>;
using Result = std::unique_ptr<PGresult, ResultDeleter>;

// Opens a connection with the settings. On failure returns null and sets
// error to a text naming the server and database and giving the server's
// reason (a wrong password, an unknown database, no server there).
// The session works in UTF-8 with ISO dates and standard_conforming_strings
// on (a connection on which the server does not report it on is refused);
// the server's notices are dropped, never printed.
Connection Connect(const ConnectionSettings& settings, std::string& error);

// The server's message for a failed result (or for the connection when the
// result is null), without the trailing line break.
std::string ErrorText(PGconn* conn, const PGresult* result);

// True when result is a success of any kind (command, rows, copy).
bool Succeeded(const PGresult* result);

// Runs a text without parameters. Empty on success, else the error text.
std::string ExecText(PGconn* conn, const std::string& sql);

// A name quoted as an identifier ("name", with inner quotes doubled),
// independent of any connection.
std::string QuoteIdentifier(std::string_view name);

// A text as a server literal that means the same whatever the session's
// standard_conforming_strings: 'text' with apostrophes doubled, or, when the
// text holds a backslash, E'text' with backslashes doubled too. (Connect
// also insists on the setting being on; this keeps a literal a literal even
// where something turned it off.)
std::string QuoteLiteral(std::string_view text);

}  // namespace tarnwick::postgres
