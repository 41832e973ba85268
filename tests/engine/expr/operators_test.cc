// Operator type rules, results and error codes.
#include <gtest/gtest.h>

#include <string>

#include "engine/expr/eval_text.h"
#include "runtime/date.h"
#include "runtime/settings.h"
#include "tests/engine/expr/fake_context.h"

namespace px::expr {
namespace {

using test::ErrorLog;
using test::FakeContext;

class OperatorTest : public testing::Test {
 protected:
  void SetUp() override {
    ctx_.Set("LAST", Value::String("Smith     "));
    ctx_.Set("FIRST", Value::String("Jo        "));
    ctx_.Set("DUE", Value::Date(DateFromYmd(2024, 2, 28)));
    ctx_.Set("NODATE", Value::Date(0));
    ctx_.Set("MEMO", Value::Memo("memo"));
  }
  Value Eval(std::string_view text) { return EvaluateText(text, ctx_); }
  FakeContext ctx_;
};

TEST_F(OperatorTest, PlusAndMinus) {
  EXPECT_EQ(Eval("'ab' + 'cd'"), Value::String("abcd"));
  EXPECT_EQ(Eval("MEMO + 'x'"), Value::String("memox"));
  EXPECT_EQ(Eval("LAST - FIRST"), Value::String("SmithJo             "));
  EXPECT_EQ(Eval("LEN(LAST - FIRST)"), Value::Integer(20));
  EXPECT_EQ(Eval("'   ' - 'a'"), Value::String("a   "));
  EXPECT_EQ(Eval("2 + 3"), Value::Integer(5));
  EXPECT_DOUBLE_EQ(Eval("2.5 - 1").number(), 1.5);
  EXPECT_EQ(Eval("DTOS(DUE + 2)"), Value::String("20240301"));
  EXPECT_EQ(Eval("DTOS(2 + DUE)"), Value::String("20240301"));
  EXPECT_EQ(Eval("DTOS(DUE - 59)"), Value::String("20231231"));
  EXPECT_EQ(Eval("DUE - (DUE - 30)"), Value::Integer(30));
  EXPECT_EQ(Eval("(DUE + 1) - DUE"), Value::Integer(1));
  EXPECT_EQ(Eval("NODATE + 5"), Value::Date(0));  // the empty date stays empty
  EXPECT_EQ(Eval("'A' + 1"), Value::String("B"));
  EXPECT_EQ(Eval("1 + 'A'"), Value::String("B"));
  EXPECT_EQ(Eval("ASC(CHR(255) + 2)"), Value::Integer(1));  // modulo 256
  EXPECT_EQ(Eval("9223372036854775807 + 1").number(), 9223372036854775808.0);
}

TEST_F(OperatorTest, ArithmeticAndZeroDivision) {
  EXPECT_EQ(Eval("6 * 7"), Value::Integer(42));
  EXPECT_DOUBLE_EQ(Eval("7 / 2").number(), 3.5);
  EXPECT_EQ(Eval("7 % 3"), Value::Integer(1));
  EXPECT_EQ(Eval("-7 % 3"), Value::Integer(-1));
  EXPECT_DOUBLE_EQ(Eval("7.5 % 2").number(), 1.5);
  EXPECT_DOUBLE_EQ(Eval("2 ** 10").number(), 1024.0);
  // The standard handler turns zero division into 0, quietly.
  EXPECT_EQ(Eval("1 / 0"), Value::Integer(0));
  EXPECT_EQ(Eval("1 % 0"), Value::Integer(0));
  EXPECT_TRUE(RecordedErrors().empty());
  ErrorLog log;
  Eval("1 / 0");
  EXPECT_EQ(log.Last(), "5/1340 /");
  Eval("1 % 0");
  EXPECT_EQ(log.Last(), "5/1341 %");
}

TEST_F(OperatorTest, Comparisons) {
  EXPECT_EQ(Eval("'abc' = 'ab'"), Value::Logical(true));
  EXPECT_EQ(Eval("'ab' = 'abc'"), Value::Logical(false));
  EXPECT_EQ(Eval("'abc' = ''"), Value::Logical(true));
  EXPECT_EQ(Eval("'abc' == 'ab'"), Value::Logical(false));
  EXPECT_EQ(Eval("'ab' == 'ab'"), Value::Logical(true));
  EXPECT_EQ(Eval("'ab' < 'abc'"), Value::Logical(true));
  EXPECT_EQ(Eval("'abd' > 'abc'"), Value::Logical(true));
  EXPECT_EQ(Eval("'b' >= 'a'"), Value::Logical(true));
  EXPECT_EQ(Eval("'a' <= 'a'"), Value::Logical(true));
  EXPECT_EQ(Eval("CHR(200) > 'a'"), Value::Logical(true));  // unsigned bytes
  SET(SetId::kExact, Value::Logical(true));
  EXPECT_EQ(Eval("'abc' = 'ab'"), Value::Logical(false));
  EXPECT_EQ(Eval("'ab  ' = 'ab'"), Value::Logical(true));
  SET(SetId::kExact, Value::Logical(false));
  EXPECT_EQ(Eval("1 = 1.0"), Value::Logical(true));
  EXPECT_EQ(Eval("DUE > NODATE"), Value::Logical(true));
  EXPECT_EQ(Eval(".F. < .T."), Value::Logical(true));
  EXPECT_EQ(Eval("NIL = NIL"), Value::Logical(true));
  EXPECT_EQ(Eval("1 == NIL"), Value::Logical(false));
  EXPECT_EQ(Eval("NIL <> 'a'"), Value::Logical(true));
  EXPECT_EQ(Eval("'b' $ 'abc'"), Value::Logical(true));
  EXPECT_EQ(Eval("'d' $ 'abc'"), Value::Logical(false));
  EXPECT_EQ(Eval("'' $ 'abc'"), Value::Logical(false));
}

// Every operator's argument error: code, subcode, operation, and both operands attached.
TEST_F(OperatorTest, ArgumentErrors) {
  struct Case {
    const char* text;
    const char* error;
  };
  const Case cases[] = {
      {"1 + .T.", "1/1081 +"},
      {"'ab' + 1", "1/1081 +"},
      {"DUE + DUE", "1/1081 +"},
      {"1 - 'a'", "1/1082 -"},
      {"1 - DUE", "1/1082 -"},
      {"'a' * 2", "1/1083 *"},
      {"'a' / 2", "1/1084 /"},
      {"DUE % 2", "1/1085 %"},
      {"'a' ** 2", "1/1088 ^"},
      {"2 ^ .T.", "1/1088 ^"},
      {"1 = 'a'", "1/1071 ="},
      {"1 == 'a'", "1/1070 =="},
      {"1 <> 'a'", "1/1072 <>"},
      {"1 # 'a'", "1/1072 <>"},
      {"1 != 'a'", "1/1072 <>"},
      {"1 < 'a'", "1/1073 <"},
      {"1 <= 'a'", "1/1074 <="},
      {"1 > 'a'", "1/1075 >"},
      {"1 >= 'a'", "1/1076 >="},
      {"NIL < 1", "1/1073 <"},
      {"1 $ 'a'", "1/1109 $"},
      {".NOT. 1", "1/1077 .NOT."},
      {"!'a'", "1/1077 .NOT."},
      {"1 .AND. .T.", "1/1078 .AND."},
      {".T. .AND. 1", "1/1078 .AND."},
      {"1 .OR. .F.", "1/1079 .OR."},
      {".F. .OR. 'x'", "1/1079 .OR."},
      {"-'a'", "1/1080 -"},
      {"-DUE", "1/1080 -"},
  };
  for (const Case& c : cases) {
    ErrorLog log;
    EXPECT_EQ(Eval(c.text), Value::Logical(false)) << c.text;  // default answer
    ASSERT_EQ(log.errors.size(), 1u) << c.text;
    EXPECT_EQ(log.Last(), c.error) << c.text;
    EXPECT_EQ(log.errors[0].subsystem, "BASE");
    EXPECT_TRUE(log.errors[0].has_args);
    EXPECT_FALSE(log.errors[0].args.empty());
  }
  // The handler's value is the operator's result, and evaluation goes on with it.
  ErrorLog log;
  log.answer = ErrorAnswer::Substitute(Value::Integer(40));
  EXPECT_EQ(Eval("(1 + 'ab') + 2"), Value::Integer(42));
  EXPECT_EQ(log.errors[0].args.size(), 2u);
  EXPECT_EQ(log.errors[0].args[1], Value::String("ab"));
}

TEST_F(OperatorTest, StringOverflow) {
  GetMemVars().Set("BIG", Value::String(std::string(9 * 1024 * 1024, 'x')));
  ErrorLog log;
  EXPECT_EQ(Eval("BIG + BIG"), Value::Logical(false));
  EXPECT_EQ(log.Last(), "3/1209 +");
  EXPECT_EQ(Eval("BIG - BIG"), Value::Logical(false));
  EXPECT_EQ(log.Last(), "3/1210 -");
  // Copies of large strings are limited per evaluation, so a short text cannot fill
  // the memory.
  log.errors.clear();
  std::string many = "{BIG";
  for (int i = 0; i < 50; ++i) many += ",BIG";
  Eval(many + "}");
  ASSERT_FALSE(log.errors.empty());
  EXPECT_EQ(log.errors[0].gen_code, kErrStrOverflow);
}

}  // namespace
}  // namespace px::expr
