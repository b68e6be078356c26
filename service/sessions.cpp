// Signing in and out: a clerk's name and password give a session, a random
// 256-bit token in an HttpOnly, SameSite=Strict cookie, and a CSRF token the
// page sends back in X-CSRF-Token with every request that changes data. Only
// their hashes are kept, in the office database. Failed sign-ins lock the
// login, from the fifth in a row, for a time that doubles with each failure.
#include <fmt/core.h>
#include <sodium.h>

#include <algorithm>
#include <chrono>

#include "http.hpp"
#include "logins.hpp"

namespace tarnwick::service {
namespace {

constexpr const char* kCookie = "tarnwick_session";
constexpr std::int64_t kFreeFailures = 5;
constexpr std::int64_t kFirstLock = 15;    // seconds, doubled with each later failure
constexpr std::int64_t kLongestLock = 300;  // seconds

std::int64_t Now() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// The session token of the request's cookie, or "".
std::string CookieToken(const httplib::Request& request) {
  const std::string cookies = request.get_header_value("Cookie");
  const std::string key = std::string(kCookie) + "=";
  for (std::size_t at = 0; at < cookies.size();) {
    while (at < cookies.size() && (cookies[at] == ' ' || cookies[at] == ';')) ++at;
    const std::size_t end = std::min(cookies.find(';', at), cookies.size());
    if (cookies.compare(at, key.size(), key) == 0) return cookies.substr(at + key.size(), end - at - key.size());
    at = end;
  }
  return {};
}

bool SameHash(const std::string& a, const std::string& b) {
  return a.size() == b.size() && sodium_memcmp(a.data(), b.data(), a.size()) == 0;
}

void Login(Call& c, std::int64_t sessionSeconds, bool secure) {
  const Json body = c.Body();
  if (!body.contains("user") || !body["user"].is_string() || !body.contains("password") || !body["password"].is_string()) {
    throw Problem(400, "sign in with {\"user\": ..., \"password\": ...}");
  }
  const std::string user = body["user"], password = body["password"];
  LoginStore store(c.office);
  const auto login = user.empty() || user.size() > 50 ? std::nullopt : store.Find(user);
  const std::int64_t now = Now();
  if (login && login->lockedUntil > now) {
    c.response.set_header("Retry-After", std::to_string(login->lockedUntil - now));
    throw Problem(429, fmt::format("too many failed sign-ins for {}; try again in {} seconds", user, login->lockedUntil - now));
  }
  // An unknown name costs as much as a wrong password, so that the time of
  // the answer does not tell which names have logins.
  static const std::string decoy = HashPassword(NewToken());
  if (!VerifyPassword(login ? login->passwordHash : decoy, password) || !login) {
    if (login) {
      const std::int64_t failures = login->failedLogins + 1;
      // A lock shorter than a few seconds would not slow a guesser, whose
      // every try already costs a password hash.
      const std::int64_t lock =
          failures < kFreeFailures
              ? 0
              : std::min<std::int64_t>(kLongestLock, kFirstLock << std::min<std::int64_t>(failures - kFreeFailures, 8));
      store.RecordFailure(login->userGroupId, lock == 0 ? 0 : now + lock);
    }
    throw Problem(401, "the user name or the password is wrong");
  }
  const std::string token = NewToken(), csrf = CsrfToken(token);
  store.BeginSession(TokenHash(token), TokenHash(csrf), login->userGroupId, now + sessionSeconds);
  c.response.set_header("Set-Cookie", fmt::format("{}={}; Path=/; Max-Age={}; HttpOnly; SameSite=Strict{}", kCookie,
                                                  token, sessionSeconds, secure ? "; Secure" : ""));
  c.Reply({{"user", login->userName}, {"role", login->role}, {"csrf_token", csrf}, {"expires_in", sessionSeconds}});
}

// GET /api/session: who is signed in, and the CSRF token of their session;
// {"user": null} for no one, which is an answer and not a refusal (a page
// asks this before it knows whether to show its sign-in form).
void Session(Call& c) {
  try {
    SignIn(c, false);
  } catch (const Problem& p) {
    if (p.Status() != 401) throw;
    c.Reply({{"user", nullptr}});
    return;
  }
  c.Reply({{"user", c.userName}, {"role", c.role}, {"csrf_token", CsrfToken(CookieToken(c.request))}});
}

void Logout(Call& c, bool secure) {
  LoginStore(c.office).EndSession(TokenHash(CookieToken(c.request)));
  c.response.set_header("Set-Cookie", fmt::format("{}=; Path=/; Max-Age=0; HttpOnly; SameSite=Strict{}", kCookie,
                                                  secure ? "; Secure" : ""));
  c.response.status = 204;
}

}  // namespace

void SignIn(Call& c, bool changesData) {
  const std::string token = CookieToken(c.request);
  if (token.empty()) throw Problem(401, "sign in first: POST /api/login");
  const auto session = LoginStore(c.office).FindSession(TokenHash(token), Now());
  if (!session) throw Problem(401, "the session has ended; sign in again");
  if (changesData && !SameHash(TokenHash(c.request.get_header_value("X-CSRF-Token")), session->csrfHash)) {
    throw Problem(403, "a request that changes data needs the X-CSRF-Token the sign-in gave");
  }
  c.userGroupId = session->userGroupId;
  c.userName = session->userName;
  c.role = session->role;
}

std::vector<Route> SessionRoutes(std::int64_t sessionSeconds, bool secure) {
  return {
      {"POST", "/api/login", Access::Public, "Sign in: a session cookie and the CSRF token to send with changes", {},
       "application/json", [=](Call& c) { Login(c, sessionSeconds, secure); }, "application/json"},
      {"GET", "/api/session", Access::Public, "The signed-in clerk and the CSRF token of their session (user null for none)", {},
       "application/json", Session},
      {"POST", "/api/logout", Access::Clerk, "Sign out: the session ends on every service", {}, "application/json",
       [=](Call& c) { Logout(c, secure); }},
  };
}

}  // namespace tarnwick::service
