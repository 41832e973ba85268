// Compiling and running expression text in one step, and code blocks made from text.
//
// These are the entry points the rest of the engine uses: an order compiles its key and
// FOR texts once with CompileBlock and runs the block per key; the catalogue-driven key
// block evaluates the text of a variable per record with TextKeyBlock.
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
// The same against the work areas and the process's variables.
Value EvaluateText(std::string_view text);

// A code block that runs a compiled program against the work areas.
std::shared_ptr<const CodeBlock> MakeBlock(std::shared_ptr<const Program> program);
// CompileOrRaise as a block; nullptr after a syntax error.
std::shared_ptr<const CodeBlock> CompileBlock(std::string_view text);

// The key block of catalogue-driven indexes: each evaluation reads the text held by the
// memory variable `variable` (raising 14/1003 with retry while there is none) and
// evaluates it as EvaluateText does. The block keeps the program of the last text it
// compiled and compiles again only when the text changes. `text()` of the block is the
// variable's name.
std::shared_ptr<const CodeBlock> TextKeyBlock(std::string variable);

}  // namespace px::expr

#endif  // PX_ENGINE_EXPR_EVAL_TEXT_H_
