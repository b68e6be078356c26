// `tarnwick serve`: the office on the web. A stateless HTTP service whose
// every request makes its own objects of the public classes, on its own
// thread, as the classes require; several services may stand in front of one
// server database.
//
// Without --public-only it also serves the clerks' API behind logins
// (`tarnwick users add`).
//
// Output: one line on stdout once the service listens ("listening on
// http://HOST:PORT"), then one access-log line per request on stderr (time,
// method, path, status, milliseconds, user).
#pragma once

#include <cstdint>
#include <string>

#include "http.hpp"

namespace tarnwick::service {

struct Options {
  Office office;
  std::string host = "127.0.0.1";
  int port = 8080;            // 0: any free port (the line on stdout says which)
  bool publicOnly = false;    // only the public disclosure API
  std::string tlsCert, tlsKey;  // both or neither: HTTPS with this certificate and key
  int threads = 16;           // requests served at once
  std::int64_t sessionSeconds = 8 * 3600;  // how long a clerk's session lasts
  // Routes answered besides the API, after it: the web pages (web/). They
  // are no part of the API's OpenAPI document.
  std::vector<Route> pages;
};

// Serves until SIGTERM or SIGINT, then finishes the requests in flight and
// returns 0; returns 1 (with the reason in `error`) when it cannot listen.
// REQUIRES: called once, from the program's main thread.
int Serve(const Options& options, std::string& error);

// The routes the service answers with these options, in dispatch order.
std::vector<Route> ServiceRoutes(const Options& options);

}  // namespace tarnwick::service
