// `tarnwick lists show KIND` and `tarnwick codes describe KIND CODE`: the
// office's code lists in force on a date, and a code's description.
#include <fmt/core.h>

#include <CLI/CLI.hpp>
#include <memory>
#include <string>

#include "client/kinds.hpp"
#include "commands.hpp"
#include "record.hpp"
#include "session.hpp"
#include "tarnwick/clsLookup_List.hpp"
#include "tarnwick/error.hpp"
#include "tarnwick/variant.hpp"

namespace tarnwick::cli {
namespace {

std::string KindNames() { return client::Names(client::ListKinds()); }

struct ListChoices {
  std::string kind, date, filter, of, role, code;
};

zubList Kind(const std::string& name) {
  const auto found = client::ListKinds().find(name);
  if (found == client::ListKinds().end()) throw Failure(kExitUsage, fmt::format("unknown list \"{}\"; the lists are: {}", name, KindNames()));
  return found->second;
}

// The list in force on --date (today when not given).
void Load(clsLookup_List& list, const ListChoices& c) {
  const Date on = Variant(CheckDate("--date", c.date.empty() ? Today() : c.date)).CDate();
  const zubList kind = Kind(c.kind);
  CurrentSession().Open(list);
  list.GetData(kind, on, -1, c.of, c.role);
}

void Show(const ListChoices& c) {
  const Session& s = CurrentSession();
  clsLookup_List list;
  Load(list, c);
  if (!c.filter.empty() && list.DataReady()) {
    try {
      list.ListFilter(c.filter);
    } catch (const RuntimeError& e) {
      if (e.Number() != 3001) throw;
      throw Failure(kExitUsage, fmt::format("--filter \"{}\" is not a list filter such as \"Code LIKE 'G*'\"", c.filter));
    }
  }
  Print(Rows(list, ColumnProperties(list, {"Index", "ListFilter"})), s.format);
}

void Describe(const ListChoices& c) {
  const Session& s = CurrentSession();
  clsLookup_List list;
  Load(list, c);
  const std::string description = list.DataReady() ? list.GetDescription(c.code) : "";
  if (description.empty() && (!list.DataReady() || list.FindIndex(c.code) < 1)) {
    throw Failure(kExitNotFound, fmt::format("the {} list has no code \"{}\" in force then", c.kind, c.code));
  }
  PrintRecord({{"Code", c.code}, {"Description", description}}, s.format);
}

void AddListOptions(CLI::App& cmd, ListChoices& c) {
  cmd.add_option("KIND", c.kind, "The list: " + KindNames())->required();
  cmd.add_option("--date", c.date, "The codes in force on this date, mm/dd/yyyy (default: today)");
  cmd.add_option("--of", c.of,
                 "The list's own choice: the document type (document-reason, document-sub-type), the committee "
                 "group (officer-name), the scheduled flag (report-sub-type)");
  cmd.add_option("--role", c.role, "The officer role of officer-name (cnd, trs, ...)");
}

}  // namespace

void AddListsCommands(CLI::App& app) {
  auto* lists = AddCommandGroup(app, "lists", "Show the office's code lists",
                               "tarnwick lists show party");
  auto* show = lists->add_subcommand("show", "Show a code list in force on a date");
  auto c = std::make_shared<ListChoices>();
  AddListOptions(*show, *c);
  show->add_option("--filter", c->filter, "Narrow the list, e.g. \"Code LIKE 'C*'\" or \"Description = 'Mayor'\"");
  show->footer("Example: tarnwick lists show office --date 11/02/2004");
  show->callback([c] { RunCommand("lists show", [&] { Show(*c); }); });

  auto* codes = AddCommandGroup(app, "codes", "Look up codes in the office's code lists",
                               "tarnwick codes describe document-sub-type Q3 --of RPT");
  auto* describe = codes->add_subcommand("describe", "The description of a code");
  auto d = std::make_shared<ListChoices>();
  AddListOptions(*describe, *d);
  describe->add_option("CODE", d->code, "The code")->required();
  describe->footer("Example: tarnwick codes describe party DEM");
  describe->callback([d] { RunCommand("codes describe", [&] { Describe(*d); }); });
}

}  // namespace tarnwick::cli
