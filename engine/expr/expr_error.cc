#include "engine/expr/expr_error.h"

#include <string>

namespace px::expr {

Value AnswerValue(const ErrorAnswer& answer) {
  switch (answer.kind) {
    case ErrorAnswer::Kind::kValue:
      return answer.value;
    case ErrorAnswer::Kind::kRetry:
      return Value::Logical(true);
    case ErrorAnswer::Kind::kDefault:
      break;
  }
  return Value::Logical(false);
}

Value RaiseValueError(int gen_code, int sub_code, std::string_view operation, const Value* args,
                      int count) {
  Error e = Error::Make("BASE", gen_code, sub_code);
  e.operation = std::string(operation);
  e.has_args = true;
  for (int i = 0; i < count; ++i) e.args.push_back(args[i]);
  e.can_default = true;
  e.can_substitute = true;
  return AnswerValue(RaiseError(e));
}

Value RaiseValueError(int gen_code, int sub_code, std::string_view operation,
                      std::initializer_list<const Value*> args) {
  Error e = Error::Make("BASE", gen_code, sub_code);
  e.operation = std::string(operation);
  e.has_args = true;
  for (const Value* v : args) e.args.push_back(*v);
  e.can_default = true;
  e.can_substitute = true;
  return AnswerValue(RaiseError(e));
}

ErrorAnswer RaiseSyntaxError(std::string_view text) {
  Error e = Error::Make("BASE", kErrSyntax, kSubSyntax);
  e.operation.assign(1, '&');
  e.has_args = true;
  e.args.push_back(Value::String(std::string(text)));
  e.can_default = true;
  e.can_substitute = true;
  return RaiseError(e);
}

}  // namespace px::expr
