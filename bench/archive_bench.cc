// Unpacking a 200 MB update archive of many tables, and zipping a 200 MB folder of tables
// with the backup's zip program, next to the system unzip and zip on the same files.
//
//   build/bench/archive_bench [--benchmark_filter=...]
//
// The data are generated on first use in a folder under TMPDIR (or /tmp) and removed at
// exit: 120 tables of dBASE-like fixed-width records (names, codes, amounts, dates)
// from 0.1 to 6 MB, 200 MB in all. Throughput is given as bytes_per_second of table
// data (uncompressed), so the figures of the four benchmarks compare directly.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "archive/unzip_file.h"
#include "archive/update_archive.h"

namespace {

namespace fs = std::filesystem;

constexpr int64_t kTotalBytes = 200LL * 1000 * 1000;
constexpr int kTables = 120;
constexpr char kPassword[] = "tamrok";

// A small fast generator, so the data are the same on every run.
struct Rng {
  uint64_t s = 0x9E3779B97F4A7C15ULL;
  uint64_t Next() {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    return s;
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint64_t>(n)); }
};

// One table file: a 32-byte header, field descriptors, then fixed-width records whose
// fields hold the kind of text a quoting application stores.
std::string MakeTable(Rng& rng, int64_t size) {
  static const char* kWords[] = {"ALUMINIUM", "SLIDING", "DOOR",    "WINDOW", "FRAME",
                                 "GLASS",     "SCREEN",  "CLEAR",   "BRONZE", "WHITE",
                                 "AWNING",    "DOUBLE",  "HUNG",    "LOUVRE", "FLYSCREEN",
                                 "SILVER",    "MILL",    "ANODISED"};
  constexpr int kRecord = 160;
  std::string t;
  t.reserve(static_cast<size_t>(size) + kRecord);
  t.append(32, '\x03');
  for (int f = 0; f < 8; ++f) {
    std::string d = "FIELD" + std::to_string(f);
    d.resize(32, '\0');
    t += d;
  }
  t += '\x0d';
  int64_t serial = rng.Below(100000);
  char buf[kRecord + 32];
  while (static_cast<int64_t>(t.size()) < size) {
    std::string desc;
    const int words = 2 + rng.Below(4);
    for (int w = 0; w < words; ++w) {
      if (w) desc += ' ';
      desc += kWords[rng.Below(18)];
    }
    desc.resize(60, ' ');
    std::snprintf(buf, sizeof(buf), " %-10lld%s%12.2f%04d%02d%02d%c%-20s%8d%10.3f",
                  static_cast<long long>(serial++), desc.c_str(), rng.Below(2000000) / 100.0,
                  1995 + rng.Below(30), 1 + rng.Below(12), 1 + rng.Below(28),
                  rng.Below(2) ? 'T' : 'F', kWords[rng.Below(18)], rng.Below(5000),
                  rng.Below(100000) / 1000.0);
    std::string rec(buf);
    rec.resize(kRecord, ' ');
    t += rec;
  }
  t.resize(static_cast<size_t>(size));
  return t;
}

int Shell(const std::string& command) {
  const int status = std::system(command.c_str());
  return (status != -1 && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
}

// The generated data, made once and removed at exit.
class Fixture {
 public:
  static Fixture& Get() {
    static Fixture f;
    return f;
  }
  const std::string& root() const { return root_; }
  std::string tables() const { return root_ + "/tables"; }
  std::string update() const { return root_ + "/PXUPD.zip"; }
  std::string pkzip() const { return pkzip_; }
  bool ok() const { return ok_; }

 private:
  Fixture() {
    const char* tmp = std::getenv("TMPDIR");
    std::string templ = std::string(tmp != nullptr && *tmp ? tmp : "/tmp") + "/pxbench.XXXXXX";
    root_ = mkdtemp(templ.data()) != nullptr ? templ : "";
    if (root_.empty()) return;
    fs::create_directories(tables());
    Rng rng;
    std::vector<std::string> files;
    int64_t left = kTotalBytes;
    for (int i = 0; i < kTables && left > 0; ++i) {
      // Sizes from 0.1 to 6 MB with most tables small; the last one takes the rest.
      int64_t size = 100000 + static_cast<int64_t>(rng.Below(1000)) * rng.Below(1000) * 6;
      if (i == kTables - 1 || size > left) size = left;
      left -= size;
      const std::string name = tables() + "/TABLE" + std::to_string(i) + (i % 4 ? ".dbf" : ".DBT");
      std::ofstream(name, std::ios::binary) << MakeTable(rng, size);
      files.push_back(name);
    }
    std::string error;
    ok_ = px::MakeUpdateArchive(update(), kPassword, files, &error);
    if (!ok_) std::fprintf(stderr, "cannot make the update archive: %s\n", error.c_str());
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof(self) - 1);
    if (n > 0) {
      pkzip_ = (fs::path(std::string(self, static_cast<size_t>(n))).parent_path().parent_path() /
                "tools" / "pkzip")
                   .string();
    }
  }
  ~Fixture() {
    std::error_code ec;
    if (!root_.empty()) fs::remove_all(root_, ec);
  }

  std::string root_;
  std::string pkzip_;
  bool ok_ = false;
};

