// The OpenAPI 3.1 document of the service, written from the route table so
// that it can never describe a route the service does not have.
#include <string>

#include "http.hpp"

namespace tarnwick::service {
namespace {

Json Schema(Kind kind) {
  if (const auto bounds = NumberBounds(kind)) {
    return {{"type", "integer"}, {"minimum", bounds->first}, {"maximum", bounds->second}};
  }
  switch (kind) {
    case Kind::Text: return {{"type", "string"}, {"maxLength", 200}};
    case Kind::Code: return {{"type", "string"}, {"pattern", "^[A-Za-z0-9_-]{1,10}$"}};
    case Kind::Date: return {{"type", "string"}, {"format", "date"}};
    case Kind::Flag: return {{"type", "boolean"}};
    default: return {};
  }
}

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& ch : out) ch = ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch;
  return out;
}

}  // namespace

Json OpenApiDocument(const std::vector<Route>& routes) {
  const Json problem{{"application/problem+json", {{"schema", {{"$ref", "#/components/schemas/Problem"}}}}}};
  Json paths = Json::object();
  for (const Route& route : routes) {
    Json parameters = Json::array();
    for (const Parameter& p : route.parameters) {
      parameters.push_back({{"name", p.name},
                            {"in", p.inPath ? "path" : "query"},
                            {"required", p.inPath},
                            {"description", p.description},
                            {"schema", Schema(p.kind)}});
    }
    Json operation{{"summary", route.summary},
                   {"parameters", parameters},
                   {"responses",
                    {{"200", {{"description", "OK"}, {"content", {{std::string(route.answers), Json::object()}}}}},
                     {"default", {{"description", "A problem (RFC 9457)"}, {"content", problem}}}}}};
    if (route.access == Access::Clerk) operation["security"] = Json::array({{{"session", Json::array()}}});
    if (!route.accepts.empty()) {
      operation["requestBody"] = {{"required", true},
                                  {"content", {{std::string(route.accepts), {{"schema", {{"type", "object"}}}}}}}};
    }
    paths[std::string(route.path)][Lower(route.method)] = operation;
  }
  return {{"openapi", "3.1.0"},
          {"info", {{"title", "Tarnwick filing office"}, {"version", "1"}}},
          {"paths", paths},
          {"components",
           {{"schemas",
             {{"Problem",
               {{"type", "object"},
                {"properties",
                 {{"type", {{"type", "string"}}},
                  {"status", {{"type", "integer"}}},
                  {"title", {{"type", "string"}}},
                  {"detail", {{"type", "string"}}},
                  {"number", {{"type", "integer"}}},
                  {"source", {{"type", "string"}}},
                  {"description", {{"type", "string"}}}}}}}}},
            {"securitySchemes", {{"session", {{"type", "apiKey"}, {"in", "cookie"}, {"name", "tarnwick_session"}}}}}}}};
}

}  // namespace tarnwick::service
