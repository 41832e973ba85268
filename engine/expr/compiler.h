// The compiler from expression text to a Program.
//
// Operators, from loosest to tightest binding: ":=" and the compound assignments (right
// to left); .OR.; .AND.; prefix .NOT. and "!"; the comparisons "=", "==", "<", ">", "<=",
// ">=", "<>", "!=", "#", "$"; "+", "-"; "*", "/", "%"; "**", "^"; prefix "-" and "+";
// then calls, "->", indexing and messages. Operators of one level group from left to
// right: 10 - 3 - 2 is 5, and a < b < c compares the result of a < b with c. .NOT. a = b
// is .NOT. (a = b); -a ** b is (-a) ** b.
//
// Primary forms: literals (numbers, strings in "", '' or [], .T. .Y. .F. .N. NIL), names,
// alias->name (M->, MEMVAR-> for variables, FIELD->, _FIELD-> for the current area),
// calls by name, IIF(c, a, b) and IF(c, a, b) (only the chosen branch is evaluated),
// parenthesised expressions and lists, array literals {a, b}, indexing a[i], and "&"
// macros (&name, &name., &(text)), which compile and run a variable's text when run.
//
// Assignments, increments, code blocks and message sends compile, but evaluating them
// raises an error and changes nothing: stored key texts are untrusted and must not
// change variables or tables.
//
// The compiler uses an explicit stack and no recursion. More than kParserStackLimit
// pending entries stop it with "parser stack overflow"; every other failure is "parse
// error". Compilation takes time linear in the length of the text.
#ifndef PX_ENGINE_EXPR_COMPILER_H_
#define PX_ENGINE_EXPR_COMPILER_H_

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "engine/expr/program.h"

namespace px::expr {

struct SyntaxError {
  std::string message;  // "parse error" or "parser stack overflow"
  size_t offset = 0;    // where in the text compilation stopped
};

// Compiles the text; nullptr on a syntax error, described in *error when given. Raises
// nothing (see CompileOrRaise).
std::shared_ptr<const Program> Compile(std::string_view text, SyntaxError* error = nullptr);

}  // namespace px::expr

#endif  // PX_ENGINE_EXPR_COMPILER_H_