// A fresh empty folder under the fixture for one iteration.
std::string FreshFolder(const std::string& name) {
  const std::string dir = Fixture::Get().root() + "/" + name;
  std::error_code ec;
  fs::remove_all(dir, ec);
  fs::create_directories(dir);
  return dir;
}

// The size of an archive in MB (0 when missing).
double ArchiveMB(const std::string& path) {
  std::error_code ec;
  const auto size = fs::file_size(path, ec);
  return ec ? 0.0 : static_cast<double>(size) / 1e6;
}

void BM_UnzipUpdate(benchmark::State& state) {
  Fixture& f = Fixture::Get();
  if (!f.ok()) return state.SkipWithError("no data");
  const fs::path start = fs::current_path();
  for (auto _ : state) {
    state.PauseTiming();
    const std::string dir = FreshFolder("out");
    fs::current_path(dir);
    state.ResumeTiming();
    px::UNZIPFILE(px::Value::String(f.update()), px::Value::String(kPassword));
  }
  fs::current_path(start);
  if (fs::file_size(Fixture::Get().root() + "/out/TABLE1.dbf") == 0) state.SkipWithError("empty");
  state.SetBytesProcessed(state.iterations() * kTotalBytes);
}

void BM_SystemUnzip(benchmark::State& state) {
  Fixture& f = Fixture::Get();
  if (!f.ok() || Shell("command -v unzip >/dev/null") != 0) return state.SkipWithError("no unzip");
  for (auto _ : state) {
    state.PauseTiming();
    const std::string dir = FreshFolder("sysout");
    state.ResumeTiming();
    if (Shell("unzip -qq -o -P " + std::string(kPassword) + " " + f.update() + " -d " + dir) != 0) {
      state.SkipWithError("unzip failed");
    }
  }
  state.SetBytesProcessed(state.iterations() * kTotalBytes);
}

void BM_PkzipFolder(benchmark::State& state) {
  Fixture& f = Fixture::Get();
  if (!f.ok() || !fs::exists(f.pkzip())) return state.SkipWithError("no pkzip");
  for (auto _ : state) {
    state.PauseTiming();
    const std::string dir = FreshFolder("backup");
    state.ResumeTiming();
    if (Shell("cd " + f.tables() + " && " + f.pkzip() + " " + dir + "/PXB1 '*.db*' >/dev/null") !=
        0) {
      state.SkipWithError("pkzip failed");
    }
  }
  state.SetBytesProcessed(state.iterations() * kTotalBytes);
  state.counters["archive_MB"] = ArchiveMB(f.root() + "/backup/PXB1.zip");
}

void BM_SystemZip(benchmark::State& state) {
  Fixture& f = Fixture::Get();
  if (!f.ok() || Shell("command -v zip >/dev/null") != 0) return state.SkipWithError("no zip");
  for (auto _ : state) {
    state.PauseTiming();
    const std::string dir = FreshFolder("sysbackup");
    state.ResumeTiming();
    if (Shell("cd " + f.tables() + " && zip -q " + dir + "/PXB1.zip *.db* *.DB*") != 0) {
      state.SkipWithError("zip failed");
    }
  }
  state.SetBytesProcessed(state.iterations() * kTotalBytes);
  state.counters["archive_MB"] = ArchiveMB(f.root() + "/sysbackup/PXB1.zip");
}

BENCHMARK(BM_UnzipUpdate)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_SystemUnzip)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_PkzipFolder)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_SystemZip)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
