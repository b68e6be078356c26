// The export files' writer: 8-bit text, lines ended by carriage return and
// line feed, written under a temporary name in the target's folder and put in
// place by Commit only, so that a failure at any point leaves no partial file
// under the target's name (and an existing file of that name untouched).
#pragma once

#include <string>
#include <string_view>

namespace tarnwick::exports {

class TextFileWriter {
 public:
  // Creates the temporary file. Throws RuntimeError: 76 when the folder does
  // not exist, 70 when the folder or an existing target cannot be written,
  // 75 for any other failure (a target that is a folder, a bad name).
  explicit TextFileWriter(const std::string& path);
  // Without Commit: the temporary file is removed.
  ~TextFileWriter();
  TextFileWriter(const TextFileWriter&) = delete;
  TextFileWriter& operator=(const TextFileWriter&) = delete;

  // Text of the line being built; EndLine ends it.
  void Append(std::string_view text) { buffer_.append(text); }
  void Append(char c) { buffer_.push_back(c); }
  // Ends the line with CR LF. Throws RuntimeError 61 (disk full) or 57
  // (device error) when the file cannot be written.
  void EndLine();

  // Writes what is left, makes it durable and replaces the target with it.
  // Throws as EndLine; after a failure the target is as it was.
  void Commit();

 private:
  void Flush();
  std::string target_;
  std::string temporary_;
  std::string buffer_;
  int fd_ = -1;
};

}  // namespace tarnwick::exports
