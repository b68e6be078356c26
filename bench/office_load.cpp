// The load program: clerk processes save new documents, change columns, move
// committee links and delete documents on one office for a while, then the
// office is checked against what every clerk was told.
//
//   office_load [seconds] [clerks] [file|server]      30 s, 8 clerks, a file
//   scripts/with-postgres.sh build/bench/office_load 60 64 server
//
// On the server the office is a database of its own on the server that
// scripts/with-postgres.sh started, dropped at the end. Prints writes,
// writes per second, refusals with their reasons, and the time of a
// document's SaveData (median, p99, worst); exits 1 when an acknowledged
// write is missing, doubled or wrong.
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "clerks.hpp"
#include "office/file_office.hpp"
#include "office/server_office.hpp"
#include "support/server_office.hpp"

namespace {

// The p-th fraction of the sorted times (0 when there are none).
double Quantile(const std::vector<double>& sorted, double p) {
  if (sorted.empty()) return 0;
  return sorted[std::min(sorted.size() - 1, static_cast<std::size_t>(p * static_cast<double>(sorted.size())))];
}

// A refusal's reason without the clerk's wait ("move after 12 ms: TEXT" is
// counted as "move: TEXT").
std::string Reason(const std::string& refusal) {
  const std::size_t after = refusal.find(" after ");
  const std::size_t colon = refusal.find(": ", after == std::string::npos ? 0 : after);
  if (after == std::string::npos || colon == std::string::npos) return refusal;
  return refusal.substr(0, after) + refusal.substr(colon);
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 30.0;
  const int clerks = argc > 2 ? std::atoi(argv[2]) : 8;
  const std::string where = argc > 3 ? argv[3] : "file";
  if (seconds <= 0 || clerks <= 0 || (where != "file" && where != "server")) {
    std::fprintf(stderr, "usage: office_load [seconds] [clerks] [file|server]\n");
    return 2;
  }
  const bool onServer = where == "server";
  if (onServer && !tarnwick::test::ServerConfigured()) {
    std::fprintf(stderr, "no office server: run under scripts/with-postgres.sh\n");
    return 2;
  }
  std::string folder = (std::filesystem::temp_directory_path() / "tw_load_XXXXXX").string();
  if (mkdtemp(folder.data()) == nullptr) return 2;
  tarnwick::office::OfficeOptions options;
  options.sampleDocuments = 200;
  tarnwick::test::Office office;
  tarnwick::test::DroppedDatabase dropped;
  tarnwick::office::OfficeResult made;
  if (onServer) {
    dropped.name = tarnwick::test::UniqueDatabaseName("office_load");
    const auto settings = tarnwick::test::ServerSettings(dropped.name);
    made = tarnwick::office::CreateServerOffice(settings, options);
    office = {dropped.name, settings.server, settings.user};
  } else {
    office.database = folder + "/office.tarnwick";
    made = tarnwick::office::CreateFileOffice(office.database, options);
  }
  if (!made.ok()) {
    std::fprintf(stderr, "cannot make the office: %s\n", made.message.c_str());
    return 2;
  }
  tarnwick::test::Figures f = tarnwick::test::RunClerks(office, folder, clerks, seconds);
  std::sort(f.saveMs.begin(), f.saveMs.end());
  std::printf("%s, clerks %d, %.1f s: %lld writes acknowledged (%.0f/s), %lld refused (%lld busy, %lld of them "
              "raised), %zu acknowledged writes missing, doubled or wrong\n",
              where.c_str(), clerks, f.seconds, static_cast<long long>(f.acknowledged),
              static_cast<double>(f.acknowledged) / f.seconds, static_cast<long long>(f.refused),
              static_cast<long long>(f.busy), static_cast<long long>(f.raised), f.problems.size());
  std::printf("SaveData of a document: %zu saves, median %.1f ms, p99 %.1f ms, worst %.1f ms\n", f.saveMs.size(),
              Quantile(f.saveMs, 0.5), Quantile(f.saveMs, 0.99), f.saveMs.empty() ? 0.0 : f.saveMs.back());
  std::map<std::string, int> reasons;
  for (const std::string& r : f.refusals) ++reasons[Reason(r)];
  for (const auto& [reason, count] : reasons) std::printf("  refused %d x %s\n", count, reason.c_str());
  for (const std::string& p : f.problems) std::printf("  problem: %s\n", p.c_str());
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  return f.problems.empty() ? 0 : 1;
}
