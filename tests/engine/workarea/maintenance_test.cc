// DBPACK, DBZAP and DBCOMMITALL on tables of the registry.
#include <gtest/gtest.h>

#include <random>

#include "engine/ntx/ntx_area.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/maintenance.h"
#include "engine/workarea/orders.h"
#include "engine/workarea/registry.h"
#include "runtime/date.h"
#include "runtime/process_state.h"
#include "runtime/settings.h"
#include "tests/engine/held_file_env.h"
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

class MaintenanceTest : public testing::Test {
 protected:
  // Table t.dbf (CODE C 4, NOTES M 10) with records "r1", "r2", ... and memo texts; the
  // given ones deleted. Left open exclusive.
  void Make(int n, const std::vector<int>& deleted) {
    ASSERT_TRUE(CreateTable("t.dbf", {Field("CODE", 'C', 4), Field("NOTES", 'M', 10)}));
    ASSERT_TRUE(UseTable("t"));
    for (int i = 1; i <= n; ++i) {
      ASSERT_TRUE(DBAPPEND());
      FIELDPUT(1, Value::String("r" + std::to_string(i)));
      FIELDPUT(2, Value::String("text " + std::to_string(i)));
    }
    for (int r : deleted) {
      DBGOTO(static_cast<uint32_t>(r));
      DBDELETE();
    }
  }
  static constexpr size_t kHeader = 32 + 2 * 32 + 2;
  static constexpr size_t kRecord = 1 + 4 + 10;
  ScratchDir dir_;
  test::HeldFileEnv files_;
  ScopedEnv files_scope_{&files_};
};

TEST_F(MaintenanceTest, PackRemovesDeletedRecordsWhateverTheSetting) {
  Make(3, {2});
  GetSettings().deleted = true;
  ASSERT_TRUE(DBPACK());
  EXPECT_EQ(RECCOUNT(), 2u);
  EXPECT_EQ(RECNO(), 1u);
  DBGOTO(2);
  EXPECT_EQ(FIELDGET(1), Value::String("r3  "));
  // The memo file keeps the removed record's text; the moved reference still finds its.
  EXPECT_EQ(FIELDGET(2), Value::Memo("text 3"));
  const int64_t memo_size = test::FileSize(dir_.File("t.dbt"));
  DBCLOSEAREA();
  EXPECT_EQ(test::FileSize(dir_.File("t.dbf")), static_cast<int64_t>(kHeader + 2 * kRecord + 1));
  EXPECT_EQ(test::FileSize(dir_.File("t.dbt")), memo_size);
  EXPECT_TRUE(RecordedErrors().empty());
}

TEST_F(MaintenanceTest, PackAcrossManyChunksKeepsTheOrderOfLiveRecords) {
  // Records of 300 bytes: a pack reads them in chunks of several hundred.
  ASSERT_TRUE(CreateTable("big.dbf", {Field("N", 'N', 7), Field("PAD", 'C', 292)}));
  ASSERT_TRUE(UseTable("big"));
  std::mt19937 rng(7);
  std::vector<int> live;
  for (int i = 1; i <= 5000; ++i) {
    ASSERT_TRUE(DBAPPEND());
    FIELDPUT(1, Value::Integer(i));
    FIELDPUT(2, Value::String(std::string(292, static_cast<char>('a' + i % 26))));
    // Long runs of deleted and live records, and the first record deleted.
    if (i == 1 || (i / 700) % 2 == 1 || rng() % 3 == 0) {
      DBDELETE();
    } else {
      live.push_back(i);
    }
  }
  ASSERT_TRUE(DBPACK());
  ASSERT_EQ(RECCOUNT(), live.size());
  for (size_t k = 0; k < live.size(); ++k) {
    DBGOTO(static_cast<uint32_t>(k + 1));
    ASSERT_EQ(FIELDGET(1), Value::Integer(live[k])) << k;
    ASSERT_FALSE(DELETED());
  }
  DBCLOSEAREA();
  EXPECT_EQ(test::FileSize(dir_.File("big.dbf")),
            static_cast<int64_t>(32 + 64 + 2 + live.size() * 300 + 1));
}

TEST_F(MaintenanceTest, PackProgressBlock) {
  Make(10, {4});
  std::vector<uint32_t> seen;
  auto block = std::make_shared<CodeBlock>(
      [&](const std::vector<Value>& args) {
        EXPECT_TRUE(args.empty());
        seen.push_back(RECNO());
        return Value();
      },
      "progress");
  ASSERT_TRUE(DBPACK(block, Value::Integer(3)));
  // After every third record visited, and once for the last one.
  EXPECT_EQ(seen, (std::vector<uint32_t>{3, 6, 9, 10}));

  seen.clear();
  ASSERT_TRUE(DBPACK(block, Value::Integer(3)));  // 9 records: no call left over
  EXPECT_EQ(seen, (std::vector<uint32_t>{3, 6, 9}));
  seen.clear();
  ASSERT_TRUE(DBPACK(block, Value::String("x")));  // not a number: every record
  EXPECT_EQ(seen.size(), 9u);
  seen.clear();
  ASSERT_TRUE(DBPACK(block, Value::Integer(0)));
  EXPECT_EQ(seen.size(), 9u);
  seen.clear();
  // Without a block the area forgets the one before.
  ASSERT_TRUE(DBPACK());
  EXPECT_TRUE(seen.empty());
}

