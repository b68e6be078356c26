// Replays a fuzz target's corpus as an ordinary test: every file of the
// folders named on the command line goes once through the target's entry
// point, built without libFuzzer, so that a plain build and CI run what the
// fuzzer has found worth keeping. A crash or sanitizer report fails the test;
// an empty or missing corpus is an error too, so a renamed folder is noticed.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
// A target that prepares itself first (a scratch folder, a sample office)
// defines this, as libFuzzer expects; the replay calls it the same way.
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

int main(int argc, char** argv) {
  if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
  std::size_t replayed = 0;
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] == '-') continue;  // a libFuzzer option a target's preparation added
    std::error_code ec;
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(argv[i], ec)) {
      if (entry.is_regular_file()) files.push_back(entry.path());
    }
    if (ec) {
      std::fprintf(stderr, "cannot read the corpus folder %s: %s\n", argv[i], ec.message().c_str());
      return 1;
    }
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
      std::ifstream in(file, std::ios::binary);
      const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
      if (!in.eof() && in.fail()) {
        std::fprintf(stderr, "cannot read %s\n", file.c_str());
        return 1;
      }
      LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
      ++replayed;
    }
  }
  if (replayed == 0) {
    std::fprintf(stderr, "no corpus files to replay\n");
    return 1;
  }
  std::printf("replayed %zu corpus files\n", replayed);
  return 0;
}
