// Connecting to the office server and the small libpq helpers every user of
// the server shares (the engine and the office builder).
#include "gateway/postgres/connection.hpp"

#include <charconv>
#include <string>
#include <vector>

#include "runtime/text.hpp"

namespace tarnwick::postgres {

namespace {

// A port text: digits only, 1 to 65535.
bool IsPort(std::string_view text) {
  if (text.empty() || text.size() > 5) return false;
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && value >= 1 && value <= 65535;
}

std::string Trimmed(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.remove_suffix(1);
  return std::string(text);
}

}  // namespace

bool ParseServer(std::string_view server, ServerAddress& out, std::string& error) {
  server = runtime::Trim(server);
  out = {};
  if (server.empty()) {
    error = "No server was named";
    return false;
  }
  std::string_view host = server;
  std::string_view port;
  if (server.front() == '[') {
    const auto close = server.find(']');
    if (close == std::string_view::npos) {
      error = "The server '" + std::string(server) + "' has an unclosed '['";
      return false;
    }
    host = server.substr(1, close - 1);
    std::string_view rest = server.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') {
        error = "The server '" + std::string(server) + "' has text after its address";
        return false;
      }
      port = rest.substr(1);
      if (!IsPort(port)) {
        error = "The server '" + std::string(server) + "' names no port from 1 to 65535";
        return false;
      }
    }
  } else {
    const auto colon = server.rfind(':');
    // One colon ends a host name or socket folder and starts its port; an
    // address of several colons without brackets is an IPv6 address alone.
    if (colon != std::string_view::npos && server.find(':') == colon) {
      host = server.substr(0, colon);
      port = server.substr(colon + 1);
      if (!IsPort(port)) {
        error = "The server '" + std::string(server) + "' names no port from 1 to 65535";
        return false;
      }
    }
  }
  if (host.empty()) {
    error = "The server '" + std::string(server) + "' names no host";
    return false;
  }
  out.host = std::string(host);
  out.port = std::string(port);
  return true;
}

Connection Connect(const ConnectionSettings& settings, std::string& error) {
  ServerAddress address;
  if (!ParseServer(settings.server, address, error)) return nullptr;
  const std::string timeout = std::to_string(settings.timeoutSeconds > 0 ? settings.timeoutSeconds : 15);
  std::vector<const char*> keys;
  std::vector<const char*> values;
  auto add = [&](const char* key, const std::string& value) {
    if (value.empty()) return;
    keys.push_back(key);
    values.push_back(value.c_str());
  };
  add("host", address.host);
  add("port", address.port);
  add("dbname", settings.database);
  add("user", settings.user);
  if (!settings.trusted) add("password", settings.password);
  add("connect_timeout", timeout);
  // libpq reads the values when it connects: each must outlive the call.
  const std::string encoding = "UTF8";
  const std::string application = "tarnwick";
  // standard_conforming_strings is set here, where the client's own setting
  // outranks any a server, database or role gives: with it off, a backslash
  // in a literal would escape the apostrophe that ends it.
  const std::string sessionOptions =
      "-c DateStyle=ISO,MDY -c IntervalStyle=postgres -c extra_float_digits=3 -c standard_conforming_strings=on";
  add("client_encoding", encoding);
  add("application_name", application);
  add("options", sessionOptions);
  keys.push_back(nullptr);
  values.push_back(nullptr);

  Connection conn(PQconnectdbParams(keys.data(), values.data(), 0));
  const std::string where = "the office database '" + settings.database + "' on the server '" +
                            std::string(runtime::Trim(settings.server)) + "'";
  if (!conn) {
    error = "Cannot reach " + where + ": out of memory";
    return nullptr;
  }
  if (PQstatus(conn.get()) != CONNECTION_OK) {
    std::string reason = Trimmed(PQerrorMessage(conn.get()));
    // libpq never repeats a password, but a server message could quote the
    // settings back; make sure the password is not part of what we pass on.
    if (!settings.password.empty()) {
      for (auto at = reason.find(settings.password); at != std::string::npos; at = reason.find(settings.password)) {
        reason.replace(at, settings.password.size(), "***");
      }
    }
    error = "Cannot open " + where + ": " + reason;
    return nullptr;
  }
  const char* conforming = PQparameterStatus(conn.get(), "standard_conforming_strings");
  if (conforming == nullptr || std::string_view(conforming) != "on") {
    error = "Cannot use " + where + ": the server keeps standard_conforming_strings off for this session";
    return nullptr;
  }
  // The server's notices (a table it skipped, a cast it warned about) are no
  // error; the library prints nothing, so they go nowhere.
  PQsetNoticeProcessor(conn.get(), [](void*, const char*) {}, nullptr);
  return conn;
}

std::string ErrorText(PGconn* conn, const PGresult* result) {
  const char* message = result ? PQresultErrorMessage(result) : nullptr;
  if (!message || !*message) message = conn ? PQerrorMessage(conn) : "no connection to the server";
  std::string text = Trimmed(message);
  if (text.empty()) text = "the server gave no reason";
  return text;
}

bool Succeeded(const PGresult* result) {
  if (!result) return false;
  switch (PQresultStatus(result)) {
    case PGRES_COMMAND_OK:
    case PGRES_TUPLES_OK:
    case PGRES_SINGLE_TUPLE:
    case PGRES_COPY_IN:
    case PGRES_COPY_OUT:
    case PGRES_EMPTY_QUERY: return true;
    default: return false;
  }
}

std::string ExecText(PGconn* conn, const std::string& sql) {
  Result result(PQexec(conn, sql.c_str()));
  if (Succeeded(result.get())) return {};
  return ErrorText(conn, result.get());
}

std::string QuoteIdentifier(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string QuoteLiteral(std::string_view text) {
  const bool escaped = text.find('\\') != std::string_view::npos;
  std::string out = escaped ? "E'" : "'";
  for (char c : text) {
    if (c == '\'' || (escaped && c == '\\')) out += c;
    out += c;
  }
  return out + "'";
}

}  // namespace tarnwick::postgres
