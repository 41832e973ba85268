// The built-in functions, their argument errors and the registry.
#include <gtest/gtest.h>

#include <string>

#include "engine/expr/compiler.h"
#include "engine/expr/eval_text.h"
#include "engine/expr/evaluator.h"
#include "engine/expr/functions.h"
#include "runtime/date.h"
#include "runtime/settings.h"
#include "tests/engine/expr/fake_context.h"

namespace px::expr {
namespace {

using test::ErrorLog;
using test::FakeContext;

class FunctionTest : public testing::Test {
 protected:
  void SetUp() override {
    ctx_.Set("NAME", Value::String("ab        "));
    ctx_.Set("DUE", Value::Date(0));
    ctx_.Set("DAY1", Value::Date(DateFromYmd(2024, 3, 5)));
    ctx_.Set("QTY", Value::Double(3.14159, 8, 5));
  }
  Value Eval(std::string_view text) { return EvaluateText(text, ctx_); }
  std::string Text(std::string_view text) { return Eval(text).str(); }
  FakeContext ctx_;
};

TEST_F(FunctionTest, KeyOfNameAndEmptyDate) {
  const Value key = Eval("UPPER(NAME) + DTOS(DUE)");
  EXPECT_EQ(key, Value::String("AB" + std::string(16, ' ')));
  EXPECT_EQ(key.str().size(), 18u);
  EXPECT_EQ(Text("upper(name) + dtos(day1) + str(qty, 8, 2)"), "AB        20240305    3.14");
}

// A key evaluated record after record into the same Value, as an order does, gives
// what a fresh evaluation gives whatever the Value held before.
TEST_F(FunctionTest, KeysRunIntoAReusedValue) {
  const auto program = Compile("UPPER(NAME) + DTOS(DAY1) + STR(QTY, 8, 2)");
  ASSERT_NE(program, nullptr);
  const auto concat = Compile("NAME + NAME + NAME");
  ASSERT_NE(concat, nullptr);
  const Value before[] = {Value(),
                          Value::String(std::string(200, 'x')),
                          Value::String("short"),
                          Value::Memo(std::string(40, 'm')),
                          Value::Integer(5),
                          Value::Array({Value::Integer(1)})};
  const char* names[] = {"ab", "a much longer name", "", "z"};
  for (const Value& held : before) {
    Value key = held;
    for (const char* name : names) {
      ctx_.Set("NAME", Value::String(name));
      expr::Run(*program, ctx_, &key);
      EXPECT_EQ(key, expr::Run(*program, ctx_)) << DebugString(held) << " " << name;
      expr::Run(*concat, ctx_, &key);
      EXPECT_EQ(key, Value::String(std::string(name) + name + name));
    }
  }
  // Operands that are not both strings still go through the operator's rules.
  ctx_.Set("NAME", Value::String("x"));
  Value key = Value::String(std::string(64, 'k'));
  const auto shifted = Compile("NAME + 1");
  expr::Run(*shifted, ctx_, &key);
  EXPECT_EQ(key, Value::String("y"));
}

// UPPER and LOWER change only the ASCII letters, at every position of texts of every
// length, whatever the other bytes are.
TEST_F(FunctionTest, LetterCaseOfEveryByte) {
  std::string all;
  for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
  for (size_t start = 0; start < all.size(); start += 7) {
    for (size_t len : {size_t{1}, size_t{7}, size_t{8}, size_t{9}, size_t{17}, size_t{64}}) {
      const std::string text = all.substr(start, len);
      std::string upper = text, lower = text;
      for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
      }
      for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
      }
      ctx_.Set("TEXT", Value::String(text));
      EXPECT_EQ(Text("UPPER(TEXT)"), upper) << start << " " << len;
      EXPECT_EQ(Text("LOWER(TEXT)"), lower) << start << " " << len;
    }
  }
}

