// `tarnwick settings batch-scan|defaults`: the image and workstation
// settings the office keeps in its database.
#include <fmt/core.h>

#include <CLI/CLI.hpp>
#include <memory>
#include <string>

#include "commands.hpp"
#include "record.hpp"
#include "session.hpp"
#include "tarnwick/clsDocumentImage.hpp"

namespace tarnwick::cli {
namespace {

void BatchScan() {
  const Session& s = CurrentSession();
  clsDocumentImage settings;
  s.Open(settings).SetImageDirs();
  if (settings.BatchScanPath().empty()) throw Failure(kExitNotFound, "the office has no batch-scan folder set");
  PrintRecord({{"BatchScanPath", settings.BatchScanPath()}}, s.format);
}

void Defaults(const std::string& label, const std::string& value) {
  const Session& s = CurrentSession();
  clsDocumentImage settings;
  const std::vector<std::string> columns{"AppFunctionLabel", "AppFunctionValue", "SettingPath",
                                         "SettingKey",       "SettingType",      "SettingValue"};
  const bool found = s.Open(settings).GetDefaultRegSettings(label, value);
  Print(found ? Rows(settings, columns) : Table{columns, {}}, s.format);
}

}  // namespace

void AddSettingsCommand(CLI::App& app) {
  auto* settings = AddCommandGroup(app, "settings", "Show the image and workstation settings kept in the office",
                                  "tarnwick settings defaults DOCUMENT ENTRY");
  auto* batch = settings->add_subcommand("batch-scan", "The folder scanned batches are read from");
  batch->footer("Example: tarnwick settings batch-scan");
  batch->callback([] { RunCommand("settings batch-scan", BatchScan); });

  auto label = std::make_shared<std::string>();
  auto value = std::make_shared<std::string>();
  auto* defaults = settings->add_subcommand("defaults", "The default workstation settings of an application function");
  defaults->add_option("LABEL", *label, "The function's label (empty: every function)");
  defaults->add_option("VALUE", *value, "The function's value (empty: every value)");
  defaults->footer("Example: tarnwick settings defaults SCAN");
  defaults->callback([label, value] { RunCommand("settings defaults", [&] { Defaults(*label, *value); }); });
}

}  // namespace tarnwick::cli
