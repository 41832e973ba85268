// The operating-system layer: files, byte-range locks, folders and the clock.
//
// Every OS call of the engine goes through an Env, so that tests can substitute one
// (a fake clock, a file layer that fails the n-th write) without touching the code that
// uses it. GetEnv() returns the installed Env, the platform's own (Env::Default()) unless
// a test installed another with ScopedEnv.
//
// Names given to an Env are the system's own file names: DOS paths with a drive letter
// and backslashes ("C:\PX\temp\updatdef.dbf"), relative DOS paths ("backup\PXB1.zip"),
// or host paths ("/srv/px/customer.dbf"). The Env converts them (see dos_path.h) and
// looks existing files up without regard to letter case.
//
// Share modes: an exclusive open keeps out every other open of the file, a shared one
// lets others open it shared; a conflict fails the open with OS code 32 (sharing
// violation). Deleting, renaming and replacing a file that another open holds fail with
// 32 too. On Windows these are the OS's own share modes. POSIX has none, so the POSIX
// Env emulates them: every open takes a lock on one reserved byte far above every lock
// of the system (kShareLockOffset), a read lock for a shared open and a write lock for an
// exclusive one, and deleting or renaming tests that byte first.
//
// Byte-range locks are advisory on POSIX (they keep out other locks only) and mandatory
// on Windows (a range another open has locked cannot be read or written either). The
// table's and index's locks lie beyond their data, and the memo lock, which covers the
// memo texts, is held by the open that reads or writes them, so the engine sees no
// difference. A program that reads a memo file without the memo lock (a copy, a backup)
// may be refused on Windows while another program writes a text.
#ifndef PX_RUNTIME_ENV_H_
#define PX_RUNTIME_ENV_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace px {

// Operating-system error codes in the system's (DOS) numbering.
enum OsCode : int {
  kOsOk = 0,
  kOsFileNotFound = 2,
  kOsPathNotFound = 3,
  kOsTooManyOpenFiles = 4,
  kOsAccessDenied = 5,
  kOsInvalidHandle = 6,
  kOsNotEnoughMemory = 8,
  kOsInvalidData = 13,
  kOsSharingViolation = 32,
  kOsLockViolation = 33,
  kOsFileExists = 80,
  kOsDiskFull = 112,
  kOsUnknown = 31,  // "general failure"
};

// The DOS code for a POSIX errno value.
int OsCodeFromErrno(int err);
// The DOS code for a Windows error (GetLastError()): the code itself where Windows and
// DOS agree (2, 3, 5, 32, 33, 80, 112, ...), the DOS one where Windows names the case
// apart (183 "already exists" is 80, 39 "disk full" is 112).
int OsCodeFromWin32(unsigned long err);

// Offset of the byte that stands for the share mode of an open (POSIX).
constexpr uint64_t kShareLockOffset = 0x7FFFFFFF00000000ULL;

enum class FileAccess { kRead, kReadWrite };
enum class FileShare { kExclusive, kDenyNone };

// One open file. Reads and writes are positional. Failures return -1 / false and leave
// the DOS error code in os_error().
class File {
 public:
  virtual ~File() = default;
  // Reads up to n bytes; returns the count read (less than n at the end of the file).
  virtual int64_t ReadAt(uint64_t offset, void* buf, size_t n) = 0;
  // Writes n bytes; returns the count written.
  virtual int64_t WriteAt(uint64_t offset, const void* buf, size_t n) = 0;
  virtual int64_t Size() = 0;
  virtual bool Truncate(uint64_t size) = 0;
  // Asks the OS to write its buffers for this file to disk.
  virtual bool Sync() = 0;
  // Byte-range lock of [offset, offset + length). exclusive chooses a write lock over a
  // read lock; wait blocks until granted, otherwise a conflict fails at once. Locks of
  // two opens conflict even within one process, and go away when the file is closed.
  virtual bool Lock(uint64_t offset, uint64_t length, bool exclusive, bool wait) = 0;
  virtual bool Unlock(uint64_t offset, uint64_t length) = 0;
  virtual int os_error() const = 0;
  // The host path the file was opened under.
  virtual const std::string& host_path() const = 0;
};