TEST_F(FunctionTest, StringFunctions) {
  EXPECT_EQ(Text("LOWER('AbC1')"), "abc1");
  EXPECT_EQ(Text("UPPER('\xe4x')"), "\xe4X");  // only a-z change
  EXPECT_EQ(Text("TRIM('  a  ')"), "  a");
  EXPECT_EQ(Text("RTRIM('a ')"), "a");
  EXPECT_EQ(Text("LTRIM('  a ')"), "a ");
  EXPECT_EQ(Text("ALLTRIM('  a b  ')"), "a b");
  EXPECT_EQ(Text("SUBSTR('ABCDE', -2)"), "DE");
  EXPECT_EQ(Text("SUBSTR('ABCDE', 0, 2)"), "AB");
  EXPECT_EQ(Text("SUBSTR('ABCDE', 9)"), "");
  EXPECT_EQ(Text("SUBSTR('ABCDE', -9, 2)"), "AB");
  EXPECT_EQ(Text("SUBSTR('ABCDE', 2, 0)"), "");
  EXPECT_EQ(Text("SUBSTR('ABCDE', 4, 10)"), "DE");
  EXPECT_EQ(Text("SUBSTR('ABCDE', 2, NIL)"), "BCDE");
  EXPECT_EQ(Text("LEFT('ABC', 2)"), "AB");
  EXPECT_EQ(Text("LEFT('ABC', 0)"), "");
  EXPECT_EQ(Text("LEFT('ABC', 5)"), "ABC");
  EXPECT_EQ(Text("RIGHT('ABC', 2)"), "BC");
  EXPECT_EQ(Text("RIGHT('ABC', -1)"), "");
  EXPECT_EQ(Text("RIGHT(1, 2)"), "");
  EXPECT_EQ(Text("PADR('ab', 4)"), "ab  ");
  EXPECT_EQ(Text("PADL('ab', 4, '*-')"), "**ab");
  EXPECT_EQ(Text("PADC('ab', 5, '.')"), ".ab..");
  EXPECT_EQ(Text("PADR('abcdef', 3)"), "abc");
  EXPECT_EQ(Text("PADL(12, 5)"), "   12");
  EXPECT_EQ(Text("PADR(DAY1, 10)"), "03/05/24  ");
  EXPECT_EQ(Text("PADR(.T., 3)"), "");
  EXPECT_EQ(Text("PADR('ab', 'x')"), "");
  EXPECT_EQ(Text("SPACE(3)"), "   ");
  EXPECT_EQ(Text("SPACE(-1)"), "");
  EXPECT_EQ(Text("REPLICATE('ab', 3)"), "ababab");
  EXPECT_EQ(Eval("AT('c', 'abcabc')"), Value::Integer(3));
  EXPECT_EQ(Eval("AT('x', 'abc')"), Value::Integer(0));
  EXPECT_EQ(Eval("AT('', 'abc')"), Value::Integer(0));
  EXPECT_EQ(Eval("LEN('abc')"), Value::Integer(3));
  EXPECT_EQ(Eval("LEN(NAME)"), Value::Integer(10));
  EXPECT_EQ(Text("CHR(65) + CHR(321)"), "AA");
  EXPECT_EQ(Eval("ASC('a')"), Value::Integer(97));
  EXPECT_EQ(Text("DESCEND('A')"), std::string(1, static_cast<char>(191)));
}

