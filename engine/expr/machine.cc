#include <cstring>
#include <string>
#include <vector>

#include "engine/expr/compiler.h"
#include "engine/expr/evaluator.h"
#include "engine/expr/expr_error.h"
#include "engine/expr/functions.h"
#include "engine/expr/limits.h"
#include "engine/expr/operators.h"

namespace px::expr {

// Runs programs on a value stack. One Machine serves a top-level run and the "&"
// expansions nested in it, so that their limits are shared.
class Machine {
 public:
  explicit Machine(EvalContext& ctx) : ctx_(ctx) {}
  Value Execute(const Program& p);
  // Storage (of a previous result) that a growing string may take over.
  void GiveSpare(std::string&& storage) { spare_ = std::move(storage); }

 private:
  // Pushes the value of a name: field, then memory variable, else error 14/1003.
  void PushName(std::vector<Value>& stack, const NameRef& ref);
  void PushField(std::vector<Value>& stack, const NameRef& ref);
  void PushMemVar(std::vector<Value>& stack, const NameRef& ref);
  void PushAliasField(std::vector<Value>& stack, const std::string& alias,
                      const std::string& field);
  void Call(std::vector<Value>& stack, const FunctionRef& ref, int argc);
  void Index(std::vector<Value>& stack);
  void Send(std::vector<Value>& stack, const std::string& name, int argc);
  // Compiles and runs a text for "&"; the result replaces `text`.
  void Macro(Value& text);
  // Raises 14/1003 for a name; false when the handler answered retry, else the
  // answer's value (nil by default) is in *out.
  bool MissingName(const std::string& name, int gen_code, int sub_code, Value* out);
  // Counts a large string against the budget of the run.
  void Account(Value& v) {
    if (v.is_string() && v.str().size() >= kLargeString) AccountLarge(v);
  }
  void AccountLarge(Value& v);
  // a + b for a character string a that must grow, built in the spare storage when it
  // is large enough; false when it is not (ApplyBinary does the work then).
  bool ConcatIntoSpare(Value& a, const Value& b);

  EvalContext& ctx_;
  std::string spare_;
  int macro_depth_ = 0;
  int macro_count_ = 0;
  size_t string_budget_ = kEvalStringBudget;
};

namespace {

// Marks a program's scratch stack as in use for the life of the object.
class ScratchLease {
 public:
  ScratchLease(std::vector<Value>& scratch, bool& busy) : busy_(busy) {
    if (!busy_) {
      busy_ = true;
      owns_ = true;
      stack_ = &scratch;
    } else {
      stack_ = &own_;
    }
  }
  ~ScratchLease() {
    stack_->clear();
    if (owns_) busy_ = false;
  }
  ScratchLease(const ScratchLease&) = delete;
  ScratchLease& operator=(const ScratchLease&) = delete;
  std::vector<Value>& stack() { return *stack_; }

