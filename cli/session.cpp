// The connection and output options, and the one way every office
// subcommand reports a failure.
#include "session.hpp"

#include <fmt/core.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>

#include "tarnwick/data_object.hpp"
#include "tarnwick/error.hpp"
#include "tarnwick/variant.hpp"

namespace tarnwick::cli {

Session& CurrentSession() {
  static Session session;
  return session;
}

void AddSessionOptions(CLI::App& app) {
  Session& s = CurrentSession();
  // A person types the connection and format where they think of them, often
  // after the command ("tarnwick lists show party --format csv"). Every
  // command made after this passes the options it does not know up to its
  // parent, and so to these; a later occurrence replaces an earlier one.
  app.fallthrough();
  const char* fromEnvironment = std::getenv("TARNWICK_DB");
  s.connection.db = fromEnvironment != nullptr && *fromEnvironment != '\0' ? fromEnvironment : "office.db";
  app.add_option("--db", s.connection.db, "Office database file (default: $TARNWICK_DB, else ./office.db)")
      ->type_name("FILE")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  app.add_option("--server", s.connection.server, "Database server; empty or \"embedded\" for the --db file")
      ->type_name("NAME")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  app.add_option("--user", s.connection.user, "User name on the database server")
      ->type_name("NAME")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  app.add_option("--password", s.connection.password, "Password on the database server")
      ->type_name("TEXT")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  app.add_flag("--trusted", s.connection.trusted, "Use the operating system's login on the database server");
  app.add_option_function<std::string>(
         "--format",
         [](const std::string& text) {
           if (!ParseFormat(text, CurrentSession().format)) throw CLI::ValidationError("--format", "table, csv or json");
         },
         "Output: table (for people, the default), csv or json")
      ->type_name("FORMAT")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

CLI::App* AddCommandGroup(CLI::App& app, const std::string& name, const std::string& description,
                          const std::string& example) {
  CLI::App* group = app.add_subcommand(name, description);
  group->require_subcommand(1);
  group->footer("Example: " + example);
  return group;
}

void Session::Connect(Object& object) const {
  const Connection& c = connection;
  const bool embedded = c.server.empty() || c.server == "embedded";
  if (embedded && !std::filesystem::exists(c.db)) {
    throw Failure(kExitNoDatabase, fmt::format("there is no office database at {}; create one with "
                                               "`tarnwick init {} --sample 1000` or name another with --db",
                                               c.db, c.db));
  }
  const bool connected = object
                             .Call("ConnectionVariables", {Variant(c.db), Variant(c.server), Variant(c.user),
                                                           Variant(c.password), Variant(c.trusted)})
                             .CBool();
  if (!connected) {
    // The gateway's own words name the database and the cause (not an office,
    // another schema version, read-only, damaged, locked...).
    const auto* data = dynamic_cast<const DataObject*>(&object);
    const std::string why = data != nullptr ? data->LastErrorText() : std::string();
    throw Failure(kExitNoDatabase, !why.empty() ? why : fmt::format("cannot open the office database {}", c.db));
  }
}

Failure Refused(const Object& object, const std::string& what) {
  const auto* data = dynamic_cast<const DataObject*>(&object);
  const std::string why = data != nullptr ? data->LastErrorText() : std::string();
  return Failure(kExitFailed, why.empty() ? what : what + ": " + why);
}

void ReportOutOfMemory(const char* command) {
  std::fputs("tarnwick ", stderr);
  std::fputs(command, stderr);
  std::fputs(": out of memory; the command was not finished\n", stderr);
}

void RunCommand(const std::string& command, const std::function<void()>& body) {
  int code = 0;
  try {
    body();
  } catch (const Failure& f) {
    fmt::print(stderr, "tarnwick {}: {}\n", command, f.what());
    code = f.Code();
  } catch (const RuntimeError& e) {
    fmt::print(stderr, "tarnwick {}: error {} in {}: {}\n", command, e.Number(), e.Source(), e.Description());
    code = kExitFailed;
  } catch (const std::bad_alloc&) {
    ReportOutOfMemory(command.c_str());
    code = kExitNoMemory;
  } catch (const std::exception& e) {
    fmt::print(stderr, "tarnwick {}: {}\n", command, e.what());
    code = kExitFailed;
  }
  if (code != 0) throw CLI::RuntimeError(code);
}

std::string Today() {
  const std::chrono::year_month_day today{std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now())};
  return fmt::format("{:02}/{:02}/{:04}", static_cast<unsigned>(today.month()), static_cast<unsigned>(today.day()),
                     static_cast<int>(today.year()));
}

std::string CheckDate(const std::string& option, const std::string& text) {
  unsigned month = 0, day = 0;
  int year = 0;
  char slash1 = 0, slash2 = 0, rest = 0;
  const int n = std::sscanf(text.c_str(), "%2u%c%2u%c%4d%c", &month, &slash1, &day, &slash2, &year, &rest);
  const std::chrono::year_month_day date{std::chrono::year{year}, std::chrono::month{month}, std::chrono::day{day}};
  if (n != 5 || slash1 != '/' || slash2 != '/' || year < 1753 || !date.ok()) {
    throw Failure(kExitUsage, fmt::format("{} must be a date as mm/dd/yyyy, not \"{}\"", option, text));
  }
  return fmt::format("{:02}/{:02}/{:04}", month, day, year);
}

}  // namespace tarnwick::cli
