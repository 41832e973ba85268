// Pack and zap at the table file layer, and the header rewrites that follow them.
#include <gtest/gtest.h>

#include "engine/workarea/commands.h"
#include "engine/workarea/maintenance.h"
#include "engine/workarea/registry.h"
#include "runtime/date.h"
#include "runtime/env.h"
#include "runtime/process_state.h"
#include "runtime/settings.h"
#include "tests/engine/table_util.h"
#include "tests/test_util.h"

namespace px {
namespace {

using test::RawTable;
using test::ReadFileBytes;
using test::ScratchDir;
using test::WriteFileBytes;

// Today's date as the three header bytes.
std::string TodayBytes() {
  int y, m, d;
  DateToYmd(Today(), &y, &m, &d);
  return std::string{static_cast<char>(y - 1900), static_cast<char>(m), static_cast<char>(d)};
}

// Passes everything to the real OS but answers a table's replacement with `replace_code`
// (0: replaces it) and, once `fail_opens` is set, refuses every open.
class PackEnv : public EnvWrapper {
 public:
  PackEnv() : EnvWrapper(Env::Default()) {}
  std::unique_ptr<File> OpenFile(std::string_view name, FileAccess access, FileShare share,
                                 int* os_code) override {
    if (fail_opens) {
      *os_code = kOsUnknown;
      return nullptr;
    }
    return EnvWrapper::OpenFile(name, access, share, os_code);
  }
  int ReplaceFile(std::string_view from, std::string_view to) override {
    replaced_from = std::string(from);
    if (replace_code != 0) return replace_code;
    fail_opens = fail_open_after_replace;
    return EnvWrapper::ReplaceFile(from, to);
  }
  int replace_code = 0;
  bool fail_open_after_replace = false;
  bool fail_opens = false;
  std::string replaced_from;
};

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
  EXPECT_FALSE(GetEnv()->FileExists("pz.zpk"));
}

// The packed file is what the header rewrite after moving the live records down gave:
// the header rebuilt from zeros (today's date, the new count, flags and code page kept),
// the rest of the header area as it was, the live records, the end-of-file mark, and
// nothing after it. A stale copy of an earlier pack is replaced.
TEST_F(PackZapTest, PackedFileHoldsTheRewrittenHeaderAndTheLiveRecords) {
  RawTable t;
  t.flags = 0x01;
  t.descriptors = {RawTable::Descriptor("T", 'C', 3)};
  t.header_length = 32 + 32 + 2 + 6;  // room after the terminator, kept as it was
  t.records = {"*r1 ", " r2 ", "*r3 ", " r4 ", "xr5 ", "*r6 "};
  t.eof_mark = false;
  std::string file = t.Bytes();
  file.replace(12, 16, "junk in header!!");
  file[29] = 0x57;  // code page
  file.replace(66, 6, "keepme");
  file += "ta";  // part of a record after the last one
  WriteFileBytes(dir_.File("pz.dbf"), file);
  WriteFileBytes(dir_.File("pz.zpk"), std::string(5000, 'z'));

  ASSERT_TRUE(test::UseTable("pz"));
  DBGOTO(4);
  FIELDPUT(1, Value::String("new"));  // a changed record waiting in the buffer
  ASSERT_TRUE(DBAPPEND());            // and an appended one, header pending
  FIELDPUT(1, Value::String("r7"));
  ASSERT_TRUE(CurrentArea()->Pack());
  EXPECT_EQ(RECCOUNT(), 4u);
  EXPECT_FALSE(GetEnv()->FileExists("pz.zpk"));
  DBGOTO(2);
  EXPECT_EQ(FIELDGET(1), Value::String("new"));
  DBCLOSEAREA();
  EXPECT_TRUE(RecordedErrors().empty());

  std::string expected(32, '\0');
  expected[0] = 0x03;
  expected.replace(1, 3, TodayBytes());
  expected[4] = 4;
  expected[8] = 72;
  expected[10] = 4;
  expected[28] = 0x01;
  expected[29] = 0x57;
  expected += file.substr(32, 72 - 32);
  expected += " r2  newxr5  r7 \x1A";
  EXPECT_EQ(Bytes(), expected);
}

// When the packed table cannot take the table's place, the table stays as it was and
// usable, the copy goes and the error names the cause; when it took the place but
// cannot be opened again, the open error is raised and the table on disk is packed.
TEST_F(PackZapTest, ReplaceOrReopenFailing) {
  struct Case {
    int replace_code;
    bool fail_reopen;
    std::vector<std::string> codes;
  };
  for (const Case& c : {Case{kOsSharingViolation, false, {"37/1023"}},
                        Case{kOsAccessDenied, false, {"24/1011"}}, Case{0, true, {"21/1001"}}}) {
    SCOPED_TRACE(c.codes.front());
    ClearRecordedErrors();
    Make(4, {1, 3});
    const std::string before = Bytes();
    PackEnv env;
    env.replace_code = c.replace_code;
    env.fail_open_after_replace = c.fail_reopen;
    {
      ScopedEnv scoped(&env);
      ASSERT_TRUE(test::UseTable("pz"));
      DBGOTO(2);
      EXPECT_FALSE(CurrentArea()->Pack());
      EXPECT_EQ(test::RecordedCodes(), c.codes);
      EXPECT_EQ(RecordedErrors().front().os_code, c.fail_reopen ? kOsUnknown : c.replace_code);
      EXPECT_TRUE(env.replaced_from.ends_with("pz.zpk")) << env.replaced_from;
      env.fail_opens = false;
      if (c.fail_reopen) {
        EXPECT_EQ(RECCOUNT(), 0u);  // the area was closed
      } else {
        // Still open, on the record it was on.
        EXPECT_EQ(RECNO(), 2u);
        EXPECT_EQ(RECCOUNT(), 4u);
        EXPECT_EQ(FIELDGET(1), Value::String("r2 "));
      }
      DBCLOSEAREA();
    }
    EXPECT_FALSE(GetEnv()->FileExists("pz.zpk"));
    if (c.fail_reopen) {
      EXPECT_EQ(Bytes().substr(32 + 32 + 2), " r2  r4 \x1A");
    } else {
      EXPECT_EQ(Bytes(), before);
    }
  }
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
