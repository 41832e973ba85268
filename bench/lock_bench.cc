// Sharing: appends to one shared table from 1 and from 4 processes at once (each append
// takes the header lock, locks the new record and writes record and header), and
// RLOCK/DBUNLOCK pairs on a shared table. Reports appends and pairs per second.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "bench/bench_folder.h"
#include "engine/engine.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "engine/workarea/work_area.h"

namespace px {
namespace {

constexpr int64_t kAppends = 20000;  // in all, shared out among the processes

using bench::BenchFolder;

FieldDef Def(const char* name, char type, uint32_t len) {
  FieldDef f;
  f.name = name;
  f.type = type;
  f.len = len;
  return f;
}

bool CreateBenchTable(const std::string& file) {
  DBSELECTAREA(0);
  WorkArea* area = NewAreaInCurrentSlot("");
  if (area == nullptr) return false;
  area->CreateFields({Def("WRITER", 'N', 2), Def("SEQ", 'N', 8), Def("NAME", 'C', 40)});
  OpenInfo info;
  info.area = area->area_number();
  info.file_name = file;
  const bool ok = area->Create(info);
  area->Close();
  ReleaseCurrentArea();
  return ok;
}

// One process's share of the appends; its exit code tells whether all went in.
int AppendShared(const std::string& file, int writer, int64_t n) {
  if (!DBUSEAREA(true, "", file, "", /*shared=*/true, false)) return 1;
  const Value name = Value::String("Smith Aluminium Windows");
  for (int64_t i = 0; i < n; ++i) {
    if (!DBAPPEND()) return 2;
    FIELDPUT(1, Value::Integer(writer));
    FIELDPUT(2, Value::Integer(i));
    FIELDPUT(3, name);
  }
  DBCLOSEAREA();
  return 0;
}

void BM_SharedAppend(benchmark::State& state) {
  InitEngine();
  const int processes = static_cast<int>(state.range(0));
  const int64_t each = kAppends / processes;
  // Made and emptied outside the timed part: removing the table is not measured.
  BenchFolder folder;
  if (!folder.ok()) {
    state.SkipWithError("no scratch folder");
    return;
  }
  const std::string file = folder.File("shared.dbf");
  for (auto _ : state) {
    state.PauseTiming();
    if (!CreateBenchTable(file)) {
      state.SkipWithError("cannot create the table");
      return;
    }
    state.ResumeTiming();
    std::vector<pid_t> children;
    for (int p = 1; p <= processes; ++p) {
      const pid_t pid = fork();
      if (pid == 0) _exit(AppendShared(file, p, each));
      children.push_back(pid);
    }
    bool ok = true;
    for (pid_t pid : children) {
      int status = 0;
      waitpid(pid, &status, 0);
      ok = ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    state.PauseTiming();
    if (!ok || !DBUSEAREA(true, "", file, "", true, true) || RECCOUNT() != each * processes) {
      state.SkipWithError("appends went missing");
      return;
    }
    DBCLOSEAREA();
    std::error_code ec;
    std::filesystem::remove(file, ec);
    state.ResumeTiming();
  }
  state.counters["appends_per_second"] = benchmark::Counter(
      static_cast<double>(each * processes), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_RlockDbunlock(benchmark::State& state) {
  InitEngine();
  BenchFolder folder;
  if (!folder.ok()) {
    state.SkipWithError("no scratch folder");
    return;
  }
  const std::string file = folder.File("locks.dbf");
  if (!CreateBenchTable(file) || AppendShared(file, 1, 1000) != 0 ||
      !DBUSEAREA(true, "", file, "", /*shared=*/true, false)) {
    state.SkipWithError("cannot set up the table");
    return;
  }
  uint32_t recno = 0;
  for (auto _ : state) {
    DBGOTO(recno % 1000 + 1);
    ++recno;
    if (!RLOCK()) {
      state.SkipWithError("lock refused");
      break;
    }
    DBUNLOCK();
  }
  DBCLOSEAREA();
  state.counters["pairs_per_second"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_SharedAppend)
    ->ArgName("processes")
    ->Arg(1)
    ->Arg(4)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK(BM_RlockDbunlock)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
}  // namespace px
