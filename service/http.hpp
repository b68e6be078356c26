// The service's routes as data, and what every route handler shares: the
// office it opens objects on, the request's checked parameters, answers in
// JSON, and refusals as problem details (application/problem+json).
//
// A route is one row of a table (method, path, access, parameters, what it
// answers with, handler). The server dispatches from the table, the OpenAPI
// document is written from it, and a request naming a parameter the route
// does not declare is refused: the table is the contract.
//
// Thread safety: the table and an Office are read-only once the server
// runs; each request runs on its own thread with objects of its own.
#pragma once

#include <httplib.h>

#include <cstdint>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "tarnwick/error.hpp"
#include "tarnwick/object.hpp"

namespace tarnwick::service {

using Json = nlohmann::ordered_json;

// Where the office database is, as the `tarnwick` command's --db and server
// options give it.
struct Office {
  std::string db;      // the file, or the database name on a server
  std::string server;  // "" for the embedded database
  std::string user;
  std::string password;
  bool trusted = false;

  // Connects an object of a public class to the office; a refusal is a 503
  // problem naming why the office cannot be opened.
  void Connect(Object& object) const;
};

// A request the service refuses: the HTTP status, a short title, the detail
// for the person or program that asked, and, when the library raised, its
// error (number, source, description).
class Problem : public std::runtime_error {
 public:
  Problem(int status, std::string detail);
  Problem(int status, std::string detail, const RuntimeError& raised);
  int Status() const { return status_; }
  const std::string& Detail() const { return detail_; }
  // The problem details object (RFC 9457).
  Json Body() const;

 private:
  int status_;
  std::string detail_;
  std::optional<RuntimeError> raised_;
};

// A library failure in HTTP terms: bad arguments (5, 13) are the caller's
// (400), an image or value the office holds that cannot be read is refused
// by the office (422), anything else is the service's own failure (500).
Problem FromRuntimeError(const RuntimeError& e);

// The standard reason phrase of an HTTP status ("Not Found").
std::string_view StatusTitle(int status);

// Writes a problem as the response.
void SendProblem(httplib::Response& response, const Problem& problem);

enum class Access { Public, Clerk };

// What a parameter holds; each kind is checked before a handler runs.
enum class Kind {
  Text,     // any UTF-8 text up to 200 bytes
  Code,     // a code of the office's code lists: letters, digits, '-' and '_', up to 10
  Integer,  // a whole number 1..2147483647
  Year,     // 1900..2100
  Date,     // ISO 8601, yyyy-mm-dd
  Limit,    // 1..500 rows
  Width,    // 1..20000 pixels
  Flag,     // true or false
};

struct Parameter {
  std::string_view name;
  Kind kind;
  std::string_view description;
  bool inPath = false;
};

// The request as a handler sees it: its checked path and query parameters.
class Call {
 public:
  Call(const httplib::Request& request, httplib::Response& response, const Office& office,
       std::vector<std::pair<std::string, std::string>> values)
      : request(request), response(response), office(office), values_(std::move(values)) {}

  const httplib::Request& request;
  httplib::Response& response;
  const Office& office;

  // The parameter's value as sent (checked for its kind), or "" when absent.
  std::string Text(std::string_view name) const;
  bool Has(std::string_view name) const;
  // A whole-number parameter (Integer, Year, Limit, Width), or `otherwise`.
  std::int64_t Number(std::string_view name, std::int64_t otherwise = 0) const;
  // A Date parameter as the classes take dates (mm/dd/yyyy), or "".
  std::string ClerkDate(std::string_view name) const;

  // A Flag parameter; false when absent.
  bool Flag(std::string_view name) const { return Text(name) == "true"; }

  // The request body as a JSON object: 415 unless it is sent as
  // application/json, 400 unless it is one well-formed JSON object.
  Json Body() const;

  // Sends a JSON body with status 200 (or the given status).
  void Reply(const Json& body, int status = 200) const;

  // The signed-in clerk on a clerk route: their office user's group id, name and role.
  std::int32_t userGroupId = 0;
  std::string userName;
  std::string role;

 private:
  std::vector<std::pair<std::string, std::string>> values_;
};

using Handler = std::function<void(Call&)>;

struct Route {
  std::string_view method;  // "GET", "POST", ...
  std::string_view path;    // "/api/public/filings/{UniqueID}"; {Name} is a path parameter
  Access access;
  std::string_view summary;
  std::vector<Parameter> parameters;
  std::string_view answers;  // the media type of a successful answer
  Handler handler;
  std::string_view accepts = {};  // the media type of the body it takes; none when empty
};

// The route a request names, and its parameters (path, then query) as sent.
struct Routed {
  const Route* route = nullptr;
  std::vector<std::pair<std::string, std::string>> values;
};

// Finds the route for a request's method and path among routes (the first
// that matches) and checks its query parameters (routing.cpp). A path
// parameter's value is letters, digits, '_' and '-' only, so no encoded
// slash or "..": such a path names no route.
// Throws Problem: 404 when no route has the path; 405 when routes have it
// for other methods only (`allowed` then lists them, for the Allow header);
// 400 for a parameter the route does not declare, one given twice, or one
// that does not hold its kind. An empty query parameter counts as absent.
Routed FindRoute(const std::vector<Route>& routes, std::string_view method, std::string_view path,
                 const std::multimap<std::string, std::string>& params, std::string& allowed);

// The routes of the public disclosure API (public_api.cpp).
std::vector<Route> PublicRoutes();

// Signing in and out (sessions.cpp): sessions last `sessionSeconds`; their
// cookie is marked Secure when the service speaks HTTPS.
std::vector<Route> SessionRoutes(std::int64_t sessionSeconds, bool secure);
// Makes a clerk route's call the signed-in clerk's: 401 without a live
// session, 403 when a request that changes data lacks the session's
// X-CSRF-Token.
void SignIn(Call& call, bool changesData);

// The clerks' routes: documents and their links (clerk_api.cpp), and the
// committees, code lists, checks, images and exports (clerk_office.cpp).
std::vector<Route> ClerkRoutes();
std::vector<Route> ClerkOfficeRoutes();

// The largest body a request may send: a stored image, and anything else.
inline constexpr std::size_t kMaxImageBody = 64u << 20;
inline constexpr std::size_t kMaxBody = 1u << 20;

// The OpenAPI 3.1 document of the routes (openapi.cpp).
Json OpenApiDocument(const std::vector<Route>& routes);

// The parameters every keyset list takes, and the page size when no limit is given.
inline constexpr std::int64_t kDefaultLimit = 50;
inline const Parameter kAfter{"after", Kind::Integer, "Only rows after this key (from the last page's next)"};
inline const Parameter kLimit{"limit", Kind::Limit, "At most this many rows (1 to 500; 50 when not given)"};
inline const Parameter kDocumentId{"UniqueID", Kind::Integer, "The document's identifier", true};

// An ISO date (yyyy-mm-dd, already checked) as the classes take dates, mm/dd/yyyy; "" stays "".
std::string ClerkDateText(const std::string& iso);

// The least and the greatest value of a whole-number kind (Integer, Year,
// Limit, Width); nothing for the others.
std::optional<std::pair<std::int64_t, std::int64_t>> NumberBounds(Kind kind);

// Checks a parameter's text for its kind; a Problem 400 naming the parameter
// when it does not hold one.
void CheckParameter(const Parameter& parameter, const std::string& value);

}  // namespace tarnwick::service
