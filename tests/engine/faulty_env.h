// An Env for tests that makes opens fail with a chosen code and writes come up short.
#ifndef PX_TESTS_ENGINE_FAULTY_ENV_H_
#define PX_TESTS_ENGINE_FAULTY_ENV_H_

#include <memory>
#include <string>

#include "runtime/env.h"

namespace px::test {

struct Faults {
  int open_error = 0;           // OpenFile fails with this code while non-zero
  int open_failures_left = -1;  // how many opens fail (-1: all)
  bool short_writes = false;    // every WriteAt stores one byte less
  bool short_reads = false;     // every ReadAt of more than one byte returns one byte less
  int opens = 0;                // OpenFile calls seen
};

class FaultyFile : public FileWrapper {
 public:
  FaultyFile(std::unique_ptr<File> target, Faults* faults)
      : FileWrapper(std::move(target)), faults_(faults) {}
  int64_t ReadAt(uint64_t offset, void* buf, size_t n) override {
    if (faults_->short_reads && n > 1) n -= 1;
    return target()->ReadAt(offset, buf, n);
  }
  int64_t WriteAt(uint64_t offset, const void* buf, size_t n) override {
    if (faults_->short_writes && n > 0) {
      return target()->WriteAt(offset, buf, n - 1);
    }
    return target()->WriteAt(offset, buf, n);
  }
  int os_error() const override {
    return faults_->short_writes ? kOsDiskFull : target()->os_error();
  }

 private:
  Faults* faults_;
};

class FaultyEnv : public EnvWrapper {
 public:
  explicit FaultyEnv(Env* target = Env::Default()) : EnvWrapper(target) {}
  Faults faults;

  std::unique_ptr<File> OpenFile(std::string_view name, FileAccess access, FileShare share,
                                 int* os_code) override {
    ++faults.opens;
    if (faults.open_error != 0 && faults.open_failures_left != 0) {
      if (faults.open_failures_left > 0) --faults.open_failures_left;
      *os_code = faults.open_error;
      return nullptr;
    }
    auto f = target()->OpenFile(name, access, share, os_code);
    if (f == nullptr) return nullptr;
    return std::make_unique<FaultyFile>(std::move(f), &faults);
  }
  std::unique_ptr<File> CreateFile(std::string_view name, FileShare share, int* os_code) override {
    auto f = target()->CreateFile(name, share, os_code);
    if (f == nullptr) return nullptr;
    return std::make_unique<FaultyFile>(std::move(f), &faults);
  }
};

}  // namespace px::test

#endif  // PX_TESTS_ENGINE_FAULTY_ENV_H_
