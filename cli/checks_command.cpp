// `tarnwick checks run TYPE ...`: the office's filing checks for a committee
// and a report: the 48-hour lists, the MEF check and return, and the
// existing-report check.
#include <fmt/core.h>

#include <CLI/CLI.hpp>
#include <map>
#include <memory>
#include <string>

#include "client/kinds.hpp"
#include "commands.hpp"
#include "record.hpp"
#include "session.hpp"
#include "tarnwick/clsDocument.hpp"
#include "tarnwick/recordset.hpp"

namespace tarnwick::cli {
namespace {

struct CheckArguments {
  MEFRunType type = FortyEightHourList;
  std::string committee, document, year, subType, from, to, receipts, expenditures;
};

void Run(const CheckArguments& a) {
  const Session& s = CurrentSession();
  const std::string from = a.from.empty() ? "" : CheckDate("--from", a.from);
  const std::string to = a.to.empty() ? "" : CheckDate("--to", a.to);
  clsDocument document;
  s.Open(document);
  bool matchFound = false, mefFlag = false;
  std::int16_t electionId = 0;
  if (!document.RunMEFChecks(a.type, a.committee, a.document, a.year, a.subType, from, to, a.receipts,
                             a.expenditures, matchFound, mefFlag, electionId)) {
    throw Refused(document, "the office database could not run the filing checks");
  }
  const bool listsRows = a.type == FortyEightHourList || a.type == FortyEightHourListAmend;
  const Record answers{{"MatchFound", Cell(Variant(matchFound))},
                       {"MEFFlag", Cell(Variant(mefFlag))},
                       {"ElectionID", Cell(Variant(electionId))}};
  if (!listsRows) {
    PrintRecord(answers, s.format);
    return;
  }
  const std::shared_ptr<Recordset> rows = document.mRecSet();
  Table table = rows ? AllColumns(*rows) : Table{};
  if (s.format == Format::Table) {
    PrintRecord(answers, s.format);
    fmt::print("\n");
    Print(table, s.format);
    return;
  }
  // For scripts the answers go with every listed row, so the output is one table.
  for (const auto& [name, value] : answers) table.columns.push_back(name);
  for (auto& row : table.rows) {
    for (const auto& [name, value] : answers) row.push_back(value);
  }
  if (table.rows.empty()) {
    PrintRecord(answers, s.format);
    return;
  }
  Print(table, s.format);
}

}  // namespace

void AddChecksCommand(CLI::App& app) {
  auto* checks = AddCommandGroup(app, "checks", "Run the office's filing checks",
                                "tarnwick checks run mef-check --committee 12 --year 2004 --sub-type Q3");
  auto* run = checks->add_subcommand("run", "Run one filing check for a committee and a report");
  auto a = std::make_shared<CheckArguments>();
  run->add_option("TYPE", a->type,
                  "48h-list, 48h-list-amend (list the 48-hour notices of the period), mef-check, mef-return or "
                  "existing-report")
      ->required()
      ->transform(CLI::CheckedTransformer(client::CheckKinds()));
  run->add_option("--committee", a->committee, "Committee group identifier")->required();
  run->add_option("--document", a->document, "The report being checked (left out of the comparisons)");
  run->add_option("--year", a->year, "Report year (the whole year when no period is given)");
  run->add_option("--sub-type", a->subType, "Report sub-type code");
  run->add_option("--from", a->from, "Start of the report period, mm/dd/yyyy");
  run->add_option("--to", a->to, "End of the report period, mm/dd/yyyy");
  run->add_option("--receipts", a->receipts, "Total receipts of the report");
  run->add_option("--expenditures", a->expenditures, "Total expenditures of the report");
  run->footer("Example: tarnwick checks run 48h-list --committee 12 --from 01/01/2004 --to 06/30/2004");
  run->callback([a] { RunCommand("checks run", [&] { Run(*a); }); });
}

}  // namespace tarnwick::cli
