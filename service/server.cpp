// The HTTP server: dispatching from the route table, the problems every route
// may answer with, the access log, and stopping on SIGTERM.
#include "server.hpp"

#include <fmt/chrono.h>
#include <fmt/core.h>
#include <signal.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <new>
#include <thread>

#include "gateway/postgres/pool.hpp"

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

// The moment the request being served on this thread arrived, and the clerk
// it was served for ("" for none), for the access log.
thread_local std::chrono::steady_clock::time_point requestStart;
thread_local std::string requestUser;

class Dispatcher {
 public:
  Dispatcher(const Options& options) : options_(options), routes_(ServiceRoutes(options)) {}

  void operator()(const httplib::Request& request, httplib::Response& response) const {
    try {
      Answer(request, response);
    } catch (const Problem& p) {
      SendProblem(response, p);
    } catch (const RuntimeError& e) {
      SendProblem(response, FromRuntimeError(e));
    } catch (const std::bad_alloc&) {
      SendProblem(response, Problem(503, "the service ran out of memory for this request"));
    } catch (const std::exception& e) {
      SendProblem(response, Problem(500, std::string("the service failed: ") + e.what()));
    }
  }

 private:
  void Answer(const httplib::Request& request, httplib::Response& response) const {
    std::vector<std::pair<std::string, std::string>> values;
    std::string allowed;
    const Route* found = nullptr;
    for (const Route& route : routes_) {
      if (!Matches(route.path, request.path, values)) continue;
      if (route.method == request.method) {
        found = &route;
        break;
      }
      if (allowed.find(route.method) == std::string::npos) allowed += (allowed.empty() ? "" : ", ") + std::string(route.method);
    }
    if (found == nullptr) {
      if (allowed.empty()) throw Problem(404, fmt::format("there is nothing at {}", request.path));
      response.set_header("Allow", allowed);
      throw Problem(405, fmt::format("{} takes {}, not {}", request.path, allowed, request.method));
    }
    for (const auto& [name, value] : request.params) {
      const auto declared = std::find_if(found->parameters.begin(), found->parameters.end(),
                                         [&](const Parameter& p) { return !p.inPath && p.name == name; });
      if (declared == found->parameters.end()) {
        throw Problem(400, fmt::format("{} takes no parameter \"{}\"", found->path, name));
      }
      if (request.params.count(name) > 1) throw Problem(400, fmt::format("the parameter {} is given twice", name));
      if (value.empty()) continue;  // an empty choice is no choice, as on the search forms
      CheckParameter(*declared, value);
      values.emplace_back(name, value);
    }
    for (const Parameter& p : found->parameters) {
      if (!p.inPath) continue;
      const auto v = std::find_if(values.begin(), values.end(), [&](const auto& kv) { return kv.first == p.name; });
      CheckParameter(p, v->second);
    }
    Call call(request, response, options_.office, std::move(values));
    if (found->access == Access::Clerk) {
      SignIn(call, found->method != "GET");
      requestUser = call.userName;
    }
    found->handler(call);
  }

  const Options& options_;
  std::vector<Route> routes_;
};

void AccessLog(const httplib::Request& request, const httplib::Response& response) {
  const auto ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - requestStart).count();
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  std::fputs(fmt::format("{:%Y-%m-%dT%H:%M:%SZ} {} {} {} {:.1f}ms {}\n", utc, request.method, request.path,
                         response.status, ms, requestUser.empty() ? "-" : requestUser)
                 .c_str(),
             stderr);
}

std::unique_ptr<httplib::Server> MakeServer(const Options& options, std::string& error) {
  if (options.tlsCert.empty() != options.tlsKey.empty()) {
    error = "--tls-cert and --tls-key go together";
    return nullptr;
  }
  if (options.tlsCert.empty()) return std::make_unique<httplib::Server>();
  auto tls = std::make_unique<httplib::SSLServer>(options.tlsCert.c_str(), options.tlsKey.c_str());
  if (!tls->is_valid()) {
    error = fmt::format("the certificate {} or the key {} cannot be used", options.tlsCert, options.tlsKey);
    return nullptr;
  }
  return tls;
}

}  // namespace

