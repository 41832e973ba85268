// INIT_IDX over a generated installation of about 2,000,000 records (pxdb sample at
// scale 594: 1,190,000 quote lines, 240,000 quotes, 120,000 customers ...), next to the
// same indexes built one by one straight from their tables as pxdb index builds them.
//
//   - BM_SingleBuilds: for every catalogue record that names an index (NOINDEX records
//     left out, as INIT_IDX leaves them out), open the table exclusively, create the
//     index from its compiled key, close the table;
//   - BM_InitIdx: INIT_IDX(false, false) in the installation folder, timed per catalogue
//     record through its progress texts: a record's time runs from its "Indexing ALIAS
//     To INDEX" text to the next text, so it holds its pack and index build, its close
//     and the next record's catalogue look-up and open.
//
// After the runs the program prints each table's seconds in both, its share of the
// INIT_IDX time and the ratio; the target is INIT_IDX within 20% of the single builds.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/data/index_rebuild.h"
#include "bench/bench_folder.h"
#include "engine/engine.h"
#include "engine/workarea/orders.h"
#include "engine/workarea/registry.h"
#include "runtime/env.h"
#include "runtime/error.h"
#include "runtime/settings.h"
#include "tools/pxdb/sample_installation.h"
#include "ui/console_backend.h"
#include "ui/control.h"

namespace px {
namespace {

constexpr int kScale = 594;

// The generated installation, made once for the program and removed at its end, and
// the seconds per table that the benchmarks measured.
struct Installation {
  Installation() : scratch("pxrebuild") {
    InitEngine();
    std::string error = "no scratch folder";
    if (scratch.ok() && pxdb::MakeSampleInstallation(scratch.path(), kScale, &result, &error)) {
      folder = scratch.path();
    } else {
      std::fprintf(stderr, "cannot generate the installation: %s\n", error.c_str());
    }
  }
  ~Installation() { Report(); }

  void Report() const {
    if (init_idx.empty() || single.empty()) return;
    double init_total = 0, single_total = 0;
    for (const auto& [alias, s] : init_idx) init_total += s;
    for (const auto& [alias, s] : single) single_total += s;
    std::printf("\n%-10s %10s %12s %9s %12s %7s\n", "table", "records", "INIT_IDX s", "share",
                "single s", "ratio");
    for (const pxdb::SampleTableCount& t : result.tables) {
      const std::string alias = t.alias;
      if (alias == "indexdef") continue;
      const double a = init_idx.count(alias) ? init_idx.at(alias) : 0.0;
      const double b = single.count(alias) ? single.at(alias) : 0.0;
      std::printf("%-10s %10u %12.3f %8.1f%% %12.3f %7.2f\n", alias.c_str(), t.records, a,
                  100.0 * a / init_total, b, b > 0 ? a / b : 0.0);
    }
    std::printf("%-10s %10llu %12.3f %8.1f%% %12.3f %7.2f\n", "all",
                static_cast<unsigned long long>(result.total_records), init_total, 100.0,
                single_total, init_total / single_total);
    std::printf(
        "(INIT_IDX total includes the catalogue's own index and reading the catalogue: "
        "%.3f s)\n",
        init_idx_total - init_total);
  }

  bench::BenchFolder scratch;
  std::string folder;  // the installation, empty when it could not be made
  pxdb::SampleResult result;
  std::map<std::string, double> init_idx;  // seconds per alias, averaged over iterations
  std::map<std::string, double> single;
  double init_idx_total = 0;
};

Installation& TheInstallation() {
  static Installation installation;
  return installation;
}

double Now() {
  return static_cast<double>(GetEnv()->NowMicros()) / 1e6;
}

// The progress field INIT_IDX refreshes: notes when each text appeared.
class ProgressClock : public TControl {
 public:
  explicit ProgressClock(const std::string* text) : TControl(Kind::kGet), text_(text) {}
  std::string ClassName() const override { return "TGET"; }
  void Refresh() override { marks.emplace_back(Now(), *text_); }

  std::vector<std::pair<double, std::string>> marks;

