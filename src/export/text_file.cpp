// The export files' writer: 8-bit text under a temporary name, put in place
// only when complete (see text_file.hpp).
#include "export/text_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

#include "tarnwick/error.hpp"

namespace tarnwick::exports {
namespace {

constexpr const char* kSource = "Tarnwick.TextFile";
// Errors of the file system, numbered as the runtime's file errors.
constexpr std::int32_t kDeviceError = 57;
constexpr std::int32_t kDiskFull = 61;
constexpr std::int32_t kPermissionDenied = 70;
constexpr std::int32_t kPathFileAccess = 75;
constexpr std::int32_t kPathNotFound = 76;
// Lines are handed to the file system in pieces of about this size.
constexpr std::size_t kFlushAt = 256 * 1024;

[[noreturn]] void Fail(std::int32_t number, const std::string& what, const std::string& path, int error) {
  throw RuntimeError(number, kSource, what + " '" + path + "': " + std::strerror(error));
}

std::int32_t OpenErrorNumber(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR: return kPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS: return kPermissionDenied;
    case ENOSPC:
    case EDQUOT: return kDiskFull;
    default: return kPathFileAccess;
  }
}

std::int32_t WriteErrorNumber(int error) { return error == ENOSPC || error == EDQUOT ? kDiskFull : kDeviceError; }

}  // namespace

TextFileWriter::TextFileWriter(const std::string& path) : target_(path) {
  namespace fs = std::filesystem;
  if (path.empty() || path.back() == '/') Fail(kPathFileAccess, "Cannot create the file", path, EISDIR);
  // A link is written through, as a file opened by its name would be.
  std::error_code ec;
  if (fs::is_symlink(fs::symlink_status(path, ec))) {
    const fs::path resolved = fs::weakly_canonical(path, ec);
    if (!ec) target_ = resolved.string();
  }
  struct stat existing {};
  if (::stat(target_.c_str(), &existing) == 0) {
    if (S_ISDIR(existing.st_mode)) Fail(kPathFileAccess, "Cannot create the file", path, EISDIR);
    // Overwriting is allowed, but not of a file its owner made read-only.
    if (::access(target_.c_str(), W_OK) != 0) Fail(kPermissionDenied, "Cannot overwrite the file", path, errno);
  }
  const fs::path target(target_);
  const std::string stem = (target.parent_path() / ("." + target.filename().string())).string();
  std::random_device random;
  for (int attempt = 0; attempt < 16; ++attempt) {
    temporary_ = stem + "." + std::to_string(random()) + ".part";
    // 0666 less the process's umask: the permissions a new file would get.
    fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ >= 0) break;
    if (errno != EEXIST) Fail(OpenErrorNumber(errno), "Cannot create the file", path, errno);
  }
  if (fd_ < 0) Fail(kPathFileAccess, "Cannot create the file", path, EEXIST);
  buffer_.reserve(kFlushAt + 4096);
}

TextFileWriter::~TextFileWriter() {
  if (fd_ >= 0) {
    ::close(fd_);
    ::unlink(temporary_.c_str());
  }
}

void TextFileWriter::EndLine() {
  buffer_.append("\r\n", 2);
  if (buffer_.size() >= kFlushAt) Flush();
}

void TextFileWriter::Flush() {
  const char* p = buffer_.data();
  std::size_t left = buffer_.size();
  while (left > 0) {
    const ssize_t n = ::write(fd_, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail(WriteErrorNumber(errno), "Cannot write the file", target_, errno);
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  buffer_.clear();
}

void TextFileWriter::Commit() {
  Flush();
  // The data reaches the disk before the name does, so that the target is
  // never a name for a file whose contents were lost.
  if (::fsync(fd_) != 0) Fail(WriteErrorNumber(errno), "Cannot write the file", target_, errno);
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) {
    const int error = errno;
    ::unlink(temporary_.c_str());
    Fail(WriteErrorNumber(error), "Cannot write the file", target_, error);
  }
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary_.c_str());
    Fail(OpenErrorNumber(error), "Cannot replace the file", target_, error);
  }
}

}  // namespace tarnwick::exports
