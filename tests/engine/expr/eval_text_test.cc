// Evaluating text in one step, and the text key of catalogue-driven indexes.
#include <gtest/gtest.h>

#include "engine/expr/eval_text.h"
#include "tests/engine/expr/fake_context.h"

namespace px::expr {
namespace {

using test::ErrorLog;
using test::FakeContext;

TEST(EvalTextTest, SyntaxErrorAnswerBecomesTheValue) {
  FakeContext ctx;
  ErrorLog log;
  log.answer = ErrorAnswer::Retry();  // not retryable: taken as default
  EXPECT_EQ(EvaluateText("UPPER(", ctx), Value::Logical(false));
  EXPECT_FALSE(log.errors[0].can_retry);
  EXPECT_TRUE(log.errors[0].can_default);
  log.answer = ErrorAnswer::Substitute(Value::String("ZZ"));
  EXPECT_EQ(EvaluateText("))", ctx), Value::String("ZZ"));
  EXPECT_EQ(log.errors.size(), 2u);
}

TEST(EvalTextTest, VariableTextIsCompiledOncePerText) {
  FakeContext ctx;
  TextCache cache;
  ctx.Set("NAME", Value::String("ab"));
  GetMemVars().Set("TINDEXKEY", Value::String("UPPER(NAME)"));
  EXPECT_EQ(EvaluateVariableText("TINDEXKEY", ctx, &cache), Value::String("AB"));
  const Program* first = cache.program.get();
  ctx.Set("NAME", Value::String("cd"));
  EXPECT_EQ(EvaluateVariableText("tindexkey", ctx, &cache), Value::String("CD"));
  EXPECT_EQ(cache.program.get(), first);
  GetMemVars().Set("TINDEXKEY", Value::String("NAME + 'x'"));
  EXPECT_EQ(EvaluateVariableText("TINDEXKEY", ctx, &cache), Value::String("cdx"));

  ErrorLog log;
  GetMemVars().Set("TINDEXKEY", Value::String("NAME +"));
  EXPECT_EQ(EvaluateVariableText("TINDEXKEY", ctx, &cache), Value::Logical(false));
  EXPECT_EQ(EvaluateVariableText("TINDEXKEY", ctx, &cache), Value::Logical(false));
  EXPECT_EQ(log.errors.size(), 2u);  // raised for every key, compiled once
  EXPECT_EQ(log.Last(), "7/1449 &");
  GetMemVars().Set("TINDEXKEY", Value::Integer(1));
  EvaluateVariableText("TINDEXKEY", ctx, &cache);
  EXPECT_EQ(log.Last(), "1/1065 &");
  GetMemVars().Release("TINDEXKEY");
  EXPECT_EQ(EvaluateVariableText("TINDEXKEY", ctx, &cache), Value());
  EXPECT_EQ(log.Last(), "14/1003 TINDEXKEY");
}

}  // namespace
}  // namespace px::expr
