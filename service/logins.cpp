// The login and session tables, through the service's own connection to the
// office, with one SQL text per step that both engines read alike (times as
// whole seconds).
#include "logins.hpp"

#include <fmt/core.h>
#include <sodium.h>

#include <memory>

#include "office_sql.hpp"

namespace tarnwick::service {
namespace {

constexpr const char* kCreateTables[] = {
    "create table if not exists tw_login ("
    " user_group_id integer primary key,"
    " role varchar(10) not null check (role in ('clerk', 'admin')),"
    " password_hash varchar(255) not null,"
    " failed_logins integer not null default 0,"
    " locked_until bigint not null default 0)",
    "create table if not exists tw_session ("
    " token_hash varchar(64) primary key,"
    " csrf_hash varchar(64) not null,"
    " user_group_id integer not null,"
    " expires bigint not null)",
};

// The open office user of a name (the row without an end date).
constexpr const char* kUserGroup = "select group_id from ref_user where user_name = $1 and end_date is null";

constexpr const char* kLoginColumns =
    "select l.user_group_id, u.user_name, l.role, l.password_hash, l.failed_logins, l.locked_until "
    "from tw_login l join ref_user u on u.group_id = l.user_group_id and u.end_date is null ";

LoginRow ToLogin(const std::vector<std::string>& r) {
  return {std::stoi(r[0]), r[1], r[2], r[3], std::stoll(r[4]), std::stoll(r[5])};
}

// True when the office has the login tables (an office no one added a login
// to has none). Asked outside any unit of work: on the server a failed
// statement would end one.
bool HasLogins(OfficeSql& sql) {
  try {
    sql.Query("select 1 from tw_login where 1 = 0");
    return true;
  } catch (const Problem&) {
    return false;
  }
}

std::string Hex(const unsigned char* bytes, std::size_t size) {
  std::string out(size * 2 + 1, '\0');
  sodium_bin2hex(out.data(), out.size(), bytes, size);
  out.pop_back();
  return out;
}

void StartSodium() {
  if (sodium_init() < 0) throw Problem(500, "the cryptography library cannot start");
}

}  // namespace

std::string HashPassword(const std::string& password) {
  StartSodium();
  char hash[crypto_pwhash_STRBYTES];
  if (crypto_pwhash_str(hash, password.data(), password.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                        crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0) {
    throw Problem(503, "no memory to hash the password");
  }
  return hash;
}

bool VerifyPassword(const std::string& hash, const std::string& password) {
  StartSodium();
  return crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
}

std::string NewToken() {
  StartSodium();
  unsigned char bytes[32];
  randombytes_buf(bytes, sizeof bytes);
  return Hex(bytes, sizeof bytes);
}

std::string TokenHash(const std::string& token) {
  StartSodium();
  unsigned char hash[crypto_generichash_BYTES];
  crypto_generichash(hash, sizeof hash, reinterpret_cast<const unsigned char*>(token.data()), token.size(), nullptr, 0);
  return Hex(hash, sizeof hash);
}

std::string CsrfToken(const std::string& sessionToken) {
  StartSodium();
  static constexpr char kPurpose[] = "tarnwick csrf";
  unsigned char key[crypto_generichash_KEYBYTES];
  crypto_generichash(key, sizeof key, reinterpret_cast<const unsigned char*>(sessionToken.data()), sessionToken.size(),
                     nullptr, 0);
  unsigned char token[32];
  crypto_generichash(token, sizeof token, reinterpret_cast<const unsigned char*>(kPurpose), sizeof kPurpose - 1, key,
                     sizeof key);
  return Hex(token, sizeof token);
}

void LoginStore::Save(const std::string& userName, const std::string& role, const std::string& passwordHash) {
  OfficeSql sql(office_);
  sql.Query("begin");
  for (const char* create : kCreateTables) sql.Query(create);
  OfficeSql::Rows group = sql.Query(kUserGroup, {userName});
  if (group.empty()) {
    sql.Query("insert into ref_user (group_id, user_name, begin_date, orig_date) "
              "select coalesce(max(group_id), 0) + 1, $1, current_timestamp, current_timestamp from ref_user",
              {userName});
    group = sql.Query(kUserGroup, {userName});
  }
  sql.Query("delete from tw_login where user_group_id = $1", {group.at(0).at(0)});
  sql.Query("insert into tw_login (user_group_id, role, password_hash) values ($1, $2, $3)",
            {group.at(0).at(0), role, passwordHash});
  sql.Query("commit");
}

bool LoginStore::Remove(const std::string& userName) {
  OfficeSql sql(office_);
  if (!HasLogins(sql)) return false;
  const OfficeSql::Rows group = sql.Query(kUserGroup, {userName});
  if (group.empty()) return false;
  sql.Query("begin");
  sql.Query("delete from tw_session where user_group_id = $1", {group[0][0]});
  const bool had = !sql.Query("delete from tw_login where user_group_id = $1 returning user_group_id", {group[0][0]}).empty();
  sql.Query("commit");
  return had;
}

std::vector<LoginRow> LoginStore::List() {
  OfficeSql sql(office_);
  std::vector<LoginRow> out;
  if (!HasLogins(sql)) return out;
  for (const auto& r : sql.Query((std::string(kLoginColumns) + "order by u.user_name").c_str())) out.push_back(ToLogin(r));
  return out;
}

std::optional<LoginRow> LoginStore::Find(const std::string& userName) {
  OfficeSql sql(office_);
  if (!HasLogins(sql)) return std::nullopt;
  const OfficeSql::Rows rows = sql.Query((std::string(kLoginColumns) + "where u.user_name = $1").c_str(), {userName});
  if (rows.empty()) return std::nullopt;
  return ToLogin(rows[0]);
}

void LoginStore::RecordFailure(std::int32_t userGroupId, std::int64_t lockedUntil) {
  OfficeSql(office_).Query("update tw_login set failed_logins = failed_logins + 1, locked_until = $2 where user_group_id = $1",
                     {std::to_string(userGroupId), std::to_string(lockedUntil)});
}

void LoginStore::BeginSession(const std::string& tokenHash, const std::string& csrfHash, std::int32_t userGroupId,
                              std::int64_t expires) {
  OfficeSql sql(office_);
  sql.Query("begin");
  sql.Query("update tw_login set failed_logins = 0, locked_until = 0 where user_group_id = $1",
            {std::to_string(userGroupId)});
  sql.Query("insert into tw_session (token_hash, csrf_hash, user_group_id, expires) values ($1, $2, $3, $4)",
            {tokenHash, csrfHash, std::to_string(userGroupId), std::to_string(expires)});
  sql.Query("commit");
}

std::optional<SessionRow> LoginStore::FindSession(const std::string& tokenHash, std::int64_t now) {
  OfficeSql sql(office_);
  OfficeSql::Rows rows;
  try {
    // Asked on every clerk's request: the tables are looked for only when
    // the question fails, as it does on an office no login was added to.
    rows = sql.Query(
        "select s.user_group_id, u.user_name, l.role, s.csrf_hash, s.expires from tw_session s "
        "join tw_login l on l.user_group_id = s.user_group_id "
        "join ref_user u on u.group_id = s.user_group_id and u.end_date is null where s.token_hash = $1",
        {tokenHash});
  } catch (const Problem&) {
    if (!HasLogins(sql)) return std::nullopt;
    throw;
  }
  if (rows.empty()) return std::nullopt;
  SessionRow s{std::stoi(rows[0][0]), rows[0][1], rows[0][2], rows[0][3], std::stoll(rows[0][4])};
  if (s.expires > now) return s;
  sql.Query("delete from tw_session where token_hash = $1 or expires <= $2", {tokenHash, std::to_string(now)});
  return std::nullopt;
}

void LoginStore::EndSession(const std::string& tokenHash) {
  OfficeSql sql(office_);
  if (HasLogins(sql)) sql.Query("delete from tw_session where token_hash = $1", {tokenHash});
}

}  // namespace tarnwick::service
