// A scratch folder for benchmarks: made under $TMPDIR (or /tmp) and removed with
// everything in it when the object goes.
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
  BenchFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string templ = std::string(tmp != nullptr && *tmp ? tmp : "/tmp") + "/pxbench.XXXXXX";
    const char* made = mkdtemp(templ.data());
    path_ = made != nullptr ? made : "/tmp";
  }
  ~BenchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  BenchFolder(const BenchFolder&) = delete;
  BenchFolder& operator=(const BenchFolder&) = delete;

  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace px::bench

#endif  // PX_BENCH_BENCH_FOLDER_H_
