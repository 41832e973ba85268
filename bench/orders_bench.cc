// Index creation through DBCREATEINDEX on a table of 1,000,000 records (reading the
// table, sorting and writing the file all included), with a 10-byte character key and a
// numeric key, and 1,000,000 random DBSEEKs on an exclusive table with the deleted
// setting on.
//
//   build/bench/orders_bench
//
// For the literal batched insertion sort on the same number of keys see
// ntx_bench --benchmark_filter=LiteralSort.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/orders.h"
#include "engine/workarea/registry.h"
#include "engine/workarea/work_area.h"
#include "runtime/settings.h"

namespace px {
namespace {

constexpr uint32_t kRecords = 1000000;

// A scratch folder for the life of the program.
const std::string& Folder() {
  static const std::string path = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::string templ = std::string(tmp != nullptr && *tmp ? tmp : "/tmp") + "/pxorders.XXXXXX";
    const char* made = mkdtemp(templ.data());
    return std::string(made != nullptr ? made : "/tmp");
  }();
  return path;
}

std::string File(const char* name) {
  return Folder() + "/" + name;
}

FieldDef Def(const char* name, char type, uint32_t len, uint32_t dec = 0) {
  FieldDef f;
  f.name = name;
  f.type = type;
  f.len = len;
  f.dec = dec;
  return f;
}

// The 10-character codes of the records, record i + 1 holding codes[i].
const std::vector<std::string>& Codes() {
  static const std::vector<std::string> codes = [] {
    std::vector<std::string> v;
    std::mt19937 rng(7);
    v.reserve(kRecords);
    for (uint32_t i = 0; i < kRecords; ++i) {
      std::string s(10, ' ');
      for (char& c : s) c = static_cast<char>('A' + rng() % 26);
      v.push_back(s);
    }
    return v;
  }();
  return codes;
}

// Creates the table "big.dbf" (CODE C(10), AMOUNT N(10,2), NAME C(20)) with its records
// written straight into the file, once.
bool MakeTable() {
  static bool made = false;
  if (made) return true;
  InitEngine();
  const std::string table = File("big.dbf");
  DBSELECTAREA(0);
  WorkArea* area = NewAreaInCurrentSlot("");
  if (area == nullptr) return false;
  area->CreateFields({Def("CODE", 'C', 10), Def("AMOUNT", 'N', 10, 2), Def("NAME", 'C', 20)});
  OpenInfo info;
  info.area = area->area_number();
  info.file_name = table;
  const bool ok = area->Create(info);
  area->Close();
  ReleaseCurrentArea();
  if (!ok) return false;
  // Header as written, without the end-of-file mark; then the records.
  std::string bytes;
  {
    std::ifstream in(table, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  if (!bytes.empty() && bytes.back() == 0x1A) bytes.pop_back();
  std::mt19937 rng(9);
  std::uniform_int_distribution<int> cents(-9999999, 99999999);
  char amount[16];
  bytes.reserve(bytes.size() + static_cast<size_t>(kRecords) * 41 + 1);
  for (uint32_t i = 0; i < kRecords; ++i) {
    bytes += ' ';
    bytes += Codes()[i];
    std::snprintf(amount, sizeof amount, "%10.2f", cents(rng) / 100.0);
    bytes.append(amount, 10);
    bytes.append(20, 'x');
  }
  bytes += '\x1A';
  bytes[4] = static_cast<char>(kRecords & 0xFF);
  bytes[5] = static_cast<char>((kRecords >> 8) & 0xFF);
  bytes[6] = static_cast<char>((kRecords >> 16) & 0xFF);
  bytes[7] = static_cast<char>((kRecords >> 24) & 0xFF);
  std::ofstream out(table, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  made = out.good();
  return made;
}

bool OpenTable() {
  DBCLOSEALL();
  return MakeTable() && DBUSEAREA(true, "", File("big.dbf"), "BIG", false, false);
}

void Build(benchmark::State& state, const char* index, const char* key) {
  if (!OpenTable()) {
    state.SkipWithError("cannot make the table");
    return;
  }
  for (auto _ : state) {
    DBCREATEINDEX(File(index), key);
    if (DBORDERINFO(26).integer() != kRecords) state.SkipWithError("keys missing");
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
  DBCLOSEALL();
}

void BM_CreateIndexCharacterKey(benchmark::State& state) {
  Build(state, "code.ntx", "CODE");
}
BENCHMARK(BM_CreateIndexCharacterKey)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CreateIndexNumericKey(benchmark::State& state) {
  Build(state, "amount.ntx", "AMOUNT");
}
BENCHMARK(BM_CreateIndexNumericKey)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same character key through the expression evaluator instead of the field.
void BM_CreateIndexEvaluatedKey(benchmark::State& state) {
  Build(state, "upper.ntx", "UPPER(CODE)");
}
BENCHMARK(BM_CreateIndexEvaluatedKey)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DbSeek(benchmark::State& state) {
  if (!OpenTable()) {
    state.SkipWithError("cannot make the table");
    return;
  }
  DBCREATEINDEX(File("seek.ntx"), "CODE");
  GetSettings().deleted = true;
  std::mt19937 rng(3);
  std::vector<Value> targets;
  targets.reserve(kRecords);
  for (uint32_t i = 0; i < kRecords; ++i) {
    targets.push_back(Value::String(Codes()[rng() % kRecords]));
  }
  size_t next = 0;
  uint64_t found = 0;
  for (auto _ : state) {
    found += DBSEEK(targets[next]) ? 1 : 0;
    if (++next == targets.size()) next = 0;
  }
  if (found != static_cast<uint64_t>(state.iterations())) state.SkipWithError("a key was missed");
  state.SetItemsProcessed(state.iterations());
  GetSettings().deleted = false;
  DBCLOSEALL();
}
BENCHMARK(BM_DbSeek)->Iterations(kRecords)->UseRealTime();

}  // namespace
}  // namespace px
