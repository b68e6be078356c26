// The load program: eight clerk processes save new documents, change columns,
// move committee links and delete documents on one office file for 30 s
// (arguments: seconds, clerks), then the file is checked against what every
// clerk was told. Prints writes, writes per second and refusals; exits 1 when
// an acknowledged write is missing, doubled or wrong.
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "clerks.hpp"
#include "office/file_office.hpp"

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 30.0;
  const int clerks = argc > 2 ? std::atoi(argv[2]) : 8;
  if (seconds <= 0 || clerks <= 0) {
    std::fprintf(stderr, "usage: office_load [seconds] [clerks]\n");
    return 2;
  }
  std::string folder = (std::filesystem::temp_directory_path() / "tw_load_XXXXXX").string();
  if (mkdtemp(folder.data()) == nullptr) return 2;
  const std::string file = folder + "/office.tarnwick";
  tarnwick::office::OfficeOptions options;
  options.sampleDocuments = 200;
  const tarnwick::office::OfficeResult made = tarnwick::office::CreateFileOffice(file, options);
  if (!made.ok()) {
    std::fprintf(stderr, "cannot make the office: %s\n", made.message.c_str());
    return 2;
  }
  const tarnwick::test::Figures f = tarnwick::test::RunClerks(file, folder, clerks, seconds);
  std::printf("clerks %d, %.1f s: %lld writes acknowledged (%.0f/s), %lld refused (%lld busy, %lld of them "
              "raised), %zu acknowledged writes missing, doubled or wrong\n",
              clerks, f.seconds, static_cast<long long>(f.acknowledged),
              static_cast<double>(f.acknowledged) / f.seconds, static_cast<long long>(f.refused),
              static_cast<long long>(f.busy), static_cast<long long>(f.raised), f.problems.size());
  for (const std::string& r : f.refusals) std::printf("  refused: %s\n", r.c_str());
  for (const std::string& p : f.problems) std::printf("  problem: %s\n", p.c_str());
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  return f.problems.empty() ? 0 : 1;
}
