// DBPACK, DBZAP and DBCOMMITALL on tables of the registry.
#include <gtest/gtest.h>

#include <random>

#include "engine/workarea/commands.h"
#include "engine/workarea/maintenance.h"
#include "engine/workarea/registry.h"
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
  const std::string t = ReadFileBytes(dir_.File("t.dbf"));
  EXPECT_EQ(t.size(), kHeader + 2 * kRecord + 1);
  EXPECT_EQ(t[4], 2);
  const std::string u = ReadFileBytes(dir_.File("u.dbf"));
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
