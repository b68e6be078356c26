// The subcommands of the tarnwick client. Each Add*Command registers one
// subcommand on the application; main.cpp calls them all. A subcommand that
// fails reports on stderr and throws CLI::RuntimeError with its exit code.
#pragma once

namespace CLI {
class App;
}

namespace tarnwick::cli {

// tarnwick init FILE [--sample N] [--force]: creates an office database.
void AddInitCommand(CLI::App& app);
// tarnwick demo FILE: walks an office database the way a desktop client does.
void AddDemoCommand(CLI::App& app);

}  // namespace tarnwick::cli
