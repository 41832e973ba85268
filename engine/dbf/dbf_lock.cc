// The DBF table file layer: record, file and header locks of a shared table.
//
// Every lock is an exclusive byte-range lock on the data file, far beyond the data
// (dbf_format.h): the header lock on one byte, the file lock on a range that covers
// every record's byte, a record lock on the record's byte. A table opened exclusively
// takes no locks: every request on it succeeds at once.
#include <algorithm>

#include "engine/dbf/dbf_area.h"

namespace px {

bool DbfArea::RawLock(LockAction action, uint32_t recno) {
  if (!shared_ || file_ == nullptr) return true;
  switch (action) {
    case LockAction::kFileLock:
      if (file_locked_) return true;
      if (!file_->Lock(kDbfFileLockOffset, kDbfFileLockLength, /*exclusive=*/true,
                       /*wait=*/false)) {
        return false;
      }
      file_locked_ = true;
      return true;
    case LockAction::kFileUnlock:
      if (!file_locked_) return true;
      file_locked_ = false;
      return file_->Unlock(kDbfFileLockOffset, kDbfFileLockLength);
    case LockAction::kRecordLock:
      // The file lock covers every record byte; a record lock inside it would only
      // punch a hole into it when released.
      if (file_locked_) return true;
      return file_->Lock(DbfRecordLockOffset(recno), 1, /*exclusive=*/true, /*wait=*/false);
    case LockAction::kRecordUnlock:
      if (file_locked_) return true;
      return file_->Unlock(DbfRecordLockOffset(recno), 1);
    case LockAction::kAppendLock:
    case LockAction::kHeaderLock:
      // Waits until granted; only a failure other than a conflict gives up.
      while (!header_locked_) {
        if (file_->Lock(kDbfHeaderLockOffset, 1, /*exclusive=*/true, /*wait=*/true)) {
          header_locked_ = true;
        } else if (file_->os_error() != kOsLockViolation) {
          return false;
        } else {
          GetEnv()->SleepMicros(1000);
        }
      }
      return true;
    case LockAction::kAppendUnlock:
    case LockAction::kHeaderUnlock:
      if (!header_locked_) return true;
      header_locked_ = false;
      return file_->Unlock(kDbfHeaderLockOffset, 1);
  }
  return Unsupported("RawLock");
}

bool DbfArea::IsRecordLocked(uint32_t recno) const {
  return std::find(locked_records_.begin(), locked_records_.end(), recno) != locked_records_.end();
}

bool DbfArea::ReleaseRecordLocks(uint32_t keep) {
  bool ok = true;
  bool written = false;
  for (uint32_t r : locked_records_) {
    if (r == keep) continue;
    // A changed record reaches the file while its lock is still held.
    if (!written) {
      ok = GoCold();
      written = true;
    }
    ok = RawLock(LockAction::kRecordUnlock, r) && ok;
  }
  const bool kept = keep != 0 && IsRecordLocked(keep);
  locked_records_.clear();
  if (kept) locked_records_.push_back(keep);
  return ok;
}

bool DbfArea::TakeRecordLock(uint32_t recno) {
  if (!RawLock(LockAction::kRecordLock, recno)) return false;
  locked_records_.push_back(recno);
  return true;
}

void DbfArea::RefreshAfterLock() {
  if (phantom_) {
    // Past the end: going there again refreshes the count, and lands on a record that
    // another process appended meanwhile.
    GoTo(recno_);
  } else if (!hot_) {
    // The next read fetches what other processes stored before the lock was granted.
    record_valid_ = false;
  }
}

bool DbfArea::Lock(LockMethod method, uint32_t recno, bool* result) {
  *result = false;
  if (file_ == nullptr) return false;
  if (!shared_) {
    *result = true;
    return true;
  }
  if (method == LockMethod::kFile) {
    if (file_locked_) {
      *result = true;
      return true;
    }
    // Record locks lie inside the file range: they go first.
    ReleaseRecordLocks(0);
    RawLock(LockAction::kFileLock, 0);
    *result = file_locked_;
    RefreshAfterLock();
    return true;
  }
  if (file_locked_) {
    *result = true;
    return true;
  }
  // Method 1 holds one record lock at most. A lock this area already holds on the
  // record is kept rather than released and taken again, so that no other process can
  // slip in between.
  if (method == LockMethod::kExclusive) ReleaseRecordLocks(recno);
  if (IsRecordLocked(recno)) {
    *result = true;
    return true;
  }
  if (!TakeRecordLock(recno)) return true;
  *result = true;
  RefreshAfterLock();
  return true;
}

bool DbfArea::Unlock(uint32_t recno) {
  if (file_ == nullptr || !shared_) return true;
  bool ok = true;
  if (!locked_records_.empty()) {
    if (recno == 0) {
      ok = ReleaseRecordLocks(0);
    } else if (IsRecordLocked(recno)) {
      ok = GoCold();
      ok = RawLock(LockAction::kRecordUnlock, recno) && ok;
      locked_records_.erase(std::find(locked_records_.begin(), locked_records_.end(), recno));
    }
  }
  if (file_locked_) {
    ok = GoCold() && ok;
    ok = RawLock(LockAction::kFileUnlock, 0) && ok;
  }
  return ok;
}

}  // namespace px
