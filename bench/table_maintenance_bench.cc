// The structure migration's heavy steps on 1,000,000 records:
//   - BM_AppendFrom: DBAPP of a table with ten fields of every kind into a table whose
//     structure changed (fields widened, narrowed, re-typed in width, added, dropped),
//     without memo texts and with a memo text on every tenth record;
//   - BM_Pack: DBPACK of a table with every third record deleted;
//   - BM_CopyFile: COPYFILE of the source table, to compare with a plain file copy.
// Each reports records (or bytes) per second of the operation itself and, as a counter,
// the seconds of the close that follows (header, end-of-file mark, OS buffers flushed).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/bench_folder.h"
#include "engine/engine.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/file_ops.h"
#include "engine/workarea/maintenance.h"
#include "engine/workarea/registry.h"
#include "engine/workarea/structure.h"
#include "runtime/date.h"
#include "runtime/error.h"

namespace px {
namespace {

constexpr int64_t kRecords = 1000000;

using bench::BenchFolder;

Value Entry(const char* name, const char* type, int len, int dec = 0) {
  return Value::Array(
      {Value::String(name), Value::String(type), Value::Integer(len), Value::Integer(dec)});
}

Value OldStructure() {
  return Value::Array({Entry("CODE", "C", 10), Entry("NAME", "C", 30), Entry("QTY", "N", 8, 2),
                       Entry("COUNT", "N", 6), Entry("DUE", "D", 8), Entry("OK", "L", 1),
                       Entry("UNITS", "I", 4), Entry("RATE", "B", 8, 2), Entry("NOTES", "M", 10),
                       Entry("OBSOLETE", "C", 12)});
}

// Widened, narrowed, decimals and widths changed, one field added, one dropped.
Value NewStructure() {
  return Value::Array({Entry("CODE", "C", 12), Entry("NAME", "C", 25), Entry("QTY", "N", 10, 3),
                       Entry("COUNT", "N", 6), Entry("DUE", "D", 8), Entry("OK", "L", 1),
                       Entry("UNITS", "I", 8), Entry("RATE", "B", 8, 2), Entry("NOTES", "M", 10),
                       Entry("ADDED", "C", 5)});
}

// Fills a table of the old structure; a memo text on every tenth record when asked.
bool MakeSource(const std::string& file, bool memos) {
  if (!DBCREATE(file, OldStructure()) || !DBUSEAREA(true, "", file, "SRC", false, false)) {
    return false;
  }
  const Value name = Value::String("Smith Aluminium Windows");
  const Value obsolete = Value::String("gone");
  const int32_t due = DateFromYmd(2024, 3, 1);
  for (int64_t i = 0; i < kRecords; ++i) {
    DBAPPEND();
    FIELDPUT(1, Value::String("C" + std::to_string(i)));
    FIELDPUT(2, name);
    FIELDPUT(3, Value::Double(static_cast<double>(i % 100000) / 4.0));
    FIELDPUT(4, Value::Integer(i % 1000));
    FIELDPUT(5, Value::Date(due + static_cast<int32_t>(i % 365)));
    FIELDPUT(6, Value::Logical(i % 2 == 0));
    FIELDPUT(7, Value::Integer(i));
    FIELDPUT(8, Value::Double(0.5 * static_cast<double>(i)));
    if (memos && i % 10 == 0) {
      FIELDPUT(9, Value::String("Window " + std::to_string(i) + ": " + std::string(i % 700, 'x')));
    }
    FIELDPUT(10, obsolete);
  }
  DBCLOSEAREA();
  return true;
}

double SecondsOf(void (*fn)()) {
  const auto start = std::chrono::steady_clock::now();
  fn();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_AppendFrom(benchmark::State& state) {
  InitEngine();
  ScopedErrorHandler quiet([](Error&) { return ErrorAnswer::Default(); });
  const bool memos = state.range(0) != 0;
  BenchFolder folder;
  if (!folder.ok()) {
    state.SkipWithError("no scratch folder");
    return;
  }
  const std::string source = folder.File("old.dbf");
  if (!MakeSource(source, memos)) {
    state.SkipWithError("cannot make the source table");
    return;
  }
  double close_seconds = 0;
  uint32_t appended = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const std::string dest = folder.File("zztemp.dbf");
    if (!DBCREATE(dest, NewStructure(), "", true)) {
      state.SkipWithError("cannot create the destination");
      return;
    }
    state.ResumeTiming();
    appended = DBAPP(Value::String(source));
    state.PauseTiming();
    close_seconds += SecondsOf([] { DBCLOSEAREA(); });
    state.ResumeTiming();
  }
  if (appended != kRecords) state.SkipWithError("wrong record count");
  state.counters["records_per_second"] = benchmark::Counter(
      static_cast<double>(kRecords), benchmark::Counter::kIsIterationInvariantRate);
  state.counters["close_seconds"] =
      benchmark::Counter(close_seconds, benchmark::Counter::kAvgIterations);
}

void BM_Pack(benchmark::State& state) {
  InitEngine();
  ScopedErrorHandler quiet([](Error&) { return ErrorAnswer::Default(); });
  BenchFolder folder;
  if (!folder.ok()) {
    state.SkipWithError("no scratch folder");
    return;
  }
  const std::string original = folder.File("orig.dbf");
  if (!MakeSource(original, false) || !DBUSEAREA(true, "", original, "", false, false)) {
    state.SkipWithError("cannot make the table");
    return;
  }
  for (uint32_t r = 1; r <= kRecords; r += 3) {
    DBGOTO(r);
    DBDELETE();
  }
  DBCLOSEAREA();
  double close_seconds = 0;
  uint32_t kept = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const std::string file = folder.File("pack.dbf");
    std::filesystem::copy_file(original, file, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::copy_file(folder.File("orig.dbt"), folder.File("pack.dbt"),
                               std::filesystem::copy_options::overwrite_existing);
    if (!DBUSEAREA(true, "", file, "", false, false)) {
      state.SkipWithError("cannot open the table");
      return;
    }
    state.ResumeTiming();
    DBPACK();
    state.PauseTiming();
    kept = RECCOUNT();
    close_seconds += SecondsOf([] { DBCLOSEAREA(); });
    state.ResumeTiming();
  }
  if (kept != kRecords - (kRecords + 2) / 3) state.SkipWithError("wrong record count");
  state.counters["records_per_second"] = benchmark::Counter(
      static_cast<double>(kRecords), benchmark::Counter::kIsIterationInvariantRate);
  state.counters["close_seconds"] =
      benchmark::Counter(close_seconds, benchmark::Counter::kAvgIterations);
}

void BM_CopyFile(benchmark::State& state) {
  InitEngine();
  ScopedErrorHandler quiet([](Error&) { return ErrorAnswer::Default(); });
  BenchFolder folder;
  if (!folder.ok()) {
    state.SkipWithError("no scratch folder");
    return;
  }
  const std::string source = folder.File("old.dbf");
  if (!MakeSource(source, false)) {
    state.SkipWithError("cannot make the table");
    return;
  }
  const auto bytes = static_cast<double>(std::filesystem::file_size(source));
  for (auto _ : state) {
    if (!COPYFILE(Value::String(source), Value::String(folder.File("copy.dbf"))).is_nil()) {
      state.SkipWithError("copy failed");
      return;
    }
  }
  state.counters["bytes_per_second"] =
      benchmark::Counter(bytes, benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BM_AppendFrom)
    ->ArgName("memos")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK(BM_Pack)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_CopyFile)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
}  // namespace px
