// Writing a file under a temporary name and renaming it over the target when
// complete (see replacing_file.hpp).
#include "runtime/replacing_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <random>

#include "tarnwick/error.hpp"

namespace tarnwick::runtime {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSource = "Tarnwick.File";
// Errors of the file system, numbered as the runtime's file errors.
constexpr std::int32_t kDeviceError = 57;
constexpr std::int32_t kDiskFull = 61;
constexpr std::int32_t kPermissionDenied = 70;
constexpr std::int32_t kPathFileAccess = 75;
constexpr std::int32_t kPathNotFound = 76;

[[noreturn]] void Fail(std::int32_t number, const char* what, const std::string& path, int error) {
  throw RuntimeError(number, kSource, std::string(what) + " '" + path + "': " + std::strerror(error));
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

// A name no one can guess: 64 random bits. It is short whatever the target's
// name, so that it fits wherever the target's name fits.
std::string TemporaryName(const fs::path& folder) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::random_device random;
  std::uint64_t bits = (static_cast<std::uint64_t>(random()) << 32) ^ random();
  std::string name = ".tarnwick-";
  for (int i = 0; i < 16; ++i, bits >>= 4) name.push_back(kHex[bits & 15]);
  return (folder / (name + ".part")).string();
}

}  // namespace

ReplacingFile::ReplacingFile(const std::string& path) : shown_(path), target_(path) {
  if (path.empty() || path.back() == '/') Fail(kPathFileAccess, "Cannot create the file", path, EISDIR);
  // A name cut short at a NUL would be another file.
  if (path.find('\0') != std::string::npos) Fail(kPathFileAccess, "Cannot create the file", path, EINVAL);
  // A link is written through, as a file opened by its name would be.
  std::error_code ec;
  if (fs::is_symlink(fs::symlink_status(path, ec))) {
    const fs::path resolved = fs::weakly_canonical(path, ec);
    if (!ec) target_ = resolved.string();
  }
  struct stat existing {};
  const bool exists = ::stat(target_.c_str(), &existing) == 0;
  if (exists) {
    if (S_ISDIR(existing.st_mode)) Fail(kPathFileAccess, "Cannot create the file", path, EISDIR);
    // Overwriting is allowed, but not of a file its owner made read-only.
    if (::access(target_.c_str(), W_OK) != 0) Fail(kPermissionDenied, "Cannot overwrite the file", path, errno);
  }
  fs::path folder = fs::path(target_).parent_path();
  if (folder.empty()) folder = ".";
  // A name the folder cannot hold is refused before anything is written.
  const long nameMax = ::pathconf(folder.c_str(), _PC_NAME_MAX);
  if (nameMax > 0 && fs::path(target_).filename().string().size() > static_cast<std::size_t>(nameMax)) {
    Fail(kPathFileAccess, "Cannot create the file", path, ENAMETOOLONG);
  }
  for (int attempt = 0; attempt < 16 && fd_ < 0; ++attempt) {
    temporary_ = TemporaryName(folder);
    // O_EXCL: a name that exists, even as a link, is never opened.
    fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd_ < 0 && errno != EEXIST) Fail(OpenErrorNumber(errno), "Cannot create the file", path, errno);
  }
  if (fd_ < 0) Fail(kPathFileAccess, "Cannot create the file", path, EEXIST);
  if (exists && ::fchmod(fd_, existing.st_mode & 0777) != 0) {
    const int error = errno;
    Discard();
    Fail(OpenErrorNumber(error), "Cannot keep the permissions of the file", path, error);
  }
}

ReplacingFile::~ReplacingFile() { Discard(); }

void ReplacingFile::Discard() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
  ::unlink(temporary_.c_str());
}

void ReplacingFile::Write(std::string_view bytes) {
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd_, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      Discard();
      Fail(WriteErrorNumber(error), "Cannot write the file", shown_, error);
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
}

void ReplacingFile::Commit() {
  // The data reaches the disk before the name does, so that the target is
  // never a name for a file whose contents were lost.
  if (::fsync(fd_) != 0) {
    const int error = errno;
    Discard();
    Fail(WriteErrorNumber(error), "Cannot write the file", shown_, error);
  }
  const int fd = fd_;
  fd_ = -1;
  const bool closed = ::close(fd) == 0;
  const int closeError = errno;
  if (!closed || ::rename(temporary_.c_str(), target_.c_str()) != 0) {
    const int error = closed ? errno : closeError;
    ::unlink(temporary_.c_str());
    if (!closed) Fail(WriteErrorNumber(error), "Cannot write the file", shown_, error);
    Fail(OpenErrorNumber(error), "Cannot replace the file", shown_, error);
  }
}

}  // namespace tarnwick::runtime