TEST_F(FunctionTest, NumberFunctions) {
  EXPECT_EQ(Text("STR(3.14159, 6, 2)"), "  3.14");
  EXPECT_EQ(Text("STR(123456, 3)"), "***");
  EXPECT_EQ(Text("STR(5)"), "         5");
  EXPECT_EQ(Text("STR(QTY)"), " 3.14159");
  EXPECT_EQ(Text("STR(2.5, 3)"), "  3");
  EXPECT_EQ(Text("STR(-2.5, 3)"), " -3");
  EXPECT_EQ(Text("STR(12, 0)"), "        12");
  EXPECT_EQ(Text("STR(1.5, 5, -1)"), "    2");
  EXPECT_EQ(Text("STRZERO(-5, 5)"), "-0005");
  EXPECT_EQ(Text("STRZERO(42, 6, 1)"), "0042.0");
  EXPECT_EQ(Eval("VAL('  12.50  ')").number(), 12.5);
  EXPECT_EQ(Eval("VAL('  12.50  ')").decimals(), 4);
  EXPECT_EQ(Eval("VAL('  12.50  ')").width(), 9);
  EXPECT_EQ(Eval("VAL('-7xyz')"), Value::Integer(-7));
  EXPECT_EQ(Eval("VAL('abc')"), Value::Integer(0));
  EXPECT_EQ(Text("STR(VAL('123'))"), "123");
  EXPECT_EQ(Eval("INT(-3.7)"), Value::Integer(-3));
  EXPECT_EQ(Eval("INT(7)"), Value::Integer(7));
  EXPECT_DOUBLE_EQ(Eval("ROUND(2.675, 2)").number(), 2.68);
  EXPECT_DOUBLE_EQ(Eval("ROUND(-2.5, 0)").number(), -3.0);
  EXPECT_DOUBLE_EQ(Eval("ROUND(1250, -2)").number(), 1300.0);
  EXPECT_EQ(Eval("ABS(-4)"), Value::Integer(4));
  EXPECT_DOUBLE_EQ(Eval("ABS(-4.5)").number(), 4.5);
  EXPECT_EQ(Eval("MAX(1, 2)"), Value::Integer(2));
  EXPECT_EQ(Eval("MIN(DAY1, DUE)"), Value::Date(0));
}

TEST_F(FunctionTest, DateFunctions) {
  EXPECT_EQ(Text("DTOS(DAY1)"), "20240305");
  EXPECT_EQ(Text("DTOS(DUE)"), "        ");
  EXPECT_EQ(Text("DTOC(DAY1)"), "03/05/24");
  EXPECT_EQ(Text("DTOC(DUE)"), "  /  /  ");
  SET(SetId::kDateFormat, Value::String("dd/mm/yyyy"));
  SET(SetId::kEpoch, Value::Integer(1950));
  EXPECT_EQ(Text("DTOC(DAY1)"), "05/03/2024");
  EXPECT_EQ(Text("DTOS(CTOD('05/03/49'))"), "20490305");
  EXPECT_EQ(Text("DTOS(CTOD('05/03/50'))"), "19500305");
  EXPECT_EQ(Text("DTOS(CTOD('31/02/2024'))"), "        ");
  EXPECT_EQ(Text("DTOS(CTOD(''))"), "        ");
  EXPECT_EQ(Eval("YEAR(DAY1)"), Value::Integer(2024));
  EXPECT_EQ(Eval("MONTH(DAY1)"), Value::Integer(3));
  EXPECT_EQ(Eval("DAY(DAY1)"), Value::Integer(5));
  EXPECT_EQ(Eval("YEAR(DUE)"), Value::Integer(0));
  EXPECT_TRUE(Eval("DATE()").is_date());
  EXPECT_GT(Eval("DATE()").date(), DateFromYmd(2020, 1, 1));
}

TEST_F(FunctionTest, OtherFunctions) {
  for (const char* empty : {"EMPTY('  ')", "EMPTY(0)", "EMPTY(DUE)", "EMPTY(.F.)", "EMPTY(NIL)",
                            "EMPTY({})", "EMPTY(CHR(9) + CHR(13))"}) {
    EXPECT_EQ(Eval(empty), Value::Logical(true)) << empty;
  }
  EXPECT_EQ(Eval("EMPTY('a')"), Value::Logical(false));
  ctx_.current.recno = 7;
  ctx_.current.deleted = true;
  EXPECT_EQ(Eval("RECNO()"), Value::Integer(7));
  EXPECT_EQ(Eval("DELETED()"), Value::Logical(true));
  EXPECT_EQ(Text("VALTYPE(DUE)"), "D");
}

