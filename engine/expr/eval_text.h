// Compiling and running expression text in one step.
#ifndef PX_ENGINE_EXPR_EVAL_TEXT_H_
#define PX_ENGINE_EXPR_EVAL_TEXT_H_

#include <memory>
#include <string>
#include <string_view>

#include "engine/expr/eval_context.h"
#include "engine/expr/program.h"
#include "runtime/value.h"

namespace px::expr {

// Compiles the text; on a syntax error raises "BASE" 7/1449 "Syntax error" (operation
// "&", the text as argument) and returns nullptr.
std::shared_ptr<const Program> CompileOrRaise(std::string_view text);

// Compiles and runs the text against a context. On a syntax error the error is raised
// and the handler's answer becomes the value (.T. for retry, .F. for default, or the
// substitute value).
Value EvaluateText(std::string_view text, EvalContext& ctx);

// The program of the last text an EvaluateVariableText compiled.
struct TextCache {
  std::string text;
  std::shared_ptr<const Program> program;  // nullptr when the text did not compile
  bool valid = false;
};

// Evaluates the text held by the memory variable `variable`, as EvaluateText does:
// raises 14/1003 with retry while there is no such variable, and 1/1065 "&" when it
// does not hold a string. The text is compiled again only when it differs from the one
// in the cache.
Value EvaluateVariableText(std::string_view variable, EvalContext& ctx, TextCache* cache);

}  // namespace px::expr

#endif  // PX_ENGINE_EXPR_EVAL_TEXT_H_
