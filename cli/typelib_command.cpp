// `tarnwick typelib [--members]`: the component's type library, for client
// developers: the classes with their identifiers and, on request, every
// member with its dispatch identifier, in function-table order.
#include <fmt/core.h>

#include <CLI/CLI.hpp>
#include <memory>

#include "commands.hpp"
#include "tarnwick/typelib.hpp"

namespace tarnwick::cli {
namespace {

const char* KindName(InvokeKind k) {
  switch (k) {
    case InvokeKind::Method: return "method";
    case InvokeKind::PropertyGet: return "get";
    case InvokeKind::PropertyPut: return "let";
  }
  return "";
}

void PrintTypeLibrary(bool members) {
  const TypeLibraryInfo& lib = TypeLibrary();
  fmt::print("Type library {} {}.{} (locale 0x{:x}) {}\n  {}\n", lib.name, lib.majorVersion, lib.minorVersion,
             lib.lcid, lib.libid, lib.helpString);
  for (const ClassInfo& c : lib.classes) {
    fmt::print("  {:<26} {} {} ({} table entries)\n", c.progId, c.clsid, c.interfaceName, c.members.size());
    if (!members) continue;
    for (const MemberInfo& m : c.members) fmt::print("      0x{:08X} {:<6} {}\n", m.dispid, KindName(m.kind), m.name);
  }
  for (const EnumInfo& e : lib.enums) {
    fmt::print("  enum {} ({} members)\n", e.name, e.members.size());
    if (!members) continue;
    for (const auto& [name, value] : e.members) fmt::print("      {:>4} {}\n", value, name);
  }
}

}  // namespace

void AddTypelibCommand(CLI::App& app) {
  auto* cmd = app.add_subcommand("typelib", "Print the type library: classes, identifiers and members");
  auto members = std::make_shared<bool>(false);
  cmd->add_flag("--members", *members, "List every member of every class with its dispatch identifier");
  cmd->footer("Example: tarnwick typelib --members");
  cmd->callback([members] { PrintTypeLibrary(*members); });
}

}  // namespace tarnwick::cli
