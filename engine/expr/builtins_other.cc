// Functions of any type and of the work area: EMPTY, RECNO, DELETED, VALTYPE, DESCEND.
#include <string>

#include "engine/expr/eval_context.h"
#include "engine/expr/functions.h"

namespace px::expr {

bool IsEmpty(const Value& v) {
  switch (v.type()) {
    case Value::Type::kNil:
      return true;
    case Value::Type::kLogical:
      return !v.logical();
    case Value::Type::kNumber:
      return v.number() == 0;
    case Value::Type::kDate:
      return v.date() == 0;
    case Value::Type::kCharacter:
    case Value::Type::kMemo:
      return v.str().find_first_not_of(" \t\r\n") == std::string::npos;
    case Value::Type::kArray:
      return v.array().empty();
    default:
      return false;
  }
}

namespace {

Value Empty(CallArgs& args) {
  return Value::Logical(IsEmpty(args[0]));
}

Value RecNo(CallArgs& args) {
  return Value::Integer(args.ctx().RecNo());
}

Value Deleted(CallArgs& args) {
  return Value::Logical(args.ctx().Deleted());
}

Value ValType(CallArgs& args) {
  return Value::String(std::string(1, args[0].TypeLetter()));
}

// A value whose order is the reverse of the argument's: strings byte by byte
// (256 - code, 0 staying 0), numbers and dates negated, logicals inverted.
Value Descend(CallArgs& args) {
  Value& v = args[0];
  if (v.is_string()) {
    Value r = v.is_char() ? std::move(v) : Value::String(v.str());
    for (char& c : *r.mutable_str()) {
      c = static_cast<char>((256 - static_cast<unsigned char>(c)) & 0xFF);
    }
    return r;
  }
  if (v.is_integer() && v.integer() != INT64_MIN) return Value::Integer(-v.integer(), v.width());
  if (v.is_number()) return Value::Double(-v.number(), v.width(), v.decimals());
  if (v.is_date()) return Value::Integer(-static_cast<int64_t>(v.date()));
  if (v.is_logical()) return Value::Logical(!v.logical());
  return Value();
}

}  // namespace

void RegisterOtherFunctions() {
  RegisterFunction("EMPTY", Empty);
  RegisterFunction("RECNO", RecNo);
  RegisterFunction("DELETED", Deleted);
  RegisterFunction("VALTYPE", ValType);
  RegisterFunction("DESCEND", Descend);
}

}  // namespace px::expr
