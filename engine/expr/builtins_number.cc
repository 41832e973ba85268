// Number functions: STR, STRZERO, VAL, INT, ROUND, ABS, MAX, MIN.
#include <charconv>
#include <cmath>
#include <string>

#include "engine/expr/functions.h"
#include "engine/expr/limits.h"
#include "engine/expr/str_format.h"

namespace px::expr {

namespace {

// The usual form in keys, STR(n, width, decimals) with whole numbers for the width (1
// to 255) and the decimals (0 to the width): true with those set.
bool KeyForm(CallArgs& args, int* width, int* decimals) {
  if (args.count() != 3 || !args[0].is_number() || !args[1].is_integer() || !args[2].is_integer()) {
    return false;
  }
  const int64_t w = args[1].integer();
  const int64_t d = args[2].integer();
  if (w <= 0 || w > 255 || d < 0 || d > w) return false;
  *width = static_cast<int>(w);
  *decimals = static_cast<int>(d);
  return true;
}

// STR and STRZERO share their argument rules; false after an argument error (whose
// answer is in *error).
bool StrText(CallArgs& args, int sub_code, std::string* out, Value* error) {
  int key_width = 0, key_decimals = 0;
  if (KeyForm(args, &key_width, &key_decimals)) {
    *out = STR(args[0], key_width, key_decimals);
    return true;
  }
  if (!args[0].is_number() || (args.Given(1) && !args[1].is_number()) ||
      (args.Given(2) && !args[2].is_number())) {
    *error = args.ArgError(sub_code);
    return false;
  }
  if (!args.Given(1)) {
    *out = STR(args[0]);
    return true;
  }
  int64_t width = CallArgs::Count(args[1]);
  if (width <= 0) width = 10;
  if (!CallArgs::Fits(width)) {
    *error = args.StringOverflow();
    return false;
  }
  int64_t decimals = args.Given(2) ? CallArgs::Count(args[2]) : 0;
  if (decimals < 0) decimals = 0;
  if (decimals > width) decimals = width;  // cannot fit; keeps the work bounded
  *out = STR(args[0], static_cast<int>(width), static_cast<int>(decimals));
  return true;
}

void Str(CallArgs& args) {
  // The key form with a short result is written straight into the result.
  int width = 0, decimals = 0;
  char buf[64];
  if (KeyForm(args, &width, &decimals) && width <= static_cast<int>(sizeof(buf))) {
    STRInto(args[0], width, decimals, buf);
    args.ReturnString(buf, static_cast<size_t>(width));
    return;
  }
  std::string text;
  Value error;
  if (StrText(args, 1099, &text, &error)) args.ReturnString(std::move(text));
}

void StrZero(CallArgs& args) {
  std::string text;
  Value error;
  if (StrText(args, 9999, &text, &error)) args.ReturnString(STRZERO(text));
}

// The number written at the start of the text (after blanks): sign, digits, point and
// fraction. Its display width is the text's length, its decimals the characters after
// the point.
Value Val(CallArgs& args) {
  if (!args[0].is_string()) return args.ArgError(1098);
  const std::string& s = args[0].str();
  size_t p = s.find_first_not_of(' ');
  if (p == std::string::npos) p = s.size();
  bool negative = false;
  if (p < s.size() && (s[p] == '-' || s[p] == '+')) negative = s[p++] == '-';
  const size_t digits_start = p;
  while (p < s.size() && s[p] >= '0' && s[p] <= '9') ++p;
  const size_t int_digits = p - digits_start;
  size_t point = std::string::npos;
  if (p < s.size() && s[p] == '.') {
    point = p++;
    while (p < s.size() && s[p] >= '0' && s[p] <= '9') ++p;
  }
  const int width = s.size() > 90 ? 90 : s.size() == 0 ? 1 : static_cast<int>(s.size());
  if (point == std::string::npos && int_digits <= 18) {
    int64_t v = 0;
    std::from_chars(s.data() + digits_start, s.data() + p, v);
    return Value::Integer(negative ? -v : v, width);
  }
  double v = 0;
  if (p > digits_start && !(p == digits_start + 1 && point != std::string::npos)) {
    std::from_chars(s.data() + digits_start, s.data() + p, v);
  }
  size_t decimals = point == std::string::npos ? 0 : s.size() - point - 1;
  if (decimals > 90) decimals = 90;
  return Value::Double(negative ? -v : v, width, static_cast<int>(decimals));
}

Value Int(CallArgs& args) {
  const Value& n = args[0];
  if (!n.is_number()) return args.ArgError(1090);
  if (n.is_integer()) return n;
  const double t = std::trunc(n.number());
  if (std::fabs(t) < 9e18) return Value::Integer(static_cast<int64_t>(t));
  return Value::Double(t, -1, 0);
}

Value Round(CallArgs& args) {
  if (!args[0].is_number() || !args[1].is_number()) return args.ArgError(1094);
  const int64_t decimals = CallArgs::Count(args[1]);
  const int d = decimals < -400 ? -400 : decimals > 400 ? 400 : static_cast<int>(decimals);
  if (args[0].is_integer() && d >= 0) return Value::Double(args[0].number(), -1, d > 15 ? 15 : d);
  return Value::Double(RoundHalfAway(args[0].number(), d), -1, d < 0 ? 0 : d > 15 ? 15 : d);
}

Value Abs(CallArgs& args) {
  const Value& n = args[0];
  if (!n.is_number()) return args.ArgError(1089);
  if (n.is_integer() && n.integer() != INT64_MIN) {
    return Value::Integer(n.integer() < 0 ? -n.integer() : n.integer(), n.width());
  }
  return Value::Double(std::fabs(n.number()), n.width(), n.decimals());
}

// MAX and MIN of two numbers or two dates.
Value Extreme(CallArgs& args, bool max, int sub_code) {
  const Value& a = args[0];
  const Value& b = args[1];
  if (a.is_number() && b.is_number()) {
    const bool first = max ? a.number() >= b.number() : a.number() <= b.number();
    return first ? a : b;
  }
  if (a.is_date() && b.is_date()) {
    const bool first = max ? a.date() >= b.date() : a.date() <= b.date();
    return first ? a : b;
  }
  return args.ArgError(sub_code);
}

Value Max(CallArgs& args) {
  return Extreme(args, true, 1093);
}
Value Min(CallArgs& args) {
  return Extreme(args, false, 1092);
}

}  // namespace

void RegisterNumberFunctions() {
  RegisterFunction("STR", Str);
  RegisterFunction("STRZERO", StrZero);
  RegisterFunction("VAL", Val);
  RegisterFunction("INT", Int);
  RegisterFunction("ROUND", Round);
  RegisterFunction("ABS", Abs);
  RegisterFunction("MAX", Max);
  RegisterFunction("MIN", Min);
}

}  // namespace px::expr
