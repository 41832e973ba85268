// Field access by position, by name and through an alias; deletion marks and appending.
#include <gtest/gtest.h>

#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "runtime/memvars.h"
#include "runtime/process_state.h"
#include "tests/engine/held_file_env.h"
#include "tests/engine/table_util.h"
#include "tests/test_util.h"

namespace px {
namespace {

using test::RecordedCodes;
using test::ScratchDir;

class FieldsTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(test::CreateTable(
        "cust.dbf", {test::Field("CODE", 'C', 6), test::Field("BALANCE", 'N', 9, 2)}));
    ASSERT_TRUE(test::CreateTable("ord.dbf", {test::Field("CODE", 'C', 6)}));
    ASSERT_TRUE(test::UseTable("cust"));
    ASSERT_TRUE(DBAPPEND());
    FIELDPUT(1, Value::String("SMITH"));
    FIELDPUT(2, Value::Double(12.5));
    ASSERT_TRUE(test::UseTable("ord"));
  }
  ScratchDir dir_;
  test::HeldFileEnv files_;
  ScopedEnv files_scope_{&files_};
};

TEST_F(FieldsTest, FieldPositionsByName) {
  DBSELECTAREA("cust");
  EXPECT_EQ(FIELDPOS("balance"), 2);
  EXPECT_EQ(FIELDPOS("CODE   "), 1);
  EXPECT_EQ(FIELDPOS("BALANCEXXXX"), 0);
  EXPECT_EQ(FIELDPOS("nosuch"), 0);
  EXPECT_EQ(FIELDNAME(2), "BALANCE");
  EXPECT_EQ(FIELDNAME(3), "");
  EXPECT_EQ(FCOUNT(), 2);
  // Names longer than ten characters are cut before the comparison.
  ASSERT_TRUE(test::CreateTable("long.dbf", {test::Field("ABCDEFGHIJ", 'C', 1)}));
  ASSERT_TRUE(test::UseTable("long"));
  EXPECT_EQ(FIELDPOS("abcdefghijklm"), 1);
}

TEST_F(FieldsTest, PositionsOutsideTheFieldsGiveNil) {
  DBSELECTAREA("cust");
  EXPECT_EQ(FIELDGET(0), Value());
  EXPECT_EQ(FIELDGET(3), Value());
  EXPECT_EQ(FIELDPUT(-1, Value::String("x")), Value());
  EXPECT_TRUE(RecordedErrors().empty());
  EXPECT_EQ(FIELDPUT(1, Value::String("JONES")), Value::String("JONES"));
  EXPECT_EQ(FIELDGET(1), Value::String("JONES "));
}

TEST_F(FieldsTest, AliasFieldAccessSelectsTheAreaForTheAccessOnly) {
  EXPECT_EQ(SELECT(), 2);
  EXPECT_EQ(AliasFieldGet("CUST", "balance"), Value::Double(12.5));
  EXPECT_EQ(AliasFieldGet("a", "code"), Value::String("SMITH "));
  EXPECT_EQ(AliasFieldGet("1", "code"), Value::String("SMITH "));
  EXPECT_EQ(SELECT(), 2);
  AliasFieldPut("cust", "CODE", Value::String("BROWN"));
  EXPECT_EQ(SELECT(), 2);
  DBSELECTAREA("cust");
  EXPECT_EQ(FIELDGET(1), Value::String("BROWN "));

  // FIELD-> is the current area, M-> and MEMVAR-> the memory variables.
  EXPECT_EQ(AliasFieldGet("field", "code"), Value::String("BROWN "));
  GetMemVars().Set("cTarget", Value::String("C:\\PX"));
  EXPECT_EQ(AliasFieldGet("m", "CTARGET"), Value::String("C:\\PX"));
  EXPECT_EQ(AliasFieldGet("MEMVAR", "ctarget"), Value::String("C:\\PX"));
  AliasFieldPut("memv", "nCount", Value::Integer(3));
  EXPECT_EQ(*GetMemVars().Find("NCOUNT"), Value::Integer(3));
  EXPECT_TRUE(RecordedErrors().empty());
}

TEST_F(FieldsTest, MissingFieldsAndAliasesRaiseRetryableErrors) {
  EXPECT_EQ(AliasFieldGet("cust", "nosuch"), Value());
  EXPECT_EQ(AliasFieldGet("nosuch", "code"), Value());
  EXPECT_EQ(AliasFieldGet("M", "novar"), Value());
  ASSERT_EQ(RecordedCodes(), (std::vector<std::string>{"14/1003", "15/1002", "14/1003"}));
  EXPECT_EQ(RecordedErrors()[0].subsystem, "BASE");
  EXPECT_EQ(RecordedErrors()[0].operation, "nosuch");
  EXPECT_TRUE(RecordedErrors()[0].can_retry);
  EXPECT_EQ(SELECT(), 2);

  // The look-up is repeated while the handler answers retry.
  int calls = 0;
  ScopedErrorHandler handler([&](Error&) {
    if (++calls == 3) GetMemVars().Set("LATE", Value::Integer(7));
    return ErrorAnswer::Retry();
  });
  EXPECT_EQ(AliasFieldGet("M", "late"), Value::Integer(7));
  EXPECT_EQ(calls, 3);
}

TEST_F(FieldsTest, DeletionMarks) {
  DBSELECTAREA("cust");
  DBGOTOP();
  EXPECT_FALSE(DELETED());
  DBDELETE();
  EXPECT_TRUE(DELETED());
  FIELDPUT(1, Value::String("X"));  // a put keeps the mark
  DBCOMMIT();
  EXPECT_EQ(files_.Bytes(dir_.File("cust.dbf")).substr(98, 2), "*X");
  DBRECALL();
  EXPECT_FALSE(DELETED());
  DBCOMMIT();
  EXPECT_EQ(files_.Bytes(dir_.File("cust.dbf")).substr(98, 2), " X");
  // On the record past the end nothing happens.
  DBGOTO(2);
  DBDELETE();
  EXPECT_FALSE(DELETED());
  EXPECT_EQ(FIELDPUT(1, Value::String("GHOST")), Value::String("GHOST"));
  EXPECT_EQ(FIELDGET(1), Value::String("      "));
  EXPECT_EQ(RECCOUNT(), 1u);
  EXPECT_TRUE(RecordedErrors().empty());
}

TEST_F(FieldsTest, AppendAddsABlankRecord) {
  DBSELECTAREA("cust");
  NETERR(true);
  ASSERT_TRUE(DBAPPEND());
  EXPECT_FALSE(NETERR());
  EXPECT_EQ(RECNO(), 2u);
  EXPECT_EQ(RECCOUNT(), 2u);
  EXPECT_FALSE(EOF_());
  EXPECT_FALSE(BOF());
  EXPECT_EQ(FIELDGET(1), Value::String("      "));
  EXPECT_EQ(FIELDGET(2), Value::Double(0));
  FIELDPUT(2, Value::Integer(-3));
  DBGOTOP();
  DBSKIP();
  EXPECT_EQ(FIELDGET(2), Value::Double(-3));
  EXPECT_EQ(NETERR(false), false);
}

}  // namespace
}  // namespace px