struct DirEntry {
  std::string name;
  int64_t size = 0;
  int64_t mtime = 0;  // seconds since the epoch
  bool is_dir = false;
  bool hidden = false;  // name begins with "." (on Windows also: the hidden attribute)
};

struct LocalTime {
  int year = 0, month = 0, day = 0;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

class Env {
 public:
  virtual ~Env() = default;

  // Opens an existing file. nullptr on failure with *os_code set.
  virtual std::unique_ptr<File> OpenFile(std::string_view name, FileAccess access, FileShare share,
                                         int* os_code) = 0;
  // Creates a file for reading and writing, replacing a file of that name (an existing
  // file is truncated only once the share lock is held, so a file that another open
  // holds is never damaged). nullptr on failure with *os_code set.
  virtual std::unique_ptr<File> CreateFile(std::string_view name, FileShare share,
                                           int* os_code) = 0;
  // True when an ordinary file (not a folder) of that name exists.
  virtual bool FileExists(std::string_view name) = 0;
  virtual bool DirExists(std::string_view name) = 0;
  // Each returns 0 or a DOS error code.
  virtual int DeleteFile(std::string_view name) = 0;
  // Fails with kOsFileExists when `to` exists.
  virtual int RenameFile(std::string_view from, std::string_view to) = 0;
  // Renames `from` over `to` in one step, replacing `to` when it exists.
  virtual int ReplaceFile(std::string_view from, std::string_view to) = 0;
  // The permission bits of a file (0777: read, write and execute for owner, group and
  // others) into *mode; 0 or a DOS error code.
  virtual int GetFileMode(std::string_view name, uint32_t* mode) = 0;
  // Gives a file the permission bits of `mode` (0777 only: never set-uid, set-gid or
  // sticky) that the process's file-creation mask (umask) lets a new file have.
  // 0 or a DOS error code.
  virtual int SetFileMode(std::string_view name, uint32_t mode) = 0;
  virtual int MakeDir(std::string_view name) = 0;
  virtual int RemoveDir(std::string_view name) = 0;
  virtual int ChangeDir(std::string_view name) = 0;
  // The process's current folder as a host path.
  virtual std::string CurrentDir() = 0;
  // The entries of a folder in the order the OS reports them, "." and ".." left out.
  virtual int ListDir(std::string_view folder, std::vector<DirEntry>* out) = 0;
  // The host path a name stands for; existing components are found case-insensitively.
  virtual std::string HostPath(std::string_view name) = 0;

  // Monotonic clock and pauses. Every pause of the system goes through SleepMicros.
  virtual int64_t NowMicros() = 0;
  virtual void SleepMicros(int64_t micros) = 0;
  // Wall-clock local date and time.
  virtual LocalTime Now() = 0;
  // The local date and time of a moment given in seconds since the epoch (file times).
  // The default converts with the host's time zone.
  virtual LocalTime LocalTimeOf(int64_t epoch_seconds);

  // The real operating system: the POSIX Env, or the Win32 one on Windows.
  static Env* Default();
#ifndef _WIN32
  static Env* Posix();
#endif
};

// The installed Env.
Env* GetEnv();

// Installs an Env for the life of the object (tests), then restores the previous one.
class ScopedEnv {
 public:
  explicit ScopedEnv(Env* env);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  Env* previous_;
};

// A File that forwards every call to another it owns; derive from it to change a few
// calls.
class FileWrapper : public File {
 public:
  explicit FileWrapper(std::unique_ptr<File> target) : target_(std::move(target)) {}
  File* target() const { return target_.get(); }

  int64_t ReadAt(uint64_t offset, void* buf, size_t n) override {
    return target_->ReadAt(offset, buf, n);
  }
  int64_t WriteAt(uint64_t offset, const void* buf, size_t n) override {
    return target_->WriteAt(offset, buf, n);
  }
  int64_t Size() override { return target_->Size(); }
  bool Truncate(uint64_t size) override { return target_->Truncate(size); }
  bool Sync() override { return target_->Sync(); }
  bool Lock(uint64_t offset, uint64_t length, bool exclusive, bool wait) override {
    return target_->Lock(offset, length, exclusive, wait);
  }
  bool Unlock(uint64_t offset, uint64_t length) override { return target_->Unlock(offset, length); }
  int os_error() const override { return target_->os_error(); }
  const std::string& host_path() const override { return target_->host_path(); }

