// The HTTP server: dispatching from the route table, the problems every route
// may answer with, the access log, and stopping on SIGTERM.
#include "server.hpp"

#include <fmt/chrono.h>
#include <fmt/core.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <new>
#include <thread>

#include "gateway/postgres/pool.hpp"
#include "gateway/sqlite/pool.hpp"

namespace tarnwick::service {
namespace {

// The moment the request being served on this thread arrived, and the clerk
// it was served for ("" for none), for the access log.
thread_local std::chrono::steady_clock::time_point requestStart;
thread_local std::string requestUser;

// The requests between their routing and the last byte of their answer.
// Stopping the HTTP server cuts a streamed answer (an export, a PDF) short,
// so on SIGTERM the service first turns new requests away and waits for
// these. A request is counted on the thread that serves it, from the
// pre-routing handler to the access log, which runs once the answer is sent.
struct InFlight {
  std::atomic<int> requests{0};
  std::atomic<bool> stopping{false};
};
thread_local bool requestCounted = false;

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
    std::string allowed;
    Routed routed;
    try {
      routed = FindRoute(routes_, request.method, request.path, request.params, allowed);
    } catch (const Problem&) {
      if (!allowed.empty()) response.set_header("Allow", allowed);
      throw;
    }
    const Route* found = routed.route;
    Call call(request, response, options_.office, std::move(routed.values));
    if (found->access == Access::Clerk) {
      SignIn(call, found->method != "GET");
      requestUser = call.userName;
    }
    found->handler(call);
  }

  const Options& options_;
  std::vector<Route> routes_;
};

void AccessLog(const httplib::Request& request, const httplib::Response& response, InFlight& inFlight) {
  if (requestCounted) {
    requestCounted = false;
    --inFlight.requests;
  }
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
  for (const Route& page : options.pages) {
    // Without the clerks' API the desk's pages would only show refusals.
    if (!options.publicOnly || !page.path.starts_with("/desk")) routes.push_back(page);
  }
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
  // Each request makes its own objects; their connections (to the file, or
  // to the server) are kept between requests, one per thread and as many
  // spare, for a minute of idleness.
  const std::size_t kept = static_cast<std::size_t>(std::max(1, options.threads)) * 2;
  postgres::EnablePool(kept, 60);
  sqlite::EnablePool(kept, 60);
  auto dispatcher = std::make_shared<Dispatcher>(options);
  const auto handler = [dispatcher](const httplib::Request& q, httplib::Response& r) { (*dispatcher)(q, r); };
  for (auto add : {&httplib::Server::Get, &httplib::Server::Post, &httplib::Server::Put, &httplib::Server::Patch,
                   &httplib::Server::Delete, &httplib::Server::Options}) {
    (server.get()->*add)(".*", handler);
  }
  auto inFlight = std::make_shared<InFlight>();
  server->set_pre_routing_handler([inFlight](const httplib::Request& request, httplib::Response& response) {
    requestStart = std::chrono::steady_clock::now();
    requestUser.clear();
    requestCounted = true;
    ++inFlight->requests;
    if (inFlight->stopping) {
      response.set_header("Connection", "close");
      SendProblem(response, Problem(503, "the service is stopping"));
      return httplib::Server::HandlerResponse::Handled;
    }
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
  server->set_logger([inFlight](const httplib::Request& q, const httplib::Response& r) { AccessLog(q, r, *inFlight); });
  server->set_payload_max_length(kMaxImageBody);
  server->set_read_timeout(10, 0);
  server->set_write_timeout(30, 0);
  server->set_keep_alive_timeout(5);
  // An answer goes out at once: without this the last small segment of each
  // answer waits for the client's delayed acknowledgement, some 40 ms.
  server->set_tcp_nodelay(true);
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
    // The answers under way are finished first, for at most the time a
    // client is given to read one.
    inFlight->stopping = true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (inFlight->requests > 0 && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
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
