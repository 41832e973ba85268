// Index builds of 1,000,000 keys (character keys also of 10,000,000) and random seeks in
// the result.
//
//   build/bench/ntx_bench --benchmark_filter=Build
//
// The build benchmarks include writing the file; ten times the keys should take about
// ten times as long (the sort holds a bounded share of them and merges sorted runs). The literal
// sort benchmarks time the batched linked-list insertion sort done literally, for comparison with
// the build's sort (BM_SortOrder) at the same sizes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "engine/ntx/index_builder.h"
#include "engine/ntx/key_tree.h"
#include "engine/ntx/ntx_key.h"
#include "engine/ntx/sort_order.h"
#include "runtime/env.h"
#include "tests/engine/ntx/literal_sort.h"

namespace px::ntx {
namespace {

constexpr uint32_t kKeys = 1000000;
constexpr uint32_t kManyKeys = 10000000;

std::string BenchFolder() {
  static std::string folder = [] {
    std::string templ = (std::filesystem::temp_directory_path() / "pxbench.XXXXXX").string();
    char* made = mkdtemp(templ.data());
    return std::string(made != nullptr ? made : "/tmp");
  }();
  return folder;
}

// Keys back to back, record i + 1 having key i.
struct KeySet {
  int key_size;
  std::string bytes;
};

const KeySet& CharKeys() {
  static KeySet set = [] {
    KeySet s{10, {}};
    std::mt19937 rng(1);
    s.bytes.resize(static_cast<size_t>(kManyKeys) * 10);
    for (char& c : s.bytes) c = static_cast<char>('A' + rng() % 26);
    return s;
  }();
  return set;
}

const KeySet& NumericKeys() {
  static KeySet set = [] {
    KeySet s{10, {}};
    std::mt19937 rng(2);
    std::uniform_real_distribution<double> value(-99999.0, 999999.0);
    char buf[32];
    for (uint32_t i = 0; i < kKeys; ++i) {
      std::snprintf(buf, sizeof buf, "%10.2f", value(rng));
      s.bytes += NumericKeyFromStr(buf);
    }
    return s;
  }();
  return set;
}

// The first `count` keys of a set.
class SetSource : public KeySource {
 public:
  SetSource(const KeySet& set, uint32_t count) : set_(set), count_(count) {}
  bool Next(uint32_t* recno, std::string_view* key) override {
    const size_t ks = static_cast<size_t>(set_.key_size);
    if (pos_ >= count_ || pos_ * ks >= set_.bytes.size()) return false;
    *key = std::string_view(set_.bytes).substr(pos_ * ks, ks);
    *recno = static_cast<uint32_t>(++pos_);
    return true;
  }

 private:
  const KeySet& set_;
  uint32_t count_;
  size_t pos_ = 0;
};

NtxHeader HeaderFor(int key_size, const char* text) {
  NtxHeader h;
  h.key_size = key_size;
  h.max_keys = MaxKeysPerPage(key_size);
  h.key_text = text;
  return h;
}

void Build(benchmark::State& state, const KeySet& set, uint32_t count, const char* name) {
  const std::string path = BenchFolder() + "/" + name;
  BuildOptions options;
  options.temp_folder = BenchFolder();
  for (auto _ : state) {
    SetSource source(set, count);
    NtxHeader h = HeaderFor(set.key_size, "KEY");
    BuildStatus status;
    auto file = CreateIndexFile(path, FileShare::kExclusive, &h, count, source, options, &status);
    if (file == nullptr) state.SkipWithError("build failed");
    benchmark::DoNotOptimize(file);
  }
  state.SetItemsProcessed(state.iterations() * count);
}

void BM_BuildCharacterKeys(benchmark::State& state) {
  Build(state, CharKeys(), static_cast<uint32_t>(state.range(0)), "char.ntx");
}
BENCHMARK(BM_BuildCharacterKeys)->Arg(kKeys)->Arg(kManyKeys)->Unit(benchmark::kMillisecond);

void BM_BuildNumericKeys(benchmark::State& state) {
  Build(state, NumericKeys(), kKeys, "num.ntx");
}
BENCHMARK(BM_BuildNumericKeys)->Unit(benchmark::kMillisecond);

void BM_Seek(benchmark::State& state) {
  const KeySet& set = CharKeys();
  const std::string path = BenchFolder() + "/seek.ntx";
  {
    SetSource source(set, kKeys);
    NtxHeader h = HeaderFor(10, "KEY");
    BuildStatus status;
    CreateIndexFile(path, FileShare::kExclusive, &h, kKeys, source, {}, &status);
  }
  int code = 0;
  auto f = GetEnv()->OpenFile(path, FileAccess::kReadWrite, FileShare::kExclusive, &code);
  auto file = std::make_unique<IndexFile>(std::move(f), path, false);
  file->ReadHeader();
  KeyTree tree(std::move(file));
  std::mt19937 rng(3);
  uint64_t found = 0;
  for (auto _ : state) {
    const size_t at = rng() % kKeys;
    const uint8_t* key = reinterpret_cast<const uint8_t*>(set.bytes.data()) + at * 10;
    found += tree.Search(key, 10, false) == KeyTree::Found::kEqual ? 1 : 0;
  }
  if (found != static_cast<uint64_t>(state.iterations()))
    state.SkipWithError("a key was not found");
  state.SetItemsProcessed(state.iterations());
  state.counters["file_reads"] = static_cast<double>(tree.file().cache().reads());
}
BENCHMARK(BM_Seek)->Iterations(kKeys);

void BM_SortOrder(benchmark::State& state) {
  const KeySet& set = CharKeys();
  const uint32_t n = static_cast<uint32_t>(state.range(0));
  for (auto _ : state) {
    SortOrder order(10, n, false, false);
    auto out = order.Order(reinterpret_cast<const uint8_t*>(set.bytes.data()), n);
    benchmark::DoNotOptimize(out);
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_SortOrder)->Arg(10000)->Arg(100000)->Arg(kKeys)->Unit(benchmark::kMillisecond);

void BM_LiteralSort(benchmark::State& state) {
  const KeySet& set = CharKeys();
  const uint32_t n = static_cast<uint32_t>(state.range(0));
  for (auto _ : state) {
    testutil::LiteralSort sort(reinterpret_cast<const uint8_t*>(set.bytes.data()), n, 10, n, false,
                               false);
    auto out = sort.Run();
    benchmark::DoNotOptimize(out);
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_LiteralSort)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(300000)
    ->Arg(kKeys)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace px::ntx
