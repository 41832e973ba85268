// Fuzz entry point of the expression compiler and evaluator: the input is expression
// text from an untrusted file. It is compiled and run against a small in-memory record,
// evaluated in one step, used as a macro and substituted. Nothing may crash, hang or
// use unbounded memory; every error is answered with default.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/expr/compiler.h"
#include "engine/expr/eval_context.h"
#include "engine/expr/eval_text.h"
#include "engine/expr/evaluator.h"
#include "engine/expr/substitute.h"
#include "runtime/date.h"
#include "runtime/error.h"
#include "runtime/process_state.h"

namespace {

using px::Value;
using px::expr::EvalContext;

class RecordContext : public EvalContext {
 public:
  int FieldIndex(std::string_view name, int) override {
    for (int i = 0; i < 4; ++i) {
      if (Same(name, kNames[i])) return i + 1;
    }
    return 0;
  }
  void FieldValue(int index, Value* out) override {
    switch (index) {
      case 1:
        *out = Value::String("Smith     ");
        break;
      case 2:
        *out = Value::Date(px::DateFromYmd(2024, 2, 29));
        break;
      case 3:
        *out = Value::Double(12.5, 8, 2);
        break;
      default:
        *out = Value::Logical(true);
        break;
    }
  }
  AliasStatus AliasField(std::string_view alias, std::string_view field, Value* out) override {
    if (!Same(alias, "CUST")) return AliasStatus::kNoAlias;
    const int i = FieldIndex(field, 0);
    if (i == 0) return AliasStatus::kNoField;
    FieldValue(i, out);
    return AliasStatus::kOk;
  }
  uint32_t RecNo() override { return 7; }
  bool Deleted() override { return false; }
  const Value* FindMemVar(std::string_view name) override { return px::GetMemVars().Find(name); }

 private:
  static constexpr const char* kNames[4] = {"NAME", "DUE", "QTY", "FLAG"};
  static bool Same(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
      if ((a[i] | 0x20) != (b[i] | 0x20)) return false;
    }
    return true;
  }
};

void SetUpOnce() {
  static bool done = false;
  if (done) return;
  done = true;
  px::MemVars& vars = px::GetMemVars();
  vars.Set("TTODRVPTH", Value::String("C:\\PX\\"));
  vars.Set("SELF", Value::String("&SELF"));
  vars.Set("TWICE", Value::String("&SELF + &SELF"));
  vars.Set("KEY", Value::String("UPPER(NAME) + DTOS(DUE)"));
  vars.Set("N", Value::Integer(3));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SetUpOnce();
  px::ScopedErrorHandler quiet([](px::Error&) { return px::ErrorAnswer::Default(); });
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  RecordContext ctx;
  px::expr::SyntaxError error;
  if (auto program = px::expr::Compile(text, &error)) {
    px::expr::Run(*program, ctx);
    px::expr::Run(*program, ctx);  // a second run reuses the program's stack
  }
  px::expr::EvaluateText(text, ctx);
  px::GetMemVars().Set("FUZZ", Value::String(std::string(text)));
  px::expr::EvaluateText("&FUZZ", ctx);
  std::string out;
  px::expr::Substitute(text, ctx, &out);
  return 0;
}
