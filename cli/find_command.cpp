// `tarnwick find TEXT`: the forgiving name search, "who is Babcock?", one row
// per committee found, best match first.
#include <CLI/CLI.hpp>
#include <memory>
#include <string>
#include <vector>

#include "commands.hpp"
#include "record.hpp"
#include "session.hpp"
#include "tarnwick/clsNameSearch.hpp"

namespace tarnwick::cli {
namespace {

const std::vector<std::string> kFindColumns{"Kind",       "OrgID",      "OrgName",
                                            "MatchedName", "StatusCode", "LastFiledDate"};

struct FindChoices {
  std::string text, kind = "any";
  std::int32_t limit = 20;
};

void Find(const FindChoices& c) {
  const Session& s = CurrentSession();
  clsNameSearch search;
  s.Open(search);
  const bool found = search.Find(c.text, c.kind, c.limit);
  if (!found && !search.LastErrorText().empty()) throw Failure(kExitFailed, search.LastErrorText());
  Print(found ? Rows(search, kFindColumns) : Table{kFindColumns, {}}, s.format);
}

}  // namespace

void AddFindCommand(CLI::App& app) {
  auto c = std::make_shared<FindChoices>();
  auto* find = app.add_subcommand(
      "find", "Find committees by any name a person may type: their own names, candidates and treasurers");
  find->add_option("TEXT", c->text,
                   "Words of a name, in any order, each the start of a word ('bab sus', 'S Babcock'); case, accents "
                   "and apostrophes do not matter; an acronym is typed whole")
      ->required();
  find->add_option("--kind", c->kind, "Which names count: committee, candidate, treasurer or any")
      ->capture_default_str()
      ->check(CLI::IsMember({"committee", "candidate", "treasurer", "any"}));
  find->add_option("--limit", c->limit, "At most this many committees")
      ->capture_default_str()
      ->check(CLI::Range(1, clsNameSearch::kMaxFindRows));
  find->footer("Example: tarnwick find 'o hare' --kind candidate");
  find->callback([c] { RunCommand("find", [&] { Find(*c); }); });
}

}  // namespace tarnwick::cli
