// Pack and zap at the table file layer, and the header rewrites that follow them.
#include <gtest/gtest.h>

#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "runtime/process_state.h"
#include "runtime/settings.h"
#include "tests/engine/table_util.h"
#include "tests/test_util.h"

namespace px {
namespace {

using test::ReadFileBytes;
using test::ScratchDir;
using test::WriteFileBytes;

constexpr size_t kHeader = 32 + 32 + 2;  // one field
constexpr size_t kRecord = 4;

class PackZapTest : public testing::Test {
 protected:
  // A table of records "r1", "r2", ... with the given ones deleted, closed, with an old
  // date in its header.
  void Make(int n, const std::vector<int>& deleted, bool memo = false) {
    std::vector<FieldDef> fields = {test::Field("T", 'C', 3)};
    if (memo) fields.push_back(test::Field("M", 'M', 10));
    ASSERT_TRUE(test::CreateTable("pz.dbf", fields));
    ASSERT_TRUE(test::UseTable("pz"));
    for (int i = 1; i <= n; ++i) {
      ASSERT_TRUE(DBAPPEND());
      FIELDPUT(1, Value::String("r" + std::to_string(i)));
    }
    for (int r : deleted) {
      DBGOTO(static_cast<uint32_t>(r));
      DBDELETE();
    }
    DBCLOSEAREA();
    std::string bytes = Bytes();
    bytes[1] = 90;  // 1990
    WriteFileBytes(dir_.File("pz.dbf"), bytes);
  }
  std::string Bytes() { return ReadFileBytes(dir_.File("pz.dbf")); }
  ScratchDir dir_;
};

TEST_F(PackZapTest, PackMovesLiveRecordsDown) {
  Make(3, {2});
  ASSERT_TRUE(test::UseTable("pz"));
  GetSettings().deleted = true;  // pack ignores the setting
  ASSERT_TRUE(CurrentArea()->Pack());
  EXPECT_EQ(RECCOUNT(), 2u);
  EXPECT_EQ(RECNO(), 1u);
  DBGOTO(2);
  EXPECT_EQ(FIELDGET(1), Value::String("r3 "));
  DBCLOSEAREA();
  const std::string bytes = Bytes();
  ASSERT_EQ(bytes.size(), kHeader + 2 * kRecord + 1);
  EXPECT_EQ(bytes.substr(kHeader), " r1  r3 \x1A");
  EXPECT_NE(bytes[1], 90);  // the header was rewritten
  EXPECT_TRUE(RecordedErrors().empty());
}

TEST_F(PackZapTest, PackWithoutDeletedRecordsChangesNothing) {
  Make(2, {});
  const std::string before = Bytes();
  ASSERT_TRUE(test::UseTable("pz"));
  ASSERT_TRUE(CurrentArea()->Pack());
  DBCLOSEAREA();
  EXPECT_EQ(Bytes(), before);
}

TEST_F(PackZapTest, ZapEmptiesTableAndMemoFile) {
  Make(3, {1}, /*memo=*/true);
  std::string memo = ReadFileBytes(dir_.File("pz.dbt"));
  memo.resize(2048, 'x');
  memo[0] = 4;
  WriteFileBytes(dir_.File("pz.dbt"), memo);
  ASSERT_TRUE(test::UseTable("pz"));
  ASSERT_TRUE(CurrentArea()->Zap());
  EXPECT_EQ(RECCOUNT(), 0u);
  EXPECT_TRUE(EOF_());
  DBCLOSEAREA();
  const size_t header = 32 + 2 * 32 + 2;
  const std::string bytes = Bytes();
  ASSERT_EQ(bytes.size(), header + 1);
  EXPECT_EQ(bytes.back(), '\x1A');
  memo = ReadFileBytes(dir_.File("pz.dbt"));
  ASSERT_EQ(memo.size(), 512u);
  EXPECT_EQ(memo.substr(0, 4), std::string("\x01\0\0\0", 4));
}

TEST_F(PackZapTest, SharedAndReadOnlyTablesAreRefused) {
  Make(2, {1});
  const std::string before = Bytes();
  ASSERT_TRUE(test::UseTable("pz", "", /*shared=*/true));
  EXPECT_FALSE(CurrentArea()->Zap());
  EXPECT_FALSE(CurrentArea()->Pack());
  DBCLOSEAREA();
  ASSERT_TRUE(test::UseTable("pz", "", false, /*read_only=*/true));
  EXPECT_FALSE(CurrentArea()->Pack());
  DBCLOSEAREA();
  EXPECT_EQ(test::RecordedCodes(), (std::vector<std::string>{"37/1023", "37/1023", "39/1025"}));
  EXPECT_EQ(RecordedErrors()[0].subsystem, "DBFNTX");
  EXPECT_EQ(Bytes(), before);
}

}  // namespace
}  // namespace px
