// `tarnwick documents search|show|new|set|delete|link|unlink`: the document
// search form, one document's columns, creating, changing and deleting a
// document, and its committee links.
#include <fmt/core.h>

#include <CLI/CLI.hpp>
#include <memory>
#include <string>
#include <vector>

#include "commands.hpp"
#include "record.hpp"
#include "session.hpp"
#include "tarnwick/clsDocument.hpp"
#include "tarnwick/clsXrf_Aff_Org_Document.hpp"
#include "tarnwick/clsXrf_Org_Document.hpp"

namespace tarnwick::cli {
namespace {

// The search form's choices, under the names a clerk reads on the form.
struct SearchChoices {
  std::string type, subType, year, committeeType, committee, nameIn = "O", first, last, dateKind, from, to, user;
  bool withoutCommittee = false;
  bool withoutReport = false;
  long limit = 100;
};

// The columns a search lists, as the document object's property names.
const std::vector<std::string> kSearchColumns{"UniqueID", "DocTypeCode", "DocSubTypeCode", "DocYear",
                                              "ReceiveSendDate", "Title", "InhouseName", "CommType"};

std::string DateKind(const std::string& kind) {
  if (kind.empty()) return "";
  if (kind == "entered") return "ENTERED DATE";
  if (kind == "received") return "RECEIVED DATE";
  if (kind == "updated") return "LAST UPDATE DATE";
  throw Failure(kExitUsage, fmt::format("--dates must be entered, received or updated, not \"{}\"", kind));
}

void Search(const SearchChoices& c) {
  const Session& s = CurrentSession();
  if ((!c.from.empty() || !c.to.empty()) && c.dateKind.empty()) {
    throw Failure(kExitUsage, "--from and --to need --dates entered|received|updated");
  }
  const std::string kind = DateKind(c.dateKind);
  const std::string from = c.from.empty() ? "" : CheckDate("--from", c.from);
  const std::string to = c.to.empty() ? "" : CheckDate("--to", c.to);
  clsDocument documents;
  s.Open(documents);
  const bool byCandidate = !c.first.empty() || !c.last.empty();
  const std::string filter = documents.SetupFilter(
      c.type, c.subType, c.year, !c.withoutCommittee, c.committeeType, c.committee, c.first, c.last, byCandidate,
      kind, from, to, c.user, c.nameIn, c.withoutReport);
  const bool found = documents.GetDocumentList(filter);
  const Table table = found ? Rows(documents, kSearchColumns, c.limit) : Table{kSearchColumns, {}};
  Print(table, s.format);
  const std::int32_t total = found ? documents.RecordCount() : 0;
  if (s.format == Format::Table && static_cast<std::int32_t>(table.rows.size()) < total) {
    fmt::print("({} of {} documents shown; --limit 0 shows them all)\n", table.rows.size(), total);
  }
}

void Load(clsDocument& document, std::int32_t id) {
  if (id < 1 || !document.GetData(id)) throw Failure(kExitNotFound, fmt::format("there is no document {}", id));
}

// Every column of one document; the image folder and marker are not columns.
void Show(std::int32_t id) {
  const Session& s = CurrentSession();
  clsDocument document;
  Load(s.Open(document), id);
  PrintRecord(CurrentRow(document, ColumnProperties(document, {"HasAltered", "ImagePath"})), s.format);
}

void Save(clsDocument& document, const std::vector<std::string>& assignments, const std::string& what) {
  for (const std::string& a : assignments) SetProperty(document, a);
  if (!document.SaveData()) throw Refused(document, fmt::format("the office database refused to save {}", what));
}

void New(const std::vector<std::string>& assignments) {
  const Session& s = CurrentSession();
  clsDocument document;
  s.Open(document).GetData();
  Save(document, assignments, "the new document");
  PrintMessage(fmt::format("Saved new document {}", document.UniqueID()), s.format);
}

void Set(std::int32_t id, const std::vector<std::string>& assignments) {
  const Session& s = CurrentSession();
  if (assignments.empty()) throw Failure(kExitUsage, "give at least one NAME=VALUE to change");
  clsDocument document;
  Load(s.Open(document), id);
  Save(document, assignments, fmt::format("document {}", id));
  PrintMessage(fmt::format("Saved document {}", id), s.format);
}

void Delete(std::int32_t id) {
  const Session& s = CurrentSession();
  clsDocument document;
  Load(s.Open(document), id);
  if (!document.DeleteData(id)) throw Refused(document, fmt::format("the office database refused to delete document {}", id));
  PrintMessage(fmt::format("Deleted document {}", id), s.format);
}

// The committee that filed a document, or with --affected a committee the document affects.
template <class Link>
void LinkWith(std::int32_t document, std::int32_t committee, bool remove) {
  const Session& s = CurrentSession();
  Link link;
  s.Open(link);
  if (remove) {
    if (!link.GetData(document)) throw Failure(kExitNotFound, fmt::format("document {} has no such links", document));
    if (!link.DeleteData(committee, document)) {
      throw Refused(link, fmt::format("the office database refused to remove the link of document {} to "
                                             "committee {}", document, committee));
    }
    PrintMessage(fmt::format("Removed the link of document {} to committee {}", document, committee), s.format);
    return;
  }
  link.GetData();
  link.OrgID(std::to_string(committee));
  link.DocumentID(std::to_string(document));
  if (!link.SaveData()) {
    throw Refused(link,
                  fmt::format("the office database refused to link document {} to committee {}", document, committee));
  }
  PrintMessage(fmt::format("Linked document {} to committee {}", document, committee), s.format);
}

struct LinkArguments {
  std::int32_t document = 0, committee = 0;
  bool affected = false;
};

void AddLinkCommand(CLI::App& parent, const std::string& name, bool remove) {
  auto* cmd = parent.add_subcommand(name, remove ? "Remove a link between a document and a committee"
                                                 : "Link a document to the committee that filed it (or that it affects)");
  auto a = std::make_shared<LinkArguments>();
  cmd->add_option("DOCUMENT", a->document, "Document identifier")->required();
  cmd->add_option("COMMITTEE", a->committee, "Committee identifier")->required();
  cmd->add_flag("--affected", a->affected, "The committee is one the document affects, not the one that filed it");
  cmd->footer(fmt::format("Example: tarnwick documents {} 345 1201{}", name, remove ? "" : " --affected"));
  cmd->callback([a, name, remove] {
    RunCommand("documents " + name, [&] {
      if (a->affected) LinkWith<clsXrf_Aff_Org_Document>(a->document, a->committee, remove);
      else LinkWith<clsXrf_Org_Document>(a->document, a->committee, remove);
    });
  });
}

}  // namespace

void AddDocumentsCommand(CLI::App& app) {
  auto* documents = AddCommandGroup(app, "documents", "Search, show, create, change and delete filed documents",
                                   "tarnwick documents search --year 2004 --type RPT; tarnwick documents show 345");

  auto* search = documents->add_subcommand("search", "Search documents the way the search form does");
  auto c = std::make_shared<SearchChoices>();
  search->add_option("--type", c->type, "Document type code (RPT, COR, ...)");
  search->add_option("--sub-type", c->subType, "Document sub-type code");
  search->add_option("--year", c->year, "Filing year");
  search->add_option("--committee-type", c->committeeType, "Committee type code, or \"No Committee\"");
  search->add_flag("--without-committee", c->withoutCommittee, "Only documents linked to no committee");
  search->add_option("--committee", c->committee, "Committee name; * and ? are wildcards");
  search->add_option("--name-in", c->nameIn,
                     "Where --committee is looked for: any of O (official name), I (in-house name), A (acronym)")
      ->capture_default_str();
  search->add_option("--candidate-first", c->first, "Candidate first name; * and ? are wildcards");
  search->add_option("--candidate-last", c->last, "Candidate last name; * and ? are wildcards");
  search->add_option("--dates", c->dateKind, "Which date --from/--to limit: entered, received or updated");
  search->add_option("--from", c->from, "First date, mm/dd/yyyy");
  search->add_option("--to", c->to, "Last date, mm/dd/yyyy");
  search->add_option("--user", c->user, "Only documents entered by this user");
  search->add_flag("--without-report", c->withoutReport, "Only documents linked to no report");
  search->add_option("--limit", c->limit, "At most this many rows (0: all)")->capture_default_str()->check(CLI::NonNegativeNumber);
  search->footer("Example: tarnwick documents search --year 2004 --committee-type CNC --candidate-last 'Sm*'");
  search->callback([c] { RunCommand("documents search", [&] { Search(*c); }); });

  auto id = std::make_shared<std::int32_t>(0);
  auto assignments = std::make_shared<std::vector<std::string>>();

  auto* show = documents->add_subcommand("show", "Show every column of one document");
  show->add_option("ID", *id, "Document identifier")->required();
  show->footer("Example: tarnwick documents show 345");
  show->callback([id] { RunCommand("documents show", [&] { Show(*id); }); });

  auto* create = documents->add_subcommand("new", "Create a document from NAME=VALUE columns");
  create->add_option("COLUMNS", *assignments, "Columns to set, as NAME=VALUE (dates as mm/dd/yyyy)")->required();
  create->footer("Example: tarnwick documents new DocTypeCode=COR DocYear=2004 Title='Letter to the treasurer'");
  create->callback([assignments] { RunCommand("documents new", [&] { New(*assignments); }); });

  auto* set = documents->add_subcommand("set", "Change columns of one document");
  set->add_option("ID", *id, "Document identifier")->required();
  set->add_option("COLUMNS", *assignments, "Columns to change, as NAME=VALUE (dates as mm/dd/yyyy)")->required();
  set->footer("Example: tarnwick documents set 345 DueDate=03/15/2004 AmountDue=25.00");
  set->callback([id, assignments] { RunCommand("documents set", [&] { Set(*id, *assignments); }); });

  auto* remove = documents->add_subcommand("delete", "Delete one document");
  remove->add_option("ID", *id, "Document identifier")->required();
  remove->footer("Example: tarnwick documents delete 345");
  remove->callback([id] { RunCommand("documents delete", [&] { Delete(*id); }); });

  AddLinkCommand(*documents, "link", false);
  AddLinkCommand(*documents, "unlink", true);
}

}  // namespace tarnwick::cli
