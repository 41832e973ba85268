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
  int y = 0, m = 0, d = 0;
  const int32_t day = args[0].date();
  DateToYmd(day, &y, &m, &d);
  if (day <= 0 || y < 1 || y > 9999) {
    args.ReturnString("        ", 8);
    return;
  }
  const unsigned year = static_cast<unsigned>(y), month = static_cast<unsigned>(m),
                 mday = static_cast<unsigned>(d);
  const unsigned century = year / 100, rest = year % 100;
  const char text[8] = {
      static_cast<char>('0' + century / 10), static_cast<char>('0' + century % 10),
      static_cast<char>('0' + rest / 10),    static_cast<char>('0' + rest % 10),
      static_cast<char>('0' + month / 10),   static_cast<char>('0' + month % 10),
      static_cast<char>('0' + mday / 10),    static_cast<char>('0' + mday % 10)};
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
