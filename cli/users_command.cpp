// `tarnwick users add|list|remove`: who may sign in to the clerks' side of
// `tarnwick serve`.
#include <fmt/core.h>

#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <string>

#include "commands.hpp"
#include "logins.hpp"
#include "session.hpp"

namespace tarnwick::cli {
namespace {

struct UserChoices {
  std::string name, role = "clerk";
  bool passwordStdin = false;
};

constexpr std::size_t kShortestPassword = 10;

service::Office OfficeOfSession() {
  const Connection& c = CurrentSession().connection;
  return {c.db, c.server, c.user, c.password, c.trusted};
}

// Runs a step of the login store, its refusals as failures of the command.
template <class Step>
auto Store(Step step) {
  const service::Office office = OfficeOfSession();
  service::LoginStore store(office);
  try {
    return step(store);
  } catch (const service::Problem& p) {
    throw Failure(p.Status() == 503 ? kExitNoDatabase : kExitFailed, p.Detail());
  }
}

void Add(const UserChoices& c) {
  if (!c.passwordStdin) throw Failure(kExitUsage, "give the password on standard input with --password-stdin");
  std::string password;
  std::getline(std::cin, password);
  if (!password.empty() && password.back() == '\r') password.pop_back();
  if (password.size() < kShortestPassword) {
    throw Failure(kExitUsage, fmt::format("a password needs at least {} characters", kShortestPassword));
  }
  if (c.name.empty() || c.name.size() > 50) throw Failure(kExitUsage, "a user name has 1 to 50 characters");
  const std::string hash = service::HashPassword(password);
  Store([&](service::LoginStore& s) {
    s.Save(c.name, c.role, hash);
    return 0;
  });
  PrintMessage(fmt::format("{} may sign in as a {}", c.name, c.role), CurrentSession().format);
}

void List() {
  Table table{{"User", "Role", "FailedLogins"}, {}};
  for (const auto& login : Store([](service::LoginStore& s) { return s.List(); })) {
    table.Add({login.userName, login.role, Cell(std::to_string(login.failedLogins), Variant(static_cast<std::int32_t>(login.failedLogins)))});
  }
  Print(table, CurrentSession().format);
}

void Remove(const std::string& name) {
  if (!Store([&](service::LoginStore& s) { return s.Remove(name); })) {
    throw Failure(kExitNotFound, fmt::format("{} has no login", name));
  }
  PrintMessage(fmt::format("{} may no longer sign in; their sessions have ended", name), CurrentSession().format);
}

}  // namespace

void AddUsersCommand(CLI::App& app) {
  CLI::App* users = AddCommandGroup(app, "users", "Who may sign in to the clerks' side of `tarnwick serve`",
                                    "echo 'a long password' | tarnwick users add jsmith --role clerk --password-stdin");
  auto c = std::make_shared<UserChoices>();
  auto* add = users->add_subcommand("add", "Let an office user sign in (adds the user when the office has none of that name)");
  add->add_option("NAME", c->name, "The office user's name")->required();
  add->add_option("--role", c->role, "clerk or admin")->capture_default_str()->check(CLI::IsMember({"clerk", "admin"}));
  add->add_flag("--password-stdin", c->passwordStdin, "Read the password from the first line of standard input");
  add->callback([c] { RunCommand("users add", [&] { Add(*c); }); });
  users->add_subcommand("list", "The users who may sign in")->callback([] { RunCommand("users list", [] { List(); }); });
  auto name = std::make_shared<std::string>();
  auto* remove = users->add_subcommand("remove", "End a user's login and every session of theirs");
  remove->add_option("NAME", *name, "The office user's name")->required();
  remove->callback([name] { RunCommand("users remove", [&] { Remove(*name); }); });
}

}  // namespace tarnwick::cli
