// Code blocks and evaluation over the work areas: the entry points the rest of the
// engine uses. An order compiles its key and FOR texts once with CompileBlock and runs
// the block per key; the catalogue-driven index key is a TextKeyBlock.
#ifndef PX_ENGINE_EXPR_BLOCK_H_
#define PX_ENGINE_EXPR_BLOCK_H_

#include <memory>
#include <string>
#include <string_view>

#include "engine/expr/program.h"
#include "runtime/value.h"

namespace px::expr {

// A code block that runs a compiled program against the work areas (its text is the
// program's text; arguments are ignored).
std::shared_ptr<const CodeBlock> MakeBlock(std::shared_ptr<const Program> program);

// Compiles text into a block; on a syntax error raises "BASE" 7/1449 and returns
// nullptr.
std::shared_ptr<const CodeBlock> CompileBlock(std::string_view text);

// EvaluateText against the work areas and the process's memory variables.
Value EvaluateText(std::string_view text);

// The key block of catalogue-driven indexes: each evaluation reads the text of the
// memory variable `variable` (TINDEXKEY) and evaluates it against the current record,
// as EvaluateVariableText does; a syntax error's answer becomes the key value. The
// block keeps the program of the last text and compiles only when the text changes.
// Its text() is the variable's name.
std::shared_ptr<const CodeBlock> TextKeyBlock(std::string variable);

}  // namespace px::expr

#endif  // PX_ENGINE_EXPR_BLOCK_H_
