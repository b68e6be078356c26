// tarnwick: the command-line client of the filing office library.
//
// Exit codes: 0 success; 2 a command line that does not parse; otherwise the
// subcommand's own (see each subcommand's --help).
#include <CLI/CLI.hpp>

#include "commands.hpp"

int main(int argc, char** argv) {
  CLI::App app{"tarnwick: the filing office's documents, committees and images", "tarnwick"};
  app.require_subcommand(1);

  tarnwick::cli::AddInitCommand(app);
  tarnwick::cli::AddDemoCommand(app);

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
