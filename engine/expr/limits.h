// Limits that keep the compiler and the evaluator safe on untrusted text. Key texts
// come from index files and the catalogue on a shared drive; whatever they hold, the
// compiler and the evaluator must finish in bounded time and memory.
#ifndef PX_ENGINE_EXPR_LIMITS_H_
#define PX_ENGINE_EXPR_LIMITS_H_

#include <cstddef>

namespace px::expr {

// The largest string an expression may build; longer results raise "String overflow".
inline constexpr size_t kMaxStringLength = 16 * 1024 * 1024;

// Entries of the parser stack; deeper nesting stops with "parser stack overflow".
inline constexpr size_t kParserStackLimit = 10000;

// Nested "&" expansions inside one evaluation, and expansions in total per evaluation.
inline constexpr int kMacroDepthLimit = 16;
inline constexpr int kMacroCountLimit = 256;

// Bytes of large strings (kLargeString bytes and more) one evaluation may produce or
// copy onto its stack; beyond it the evaluation raises "String overflow".
inline constexpr size_t kLargeString = 4096;
inline constexpr size_t kEvalStringBudget = 64 * 1024 * 1024;

// References expanded by one text substitution.
inline constexpr int kSubstituteLimit = 1024;

}  // namespace px::expr

#endif  // PX_ENGINE_EXPR_LIMITS_H_
