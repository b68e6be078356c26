// `tarnwick demo [FILE]`: a typical day at the filing office, in short
// steps, through the library's public classes only: search the reports of a
// year, open one and record what is due; link it to a committee and list that
// committee's documents; search committees by candidate and look up codes;
// store a page image and read it back; run a 48-hour list and export the
// filed-reports list. A sample office is created first when FILE does not exist.
#include <fmt/core.h>

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "commands.hpp"
#include "office/file_office.hpp"
#include "office/internal.hpp"
#include "progress.hpp"
#include "record.hpp"
#include "session.hpp"
#include "tarnwick/pages.hpp"
#include "tarnwick/tarnwick.hpp"

namespace tarnwick::cli {
namespace {

constexpr std::int64_t kDemoDocuments = 2000;

void Step(int number, const std::string& title) { fmt::print("\n{}. {}\n", number, title); }

std::string Money(Currency amount) {
  const std::int64_t cents = amount.scaled / 100;
  return fmt::format("{}${}.{:02}", cents < 0 ? "-" : "", std::abs(cents) / 100, std::abs(cents) % 100);
}

void CreateSampleOffice(const std::string& file) {
  fmt::print("Creating a sample office with {} documents in {} ...\n", kDemoDocuments, file);
  office::OfficeOptions options;
  options.sampleDocuments = kDemoDocuments;
  auto progress = std::make_shared<ProgressLine>();
  if (ProgressLine::Wanted()) {
    options.progress = [progress](const office::OfficeProgress& p) { progress->Update(p.stage, p.done, p.total); };
  }
  const office::OfficeResult made = office::CreateFileOffice(file, options);
  progress->Clear();
  if (!made.ok()) throw Failure(kExitFailed, fmt::format("cannot create the sample office: {}", made.message));
}

// Step 1: the search form with a year and a committee type.
std::int32_t SearchReports(const Session& s) {
  Step(1, "Reports filed in 2004 by candidate committees (the document search form)");
  clsDocument search;
  s.Open(search);
  const std::string filter =
      search.SetupFilter("RPT", "", "2004", true, "CNC", "", "", "", false, "", "", "", "", "", false);
  if (!search.GetDocumentList(filter)) throw Failure(kExitFailed, "the sample office has no such reports");
  fmt::print("   {} reports; the first five:\n", search.Count());
  Print(Rows(search, {"UniqueID", "DocSubTypeCode", "ReceiveSendDate", "Title", "InhouseName"}, 5), Format::Table);
  search.MoveFirst();
  return search.UniqueID();
}

// Step 2: open one report, record its due date and the amount due, save.
void RecordAmountDue(const Session& s, std::int32_t id) {
  Step(2, fmt::format("Open report {} and record what the committee owes", id));
  clsDocument report;
  if (!s.Open(report).GetData(id)) throw Failure(kExitFailed, fmt::format("report {} is gone", id));
  const std::string oldDue = report.DueDate();
  const Currency oldAmount = report.AmountDue();
  report.DueDate("12/31/2004");
  report.AmountDue(Currency{oldAmount.scaled + 500'000});  // a late fee of $50.00
  if (!report.SaveData()) throw Refused(report, "the office database refused the change");
  report.GetData(id);
  fmt::print("   \"{}\": due {} -> {}, amount due {} -> {}; saved\n", report.Title(),
             oldDue.empty() ? "(none)" : oldDue, report.DueDate(), Money(oldAmount), Money(report.AmountDue()));
}

// Step 3: the committee that filed it, a link to a committee it affects, and
// that committee's documents.
void CommitteeDocuments(const Session& s, std::int32_t id) {
  Step(3, fmt::format("Committee links of report {} and the committee's documents", id));
  clsXrf_Org_Document filedBy;
  if (!s.Open(filedBy).GetData(id)) throw Failure(kExitFailed, fmt::format("report {} has no committee", id));
  const std::int32_t committee = std::stoi(filedBy.OrgID());
  const std::int32_t group = filedBy.GetOrgGroupID(committee);
  fmt::print("   filed by committee {} (group {})\n", committee, group);

  clsXrf_Aff_Org_Document affects;
  s.Open(affects);
  bool linked = false;
  if (affects.GetData(id)) {
    for (; !affects.EndOfFile(); affects.MoveNext()) linked = linked || affects.OrgID() == std::to_string(committee);
  }
  if (!linked) {
    affects.GetData();
    affects.OrgID(std::to_string(committee));
    affects.DocumentID(std::to_string(id));
    if (!affects.SaveData()) throw Refused(affects, "the office database refused the link");
  }
  fmt::print("   {} as a committee the report affects\n", linked ? "already linked" : "linked");

  clsDocument documents;
  if (!s.Open(documents).GetCommitteeDocumentList(std::to_string(group))) {
    throw Failure(kExitFailed, fmt::format("committee group {} has no documents", group));
  }
  fmt::print("   committee group {} has {} live documents; the latest five:\n", group, documents.Count());
  documents.MoveLast();
  Table latest{{"UniqueID", "DocTypeCodeDesc", "DocNameDesc", "ReceiveSendDate"}, {}};
  for (int shown = 0; shown < 5 && !documents.BOF(); ++shown, documents.MovePrevious()) {
    latest.Add({std::to_string(documents.UniqueID()), documents.DocTypeCodeDesc(), documents.DocNameDesc(),
                documents.ReceiveSendDate()});
  }
  Print(latest, Format::Table);
}

// Step 4: the committee search form by candidate name, the name search as a
// reader types it, and a few codes of the report.
void CommitteesAndCodes(const Session& s, std::int32_t id) {
  Step(4, "Committees whose candidate's last name contains \"bab\" (the committee search form), anyone found "
          "by \"s babcock\" (the name search), and codes");
  clsOrg committees;
  s.Open(committees);
  const std::string filter = committees.SetupFilter("", "", "", "3", "bab", "", "", "", "");
  if (committees.GetDataList(filter)) {
    fmt::print("   {} committees:\n", committees.RecordCount());
    Print(Rows(committees, {"OrgID", "OrgName", "CandLastName", "CandFirstName", "StatusDesc"}, 5), Format::Table);
  }
  clsNameSearch names;
  s.Open(names);
  if (names.Find("s babcock", "any", 5)) {
    fmt::print("   \"s babcock\" finds:\n");
    Print(Rows(names, {"Kind", "OrgID", "OrgName", "MatchedName", "StatusCode"}), Format::Table);
  }
  clsDocument report;
  if (!s.Open(report).GetData(id)) return;
  clsLookup_List codes;
  s.Open(codes);
  const Date today = Variant(Today()).CDate();
  codes.GetData(zubL_DocumentSubType, today, -1, report.DocTypeCode());
  fmt::print("   report sub-type {} is \"{}\"\n", report.DocSubTypeCode(), codes.GetDescription(report.DocSubTypeCode()));
  codes.GetData(zubL_DeliveryMethod, today);
  fmt::print("   delivery method {} is \"{}\"\n", report.DeliveryMethodCode(),
             codes.GetDescription(report.DeliveryMethodCode()));
}

// Step 5: a scanned page stored under the report, read back whole, and
// looked at as a clerk would: its size, and a thumbnail of it.
void PageImage(const Session& s, std::int32_t id) {
  Step(5, fmt::format("Store a scanned page of report {} and read it back", id));
  // A letter-shaped grey page of "text" at 40 dpi, drawn by the sample office's scanner.
  const office::detail::ScanPage drawn = office::detail::DrawScanPage(340, 440, 1, false, 5);
  const std::string png = office::detail::WriteScanPng(drawn);
  const Bytes page(png.begin(), png.end());
  clsDocumentImage images;
  s.Open(images);
  if (!images.GetData(id)) images.GetData();
  images.Image(page);
  images.PageCount("1");
  if (!images.SaveData(std::to_string(id))) throw Refused(images, "the office database refused the image");
  clsDocumentImage reader;
  s.Open(reader).GetData(id);
  const Bytes back = reader.Image();
  fmt::print("   stored {} bytes ({} page); read back {} bytes, {}\n", page.size(), reader.PageCount(), back.size(),
             back == page ? "identical" : "DIFFERENT");
  if (back != page) throw Failure(kExitFailed, "the image read back differs from the one stored");
  const std::string name = fmt::format("document {}", id);
  const pages::PageInfo info = pages::ReadPages(back, name).front();
  const Bytes thumbnail = pages::RenderPng(back, name, 1, 100);
  fmt::print("   page 1 is {} x {} pixels; a thumbnail 100 pixels wide takes {} bytes as PNG\n", info.width,
             info.height, thumbnail.size());
}

// Step 6: the 48-hour list of the year of a committee that sent a 48-hour notice.
void FortyEightHourNotices(const Session& s) {
  clsDocument notices;
  s.Open(notices);
  const std::string filter =
      notices.SetupFilter("", "48H", "", true, "", "", "", "", false, "", "", "", "", "", false);
  if (!notices.GetDocumentList(filter)) return;
  clsXrf_Org_Document filedBy;
  if (!s.Open(filedBy).GetData(notices.UniqueID())) return;
  const std::string group = std::to_string(filedBy.GetOrgGroupID(std::stoi(filedBy.OrgID())));
  const std::string year = notices.DocYear();
  Step(6, fmt::format("The 48-hour list of committee group {} for {} (the filing checks)", group, year));
  clsDocument checks;
  s.Open(checks);
  bool matchFound = false, late = false;
  std::int16_t election = 0;
  if (!checks.RunMEFChecks(FortyEightHourListAmend, group, "", year, "", "", "", "", "", matchFound, late,
                           election)) {
    throw Refused(checks, "the filing checks could not run");
  }
  fmt::print("   {} notices{}, before election {}:\n", checks.Count(), late ? ", some of them late" : "", election);
  if (checks.Count() > 0) Print(AllColumns(*checks.mRecSet()), Format::Table);
}

// Step 7: the filed-reports list of 2004, exported next to the office.
void ExportFiledReports(const Session& s) {
  const std::filesystem::path file =
      std::filesystem::absolute(s.connection.db).parent_path() / "filed-reports-2004.csv";
  Step(7, fmt::format("Export the reports filed for 2004 to {}", file.string()));
  clsDocReportExport exporter;
  s.Open(exporter);
  if (!exporter.CreateFile("", "2004", "", "", "FILED", "", "", file.string(), "")) {
    throw Refused(exporter, "the export failed");
  }
  std::ifstream in(file);
  std::string header;
  std::getline(in, header);
  fmt::print("   {} bytes; its columns: {}\n", std::filesystem::file_size(file), header.substr(0, 100) + "...");
}

void RunDemo(std::string file) {
  Session s = CurrentSession();
  if (file.empty()) file = s.connection.db;
  s.connection.db = file;
  if (s.connection.server.empty() && !std::filesystem::exists(file)) CreateSampleOffice(file);
  fmt::print("A day at the filing office ({})\n", file);
  const std::int32_t report = SearchReports(s);
  RecordAmountDue(s, report);
  CommitteeDocuments(s, report);
  CommitteesAndCodes(s, report);
  PageImage(s, report);
  FortyEightHourNotices(s);
  ExportFiledReports(s);
  fmt::print("\nDone. `tarnwick --help` lists what else a clerk can do.\n");
}

}  // namespace

void AddDemoCommand(CLI::App& app) {
  auto* cmd = app.add_subcommand("demo", "Walk through a typical day at the office (creates a sample office if needed)");
  auto file = std::make_shared<std::string>();
  cmd->add_option("FILE", *file, "Office database file (default: --db)");
  cmd->footer("Example: tarnwick demo office.tarnwick");
  cmd->callback([file] { RunCommand("demo", [&] { RunDemo(*file); }); });
}

}  // namespace tarnwick::cli
