// The work-area registry: selection, aliases, opening and closing areas.
#include <gtest/gtest.h>

#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "runtime/env.h"
#include "runtime/process_state.h"
#include "runtime/settings.h"
#include "tests/engine/held_file_env.h"
#include "tests/engine/table_util.h"
#include "tests/test_util.h"

namespace px {
namespace {

using test::CreateTable;
using test::Field;
using test::RecordedCodes;
using test::ScratchDir;
using test::UseTable;

class RegistryTest : public testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"quotes.dbf", "indexdef.dbf", "customer.dbf"}) {
      ASSERT_TRUE(CreateTable(name, {Field("CODE", 'C', 4)}));
    }
  }
  ScratchDir dir_;
  test::HeldFileEnv files_;
  ScopedEnv files_scope_{&files_};
};

TEST_F(RegistryTest, SelectingByNumberLetterAndText) {
  ASSERT_TRUE(UseTable("quotes"));
  ASSERT_TRUE(UseTable("customer"));
  EXPECT_EQ(SELECT(), 2);
  DBSELECTAREA(Value::Integer(0));
  EXPECT_EQ(SELECT(), 3);
  DBSELECTAREA(1);
  DBSELECTAREA(Value::Integer(70000));
  EXPECT_EQ(SELECT(), 3);
  DBSELECTAREA(1);
  DBSELECTAREA("0");
  EXPECT_EQ(SELECT(), 3);
  DBSELECTAREA("12");
  EXPECT_EQ(SELECT(), 12);
  EXPECT_FALSE(USED());
  DBSELECTAREA("m");
  EXPECT_EQ(SELECT(), 3);
  DBSELECTAREA("b");
  EXPECT_EQ(SELECT(), 2);
  EXPECT_EQ(ALIAS(), "CUSTOMER");
  DBSELECTAREA("K");
  EXPECT_EQ(SELECT(), 11);
  DBSELECTAREA("Quotes");
  EXPECT_EQ(SELECT(), 1);
  DBSELECTAREA(Value::Double(2.7));
  EXPECT_EQ(SELECT(), 2);
  DBSELECTAREA(Value());
  EXPECT_EQ(SELECT(), 3);
  DBSELECTAREA("65535");
  EXPECT_EQ(SELECT(), 65535);
  DBSELECTAREA("65536");
  EXPECT_EQ(SELECT(), 3);
  EXPECT_TRUE(RecordedErrors().empty());
}

TEST_F(RegistryTest, SelectOfAnAliasTellsWhetherItIsOpen) {
  EXPECT_EQ(SELECT("indexdef"), 0);
  DBSELECTAREA(5);
  ASSERT_TRUE(DBUSEAREA(false, "", "indexdef"));
  EXPECT_EQ(SELECT("indexdef"), 5);
  EXPECT_EQ(SELECT("INDEXDEF"), 5);
  EXPECT_EQ(SELECT("b"), 2);
  EXPECT_EQ(SELECT(""), 0);
  EXPECT_EQ(SELECT(Value::Integer(5)), 0);
  DBSELECTAREA(1);
  EXPECT_EQ(SELECT("indexdef"), 5);
  EXPECT_EQ(SELECT(), 1);
  EXPECT_EQ(ALIAS(5), "INDEXDEF");
  EXPECT_EQ(ALIAS(4), "");
}

TEST_F(RegistryTest, AnUnknownAliasRaisesAndKeepsTheSelection) {
  DBSELECTAREA(7);
  DBSELECTAREA("nosuch");
  EXPECT_EQ(SELECT(), 7);
  ASSERT_EQ(RecordedErrors().size(), 1u);
  const Error& e = RecordedErrors()[0];
  EXPECT_EQ(e.subsystem, "BASE");
  EXPECT_EQ(e.gen_code, kErrNoAlias);
  EXPECT_EQ(e.sub_code, 1002);
  EXPECT_EQ(e.operation, "nosuch");
  EXPECT_TRUE(e.can_retry);

  // While the handler answers retry the alias is looked up again.
  int calls = 0;
  ScopedErrorHandler handler([&](Error&) {
    if (++calls == 2) {
      const uint16_t saved = CurrentAreaNumber();
      UseTable("quotes", "later");
      DBSELECTAREA(static_cast<int>(saved));
    }
    return ErrorAnswer::Retry();
  });
  DBSELECTAREA("later");
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(ALIAS(), "LATER");
}

