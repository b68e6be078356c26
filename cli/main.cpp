// tarnwick: the command-line client of the filing office library.
#include <CLI/CLI.hpp>

#include "commands.hpp"

int main(int argc, char** argv) {
  CLI::App app{"tarnwick: the filing office's documents, committees and images", "tarnwick"};
  app.require_subcommand(1);

  tarnwick::cli::AddInitCommand(app);
  tarnwick::cli::AddDemoCommand(app);

  CLI11_PARSE(app, argc, argv);
  return 0;
}
