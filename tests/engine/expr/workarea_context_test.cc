// The evaluator on real tables: the work-area context, compiled blocks and the
// catalogue's text key block.
#include <gtest/gtest.h>

#include "engine/expr/block.h"
#include "engine/expr/eval_text.h"
#include "engine/expr/workarea_context.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "runtime/date.h"
#include "runtime/process_state.h"
#include "tests/engine/expr/fake_context.h"
#include "tests/engine/table_util.h"
#include "tests/test_util.h"

namespace px::expr {
namespace {

using test::ErrorLog;

class WorkAreaContextTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(px::test::CreateTable(
        "cust.dbf",
        {{"NAME", 'C', 10, 0}, {"DUE", 'D', 8, 0}, {"QTY", 'N', 8, 2}, {"CODE", 'C', 4, 0}}));
    ASSERT_TRUE(px::test::CreateTable("orders.dbf", {{"CODE", 'C', 4, 0}, {"TOTAL", 'N', 10, 2}}));
    ASSERT_TRUE(px::test::UseTable("orders"));
    ASSERT_TRUE(DBAPPEND());
    FIELDPUT(1, Value::String("C001"));
    FIELDPUT(2, Value::Double(99.5, 10, 2));
    ASSERT_TRUE(px::test::UseTable("cust"));
    ASSERT_TRUE(DBAPPEND());
    FIELDPUT(1, Value::String("ab"));
    FIELDPUT(3, Value::Double(3.14159, 8, 2));
    FIELDPUT(4, Value::String("C001"));
    ASSERT_TRUE(DBAPPEND());
    FIELDPUT(1, Value::String("Smith"));
    FIELDPUT(2, Value::Date(DateFromYmd(2024, 2, 29)));
    FIELDPUT(3, Value::Integer(-5));
    DBCOMMIT();
  }
  px::test::ScratchDir dir_;
};

TEST_F(WorkAreaContextTest, KeysOfTheCurrentRecord) {
  std::shared_ptr<const CodeBlock> key = CompileBlock("UPPER(NAME) + DTOS(DUE) + STR(QTY, 8, 2)");
  ASSERT_NE(key, nullptr);
  DBGOTO(1);
  EXPECT_EQ(key->Eval(), Value::String("AB        " + std::string(8, ' ') + "    3.14"));
  DBGOTO(2);
  EXPECT_EQ(key->Eval(), Value::String("SMITH     20240229   -5.00"));
  EXPECT_EQ(EvaluateText("RECNO()"), Value::Integer(2));
  EXPECT_EQ(EvaluateText("DELETED()"), Value::Logical(false));
  DBDELETE();
  EXPECT_EQ(EvaluateText("DELETED()"), Value::Logical(true));
}

TEST_F(WorkAreaContextTest, FieldsBeforeVariablesAndAliases) {
  DBGOTO(1);
  GetMemVars().Set("NAME", Value::String("variable"));
  GetMemVars().Set("EXTRA", Value::String("x"));
  EXPECT_EQ(EvaluateText("TRIM(name) + extra + M->NAME"), Value::String("abxvariable"));
  EXPECT_EQ(EvaluateText("ORDERS->CODE + cust->code + FIELD->CODE"), Value::String("C001C001C001"));
  EXPECT_EQ(EvaluateText("STR(orders->total, 6, 1)"), Value::String("  99.5"));
  ErrorLog log;
  EvaluateText("NOPE->CODE");
  EXPECT_EQ(log.Last(), "15/1002 NOPE");
  EvaluateText("ORDERS->NOPE");
  EXPECT_EQ(log.Last(), "14/1003 NOPE");
  EvaluateText("NOPE");
  EXPECT_EQ(log.Last(), "14/1003 NOPE");
  // The selection is unchanged by alias reads.
  EXPECT_EQ(ALIAS(), "CUST");
}

TEST_F(WorkAreaContextTest, TextKeyBlockReadsTheVariablePerEvaluation) {
  std::shared_ptr<const CodeBlock> block = TextKeyBlock("TINDEXKEY");
  GetMemVars().Set("TINDEXKEY", Value::String("UPPER(NAME)"));
  DBGOTO(2);
  EXPECT_EQ(block->Eval(), Value::String("SMITH     "));
  GetMemVars().Set("TINDEXKEY", Value::String("DTOS(DUE)"));
  EXPECT_EQ(block->Eval(), Value::String("20240229"));
  ErrorLog log;
  GetMemVars().Set("TINDEXKEY", Value::String("UPPER(NAME"));
  EXPECT_EQ(block->Eval(), Value::Logical(false));
  EXPECT_EQ(log.Last(), "7/1449 &");
  EXPECT_EQ(block->text(), "TINDEXKEY");
}

TEST_F(WorkAreaContextTest, NoTableInTheCurrentArea) {
  DBSELECTAREA(200);
  ErrorLog log;
  EXPECT_EQ(EvaluateText("RECNO()"), Value::Integer(0));
  EXPECT_EQ(EvaluateText("DELETED()"), Value::Logical(false));
  EvaluateText("NAME");
  EXPECT_EQ(log.Last(), "14/1003 NAME");
  EXPECT_EQ(EvaluateText("CUST->NAME"), Value::String("Smith     "));
}

}  // namespace
}  // namespace px::expr
