// An Env for tests that reads the bytes of a file the engine holds open. Windows lets no
// second open read a file that is open exclusively, so while a file opened through
// this Env is open its bytes are read through that open; otherwise from the disk.
#ifndef PX_TESTS_ENGINE_HELD_FILE_ENV_H_
#define PX_TESTS_ENGINE_HELD_FILE_ENV_H_

#include <algorithm>
#include <cctype>
#include <memory>
#include <set>
#include <string>

#include "runtime/env.h"
#include "tests/test_util.h"

namespace px::test {

class HeldFileEnv : public EnvWrapper {
 public:
  explicit HeldFileEnv(Env* target = GetEnv()) : EnvWrapper(target) {}

  std::unique_ptr<File> OpenFile(std::string_view name, FileAccess access, FileShare share,
                                 int* os_code) override {
    return Hold(target()->OpenFile(name, access, share, os_code));
  }
  std::unique_ptr<File> CreateFile(std::string_view name, FileShare share, int* os_code) override {
    return Hold(target()->CreateFile(name, share, os_code));
  }

  // The bytes of the file `host_path` (matched by its name, ignoring case).
  std::string Bytes(const std::string& host_path) {
    const std::string name = NameOf(host_path);
    for (HeldFile* f : *open_) {
      if (NameOf(f->host_path()) != name) continue;
      std::string bytes(static_cast<size_t>(std::max<int64_t>(f->Size(), 0)), '\0');
      const int64_t n = f->ReadAt(0, bytes.data(), bytes.size());
      bytes.resize(static_cast<size_t>(std::max<int64_t>(n, 0)));
      return bytes;
    }
    return ReadFileBytes(host_path);
  }

 private:
  class HeldFile : public FileWrapper {
   public:
    HeldFile(std::unique_ptr<File> f, std::shared_ptr<std::set<HeldFile*>> open)
        : FileWrapper(std::move(f)), open_(std::move(open)) {
      open_->insert(this);
    }
    ~HeldFile() override { open_->erase(this); }

   private:
    std::shared_ptr<std::set<HeldFile*>> open_;
  };

  std::unique_ptr<File> Hold(std::unique_ptr<File> f) {
    if (f == nullptr) return nullptr;
    return std::make_unique<HeldFile>(std::move(f), open_);
  }
  static std::string NameOf(const std::string& path) {
    std::string name = path.substr(path.find_last_of("\\/") + 1);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
  }

  // Shared with the files, which may outlive the Env (the tables still open when a test
  // ends close after its fixture).
  std::shared_ptr<std::set<HeldFile*>> open_ = std::make_shared<std::set<HeldFile*>>();
};

}  // namespace px::test

#endif  // PX_TESTS_ENGINE_HELD_FILE_ENV_H_