 private:
  const std::string* text_;
};

// Runs the function with the installation folder as the current folder.
template <typename F>
bool InFolder(const std::string& folder, F f) {
  const std::string previous = GetEnv()->CurrentDir();
  if (GetEnv()->ChangeDir(folder) != 0) return false;
  f();
  GetEnv()->ChangeDir(previous);
  return true;
}

// The installation with the settings both runs use (exclusive opens, deleted records
// hidden); nullptr, the benchmark skipped, when it could not be generated.
Installation* Prepare(benchmark::State& state) {
  Installation& inst = TheInstallation();
  if (inst.folder.empty()) {
    state.SkipWithError("no installation");
    return nullptr;
  }
  GetSettings().exclusive = true;
  GetSettings().deleted = true;
  return &inst;
}

// Counts the errors the engine raises while it lives, answering each with its default.
struct ErrorCount {
  int errors = 0;
  ScopedErrorHandler handler{[this](Error&) {
    ++errors;
    return ErrorAnswer::Default();
  }};
};

// The records of the installation, per run and per second.
void SetCounters(benchmark::State& state, const Installation& inst) {
  state.counters["records"] = static_cast<double>(inst.result.total_records);
  state.counters["records_per_second"] =
      benchmark::Counter(static_cast<double>(inst.result.total_records),
                         benchmark::Counter::kIsIterationInvariantRate);
}

void BM_SingleBuilds(benchmark::State& state) {
  Installation* inst = Prepare(state);
  if (inst == nullptr) return;
  ErrorCount count;
  std::map<std::string, double> seconds;
  for (auto _ : state) {
    const bool entered = InFolder(inst->folder, [&] {
      for (const pxdb::SampleTable& t : pxdb::SampleTables()) {
        for (const pxdb::SampleIndex& index : t.indexes) {
          if (index.no_index) continue;
          const double start = Now();
          DBSELECTAREA(0);
          DBUSEAREA(false, "", t.file, t.alias, false, false);
          DBCREATEINDEX(index.name, index.key, nullptr, false);
          DBCLOSEAREA();
          seconds[t.alias] += Now() - start;
        }
      }
    });
    if (!entered) {
      state.SkipWithError("cannot enter the installation folder");
      break;
    }
  }
  if (count.errors > 0) state.SkipWithError("the engine raised errors");
  for (auto& [alias, s] : seconds)
    inst->single[alias] = s / static_cast<double>(state.iterations());
  SetCounters(state, *inst);
}

void BM_InitIdx(benchmark::State& state) {
  Installation* inst = Prepare(state);
  if (inst == nullptr) return;
  ErrorCount count;
  std::ostringstream shown;
  ConsoleBackend::Options options;
  options.out = &shown;
  ConsoleBackend backend(options);
  ScopedUiBackend ui(&backend);
  std::map<std::string, double> seconds;
  double total = 0;
  for (auto _ : state) {
    std::string text;
    ProgressClock clock(&text);
    double start = 0, end = 0;
    const bool entered = InFolder(inst->folder, [&] {
      start = Now();
      INIT_IDX(false, false, nullptr, &text, &clock);
      end = Now();
    });
    if (!entered) {
      state.SkipWithError("cannot enter the installation folder");
      break;
    }
    total += end - start;
    // Each "Indexing ALIAS To INDEX" lasts until the next text, or the end.
    for (size_t i = 0; i < clock.marks.size(); ++i) {
      const std::string& t = clock.marks[i].second;
      if (t.rfind("Indexing ", 0) != 0 || t == "Indexing INDEXDEF") continue;
      std::string alias = t.substr(9, t.find(" To ") - 9);
      for (char& c : alias) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
      const double until = i + 1 < clock.marks.size() ? clock.marks[i + 1].first : end;
      seconds[alias] += until - clock.marks[i].first;
    }
  }
  if (count.errors > 0 || shown.str().find("Unable") != std::string::npos) {
    state.SkipWithError("INIT_IDX reported errors");
  }
  const auto n = static_cast<double>(state.iterations());
  for (auto& [alias, s] : seconds) inst->init_idx[alias] = s / n;
  inst->init_idx_total = total / n;
  SetCounters(state, *inst);
}

BENCHMARK(BM_SingleBuilds)->Unit(benchmark::kSecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_InitIdx)->Unit(benchmark::kSecond)->Iterations(3)->UseRealTime();

}  // namespace
}  // namespace px
