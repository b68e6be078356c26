// tarnwick: the command-line client of the filing office library. It goes
// through the library's public classes only, as a desktop client does.
//
// Exit codes: 0 success; 2 a command line that does not parse; 6 memory ran
// out; otherwise the subcommand's own (see session.hpp and each subcommand's
// --help).
#include <fmt/core.h>

#include <CLI/CLI.hpp>
#include <new>
#include <string>

#include "commands.hpp"
#include "session.hpp"
#include "tarnwick/typelib.hpp"

namespace {

// The first word of the command line that is neither a global option nor an
// option's value: the command the user asked for, or nullptr.
const char* FirstWord(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("-", 0) != 0) return argv[i];
    const bool takesValue = arg == "--db" || arg == "--server" || arg == "--user" || arg == "--password" ||
                            arg == "--format";
    if (takesValue) ++i;
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"tarnwick: the filing office's documents, committees, code lists, images and exports", "tarnwick"};
  app.require_subcommand(1);
  const tarnwick::TypeLibraryInfo& lib = tarnwick::TypeLibrary();
  app.set_version_flag("--version",
                       fmt::format("tarnwick {} (type library {} {}.{})", TARNWICK_VERSION, lib.name, lib.majorVersion,
                                   lib.minorVersion));
  app.footer(
      "The options above may stand anywhere on the line: tarnwick lists show party --db office.db --format csv\n"
      "Run `tarnwick SUBCOMMAND --help` for the options and an example of each.");
  tarnwick::cli::AddSessionOptions(app);

  tarnwick::cli::AddInitCommand(app);
  tarnwick::cli::AddUpgradeCommand(app);
  tarnwick::cli::AddDemoCommand(app);
  tarnwick::cli::AddTypelibCommand(app);
  tarnwick::cli::AddDocumentsCommand(app);
  tarnwick::cli::AddCommitteesCommand(app);
  tarnwick::cli::AddFindCommand(app);
  tarnwick::cli::AddServeCommand(app);
  tarnwick::cli::AddUsersCommand(app);
  tarnwick::cli::AddListsCommands(app);
  tarnwick::cli::AddChecksCommand(app);
  tarnwick::cli::AddImagesCommand(app);
  tarnwick::cli::AddExportCommand(app);
  tarnwick::cli::AddSettingsCommand(app);

  // A first word that names no command is reported as such, not as a missing one.
  const char* word = FirstWord(argc, argv);
  if (word != nullptr) {
    bool known = false;
    std::string names;
    for (const CLI::App* sub : app.get_subcommands({})) {
      known = known || sub->check_name(word);
      names += (names.empty() ? "" : ", ") + sub->get_name();
    }
    if (!known) {
      fmt::print(stderr, "tarnwick: '{}' is not a command; the commands are {} (see --help)\n", word, names);
      return tarnwick::cli::kExitUsage;
    }
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::RuntimeError& e) {
    return e.get_exit_code();  // a subcommand failed and has reported why
  } catch (const CLI::ParseError& e) {
    const int rc = app.exit(e);  // prints the help, the version or the usage error
    return rc == 0 ? 0 : tarnwick::cli::kExitUsage;
  } catch (const std::bad_alloc&) {
    tarnwick::cli::ReportOutOfMemory(word != nullptr ? word : "");
    return tarnwick::cli::kExitNoMemory;
  }
  return 0;
}
