// A scratch folder for benchmarks: made under $TMPDIR (or /tmp) and removed with
// everything in it when the object goes. When the folder cannot be made, path() is
// empty and nothing is removed; a benchmark then skips with an error.
#ifndef PX_BENCH_BENCH_FOLDER_H_
#define PX_BENCH_BENCH_FOLDER_H_

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace px::bench {

class BenchFolder {
 public:
  explicit BenchFolder(const std::string& prefix = "pxbench") {
    const char* tmp = std::getenv("TMPDIR");
    std::string templ =
        std::string(tmp != nullptr && *tmp ? tmp : "/tmp") + "/" + prefix + ".XXXXXX";
    const char* made = mkdtemp(templ.data());
    if (made != nullptr) path_ = made;
  }
  ~BenchFolder() {
    if (path_.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  BenchFolder(const BenchFolder&) = delete;
  BenchFolder& operator=(const BenchFolder&) = delete;

  // The folder, empty when it could not be made.
  const std::string& path() const { return path_; }
  bool ok() const { return !path_.empty(); }

  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace px::bench

#endif  // PX_BENCH_BENCH_FOLDER_H_
