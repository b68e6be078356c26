// The one way the library and its client write a file: the bytes go to a new
// file under a short, unpredictable name in the target's folder, created
// exclusively so that nothing already there (a file, a planted link) is ever
// opened, and the finished file is renamed over the target by Commit only. A
// failure at any point leaves no partial file under the target's name and an
// existing target untouched.
//
// An existing target's permission bits are kept; a new file gets 0666 less the
// process's umask. A link at the target is written through to the file it
// names, as a file opened by its name would be. A hard link at the target is
// not: the rename gives the name a new file, and other names of the old file
// keep the old contents.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick::runtime {

class ReplacingFile {
 public:
  // Creates the temporary file. Throws RuntimeError, its text naming the file
  // and the cause: 76 when the folder does not exist, 70 when the folder or
  // an existing target cannot be written, 61 when the disk is full, 75 for
  // any other failure (a target that is a folder, a name too long).
  explicit ReplacingFile(const std::string& path);
  // Without Commit: the temporary file is removed.
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  // Throws RuntimeError 61 (disk full) or 57 (device error).
  void Write(std::string_view bytes);
  // Makes the bytes durable and puts the file in place under the target's
  // name. Throws as Write, or 70/75 when the name cannot be replaced; after a
  // failure the target is as it was and the temporary file is gone.
  void Commit();

 private:
  void Discard();
  std::string shown_;      // the name as given, for messages
  std::string target_;     // the file replaced: the name given, or the file its link names
  std::string temporary_;
  int fd_ = -1;
};

}  // namespace tarnwick::runtime
