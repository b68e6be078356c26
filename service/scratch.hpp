// Answers the library writes to a file first (a PDF, an export): a folder of
// the request's own for the file, and sending the file a piece at a time,
// the folder removed once the answer is sent or the reader went away.
#pragma once

#include <filesystem>
#include <memory>

#include "http.hpp"

namespace tarnwick::service {

class ScratchFolder {
 public:
  // A new private folder under the system's temporary folder; 500 when none can be made.
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  std::filesystem::path File(const char* name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// Sends `file` (in `folder`) as the answer, in pieces of 64 KiB, so that an
// answer of any size takes the memory of one piece.
void StreamFile(Call& c, std::shared_ptr<ScratchFolder> folder, const std::filesystem::path& file, const char* mediaType);

}  // namespace tarnwick::service
