// pxdb export next to pxdb dump on one table of 1,000,000 records (character, numeric,
// date, logical, binary integer and double fields): both stream every record to an
// output that counts and drops the bytes. Export is to be at least as fast as dump;
// reports records per second and output bytes per second.
#include <benchmark/benchmark.h>

#include <memory>
#include <ostream>
#include <sstream>
#include <streambuf>
#include <string>
#include <tuple>

#include "bench/bench_folder.h"
#include "engine/engine.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "engine/workarea/structure.h"
#include "runtime/date.h"
#include "tools/pxdb/pxdb.h"

namespace px {
namespace {

constexpr int64_t kRecords = 1000000;

// Counts the bytes written to it and keeps none.
class CountingBuffer : public std::streambuf {
 public:
  int64_t bytes = 0;

 protected:
  std::streamsize xsputn(const char*, std::streamsize n) override {
    bytes += n;
    return n;
  }
  int_type overflow(int_type c) override {
    ++bytes;
    return traits_type::not_eof(c);
  }
};

// The table, made once for every benchmark of the program.
class BenchTable {
 public:
  BenchTable() {
    if (!folder_.ok()) return;
    InitEngine();
    file_ = folder_.File("orders.dbf");
    Value structure = Value::Array();
    for (const auto& [name, type, len, dec] : {std::tuple{"CODE", "C", 10, 0},
                                               {"NAME", "C", 30, 0},
                                               {"QTY", "N", 8, 2},
                                               {"DUE", "D", 8, 0},
                                               {"OK", "L", 1, 0},
                                               {"UNITS", "I", 4, 0},
                                               {"RATE", "B", 8, 2}}) {
      structure.mutable_array().push_back(Value::Array(
          {Value::String(name), Value::String(type), Value::Integer(len), Value::Integer(dec)}));
    }
    if (!DBCREATE(file_, structure) || !DBUSEAREA(true, "", file_, "ORDERS", false, false)) {
      file_.clear();
      return;
    }
    const Value name = Value::String("Smith, \"Aluminium\" Windows");
    const int32_t due = DateFromYmd(2024, 3, 1);
    for (int64_t i = 0; i < kRecords; ++i) {
      DBAPPEND();
      FIELDPUT(1, Value::String("C" + std::to_string(i)));
      FIELDPUT(2, name);
      FIELDPUT(3, Value::Double(static_cast<double>(i % 100000) / 4.0));
      FIELDPUT(4, Value::Date(due + static_cast<int32_t>(i % 365)));
      FIELDPUT(5, Value::Logical(i % 2 == 0));
      FIELDPUT(6, Value::Integer(i));
      FIELDPUT(7, Value::Double(0.5 * static_cast<double>(i)));
    }
    DBCLOSEAREA();
  }
  const std::string& file() const { return file_; }

 private:
  bench::BenchFolder folder_{"pxexport"};
  std::string file_;
};

const BenchTable& Table() {
  static const BenchTable table;
  return table;
}

void RunCommand(benchmark::State& state, const char* command) {
  if (Table().file().empty()) {
    state.SkipWithError("cannot make the table");
    return;
  }
  int64_t bytes = 0;
  for (auto _ : state) {
    CountingBuffer buffer;
    std::ostream out(&buffer);
    std::istringstream in;
    std::ostringstream err;
    if (pxdb::RunPxdb({command, Table().file()}, in, out, err) != 0) {
      state.SkipWithError(err.str().c_str());
      return;
    }
    bytes += buffer.bytes;
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
  state.SetBytesProcessed(bytes);
}

void BM_Dump(benchmark::State& state) {
  RunCommand(state, "dump");
}
void BM_Export(benchmark::State& state) {
  RunCommand(state, "export");
}

BENCHMARK(BM_Dump)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_Export)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
}  // namespace px
