// The clerk of a save, and the lock on a document being changed.
#include "edits.hpp"

#include <fcntl.h>
#include <fmt/core.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tarnwick::service {
namespace {

// The first key of the service's advisory locks ("tw"); the second is the document.
constexpr const char* kLockClass = "29815";

}  // namespace

void RecordClerk(const Office& office, std::int32_t userGroupId, std::int64_t documentId, bool entered) {
  const std::string user = "(select max(unique_id) from ref_user where group_id = $1 and end_date is null)";
  const std::string sql = "update ref_document set user_id = " + user + (entered ? ", orig_user_id = " + user : "") +
                          " where unique_id = $2";
  OfficeSql(office).Query(sql.c_str(), {std::to_string(userGroupId), std::to_string(documentId)});
}

DocumentEditLock::DocumentEditLock(const Office& office, std::int64_t documentId) : documentId_(documentId) {
  if (office.server.empty() || office.server == "embedded") {
    // An open-file-description lock: held per open of the file, so two
    // requests of one service exclude each other as two services do.
    const std::string path = office.db + ".edit-lock";
    file_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (file_ < 0) throw Problem(503, fmt::format("the lock file {} cannot be opened: {}", path, std::strerror(errno)));
    struct flock byte {};
    byte.l_type = F_WRLCK;
    byte.l_whence = SEEK_SET;
    byte.l_start = static_cast<off_t>(documentId);
    byte.l_len = 1;
    while (fcntl(file_, F_OFD_SETLKW, &byte) != 0) {
      if (errno == EINTR) continue;
      const int why = errno;
      close(file_);
      throw Problem(503, fmt::format("the lock file {} cannot be locked: {}", path, std::strerror(why)));
    }
    return;
  }
  auto sql = std::make_unique<OfficeSql>(office);
  try {
    sql->Query("set lock_timeout = 30000");
    sql->Query("select pg_advisory_lock(cast($1 as integer), cast($2 as integer))",
               {kLockClass, std::to_string(documentId)});
  } catch (const Problem&) {
    throw Problem(409, fmt::format("document {} is being changed by another clerk; try again", documentId));
  }
  server_ = std::move(sql);
}

DocumentEditLock::~DocumentEditLock() {
  if (file_ >= 0) close(file_);  // closing the file ends its lock
  if (!server_) return;
  try {
    server_->Query("select pg_advisory_unlock(cast($1 as integer), cast($2 as integer))",
                   {kLockClass, std::to_string(documentId_)});
  } catch (const Problem&) {
    // The connection is then not kept, and its end releases the lock.
  }
}

}  // namespace tarnwick::service