 private:
  std::unique_ptr<File> target_;
};

// An Env that forwards every call to another; derive from it to change a few calls.
class EnvWrapper : public Env {
 public:
  explicit EnvWrapper(Env* target) : target_(target) {}
  Env* target() const { return target_; }

  std::unique_ptr<File> OpenFile(std::string_view name, FileAccess access, FileShare share,
                                 int* os_code) override {
    return target_->OpenFile(name, access, share, os_code);
  }
  std::unique_ptr<File> CreateFile(std::string_view name, FileShare share, int* os_code) override {
    return target_->CreateFile(name, share, os_code);
  }
  bool FileExists(std::string_view name) override { return target_->FileExists(name); }
  bool DirExists(std::string_view name) override { return target_->DirExists(name); }
  int DeleteFile(std::string_view name) override { return target_->DeleteFile(name); }
  int RenameFile(std::string_view from, std::string_view to) override {
    return target_->RenameFile(from, to);
  }
  int ReplaceFile(std::string_view from, std::string_view to) override {
    return target_->ReplaceFile(from, to);
  }
  int GetFileMode(std::string_view name, uint32_t* mode) override {
    return target_->GetFileMode(name, mode);
  }
  int SetFileMode(std::string_view name, uint32_t mode) override {
    return target_->SetFileMode(name, mode);
  }
  int MakeDir(std::string_view name) override { return target_->MakeDir(name); }
  int RemoveDir(std::string_view name) override { return target_->RemoveDir(name); }
  int ChangeDir(std::string_view name) override { return target_->ChangeDir(name); }
  std::string CurrentDir() override { return target_->CurrentDir(); }
  int ListDir(std::string_view folder, std::vector<DirEntry>* out) override {
    return target_->ListDir(folder, out);
  }
  std::string HostPath(std::string_view name) override { return target_->HostPath(name); }
  int64_t NowMicros() override { return target_->NowMicros(); }
  void SleepMicros(int64_t micros) override { target_->SleepMicros(micros); }
  LocalTime Now() override { return target_->Now(); }
  LocalTime LocalTimeOf(int64_t epoch_seconds) override {
    return target_->LocalTimeOf(epoch_seconds);
  }

 private:
  Env* target_;
};

// An Env whose clock only moves when something sleeps: pauses return at once and
// advance the time, so retry loops of many seconds run in microseconds.
class FakeClockEnv : public EnvWrapper {
 public:
  explicit FakeClockEnv(Env* target) : EnvWrapper(target) {}
  int64_t NowMicros() override { return now_; }
  void SleepMicros(int64_t micros) override {
    now_ += micros;
    ++sleeps_;
  }
  int64_t sleeps() const { return sleeps_; }
  int64_t slept_micros() const { return now_; }

 private:
  int64_t now_ = 0;
  int64_t sleeps_ = 0;
};

// Convenience wrappers on the installed Env.
inline void SleepSeconds(double seconds) {
  GetEnv()->SleepMicros(static_cast<int64_t>(seconds * 1e6));
}
// Today's date as a Julian day number.
int32_t Today();

// Reads the whole file (opened for reading, shared with everyone) into *text. False when
// it cannot be opened, its size cannot be taken or reading fails. A file that shrank
// while it was read gives what was read, or false when `exact_size` asks for all of it.
bool ReadWholeFile(std::string_view name, std::string* text, bool exact_size = false);
// Creates (or empties) the file, held exclusively, writes the text and syncs it to
// disk; the sync is only asked for when the text was written whole. False on any failure.
bool WriteWholeFile(std::string_view name, std::string_view text);

}  // namespace px

#endif  // PX_RUNTIME_ENV_H_
