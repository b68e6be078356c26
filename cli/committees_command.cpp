// `tarnwick committees search|show|affected`: the committee search form,
// one committee, and the committees a document affects.
#include <fmt/core.h>

#include <CLI/CLI.hpp>
#include <memory>
#include <string>
#include <vector>

#include "client/kinds.hpp"
#include "commands.hpp"
#include "record.hpp"
#include "session.hpp"
#include "tarnwick/clsOrg.hpp"

namespace tarnwick::cli {
namespace {

// The name search kinds of the committee search form.
const std::vector<std::string> kListColumns{"OrgID",       "OrgName",       "InhouseName",    "CommTypeCode",
                                            "StatusDesc",  "CandLastName",  "CandFirstName",  "TreasLastName",
                                            "TreasFirstName"};

struct CommitteeChoices {
  std::string type, level, status, office, party, name, first, nameKind = "committee", nameIn = "O";
  bool withNrr = false;
  long limit = 100;
};

void Search(const CommitteeChoices& c) {
  const Session& s = CurrentSession();
  if (c.nameKind != "committee" && c.nameKind != "candidate" && c.nameKind != "treasurer" && !c.first.empty()) {
    throw Failure(kExitUsage, "--first goes with --name-kind candidate or treasurer");
  }
  clsOrg committees;
  s.Open(committees);
  const std::string filter = committees.SetupFilter(c.type, c.level, c.status, client::CommitteeNameKinds().at(c.nameKind), c.name,
                                                    c.first, c.office, c.party, c.nameIn);
  const bool found = c.withNrr ? committees.GetAffectedDataList(filter) : committees.GetDataList(filter);
  const Table table = found ? Rows(committees, kListColumns, c.limit) : Table{kListColumns, {}};
  Print(table, s.format);
  const std::int32_t total = found ? committees.RecordCount() : 0;
  if (s.format == Format::Table && static_cast<std::int32_t>(table.rows.size()) < total) {
    fmt::print("({} of {} committees shown; --limit 0 shows them all)\n", table.rows.size(), total);
  }
}

void Show(std::int32_t group) {
  const Session& s = CurrentSession();
  clsOrg committee;
  s.Open(committee);
  if (!committee.GetCommittee(fmt::format("and ro.group_id = {} ", group))) {
    throw Failure(kExitNotFound, fmt::format("there is no current committee with group {}", group));
  }
  PrintRecord(CurrentRow(committee, ColumnProperties(committee)), s.format);
}

void Affected(std::int32_t document) {
  const Session& s = CurrentSession();
  clsOrg committees;
  s.Open(committees);
  const bool found = committees.GetAffectedCommitteeDocumentList(std::to_string(document));
  Print(found ? Rows(committees, kListColumns) : Table{kListColumns, {}}, s.format);
}

}  // namespace

void AddCommitteesCommand(CLI::App& app) {
  auto* committees = AddCommandGroup(app, "committees", "Search committees with their candidates and treasurers",
                                    "tarnwick committees search --name-kind treasurer --name Kessler");

  auto* search = committees->add_subcommand("search", "Search current committees the way the search form does");
  auto c = std::make_shared<CommitteeChoices>();
  search->add_option("--type", c->type, "Committee type code (CNC, PAC, ...)");
  search->add_option("--level", c->level, "Committee level code");
  search->add_option("--status", c->status, "Committee status code");
  search->add_option("--office", c->office, "Office the candidate runs for (code)");
  search->add_option("--party", c->party, "Party code");
  search->add_option("--name", c->name, "Name to look for (a part of it is enough; * and ? are wildcards)");
  search->add_option("--first", c->first, "Candidate or treasurer first name (with --name-kind candidate|treasurer)");
  search->add_option("--name-kind", c->nameKind, "What --name is: committee, id, previous-id, candidate or treasurer")
      ->capture_default_str()
      ->check(CLI::IsMember({"committee", "id", "previous-id", "candidate", "treasurer"}));
  search->add_option("--name-in", c->nameIn,
                     "With --name-kind committee: which names --name must match, O (official name), I (in-house "
                     "name), A (acronym); every letter given must match, so OI finds only a committee whose "
                     "official and in-house names both match")
      ->capture_default_str()
      ->check(CLI::Validator(
          [](std::string& letters) -> std::string {
            if (!letters.empty() && letters.find_first_not_of("OIA") == std::string::npos) return {};
            return "takes one or more of the letters O, I and A, not '" + letters + "'";
          },
          "OIA"));
  search->add_flag("--with-nrr", c->withNrr, "Include committees of type NRR");
  search->add_option("--limit", c->limit, "At most this many rows (0: all)")->capture_default_str()->check(CLI::NonNegativeNumber);
  search->footer("Example: tarnwick committees search --name-kind candidate --name 'Sm*' --first Ann");
  search->callback([c] { RunCommand("committees search", [&] { Search(*c); }); });

  auto group = std::make_shared<std::int32_t>(0);
  auto* show = committees->add_subcommand("show", "Show one current committee by its group identifier");
  show->add_option("GROUP", *group, "Committee group identifier")->required();
  show->footer("Example: tarnwick committees show 12");
  show->callback([group] { RunCommand("committees show", [&] { Show(*group); }); });

  auto document = std::make_shared<std::int32_t>(0);
  auto* affected = committees->add_subcommand("affected", "List the committees a document affects");
  affected->add_option("DOCUMENT", *document, "Document identifier")->required();
  affected->footer("Example: tarnwick committees affected 345");
  affected->callback([document] { RunCommand("committees affected", [&] { Affected(*document); }); });
}

}  // namespace tarnwick::cli