 private:
  bool& busy_;
  bool owns_ = false;
  std::vector<Value>* stack_;
  std::vector<Value> own_;
};

}  // namespace

void Machine::AccountLarge(Value& v) {
  const size_t size = v.str().size();
  if (size <= string_budget_) {
    string_budget_ -= size;
    return;
  }
  string_budget_ = 0;
  Value r = RaiseValueError(kErrStrOverflow, kSubFuncOverflow, "&", {});
  v = std::move(r);
}

bool Machine::ConcatIntoSpare(Value& a, const Value& b) {
  if (!a.is_char() || !b.is_string()) return false;
  std::string& left = *a.mutable_str();
  const size_t total = left.size() + b.str().size();
  if (total <= left.capacity() || total > spare_.capacity() || total > kMaxStringLength) {
    return false;
  }
  // A much larger spare (a long previous result) is not kept alive for a short string.
  if (spare_.capacity() > 4 * total + 256) return false;
  // Within the spare's capacity: sizing it and copying both parts allocates nothing.
  const size_t left_size = left.size();
  spare_.resize(total);
  std::memcpy(spare_.data(), left.data(), left_size);
  std::memcpy(spare_.data() + left_size, b.str().data(), total - left_size);
  left.swap(spare_);
  return true;
}

bool Machine::MissingName(const std::string& name, int gen_code, int sub_code, Value* out) {
  Error e = Error::Make("BASE", gen_code, sub_code);
  e.operation = name;
  e.can_retry = true;
  e.can_default = true;
  const ErrorAnswer answer = RaiseError(e);
  if (answer.retry()) return false;
  *out = answer.kind == ErrorAnswer::Kind::kValue ? answer.value : Value();
  return true;
}

void Machine::PushName(std::vector<Value>& stack, const NameRef& ref) {
  for (;;) {
    const int index = ctx_.FieldIndex(ref.name, ref.field_hint);
    if (index > 0) {
      ref.field_hint = index;
      stack.emplace_back();
      ctx_.FieldValue(index, &stack.back());
      return;
    }
    if (const Value* v = ctx_.FindMemVar(ref.name)) {
      stack.push_back(*v);
      return;
    }
    Value answer;
    if (MissingName(ref.name, kErrNoVar, kSubNoVar, &answer)) {
      stack.push_back(std::move(answer));
      return;
    }
  }
}

void Machine::PushField(std::vector<Value>& stack, const NameRef& ref) {
  for (;;) {
    const int index = ctx_.FieldIndex(ref.name, ref.field_hint);
    if (index > 0) {
      ref.field_hint = index;
      stack.emplace_back();
      ctx_.FieldValue(index, &stack.back());
      return;
    }
    Value answer;
    if (MissingName(ref.name, kErrNoVar, kSubNoVar, &answer)) {
      stack.push_back(std::move(answer));
      return;
    }
  }
}

void Machine::PushMemVar(std::vector<Value>& stack, const NameRef& ref) {
  for (;;) {
    if (const Value* v = ctx_.FindMemVar(ref.name)) {
      stack.push_back(*v);
      return;
    }
    Value answer;
    if (MissingName(ref.name, kErrNoVar, kSubNoVar, &answer)) {
      stack.push_back(std::move(answer));
      return;
    }
  }
}

void Machine::PushAliasField(std::vector<Value>& stack, const std::string& alias,
                             const std::string& field) {
  for (;;) {
    Value v;
    switch (ctx_.AliasField(alias, field, &v)) {
      case EvalContext::AliasStatus::kOk:
        stack.push_back(std::move(v));
        return;
      case EvalContext::AliasStatus::kNoAlias:
        if (MissingName(alias, kErrNoAlias, kSubNoAlias, &v)) {
          stack.push_back(std::move(v));
          return;
        }
        break;
      case EvalContext::AliasStatus::kNoField:
        if (MissingName(field, kErrNoVar, kSubNoVar, &v)) {
          stack.push_back(std::move(v));
          return;
        }
        break;
    }
  }
}

void Machine::Call(std::vector<Value>& stack, const FunctionRef& ref, int argc) {
  const size_t base = stack.size() - static_cast<size_t>(argc);
  if (ref.function == nullptr) ref.function = FindFunction(ref.name);
  if (ref.function == nullptr) {
    Value result;
    while (!MissingName(ref.name, kErrNoFunc, kSubNoFunc, &result)) {
      ref.function = FindFunction(ref.name);
      if (ref.function != nullptr) break;
    }
    if (ref.function == nullptr) {
      stack.resize(base);
      stack.push_back(std::move(result));
      return;
    }
  }
  if (argc == 0) stack.emplace_back();  // the result's slot
  CallArgs args(stack.data() + base, argc, ctx_, *ref.function);
  ref.function->Call(args);
  if (argc > 1) stack.resize(base + 1);
}

void Machine::Index(std::vector<Value>& stack) {
  Value& array = stack[stack.size() - 2];
  Value& index = stack.back();
  Value result;
  if (!array.is_array() || !index.is_number()) {
    result = RaiseValueError(kErrArg, kSubArrayType, "array access", {&array, &index});
  } else {
    const double i = index.number();
    const std::vector<Value>& items = array.array();
    if (i >= 1 && i < static_cast<double>(items.size()) + 1) {
      result = items[static_cast<size_t>(i) - 1];
    } else {
      result = RaiseValueError(kErrBound, kSubArrayBound, "array access", {&array, &index});
    }
  }
  stack.pop_back();
  stack.back() = std::move(result);
}

void Machine::Send(std::vector<Value>& stack, const std::string& name, int argc) {
  // No class of the system answers messages sent from expression text.
  const size_t base = stack.size() - static_cast<size_t>(argc) - 1;
  Value result = RaiseValueError(kErrNoMethod, kSubNoMethod, name, stack.data() + base, argc + 1);
  stack.resize(base);
  stack.push_back(std::move(result));
}

void Machine::Macro(Value& text) {
  if (!text.is_string()) {
    Value r = RaiseValueError(kErrArg, kSubMacroType, "&", {&text});
    text = std::move(r);
    return;
  }
  if (macro_depth_ >= kMacroDepthLimit || macro_count_ >= kMacroCountLimit) {
    Value r = RaiseValueError(kErrCompTooComplex, 0, "&", {&text});
    text = std::move(r);
    return;
  }
  ++macro_count_;
  std::shared_ptr<const Program> program = Compile(text.str());
  if (program == nullptr) {
    text = AnswerValue(RaiseSyntaxError(text.str()));
    return;
  }
  ++macro_depth_;
  text = Execute(*program);
  --macro_depth_;
}

Value Machine::Execute(const Program& p) {
  ScratchLease lease(p.scratch_, p.scratch_busy_);
  std::vector<Value>& stack = lease.stack();
  if (stack.capacity() < p.max_stack_ + 1) stack.reserve(p.max_stack_ + 1);
  const std::vector<Instr>& code = p.code_;
  const size_t end = code.size();
  size_t pc = 0;
  while (pc < end) {
    const Instr& in = code[pc++];
    switch (in.op) {
      case Op::kPushConst:
        stack.push_back(p.constants_[static_cast<size_t>(in.a)]);
        if (in.b != 0) Account(stack.back());  // a large string literal
        break;
      case Op::kPushName:
        PushName(stack, p.names_[static_cast<size_t>(in.a)]);
        Account(stack.back());
        break;
      case Op::kPushField:
        PushField(stack, p.names_[static_cast<size_t>(in.a)]);
        Account(stack.back());
        break;
      case Op::kPushMemVar:
        PushMemVar(stack, p.names_[static_cast<size_t>(in.a)]);
        Account(stack.back());
        break;
      case Op::kPushAliasField:
        PushAliasField(stack, p.names_[static_cast<size_t>(in.a)].name,
                       p.names_[static_cast<size_t>(in.b)].name);
        Account(stack.back());
        break;
      case Op::kMacroName:
        PushMemVar(stack, p.names_[static_cast<size_t>(in.a)]);
        Macro(stack.back());
        Account(stack.back());
        break;
      case Op::kMacroText:
        Macro(stack.back());
        Account(stack.back());
        break;
      case Op::kCall:
        Call(stack, p.functions_[static_cast<size_t>(in.a)], in.b);
        Account(stack.back());
        break;
      case Op::kJump:
        pc = static_cast<size_t>(in.a);
        break;
      case Op::kJumpFalse: {
        Value cond = std::move(stack.back());
        stack.pop_back();
        if (!cond.is_logical()) {
          cond = RaiseValueError(kErrArg, kSubIifCondition, "IIF", {&cond});
        }
        if (!cond.logical()) pc = static_cast<size_t>(in.a);
        break;
      }
      case Op::kAndJump:
        if (stack.back().is_logical() && !stack.back().logical()) pc = static_cast<size_t>(in.a);
        break;
      case Op::kOrJump:
        if (stack.back().is_logical() && stack.back().logical()) pc = static_cast<size_t>(in.a);
        break;
      case Op::kArray: {
        const size_t base = stack.size() - static_cast<size_t>(in.b);
        std::vector<Value> items;
        items.reserve(static_cast<size_t>(in.b));
        for (size_t i = base; i < stack.size(); ++i) items.push_back(std::move(stack[i]));
        stack.resize(base);
        stack.push_back(Value::Array(std::move(items)));
        break;
      }
      case Op::kIndex:
        Index(stack);
        break;
      case Op::kSend:
        Send(stack, p.names_[static_cast<size_t>(in.a)].name, in.b);
        break;
      case Op::kUnsupported: {
        // Assignments, increments and code blocks of stored text are refused.
        Error e = Error::Make("BASE", kErrUnsupported, 0);
        e.operation = p.constants_[static_cast<size_t>(in.a)].str();
        e.can_default = true;
        e.can_substitute = true;
        stack.push_back(AnswerValue(RaiseError(e)));
        break;
      }
      case Op::kPop:
        stack.pop_back();
        break;
      case Op::kNeg:
      case Op::kPos:
      case Op::kNot:
        ApplyUnary(in.op, stack.back());
        break;
      default: {
        Value& a = stack[stack.size() - 2];
        if (in.op != Op::kAdd || !ConcatIntoSpare(a, stack.back())) {
          ApplyBinary(in.op, a, stack.back());
        }
        stack.pop_back();
        if (in.op == Op::kAdd || in.op == Op::kSub) Account(stack.back());
        break;
      }
    }
  }
  return stack.empty() ? Value() : std::move(stack.back());
}

Value Run(const Program& program, EvalContext& ctx) {
  Machine machine(ctx);
  return machine.Execute(program);
}

void Run(const Program& program, EvalContext& ctx, Value* result) {
  Machine machine(ctx);
  if (std::string* storage = result->mutable_str()) machine.GiveSpare(std::move(*storage));
  *result = machine.Execute(program);
}

}  // namespace px::expr
