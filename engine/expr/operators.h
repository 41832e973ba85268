// The operators of expressions: their type rules, results and errors.
//
// Every combination of operand types that an operator does not take raises "BASE"
// 1 "Argument error" with the operator as the operation and both operands as
// arguments: "+" 1081, "-" 1082, "*" 1083, "/" 1084, "%" 1085, power 1088 ("^"), "=" 1071,
// "==" 1070, "<>" 1072, "<" 1073, "<=" 1074, ">" 1075, ">=" 1076, "$" 1109, ".NOT." 1077,
// ".AND." 1078, ".OR." 1079, prefix "-" and "+" 1080. The handler's answer becomes the
// result. A string longer than the largest string raises 3 "String overflow" (1209 for
// "+", 1210 for "-"); division by zero raises 5 "Zero divisor" (1340 "/", 1341 "%").
//
// Strings compare byte by byte. With the exact setting off, a comparison stops at the
// end of the right operand ("abc" = "ab" is true, "ab" = "abc" false); with it on,
// trailing blanks do not count. "==" compares strings exactly. NIL equals only NIL.
#ifndef PX_ENGINE_EXPR_OPERATORS_H_
#define PX_ENGINE_EXPR_OPERATORS_H_

#include "engine/expr/program.h"
#include "runtime/value.h"

namespace px::expr {

// Applies a binary operator; the result replaces a (b may be moved from).
void ApplyBinary(Op op, Value& a, Value& b);
// Applies a prefix operator (kNeg, kPos, kNot) in place.
void ApplyUnary(Op op, Value& a);

// A date moved by a number of days (whole part); the empty date stays empty, and a
// result outside the years 1 to 9999 is the empty date.
int32_t MoveDate(int32_t julian_day, double days);

}  // namespace px::expr

#endif  // PX_ENGINE_EXPR_OPERATORS_H_
