// Navigation of a work area: top, bottom, goto and skip, with the deleted setting, a
// filter and the record past the end.
#include <gtest/gtest.h>

#include <memory>

#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "runtime/process_state.h"
#include "runtime/settings.h"
#include "tests/engine/table_util.h"
#include "tests/test_util.h"

namespace px {
namespace {

using test::RecordedCodes;
using test::ScratchDir;

class NavigationTest : public testing::Test {
 protected:
  // A table of n records numbered 1..n in field N; the given records are deleted.
  void Make(int n, const std::vector<int>& deleted = {}) {
    ASSERT_TRUE(test::CreateTable("nav.dbf", {test::Field("N", 'N', 3)}));
    ASSERT_TRUE(test::UseTable("nav"));
    for (int i = 1; i <= n; ++i) {
      ASSERT_TRUE(DBAPPEND());
      FIELDPUT(1, Value::Integer(i));
    }
    for (int r : deleted) {
      DBGOTO(static_cast<uint32_t>(r));
      DBDELETE();
    }
    DBCOMMIT();
  }
  // Record number, BOF and EOF as one text, e.g. "3" or "6 eof" or "1 bof".
  static std::string Where() {
    std::string s = std::to_string(RECNO());
    if (BOF()) s += " bof";
    if (EOF_()) s += " eof";
    return s;
  }
  ScratchDir dir_;
};

TEST_F(NavigationTest, NaturalOrderWithEverythingVisible) {
  Make(5, {2});
  DBGOTOP();
  EXPECT_EQ(Where(), "1");
  DBSKIP();
  EXPECT_EQ(Where(), "2");  // deleted records are visible with the setting off
  DBSKIP(3);
  EXPECT_EQ(Where(), "5");
  DBSKIP();
  EXPECT_EQ(Where(), "6 eof");
  EXPECT_EQ(FIELDGET(1), Value::Integer(0));  // the blank record
  DBSKIP();
  EXPECT_EQ(Where(), "6 eof");
  DBSKIP(-1);
  EXPECT_EQ(Where(), "5");
  DBGOBOTTOM();
  EXPECT_EQ(Where(), "5");
  DBGOTOP();
  DBSKIP(-1);
  EXPECT_EQ(Where(), "1 bof");
  DBSKIP(-10);
  EXPECT_EQ(Where(), "1 bof");
  DBSKIP(2);
  EXPECT_EQ(Where(), "3");
  DBSKIP(-100);
  EXPECT_EQ(Where(), "1 bof");
  DBSKIP(100);
  EXPECT_EQ(Where(), "6 eof");
}

TEST_F(NavigationTest, DeletedRecordsAreHiddenWhenTheSettingIsOn) {
  Make(6, {1, 3, 6});
  GetSettings().deleted = true;
  DBGOTOP();
  EXPECT_EQ(Where(), "2");
  DBSKIP();
  EXPECT_EQ(Where(), "4");
  DBSKIP();
  EXPECT_EQ(Where(), "5");
  DBSKIP();
  EXPECT_EQ(Where(), "7 eof");
  DBGOBOTTOM();
  EXPECT_EQ(Where(), "5");
  DBSKIP(-2);
  EXPECT_EQ(Where(), "2");
  DBSKIP(-1);
  EXPECT_EQ(Where(), "2 bof");
  DBSKIP(2);
  EXPECT_EQ(Where(), "5");
  // DBGOTO still goes to a deleted record.
  DBGOTO(3);
  EXPECT_EQ(Where(), "3");
  EXPECT_TRUE(DELETED());
  DBSKIP(0);
  EXPECT_EQ(Where(), "3");
}

TEST_F(NavigationTest, AllRecordsDeleted) {
  Make(3, {1, 2, 3});
  GetSettings().deleted = true;
  DBGOTOP();
  EXPECT_TRUE(EOF_());
  EXPECT_EQ(RECNO(), RECCOUNT() + 1);
  DBGOBOTTOM();
  EXPECT_TRUE(EOF_());
  EXPECT_EQ(RECNO(), 4u);
  DBSKIP(-1);
  EXPECT_TRUE(EOF_());
  EXPECT_TRUE(BOF());
  DBSKIP(1);
  EXPECT_TRUE(EOF_());
  DBGOTO(2);
  EXPECT_EQ(Where(), "2");
}

TEST_F(NavigationTest, EmptyTable) {
  Make(0);
  EXPECT_EQ(Where(), "1 bof eof");
  DBGOTOP();
  EXPECT_EQ(Where(), "1 bof eof");
  DBGOBOTTOM();
  EXPECT_EQ(Where(), "1 bof eof");
  DBSKIP(-1);
  EXPECT_EQ(Where(), "1 bof eof");
  DBSKIP(1);
  EXPECT_EQ(Where(), "1 eof");
}

TEST_F(NavigationTest, FilterHidesRecords) {
  Make(6, {4});
  auto odd = std::make_shared<CodeBlock>(
      [](const std::vector<Value>&) { return Value::Logical(FIELDGET(1).integer() % 2 == 1); },
      "N % 2 = 1");
  ASSERT_TRUE(CurrentArea()->SetFilter(odd, "N % 2 = 1"));
  DBGOTOP();
  EXPECT_EQ(Where(), "1");
  DBSKIP();
  EXPECT_EQ(Where(), "3");
  DBSKIP();
  EXPECT_EQ(Where(), "5");
  DBSKIP();
  EXPECT_EQ(Where(), "7 eof");
  DBGOBOTTOM();
  EXPECT_EQ(Where(), "5");
  // A filter yielding something other than a logical hides nothing.
  auto nil = std::make_shared<CodeBlock>([](const std::vector<Value>&) { return Value(); }, "");
  CurrentArea()->SetFilter(nil, "");
  GetSettings().deleted = true;
  DBGOTOP();
  DBSKIP(3);
  EXPECT_EQ(Where(), "5");
  std::string text;
  CurrentArea()->ClearFilter();
  CurrentArea()->FilterText(&text);
  EXPECT_EQ(text, "");
}

TEST_F(NavigationTest, GotoArguments) {
  Make(3);
  DBGOTO(Value::Double(2.0));
  EXPECT_EQ(Where(), "2");
  EXPECT_FALSE(FOUND());
  DBGOTO(Value::Integer(0));
  EXPECT_EQ(Where(), "4 bof eof");
  DBGOTO(Value::Integer(99));
  EXPECT_EQ(Where(), "4 bof eof");
  DBGOTO(Value::Integer(-5));
  EXPECT_EQ(Where(), "4 bof eof");
  DBGOTO(Value::String("\x02"));
  EXPECT_EQ(Where(), "2");
  EXPECT_TRUE(RecordedErrors().empty());

  DBGOTO(Value());
  DBGOTO(Value::Logical(true));
  DBGOTO(Value::String("12"));
  EXPECT_EQ(RecordedCodes(), (std::vector<std::string>{"1/1003", "33/1020", "33/1020"}));
  EXPECT_EQ(RecordedErrors()[0].subsystem, "DBCMD");
  EXPECT_EQ(RecordedErrors()[0].operation, "DBGOTO");
  EXPECT_EQ(RecordedErrors()[1].subsystem, "DBFNTX");
  EXPECT_EQ(Where(), "2");
}

TEST_F(NavigationTest, EmptySlotGivesNeutralResultsOrErrors) {
  DBSELECTAREA(3);
  EXPECT_TRUE(EOF_());
  EXPECT_TRUE(BOF());
  EXPECT_FALSE(FOUND());
  EXPECT_EQ(RECNO(), 0u);
  EXPECT_EQ(RECCOUNT(), 0u);
  EXPECT_FALSE(DELETED());
  EXPECT_EQ(FCOUNT(), 0);
  EXPECT_EQ(FIELDPOS("N"), 0);
  EXPECT_EQ(FIELDGET(1), Value());
  EXPECT_EQ(FIELDPUT(1, Value::Integer(1)), Value());
  EXPECT_TRUE(RecordedErrors().empty());

  DBGOTOP();
  DBGOBOTTOM();
  DBGOTO(1);
  DBSKIP();
  DBDELETE();
  DBRECALL();
  EXPECT_FALSE(DBSEEK(Value::String("x")));
  EXPECT_FALSE(DBAPPEND());
  EXPECT_FALSE(NETERR());  // no append was tried
  std::vector<std::string> operations;
  for (const Error& e : RecordedErrors()) {
    EXPECT_EQ(e.gen_code, kErrNoTable);
    EXPECT_EQ(e.sub_code, 2001);
    EXPECT_EQ(e.subsystem, "DBCMD");
    EXPECT_TRUE(e.can_default);
    operations.push_back(e.operation);
  }
  EXPECT_EQ(operations, (std::vector<std::string>{"DBGOTOP", "DBGOBOTTOM", "DBGOTO", "DBSKIP",
                                                  "DBDELETE", "DBRECALL", "DBSEEK", "DBAPPEND"}));
}

TEST_F(NavigationTest, SeekValidatesItsKey) {
  Make(1);
  EXPECT_FALSE(DBSEEK(Value()));
  EXPECT_EQ(RecordedCodes(), std::vector<std::string>{"1/1001"});
  EXPECT_EQ(RecordedErrors()[0].operation, "DBSEEK");
}

}  // namespace
}  // namespace px
