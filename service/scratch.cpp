// Scratch folders and streamed files.
#include "scratch.hpp"

#include <stdlib.h>

#include <algorithm>
#include <cstdio>

namespace tarnwick::service {

ScratchFolder::ScratchFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tarnwick-serve-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw Problem(500, "no temporary folder can be made for the answer");
  path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void StreamFile(Call& c, std::shared_ptr<ScratchFolder> folder, const std::filesystem::path& file, const char* mediaType) {
  std::FILE* in = std::fopen(file.c_str(), "rb");
  if (in == nullptr) throw Problem(500, "the answer written for this request cannot be read back");
  std::shared_ptr<std::FILE> stream(in, &std::fclose);
  const auto size = static_cast<std::size_t>(std::filesystem::file_size(file));
  c.response.set_content_provider(
      size, mediaType,
      [stream](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
        char buffer[64 * 1024];
        if (std::fseek(stream.get(), static_cast<long>(offset), SEEK_SET) != 0) return false;
        const std::size_t n = std::fread(buffer, 1, std::min(length, sizeof buffer), stream.get());
        return n > 0 && sink.write(buffer, n);
      },
      [folder, stream](bool) {});
}

}  // namespace tarnwick::service
