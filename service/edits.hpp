// What the service records and guards around a clerk's change to a
// document: the clerk who made it, and a lock that keeps two changes to one
// document from crossing between the If-Match check and the save.
#pragma once

#include <cstdint>
#include <memory>

#include "http.hpp"
#include "office_sql.hpp"

namespace tarnwick::service {

// Records the signed-in clerk (their office user's group) on a document they
// saved: as the user who last changed it and, when they entered it, as the
// one who entered it, by the user's open row (what the office's users list
// names them by). Runs after the save, as its own step.
void RecordClerk(const Office& office, std::int32_t userGroupId, std::int64_t documentId, bool entered);

// Held while one request checks and changes a document: every other request
// for the same document, of this service or of any other over the same
// office, waits for it. On a server office it is a server advisory lock; on
// a file office, a lock on one byte (at the document's number) of the lock
// file beside it, "<office>.edit-lock". Either ends with its holder, should
// the service die. A wait on the server longer than 30 s is given up
// (Problem 409).
class DocumentEditLock {
 public:
  DocumentEditLock(const Office& office, std::int64_t documentId);
  DocumentEditLock(const DocumentEditLock&) = delete;
  DocumentEditLock& operator=(const DocumentEditLock&) = delete;
  ~DocumentEditLock();

 private:
  int file_ = -1;
  std::unique_ptr<OfficeSql> server_;
  std::int64_t documentId_;
};

}  // namespace tarnwick::service