// Every function's argument error: code, subcode and operation.
TEST_F(FunctionTest, ArgumentErrors) {
  struct Case {
    const char* text;
    const char* error;
  };
  const Case cases[] = {
      {"UPPER(1)", "1/1102 UPPER"},
      {"LOWER()", "1/1103 LOWER"},
      {"TRIM(1)", "1/1100 TRIM"},
      {"RTRIM(1)", "1/1100 TRIM"},
      {"LTRIM(1)", "1/1101 LTRIM"},
      {"ALLTRIM(1)", "1/2022 ALLTRIM"},
      {"SUBSTR(1, 1)", "1/1110 SUBSTR"},
      {"SUBSTR('a')", "1/1110 SUBSTR"},
      {"SUBSTR('a', 1, 'x')", "1/1110 SUBSTR"},
      {"LEFT('a', 'b')", "1/1124 LEFT"},
      {"STR('1')", "1/1099 STR"},
      {"STR(1, 'a')", "1/1099 STR"},
      {"STRZERO('1')", "1/9999 STRZERO"},
      {"DTOS('x')", "1/1120 DTOS"},
      {"DTOC(1)", "1/1118 DTOC"},
      {"CTOD(1)", "1/1119 CTOD"},
      {"YEAR(1)", "1/1112 YEAR"},
      {"MONTH('a')", "1/1113 MONTH"},
      {"DAY(.T.)", "1/1114 DAY"},
      {"VAL(1)", "1/1098 VAL"},
      {"LEN(1)", "1/1111 LEN"},
      {"SPACE('a')", "1/1105 SPACE"},
      {"REPLICATE(1, 2)", "1/1106 REPLICATE"},
      {"INT('1')", "1/1090 INT"},
      {"ROUND(1)", "1/1094 ROUND"},
      {"ABS('a')", "1/1089 ABS"},
      {"AT(1, 'a')", "1/1108 AT"},
      {"CHR('a')", "1/1104 CHR"},
      {"ASC(1)", "1/1107 ASC"},
  };
  for (const Case& c : cases) {
    ErrorLog log;
    Eval(c.text);
    ASSERT_EQ(log.errors.size(), 1u) << c.text;
    EXPECT_EQ(log.Last(), c.error) << c.text;
    EXPECT_TRUE(log.errors[0].can_substitute);
  }
  // Results too long for a string.
  for (const char* text : {"SPACE(100000000)", "REPLICATE('ab', 10000000)", "PADR('a', 1000000000)",
                           "STR(1, 1000000000)"}) {
    ErrorLog log;
    Eval(text);
    ASSERT_EQ(log.errors.size(), 1u) << text;
    EXPECT_EQ(log.errors[0].gen_code, kErrStrOverflow) << text;
  }
}

TEST_F(FunctionTest, UndefinedFunctionsAndTheRegistry) {
  ErrorLog log;
  EXPECT_EQ(Eval("NOSUCHFN(1)"), Value());
  EXPECT_EQ(log.Last(), "12/1001 NOSUCHFN");
  EXPECT_TRUE(log.errors[0].can_retry);

  // A function registered later is found by texts compiled before, and a retry after
  // registering it succeeds.
  std::shared_ptr<const Program> p = Compile("twice(21)");
  ASSERT_NE(p, nullptr);
  log.errors.clear();
  ScopedErrorHandler retry([&](Error& e) {
    log.errors.push_back(e);
    RegisterFunction("Twice", [](CallArgs& args) { return Value::Integer(args[0].integer() * 2); });
    return ErrorAnswer::Retry();
  });
  EXPECT_EQ(expr::Run(*p, ctx_), Value::Integer(42));
  EXPECT_EQ(log.errors.size(), 1u);
  EXPECT_NE(FindFunction("twice"), nullptr);
  EXPECT_EQ(Eval("TWICE(2)"), Value::Integer(4));
}

}  // namespace
}  // namespace px::expr
