#include "engine/expr/eval_text.h"

#include "engine/expr/compiler.h"
#include "engine/expr/evaluator.h"
#include "engine/expr/expr_error.h"

namespace px::expr {

std::shared_ptr<const Program> CompileOrRaise(std::string_view text) {
  std::shared_ptr<const Program> program = Compile(text);
  if (program == nullptr) RaiseSyntaxError(text);
  return program;
}

Value EvaluateText(std::string_view text, EvalContext& ctx) {
  std::shared_ptr<const Program> program = Compile(text);
  if (program == nullptr) return AnswerValue(RaiseSyntaxError(text));
  return Run(*program, ctx);
}

Value EvaluateVariableText(std::string_view variable, EvalContext& ctx, TextCache* cache) {
  const Value* value = nullptr;
  for (;;) {
    value = ctx.FindMemVar(variable);
    if (value != nullptr) break;
    Error e = Error::Make("BASE", kErrNoVar, kSubNoVar);
    e.operation = std::string(variable);
    e.can_retry = true;
    e.can_default = true;
    const ErrorAnswer answer = RaiseError(e);
    if (!answer.retry()) return answer.kind == ErrorAnswer::Kind::kValue ? answer.value : Value();
  }
  if (!value->is_string()) {
    const Value copy = *value;
    return RaiseValueError(kErrArg, kSubMacroType, "&", {&copy});
  }
  if (!cache->valid || cache->text != value->str()) {
    cache->text = value->str();
    cache->program = Compile(cache->text);
    cache->valid = true;
  }
  if (cache->program == nullptr) return AnswerValue(RaiseSyntaxError(cache->text));
  return Run(*cache->program, ctx);
}

}  // namespace px::expr
