// Orders on real tables: opening, focus, navigation in key order, seeking, the order
// information queries, scopes and key maintenance.
#include <gtest/gtest.h>

#include <cstdio>

#include "engine/ntx/ntx_area.h"
#include "runtime/settings.h"
#include "tests/engine/ntx/order_test_util.h"

namespace px::ntx {
namespace {

using test::RecordedCodes;
using test::ScratchDir;
using testutil::AppendRecord;
using testutil::CurrentNtx;
using testutil::MakeNameTable;
using testutil::Recnos;
using testutil::StoredKeys;
using testutil::WalkBackward;
using testutil::WalkForward;
using V = std::vector<uint32_t>;

class OrdersTest : public ::testing::Test {
 protected:
  // Records 1..6: PEAR, APPLE, ABBEY, FIG, ABACUS, PLUM; index names.ntx on NAME.
  void SetUp() override {
    MakeNameTable("t.dbf", 10, {"PEAR", "APPLE", "ABBEY", "FIG", "ABACUS", "PLUM"});
    DBCREATEINDEX("names", "NAME");
    ClearRecordedErrors();
  }
  ScratchDir dir_;
};

TEST_F(OrdersTest, TheControllingOrderDrivesTopBottomAndSkips) {
  EXPECT_EQ(WalkForward(), (V{5, 3, 2, 4, 1, 6}));
  EXPECT_EQ(WalkBackward(), (V{6, 1, 4, 2, 3, 5}));

  DBGOTOP();
  EXPECT_EQ(RECNO(), 5u);
  DBSKIP(-1);
  EXPECT_TRUE(BOF());
  EXPECT_EQ(RECNO(), 5u);
  DBGOBOTTOM();
  DBSKIP(1);
  EXPECT_TRUE(EOF_());
  EXPECT_EQ(RECNO(), 7u);
  // From the end, one step back is the last key.
  DBSKIP(-1);
  EXPECT_FALSE(EOF_());
  EXPECT_EQ(RECNO(), 6u);
  // Skipping several keys at once, and past either end.
  DBGOTOP();
  DBSKIP(3);
  EXPECT_EQ(RECNO(), 4u);
  DBSKIP(-2);
  EXPECT_EQ(RECNO(), 3u);
  DBSKIP(10);
  EXPECT_TRUE(EOF_());
  DBGOTO(4);
  DBSKIP(-10);
  EXPECT_TRUE(BOF());
  EXPECT_EQ(RECNO(), 5u);
  // A DBGOTO then a skip finds the record's key again.
  DBGOTO(2);
  DBSKIP(1);
  EXPECT_EQ(RECNO(), 4u);
  EXPECT_TRUE(RecordedErrors().empty());
}

TEST_F(OrdersTest, OpeningClosingAndFocus) {
  ORDLISTCLEAR();
  EXPECT_EQ(WalkForward(), (V{1, 2, 3, 4, 5, 6}));
  DBCREATEINDEX("rev", "DESCEND(NAME)");
  ORDLISTCLEAR();

  // A name without extension opens it with ".ntx"; the first order controls and the
  // area goes to its top.
  DBGOTO(4);
  ORDLISTADD("names");
  EXPECT_EQ(RECNO(), 5u);
  ORDLISTADD("rev.ntx");
  EXPECT_EQ(RECNO(), 5u);
  EXPECT_EQ(DBORDERINFO(9).integer(), 2);
  EXPECT_EQ(DBORDERINFO(5, Value::Integer(2)).str(), "rev");
  EXPECT_EQ(DBORDERINFO(6, Value::Integer(2)).integer(), 2);

  // Focus by name, without regard to case; an unknown name keeps the focus.
  EXPECT_EQ(ORDSETFOCUS(Value::String("REV")), "names");
  EXPECT_EQ(WalkForward(), (V{6, 1, 4, 2, 3, 5}));
  EXPECT_EQ(ORDSETFOCUS(Value::String("nothing")), "rev");
  EXPECT_EQ(ORDSETFOCUS(), "rev");
  EXPECT_EQ(ORDSETFOCUS(1), "rev");
  EXPECT_EQ(WalkForward(), (V{5, 3, 2, 4, 1, 6}));
  // Focus 0 returns the name and leaves natural order.
  EXPECT_EQ(ORDSETFOCUS(0), "names");
  EXPECT_EQ(ORDSETFOCUS(), "");
  EXPECT_EQ(WalkForward(), (V{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(DBORDERINFO(3).integer(), 7);   // no order: the record number (at the end)
  EXPECT_EQ(DBORDERINFO(26).integer(), 6);  // no order: the record count
  EXPECT_TRUE(RecordedErrors().empty());
}

TEST_F(OrdersTest, EmptyNamesAndBadArguments) {
  ORDLISTCLEAR();
  DBGOTO(3);
  ORDLISTADD("");
  ORDLISTADD("   ");
  ORDLISTADD(Value());
  EXPECT_EQ(RECNO(), 3u);
  EXPECT_EQ(DBORDERINFO(9).integer(), 0);
  EXPECT_TRUE(RecordedErrors().empty());
  ORDLISTADD(Value::Integer(5));
  EXPECT_EQ(RecordedCodes(), (std::vector<std::string>{"1/1006"}));
  ClearRecordedErrors();

  // No table in the area.
  DBSELECTAREA(20);
  ORDLISTADD("names");
  ORDLISTCLEAR();
  ORDSETFOCUS(1);
  EXPECT_FALSE(DBSEEK(Value::String("A")));
  ASSERT_EQ(RecordedErrors().size(), 4u);
  for (const Error& e : RecordedErrors()) {
    EXPECT_EQ(e.gen_code, 35);
    EXPECT_EQ(e.sub_code, 2001);
  }
  EXPECT_EQ(RecordedErrors()[0].operation, "ORDLISTADD");
  EXPECT_EQ(DBORDERINFO(8).str(), ".ntx");
}

TEST_F(OrdersTest, AMissingFileClosesTheOtherOrdersToo) {
  ASSERT_EQ(DBORDERINFO(9).integer(), 1);
  ORDLISTADD("missing");
  ASSERT_EQ(RecordedErrors().size(), 1u);
  const Error& e = RecordedErrors()[0];
  EXPECT_EQ(e.subsystem, "DBFNTX");
  EXPECT_EQ(e.gen_code, 21);
  EXPECT_EQ(e.sub_code, 1003);
  EXPECT_EQ(e.os_code, 2);
  EXPECT_NE(e.filename.find("missing.ntx"), std::string::npos);
  EXPECT_EQ(DBORDERINFO(9).integer(), 0);
  EXPECT_EQ(ORDSETFOCUS(), "");

  // Retry opens it once it is there.
  int tries = 0;
  ScopedErrorHandler handler([&](Error&) {
    if (++tries == 1) std::rename("names.ntx", "later.ntx");
    return ErrorAnswer::Retry();
  });
  ORDLISTADD("later");
  EXPECT_EQ(tries, 1);
  EXPECT_EQ(ORDSETFOCUS(), "later");
}

TEST_F(OrdersTest, DamagedFilesFailCleanly) {
  DBCLOSEAREA();
  // A header cut short fails quietly; a header whose sizes make no sense is reported.
  test::WriteFileBytes(dir_.File("short.ntx"), std::string(100, '\0'));
  test::WriteFileBytes(dir_.File("zero.ntx"), std::string(2048, '\0'));
  std::string cut = test::ReadFileBytes(dir_.File("names.ntx"));
  cut.resize(1500);
  test::WriteFileBytes(dir_.File("cut.ntx"), cut);
  ASSERT_TRUE(test::UseTable("t.dbf", "T"));
  ORDLISTADD("short");
  EXPECT_TRUE(RecordedErrors().empty());
  ORDLISTADD("zero");
  EXPECT_EQ(RecordedCodes(), (std::vector<std::string>{"32/1012"}));
  EXPECT_EQ(DBORDERINFO(9).integer(), 0);
  ClearRecordedErrors();

  // A root page cut short: every movement ends cleanly.
  ORDLISTADD("cut");
  EXPECT_EQ(DBORDERINFO(9).integer(), 1);
  EXPECT_TRUE(EOF_());
  EXPECT_FALSE(DBSEEK(Value::String("FIG")));
  DBSKIP(1);
  DBGOBOTTOM();
  EXPECT_TRUE(EOF_());
  EXPECT_FALSE(RecordedErrors().empty());
  for (const Error& e : RecordedErrors()) EXPECT_EQ(e.gen_code, 32);

  // A key expression that does not compile fails the opening.
  ClearRecordedErrors();
  std::string bad = test::ReadFileBytes(dir_.File("names.ntx"));
  bad.replace(22, 5, "NAME+");
  test::WriteFileBytes(dir_.File("bad.ntx"), bad);
  ORDLISTCLEAR();
  ORDLISTADD("bad");
  EXPECT_EQ(DBORDERINFO(9).integer(), 0);
  EXPECT_EQ(RecordedCodes(), (std::vector<std::string>{"7/1449"}));
}

TEST_F(OrdersTest, SeekMatchesPrefixesSoftAndLast) {
  // Two letters of a size-10 key find the first key beginning with them.
  EXPECT_TRUE(DBSEEK(Value::String("AB")));
  EXPECT_TRUE(FOUND());
  EXPECT_EQ(RECNO(), 5u);
  EXPECT_TRUE(DBSEEK(Value::String("AB"), std::nullopt, /*find_last=*/true));
  EXPECT_EQ(RECNO(), 3u);
  EXPECT_TRUE(DBSEEK(Value::String("APPLE     ")));
  EXPECT_EQ(RECNO(), 2u);
  // Longer than the key: cut to the key size.
  EXPECT_TRUE(DBSEEK(Value::String("FIG          X")));
  EXPECT_EQ(RECNO(), 4u);

  // An empty string goes to the top and counts as found.
  DBGOBOTTOM();
  EXPECT_TRUE(DBSEEK(Value::String("")));
  EXPECT_EQ(RECNO(), 5u);

  // Greater than every key: past the end.
  EXPECT_FALSE(DBSEEK(Value::String("ZZZ")));
  EXPECT_TRUE(EOF_());
  EXPECT_FALSE(FOUND());
  EXPECT_EQ(RECNO(), 7u);
  EXPECT_FALSE(DBSEEK(Value::String("ZZZ"), true));
  EXPECT_TRUE(EOF_());

  // Not found: soft seek stops at the next greater key.
  EXPECT_FALSE(DBSEEK(Value::String("B"), true));
  EXPECT_FALSE(EOF_());
  EXPECT_EQ(RECNO(), 4u);
  EXPECT_FALSE(DBSEEK(Value::String("B")));
  EXPECT_TRUE(EOF_());
  // The soft-seek setting is the default.
  GetSettings().soft_seek = true;
  EXPECT_FALSE(DBSEEK(Value::String("B")));
  EXPECT_EQ(RECNO(), 4u);
  GetSettings().soft_seek = false;

  // Skipping on from a found key.
  DBSEEK(Value::String("APPLE"));
  DBSKIP(1);
  EXPECT_EQ(RECNO(), 4u);

  EXPECT_TRUE(RecordedErrors().empty());
  DBSEEK(Value());
  EXPECT_EQ(RecordedCodes(), (std::vector<std::string>{"1/1001"}));
  ClearRecordedErrors();
  ORDSETFOCUS(0);
  EXPECT_FALSE(DBSEEK(Value::String("A")));
  EXPECT_EQ(RecordedCodes(), (std::vector<std::string>{"36/1201"}));
}

TEST_F(OrdersTest, HiddenRecordsAreSkippedBySeekAndNavigation) {
  // Records 5 (ABACUS) and 3 (ABBEY) deleted, and the second of two equal keys.
  AppendRecord({Value::String("FIG")});  // 7
  AppendRecord({Value::String("FIG")});  // 8
  for (uint32_t r : {5u, 3u, 8u}) {
    DBGOTO(r);
    DBDELETE();
  }
  GetSettings().deleted = true;
  EXPECT_EQ(WalkForward(), (V{2, 4, 7, 1, 6}));
  EXPECT_EQ(WalkBackward(), (V{6, 1, 7, 4, 2}));
  EXPECT_FALSE(DBSEEK(Value::String("AB")));
  EXPECT_TRUE(EOF_());
  EXPECT_FALSE(DBSEEK(Value::String("AB"), true));
  EXPECT_EQ(RECNO(), 2u);
  EXPECT_TRUE(DBSEEK(Value::String("FIG"), std::nullopt, true));
  EXPECT_EQ(RECNO(), 7u);
  DBGOTO(8);
  EXPECT_EQ(RECNO(), 8u);  // DBGOTO still reaches a deleted record

  // Every record hidden: top and bottom are past the end.
  for (uint32_t r : {1u, 2u, 4u, 6u, 7u}) {
    DBGOTO(r);
    DBDELETE();
  }
  DBGOTOP();
  EXPECT_TRUE(EOF_());
  EXPECT_EQ(RECNO(), 9u);
  DBGOBOTTOM();
  EXPECT_TRUE(EOF_());
  GetSettings().deleted = false;
  EXPECT_EQ(WalkForward().size(), 8u);
}

TEST_F(OrdersTest, NumericAndDateKeys) {
  DBCLOSEAREA();
  ASSERT_TRUE(
      test::CreateTable("n.dbf", {test::Field("AMOUNT", 'N', 8, 2), test::Field("DAY", 'D', 8)}));
  ASSERT_TRUE(test::UseTable("n.dbf"));
  const double amounts[] = {12.5, -3.25, 0, -100, 7, 12.5};
  const int32_t days[] = {2460000, 2450000, 0, 2455000, 2440000, 2460001};
  for (int i = 0; i < 6; ++i) {
    AppendRecord({Value::Double(amounts[i], 5, 2), Value::Date(days[i])});
  }
  DBCREATEINDEX("amount", "AMOUNT");
  EXPECT_EQ(WalkForward(), (V{4, 2, 3, 5, 1, 6}));
  EXPECT_TRUE(DBSEEK(Value::Double(-3.25, 5, 2)));
  EXPECT_EQ(RECNO(), 2u);
  EXPECT_TRUE(DBSEEK(Value::Integer(12), true) == false);
  EXPECT_EQ(RECNO(), 1u);
  EXPECT_TRUE(DBSEEK(Value::Double(12.5, 5, 2), std::nullopt, true));
  EXPECT_EQ(RECNO(), 6u);
  ORDLISTCLEAR();
  // Reopened, the order matches prefixes but full-size numeric keys seek the same.
  ORDLISTADD("amount");
  EXPECT_TRUE(DBSEEK(Value::Integer(-100)));
  EXPECT_EQ(RECNO(), 4u);

  DBCREATEINDEX("day", "DAY");
  EXPECT_EQ(WalkForward(), (V{3, 5, 2, 4, 1, 6}));  // the empty date first
  EXPECT_TRUE(DBSEEK(Value::Date(2455000)));
  EXPECT_EQ(RECNO(), 4u);
  // A new date order compares exactly: a partial date is no match until reopened.
  EXPECT_FALSE(DBSEEK(Value::String("2023")));
  ORDLISTCLEAR();
  ORDLISTADD("day");
  EXPECT_TRUE(DBSEEK(Value::String("2023")));
  EXPECT_EQ(RECNO(), 1u);
  EXPECT_TRUE(RecordedErrors().empty());
}

TEST_F(OrdersTest, ChangedRecordsMoveTheirKeys) {
  DBCREATEINDEX("rev", "DESCEND(NAME)");
  ORDLISTCLEAR();
  ORDLISTADD("names");
  ORDLISTADD("rev");

  DBGOTO(6);
  FIELDPUT(1, Value::String("AARDVARK"));
  DBGOTO(2);
  DBDELETE();                              // deletion changes no key
  AppendRecord({Value::String("GRAPE")});  // 7
  AppendRecord({Value::String("ZEBRA")});  // 8
  FIELDPUT(1, Value::String("BANANA"));    // changed while still appended
  DBCOMMIT();
  EXPECT_EQ(WalkForward(), (V{6, 5, 3, 2, 8, 4, 7, 1}));
  ORDSETFOCUS(2);
  EXPECT_EQ(WalkForward(), (V{1, 7, 4, 8, 2, 3, 5, 6}));
  EXPECT_EQ(DBORDERINFO(26).integer(), 8);

  // The controlling order stays; a changed record skips on from its new key.
  ORDSETFOCUS(1);
  DBSEEK(Value::String("FIG"));
  FIELDPUT(1, Value::String("ACORN"));
  EXPECT_EQ(ORDSETFOCUS(), "names");
  DBSKIP(1);
  EXPECT_EQ(RECNO(), 2u);  // ACORN, then APPLE
  EXPECT_TRUE(RecordedErrors().empty());
  DBCLOSEAREA();
  EXPECT_EQ(testutil::Problems(dir_.File("names.ntx")), "");
  EXPECT_EQ(testutil::Problems(dir_.File("rev.ntx")), "");
}

TEST_F(OrdersTest, AMissingCurrentKeyIsReportedAndLeavesTheOrder) {
  DBGOTO(4);
  // Take the record's key out behind the driver's back.
  EXPECT_TRUE(DBORDERINFO(37).logical());
  EXPECT_FALSE(DBORDERINFO(37).logical());
  const std::vector<IndexEntry> before = StoredKeys(1);
  testing::internal::CaptureStdout();
  FIELDPUT(1, Value::String("KIWI"));
  DBCOMMIT();
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, "\n\rntxGoCold: Cannot find current key:");
  EXPECT_EQ(StoredKeys(1), before);

  // Stepping from a record whose key is not there is reported and ends the skip.
  DBGOTO(4);
  testing::internal::CaptureStdout();
  DBSKIP(1);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("Cannot find current key"),
            std::string::npos);
  EXPECT_TRUE(EOF_());
  // Query 36 puts it back; the walk is whole again.
  DBGOTO(4);
  EXPECT_TRUE(DBORDERINFO(36).logical());
  EXPECT_FALSE(DBORDERINFO(36).logical());
  EXPECT_EQ(WalkForward(), (V{5, 3, 2, 4, 1, 6}));
}

TEST_F(OrdersTest, InformationQueries) {
  DBSEEK(Value::String("FIG"));
  EXPECT_EQ(DBORDERINFO(1).str(), "");
  EXPECT_EQ(DBORDERINFO(2).str(), "NAME");
  EXPECT_EQ(DBORDERINFO(3).integer(), 4);
  EXPECT_EQ(DBORDERINFO(5).str(), "names");
  EXPECT_EQ(DBORDERINFO(6).integer(), 1);
  EXPECT_NE(DBORDERINFO(7).str().find("names.ntx"), std::string::npos);
  EXPECT_EQ(DBORDERINFO(8).str(), ".ntx");
  EXPECT_EQ(DBORDERINFO(9).integer(), 1);
  EXPECT_FALSE(DBORDERINFO(11).logical());
  EXPECT_FALSE(DBORDERINFO(12).logical());
  EXPECT_FALSE(DBORDERINFO(13).logical());
  EXPECT_EQ(DBORDERINFO(26).integer(), 6);
  EXPECT_FALSE(DBORDERINFO(45).logical());
  DBGOTO(6);
  EXPECT_EQ(DBORDERINFO(3).integer(), 6);
  EXPECT_EQ(DBORDERINFO(3, Value::String("NAMES")).integer(), 6);

  ORDSETFOCUS(0);
  for (int q : {11, 12, 13, 36, 37, 45}) EXPECT_FALSE(DBORDERINFO(q).logical()) << q;
  for (int q : {6, 9}) EXPECT_EQ(DBORDERINFO(q).integer(), 0) << q;
  for (int q : {39, 40, 41, 42}) EXPECT_TRUE(DBORDERINFO(q).is_nil()) << q;
  for (int q : {1, 2, 5, 7}) EXPECT_EQ(DBORDERINFO(q).str(), "") << q;
  EXPECT_TRUE(RecordedErrors().empty());
}

TEST_F(OrdersTest, ScopesBoundNavigationAndSeeks) {
  NtxArea* area = CurrentNtx();
  ASSERT_NE(area, nullptr);
  area->SetScope(0, Value::String("AP"));
  area->SetScope(1, Value::String("FIG"));
  EXPECT_EQ(DBORDERINFO(39).str(), "AP");
  EXPECT_EQ(WalkForward(), (V{2, 4}));
  EXPECT_EQ(WalkBackward(), (V{4, 2}));
  EXPECT_FALSE(DBSEEK(Value::String("PEAR")));
  EXPECT_TRUE(EOF_());
  EXPECT_FALSE(DBSEEK(Value::String("ABBEY")));
  EXPECT_TRUE(EOF_());
  EXPECT_TRUE(DBSEEK(Value::String("FIG")));
  EXPECT_EQ(RECNO(), 4u);

  EXPECT_EQ(DBORDERINFO(42).str(), "FIG");
  EXPECT_TRUE(DBORDERINFO(40).is_nil());
  EXPECT_EQ(WalkForward(), (V{2, 4, 1, 6}));
  area->ClearScope();
  EXPECT_EQ(WalkForward(), (V{5, 3, 2, 4, 1, 6}));
}

TEST(DescendingOrderTest, SeeksAndNavigationFollowTheFilesOrder) {
  ScratchDir dir;
  MakeNameTable("d.dbf", 10, {"D", "B", "C", "B", "A", "B"});
  DBCREATEINDEX("desc", "NAME");
  ORDLISTCLEAR();
  ASSERT_NO_FATAL_FAILURE(testutil::SetDescendingFlag(dir.File("desc.ntx")));
  ORDLISTADD("desc");
  ASSERT_TRUE(CurrentArea()->OrderListRebuild());
  EXPECT_TRUE(DBORDERINFO(12).logical());
  EXPECT_EQ(WalkForward(), (V{1, 3, 2, 4, 6, 5}));
  EXPECT_EQ(WalkBackward(), (V{5, 6, 4, 2, 3, 1}));

  struct Case {
    const char* value;
    bool soft, last, found;
    uint32_t recno;  // 7: past the end
  };
  const Case cases[] = {
      {"B", false, true, true, 6},    {"A", false, true, true, 5},
      {"D", false, true, true, 1},    {"C", false, true, true, 3},
      {"B", false, false, true, 2},   {"A", false, false, true, 5},
      {"BB", false, false, false, 7}, {"BB", true, false, false, 2},
      {"BB", true, true, false, 2},   {"E", true, true, false, 1},
      {"0", true, false, false, 7},   {"B         ", false, true, true, 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.value) + (c.soft ? " soft" : "") + (c.last ? " last" : ""));
    EXPECT_EQ(DBSEEK(Value::String(c.value), c.soft, c.last), c.found);
    EXPECT_EQ(RECNO(), c.recno);
    EXPECT_EQ(EOF_(), c.recno == 7);
  }

  // The bottom scope ends navigation at its last key.
  CurrentNtx()->SetScope(1, Value::String("B"));
  EXPECT_EQ(WalkForward(), (V{1, 3, 2, 4, 6}));
  EXPECT_EQ(WalkBackward(), (V{6, 4, 2, 3, 1}));
  EXPECT_TRUE(RecordedErrors().empty());
}

TEST_F(OrdersTest, ZapEmptiesAndPackRebuilds) {
  DBCREATEINDEX("rev", "DESCEND(NAME)");
  ORDLISTCLEAR();
  ORDLISTADD("names");
  ORDLISTADD("rev");
  for (uint32_t r : {2u, 5u}) {
    DBGOTO(r);
    DBDELETE();
  }
  ASSERT_TRUE(CurrentArea()->Pack());
  EXPECT_EQ(RECNO(), 2u);  // the top of the controlling order: ABBEY, now record 2
  EXPECT_EQ(WalkForward(), (V{2, 3, 1, 4}));
  ORDSETFOCUS(2);
  EXPECT_EQ(WalkForward(), (V{4, 1, 3, 2}));

  ASSERT_TRUE(CurrentArea()->Zap());
  EXPECT_TRUE(EOF_());
  EXPECT_EQ(DBORDERINFO(26).integer(), 0);
  AppendRecord({Value::String("X")});
  AppendRecord({Value::String("A")});
  EXPECT_EQ(WalkForward(), (V{1, 2}));
  ORDSETFOCUS(1);
  EXPECT_EQ(WalkForward(), (V{2, 1}));
  ASSERT_TRUE(CurrentArea()->Zap());
  DBCLOSEAREA();
  EXPECT_EQ(test::FileSize(dir_.File("names.ntx")), 2048);
  EXPECT_EQ(test::FileSize(dir_.File("rev.ntx")), 2048);
  EXPECT_TRUE(RecordedErrors().empty());
}

}  // namespace
}  // namespace px::ntx