std::vector<Route> ServiceRoutes(const Options& options) {
  std::vector<Route> routes = PublicRoutes();
  if (!options.publicOnly) {
    for (auto more : {SessionRoutes(options.sessionSeconds, !options.tlsCert.empty()), ClerkRoutes(), ClerkOfficeRoutes()}) {
      routes.insert(routes.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
    }
  }
  auto document = std::make_shared<Json>();
  routes.insert(routes.begin() + 1, Route{"GET", "/api/openapi.json", Access::Public, "This document", {},
                                          "application/json", [document](Call& c) { c.Reply(*document); }});
  *document = OpenApiDocument(routes);
  return routes;
}

int Serve(const Options& options, std::string& error) {
  // SIGTERM and SIGINT are taken by one thread that stops the server; the
  // request threads the server starts inherit the blocked mask.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  std::unique_ptr<httplib::Server> server = MakeServer(options, error);
  if (server == nullptr) return 1;
  // Each request makes its own objects; on a server office their
  // connections are kept between requests, one per thread and as many spare,
  // for a minute of idleness.
  postgres::EnablePool(static_cast<std::size_t>(std::max(1, options.threads)) * 2, 60);
  auto dispatcher = std::make_shared<Dispatcher>(options);
  const auto handler = [dispatcher](const httplib::Request& q, httplib::Response& r) { (*dispatcher)(q, r); };
  for (auto add : {&httplib::Server::Get, &httplib::Server::Post, &httplib::Server::Put, &httplib::Server::Patch,
                   &httplib::Server::Delete, &httplib::Server::Options}) {
    (server.get()->*add)(".*", handler);
  }
  server->set_pre_routing_handler([](const httplib::Request& request, httplib::Response& response) {
    requestStart = std::chrono::steady_clock::now();
    requestUser.clear();
    // A body over its route's limit is refused before it is read: only a
    // stored image may be larger than kMaxBody.
    const bool image = request.method == "PUT" && request.path.size() > 6 &&
                       request.path.compare(request.path.size() - 6, 6, "/image") == 0;
    const std::size_t limit = image ? kMaxImageBody : kMaxBody;
    const std::string length = request.get_header_value("Content-Length");
    std::uint64_t bytes = 0;
    const auto [end, ec] = std::from_chars(length.data(), length.data() + length.size(), bytes);
    if (!length.empty() && (ec != std::errc() || end != length.data() + length.size())) {
      SendProblem(response, Problem(400, "Content-Length must be a number of bytes"));
      return httplib::Server::HandlerResponse::Handled;
    }
    if (bytes > limit) {
      SendProblem(response, Problem(413, fmt::format("a body here may have at most {} bytes", limit)));
      return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });
  server->set_error_handler([](const httplib::Request&, httplib::Response& response) {
    // What the HTTP layer refused before any route ran (a body or header
    // over the limit, a request it cannot parse) gets a problem body too.
    if (response.body.empty()) SendProblem(response, Problem(response.status, std::string(StatusTitle(response.status))));
  });
  server->set_logger(AccessLog);
  server->set_payload_max_length(kMaxImageBody);
  server->set_read_timeout(10, 0);
  server->set_write_timeout(30, 0);
  server->set_keep_alive_timeout(5);
  const int threads = std::max(1, options.threads);
  server->new_task_queue = [threads] { return new httplib::ThreadPool(static_cast<std::size_t>(threads)); };

  const int port = options.port == 0 ? server->bind_to_any_port(options.host)
                                     : (server->bind_to_port(options.host, options.port) ? options.port : -1);
  if (port < 0) {
    error = fmt::format("cannot listen on {}:{}", options.host, options.port);
    return 1;
  }
  std::printf("listening on %s://%s:%d\n", options.tlsCert.empty() ? "http" : "https", options.host.c_str(), port);
  std::fflush(stdout);

  std::thread stopper([&] {
    int signal = 0;
    sigwait(&stopSignals, &signal);
    server->stop();
  });
  server->listen_after_bind();
  // listen_after_bind returns once stopped, after the requests in flight are
  // answered; a stop for any other reason still ends the signal thread.
  pthread_kill(stopper.native_handle(), SIGTERM);
  stopper.join();
  return 0;
}

}  // namespace tarnwick::service
