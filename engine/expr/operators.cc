#include "engine/expr/operators.h"

#include <cmath>
#include <cstring>
#include <string>

#include "engine/expr/expr_error.h"
#include "engine/expr/limits.h"
#include "runtime/date.h"
#include "runtime/settings.h"

namespace px::expr {

namespace {

void Fail(Value& a, Value& b, int sub_code, const char* op) {
  Value r = RaiseValueError(kErrArg, sub_code, op, {&a, &b});
  a = std::move(r);
}

int MaxDecimals(const Value& a, const Value& b) {
  const int d = a.decimals() > b.decimals() ? a.decimals() : b.decimals();
  return d < 0 ? 0 : d;
}

Value Number(double r, int decimals) {
  if (decimals > 15) decimals = 15;
  return Value::Double(r, -1, decimals);
}

// The string of a string value (character or memo) as a character value, in place.
std::string& OwnString(Value& v) {
  if (!v.is_char()) v.SetString(std::string(v.str()));
  return *v.mutable_str();
}

bool IsOneChar(const Value& v) {
  return v.is_string() && v.str().size() == 1;
}

Value ShiftChar(const Value& c, const Value& n) {
  const int64_t code = static_cast<unsigned char>(c.str()[0]);
  const int64_t sum = code + (n.integer() % 256);
  const char out = static_cast<char>(((sum % 256) + 256) % 256);
  return Value::String(std::string(1, out));
}

void Add(Value& a, Value& b) {
  if (a.is_string() && b.is_string()) {
    if (a.str().size() + b.str().size() > kMaxStringLength) {
      Value r = RaiseValueError(kErrStrOverflow, kSubPlusOverflow, "+", {&a, &b});
      a = std::move(r);
      return;
    }
    OwnString(a).append(b.str());
    return;
  }
  if (a.is_number() && b.is_number()) {
    int64_t r;
    if (a.is_integer() && b.is_integer() && !__builtin_add_overflow(a.integer(), b.integer(), &r)) {
      a = Value::Integer(r);
    } else {
      a = Number(a.number() + b.number(), MaxDecimals(a, b));
    }
    return;
  }
  if (a.is_date() && b.is_number()) {
    a = Value::Date(MoveDate(a.date(), b.number()));
    return;
  }
  if (a.is_number() && b.is_date()) {
    a = Value::Date(MoveDate(b.date(), a.number()));
    return;
  }
  if (IsOneChar(a) && b.is_number()) {
    a = ShiftChar(a, b);
    return;
  }
  if (a.is_number() && IsOneChar(b)) {
    a = ShiftChar(b, a);
    return;
  }
  Fail(a, b, 1081, "+");
}

void Subtract(Value& a, Value& b) {
  if (a.is_string() && b.is_string()) {
    if (a.str().size() + b.str().size() > kMaxStringLength) {
      Value r = RaiseValueError(kErrStrOverflow, kSubMinusOverflow, "-", {&a, &b});
      a = std::move(r);
      return;
    }
    // The left string's trailing blanks move behind the right string.
    std::string& s = OwnString(a);
    const size_t kept = s.find_last_not_of(' ') + 1;  // npos + 1 == 0
    const size_t blanks = s.size() - kept;
    s.resize(kept);
    s.append(b.str());
    s.append(blanks, ' ');
    return;
  }
  if (a.is_number() && b.is_number()) {
    int64_t r;
    if (a.is_integer() && b.is_integer() && !__builtin_sub_overflow(a.integer(), b.integer(), &r)) {
      a = Value::Integer(r);
    } else {
      a = Number(a.number() - b.number(), MaxDecimals(a, b));
    }
    return;
  }
  if (a.is_date() && b.is_date()) {
    a = Value::Integer(static_cast<int64_t>(a.date()) - b.date());
    return;
  }
  if (a.is_date() && b.is_number()) {
    a = Value::Date(MoveDate(a.date(), -b.number()));
    return;
  }
  Fail(a, b, 1082, "-");
}

void Multiply(Value& a, Value& b) {
  if (!a.is_number() || !b.is_number()) return Fail(a, b, 1083, "*");
  int64_t r;
  if (a.is_integer() && b.is_integer() && !__builtin_mul_overflow(a.integer(), b.integer(), &r)) {
    a = Value::Integer(r);
  } else {
    a = Number(a.number() * b.number(), a.decimals() + b.decimals());
  }
}

void Divide(Value& a, Value& b) {
  if (!a.is_number() || !b.is_number()) return Fail(a, b, 1084, "/");
  if (b.number() == 0) {
    Value r = RaiseValueError(kErrZeroDiv, kSubZeroDivide, "/", {&a, &b});
    a = std::move(r);
    return;
  }
  a = Number(a.number() / b.number(), GetSettings().decimals);
}

void Modulus(Value& a, Value& b) {
  if (!a.is_number() || !b.is_number()) return Fail(a, b, 1085, "%");
  if (b.number() == 0) {
    Value r = RaiseValueError(kErrZeroDiv, kSubZeroModulus, "%", {&a, &b});
    a = std::move(r);
    return;
  }
  if (a.is_integer() && b.is_integer() && b.integer() != -1) {
    a = Value::Integer(a.integer() % b.integer());
  } else if (a.is_integer() && b.is_integer()) {
    a = Value::Integer(0);
  } else {
    a = Number(std::fmod(a.number(), b.number()), MaxDecimals(a, b));
  }
}

void Power(Value& a, Value& b) {
  if (!a.is_number() || !b.is_number()) return Fail(a, b, 1088, "^");
  a = Number(std::pow(a.number(), b.number()), GetSettings().decimals);
}

// Three-way comparison of two strings under the exact setting (see the header).
int CompareStrings(const std::string& a, const std::string& b, bool exact) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  const int c = n == 0 ? 0 : std::memcmp(a.data(), b.data(), n);
  if (c != 0) return c < 0 ? -1 : 1;
  if (a.size() == b.size()) return 0;
  if (!exact) return a.size() > b.size() ? 0 : -1;
  // Trailing blanks do not count: the longer string's rest is compared with blanks.
  const std::string& longer = a.size() > b.size() ? a : b;
  for (size_t i = n; i < longer.size(); ++i) {
    const unsigned char ch = static_cast<unsigned char>(longer[i]);
    if (ch != ' ') {
      const int longer_greater = ch > ' ' ? 1 : -1;
      return a.size() > b.size() ? longer_greater : -longer_greater;
    }
  }
  return 0;
}

// Compares values of one type; false when the types differ (or cannot be ordered).
bool Compare(const Value& a, const Value& b, int* out) {
  if (a.is_string() && b.is_string()) {
    *out = CompareStrings(a.str(), b.str(), GetSettings().exact);
    return true;
  }
  if (a.is_number() && b.is_number()) {
    if (a.is_integer() && b.is_integer()) {
      *out = a.integer() < b.integer() ? -1 : a.integer() > b.integer() ? 1 : 0;
    } else {
      *out = a.number() < b.number() ? -1 : a.number() > b.number() ? 1 : 0;
    }
    return true;
  }
  if (a.is_date() && b.is_date()) {
    *out = a.date() < b.date() ? -1 : a.date() > b.date() ? 1 : 0;
    return true;
  }
  if (a.is_logical() && b.is_logical()) {
    *out = static_cast<int>(a.logical()) - static_cast<int>(b.logical());
    return true;
  }
  return false;
}

// =, == and <>: NIL may stand on either side and equals only NIL.
void Equality(Op op, Value& a, Value& b) {
  const bool negate = op == Op::kNe;
  if (a.is_nil() || b.is_nil()) {
    const bool eq = a.is_nil() && b.is_nil();
    a = Value::Logical(negate ? !eq : eq);
    return;
  }
  if (op == Op::kExactEq && a.is_string() && b.is_string()) {
    a = Value::Logical(a.str() == b.str());
    return;
  }
  int c;
  if (!Compare(a, b, &c)) {
    if (op == Op::kExactEq) return Fail(a, b, 1070, "==");
    if (op == Op::kEq) return Fail(a, b, 1071, "=");
    return Fail(a, b, 1072, "<>");
  }
  a = Value::Logical(negate ? c != 0 : c == 0);
}

void Order(Op op, Value& a, Value& b) {
  int c;
  if (!Compare(a, b, &c)) {
    switch (op) {
      case Op::kLt:
        return Fail(a, b, 1073, "<");
      case Op::kLe:
        return Fail(a, b, 1074, "<=");
      case Op::kGt:
        return Fail(a, b, 1075, ">");
      default:
        return Fail(a, b, 1076, ">=");
    }
  }
  bool r = false;
  switch (op) {
    case Op::kLt:
      r = c < 0;
      break;
    case Op::kLe:
      r = c <= 0;
      break;
    case Op::kGt:
      r = c > 0;
      break;
    default:
      r = c >= 0;
      break;
  }
  a = Value::Logical(r);
}

void Contains(Value& a, Value& b) {
  if (!a.is_string() || !b.is_string()) return Fail(a, b, 1109, "$");
  const std::string& needle = a.str();
  a = Value::Logical(!needle.empty() && b.str().find(needle) != std::string::npos);
}

}  // namespace

