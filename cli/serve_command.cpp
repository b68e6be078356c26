// `tarnwick serve`: the office on the web, on the office the global --db or
// server options name.
#include <fmt/core.h>

#include <CLI/CLI.hpp>
#include <charconv>
#include <memory>
#include <string>

#include "commands.hpp"
#include "pages.hpp"
#include "server.hpp"
#include "session.hpp"

namespace tarnwick::cli {
namespace {

struct ServeChoices {
  std::string listen = "127.0.0.1:8080";
  std::string webFolder;  // the pages' files from here instead of the built-in copy
  service::Options options;
};

// "HOST:PORT" (the host may be an IPv6 address in brackets).
void ParseListen(const std::string& text, service::Options& options) {
  const std::size_t colon = text.rfind(':');
  int port = -1;
  if (colon != std::string::npos && colon + 1 < text.size()) {
    const char* end = text.data() + text.size();
    const auto [at, ec] = std::from_chars(text.data() + colon + 1, end, port);
    if (ec != std::errc() || at != end) port = -1;
  }
  if (colon == std::string::npos || colon == 0 || port < 0 || port > 65535) {
    throw Failure(kExitUsage, fmt::format("--listen must be HOST:PORT (port 0 to 65535), not \"{}\"", text));
  }
  std::string host = text.substr(0, colon);
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  options.host = host;
  options.port = port;
}

void Serve(ServeChoices& c) {
  const Connection& connection = CurrentSession().connection;
  c.options.office = {connection.db, connection.server, connection.user, connection.password, connection.trusted};
  ParseListen(c.listen, c.options);
  c.options.pages = web::PageRoutes(c.webFolder);
  std::string error;
  if (service::Serve(c.options, error) != 0) throw Failure(kExitFailed, error);
}

}  // namespace

void AddServeCommand(CLI::App& app) {
  auto c = std::make_shared<ServeChoices>();
  auto* serve = app.add_subcommand("serve", "Serve the office on the web: the public disclosure API and the clerks' API");
  serve->add_option("--listen", c->listen, "The address and port to listen on (port 0: any free port)")
      ->capture_default_str();
  serve->add_flag("--public-only", c->options.publicOnly, "Only the public disclosure API: no sign-in, nothing changes");
  serve->add_option("--tls-cert", c->options.tlsCert, "HTTPS: the certificate chain (PEM)");
  serve->add_option("--tls-key", c->options.tlsKey, "HTTPS: the private key (PEM)");
  serve->add_option("--session-seconds", c->options.sessionSeconds, "How long a clerk's session lasts")
      ->capture_default_str()
      ->check(CLI::Range(std::int64_t{1}, std::int64_t{30} * 24 * 3600));
  serve->add_option("--web", c->webFolder,
                    "Serve the web pages' files from this folder (laid out as web/) instead of the built-in copy")
      ->check(CLI::ExistingDirectory);
  serve->add_option("--threads", c->options.threads, "Requests served at once")
      ->capture_default_str()
      ->check(CLI::Range(1, 256));
  serve->footer("Example: tarnwick --db office.db serve --listen 127.0.0.1:8080\n"
                "Stops on SIGTERM or Ctrl-C once the requests in flight are answered.");
  serve->callback([c] { RunCommand("serve", [&] { Serve(*c); }); });
}

}  // namespace tarnwick::cli
