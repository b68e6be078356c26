// `tarnwick init FILE [--sample N] [--force]`: creates an office database,
// empty or filled with the sample office.
// `tarnwick init --server HOST[:PORT] --database NAME [--user U]
// [--password P | --trusted] [--sample N] [--force]`: the same on the office
// server.
//
// `tarnwick upgrade FILE` (or --server ... --database NAME): brings an office
// of the previous schema version up to this library's.
//
// Exit codes: 0 created; 1 the database could not be written (or the server
// could not be reached); 2 bad arguments; 3 the file or database exists (give
// --force to replace it); 4 the SQL sources are broken (only with --sql); 5
// --force was given but a client has the office open.
#include <fmt/core.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <string>

#include "commands.hpp"
#include "progress.hpp"
#include "gateway/postgres/catalog.hpp"
#include "gateway/sqlite/catalog.hpp"
#include "office/file_office.hpp"
#include "office/server_office.hpp"
#include "office/upgrade.hpp"

namespace tarnwick::cli {
namespace {

struct InitArguments {
  std::string file;
  std::int64_t sample = -1;
  bool force = false;
  std::string sqlDirectory;
  // The office server: with a server, the database on it instead of FILE.
  std::string server, database, user, password;
  bool trusted = false;
};

// Says what is wrong with where the office is, for `tarnwick COMMAND`; empty when nothing.
std::string TargetError(const InitArguments& args, const char* verb) {
  const bool onServer = !args.server.empty();
  if (onServer == !args.file.empty())
    return onServer ? "give either FILE or --server, not both"
                    : fmt::format("give the database FILE to {}, or --server and --database", verb);
  if (onServer && args.database.empty())
    return fmt::format("--server needs --database NAME, the office database to {} on it", verb);
  if (!onServer && (!args.database.empty() || !args.user.empty() || !args.password.empty() || args.trusted))
    return "--database, --user, --password and --trusted go with --server";
  return {};
}

postgres::ConnectionSettings ServerOf(const InitArguments& args) {
  postgres::ConnectionSettings server;
  server.server = args.server;
  server.database = args.database;
  server.user = args.user;
  server.password = args.password;
  server.trusted = args.trusted;
  return server;
}

std::string TargetName(const InitArguments& args) {
  return args.server.empty() ? args.file
                             : fmt::format("the office database '{}' on {}", args.database, args.server);
}

int RunInit(const InitArguments& args) {
  const bool onServer = !args.server.empty();
  if (const std::string error = TargetError(args, "create"); !error.empty()) {
    fmt::print(stderr, "tarnwick init: {}\n", error);
    return 2;
  }
  office::OfficeOptions options;
  options.overwrite = args.force;
  if (args.sample >= 0) options.sampleDocuments = args.sample;
  options.sqlDirectory = args.sqlDirectory;
  auto progress = std::make_shared<ProgressLine>();
  if (ProgressLine::Wanted()) {
    options.progress = [progress](const office::OfficeProgress& p) { progress->Update(p.stage, p.done, p.total); };
  }
  const postgres::ConnectionSettings server = ServerOf(args);
  const std::string target = TargetName(args);
  const office::OfficeResult result = onServer ? office::CreateServerOffice(server, options)
                                               : office::CreateFileOffice(args.file, options);
  progress->Clear();
  switch (result.status) {
    case office::OfficeStatus::Ok: break;
    case office::OfficeStatus::AlreadyExists:
      fmt::print(stderr, "tarnwick init: {}; give --force to replace it\n", result.message);
      return 3;
    case office::OfficeStatus::InUse:
      fmt::print(stderr, "tarnwick init: {}\n", result.message);
      return 5;
    case office::OfficeStatus::InvalidOptions:
      fmt::print(stderr, "tarnwick init: {}\n", result.message);
      return 2;
    case office::OfficeStatus::InvalidSource:
      fmt::print(stderr, "tarnwick init: the office database's SQL is broken: {}\n", result.message);
      return 4;
    case office::OfficeStatus::DatabaseError:
      fmt::print(stderr, "tarnwick init: {}\n", result.message);
      return 1;
  }

  const office::OfficeSummary& s = result.summary;
  const int version = onServer ? postgres::kServerSchemaVersion : sqlite::kSchemaVersion;
  if (options.sampleDocuments) {
    fmt::print("Created {} (schema version {}): sample office with {} documents, {} committees, {} officer terms, "
               "{} staff rows, {} scanned documents and {} procedures in {:.1f} s\n",
               target, version, s.documents, s.committees, s.officers, s.users, s.images,
               s.procedures, s.seconds);
  } else {
    fmt::print("Created {} (schema version {}): empty office with {} procedures in {:.1f} s\n", target, version,
               s.procedures, s.seconds);
  }
  return 0;
}

// The options that name an office on the server, for `init` and `upgrade`.
void AddTargetOptions(CLI::App& cmd, InitArguments& args, const std::string& verb) {
  cmd.add_option("--server", args.server, verb + " the office on this database server: HOST, HOST:PORT or a socket folder")
      ->type_name("HOST[:PORT]");
  cmd.add_option("--database", args.database, "The office database on the server")->type_name("NAME");
  cmd.add_option("--user", args.user, "User name on the server")->type_name("NAME");
  auto* password = cmd.add_option("--password", args.password, "Password on the server (else $PGPASSWORD or ~/.pgpass)")
                       ->type_name("TEXT");
  cmd.add_flag("--trusted", args.trusted, "Send no password: the server knows the user by its login")->excludes(password);
}

int RunUpgrade(const InitArguments& args) {
  if (const std::string error = TargetError(args, "upgrade"); !error.empty()) {
    fmt::print(stderr, "tarnwick upgrade: {}\n", error);
    return 2;
  }
  const office::UpgradeResult result =
      args.server.empty() ? office::UpgradeFileOffice(args.file) : office::UpgradeServerOffice(ServerOf(args));
  switch (result.status) {
    case office::OfficeStatus::Ok: break;
    case office::OfficeStatus::InUse:
      fmt::print(stderr, "tarnwick upgrade: {}\n", result.message);
      return 5;
    case office::OfficeStatus::InvalidOptions:
      fmt::print(stderr, "tarnwick upgrade: {}\n", result.message);
      return 2;
    default:
      fmt::print(stderr, "tarnwick upgrade: {}; the office is as it was\n", result.message);
      return 1;
  }
  if (result.from == result.to) {
    fmt::print("{} is at schema version {} already: nothing to do\n", TargetName(args), result.to);
    return 0;
  }
  fmt::print("Upgraded {} from schema version {} to {}", TargetName(args), result.from, result.to);
  if (result.removed.empty()) fmt::print("; nothing left behind by deleted documents\n");
  for (std::size_t i = 0; i < result.removed.size(); ++i)
    fmt::print("{}{}", i == 0 ? "; removed what deleted documents left behind: " : ", ", result.removed[i]);
  if (!result.removed.empty()) fmt::print("\n");
  return 0;
}

}  // namespace

void AddUpgradeCommand(CLI::App& app) {
  auto* cmd = app.add_subcommand("upgrade", "Bring an office of the previous schema version up to this one");
  auto args = std::make_shared<InitArguments>();
  cmd->add_option("FILE", args->file, "The office database file (or give --server and --database)");
  AddTargetOptions(*cmd, *args, "Upgrade");
  cmd->footer(
      "The old office file is kept as FILE.before-upgrade until the new one is in place.\n"
      "Exit codes: 0 upgraded (or nothing to do), 1 the office could not be upgraded and is as it was,\n"
      "2 bad arguments or an office this version cannot upgrade, 5 the office is in use by a client.");
  cmd->callback([args] {
    const int rc = RunUpgrade(*args);
    if (rc != 0) throw CLI::RuntimeError(rc);
  });
}

void AddInitCommand(CLI::App& app) {
  auto* cmd = app.add_subcommand("init", "Create an office database, empty or with a sample office");
  auto args = std::make_shared<InitArguments>();
  cmd->add_option("FILE", args->file, "The database file to create (or give --server and --database)");
  cmd->add_option("--sample", args->sample,
                  "Fill a sample office with N documents (the same N always gives the same office)")
      ->type_name("N")
      ->check(CLI::Validator(
          [](std::string& text) -> std::string {
            // Said before the range check, which would call any non-number "not in range".
            const bool digits = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
            return digits ? std::string() : "takes a whole number of documents, not '" + text + "'";
          },
          "N"))
      ->check(CLI::Range(std::int64_t{0}, office::kMaxSampleDocuments));
  cmd->add_flag("--force", args->force, "Replace FILE (or the server's database) if it exists");
  cmd->add_option("--sql", args->sqlDirectory,
                  "Read the database's SQL from this folder (laid out as db/sqlite, or db/postgres with --server) "
                  "instead of the built-in copy")
      ->type_name("DIR")
      ->check(CLI::ExistingDirectory);
  AddTargetOptions(*cmd, *args, "Create");
  cmd->footer(
      "Exit codes: 0 created, 1 the database could not be written or the server not reached,\n"
      "2 bad arguments, 3 FILE or the database exists (give --force), 4 the SQL sources are broken,\n"
      "5 the office is in use by a client.\n"
      "Examples: tarnwick init office.db --sample 1000\n"
      "          tarnwick init --server db.example.org --database office --user clerk --password ...");
  cmd->callback([args] {
    const int rc = RunInit(*args);
    if (rc != 0) throw CLI::RuntimeError(rc);
  });
}

}  // namespace tarnwick::cli