TEST_F(RegistryTest, AliasRules) {
  // The base name of the file is the default alias.
  GetEnv()->MakeDir("sub");
  ASSERT_TRUE(CreateTable("sub\\Orders.dbf", {Field("A", 'C', 1)}));
  ASSERT_TRUE(UseTable("sub\\Orders.dbf"));
  EXPECT_EQ(ALIAS(), "ORDERS");
  ASSERT_TRUE(UseTable("quotes.dbf"));
  EXPECT_EQ(ALIAS(), "QUOTES");
  // The same alias again is refused before anything is opened.
  const int before = SELECT();
  EXPECT_FALSE(UseTable("customer", "quotes"));
  EXPECT_EQ(RecordedCodes(), std::vector<std::string>{"18/1011"});
  EXPECT_EQ(RecordedErrors()[0].subsystem, "DBCMD");
  EXPECT_EQ(SELECT(), before);
  EXPECT_FALSE(NETERR());

  ClearRecordedErrors();
  EXPECT_TRUE(UseTable("customer", "L", /*shared=*/true));
  EXPECT_TRUE(UseTable("customer", "n", /*shared=*/true));
  EXPECT_TRUE(UseTable("customer", "_", /*shared=*/true));
  for (const char* reserved : {"A", "k", "M", "m", "!"}) {
    EXPECT_FALSE(UseTable("customer", reserved, /*shared=*/true)) << reserved;
  }
  EXPECT_EQ(RecordedCodes(), std::vector<std::string>(5, "18/1011"));

  ClearRecordedErrors();
  EXPECT_FALSE(UseTable("customer", "1st"));
  EXPECT_EQ(RecordedCodes(), std::vector<std::string>{"17/1010"});
  ClearRecordedErrors();
  EXPECT_FALSE(UseTable("customer", " lead"));
  EXPECT_EQ(RecordedCodes(), std::vector<std::string>{"17/1010"});

  // Aliases are cut at a blank and kept as at most 32 characters.
  ASSERT_TRUE(UseTable("customer", "my alias", /*shared=*/true));
  EXPECT_EQ(ALIAS(), "MY");
  EXPECT_EQ(SELECT("my"), SELECT());
  const std::string long_alias(40, 'x');
  ASSERT_TRUE(UseTable("customer", long_alias, /*shared=*/true));
  EXPECT_EQ(ALIAS(), std::string(32, 'X'));
}

TEST_F(RegistryTest, UseAreaChecks) {
  EXPECT_FALSE(DBUSEAREA(true, "", ""));
  EXPECT_FALSE(DBUSEAREA(true, "NOSUCH", "quotes"));
  EXPECT_EQ(RecordedCodes(), (std::vector<std::string>{"1/1005", "1/1015"}));
  EXPECT_EQ(RecordedErrors()[0].operation, "DBUSEAREA");
  EXPECT_EQ(RecordedErrors()[1].subsystem, "DBCMD");
  EXPECT_FALSE(USED());

  // The driver name decides the subsystem of the area's errors.
  ASSERT_TRUE(DBUSEAREA(true, "dbf", "quotes"));
  std::string name;
  CurrentArea()->SysName(&name);
  EXPECT_EQ(name, "DBF");

  // Without the new-area flag the table in the current area is closed first.
  ASSERT_TRUE(DBUSEAREA(false, "", "customer"));
  EXPECT_EQ(SELECT(), 1);
  EXPECT_EQ(ALIAS(), "CUSTOMER");
  EXPECT_EQ(SELECT("quotes"), 0);
}

