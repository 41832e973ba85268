#include <map>
#include <memory>

#include "engine/expr/expr_error.h"
#include "engine/expr/functions.h"
#include "engine/expr/limits.h"

namespace px::expr {

namespace {

std::string UpperName(std::string_view name) {
  std::string s(name);
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

// Functions are held by pointer so that compiled expressions can keep them.
using Table = std::map<std::string, std::unique_ptr<Function>, std::less<>>;

Table& Functions() {
  static Table table;
  static bool filled = false;
  if (!filled) {
    filled = true;  // before registering: RegisterFunction comes back here
    RegisterStringFunctions();
    RegisterNumberFunctions();
    RegisterDateFunctions();
    RegisterOtherFunctions();
  }
  return table;
}

}  // namespace

const std::string& CallArgs::name() const {
  return function_.name;
}

Value CallArgs::ArgError(int sub_code) {
  Value r = RaiseValueError(kErrArg, sub_code, function_.name, args_, count_);
  args_[0] = r;
  return r;
}

Value CallArgs::ArgError(int sub_code, std::string_view operation) {
  Value r = RaiseValueError(kErrArg, sub_code, operation, args_, count_);
  args_[0] = r;
  return r;
}

int64_t CallArgs::Count(const Value& v) {
  if (v.is_integer()) return v.integer();
  const double d = v.number();
  if (!(d > -2147483648.0)) return INT32_MIN;
  if (d > 2147483647.0) return INT32_MAX;
  return static_cast<int64_t>(d);
}

bool CallArgs::Fits(int64_t length) {
  return length <= static_cast<int64_t>(kMaxStringLength);
}

Value CallArgs::StringOverflow() {
  Value r = RaiseValueError(kErrStrOverflow, kSubFuncOverflow, function_.name, args_, count_);
  args_[0] = r;
  return r;
}

namespace {

Function* Entry(std::string_view name) {
  Table& table = Functions();
  std::string key = UpperName(name);
  auto it = table.find(key);
  if (it == table.end()) {
    auto fn = std::make_unique<Function>();
    fn->name = key;
    it = table.emplace(std::move(key), std::move(fn)).first;
  }
  return it->second.get();
}

}  // namespace

void RegisterFunction(std::string_view name, FunctionImpl impl) {
  Function* fn = Entry(name);
  fn->impl = impl;
  fn->value_impl = nullptr;
}

void RegisterFunction(std::string_view name, ValueFunctionImpl impl) {
  Function* fn = Entry(name);
  fn->impl = nullptr;
  fn->value_impl = impl;
}

const Function* FindFunction(std::string_view name) {
  Table& table = Functions();
  if (name.size() > 64) return nullptr;
  auto it = table.find(UpperName(name));
  return it == table.end() ? nullptr : it->second.get();
}

}  // namespace px::expr
