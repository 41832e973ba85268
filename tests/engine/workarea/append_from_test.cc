// DBAPP: appending the records of a table file by field name across structures.
#include <gtest/gtest.h>

#include "engine/dbf/dbf_area.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "engine/workarea/structure.h"
#include "runtime/date.h"
#include "runtime/process_state.h"
#include "runtime/settings.h"
#include "tests/engine/table_util.h"
#include "tests/test_util.h"

namespace px {
namespace {

using test::CreateTable;
using test::Field;
using test::ReadFileBytes;
using test::RecordedCodes;
using test::ScratchDir;
using test::UseTable;

// The stored bytes of a field of the current record.
std::string Stored(const char* name) {
  auto* area = dynamic_cast<DbfArea*>(CurrentArea());
  std::string rec;
  EXPECT_TRUE(area->GetRecord(&rec));
  const DbfField& f = area->fields()[FIELDPOS(name) - 1];
  return rec.substr(f.offset, f.len);
}

Value Get(const char* name) {
  return FIELDGET(FIELDPOS(name));
}

class AppendFromTest : public testing::Test {
 protected:
  // The old table of the example: CODE C 5, QTY N 5.0, OLD C 10.
  void MakeOld(const std::vector<std::tuple<std::string, int, bool>>& records) {
    ASSERT_TRUE(CreateTable("old.dbf",
                            {Field("CODE", 'C', 5), Field("QTY", 'N', 5), Field("OLD", 'C', 10)}));
    ASSERT_TRUE(UseTable("old"));
    for (const auto& [code, qty, deleted] : records) {
      ASSERT_TRUE(DBAPPEND());
      FIELDPUT(1, Value::String(code));
      FIELDPUT(2, Value::Integer(qty));
      FIELDPUT(3, Value::String("dropped"));
      if (deleted) DBDELETE();
    }
    DBCLOSEAREA();
  }
  // A new table of the given fields, open in the current area.
  void MakeNew(const std::vector<FieldDef>& fields) {
    ASSERT_TRUE(CreateTable("new.dbf", fields));
    ASSERT_TRUE(UseTable("new"));
  }
  ScratchDir dir_;
};

TEST_F(AppendFromTest, FieldsAreMatchedByNameAndFittedToTheNewStructure) {
  MakeOld({{"A1", 12, false}, {"B2", -3, false}});
  MakeNew({Field("CODE", 'C', 8), Field("QTY", 'N', 7, 2), Field("NEW", 'D', 8)});
  EXPECT_EQ(DBAPP(Value::String("old")), 2u);
  EXPECT_EQ(RECCOUNT(), 2u);
  DBGOTO(1);
  EXPECT_EQ(Stored("CODE"), "A1      ");
  EXPECT_EQ(Stored("QTY"), "  12.00");
  EXPECT_EQ(Stored("NEW"), "        ");
  EXPECT_EQ(FIELDPOS("OLD"), 0);
  DBGOTO(2);
  EXPECT_EQ(Stored("QTY"), "  -3.00");
  EXPECT_TRUE(RecordedErrors().empty());
  // The source was opened in an area of its own and is closed again.
  EXPECT_EQ(OpenAreas().size(), 1u);
  EXPECT_EQ(ALIAS(), "NEW");
  EXPECT_EQ(SELECT("__TMPAREA"), 0);
}

TEST_F(AppendFromTest, KindsAreNotConvertedAndTheFieldStaysBlank) {
  MakeOld({{"A1", 12, false}, {"B2", 7, false}, {"C3", 1, false}});
  MakeNew({Field("CODE", 'N', 5), Field("QTY", 'C', 5), Field("OLD", 'C', 4)});
  EXPECT_EQ(DBAPP(Value::String("old.dbf")), 3u);
  // Two errors per record, in the destination's field order.
  EXPECT_EQ(RecordedCodes(), std::vector<std::string>(6, "33/1020"));
  EXPECT_EQ(RecordedErrors()[0].operation, "CODE");
  EXPECT_EQ(RecordedErrors()[1].operation, "QTY");
  EXPECT_EQ(RecordedErrors()[0].subsystem, "DBFNTX");
  for (uint32_t r = 1; r <= 3; ++r) {
    DBGOTO(r);
    EXPECT_EQ(Stored("CODE"), "     ");
    EXPECT_EQ(Stored("QTY"), "     ");
    EXPECT_EQ(Stored("OLD"), "drop");  // cut to the shorter field
  }
}

TEST_F(AppendFromTest, NumbersThatDoNotFitTheNewWidth) {
  MakeOld({{"A", 12345, false}, {"B", 99, false}});
  MakeNew({Field("QTY", 'N', 3)});
  DBAPP(Value::String("old"));
  EXPECT_EQ(RecordedCodes(), std::vector<std::string>{"34/1021"});
  DBGOTO(1);
  EXPECT_EQ(Stored("QTY"), "***");
  DBGOTO(2);
  EXPECT_EQ(Stored("QTY"), " 99");
}

TEST_F(AppendFromTest, DeletedRecordsFollowTheDeletedSetting) {
  MakeOld({{"A", 1, false}, {"B", 2, true}, {"C", 3, false}, {"D", 4, true}});
  MakeNew({Field("CODE", 'C', 5)});
  GetSettings().deleted = true;
  EXPECT_EQ(DBAPP(Value::String("old")), 2u);
  DBGOTO(2);
  EXPECT_EQ(Get("CODE"), Value::String("C    "));
  EXPECT_FALSE(DELETED());

  GetSettings().deleted = false;
  EXPECT_EQ(DBAPP(Value::String("old")), 4u);
  EXPECT_EQ(RECCOUNT(), 6u);
  DBGOTO(4);
  EXPECT_EQ(Get("CODE"), Value::String("B    "));
  EXPECT_TRUE(DELETED());
  DBGOTO(5);
  EXPECT_FALSE(DELETED());
  DBCLOSEAREA();
  // The marks reach the file.
  const std::string bytes = ReadFileBytes(dir_.File("new.dbf"));
  const size_t header = 32 + 32 + 2;
  EXPECT_EQ(bytes.substr(header + 3 * 6, 6), "*B    ");
}

TEST_F(AppendFromTest, AnEmptySourceChangesNothing) {
  MakeOld({});
  MakeNew({Field("CODE", 'C', 5)});
  ASSERT_TRUE(DBAPPEND());
  FIELDPUT(1, Value::String("keep"));
  DBCLOSEAREA();
  const std::string before = ReadFileBytes(dir_.File("new.dbf"));
  ASSERT_TRUE(UseTable("new"));
  EXPECT_EQ(DBAPP(Value::String("old")), 0u);
  DBCLOSEAREA();
  EXPECT_EQ(ReadFileBytes(dir_.File("new.dbf")), before);
  EXPECT_TRUE(RecordedErrors().empty());
}

TEST_F(AppendFromTest, EveryKindAndMemoTexts) {
  const int32_t day = DateFromYmd(2024, 2, 29);
  ASSERT_TRUE(CreateTable(
      "old.dbf",
      {Field("C", 'C', 4), Field("N", 'N', 6, 2), Field("D", 'D', 8), Field("L", 'L', 1),
       Field("B", 'B', 8, 2), Field("I", 'I', 4), Field("M", 'M', 10), Field("MC", 'M', 10),
       Field("CM", 'C', 6), Field("I2N", 'I', 2), Field("NB", 'N', 5), Field("D3", 'D', 3)}));
  ASSERT_TRUE(UseTable("old"));
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(DBAPPEND());
    FIELDPUT(1, Value::String("c" + std::to_string(i)));
    FIELDPUT(2, Value::Double(1.25 * i));
    FIELDPUT(3, Value::Date(day + i));
    FIELDPUT(4, Value::Logical(i == 1));
    FIELDPUT(5, Value::Double(-0.5 * i));
    FIELDPUT(6, Value::Integer(100000 + i));
    if (i != 1) FIELDPUT(7, Value::String(std::string(600 + i, static_cast<char>('a' + i))));
    FIELDPUT(8, Value::String("memo into char " + std::to_string(i)));
    FIELDPUT(9, Value::String("char" + std::to_string(i)));
    FIELDPUT(10, Value::Integer(-7 * i));
    FIELDPUT(11, Value::Integer(300 + i));
    FIELDPUT(12, Value::Date(day - i));
  }
  DBCLOSEAREA();
  ASSERT_TRUE(CreateTable(
      "new.dbf",
      {Field("D3", 'D', 8), Field("NB", 'B', 8), Field("I2N", 'N', 4), Field("CM", 'M', 4),
       Field("MC", 'C', 8), Field("M", 'M', 10), Field("I", 'I', 8), Field("B", 'B', 8, 4),
       Field("L", 'L', 1), Field("D", 'D', 3), Field("N", 'N', 8, 3), Field("C", 'C', 2)}));
  ASSERT_TRUE(UseTable("new"));
  EXPECT_EQ(DBAPP(Value::String("old")), 3u);
  EXPECT_TRUE(RecordedErrors().empty());
  for (int i = 0; i < 3; ++i) {
    DBGOTO(static_cast<uint32_t>(i + 1));
    EXPECT_EQ(Get("D3"), Value::Date(day - i));
    EXPECT_EQ(Get("NB"), Value::Double(300 + i));
    EXPECT_EQ(Stored("I2N"), (std::vector<std::string>{"   0", "  -7", " -14"}[i]));
    EXPECT_EQ(Get("CM"), Value::Memo("char" + std::to_string(i) + " "));
    EXPECT_EQ(Get("MC"), Value::String("memo int"));
    EXPECT_EQ(Get("M"),
              Value::Memo(i == 1 ? "" : std::string(600 + i, static_cast<char>('a' + i))));
    EXPECT_EQ(Get("I"), Value::Integer(100000 + i));
    EXPECT_EQ(Get("B"), Value::Double(-0.5 * i));
    EXPECT_EQ(Get("L"), Value::Logical(i == 1));
    EXPECT_EQ(Get("D"), Value::Date(day + i));
    EXPECT_EQ(Stored("N"), "   " + std::string(i == 0 ? "0.000" : i == 1 ? "1.250" : "2.500"));
    EXPECT_EQ(Get("C"), Value::String("c" + std::to_string(i)));
  }
  // A logical field never set reads false and is carried as "F".
  ASSERT_TRUE(CreateTable("l1.dbf", {Field("L", 'L', 1)}));
  ASSERT_TRUE(UseTable("l1"));
  ASSERT_TRUE(DBAPPEND());
  DBCLOSEAREA();
  ASSERT_TRUE(CreateTable("l2.dbf", {Field("L", 'L', 1)}));
  ASSERT_TRUE(UseTable("l2"));
  DBAPP(Value::String("l1"));
  EXPECT_EQ(Stored("L"), "F");
}

TEST_F(AppendFromTest, OddStoredBytesComeOutAsTheirValuesWould) {
  test::RawTable t;
  t.descriptors = {test::RawTable::Descriptor("D", 'D', 8), test::RawTable::Descriptor("L", 'L', 1),
                   test::RawTable::Descriptor("N", 'N', 5, 1)};
  t.records = {" 2024ABCDy 12.5", " 20240230? 1.2 ", " 20240229t*****", "         T  -.5"};
  test::WriteFileBytes(dir_.File("odd.dbf"), t.Bytes());
  MakeNew({Field("D", 'D', 8), Field("L", 'L', 1), Field("N", 'N', 5, 1)});
  EXPECT_EQ(DBAPP(Value::String("odd")), 4u);
  const std::vector<std::string> dates = {"        ", "        ", "20240229", "        "};
  const std::vector<std::string> logicals = {"T", "F", "T", "T"};
  const std::vector<std::string> numbers = {" 12.5", "  1.2", "  0.0", " -0.5"};
  for (uint32_t r = 1; r <= 4; ++r) {
    DBGOTO(r);
    EXPECT_EQ(Stored("D"), dates[r - 1]) << r;
    EXPECT_EQ(Stored("L"), logicals[r - 1]) << r;
    EXPECT_EQ(Stored("N"), numbers[r - 1]) << r;
  }
  EXPECT_TRUE(RecordedErrors().empty());
}

TEST_F(AppendFromTest, FieldListAndScope) {
  MakeOld({{"A", 1, false}, {"B", 2, false}, {"C", 3, false}, {"D", 4, false}, {"E", 5, false}});
  MakeNew({Field("CODE", 'C', 5), Field("QTY", 'N', 5)});
  // Only the listed fields (any case, trailing blanks) are copied.
  DBAPP(Value::String("old"), Value::Array({Value::String("qty  ")}));
  DBGOTO(1);
  EXPECT_EQ(Stored("CODE"), "     ");
  EXPECT_EQ(Get("QTY"), Value::Integer(1));
  ASSERT_EQ(RECCOUNT(), 5u);

  AppendScope scope;
  scope.for_condition = std::make_shared<CodeBlock>(
      [](const std::vector<Value>&) { return Value::Logical(FIELDGET(2).integer() % 2 == 1); },
      "QTY % 2 == 1");
  EXPECT_EQ(DBAPP(Value::String("old"), Value(), scope), 3u);  // A, C, E

  scope = AppendScope();
  scope.while_condition = std::make_shared<CodeBlock>(
      [](const std::vector<Value>&) { return Value::Logical(FIELDGET(2).integer() < 3); },
      "QTY < 3");
  // A while condition without a record starts where the source stands: its first record.
  EXPECT_EQ(DBAPP(Value::String("old"), Value(), scope), 2u);

  scope = AppendScope();
  scope.next = 2;
  EXPECT_EQ(DBAPP(Value::String("old"), Value(), scope), 2u);
  scope = AppendScope();
  scope.record = 4;
  EXPECT_EQ(DBAPP(Value::String("old"), Value(), scope), 1u);
  DBGOBOTTOM();
  EXPECT_EQ(Get("CODE"), Value::String("D    "));
  EXPECT_EQ(RECCOUNT(), 13u);
}

TEST_F(AppendFromTest, FailuresToFindTheTables) {
  MakeOld({{"A", 1, false}});
  // No table in the current area.
  DBSELECTAREA(4);
  EXPECT_EQ(DBAPP(Value::String("old")), 0u);
  EXPECT_EQ(RecordedCodes(), std::vector<std::string>{"35/2001"});
  EXPECT_EQ(RecordedErrors()[0].operation, "DBAPP");
  EXPECT_EQ(RecordedErrors()[0].subsystem, "DBCMD");
  EXPECT_TRUE(RecordedErrors()[0].can_default);
  ClearRecordedErrors();

  MakeNew({Field("CODE", 'C', 5)});
  const uint16_t dest = CurrentAreaNumber();
  // A file name that is no text does nothing.
  EXPECT_EQ(DBAPP(Value::Integer(3)), 0u);
  EXPECT_TRUE(RecordedErrors().empty());
  // A source that cannot be opened: the table's error, then the command's two.
  EXPECT_EQ(DBAPP(Value::String("missing")), 0u);
  EXPECT_EQ(RecordedCodes(), (std::vector<std::string>{"21/1001", "21/0", "35/2001"}));
  EXPECT_EQ(RecordedErrors()[0].filename, "missing.dbf");
  EXPECT_EQ(RecordedErrors()[1].operation, "DBAPP");
  EXPECT_EQ(CurrentAreaNumber(), dest);
  EXPECT_EQ(OpenAreas().size(), 1u);
  EXPECT_EQ(RECCOUNT(), 0u);
  ClearRecordedErrors();
  // An unknown driver cannot set up the source's area.
  EXPECT_EQ(DBAPP(Value::String("old"), Value(), {}, "NOSUCH"), 0u);
  EXPECT_EQ(RecordedCodes(), (std::vector<std::string>{"1/2019", "35/2001"}));
  EXPECT_EQ(CurrentAreaNumber(), dest);
}

TEST_F(AppendFromTest, TheSourceIsOpenedReadOnlyAndExclusive) {
  MakeOld({{"A", 1, false}});
  const std::string before = ReadFileBytes(dir_.File("old.dbf"));
  MakeNew({Field("CODE", 'C', 5)});
  // While the old table is open elsewhere, an exclusive open of it fails quietly.
  GetSettings().exclusive = true;
  ASSERT_TRUE(UseTable("old", "", /*shared=*/true));
  DBSELECTAREA("new");
  EXPECT_EQ(DBAPP(Value::String("old")), 0u);
  EXPECT_EQ(RecordedCodes(), (std::vector<std::string>{"21/0", "35/2001"}));
  DBSELECTAREA("old");
  DBCLOSEAREA();
  DBSELECTAREA("new");
  EXPECT_EQ(DBAPP(Value::String("old")), 1u);
  EXPECT_EQ(ReadFileBytes(dir_.File("old.dbf")), before);
}

}  // namespace
}  // namespace px
