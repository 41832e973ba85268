// Functions callable by name from expressions, and the registry that finds them.
//
// The registry is filled with the built-in functions the first time it is used; later
// code adds or replaces functions with RegisterFunction (at start-up, before compiling
// texts that call them). It is the one process-wide table of this folder and lives in
// function_registry.cc. Names are found without regard to letter case.
#ifndef PX_ENGINE_EXPR_FUNCTIONS_H_
#define PX_ENGINE_EXPR_FUNCTIONS_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/value.h"

namespace px::expr {

class EvalContext;
struct Function;

// The arguments of one call. A function may change or move from its arguments (they
// are the evaluator's stack slots); positions past the count read as nil. The result
// goes to the slot of the first argument: a function reads its arguments before it
// sets the result, or changes the first argument in place to become the result.
class CallArgs {
 public:
  // `slots` holds max(count, 1) values; the first is the result's slot.
  CallArgs(Value* slots, int count, EvalContext& ctx, const Function& function)
      : args_(slots), count_(count), ctx_(ctx), function_(function) {}

  Value& result() { return args_[0]; }
  void Return(Value&& v) { args_[0] = std::move(v); }
  // Sets a character result, reusing the result slot's string when it holds one.
  void ReturnString(std::string&& s) { args_[0].SetString(std::move(s)); }
  void ReturnString(const char* text, size_t size) { args_[0].SetString(text, size); }
  // The first argument, a string, as the character result to change in place.
  std::string& StringResult() {
    if (!args_[0].is_char()) args_[0].SetString(std::string(args_[0].str()));
    return *args_[0].mutable_str();
  }

  int count() const { return count_; }
  Value& operator[](int i) {
    if (i < count_) return args_[i];
    return Nil();
  }
  // An argument that is present and not nil.
  bool Given(int i) const { return i < count_ && !args_[i].is_nil(); }
  EvalContext& ctx() { return ctx_; }
  const std::string& name() const;

  // Raises "BASE" 1/sub_code "Argument error" with the function's name and arguments;
  // the handler's answer becomes the result (returned, and set as the result).
  Value ArgError(int sub_code);
  // The same with another operation name (TRIM for RTRIM).
  Value ArgError(int sub_code, std::string_view operation);
  // Raises "BASE" 3 "String overflow" for a result longer than the largest string.
  Value StringOverflow();

  // Helpers for the built-in functions: the argument as a count or width (whole part,
  // clamped to the int range), and whether a length fits the largest string.
  static int64_t Count(const Value& v);
  static bool Fits(int64_t length);

 private:
  Value* args_;
  int count_;
  EvalContext& ctx_;
  const Function& function_;
  // Missing arguments read as this nil; it is made nil again each time it is handed
  // out, in case a function changed it.
  Value& Nil() {
    if (!nil_.is_nil()) nil_ = Value();
    return nil_;
  }
  Value nil_;
};

// A function that sets its result through CallArgs (result(), Return()).
using FunctionImpl = void (*)(CallArgs& args);
// A function that returns its result.
using ValueFunctionImpl = Value (*)(CallArgs& args);

struct Function {
  std::string name;  // upper case
  FunctionImpl impl = nullptr;
  ValueFunctionImpl value_impl = nullptr;  // used when impl is null

  void Call(CallArgs& args) const {
    if (impl != nullptr) {
      impl(args);
    } else {
      Value r = value_impl(args);
      args.result() = std::move(r);
    }
  }
};

// Adds a function, or replaces the function of that name. Compiled expressions that
// already call the name call the new one.
void RegisterFunction(std::string_view name, FunctionImpl impl);
void RegisterFunction(std::string_view name, ValueFunctionImpl impl);
// The function of that name, or nullptr.
const Function* FindFunction(std::string_view name);

// The emptiness test of EMPTY(): nil, false, zero, the empty date, text of nothing but
// blanks, tabs and line ends, and the empty array.
bool IsEmpty(const Value& v);

// Registration of the built-in groups (called once by the registry).
void RegisterStringFunctions();
void RegisterNumberFunctions();
void RegisterDateFunctions();
void RegisterOtherFunctions();

}  // namespace px::expr

#endif  // PX_ENGINE_EXPR_FUNCTIONS_H_