// A table for plans: CODE C 4, SERIAL N 6, DUE D 8, OK L 1, NOTES M 10, records
// "r1" .. "r6" with a memo text each, record 2 deleted. Left closed.
void MakePlanTable(const std::string& name) {
  ASSERT_TRUE(
      CreateTable(name, {Field("CODE", 'C', 4), Field("SERIAL", 'N', 6), Field("DUE", 'D', 8),
                         Field("OK", 'L', 1), Field("NOTES", 'M', 10)}));
  ASSERT_TRUE(UseTable(name));
  for (int i = 1; i <= 6; ++i) {
    ASSERT_TRUE(DBAPPEND());
    FIELDPUT(1, Value::String("r" + std::to_string(i)));
    FIELDPUT(5, Value::String("text " + std::to_string(i)));
  }
  DBGOTO(2);
  DBDELETE();
  DBCLOSEAREA();
}

// A plan drops records and stores values in the same step as the pack: the packed table
// is byte for byte the one FIELDPUT, DBDELETE and DBPACK give, its orders are rebuilt,
// and before_replace sees the finished copy.
TEST_F(MaintenanceTest, PackWithAPlan) {
  MakePlanTable("p.dbf");
  MakePlanTable("q.dbf");
  const Value due = Value::Date(DateFromYmd(2024, 5, 17));
  PackPlan plan;
  plan.drop = {5, 3, 5};
  plan.puts = {{1, 2, Value::Integer(101)},      {4, 2, Value::Integer(102)},
               {3, 2, Value::Integer(999)},      {6, 3, due},
               {6, 4, Value::Logical(true)},     {4, 1, Value::String("x")},
               {4, 2, Value::Double(103, 6, 0)}, {2, 1, Value::String("gone")}};
  std::string seen;
  int64_t copy_size = -1;
  plan.before_replace = [&](const std::string& packed_file) {
    seen = packed_file;
    copy_size = test::FileSize(packed_file);
    return true;
  };
  ASSERT_TRUE(UseTable("p.dbf"));
  ORDCREATE("pcode", "", "CODE");
  ASSERT_TRUE(DBPACKPLAN(plan));
  EXPECT_TRUE(seen.ends_with("p.zpk")) << seen;
  EXPECT_EQ(copy_size, static_cast<int64_t>(32 + 5 * 32 + 2 + 3 * 30 + 1));
  EXPECT_FALSE(GetEnv()->FileExists("p.zpk"));
  EXPECT_EQ(RECCOUNT(), 3u);
  ASSERT_TRUE(DBSEEK(Value::String("x")));
  EXPECT_EQ(RECNO(), 2u);
  EXPECT_EQ(FIELDGET(5), Value::Memo("text 4"));
  auto* area = dynamic_cast<NtxArea*>(CurrentArea());
  EXPECT_TRUE(area->CheckOrder(*area->order(1)).ok());
  DBCLOSEAREA();

  // The same by hand.
  ASSERT_TRUE(UseTable("q.dbf"));
  for (const PackPlan::Put& p : plan.puts) {
    DBGOTO(p.recno);
    FIELDPUT(p.field, p.value);
  }
  for (uint32_t r : {3u, 5u}) {
    DBGOTO(r);
    DBDELETE();
  }
  ASSERT_TRUE(DBPACK());
  DBCLOSEAREA();
  EXPECT_TRUE(RecordedErrors().empty());
  EXPECT_EQ(ReadFileBytes(dir_.File("p.dbf")), ReadFileBytes(dir_.File("q.dbf")));

  // A plan that stores values rewrites a table without deleted records too.
  ASSERT_TRUE(UseTable("p.dbf"));
  PackPlan serial;
  serial.puts = {{3, 2, Value::Integer(7)}};
  ASSERT_TRUE(DBPACKPLAN(serial));
  DBGOTO(3);
  EXPECT_EQ(FIELDGET(2), Value::Integer(7));
  EXPECT_EQ(RECCOUNT(), 3u);
}

