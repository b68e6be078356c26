// `tarnwick demo FILE`: what a desktop client does with the library, on an
// office database. It creates the classes by programmatic identifier, prints
// the type library, and walks result sets with the record cursor.
#include <fmt/core.h>

#include <CLI/CLI.hpp>
#include <filesystem>
#include <memory>
#include <string>

#include "commands.hpp"
#include "tarnwick/tarnwick.hpp"

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
  for (const EnumInfo& e : lib.enums) fmt::print("  enum {} ({} members)\n", e.name, e.members.size());
}

// Walks a cursor the way a client loop does: test DataReady, then step until EOF.
int WalkLinks(Object& link, std::int32_t documentId) {
  link.Call("GetData", {Variant(documentId)});
  int rows = 0;
  if (!link.Get("DataReady").CBool()) return rows;
  while (!link.Get("EOF").CBool()) {
    fmt::print("    document {} filed by committee {}\n", link.Get("DocumentID").CStr(), link.Get("OrgID").CStr());
    ++rows;
    link.Call("MoveNext");
  }
  return rows;
}

// The search form's choices for reports filed in a year, turned into a WHERE
// text by the document object and run as the document search.
void SearchReports(const std::string& file, const std::string& year, int documents) {
  clsDocument search;
  search.ConnectionVariables(file, "embedded", "", "", false);
  const std::string filter =
      search.SetupFilter("RPT", "", year, true, "", "", "", "", false, "", "", "", "", "", false);
  fmt::print("\nReports filed in {} ({}):\n", year, filter);
  if (!search.GetDocumentList(filter)) {
    fmt::print("  none\n");
    return;
  }
  for (int shown = 0; shown < documents && !search.EndOfFile(); ++shown) {
    fmt::print("  #{:<7} {:<10} {:<40.40} {}\n", search.UniqueID(), search.ReceiveSendDate(), search.Title(),
               search.CommType());
    search.MoveNext();
  }
  fmt::print("  {} reports found\n", search.Count());
}

int RunDemo(const std::string& file, bool members, int documents) {
  PrintTypeLibrary(members);
  if (!std::filesystem::exists(file)) {
    fmt::print(stderr, "tarnwick demo: {} does not exist; create it with `tarnwick init {} --sample 1000`\n", file, file);
    return 2;
  }
  auto link = CreateObject("Tarnwick.clsXrf_Org_Document");
  if (!link->Call("ConnectionVariables", {Variant(file), Variant("embedded"), Variant(""), Variant(""), Variant(false)})
           .CBool()) {
    // The gateway's own words name the file and the cause (not an office,
    // another schema version, read-only, damaged...).
    const auto* data = dynamic_cast<const DataObject*>(link.get());
    fmt::print(stderr, "tarnwick demo: {}\n", data ? data->LastErrorText() : file + " cannot be opened");
    return 2;
  }
  fmt::print("\nCommittee links of the first {} documents ({}):\n", documents, file);
  int total = 0;
  for (std::int32_t id = 1; id <= documents; ++id) total += WalkLinks(*link, id);
  fmt::print("  {} link rows walked; objects alive: {}\n", total, LiveObjectCount());
  SearchReports(file, "2004", documents);
  return 0;
}

}  // namespace

void AddDemoCommand(CLI::App& app) {
  auto* cmd = app.add_subcommand("demo", "Create the classes, print the type library and walk result sets");
  auto file = std::make_shared<std::string>();
  auto members = std::make_shared<bool>(false);
  auto documents = std::make_shared<int>(5);
  cmd->add_option("FILE", *file, "Office database file")->required();
  cmd->add_flag("--members", *members, "List every member of every class");
  cmd->add_option("--documents", *documents, "How many documents to walk")->check(CLI::Range(1, 1000000));
  cmd->callback([=] {
    int rc = 0;
    try {
      rc = RunDemo(*file, *members, *documents);
    } catch (const RuntimeError& e) {
      fmt::print(stderr, "tarnwick demo: error {} in {}: {}\n", e.Number(), e.Source(), e.Description());
      rc = 1;
    }
    if (rc != 0) throw CLI::RuntimeError(rc);
  });
}

}  // namespace tarnwick::cli
