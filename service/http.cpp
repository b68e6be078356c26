// Problems, parameters and answers shared by every route.
#include "http.hpp"

#include <fmt/core.h>

#include <algorithm>
#include <charconv>
#include <filesystem>

#include "tarnwick/data_object.hpp"

namespace tarnwick::service {
namespace {

constexpr std::size_t kMaxText = 200;

// True when text is well-formed UTF-8 (no overlong forms, no surrogates).
bool IsUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
      ++i;
      continue;
    }
    const std::size_t n = (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : 0;
    if (n == 0 || text.size() - i <= n) return false;
    char32_t cp = b & (0x7F >> (n + 1));
    for (std::size_t k = 1; k <= n; ++k) {
      const auto c = static_cast<unsigned char>(text[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = cp << 6 | (c & 0x3F);
    }
    constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kLeast[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += n + 1;
  }
  return true;
}

std::optional<std::int64_t> WholeNumber(std::string_view text) {
  std::int64_t value = 0;
  if (text.empty() || text.size() > 10) return std::nullopt;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

bool IsIsoDate(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  const auto year = WholeNumber(text.substr(0, 4)), month = WholeNumber(text.substr(5, 2)),
             day = WholeNumber(text.substr(8, 2));
  if (!year || !month || !day || *year < 1753 || *month < 1 || *month > 12 || *day < 1) return false;
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const int days = kDays[*month - 1] + (*month == 2 && IsLeap(static_cast<int>(*year)) ? 1 : 0);
  return *day <= days;
}

}  // namespace

void Office::Connect(Object& object) const {
  const bool embedded = server.empty() || server == "embedded";
  if (embedded && !std::filesystem::exists(db)) {
    throw Problem(503, fmt::format("the office database {} is not there", db));
  }
  const bool connected =
      object.Call("ConnectionVariables", {Variant(db), Variant(server), Variant(user), Variant(password), Variant(trusted)})
          .CBool();
  if (!connected) {
    const auto* data = dynamic_cast<const DataObject*>(&object);
    const std::string why = data != nullptr ? data->LastErrorText() : std::string();
    throw Problem(503, why.empty() ? fmt::format("the office database {} cannot be opened", db) : why);
  }
}

Problem::Problem(int status, std::string detail)
    : std::runtime_error(detail), status_(status), detail_(std::move(detail)) {}

Problem::Problem(int status, std::string detail, const RuntimeError& raised)
    : std::runtime_error(detail), status_(status), detail_(std::move(detail)), raised_(raised) {}

Json Problem::Body() const {
  Json body{{"type", "about:blank"}, {"status", status_}, {"title", StatusTitle(status_)}, {"detail", detail_}};
  if (raised_) {
    body["number"] = raised_->Number();
    body["source"] = raised_->Source();
    body["description"] = raised_->Description();
  }
  return body;
}

Problem FromRuntimeError(const RuntimeError& e) {
  switch (e.Number()) {
    case 5:
    case 13: return Problem(400, e.Description(), e);
    case 481: return Problem(422, e.Description(), e);
    default: return Problem(500, "the library failed: " + e.Description(), e);
  }
}

std::string_view StatusTitle(int status) {
  switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 409: return "Conflict";
    case 412: return "Precondition Failed";
    case 413: return "Content Too Large";
    case 414: return "URI Too Long";
    case 415: return "Unsupported Media Type";
    case 422: return "Unprocessable Content";
    case 429: return "Too Many Requests";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Error";
  }
}

void SendProblem(httplib::Response& response, const Problem& problem) {
  response.status = problem.Status();
  response.set_content(problem.Body().dump(-1, ' ', false, Json::error_handler_t::replace),
                       "application/problem+json");
}

std::optional<std::pair<std::int64_t, std::int64_t>> NumberBounds(Kind kind) {
  switch (kind) {
    case Kind::Integer: return std::pair<std::int64_t, std::int64_t>{1, 2147483647};
    case Kind::Year: return std::pair<std::int64_t, std::int64_t>{1900, 2100};
    case Kind::Limit: return std::pair<std::int64_t, std::int64_t>{1, 500};
    case Kind::Width: return std::pair<std::int64_t, std::int64_t>{1, 20000};
    default: return std::nullopt;
  }
}

void CheckParameter(const Parameter& p, const std::string& value) {
  auto refuse = [&](std::string_view what) {
    throw Problem(400, fmt::format("{} must be {}", p.name, what));
  };
  const auto number = WholeNumber(value);
  switch (p.kind) {
    case Kind::Text:
      if (value.size() > kMaxText) refuse(fmt::format("at most {} bytes", kMaxText));
      if (!IsUtf8(value)) refuse("UTF-8 text");
      if (value.find('\0') != std::string::npos) refuse("text without NUL");
      return;
    case Kind::Code:
      if (value.empty() || value.size() > 10 ||
          !std::all_of(value.begin(), value.end(), [](char c) {
            return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
          })) {
        refuse("a code of 1 to 10 letters, digits, '-' or '_'");
      }
      return;
    case Kind::Integer:
    case Kind::Year:
    case Kind::Limit:
    case Kind::Width: {
      const auto [least, most] = *NumberBounds(p.kind);
      if (!number || *number < least || *number > most) {
        refuse(fmt::format("a whole number from {} to {}", least, most));
      }
      return;
    }
    case Kind::Date:
      if (!IsIsoDate(value)) refuse("a date written yyyy-mm-dd");
      return;
    case Kind::Flag:
      if (value != "true" && value != "false") refuse("true or false");
      return;
  }
}

std::string Call::Text(std::string_view name) const {
  for (const auto& [n, v] : values_) {
    if (n == name) return v;
  }
  return {};
}

bool Call::Has(std::string_view name) const {
  return std::any_of(values_.begin(), values_.end(), [&](const auto& p) { return p.first == name; });
}

std::int64_t Call::Number(std::string_view name, std::int64_t otherwise) const {
  if (!Has(name)) return otherwise;
  return WholeNumber(Text(name)).value_or(otherwise);
}

std::string ClerkDateText(const std::string& iso) {
  if (iso.empty()) return {};
  return iso.substr(5, 2) + "/" + iso.substr(8, 2) + "/" + iso.substr(0, 4);
}

std::string Call::ClerkDate(std::string_view name) const { return ClerkDateText(Text(name)); }

Json Call::Body() const {
  const std::string type = request.get_header_value("Content-Type");
  if (type.rfind("application/json", 0) != 0) {
    throw Problem(415, "the body must be sent as application/json");
  }
  if (request.body.size() > kMaxBody) throw Problem(413, fmt::format("a body may have at most {} bytes", kMaxBody));
  Json body = Json::parse(request.body, nullptr, false);
  if (body.is_discarded() || !body.is_object()) throw Problem(400, "the body must be one JSON object");
  return body;
}

void Call::Reply(const Json& body, int status) const {
  response.status = status;
  response.set_content(body.dump(-1, ' ', false, Json::error_handler_t::replace), "application/json");
}

}  // namespace tarnwick::service
