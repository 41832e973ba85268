// Running compiled expressions.
//
// Run evaluates a Program against a context. Names are resolved when run: a plain name
// is a field of the current work area, else a memory variable, else "BASE" 14/1003
// "Variable does not exist" is raised with retry (the look-up is repeated while the
// handler answers retry). Calls of functions unknown when compiled are looked up again
// and raise "BASE" 12/1001 "Undefined function", also with retry. Every other error's
// answer becomes the value of the failed step, and evaluation goes on.
//
// A run takes at most one step per instruction, plus nested "&" expansions, which are
// limited in depth and number; the strings it may build or copy are limited in total.
#ifndef PX_ENGINE_EXPR_EVALUATOR_H_
#define PX_ENGINE_EXPR_EVALUATOR_H_

#include "engine/expr/eval_context.h"
#include "engine/expr/program.h"
#include "runtime/value.h"

namespace px::expr {

Value Run(const Program& program, EvalContext& ctx);
// The same, the value going to *result. The storage of a string *result held may be
// reused for a string the run builds, so evaluating a key into the same Value record
// after record does not allocate for each record.
void Run(const Program& program, EvalContext& ctx, Value* result);

}  // namespace px::expr

#endif  // PX_ENGINE_EXPR_EVALUATOR_H_
