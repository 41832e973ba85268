// Grammar, tokens and literals, syntax errors and the safety of the compiler.
#include <gtest/gtest.h>

#include <string>

#include "engine/expr/compiler.h"
#include "engine/expr/eval_text.h"
#include "engine/expr/evaluator.h"
#include "tests/engine/expr/fake_context.h"

namespace px::expr {
namespace {

using test::ErrorLog;
using test::FakeContext;

Value Eval(std::string_view text) {
  FakeContext ctx;
  return EvaluateText(text, ctx);
}

std::string SyntaxMessage(std::string_view text) {
  SyntaxError error;
  if (Compile(text, &error) != nullptr) return "compiled";
  return error.message;
}

TEST(CompilerTest, OperatorLevelsAndGrouping) {
  EXPECT_EQ(Eval("10 - 3 - 2"), Value::Integer(5));
  EXPECT_EQ(Eval("10 - (3 - 2)"), Value::Integer(9));
  EXPECT_EQ(Eval("2 + 3 * 4"), Value::Integer(14));
  EXPECT_EQ(Eval("(2 + 3) * 4"), Value::Integer(20));
  EXPECT_EQ(Eval("100 / 10 / 5").number(), 2.0);
  EXPECT_EQ(Eval("2 ** 3 ** 2").number(), 64.0);  // (2 ** 3) ** 2
  EXPECT_EQ(Eval("2 ^ 3").number(), 8.0);
  EXPECT_EQ(Eval("-2 ** 2").number(), 4.0);  // (-2) ** 2
  EXPECT_EQ(Eval("- 3 + 5"), Value::Integer(2));
  EXPECT_EQ(Eval("17 % 5 * 2"), Value::Integer(4));
  EXPECT_EQ(Eval(".NOT. 1 = 2"), Value::Logical(true));  // .NOT. (1 = 2)
  EXPECT_EQ(Eval("!1 = 1 .OR. .T."), Value::Logical(true));
  EXPECT_EQ(Eval(".T. .OR. .F. .AND. .F."), Value::Logical(true));  // .AND. binds tighter
  EXPECT_EQ(Eval("1 + 1 = 2 .AND. 3 > 2"), Value::Logical(true));
  // a < b < c compares the logical result of a < b with c.
  ErrorLog log;
  Eval("1 < 2 < 3");
  EXPECT_EQ(log.Last(), "1/1073 <");
  EXPECT_EQ(Eval("1 < 2 = .T."), Value::Logical(true));
}

TEST(CompilerTest, TokensAndLiterals) {
  EXPECT_EQ(Eval(".T."), Value::Logical(true));
  EXPECT_EQ(Eval(".y."), Value::Logical(true));
  EXPECT_EQ(Eval(".t."), Value::Logical(true));
  EXPECT_EQ(Eval(".F."), Value::Logical(false));
  EXPECT_EQ(Eval(".n."), Value::Logical(false));
  EXPECT_EQ(Eval("nil"), Value());
  EXPECT_EQ(Eval("\"a'b\""), Value::String("a'b"));
  EXPECT_EQ(Eval("'a\"b'"), Value::String("a\"b"));
  EXPECT_EQ(Eval("[x]"), Value::String("x"));
  EXPECT_EQ(Eval("UPPER([ab])"), Value::String("AB"));
  EXPECT_EQ(Eval("12"), Value::Integer(12));
  const Value pi = Eval("3.14159");
  EXPECT_DOUBLE_EQ(pi.number(), 3.14159);
  EXPECT_EQ(pi.decimals(), 5);
  EXPECT_DOUBLE_EQ(Eval(".5").number(), 0.5);
  EXPECT_EQ(Eval("1.AND..T."), Value::Logical(false));  // 1 .AND. .T.: argument error
  EXPECT_EQ(Eval("1=1.and.2=2"), Value::Logical(true));
  EXPECT_DOUBLE_EQ(Eval("123456789012345678901234567890").number(), 1.2345678901234568e29);
  // "#", "<>" and "!=" agree.
  for (const char* op : {"#", "<>", "!="}) {
    EXPECT_EQ(Eval(std::string("1 ") + op + " 2"), Value::Logical(true)) << op;
    EXPECT_EQ(Eval(std::string("'a' ") + op + " 'a'"), Value::Logical(false)) << op;
  }
  // Blanks of every kind separate tokens.
  EXPECT_EQ(Eval("\t1\r\n+\n2 "), Value::Integer(3));
}

TEST(CompilerTest, IifEvaluatesOnlyTheChosenBranch) {
  ErrorLog log;
  EXPECT_EQ(Eval("IIF(.T., 1, UNDEFINED_NAME)"), Value::Integer(1));
  EXPECT_EQ(Eval("if(1 > 2, 1/0, 'b')"), Value::String("b"));
  EXPECT_EQ(Eval("IIF(.F., 1, IIF(.T., 2, 3))"), Value::Integer(2));
  EXPECT_TRUE(log.errors.empty());
  EXPECT_EQ(Eval("IIF(1, 'a', 'b')"), Value::String("b"));
  EXPECT_EQ(log.Last(), "1/1066 IIF");
  // .AND. and .OR. stop once the result is known.
  EXPECT_EQ(Eval(".F. .AND. NOSUCH"), Value::Logical(false));
  EXPECT_EQ(Eval(".T. .OR. NOSUCH"), Value::Logical(true));
  EXPECT_EQ(log.errors.size(), 1u);
}

TEST(CompilerTest, ListsArraysAndIndexing) {
  ErrorLog log;
  EXPECT_EQ(Eval("(1, 2, 3)"), Value::Integer(3));
  EXPECT_EQ(Eval("{1, 'a', .T.}[2]"), Value::String("a"));
  EXPECT_EQ(Eval("LEN({})"), Value::Integer(0));
  EXPECT_EQ(Eval("LEN({1,,3})"), Value::Integer(3));
  EXPECT_EQ(Eval("{{1, 2}, {3, 4}}[2, 1]"), Value::Integer(3));
  EXPECT_EQ(Eval("{1}[2]"), Value::Logical(false));
  EXPECT_EQ(log.Last(), "2/1132 array access");
  Eval("'abc'[1]");
  EXPECT_EQ(log.Last(), "1/1068 array access");
}

TEST(CompilerTest, SideEffectsAreRefused) {
  ErrorLog log;
  GetMemVars().Set("X", Value::Integer(1));
  for (const char* text :
       {"X := 2", "X += 1", "X++", "--X", "{|a| X := a}", "X:Eval()", "::Name", "{|| 1}"}) {
    log.errors.clear();
    Eval(text);
    ASSERT_FALSE(log.errors.empty()) << text;
    EXPECT_TRUE(log.errors.front().gen_code == kErrUnsupported ||
                log.errors.front().gen_code == kErrNoMethod)
        << text << ": " << log.Last();
  }
  EXPECT_EQ(*GetMemVars().Find("X"), Value::Integer(1));
}

TEST(CompilerTest, MacrosCompileVariableText) {
  ErrorLog log;
  GetMemVars().Set("KEYTEXT", Value::String("UPPER(NAME) + 'x'"));
  GetMemVars().Set("NAME", Value::String("ab"));
  EXPECT_EQ(Eval("&KEYTEXT"), Value::String("ABx"));
  EXPECT_EQ(Eval("&KEYTEXT. + '!'"), Value::String("ABx!"));
  EXPECT_EQ(Eval("&('1 + ' + '2')"), Value::Integer(3));
  EXPECT_TRUE(log.errors.empty());
  // A variable that expands to itself stops at the nesting limit.
  GetMemVars().Set("LOOP", Value::String("&LOOP"));
  Eval("&LOOP");
  EXPECT_EQ(log.errors.back().gen_code, kErrCompTooComplex);
  // Fan-out is limited too: 2^16 expansions would take very long.
  log.errors.clear();
  GetMemVars().Set("M0", Value::String("1"));
  for (int i = 1; i <= 16; ++i) {
    const std::string prev = "&M" + std::to_string(i - 1);
    GetMemVars().Set("M" + std::to_string(i), Value::String(prev + " + " + prev));
  }
  Eval("&M16");
  ASSERT_FALSE(log.errors.empty());
  EXPECT_EQ(log.errors.front().gen_code, kErrCompTooComplex);
  log.errors.clear();
  GetMemVars().Set("BAD", Value::String("1 +"));
  EXPECT_EQ(Eval("&BAD"), Value::Logical(false));
  EXPECT_EQ(log.Last(), "7/1449 &");
}

TEST(CompilerTest, SyntaxErrors) {
  for (const char* text :
       {"",     "   ",       "1 +",          "(1",    "1)",      "f(",  "f(1,",
        "1 2",  "a b",       "'abc",         "[abc",  "1 + * 2", ".X.", "a->",
        "a->1", "IIF(1, 2)", "IIF(1,2,3,4)", "IIF()", "(,)",     "1,2", "{1",
        "a[1",  "@",         "x:",           "&",     "& x",     "&1",  "{|a b| 1}",
        "\x01", "1 = = 2",   "f(1)(2)",      ")"}) {
    EXPECT_EQ(SyntaxMessage(text), "parse error") << "[" << text << "]";
  }
  ErrorLog log;
  EXPECT_EQ(Eval("1 +"), Value::Logical(false));
  ASSERT_EQ(log.errors.size(), 1u);
  const Error& e = log.errors[0];
  EXPECT_EQ(e.gen_code, kErrSyntax);
  EXPECT_EQ(e.sub_code, 1449);
  EXPECT_EQ(e.operation, "&");
  EXPECT_EQ(e.subsystem, "BASE");
  ASSERT_EQ(e.args.size(), 1u);
  EXPECT_EQ(e.args[0], Value::String("1 +"));
  // The handler's answer becomes the value.
  log.answer = ErrorAnswer::Substitute(Value::String("KEY"));
  EXPECT_EQ(Eval("UPPER("), Value::String("KEY"));
}

TEST(CompilerTest, NestingLimitAndPathologicalTexts) {
  const std::string deep = std::string(10001, '(') + "1" + std::string(10001, ')');
  EXPECT_EQ(SyntaxMessage(deep), "parser stack overflow");
  const std::string ok = std::string(5000, '(') + "1" + std::string(5000, ')');
  EXPECT_EQ(Eval(ok), Value::Integer(1));
  std::string minuses;
  for (int i = 0; i < 10001; ++i) minuses += "- ";
  EXPECT_EQ(SyntaxMessage(minuses + "1"), "parser stack overflow");
  EXPECT_EQ(SyntaxMessage(std::string(20002, '-') + "1"), "parser stack overflow");
  EXPECT_EQ(SyntaxMessage(std::string(100000, '(')), "parser stack overflow");
  std::string calls;
  for (int i = 0; i < 20000; ++i) calls += "UPPER(";
  EXPECT_EQ(SyntaxMessage(calls + "'a'" + std::string(20000, ')')), "parser stack overflow");
  std::string arrays = std::string(3000, '{') + std::string(3000, '}');
  EXPECT_EQ(Eval("LEN(" + arrays + ")"), Value::Integer(1));

  // Long flat texts compile (their stack stays shallow) and run.
  std::string sum = "1";
  for (int i = 0; i < 200000; ++i) sum += "+1";
  EXPECT_EQ(Eval(sum), Value::Integer(200001));
  std::string args = "LEN({1";
  for (int i = 0; i < 100000; ++i) args += ",1";
  EXPECT_EQ(Eval(args + "})"), Value::Integer(100001));
  std::string names = "0";
  for (int i = 0; i < 50000; ++i) names += "+LEN('" + std::to_string(i) + "')";
  EXPECT_NE(Compile(names), nullptr);
  EXPECT_EQ(SyntaxMessage(std::string(1000000, 'a') + " +"), "parse error");
}

}  // namespace
}  // namespace px::expr
