// Feeds arbitrary requests to the service's mapping from a request to a
// route's call: the first line is "METHOD TARGET" (a path, then a query after
// '?', both percent-encoded as on the wire), the rest is the body, sent as
// JSON. Every request must either be refused with a problem of a status the
// mapping may give (400, 404, 405, 413, 415) or reach exactly one route with
// every parameter declared by it and holding its kind; never a crash, a hang,
// or any other exception. No handler runs: the office is not touched.
#include <httplib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "http.hpp"
#include "server.hpp"

namespace {

using tarnwick::service::Call;
using tarnwick::service::Kind;
using tarnwick::service::Problem;
using tarnwick::service::Route;

void Require(bool holds) {
  if (!holds) std::abort();
}

// Reads every declared parameter of a route's call the way handlers do.
void ReadAsHandlersDo(const Route& route, const Call& call) {
  for (const auto& p : route.parameters) {
    const std::string text = call.Text(p.name);
    Require(call.Has(p.name) == !text.empty() || p.inPath);
    if (text.empty()) continue;
    if (const auto bounds = tarnwick::service::NumberBounds(p.kind)) {
      const std::int64_t n = call.Number(p.name, -1);
      Require(n >= bounds->first && n <= bounds->second);
    } else if (p.kind == Kind::Date) {
      const std::string date = call.ClerkDate(p.name);
      Require(date.size() == 10 && date[2] == '/' && date[5] == '/');
    } else if (p.kind == Kind::Flag) {
      Require(text == "true" || text == "false");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::vector<Route> routes = tarnwick::service::ServiceRoutes({});
  static const tarnwick::service::Office office;
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t lineEnd = std::min(input.find('\n'), input.size());
  const std::string line = input.substr(0, lineEnd);
  const std::size_t space = line.find(' ');
  if (space == std::string::npos) return 0;

  httplib::Request request;
  request.method = line.substr(0, space);
  const std::string target = line.substr(space + 1);
  const std::size_t question = target.find('?');
  request.path = httplib::detail::decode_url(target.substr(0, question), false);
  if (question != std::string::npos) httplib::detail::parse_query_text(target.substr(question + 1), request.params);
  request.body = lineEnd < input.size() ? input.substr(lineEnd + 1) : std::string();
  request.headers.emplace("Content-Type", "application/json");
  httplib::Response response;
  try {
    std::string allowed;
    tarnwick::service::Routed routed;
    try {
      routed = tarnwick::service::FindRoute(routes, request.method, request.path, request.params, allowed);
    } catch (const Problem& p) {
      Require(p.Status() == 400 || p.Status() == 404 || (p.Status() == 405 && !allowed.empty()));
      return 0;
    }
    Require(routed.route != nullptr && routed.route->method == request.method);
    for (const auto& [name, value] : routed.values) {
      bool declared = false;
      for (const auto& p : routed.route->parameters) declared = declared || p.name == name;
      Require(declared && !value.empty());
    }
    Call call(request, response, office, std::move(routed.values));
    ReadAsHandlersDo(*routed.route, call);
    if (!routed.route->accepts.empty() && routed.route->accepts == "application/json") {
      try {
        Require(call.Body().is_object());
      } catch (const Problem& p) {
        Require(p.Status() == 400 || p.Status() == 413 || p.Status() == 415);
      }
    }
  } catch (...) {
    std::abort();  // anything but a problem is a fault of the mapping
  }
  return 0;
}