TEST_F(RegistryTest, AFailedOpenLeavesTheSlotEmpty) {
  ASSERT_TRUE(UseTable("quotes"));
  EXPECT_FALSE(UseTable("missing"));
  EXPECT_TRUE(NETERR());
  EXPECT_EQ(SELECT(), 2);
  EXPECT_FALSE(USED());
  EXPECT_EQ(SELECT("missing"), 0);
  EXPECT_EQ(OpenAreas().size(), 1u);
  // The next open clears the flag.
  EXPECT_TRUE(UseTable("customer"));
  EXPECT_FALSE(NETERR());
  EXPECT_EQ(SELECT(), 2);
}

TEST_F(RegistryTest, ClosingAreas) {
  ASSERT_TRUE(UseTable("quotes"));
  ASSERT_TRUE(UseTable("customer"));
  ASSERT_TRUE(UseTable("indexdef"));
  DBSELECTAREA(2);
  DBCLOSEAREA();
  EXPECT_EQ(SELECT(), 2);
  EXPECT_FALSE(USED());
  EXPECT_EQ(SELECT("customer"), 0);
  DBCLOSEAREA();  // nothing happens on an empty slot
  EXPECT_TRUE(RecordedErrors().empty());
  ASSERT_TRUE(UseTable("customer"));
  EXPECT_EQ(SELECT(), 2);
  std::vector<uint16_t> numbers;
  for (WorkArea* a : OpenAreas()) numbers.push_back(a->area_number());
  EXPECT_EQ(numbers, (std::vector<uint16_t>{1, 2, 3}));

  DBSELECTAREA(3);
  DBCLOSEALL();
  EXPECT_EQ(SELECT(), 1);
  EXPECT_FALSE(USED());
  EXPECT_TRUE(OpenAreas().empty());
  EXPECT_EQ(SELECT("quotes"), 0);
  ASSERT_TRUE(UseTable("quotes"));
  EXPECT_EQ(SELECT(), 1);
}

TEST_F(RegistryTest, AreasAreKeptInNumberOrderAcrossTheWholeRange) {
  for (int number : {300, 5, 65535, 256, 1}) {
    DBSELECTAREA(number);
    ASSERT_TRUE(DBUSEAREA(false, "", "quotes", "q" + std::to_string(number), /*shared=*/true));
  }
  std::vector<uint16_t> numbers;
  for (WorkArea* a : OpenAreas()) numbers.push_back(a->area_number());
  EXPECT_EQ(numbers, (std::vector<uint16_t>{1, 5, 256, 300, 65535}));
  DBSELECTAREA(0);
  EXPECT_EQ(SELECT(), 2);
  EXPECT_EQ(AreaByNumber(300)->alias(), "Q300");
  DBSELECTAREA("q256");
  DBCLOSEAREA();
  EXPECT_EQ(AreaByNumber(300)->alias(), "Q300");
  EXPECT_EQ(AreaByNumber(65535)->alias(), "Q65535");
  EXPECT_EQ(AreaByNumber(256), nullptr);
}

TEST_F(RegistryTest, CommitAll) {
  DBSELECTAREA(4);
  DBCOMMITALL();
  EXPECT_EQ(SELECT(), 4);
  EXPECT_TRUE(RecordedErrors().empty());

  ASSERT_TRUE(UseTable("quotes"));
  ASSERT_TRUE(DBAPPEND());
  FIELDPUT(1, Value::String("q1"));
  ASSERT_TRUE(UseTable("customer"));
  ASSERT_TRUE(DBAPPEND());
  FIELDPUT(1, Value::String("c1"));
  DBSELECTAREA(9);
  DBCOMMITALL();
  EXPECT_EQ(SELECT(), 9);
  EXPECT_EQ(files_.Bytes(dir_.File("quotes.dbf")).substr(32 + 32 + 2, 6), " q1  \x1A");
  EXPECT_EQ(files_.Bytes(dir_.File("customer.dbf")).substr(66, 6), " c1  \x1A");

  DBCOMMIT();
  EXPECT_EQ(RecordedCodes(), std::vector<std::string>{"35/2001"});
  EXPECT_EQ(RecordedErrors()[0].operation, "DBCOMMIT");
}

}  // namespace
}  // namespace px