// A plan the table cannot take raises its error before anything is written; a copy that
// before_replace turns down goes; either way the table stays as it was.
TEST_F(MaintenanceTest, PlansThatAreRefused) {
  MakePlanTable("p.dbf");
  const std::string table = ReadFileBytes(dir_.File("p.dbf"));
  struct Case {
    PackPlan::Put put;
    uint32_t drop;
    std::string code;  // "" for a pack that before_replace turns down
  };
  const std::vector<Case> cases = {
      {{1, 2, Value::Integer(1234567)}, 1, "34/1021"},  // too wide for N 6
      {{1, 2, Value::String("12")}, 1, "33/1020"},      // text into a number
      {{1, 3, Value::Logical(true)}, 1, "33/1020"},     // logical into a date
      {{1, 5, Value::String("memo")}, 1, "33/1020"},    // memo fields are not planned
      {{7, 1, Value::String("a")}, 1, "1/1006"},        // no record 7
      {{1, 6, Value::String("a")}, 1, "1/1006"},        // no field 6
      {{1, 0, Value::String("a")}, 1, "1/1006"},
      {{1, 1, Value::String("a")}, 0, "1/1006"},  // no record 0
      {{1, 1, Value::String("a")}, 1, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code + " " + std::to_string(c.put.recno) + "/" + std::to_string(c.put.field));
    ClearRecordedErrors();
    PackPlan plan;
    plan.puts = {{4, 2, Value::Integer(5)}, c.put};
    plan.drop = {c.drop};
    int asked = 0;
    plan.before_replace = [&](const std::string&) {
      ++asked;
      return false;
    };
    ASSERT_TRUE(UseTable("p.dbf"));
    DBGOTO(4);
    EXPECT_FALSE(DBPACKPLAN(plan));
    EXPECT_EQ(asked, c.code.empty() ? 1 : 0);
    EXPECT_EQ(RecordedCodes(),
              c.code.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.code});
    EXPECT_EQ(RECNO(), 4u);
    EXPECT_EQ(FIELDGET(2), Value::Integer(0));
    DBCLOSEAREA();
    EXPECT_EQ(ReadFileBytes(dir_.File("p.dbf")), table);
    EXPECT_FALSE(GetEnv()->FileExists("p.zpk"));
  }
}

TEST_F(MaintenanceTest, ZapEmptiesTheTableAndItsMemoFile) {
  Make(3, {1});
  ASSERT_TRUE(DBZAP());
  EXPECT_EQ(RECCOUNT(), 0u);
  EXPECT_TRUE(EOF_());
  DBCLOSEAREA();
  EXPECT_EQ(test::FileSize(dir_.File("t.dbf")), static_cast<int64_t>(kHeader + 1));
  const std::string memo = ReadFileBytes(dir_.File("t.dbt"));
  ASSERT_EQ(memo.size(), 512u);
  EXPECT_EQ(memo.substr(0, 4), std::string("\x01\0\0\0", 4));
  // New texts start again at block 1.
  ASSERT_TRUE(UseTable("t"));
  ASSERT_TRUE(DBAPPEND());
  FIELDPUT(2, Value::String("again"));
  EXPECT_EQ(FIELDGET(2), Value::Memo("again"));
  EXPECT_EQ(test::FileSize(dir_.File("t.dbt")), 1024);
}

TEST_F(MaintenanceTest, SharedAndReadOnlyTablesAndEmptyAreasAreRefused) {
  Make(2, {1});
  DBCLOSEAREA();
  const std::string table = ReadFileBytes(dir_.File("t.dbf"));
  const std::string memo = ReadFileBytes(dir_.File("t.dbt"));
  ASSERT_TRUE(UseTable("t", "", /*shared=*/true));
  EXPECT_FALSE(DBZAP());
  EXPECT_FALSE(DBPACK());
  DBCLOSEAREA();
  ASSERT_TRUE(UseTable("t", "", false, /*read_only=*/true));
  EXPECT_FALSE(DBZAP());
  DBCLOSEAREA();
  EXPECT_FALSE(DBPACK());
  EXPECT_FALSE(DBZAP());
  EXPECT_EQ(RecordedCodes(),
            (std::vector<std::string>{"37/1023", "37/1023", "39/1025", "35/2001", "35/2001"}));
  EXPECT_EQ(RecordedErrors()[3].operation, "__DBPACK");
  EXPECT_EQ(RecordedErrors()[4].operation, "__DBZAP");
  EXPECT_EQ(ReadFileBytes(dir_.File("t.dbf")), table);
  EXPECT_EQ(ReadFileBytes(dir_.File("t.dbt")), memo);
}

TEST_F(MaintenanceTest, CommitAllWritesEveryAreaOut) {
  Make(2, {});
  ASSERT_TRUE(CreateTable("u.dbf", {Field("A", 'C', 3)}));
  ASSERT_TRUE(UseTable("u"));
  ASSERT_TRUE(DBAPPEND());
  FIELDPUT(1, Value::String("abc"));
  DBSELECTAREA(7);
  DBCOMMITALL();
  EXPECT_EQ(SELECT(), 7);
  // Another reader sees the records and the header counts without a close.
  const std::string t = files_.Bytes(dir_.File("t.dbf"));
  EXPECT_EQ(t.size(), kHeader + 2 * kRecord + 1);
  EXPECT_EQ(t[4], 2);
  const std::string u = files_.Bytes(dir_.File("u.dbf"));
  EXPECT_EQ(u.substr(32 + 32 + 2), " abc\x1A");
  EXPECT_EQ(u[4], 1);
  // Without open areas nothing happens and the current number stays.
  DBCLOSEALL();
  DBSELECTAREA(4);
  DBCOMMITALL();
  EXPECT_EQ(SELECT(), 4);
}

}  // namespace
}  // namespace px
