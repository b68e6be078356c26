// The service's logins and sessions, kept in two tables of the office
// database so that every `tarnwick serve` over one server database shares
// them: tw_login (one per office user who may sign in: role and password
// hash) and tw_session (one per signed-in browser: the hashes of its token
// and of its CSRF token, its user and its end). The first `tarnwick users
// add` makes the tables; an office without them has no logins.
//
// A login is one of the office's users (ref_user, by user name); adding a
// login for a name the office does not know adds that user. Times are whole
// seconds since 1970 (UTC), the same on both engines.
//
// Failures: a database that cannot be opened or a statement it refuses
// throws Problem (503 or 500) with the engine's words.
//
// Thread safety: a LoginStore is used by one thread; each call opens its own
// connection, so stores on many threads may share one office.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "http.hpp"

namespace tarnwick::service {

struct LoginRow {
  std::int32_t userGroupId = 0;
  std::string userName;
  std::string role;          // "clerk" or "admin"
  std::string passwordHash;  // libsodium's Argon2id text form
  std::int64_t failedLogins = 0;
  std::int64_t lockedUntil = 0;
};

struct SessionRow {
  std::int32_t userGroupId = 0;
  std::string userName;
  std::string role;
  std::string csrfHash;
  std::int64_t expires = 0;
};

// A password as libsodium's Argon2id text form (salt and costs included).
std::string HashPassword(const std::string& password);
// True when password is the one hashed; false for any other or a bad hash.
bool VerifyPassword(const std::string& hash, const std::string& password);
// 32 random bytes as 64 hexadecimal digits: a session or CSRF token.
std::string NewToken();
// A token's BLAKE2b-256 hash in hexadecimal, as the tables keep it.
std::string TokenHash(const std::string& token);
// The CSRF token of a session: a keyed hash of its session token, so that the
// desk's pages can ask for it again (GET /api/session) after a reload, and no
// one without the session cookie can compute it.
std::string CsrfToken(const std::string& sessionToken);

class LoginStore {
 public:
  explicit LoginStore(const Office& office) : office_(office) {}

  // Adds or replaces the login of userName (making the tables, and the office
  // user, when missing). REQUIRES: role is "clerk" or "admin".
  void Save(const std::string& userName, const std::string& role, const std::string& passwordHash);
  // Removes the login and its sessions; false when there was none.
  bool Remove(const std::string& userName);
  // Every login, by user name.
  std::vector<LoginRow> List();

  std::optional<LoginRow> Find(const std::string& userName);
  // Counts a failed sign-in and locks the login until lockedUntil.
  void RecordFailure(std::int32_t userGroupId, std::int64_t lockedUntil);
  // Starts a session (and clears the login's failures).
  void BeginSession(const std::string& tokenHash, const std::string& csrfHash, std::int32_t userGroupId,
                    std::int64_t expires);
  // The session of tokenHash while it lasts at `now`; an ended one is removed.
  std::optional<SessionRow> FindSession(const std::string& tokenHash, std::int64_t now);
  void EndSession(const std::string& tokenHash);

 private:
  const Office& office_;
};

}  // namespace tarnwick::service
