// Name resolution when run: fields, memory variables, aliases and their errors.
#include <gtest/gtest.h>

#include "engine/expr/compiler.h"
#include "engine/expr/eval_text.h"
#include "engine/expr/evaluator.h"
#include "tests/engine/expr/fake_context.h"

namespace px::expr {
namespace {

using test::ErrorLog;
using test::FakeContext;
using test::FakeRecord;

TEST(NamesTest, FieldBeforeVariable) {
  FakeContext ctx;
  ctx.Set("NAME", Value::String("field"));
  GetMemVars().Set("name", Value::String("variable"));
  GetMemVars().Set("Other", Value::String("other"));
  EXPECT_EQ(EvaluateText("name", ctx), Value::String("field"));
  EXPECT_EQ(EvaluateText("Name + OTHER", ctx), Value::String("fieldother"));
  EXPECT_EQ(EvaluateText("M->NAME", ctx), Value::String("variable"));
  EXPECT_EQ(EvaluateText("memvar->name", ctx), Value::String("variable"));
  EXPECT_EQ(EvaluateText("FIELD->NAME", ctx), Value::String("field"));
  EXPECT_EQ(EvaluateText("_FIELD->name", ctx), Value::String("field"));
}

TEST(NamesTest, NamesAreResolvedWhenRun) {
  FakeContext ctx;
  std::shared_ptr<const Program> p = Compile("QTY * 2");
  ASSERT_NE(p, nullptr);
  GetMemVars().Set("QTY", Value::Integer(1));
  EXPECT_EQ(expr::Run(*p, ctx), Value::Integer(2));
  ctx.Set("QTY", Value::Integer(5));
  EXPECT_EQ(expr::Run(*p, ctx), Value::Integer(10));
}

TEST(NamesTest, MissingNamesRaiseWithRetry) {
  FakeContext ctx;
  ErrorLog log;
  EXPECT_EQ(EvaluateText("NOSUCH", ctx), Value());
  EXPECT_EQ(log.Last(), "14/1003 NOSUCH");
  EXPECT_TRUE(log.errors[0].can_retry);
  EXPECT_EQ(EvaluateText("FIELD->NOSUCH", ctx), Value());
  EXPECT_EQ(log.Last(), "14/1003 NOSUCH");
  EXPECT_EQ(EvaluateText("M->NOSUCH", ctx), Value());
  EXPECT_EQ(log.Last(), "14/1003 NOSUCH");

  // Retry repeats the look-up: the handler creates the variable, then it is found.
  log.errors.clear();
  ScopedErrorHandler retry([&](Error& e) {
    log.errors.push_back(e);
    GetMemVars().Set("LATE", Value::Integer(3));
    return ErrorAnswer::Retry();
  });
  EXPECT_EQ(EvaluateText("LATE + 1", ctx), Value::Integer(4));
  EXPECT_EQ(log.errors.size(), 1u);
}

TEST(NamesTest, AliasFields) {
  FakeContext ctx;
  FakeRecord cust;
  cust.fields.emplace_back("CODE", Value::String("C1"));
  ctx.aliases["CUSTOMER"] = cust;
  ctx.Set("CODE", Value::String("own"));
  EXPECT_EQ(EvaluateText("customer->code", ctx), Value::String("C1"));
  EXPECT_EQ(EvaluateText("Customer->Code + CODE", ctx), Value::String("C1own"));
  ErrorLog log;
  EXPECT_EQ(EvaluateText("NOALIAS->CODE", ctx), Value());
  EXPECT_EQ(log.Last(), "15/1002 NOALIAS");
  EXPECT_TRUE(log.errors.back().can_retry);
  EXPECT_EQ(EvaluateText("CUSTOMER->NOFIELD", ctx), Value());
  EXPECT_EQ(log.Last(), "14/1003 NOFIELD");
  log.answer = ErrorAnswer::Substitute(Value::String("sub"));
  EXPECT_EQ(EvaluateText("NOALIAS->CODE", ctx), Value::String("sub"));
}

TEST(NamesTest, FunctionNamesAreNotLookedUpAsVariables) {
  FakeContext ctx;
  ctx.Set("UPPER", Value::String("field"));
  EXPECT_EQ(EvaluateText("UPPER('a') + UPPER", ctx), Value::String("Afield"));
}

}  // namespace
}  // namespace px::expr
