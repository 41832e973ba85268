// Appending 1,000,000 records to an exclusive table, and scanning them reading every
// field, through the work-area commands. Reports records per second.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "bench/bench_folder.h"
#include "engine/engine.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "engine/workarea/work_area.h"
#include "runtime/date.h"

namespace px {
namespace {

constexpr int64_t kRecords = 1000000;

using bench::BenchFolder;

FieldDef Def(const char* name, char type, uint32_t len, uint32_t dec = 0) {
  FieldDef f;
  f.name = name;
  f.type = type;
  f.len = len;
  f.dec = dec;
  return f;
}

bool CreateBenchTable(const std::string& file) {
  DBSELECTAREA(0);
  WorkArea* area = NewAreaInCurrentSlot("");
  if (area == nullptr) return false;
  area->CreateFields({Def("CODE", 'C', 10), Def("NAME", 'C', 30), Def("QTY", 'N', 8, 2),
                      Def("COUNT", 'N', 6), Def("DUE", 'D', 8), Def("OK", 'L', 1),
                      Def("UNITS", 'I', 4), Def("RATE", 'B', 8, 2)});
  OpenInfo info;
  info.area = area->area_number();
  info.file_name = file;
  const bool ok = area->Create(info);
  area->Close();
  ReleaseCurrentArea();
  return ok;
}

void AppendRecords(int64_t n) {
  const Value name = Value::String("Smith Aluminium Windows");
  const int32_t due = DateFromYmd(2024, 3, 1);
  for (int64_t i = 0; i < n; ++i) {
    DBAPPEND();
    FIELDPUT(1, Value::String("C" + std::to_string(i)));
    FIELDPUT(2, name);
    FIELDPUT(3, Value::Double(static_cast<double>(i % 100000) / 4.0));
    FIELDPUT(4, Value::Integer(i % 1000));
    FIELDPUT(5, Value::Date(due + static_cast<int32_t>(i % 365)));
    FIELDPUT(6, Value::Logical(i % 2 == 0));
    FIELDPUT(7, Value::Integer(i));
    FIELDPUT(8, Value::Double(0.5 * static_cast<double>(i)));
  }
}

void BM_DbfAppend(benchmark::State& state) {
  InitEngine();
  const int64_t n = state.range(0);
  // Made and emptied outside the timed part: removing the table is not measured.
  BenchFolder folder;
  if (!folder.ok()) {
    state.SkipWithError("no scratch folder");
    return;
  }
  const std::string file = folder.File("append.dbf");
  for (auto _ : state) {
    state.PauseTiming();
    if (!CreateBenchTable(file) || !DBUSEAREA(true, "", file, "", false, false)) {
      state.SkipWithError("cannot create the table");
      return;
    }
    state.ResumeTiming();
    AppendRecords(n);
    DBCLOSEAREA();  // the header and the end-of-file mark are written here
    state.PauseTiming();
    if (RECCOUNT() != 0) state.SkipWithError("area still open");
    std::error_code ec;
    std::filesystem::remove(file, ec);
    state.ResumeTiming();
  }
  state.counters["records_per_second"] =
      benchmark::Counter(static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_DbfScan(benchmark::State& state) {
  InitEngine();
  const int64_t n = state.range(0);
  BenchFolder folder;
  if (!folder.ok()) {
    state.SkipWithError("no scratch folder");
    return;
  }
  const std::string file = folder.File("scan.dbf");
  if (!CreateBenchTable(file) || !DBUSEAREA(true, "", file, "", false, false)) {
    state.SkipWithError("cannot create the table");
    return;
  }
  AppendRecords(n);
  DBCLOSEAREA();
  if (!DBUSEAREA(true, "", file, "", false, true)) {
    state.SkipWithError("cannot open the table");
    return;
  }
  const int fields = FCOUNT();
  int64_t seen = 0;
  for (auto _ : state) {
    seen = 0;
    DBGOTOP();
    while (!EOF_()) {
      for (int f = 1; f <= fields; ++f) benchmark::DoNotOptimize(FIELDGET(f));
      ++seen;
      DBSKIP();
    }
  }
  DBCLOSEAREA();
  if (seen != n) state.SkipWithError("wrong record count");
  state.counters["records_per_second"] =
      benchmark::Counter(static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BM_DbfAppend)->Arg(kRecords)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_DbfScan)->Arg(kRecords)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
}  // namespace px
