// Helpers for the archive tests: archives made directly with libzip or the system zip
// program, and the text the message boxes showed.
#ifndef PX_TESTS_ARCHIVE_ZIP_TEST_UTIL_H_
#define PX_TESTS_ARCHIVE_ZIP_TEST_UTIL_H_

#include <zip.h>

#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "runtime/env.h"
#include "ui/backend.h"
#include "ui/console_backend.h"

namespace px::test {

struct ZipEntrySpec {
  std::string name;
  std::string data;
  bool symlink = false;  // stored as a Unix symbolic link pointing to data
  // When set, the entry's external attributes: the system that made it (ZIP_OPSYS_*)
  // and the attribute bits (for Unix, the file's mode in the upper 16 bits).
  std::optional<std::pair<zip_uint8_t, zip_uint32_t>> external{};
};

// Writes an archive at a host path with libzip, entries stored or deflated, encrypted
// with the method when a password is given.
void MakeZip(const std::string& host_path, const std::vector<ZipEntrySpec>& entries,
             const std::string& password = "", zip_uint16_t method = ZIP_EM_TRAD_PKWARE,
             zip_int32_t compression = ZIP_CM_DEFLATE);

// True when the program can be run from the shell (never on Windows, where the
// commands below do not run).
bool HaveProgram(const std::string& name);
// Why a check that runs the program through the shell is skipped.
std::string MissingProgram(const std::string& name);

// Runs a POSIX shell command; its exit status (-1 when it could not run).
int Shell(const std::string& command);

// Runs a shell command and returns what it wrote on standard output.
std::string ShellOutput(const std::string& command);

// Collects every message box shown while it lives, one "[Caption] text" line each.
class ShownMessages {
 public:
  ShownMessages();
  std::string text() const { return out_.str(); }

 private:
  std::ostringstream out_;
  std::unique_ptr<ConsoleBackend> backend_;
  ScopedUiBackend scope_;
};

// A file that fails every write after the first `budget` bytes, as a full disk would.
class ShortFile : public File {
 public:
  ShortFile(std::unique_ptr<File> base, int64_t budget) : base_(std::move(base)), budget_(budget) {}
  int64_t ReadAt(uint64_t offset, void* buf, size_t n) override {
    return base_->ReadAt(offset, buf, n);
  }
  int64_t WriteAt(uint64_t offset, const void* buf, size_t n) override {
    if (static_cast<int64_t>(offset + n) > budget_) {
      const int64_t room = budget_ - static_cast<int64_t>(offset);
      if (room > 0) base_->WriteAt(offset, buf, static_cast<size_t>(room));
      return room > 0 ? room : -1;
    }
    return base_->WriteAt(offset, buf, n);
  }
  int64_t Size() override { return base_->Size(); }
  bool Truncate(uint64_t size) override { return base_->Truncate(size); }
  bool Sync() override { return base_->Sync(); }
  bool Lock(uint64_t o, uint64_t l, bool x, bool w) override { return base_->Lock(o, l, x, w); }
  bool Unlock(uint64_t o, uint64_t l) override { return base_->Unlock(o, l); }
  int os_error() const override { return kOsDiskFull; }
  const std::string& host_path() const override { return base_->host_path(); }

 private:
  std::unique_ptr<File> base_;
  int64_t budget_;
};

class FullDiskEnv : public EnvWrapper {
 public:
  explicit FullDiskEnv(int64_t budget) : EnvWrapper(Env::Default()), budget_(budget) {}
  std::unique_ptr<File> CreateFile(std::string_view name, FileShare share, int* code) override {
    std::unique_ptr<File> f = target()->CreateFile(name, share, code);
    if (f == nullptr) return f;
    return std::make_unique<ShortFile>(std::move(f), budget_);
  }

 private:
  int64_t budget_;
};

// The names of the entries of a folder (host path), sorted.
std::vector<std::string> FolderNames(const std::string& host_path);

}  // namespace px::test

#endif  // PX_TESTS_ARCHIVE_ZIP_TEST_UTIL_H_
