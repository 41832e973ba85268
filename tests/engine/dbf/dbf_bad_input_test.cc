// Damaged table files: each gives the error of the failure table and never a crash, an
// out-of-range read or a huge record count.
#include <gtest/gtest.h>

#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "runtime/process_state.h"
#include "tests/engine/table_util.h"
#include "tests/test_util.h"

namespace px {
namespace {

using test::RawTable;
using test::ReadFileBytes;
using test::ScratchDir;
using test::UseTable;
using test::WriteFileBytes;

RawTable GoodTable() {
  RawTable t;
  t.descriptors = {RawTable::Descriptor("CODE", 'C', 3), RawTable::Descriptor("QTY", 'N', 4)};
  t.records = {" abc  12", " def  34"};
  return t;
}

class DbfBadInputTest : public testing::Test {
 protected:
  // Opening the bytes fails with "Corruption detected" for the table file, quietly for
  // the caller apart from the network-error flag.
  void ExpectCorrupt(const std::string& bytes) {
    ClearRecordedErrors();
    WriteFileBytes(dir_.File("bad.dbf"), bytes);
    EXPECT_FALSE(UseTable("bad.dbf"));
    EXPECT_TRUE(NETERR());
    EXPECT_FALSE(USED());
    ASSERT_EQ(RecordedErrors().size(), 1u);
    const Error& e = RecordedErrors()[0];
    EXPECT_EQ(e.gen_code, kErrCorruption);
    EXPECT_EQ(e.sub_code, 1012);
    EXPECT_EQ(e.subsystem, "DBFNTX");
    EXPECT_EQ(e.filename, "bad.dbf");
    EXPECT_TRUE(e.can_retry && e.can_default);
    EXPECT_EQ(ERRORMESSAGE(e), "Error DBFNTX/1012  Corruption detected: bad.dbf");
  }
  ScratchDir dir_;
};

TEST_F(DbfBadInputTest, HeaderShorterThan32Bytes) {
  ExpectCorrupt("");
  ExpectCorrupt(GoodTable().Bytes().substr(0, 31));
}

TEST_F(DbfBadInputTest, UnknownVersionByte) {
  for (uint8_t version : {0x00, 0x02, 0x04, 0x31, 0x8B, 0xFF}) {
    RawTable t = GoodTable();
    t.version = version;
    ExpectCorrupt(t.Bytes());
  }
}

TEST_F(DbfBadInputTest, DescriptorAreaCutShort) {
  RawTable t = GoodTable();
  t.header_length = 32 + 32 * 4 + 2;  // announces four descriptors
  std::string bytes = t.Bytes().substr(0, 32 + 32 * 2 + 10);
  ExpectCorrupt(bytes);
}

TEST_F(DbfBadInputTest, UnknownAndLowerCaseTypeLetters) {
  for (char letter : {'c', 'n', 'X', '0', '\0', '@'}) {
    RawTable t = GoodTable();
    t.descriptors[1] = RawTable::Descriptor("QTY", letter, 4);
    ExpectCorrupt(t.Bytes());
  }
}

TEST_F(DbfBadInputTest, NoFieldDescriptorAtAll) {
  RawTable t;
  t.records = {};
  ExpectCorrupt(t.Bytes());  // 0x0D right after the header
  RawTable tiny = GoodTable();
  tiny.header_length = 20;  // no room for a descriptor
  ExpectCorrupt(tiny.Bytes());
}

TEST_F(DbfBadInputTest, RecordLongerThanTheFormatAllows) {
  RawTable t;
  std::string wide = RawTable::Descriptor("WIDE", 'C', 0xFF);
  wide[17] = '\xFF';  // 65,535 bytes
  t.descriptors = {wide, RawTable::Descriptor("MORE", 'C', 1)};
  ExpectCorrupt(t.Bytes());
}

TEST_F(DbfBadInputTest, FileShorterThanItsHeaderOpensEmpty) {
  RawTable t = GoodTable();
  t.records.clear();
  t.eof_mark = false;
  t.stored_count = 4000000000u;
  // The terminator's last byte is missing: the descriptors are complete.
  const std::string bytes = t.Bytes();
  WriteFileBytes(dir_.File("short.dbf"), bytes.substr(0, bytes.size() - 1));
  ASSERT_TRUE(UseTable("short.dbf"));
  EXPECT_EQ(RECCOUNT(), 0u);
  EXPECT_TRUE(EOF_());
  EXPECT_TRUE(RecordedErrors().empty());
  // It can be written; afterwards it is a whole table again.
  ASSERT_TRUE(DBAPPEND());
  FIELDPUT(1, Value::String("new"));
  DBCLOSEAREA();
  ASSERT_TRUE(UseTable("short.dbf"));
  EXPECT_EQ(RECCOUNT(), 1u);
  EXPECT_EQ(FIELDGET(1), Value::String("new"));
  EXPECT_EQ(test::FileSize(dir_.File("short.dbf")), 32 + 64 + 2 + 8 + 1);
}

TEST_F(DbfBadInputTest, StoredCountIsNeverTrusted) {
  RawTable t = GoodTable();
  t.stored_count = 0xFFFFFFFFu;
  WriteFileBytes(dir_.File("count.dbf"), t.Bytes());
  ASSERT_TRUE(UseTable("count.dbf"));
  EXPECT_EQ(RECCOUNT(), 2u);
  DBGOTO(3);
  EXPECT_TRUE(EOF_());
  EXPECT_EQ(FIELDGET(1), Value::String("   "));
}

TEST_F(DbfBadInputTest, RetryReadsTheFileAgain) {
  PX_SKIP_WITHOUT_POSIX(
      "the table stays open, unshared, while its error is raised, so no "
      "other program can put a sound copy in its place on Windows");
  RawTable t = GoodTable();
  t.version = 0x42;
  WriteFileBytes(dir_.File("bad.dbf"), t.Bytes());
  int calls = 0;
  ScopedErrorHandler handler([&](Error& e) {
    // A second call means the copy was not put in place: give up rather than loop.
    if (++calls > 1) return ErrorAnswer::Default();
    EXPECT_EQ(e.gen_code, kErrCorruption);
    // Someone puts a sound copy in place before answering retry.
    WriteFileBytes(dir_.File("bad.dbf"), GoodTable().Bytes());
    return ErrorAnswer::Retry();
  });
  ASSERT_TRUE(UseTable("bad.dbf"));
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(RECCOUNT(), 2u);
}

TEST_F(DbfBadInputTest, FieldsRunningPastTheRecordsAreReadSafely) {
  // A header that describes longer records than the file holds: the last record is
  // partial and does not count.
  RawTable t = GoodTable();
  t.descriptors.push_back(RawTable::Descriptor("EXTRA", 'C', 200));
  WriteFileBytes(dir_.File("long.dbf"), t.Bytes());
  ASSERT_TRUE(UseTable("long.dbf"));
  EXPECT_EQ(RECCOUNT(), 0u);
  EXPECT_TRUE(EOF_());
  EXPECT_EQ(FIELDGET(3), Value::String(std::string(200, ' ')));
}

}  // namespace
}  // namespace px
