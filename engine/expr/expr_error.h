// Raising the errors of the evaluator. Every error goes to the process handler with the
// subsystem "BASE"; the evaluator never throws.
#ifndef PX_ENGINE_EXPR_EXPR_ERROR_H_
#define PX_ENGINE_EXPR_EXPR_ERROR_H_

#include <initializer_list>
#include <string_view>

#include "runtime/error.h"
#include "runtime/value.h"

namespace px::expr {

// Subcodes of the evaluator's errors that no operator or function table gives.
inline constexpr int kSubSyntax = 1449;        // 7 "Syntax error", operation "&"
inline constexpr int kSubNoVar = 1003;         // 14 "Variable does not exist"
inline constexpr int kSubNoFunc = 1001;        // 12 "Undefined function"
inline constexpr int kSubNoAlias = 1002;       // 15 "Alias does not exist"
inline constexpr int kSubZeroDivide = 1340;    // 5 "/"
inline constexpr int kSubZeroModulus = 1341;   // 5 "%"
inline constexpr int kSubPlusOverflow = 1209;  // 3 "+"
inline constexpr int kSubMinusOverflow = 1210;
inline constexpr int kSubFuncOverflow = 1234;  // 3, a function's result too long
inline constexpr int kSubArrayType = 1068;     // 1 "array access": not an array or index
inline constexpr int kSubArrayBound = 1132;    // 2 "array access": index out of range
inline constexpr int kSubIifCondition = 1066;  // 1 "IIF": condition not logical
inline constexpr int kSubMacroType = 1065;     // 1 "&": not a text
inline constexpr int kSubNoMethod = 1004;      // 13 "No exported method"

// The value an answer stands for where the handler's answer becomes the result: the
// substitute value itself, .T. for retry, .F. for default.
Value AnswerValue(const ErrorAnswer& answer);

// Raises "BASE" gen_code/sub_code for `operation` with the arguments attached; the error
// can be defaulted and substituted. Returns AnswerValue of the handler's answer.
Value RaiseValueError(int gen_code, int sub_code, std::string_view operation,
                      std::initializer_list<const Value*> args);
Value RaiseValueError(int gen_code, int sub_code, std::string_view operation, const Value* args,
                      int count);

// Raises "BASE" 7/1449 "Syntax error" with operation "&" and the text as argument.
ErrorAnswer RaiseSyntaxError(std::string_view text);

}  // namespace px::expr

#endif  // PX_ENGINE_EXPR_EXPR_ERROR_H_