int32_t MoveDate(int32_t julian_day, double days) {
  if (julian_day <= 0 || !std::isfinite(days)) return 0;
  const double moved = static_cast<double>(julian_day) + std::trunc(days);
  const int32_t first = DateFromYmd(1, 1, 1);
  const int32_t last = DateFromYmd(9999, 12, 31);
  if (moved < first || moved > last) return 0;
  return static_cast<int32_t>(moved);
}

void ApplyBinary(Op op, Value& a, Value& b) {
  switch (op) {
    case Op::kAdd:
      return Add(a, b);
    case Op::kSub:
      return Subtract(a, b);
    case Op::kMul:
      return Multiply(a, b);
    case Op::kDiv:
      return Divide(a, b);
    case Op::kMod:
      return Modulus(a, b);
    case Op::kPow:
      return Power(a, b);
    case Op::kEq:
    case Op::kExactEq:
    case Op::kNe:
      return Equality(op, a, b);
    case Op::kLt:
    case Op::kLe:
    case Op::kGt:
    case Op::kGe:
      return Order(op, a, b);
    case Op::kIn:
      return Contains(a, b);
    case Op::kAnd:
      if (!a.is_logical() || !b.is_logical()) return Fail(a, b, 1078, ".AND.");
      a = Value::Logical(a.logical() && b.logical());
      return;
    case Op::kOr:
      if (!a.is_logical() || !b.is_logical()) return Fail(a, b, 1079, ".OR.");
      a = Value::Logical(a.logical() || b.logical());
      return;
    default:
      return;
  }
}

void ApplyUnary(Op op, Value& a) {
  switch (op) {
    case Op::kNeg:
      if (a.is_integer() && a.integer() != INT64_MIN) {
        a = Value::Integer(-a.integer(), a.width());
      } else if (a.is_number()) {
        a = Value::Double(-a.number(), a.width(), a.decimals());
      } else {
        a = RaiseValueError(kErrArg, 1080, "-", {&a});
      }
      return;
    case Op::kPos:
      if (!a.is_number()) a = RaiseValueError(kErrArg, 1080, "+", {&a});
      return;
    case Op::kNot:
      if (a.is_logical()) {
        a = Value::Logical(!a.logical());
      } else {
        a = RaiseValueError(kErrArg, 1077, ".NOT.", {&a});
      }
      return;
    default:
      return;
  }
}

}  // namespace px::expr
