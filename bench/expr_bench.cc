// The key expression evaluator over 1,000,000 records: the compiled key
// UPPER(NAME) + DTOS(DUE) + STR(QTY, 8, 2) run per record (as an order computes keys),
// and the same key text compiled and run per record (as the catalogue-driven key
// block does), with and without the block's cache of the last compiled text.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "engine/expr/compiler.h"
#include "engine/expr/eval_context.h"
#include "engine/expr/eval_text.h"
#include "engine/expr/evaluator.h"
#include "runtime/date.h"
#include "runtime/process_state.h"

namespace {

using px::Value;

constexpr int kRecords = 1000000;
constexpr const char* kKey = "UPPER(NAME) + DTOS(DUE) + STR(QTY, 8, 2)";

// Records held as a table file holds them: a 10-byte name, a date and an N(8,2).
struct Record {
  char name[10];
  int32_t due;
  double qty;
};

const std::vector<Record>& Records() {
  static const std::vector<Record> records = [] {
    std::vector<Record> r(kRecords);
    uint32_t seed = 12345;
    const int32_t base = px::DateFromYmd(2020, 1, 1);
    for (int i = 0; i < kRecords; ++i) {
      seed = seed * 1664525 + 1013904223;
      char buf[16];
      std::snprintf(buf, sizeof(buf), "cust%06d", static_cast<int>(seed % 1000000));
      std::memcpy(r[i].name, buf, 10);
      r[i].due = (i % 7 == 0) ? 0 : base + static_cast<int32_t>(seed % 3000);
      r[i].qty = static_cast<double>(seed % 10000000) / 100.0;
    }
    return r;
  }();
  return records;
}

class RecordContext : public px::expr::EvalContext {
 public:
  const Record* current = nullptr;
  uint32_t recno = 0;

  int FieldIndex(std::string_view name, int hint) override {
    if (hint > 0 && Same(name, kNames[hint - 1])) return hint;
    for (int i = 0; i < 3; ++i) {
      if (Same(name, kNames[i])) return i + 1;
    }
    return 0;
  }
  void FieldValue(int index, Value* out) override {
    switch (index) {
      case 1:
        out->SetString(current->name, 10);
        break;
      case 2:
        *out = Value::Date(current->due);
        break;
      default:
        *out = Value::Double(current->qty, 8, 2);
        break;
    }
  }
  AliasStatus AliasField(std::string_view, std::string_view, Value*) override {
    return AliasStatus::kNoAlias;
  }
  uint32_t RecNo() override { return recno; }
  bool Deleted() override { return false; }
  const Value* FindMemVar(std::string_view name) override { return px::GetMemVars().Find(name); }

 private:
  static constexpr std::string_view kNames[3] = {"NAME", "DUE", "QTY"};
  static bool Same(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
      if ((a[i] & ~0x20) != (b[i] & ~0x20)) return false;
    }
    return true;
  }
};

void BM_CompiledKey(benchmark::State& state) {
  const std::vector<Record>& records = Records();
  auto program = px::expr::Compile(kKey);
  RecordContext ctx;
  size_t bytes = 0;
  Value key;  // reused from record to record, as an order's key is
  for (auto _ : state) {
    for (int i = 0; i < kRecords; ++i) {
      ctx.current = &records[i];
      ctx.recno = static_cast<uint32_t>(i + 1);
      px::expr::Run(*program, ctx, &key);
      bytes += key.str().size();
    }
  }
  benchmark::DoNotOptimize(bytes);
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_CompiledKey)->Unit(benchmark::kMillisecond);

void BM_EvaluateTextPerRecord(benchmark::State& state) {
  const std::vector<Record>& records = Records();
  RecordContext ctx;
  size_t bytes = 0;
  for (auto _ : state) {
    for (int i = 0; i < kRecords; ++i) {
      ctx.current = &records[i];
      const Value key = px::expr::EvaluateText(kKey, ctx);
      bytes += key.str().size();
    }
  }
  benchmark::DoNotOptimize(bytes);
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_EvaluateTextPerRecord)->Unit(benchmark::kMillisecond);

// The catalogue key block's way: the text of TINDEXKEY per record, compiled once.
void BM_VariableTextCached(benchmark::State& state) {
  const std::vector<Record>& records = Records();
  px::GetMemVars().Set("TINDEXKEY", Value::String(kKey));
  RecordContext ctx;
  px::expr::TextCache cache;
  size_t bytes = 0;
  for (auto _ : state) {
    for (int i = 0; i < kRecords; ++i) {
      ctx.current = &records[i];
      const Value key = px::expr::EvaluateVariableText("TINDEXKEY", ctx, &cache);
      bytes += key.str().size();
    }
  }
  benchmark::DoNotOptimize(bytes);
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_VariableTextCached)->Unit(benchmark::kMillisecond);

}  // namespace
