// An Env for fault-injection tests: counts the reads, writes, renames, locks,
// truncations, file creations and syncs of everything that runs on it, and fails the
// n-th of them, or makes it short.
//
// A test first runs its operation with nothing armed to learn how many operations it
// takes (ops()), then once for every n from 1 to that count with Arm(n, mode). Only
// the armed operation fails; every later one goes through, as when a network drive
// comes back or a disk gains room. A failed call returns what the OS layer returns on
// failure with kOsUnknown (locks kOsLockViolation); a short read returns half of what
// it would have, a short write stores half and reports that, with kOsDiskFull. Renames,
// locks, truncations, creations and syncs have no short form and simply fail.
// Creations and syncs are counted only after CountCreatesAndSyncs(): some operations
// (an index build) are meant to end without an error when their file cannot be made.
#ifndef PX_TESTS_ENGINE_COUNTING_FAULT_ENV_H_
#define PX_TESTS_ENGINE_COUNTING_FAULT_ENV_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "runtime/env.h"

namespace px::test {

enum class FaultMode { kFail, kShort };

enum class OpKind { kRead, kWrite, kRename, kLock, kTruncate, kCreate, kSync };

inline const char* OpKindName(OpKind kind) {
  switch (kind) {
    case OpKind::kRead:
      return "read";
    case OpKind::kWrite:
      return "write";
    case OpKind::kRename:
      return "rename";
    case OpKind::kLock:
      return "lock";
    case OpKind::kTruncate:
      return "truncate";
    case OpKind::kCreate:
      return "create";
    case OpKind::kSync:
      return "sync";
  }
  return "?";
}

class CountingFaultEnv : public EnvWrapper {
 public:
  CountingFaultEnv() : EnvWrapper(Env::Default()) {}
  // Counts the operations of another Env (a fake clock, say).
  explicit CountingFaultEnv(Env* target) : EnvWrapper(target) {}

  // Fails operation n (1-based, counted from now) in the given way; 0 fails none.
  void Arm(int64_t n, FaultMode mode) {
    ops_ = 0;
    fail_at_ = n;
    mode_ = mode;
    fired_ = false;
  }
  // Counts from now without failing anything.
  void Disarm() { Arm(0, FaultMode::kFail); }
  // Counts (and may fail) file creations and syncs too.
  void CountCreatesAndSyncs() { creates_and_syncs_ = true; }

  int64_t ops() const { return ops_; }
  bool fired() const { return fired_; }
  // The kind of the operation that was failed.
  OpKind fired_kind() const { return fired_kind_; }

  // Counts one operation; true when it is the one to fail.
  bool Next(OpKind kind) {
    ++ops_;
    if (ops_ != fail_at_) return false;
    fired_ = true;
    fired_kind_ = kind;
    return true;
  }
  FaultMode mode() const { return mode_; }
  // Next() for a creation or a sync: false without counting unless they are counted.
  bool NextCreateOrSync(OpKind kind) { return creates_and_syncs_ && Next(kind); }

  std::unique_ptr<File> OpenFile(std::string_view name, FileAccess access, FileShare share,
                                 int* os_code) override;
  std::unique_ptr<File> CreateFile(std::string_view name, FileShare share, int* os_code) override;
  int RenameFile(std::string_view from, std::string_view to) override {
    return Next(OpKind::kRename) ? kOsUnknown : target()->RenameFile(from, to);
  }
  int ReplaceFile(std::string_view from, std::string_view to) override {
    return Next(OpKind::kRename) ? kOsUnknown : target()->ReplaceFile(from, to);
  }

 private:
  int64_t ops_ = 0;
  int64_t fail_at_ = 0;
  FaultMode mode_ = FaultMode::kFail;
  bool fired_ = false;
  OpKind fired_kind_ = OpKind::kRead;
  bool creates_and_syncs_ = false;
};

class CountingFaultFile : public File {
 public:
  CountingFaultFile(std::unique_ptr<File> target, CountingFaultEnv* env)
      : target_(std::move(target)), env_(env) {}

  int64_t ReadAt(uint64_t offset, void* buf, size_t n) override {
    if (env_->Next(OpKind::kRead)) {
      if (env_->mode() == FaultMode::kFail || n < 2) return Failed(kOsUnknown);
      const int64_t got = target_->ReadAt(offset, buf, n / 2);
      error_ = kOsUnknown;
      return got;
    }
    error_ = 0;
    return target_->ReadAt(offset, buf, n);
  }
  int64_t WriteAt(uint64_t offset, const void* buf, size_t n) override {
    if (env_->Next(OpKind::kWrite)) {
      if (env_->mode() == FaultMode::kFail || n < 2) return Failed(kOsDiskFull);
      const int64_t put = target_->WriteAt(offset, buf, n / 2);
      error_ = kOsDiskFull;
      return put;
    }
    error_ = 0;
    return target_->WriteAt(offset, buf, n);
  }
  int64_t Size() override { return target_->Size(); }
  bool Truncate(uint64_t size) override {
    if (env_->Next(OpKind::kTruncate)) return Failed(kOsUnknown) == 0;
    error_ = 0;
    return target_->Truncate(size);
  }
  bool Sync() override {
    if (env_->NextCreateOrSync(OpKind::kSync)) return Failed(kOsUnknown) == 0;
    error_ = 0;
    return target_->Sync();
  }
  bool Lock(uint64_t offset, uint64_t length, bool exclusive, bool wait) override {
    if (env_->Next(OpKind::kLock)) return Failed(kOsLockViolation) == 0;
    error_ = 0;
    return target_->Lock(offset, length, exclusive, wait);
  }
  bool Unlock(uint64_t offset, uint64_t length) override { return target_->Unlock(offset, length); }
  int os_error() const override { return error_ != 0 ? error_ : target_->os_error(); }
  const std::string& host_path() const override { return target_->host_path(); }

 private:
  int64_t Failed(int code) {
    error_ = code;
    return -1;
  }

  std::unique_ptr<File> target_;
  CountingFaultEnv* env_;
  int error_ = 0;
};

inline std::unique_ptr<File> CountingFaultEnv::OpenFile(std::string_view name, FileAccess access,
                                                        FileShare share, int* os_code) {
  auto f = target()->OpenFile(name, access, share, os_code);
  if (f == nullptr) return nullptr;
  return std::make_unique<CountingFaultFile>(std::move(f), this);
}

inline std::unique_ptr<File> CountingFaultEnv::CreateFile(std::string_view name, FileShare share,
                                                          int* os_code) {
  if (NextCreateOrSync(OpKind::kCreate)) {
    if (os_code != nullptr) *os_code = kOsUnknown;
    return nullptr;
  }
  auto f = target()->CreateFile(name, share, os_code);
  if (f == nullptr) return nullptr;
  return std::make_unique<CountingFaultFile>(std::move(f), this);
}

}  // namespace px::test

#endif  // PX_TESTS_ENGINE_COUNTING_FAULT_ENV_H_
