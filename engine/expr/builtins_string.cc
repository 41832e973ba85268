// String functions: UPPER, LOWER, TRIM, RTRIM, LTRIM, ALLTRIM, SUBSTR, LEFT, RIGHT,
// PADR, PADL, PADC, SPACE, REPLICATE, AT, LEN, CHR, ASC.
#include <cstdint>
#include <cstring>
#include <string>

#include "engine/expr/functions.h"
#include "engine/expr/limits.h"
#include "engine/expr/str_format.h"
#include "runtime/date_format.h"

namespace px::expr {

namespace {

// Flips the letter case of the ASCII letters from `first` to `last` ('a' to 'z' or
// 'A' to 'Z'); other bytes, those of 128 and above included, stay as they are. Eight
// bytes at a time: a byte's top bit marks whether it lies in the range.
void ShiftCase(std::string& s, unsigned char first, unsigned char last) {
  constexpr uint64_t kOnes = 0x0101010101010101ULL;
  constexpr uint64_t kTops = 0x8080808080808080ULL;
  char* p = s.data();
  char* const end = p + s.size();
  for (; end - p >= 8; p += 8) {
    uint64_t x;
    std::memcpy(&x, p, 8);
    const uint64_t low7 = x & ~kTops;
    const uint64_t from_first = low7 + kOnes * (0x80 - first);    // top set: >= first
    const uint64_t past_last = low7 + kOnes * (0x80 - last - 1);  // top set: > last
    const uint64_t in_range = from_first & ~past_last & ~x & kTops;
    x ^= in_range >> 2;  // 0x20, the case bit
    std::memcpy(p, &x, 8);
  }
  for (; p < end; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c >= first && c <= last) *p = static_cast<char>(c ^ 0x20);
  }
}

void Upper(CallArgs& args) {
  if (!args[0].is_string()) {
    args.ArgError(1102);
    return;
  }
  ShiftCase(args.StringResult(), 'a', 'z');
}

void Lower(CallArgs& args) {
  if (!args[0].is_string()) {
    args.ArgError(1103);
    return;
  }
  ShiftCase(args.StringResult(), 'A', 'Z');
}

void TrimRight(std::string& s) {
  s.resize(s.find_last_not_of(' ') + 1);  // npos + 1 == 0
}
void TrimLeft(std::string& s) {
  const size_t first = s.find_first_not_of(' ');
  s.erase(0, first == std::string::npos ? s.size() : first);
}

void Trim(CallArgs& args) {
  if (!args[0].is_string()) {
    args.ArgError(1100, "TRIM");
    return;
  }
  TrimRight(args.StringResult());
}

void LTrim(CallArgs& args) {
  if (!args[0].is_string()) {
    args.ArgError(1101);
    return;
  }
  TrimLeft(args.StringResult());
}

void AllTrim(CallArgs& args) {
  if (!args[0].is_string()) {
    args.ArgError(2022);
    return;
  }
  TrimRight(args.StringResult());
  TrimLeft(args.StringResult());
}

Value Substr(CallArgs& args) {
  if (!args[0].is_string() || !args[1].is_number() || (args.Given(2) && !args[2].is_number())) {
    return args.ArgError(1110);
  }
  const std::string& s = args[0].str();
  const int64_t size = static_cast<int64_t>(s.size());
  int64_t start = CallArgs::Count(args[1]);
  if (start == 0) start = 1;
  if (start < 0) {
    start = size + start + 1;
    if (start < 1) start = 1;
  }
  if (start > size) return Value::String("");
  int64_t len = args.Given(2) ? CallArgs::Count(args[2]) : size;
  if (len <= 0) return Value::String("");
  if (len > size - start + 1) len = size - start + 1;
  return Value::String(s.substr(static_cast<size_t>(start - 1), static_cast<size_t>(len)));
}

void Left(CallArgs& args) {
  if (!args[0].is_string() || !args[1].is_number()) {
    args.ArgError(1124);
    return;
  }
  const int64_t n = CallArgs::Count(args[1]);
  std::string& s = args.StringResult();
  if (n < 1) {
    s.clear();
  } else if (static_cast<uint64_t>(n) < s.size()) {
    s.resize(static_cast<size_t>(n));
  }
}

void Right(CallArgs& args) {
  if (!args[0].is_string() || !args[1].is_number()) {
    args.ReturnString("");
    return;
  }
  const int64_t n = CallArgs::Count(args[1]);
  std::string& s = args.StringResult();
  if (n < 1) {
    s.clear();
  } else if (static_cast<uint64_t>(n) < s.size()) {
    s.erase(0, s.size() - static_cast<size_t>(n));
  }
}

enum class Side { kRight, kLeft, kBoth };

// PADR, PADL and PADC: "" when the width is not a number or the value has no text form.
Value Pad(CallArgs& args, Side side) {
  if (!args[1].is_number()) return Value::String("");
  const int64_t n = CallArgs::Count(args[1]);
  if (n < 1) return Value::String("");
  if (!CallArgs::Fits(n)) return args.StringOverflow();
  std::string text;
  const Value& v = args[0];
  if (v.is_string()) {
    text = v.str();
  } else if (v.is_number()) {
    text = STR(v);
    const size_t first = text.find_first_not_of(' ');
    text.erase(0, first == std::string::npos ? text.size() : first);
  } else if (v.is_date()) {
    text = DTOC(v.date());
  } else {
    return Value::String("");
  }
  const char fill = args[2].is_string() && !args[2].str().empty() ? args[2].str()[0] : ' ';
  const size_t width = static_cast<size_t>(n);
  if (text.size() >= width) {
    text.resize(width);
    return Value::String(std::move(text));
  }
  const size_t missing = width - text.size();
  switch (side) {
    case Side::kRight:
      text.append(missing, fill);
      break;
    case Side::kLeft:
      text.insert(0, missing, fill);
      break;
    case Side::kBoth:
      text.insert(0, missing / 2, fill);
      text.append(missing - missing / 2, fill);
      break;
  }
  return Value::String(std::move(text));
}

Value PadR(CallArgs& args) {
  return Pad(args, Side::kRight);
}
Value PadL(CallArgs& args) {
  return Pad(args, Side::kLeft);
}
Value PadC(CallArgs& args) {
  return Pad(args, Side::kBoth);
}

Value Space(CallArgs& args) {
  if (!args[0].is_number()) return args.ArgError(1105);
  const int64_t n = CallArgs::Count(args[0]);
  if (n < 1) return Value::String("");
  if (!CallArgs::Fits(n)) return args.StringOverflow();
  return Value::String(std::string(static_cast<size_t>(n), ' '));
}

Value Replicate(CallArgs& args) {
  if (!args[0].is_string() || !args[1].is_number()) return args.ArgError(1106);
  const int64_t n = CallArgs::Count(args[1]);
  const std::string& s = args[0].str();
  if (n < 1 || s.empty()) return Value::String("");
  if (static_cast<uint64_t>(n) > kMaxStringLength / s.size()) {
    return args.StringOverflow();
  }
  std::string out;
  out.reserve(s.size() * static_cast<size_t>(n));
  for (int64_t i = 0; i < n; ++i) out += s;
  return Value::String(std::move(out));
}

Value At(CallArgs& args) {
  if (!args[0].is_string() || !args[1].is_string()) return args.ArgError(1108);
  const std::string& needle = args[0].str();
  if (needle.empty()) return Value::Integer(0);
  const size_t pos = args[1].str().find(needle);
  return Value::Integer(pos == std::string::npos ? 0 : static_cast<int64_t>(pos) + 1);
}

Value Len(CallArgs& args) {
  if (args[0].is_string()) return Value::Integer(static_cast<int64_t>(args[0].str().size()));
  if (args[0].is_array()) return Value::Integer(static_cast<int64_t>(args[0].array().size()));
  return args.ArgError(1111);
}

Value Chr(CallArgs& args) {
  if (!args[0].is_number()) return args.ArgError(1104);
  const int64_t code = ((CallArgs::Count(args[0]) % 256) + 256) % 256;
  return Value::String(std::string(1, static_cast<char>(code)));
}

Value Asc(CallArgs& args) {
  if (!args[0].is_string()) return args.ArgError(1107);
  const std::string& s = args[0].str();
  return Value::Integer(s.empty() ? 0 : static_cast<unsigned char>(s[0]));
}

}  // namespace

void RegisterStringFunctions() {
  RegisterFunction("UPPER", Upper);
  RegisterFunction("LOWER", Lower);
  RegisterFunction("TRIM", Trim);
  RegisterFunction("RTRIM", Trim);
  RegisterFunction("LTRIM", LTrim);
  RegisterFunction("ALLTRIM", AllTrim);
  RegisterFunction("SUBSTR", Substr);
  RegisterFunction("LEFT", Left);
  RegisterFunction("RIGHT", Right);
  RegisterFunction("PADR", PadR);
  RegisterFunction("PADL", PadL);
  RegisterFunction("PADC", PadC);
  RegisterFunction("SPACE", Space);
  RegisterFunction("REPLICATE", Replicate);
  RegisterFunction("AT", At);
  RegisterFunction("LEN", Len);
  RegisterFunction("CHR", Chr);
  RegisterFunction("ASC", Asc);
}

}  // namespace px::expr
