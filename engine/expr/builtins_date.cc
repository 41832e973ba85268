// Date functions: DTOS, DTOC, CTOD, YEAR, MONTH, DAY, DATE.
#include "engine/expr/functions.h"
#include "runtime/date.h"
#include "runtime/date_format.h"
#include "runtime/env.h"

namespace px::expr {

namespace {

void Dtos(CallArgs& args) {
  if (!args[0].is_date()) {
    args.ArgError(1120);
    return;
  }
  char text[8];
  DateToDtos(args[0].date(), text);
  args.ReturnString(text, 8);
}

Value Dtoc(CallArgs& args) {
  if (!args[0].is_date()) return args.ArgError(1118);
  return Value::String(DTOC(args[0].date()));
}

Value Ctod(CallArgs& args) {
  if (!args[0].is_string()) return args.ArgError(1119);
  return Value::Date(CTOD(args[0].str()));
}

// YEAR, MONTH and DAY; 0 for the empty date.
Value Part(CallArgs& args, int which, int sub_code) {
  if (!args[0].is_date()) return args.ArgError(sub_code);
  int y = 0, m = 0, d = 0;
  DateToYmd(args[0].date(), &y, &m, &d);
  return Value::Integer(which == 0 ? y : which == 1 ? m : d);
}

Value Year(CallArgs& args) {
  return Part(args, 0, 1112);
}
Value Month(CallArgs& args) {
  return Part(args, 1, 1113);
}
Value Day(CallArgs& args) {
  return Part(args, 2, 1114);
}

Value Date(CallArgs&) {
  const LocalTime now = GetEnv()->Now();
  return Value::Date(DateFromYmd(now.year, now.month, now.day));
}

}  // namespace

void RegisterDateFunctions() {
  RegisterFunction("DTOS", Dtos);
  RegisterFunction("DTOC", Dtoc);
  RegisterFunction("CTOD", Ctod);
  RegisterFunction("YEAR", Year);
  RegisterFunction("MONTH", Month);
  RegisterFunction("DAY", Day);
  RegisterFunction("DATE", Date);
}

}  // namespace px::expr
