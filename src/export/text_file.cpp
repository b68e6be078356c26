// The export files' writer: lines built in memory and handed to the
// replacing file in large pieces (see text_file.hpp).
#include "export/text_file.hpp"

namespace tarnwick::exports {
namespace {

// Lines are handed to the file system in pieces of about this size.
constexpr std::size_t kFlushAt = 256 * 1024;

}  // namespace

TextFileWriter::TextFileWriter(const std::string& path) : file_(path) { buffer_.reserve(kFlushAt + 4096); }

void TextFileWriter::EndLine() {
  buffer_.append("\r\n", 2);
  if (buffer_.size() >= kFlushAt) Flush();
}

void TextFileWriter::Flush() {
  file_.Write(buffer_);
  buffer_.clear();
}

void TextFileWriter::Commit() {
  Flush();
  file_.Commit();
}

}  // namespace tarnwick::exports
