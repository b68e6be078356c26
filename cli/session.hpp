// What every office subcommand shares: the connection options (--db and the
// server options beside it), the output format, opening a class on the
// office, and turning a failure into a message and an exit code.
//
// Exit codes of the office subcommands: 0 done; 1 the library or the office
// database refused the work (the message says why); 2 a usage error (bad
// arguments, an unknown kind, a bad date); 3 what was asked for does not
// exist (no such document, no image); 4 the office database cannot be opened.
#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "output.hpp"
#include "tarnwick/object.hpp"

namespace CLI {
class App;
}

namespace tarnwick::cli {

inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNotFound = 3;
inline constexpr int kExitNoDatabase = 4;
// Memory ran out; the command did not finish.
inline constexpr int kExitNoMemory = 6;

// Tells stderr that memory ran out, without asking for more.
void ReportOutOfMemory(const char* command);

// A subcommand that cannot go on: the message for stderr and the exit code.
class Failure : public std::runtime_error {
 public:
  Failure(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
  int Code() const { return code_; }

 private:
  int code_;
};

struct Connection {
  std::string db;        // the office database file (embedded) or the database name on a server
  std::string server;    // "" for the embedded database
  std::string user;
  std::string password;
  bool trusted = false;
};

struct Session {
  Connection connection;
  Format format = Format::Table;

  // Connects an object of one of the public classes to the office. A file
  // that does not exist or cannot be opened is a Failure (exit 4) whose
  // message says how to create an office.
  template <class T>
  T& Open(T& object) const {
    Connect(object);
    return object;
  }
  void Connect(Object& object) const;
};

// The session the global options fill; subcommands read it when they run.
Session& CurrentSession();

// Adds --db, --server, --user, --password, --trusted and --format to app.
void AddSessionOptions(CLI::App& app);

// A write or query the office database refused: the message says what, and
// why in the gateway's own words when it has given them.
Failure Refused(const Object& object, const std::string& what);

// A command with subcommands of its own ("documents", "images", ...): one of
// them is required, and the help ends with the example given.
CLI::App* AddCommandGroup(CLI::App& app, const std::string& name, const std::string& description,
                          const std::string& example);

// Runs a subcommand body: a Failure or a library RuntimeError is reported on
// stderr as "tarnwick <command>: ..." and ends the program with its code.
void RunCommand(const std::string& command, const std::function<void()>& body);

// Parses a date typed as mm/dd/yyyy (one- or two-digit month and day);
// anything else is a usage Failure naming the option.
std::string CheckDate(const std::string& option, const std::string& text);

// Today's date as mm/dd/yyyy.
std::string Today();

}  // namespace tarnwick::cli
