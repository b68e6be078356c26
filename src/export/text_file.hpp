// The export files' writer: 8-bit text, lines ended by carriage return and
// line feed, written through runtime::ReplacingFile, so that the target is
// replaced by Commit only and a failure at any point leaves no partial file
// under its name (and an existing file of that name untouched).
#pragma once

#include <string>
#include <string_view>

#include "runtime/replacing_file.hpp"

namespace tarnwick::exports {

class TextFileWriter {
 public:
  // Creates the temporary file; throws as runtime::ReplacingFile does.
  explicit TextFileWriter(const std::string& path);

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
  runtime::ReplacingFile file_;
  std::string buffer_;
};

}  // namespace tarnwick::exports
