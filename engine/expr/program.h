// A compiled expression: an instruction list run on a value stack, the names it refers
// to (resolved when run, not when compiled) and the text it came from.
//
// Instructions push values, combine the top values of the stack into one, or jump
// forward. Every jump goes forward, so a run takes at most one step per instruction
// (nested "&" expansions aside, which are bounded separately).
#ifndef PX_ENGINE_EXPR_PROGRAM_H_
#define PX_ENGINE_EXPR_PROGRAM_H_

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/value.h"

namespace px::expr {

struct Function;

enum class Op : uint8_t {
  kPushConst,       // a: constant; b: 1 for a large string (counted against the budget)
  kPushName,        // a: name; field of the current area, else memory variable
  kPushField,       // a: name; FIELD->name
  kPushMemVar,      // a: name; M->name
  kPushAliasField,  // a: alias name, b: field name
  kMacroName,       // a: name of a memory variable whose text is compiled and run
  kMacroText,       // pops a text, compiles and runs it
  kCall,            // a: function, b: argument count
  kJump,            // a: target
  kJumpFalse,       // pops the condition of IIF; a: target when false
  kAndJump,         // a: target when the top is .F. (kept as the result)
  kOrJump,          // a: target when the top is .T. (kept as the result)
  kArray,           // b: element count
  kIndex,           // pops index and array
  kSend,            // a: message name, b: argument count (the object below them)
  kUnsupported,     // a: constant holding the operation text; pushes the error's answer
  kPop,             // drops the top value (lists in parentheses)
  // Operators.
  kAdd,
  kSub,
  kMul,
  kDiv,
  kMod,
  kPow,
  kNeg,
  kPos,
  kNot,
  kAnd,
  kOr,
  kEq,
  kExactEq,
  kNe,
  kLt,
  kLe,
  kGt,
  kGe,
  kIn,
};

struct Instr {
  Op op;
  int32_t a = 0;
  int32_t b = 0;
};

struct NameRef {
  std::string name;            // as first written
  std::string upper;           // upper case, for the compiler's look-up
  mutable int field_hint = 0;  // position of the field at the last look-up
};

// A called function: found when compiled, or looked up again when run (and raising
// "Undefined function" then) when the name was unknown at compile time.
struct FunctionRef {
  std::string name;
  mutable const Function* function = nullptr;
};

class Program {
 public:
  const std::string& text() const { return text_; }
  const std::vector<Instr>& code() const { return code_; }
  const std::vector<Value>& constants() const { return constants_; }
  const std::vector<NameRef>& names() const { return names_; }
  const std::vector<FunctionRef>& functions() const { return functions_; }
  // The deepest the value stack gets while running.
  size_t max_stack() const { return max_stack_; }

 private:
  friend class Compiler;
  friend class Machine;

  std::string text_;
  std::vector<Instr> code_;
  std::vector<Value> constants_;
  std::vector<NameRef> names_;
  std::vector<FunctionRef> functions_;
  size_t max_stack_ = 0;
  // Stack storage reused between runs; a nested run of the same program (through "&")
  // uses storage of its own.
  mutable std::vector<Value> scratch_;
  mutable bool scratch_busy_ = false;
};

}  // namespace px::expr

#endif  // PX_ENGINE_EXPR_PROGRAM_H_
