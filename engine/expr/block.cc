#include "engine/expr/block.h"

#include "engine/expr/eval_text.h"
#include "engine/expr/evaluator.h"
#include "engine/expr/workarea_context.h"

namespace px::expr {

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

Value EvaluateText(std::string_view text) {
  WorkAreaContext ctx;
  return EvaluateText(text, ctx);
}

std::shared_ptr<const CodeBlock> TextKeyBlock(std::string variable) {
  auto cache = std::make_shared<TextCache>();
  return std::make_shared<const CodeBlock>(
      [cache, variable](const std::vector<Value>&) {
        WorkAreaContext ctx;
        return EvaluateVariableText(variable, ctx, cache.get());
      },
      variable);
}

}  // namespace px::expr
