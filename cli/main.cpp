// tarnwick: the command-line client of the filing office library.
//
// Exit codes: 0 success; 2 a command line that does not parse; otherwise the
// subcommand's own (see each subcommand's --help).
#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>

#include "commands.hpp"

int main(int argc, char** argv) {
  CLI::App app{"tarnwick: the filing office's documents, committees and images", "tarnwick"};
  app.require_subcommand(1);

  tarnwick::cli::AddInitCommand(app);
  tarnwick::cli::AddDemoCommand(app);

  // A first word that names no command is reported as such, not as a missing one.
  if (argc > 1 && argv[1][0] != '-') {
    const std::string word = argv[1];
    bool known = false;
    std::string names;
    for (const CLI::App* sub : app.get_subcommands({})) {
      known = known || sub->check_name(word);
      names += (names.empty() ? "" : ", ") + sub->get_name();
    }
    if (!known) {
      std::fprintf(stderr, "tarnwick: '%s' is not a command; the commands are %s (see --help)\n", word.c_str(),
                   names.c_str());
      return 2;
    }
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::RuntimeError& e) {
    return e.get_exit_code();  // a subcommand failed and has reported why
  } catch (const CLI::ParseError& e) {
    const int rc = app.exit(e);  // prints the help or the usage error
    return rc == 0 ? 0 : 2;
  }
  return 0;
}
