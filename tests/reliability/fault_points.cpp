// The failing gateway and the faulty SQLite file system of the write tests:
// each fails the k-th call or disk operation once armed (see fault_points.hpp).
#include "fault_points.hpp"

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

int Close(sqlite3_file* f) { return Inner(f)->pMethods->xClose(Inner(f)); }
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
int FileSize(sqlite3_file* f, sqlite3_int64* size) { return Inner(f)->pMethods->xFileSize(Inner(f), size); }
int Lock(sqlite3_file* f, int level) { return Inner(f)->pMethods->xLock(Inner(f), level); }
int Unlock(sqlite3_file* f, int level) { return Inner(f)->pMethods->xUnlock(Inner(f), level); }
int CheckReservedLock(sqlite3_file* f, int* out) { return Inner(f)->pMethods->xCheckReservedLock(Inner(f), out); }
int FileControl(sqlite3_file* f, int op, void* arg) { return Inner(f)->pMethods->xFileControl(Inner(f), op, arg); }
int SectorSize(sqlite3_file* f) { return Inner(f)->pMethods->xSectorSize(Inner(f)); }
int DeviceCharacteristics(sqlite3_file* f) { return Inner(f)->pMethods->xDeviceCharacteristics(Inner(f)); }
int ShmMap(sqlite3_file* f, int region, int size, int extend, void volatile** out) {
  return Inner(f)->pMethods->xShmMap(Inner(f), region, size, extend, out);
}
int ShmLock(sqlite3_file* f, int offset, int n, int flags) {
  return Inner(f)->pMethods->xShmLock(Inner(f), offset, n, flags);
}
void ShmBarrier(sqlite3_file* f) { Inner(f)->pMethods->xShmBarrier(Inner(f)); }
int ShmUnmap(sqlite3_file* f, int deleteFlag) { return Inner(f)->pMethods->xShmUnmap(Inner(f), deleteFlag); }
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

int Interrupt(void*) { return StepFaults().Fail("step") ? 1 : 0; }

int CountSteps(sqlite3* db, const char**, const struct sqlite3_api_routines*) {
  sqlite3_progress_handler(db, kStepsPerPoint, Interrupt, nullptr);
  return SQLITE_OK;
}

FaultPlan& DiskFaults() {
  static FaultPlan plan;
  return plan;
}

FaultPlan& StepFaults() {
  static FaultPlan plan;
  return plan;
}

void InstallStepFaults() {
  static std::once_flag once;
  std::call_once(once, [] { sqlite3_auto_extension(reinterpret_cast<void (*)()>(CountSteps)); });
}

void InstallFaultyDisk() {
  static std::once_flag once;
  std::call_once(once, [] {
    base = sqlite3_vfs_find(nullptr);
    methods = sqlite3_io_methods{3,        Close,     Read,    Write,      Truncate,    Sync,
                                 FileSize, Lock,      Unlock,  CheckReservedLock, FileControl, SectorSize,
                                 DeviceCharacteristics, ShmMap, ShmLock, ShmBarrier, ShmUnmap, Fetch, Unfetch};
    faulty.iVersion = 2;
    faulty.szOsFile = static_cast<int>(sizeof(FaultyFile)) + base->szOsFile;
    faulty.mxPathname = base->mxPathname;
    faulty.zName = "tarnwick-faulty-disk";
    faulty.xOpen = Open;
    faulty.xDelete = Delete;
    faulty.xAccess = Access;
    faulty.xFullPathname = FullPathname;
    faulty.xDlOpen = nullptr;
    faulty.xDlError = nullptr;
    faulty.xDlSym = nullptr;
    faulty.xDlClose = nullptr;
    faulty.xRandomness = Randomness;
    faulty.xSleep = Sleep;
    faulty.xCurrentTime = CurrentTime;
    faulty.xGetLastError = LastError;
    faulty.xCurrentTimeInt64 = CurrentTimeInt64;
    sqlite3_vfs_register(&faulty, 1);
  });
}

}  // namespace tarnwick::test
