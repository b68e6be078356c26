// Finding the route a request names and checking its parameters: the one
// place where a request's method, path and query become a route's call.
#include <fmt/core.h>

#include <algorithm>

#include "http.hpp"

namespace tarnwick::service {
namespace {

std::vector<std::string_view> Segments(std::string_view path) {
  std::vector<std::string_view> out;
  while (!path.empty()) {
    if (path.front() != '/') return {};  // a path that does not start with '/' matches nothing
    path.remove_prefix(1);
    const std::size_t end = path.find('/');
    out.push_back(path.substr(0, end));
    path = end == std::string_view::npos ? std::string_view() : path.substr(end);
  }
  return out;
}

// A path parameter is a whole number or a code: letters, digits, '_' and '-'.
bool IsParameterValue(std::string_view v) {
  return !v.empty() && v.size() <= 64 && std::all_of(v.begin(), v.end(), [](char ch) {
    return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') || ch == '_' || ch == '-';
  });
}

// Matches a request path to a route's path; the path parameters' values in order.
bool Matches(std::string_view pattern, std::string_view path, std::vector<std::pair<std::string, std::string>>& values) {
  const auto want = Segments(pattern), have = Segments(path);
  if (want.size() != have.size() || (have.empty() && path != "/")) return false;
  values.clear();
  for (std::size_t i = 0; i < want.size(); ++i) {
    const std::string_view w = want[i], h = have[i];
    if (w.empty() || w.front() != '{') {
      if (w != h) return false;
      continue;
    }
    const std::size_t close = w.find('}');
    const std::string_view suffix = w.substr(close + 1);
    if (h.size() <= suffix.size() || h.substr(h.size() - suffix.size()) != suffix) return false;
    const std::string_view value = h.substr(0, h.size() - suffix.size());
    if (!IsParameterValue(value)) return false;
    values.emplace_back(std::string(w.substr(1, close - 1)), std::string(value));
  }
  return true;
}

}  // namespace

Routed FindRoute(const std::vector<Route>& routes, std::string_view method, std::string_view path,
                 const std::multimap<std::string, std::string>& params, std::string& allowed) {
  Routed routed;
  allowed.clear();
  for (const Route& route : routes) {
    if (!Matches(route.path, path, routed.values)) continue;
    if (route.method == method) {
      routed.route = &route;
      break;
    }
    if (allowed.find(route.method) == std::string::npos) allowed += (allowed.empty() ? "" : ", ") + std::string(route.method);
  }
  if (routed.route == nullptr) {
    if (allowed.empty()) throw Problem(404, fmt::format("there is nothing at {}", path));
    throw Problem(405, fmt::format("{} takes {}, not {}", path, allowed, method));
  }
  allowed.clear();
  const Route& found = *routed.route;
  for (const auto& param : params) {
    const std::string& name = param.first;
    const std::string& value = param.second;
    const auto declared = std::find_if(found.parameters.begin(), found.parameters.end(),
                                       [&](const Parameter& p) { return !p.inPath && p.name == name; });
    if (declared == found.parameters.end()) {
      throw Problem(400, fmt::format("{} takes no parameter \"{}\"", found.path, name));
    }
    if (params.count(name) > 1) throw Problem(400, fmt::format("the parameter {} is given twice", name));
    if (value.empty()) continue;  // an empty choice is no choice, as on the search forms
    CheckParameter(*declared, value);
    routed.values.emplace_back(name, value);
  }
  for (const Parameter& p : found.parameters) {
    if (!p.inPath) continue;
    const auto v = std::find_if(routed.values.begin(), routed.values.end(), [&](const auto& kv) { return kv.first == p.name; });
    CheckParameter(p, v->second);
  }
  return routed;
}

}  // namespace tarnwick::service
