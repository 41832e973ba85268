#include "engine/expr/eval_text.h"

#include "engine/expr/compiler.h"
#include "engine/expr/evaluator.h"
#include "engine/expr/expr_error.h"
#include "engine/expr/workarea_context.h"

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

Value EvaluateText(std::string_view text) {
  WorkAreaContext ctx;
  return EvaluateText(text, ctx);
}

std::shared_ptr<const CodeBlock> MakeBlock(std::shared_ptr<const Program> program) {
  std::string text = program->text();
  return std::make_shared<const CodeBlock>(
      [program = std::move(program)](const std::vector<Value>&) {
        WorkAreaContext ctx;
        return Run(*program, ctx);
      },
      std::move(text));
}

std::shared_ptr<const CodeBlock> CompileBlock(std::string_view text) {
  std::shared_ptr<const Program> program = CompileOrRaise(text);
  return program == nullptr ? nullptr : MakeBlock(std::move(program));
}

namespace {

// The state of a TextKeyBlock: the last text and its program (nullptr when the text
// did not compile).
struct TextKeyState {
  std::string variable;
  std::string text;
  std::shared_ptr<const Program> program;
  bool compiled = false;
};

Value EvaluateVariableText(TextKeyState& state) {
  WorkAreaContext ctx;
  const Value* value = nullptr;
  for (;;) {
    value = ctx.FindMemVar(state.variable);
    if (value != nullptr) break;
    Error e = Error::Make("BASE", kErrNoVar, kSubNoVar);
    e.operation = state.variable;
    e.can_retry = true;
    e.can_default = true;
    const ErrorAnswer answer = RaiseError(e);
    if (!answer.retry()) return answer.kind == ErrorAnswer::Kind::kValue ? answer.value : Value();
  }
  if (!value->is_string()) {
    const Value text = *value;
    return RaiseValueError(kErrArg, kSubMacroType, "&", {&text});
  }
  if (!state.compiled || state.text != value->str()) {
    state.text = value->str();
    state.program = Compile(state.text);
    state.compiled = true;
  }
  if (state.program == nullptr) return AnswerValue(RaiseSyntaxError(state.text));
  return Run(*state.program, ctx);
}

}  // namespace

std::shared_ptr<const CodeBlock> TextKeyBlock(std::string variable) {
  auto state = std::make_shared<TextKeyState>();
  state->variable = variable;
  return std::make_shared<const CodeBlock>(
      [state](const std::vector<Value>&) { return EvaluateVariableText(*state); },
      std::move(variable));
}

}  // namespace px::expr
