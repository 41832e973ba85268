// An Env for kill tests: calls OnChange just before every change made to a file or
// folder through it (a write, truncation, creation, deletion, rename, replacement,
// folder made or removed), so that a test can note the change or end the process
// right there. Reads, sizes and locks go through unwatched.
#ifndef PX_TESTS_CHANGE_WATCHING_ENV_H_
#define PX_TESTS_CHANGE_WATCHING_ENV_H_

#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "runtime/env.h"

namespace px::test {

class ChangeWatchingEnv : public EnvWrapper {
 public:
  // sync_to_disk false: a sync reports success without reaching the disk (a killed
  // process loses nothing it has handed to the system, and syncing only makes a test
  // slow).
  explicit ChangeWatchingEnv(Env* target, bool sync_to_disk = true)
      : EnvWrapper(target), sync_to_disk_(sync_to_disk) {}

  // verb: "write", "truncate", "create", "delete", "rename", "replace", "make folder",
  // "remove folder"; to: the new name of a rename or replacement.
  virtual void OnChange(std::string_view name, const char* verb, std::string_view to) = 0;

  std::unique_ptr<File> OpenFile(std::string_view n, FileAccess a, FileShare s, int* c) override {
    return Watched(EnvWrapper::OpenFile(n, a, s, c));
  }
  std::unique_ptr<File> CreateFile(std::string_view n, FileShare s, int* c) override {
    OnChange(n, "create", {});
    return Watched(EnvWrapper::CreateFile(n, s, c));
  }
  int DeleteFile(std::string_view n) override {
    OnChange(n, "delete", {});
    return EnvWrapper::DeleteFile(n);
  }
  int RenameFile(std::string_view from, std::string_view to) override {
    OnChange(from, "rename", to);
    return EnvWrapper::RenameFile(from, to);
  }
  int ReplaceFile(std::string_view from, std::string_view to) override {
    OnChange(from, "replace", to);
    return EnvWrapper::ReplaceFile(from, to);
  }
  int MakeDir(std::string_view n) override {
    OnChange(n, "make folder", {});
    return EnvWrapper::MakeDir(n);
  }
  int RemoveDir(std::string_view n) override {
    OnChange(n, "remove folder", {});
    return EnvWrapper::RemoveDir(n);
  }

 private:
  class WatchedFile : public File {
   public:
    WatchedFile(std::unique_ptr<File> f, ChangeWatchingEnv* env) : f_(std::move(f)), env_(env) {}
    int64_t ReadAt(uint64_t o, void* b, size_t n) override { return f_->ReadAt(o, b, n); }
    int64_t WriteAt(uint64_t o, const void* b, size_t n) override {
      env_->OnChange(f_->host_path(), "write", {});
      return f_->WriteAt(o, b, n);
    }
    int64_t Size() override { return f_->Size(); }
    bool Truncate(uint64_t s) override {
      env_->OnChange(f_->host_path(), "truncate", {});
      return f_->Truncate(s);
    }
    bool Sync() override { return env_->sync_to_disk_ ? f_->Sync() : true; }
    bool Lock(uint64_t o, uint64_t l, bool e, bool w) override { return f_->Lock(o, l, e, w); }
    bool Unlock(uint64_t o, uint64_t l) override { return f_->Unlock(o, l); }
    int os_error() const override { return f_->os_error(); }
    const std::string& host_path() const override { return f_->host_path(); }

   private:
    std::unique_ptr<File> f_;
    ChangeWatchingEnv* env_;
  };

  std::unique_ptr<File> Watched(std::unique_ptr<File> f) {
    return f == nullptr ? nullptr : std::make_unique<WatchedFile>(std::move(f), this);
  }

  bool sync_to_disk_;
};

}  // namespace px::test

#endif  // PX_TESTS_CHANGE_WATCHING_ENV_H_
