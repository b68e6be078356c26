// The failing gateway and the faulty SQLite file system of the write tests:
// each fails the k-th call or disk operation once armed (see fault_points.hpp).
#include "fault_points.hpp"

#include "gateway/sqlite/procedure.hpp"

#include <cstring>
#include <mutex>

namespace tarnwick::test {
namespace {

sqlite3_vfs* base = nullptr;
sqlite3_vfs faulty{};
sqlite3_io_methods methods{};

struct FaultyFile {
  sqlite3_file header;  // pMethods = &methods
  sqlite3_file* inner() { return reinterpret_cast<sqlite3_file*>(this + 1); }
};
FaultyFile* Of(sqlite3_file* f) { return reinterpret_cast<FaultyFile*>(f); }
sqlite3_file* Inner(sqlite3_file* f) { return Of(f)->inner(); }

int Read(sqlite3_file* f, void* out, int n, sqlite3_int64 offset) {
  if (DiskFaults().Fail("read")) return SQLITE_IOERR_READ;
  return Inner(f)->pMethods->xRead(Inner(f), out, n, offset);
}
int Write(sqlite3_file* f, const void* data, int n, sqlite3_int64 offset) {
  if (DiskFaults().Fail("write")) return SQLITE_IOERR_WRITE;
  return Inner(f)->pMethods->xWrite(Inner(f), data, n, offset);
}
int Truncate(sqlite3_file* f, sqlite3_int64 size) {
  if (DiskFaults().Fail("truncate")) return SQLITE_IOERR_TRUNCATE;
  return Inner(f)->pMethods->xTruncate(Inner(f), size);
}
// The tests look at what a failure leaves behind, not at what a power cut
// would: a sync that is not failed returns at once instead of waiting for the
// disk, which keeps hundreds of runs within a second or two.
int Sync(sqlite3_file*, int) { return DiskFaults().Fail("sync") ? SQLITE_IOERR_FSYNC : SQLITE_OK; }
// Every other call goes to the real file underneath.
template <auto Method, class... A>
auto Forward(sqlite3_file* f, A... a) {
  return (Inner(f)->pMethods->*Method)(Inner(f), a...);
}
using M = sqlite3_io_methods;
// No memory-mapped pages: every read goes through Read, where it can fail.
int Fetch(sqlite3_file*, sqlite3_int64, int, void** out) {
  *out = nullptr;
  return SQLITE_OK;
}
int Unfetch(sqlite3_file*, sqlite3_int64, void*) { return SQLITE_OK; }

int Open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
  sqlite3_file* inner = Of(file)->inner();
  std::memset(inner, 0, static_cast<std::size_t>(base->szOsFile));
  const int rc = base->xOpen(base, name, inner, flags, outFlags);
  file->pMethods = inner->pMethods ? &methods : nullptr;
  return rc;
}
int Delete(sqlite3_vfs*, const char* name, int syncDir) { return base->xDelete(base, name, syncDir); }
int Access(sqlite3_vfs*, const char* name, int flags, int* out) { return base->xAccess(base, name, flags, out); }
int FullPathname(sqlite3_vfs*, const char* name, int n, char* out) { return base->xFullPathname(base, name, n, out); }
int Randomness(sqlite3_vfs*, int n, char* out) { return base->xRandomness(base, n, out); }
int Sleep(sqlite3_vfs*, int microseconds) { return base->xSleep(base, microseconds); }
// 15 March 2004, 10:30 UTC, in milliseconds of the Julian day count.
constexpr sqlite3_int64 kNow = 211'946'106'600'000;
int CurrentTime(sqlite3_vfs*, double* out) {
  *out = static_cast<double>(kNow) / 86'400'000.0;
  return SQLITE_OK;
}
int CurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* out) {
  *out = kNow;
  return SQLITE_OK;
}
int LastError(sqlite3_vfs*, int n, char* out) { return base->xGetLastError(base, n, out); }

}  // namespace

int Interrupt() { return StepFaults().Fail("step") ? 1 : 0; }

FaultPlan& DiskFaults() {
  static FaultPlan plan;
  return plan;
}

FaultPlan& StepFaults() {
  static FaultPlan plan;
  return plan;
}

void InstallStepFaults() { sqlite::engine_detail::SetStepCheck(kStepsPerPoint, Interrupt); }

void InstallFaultyDisk() {
  static std::once_flag once;
  std::call_once(once, [] {
    base = sqlite3_vfs_find(nullptr);
    methods = M{3, Forward<&M::xClose>, Read, Write, Truncate, Sync, Forward<&M::xFileSize>, Forward<&M::xLock>,
                Forward<&M::xUnlock>, Forward<&M::xCheckReservedLock>, Forward<&M::xFileControl>,
                Forward<&M::xSectorSize>, Forward<&M::xDeviceCharacteristics>, Forward<&M::xShmMap>,
                Forward<&M::xShmLock>, Forward<&M::xShmBarrier>, Forward<&M::xShmUnmap>, Fetch, Unfetch};
    faulty = sqlite3_vfs{.iVersion = 2, .szOsFile = static_cast<int>(sizeof(FaultyFile)) + base->szOsFile,
                         .mxPathname = base->mxPathname, .pNext = nullptr, .zName = "tarnwick-faulty-disk",
                         .pAppData = nullptr, .xOpen = Open, .xDelete = Delete, .xAccess = Access,
                         .xFullPathname = FullPathname, .xDlOpen = nullptr, .xDlError = nullptr, .xDlSym = nullptr,
                         .xDlClose = nullptr, .xRandomness = Randomness, .xSleep = Sleep, .xCurrentTime = CurrentTime,
                         .xGetLastError = LastError, .xCurrentTimeInt64 = CurrentTimeInt64,
                         .xSetSystemCall = nullptr, .xGetSystemCall = nullptr, .xNextSystemCall = nullptr};
    sqlite3_vfs_register(&faulty, 1);
  });
}

}  // namespace tarnwick::test
