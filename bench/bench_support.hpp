// Helpers of the image and export benchmarks: a scratch office database, the
// process's memory high-water mark, and running this program again as a
// child so that each memory figure is the peak of one operation alone.
#pragma once

#include <sqlite3.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>

#include "office/file_office.hpp"
#include "support/temp_dir.hpp"

namespace bench {

class ScratchOffice {
 public:
  explicit ScratchOffice(std::int64_t documents) {
    path_ = dir_.File("office.db");
    tarnwick::office::OfficeOptions options;
    options.sampleDocuments = documents;
    const tarnwick::office::OfficeResult made = tarnwick::office::CreateFileOffice(path_, options);
    if (!made.ok()) throw std::runtime_error("office: " + made.message);
  }
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return dir_.File(name); }

  // Runs SQL on the file directly.
  void Execute(const std::string& sql) const {
    sqlite3* db = nullptr;
    sqlite3_open(path_.c_str(), &db);
    char* message = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
    const std::string why = message ? message : "";
    sqlite3_free(message);
    sqlite3_close(db);
    if (rc != SQLITE_OK) throw std::runtime_error(why);
  }

 private:
  tarnwick::test::TempDir dir_;
  std::string path_;
};

// A line of /proc/self/status in bytes ("VmRSS", "VmHWM").
inline std::int64_t StatusBytes(const std::string& key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(key + ":", 0) == 0) return std::stoll(line.substr(key.size() + 1)) * 1024;
  }
  return -1;
}

// Sets the high-water mark back to the current resident size, so that the
// next reading is the peak of what runs in between.
inline void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// Runs this program with the arguments; returns the "name=value" pairs it printed.
inline std::map<std::string, double> RunChild(const std::string& arguments) {
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  FILE* pipe = popen(("'" + self + "' " + arguments).c_str(), "r");
  if (!pipe) throw std::runtime_error("cannot run " + self);
  std::map<std::string, double> values;
  char line[512];
  while (fgets(line, sizeof line, pipe)) {
    std::string text(line);
    const auto eq = text.find('=');
    if (eq != std::string::npos) values[text.substr(0, eq)] = std::stod(text.substr(eq + 1));
  }
  if (pclose(pipe) != 0) throw std::runtime_error("the child run failed: " + arguments);
  return values;
}

}  // namespace bench
