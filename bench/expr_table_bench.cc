// The key UPPER(NAME) + DTOS(DUE) + STR(QTY, 8, 2) over a real table of 1,000,000
// records: positioning on each record and running the compiled key against the work
// area, as an index build does (record reading included).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/engine.h"
#include "engine/expr/compiler.h"
#include "engine/expr/evaluator.h"
#include "engine/expr/workarea_context.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "engine/workarea/work_area.h"
#include "runtime/date.h"

namespace px {
namespace {

constexpr uint32_t kTableRecords = 1000000;

class KeyTable {
 public:
  KeyTable() {
    InitEngine();
    const char* tmp = std::getenv("TMPDIR");
    std::string templ = std::string(tmp != nullptr && *tmp ? tmp : "/tmp") + "/pxkeys.XXXXXX";
    const char* made = mkdtemp(templ.data());
    folder_ = made != nullptr ? made : "/tmp";
    const std::string file = folder_ + "/keys.dbf";
    DBSELECTAREA(0);
    WorkArea* area = NewAreaInCurrentSlot("");
    FieldDef name{"NAME", 'C', 10, 0}, due{"DUE", 'D', 8, 0}, qty{"QTY", 'N', 8, 2};
    area->CreateFields({name, due, qty});
    OpenInfo info;
    info.area = area->area_number();
    info.file_name = file;
    area->Create(info);
    area->Close();
    ReleaseCurrentArea();
    DBUSEAREA(true, "", file, "KEYS", false, false);
    const int32_t base = DateFromYmd(2020, 1, 1);
    uint32_t seed = 12345;
    for (uint32_t i = 0; i < kTableRecords; ++i) {
      seed = seed * 1664525 + 1013904223;
      DBAPPEND();
      FIELDPUT(1, Value::String("cust" + std::to_string(seed % 1000000)));
      FIELDPUT(2, Value::Date(i % 7 == 0 ? 0 : base + static_cast<int32_t>(seed % 3000)));
      FIELDPUT(3, Value::Double(static_cast<double>(seed % 10000000) / 100.0, 8, 2));
    }
    DBCOMMIT();
  }
  ~KeyTable() {
    DBCLOSEALL();
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }

 private:
  std::string folder_;
};

void BM_CompiledKeyOnTable(benchmark::State& state) {
  static KeyTable* table = new KeyTable();  // built once for the program's life
  (void)table;
  auto program = expr::Compile("UPPER(NAME) + DTOS(DUE) + STR(QTY, 8, 2)");
  expr::WorkAreaContext ctx;
  WorkArea* area = CurrentArea();
  size_t bytes = 0;
  Value key;  // reused from record to record, as an order's key is
  for (auto _ : state) {
    for (uint32_t r = 1; r <= kTableRecords; ++r) {
      area->GoTo(r);
      expr::Run(*program, ctx, &key);
      bytes += key.str().size();
    }
  }
  benchmark::DoNotOptimize(bytes);
  state.SetItemsProcessed(state.iterations() * kTableRecords);
}
BENCHMARK(BM_CompiledKeyOnTable)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace px
