// The subcommands of the tarnwick client. Each Add*Command registers one
// subcommand (with its own subcommands) on the application; main.cpp calls
// them all. A subcommand that fails reports on stderr and throws
// CLI::RuntimeError with its exit code (see session.hpp for the codes).
#pragma once

namespace CLI {
class App;
}

namespace tarnwick::cli {

// tarnwick init FILE [--sample N] [--force]: creates an office database.
void AddInitCommand(CLI::App& app);
// tarnwick upgrade FILE: brings an office of the previous schema version up to this one.
void AddUpgradeCommand(CLI::App& app);
// tarnwick demo [FILE]: a typical day at the office, in short steps.
void AddDemoCommand(CLI::App& app);
// tarnwick typelib [--members]: the type library, for client developers.
void AddTypelibCommand(CLI::App& app);
// tarnwick documents search|show|new|set|delete|link|unlink.
void AddDocumentsCommand(CLI::App& app);
// tarnwick checks run TYPE ...: the filing checks.
void AddChecksCommand(CLI::App& app);
// tarnwick committees search|show|affected.
void AddCommitteesCommand(CLI::App& app);
// tarnwick find TEXT [--kind K] [--limit N]: the forgiving name search.
void AddFindCommand(CLI::App& app);
// tarnwick lists show KIND and tarnwick codes describe KIND CODE.
void AddListsCommands(CLI::App& app);
// tarnwick images put|get|info|delete.
void AddImagesCommand(CLI::App& app);
// tarnwick export filed-reports|correspondence.
void AddExportCommand(CLI::App& app);
// tarnwick settings batch-scan|defaults.
void AddSettingsCommand(CLI::App& app);

// tarnwick serve [--listen HOST:PORT]: the office on the web.
void AddServeCommand(CLI::App& app);

// tarnwick users add|list|remove: who may sign in to the service.
void AddUsersCommand(CLI::App& app);

}  // namespace tarnwick::cli
