// `tarnwick export filed-reports|correspondence ... -o FILE`: the office's
// comma-separated export files, written by the library's export class.
#include <fmt/core.h>

#include <CLI/CLI.hpp>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "commands.hpp"
#include "progress.hpp"
#include "session.hpp"
#include "tarnwick/clsDocReportExport.hpp"

namespace tarnwick::cli {
namespace {

struct ExportChoices {
  std::string committeeType, year, subType, due, kind, from, to, entered, documentType, output;
};

std::string OptionalDate(const std::string& option, const std::string& text) {
  return text.empty() ? text : CheckDate(option, text);
}

// Runs an export; on a terminal a line shows the time it has taken so far,
// since the library writes the whole file in one call.
void Run(const Object& exporter, const std::function<bool()>& exportFile, const std::string& output,
         const std::string& what) {
  const Session& s = CurrentSession();
  std::atomic<bool> done{false};
  std::thread ticker;
  ProgressLine progress;
  if (ProgressLine::Wanted()) {
    ticker = std::thread([&] {
      const auto start = std::chrono::steady_clock::now();
      while (!done) {
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start);
        progress.Update(fmt::format("exporting {} ({} s)", what, seconds.count()), 0, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
      }
    });
  }
  bool written = false;
  try {
    written = exportFile();
  } catch (...) {
    done = true;
    if (ticker.joinable()) ticker.join();
    throw;
  }
  done = true;
  if (ticker.joinable()) ticker.join();
  progress.Clear();
  if (!written) {
    throw Refused(exporter, fmt::format("the {} export failed: the office database refused the choices or {} "
                                        "could not be written (nothing was written)", what, output));
  }
  std::error_code ec;
  const auto bytes = std::filesystem::file_size(output, ec);
  PrintMessage(fmt::format("Exported the {} to {} ({} bytes)", what, output, ec ? 0 : bytes), s.format);
}

void FiledReports(const ExportChoices& c) {
  const std::string due = OptionalDate("--due", c.due), from = OptionalDate("--from", c.from),
                    to = OptionalDate("--to", c.to), entered = OptionalDate("--entered-since", c.entered);
  clsDocReportExport exporter;
  CurrentSession().Open(exporter);
  Run(exporter, [&] { return exporter.CreateFile(c.committeeType, c.year, c.subType, due, c.kind, from, to, c.output, entered); },
      c.output, "filed-reports list");
}

void Correspondence(const ExportChoices& c) {
  const std::string from = OptionalDate("--from", c.from), to = OptionalDate("--to", c.to);
  clsDocReportExport exporter;
  CurrentSession().Open(exporter);
  Run(exporter, [&] { return exporter.CreateFileCorrExport(c.committeeType, c.documentType, c.subType, from, to, c.output); },
      c.output, "correspondence list");
}

}  // namespace

void AddExportCommand(CLI::App& app) {
  auto* exports = AddCommandGroup(app, "export", "Write the office's export files (comma-separated, UTF-8)",
                                 "tarnwick export filed-reports --year 2004 -o filed-2004.csv");

  auto f = std::make_shared<ExportChoices>();
  auto* filed = exports->add_subcommand("filed-reports", "The list of filed (late, not filed) reports");
  filed->add_option("--committee-type", f->committeeType, "Committee type code");
  filed->add_option("--year", f->year, "Report year");
  filed->add_option("--sub-type", f->subType, "Report sub-type code");
  filed->add_option("--kind", f->kind, "filed (the default), late or notfiled")
      ->check(CLI::IsMember({"filed", "late", "notfiled"}, CLI::ignore_case));
  filed->add_option("--due", f->due, "The deadline reports are measured against, mm/dd/yyyy");
  filed->add_option("--from", f->from, "Report periods from, mm/dd/yyyy");
  filed->add_option("--to", f->to, "Report periods to, mm/dd/yyyy");
  filed->add_option("--entered-since", f->entered, "Only reports entered on or after, mm/dd/yyyy");
  filed->add_option("-o,--output", f->output, "The file to write (replaced when complete)")->required();
  filed->footer("Example: tarnwick export filed-reports --year 2004 --sub-type Q1 --kind late -o late-q1.csv");
  filed->callback([f] { RunCommand("export filed-reports", [&] { FiledReports(*f); }); });

  auto c = std::make_shared<ExportChoices>();
  auto* correspondence = exports->add_subcommand("correspondence", "The correspondence list for mail merges");
  correspondence->add_option("--committee-type", c->committeeType, "Committee type code");
  correspondence->add_option("--doc-type", c->documentType, "Document type code (default: correspondence)");
  correspondence->add_option("--sub-type", c->subType, "Document sub-type code");
  correspondence->add_option("--from", c->from, "Sent or received from, mm/dd/yyyy");
  correspondence->add_option("--to", c->to, "Sent or received to, mm/dd/yyyy");
  correspondence->add_option("-o,--output", c->output, "The file to write (replaced when complete)")->required();
  correspondence->footer("Example: tarnwick export correspondence --from 01/01/2004 --to 12/31/2004 -o letters.csv");
  correspondence->callback([c] { RunCommand("export correspondence", [&] { Correspondence(*c); }); });
}

}  // namespace tarnwick::cli
