// The table file layer through the work-area operations: creation and opening
// byte-exactly, field values of every kind, header rewrites and the errors raised.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/dbf/dbf_area.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "runtime/date.h"
#include "runtime/env.h"
#include "runtime/process_state.h"
#include "runtime/settings.h"
#include "tests/engine/faulty_env.h"
#include "tests/engine/held_file_env.h"
#include "tests/engine/table_util.h"
#include "tests/test_util.h"

namespace px {
namespace {

using test::CreateTable;
using test::Field;
using test::RawTable;
using test::ReadFileBytes;
using test::ScratchDir;
using test::UseTable;
using test::WriteFileBytes;

uint8_t Byte(const std::string& bytes, size_t i) {
  return static_cast<uint8_t>(bytes.at(i));
}

std::vector<FieldDef> QuoteFields() {
  return {Field("NAME", 'C', 10), Field("PRICE", 'N', 8, 2), Field("DUE", 'D', 8),
          Field("PAID", 'L', 1), Field("NOTES", 'M', 10)};
}

// Today's date as the three header bytes.
std::string TodayBytes() {
  int y, m, d;
  DateToYmd(Today(), &y, &m, &d);
  return std::string{static_cast<char>(y - 1900), static_cast<char>(m), static_cast<char>(d)};
}

DbfArea* Dbf() {
  return dynamic_cast<DbfArea*>(CurrentArea());
}

TEST(DbfCreateTest, LayoutOfANewTable) {
  ScratchDir dir;
  ASSERT_TRUE(CreateTable("quotes.dbf", QuoteFields()));
  const std::string bytes = ReadFileBytes(dir.File("quotes.dbf"));
  ASSERT_EQ(bytes.size(), 195u);
  EXPECT_EQ(Byte(bytes, 0), 0x83);
  EXPECT_EQ(bytes.substr(1, 3), TodayBytes());
  EXPECT_EQ(GetLe32(reinterpret_cast<const uint8_t*>(&bytes[4])), 0u);
  EXPECT_EQ(GetLe16(reinterpret_cast<const uint8_t*>(&bytes[8])), 194);
  EXPECT_EQ(GetLe16(reinterpret_cast<const uint8_t*>(&bytes[10])), 38);
  EXPECT_EQ(bytes.substr(12, 20), std::string(20, '\0'));
  EXPECT_EQ(bytes.substr(192), std::string("\x0D\x00\x1A", 3));
  // Descriptor of PRICE: name padded with zeros, type, length, decimals.
  const std::string price = bytes.substr(64, 32);
  EXPECT_EQ(price.substr(0, 11), std::string("PRICE\0\0\0\0\0\0", 11));
  EXPECT_EQ(price[11], 'N');
  EXPECT_EQ(Byte(price, 16), 8);
  EXPECT_EQ(Byte(price, 17), 2);

  const std::string memo = ReadFileBytes(dir.File("quotes.dbt"));
  ASSERT_EQ(memo.size(), 512u);
  EXPECT_EQ(memo.substr(0, 4), std::string("\x01\x00\x00\x00", 4));
  EXPECT_EQ(memo.substr(4), std::string(508, '\0'));

  std::vector<FieldDef> plain = QuoteFields();
  plain.pop_back();
  ASSERT_TRUE(CreateTable("plain.dbf", plain));
  const std::string p = ReadFileBytes(dir.File("plain.dbf"));
  EXPECT_EQ(Byte(p, 0), 0x03);
  EXPECT_EQ(p.size(), 32u * 4 + 35);
  EXPECT_FALSE(GetEnv()->FileExists("plain.dbt"));
}

TEST(DbfCreateTest, LengthsTheEngineGivesEachKind) {
  ScratchDir dir;
  ASSERT_TRUE(CreateTable(
      "kinds.dbf",
      {Field("WIDE", 'C', 300), Field("D5", 'D', 5), Field("D3", 'D', 3), Field("I3", 'I', 3),
       Field("I2", 'I', 2), Field("I8", 'I', 8), Field("M6", 'M', 6), Field("M4", 'M', 4),
       Field("L5", 'L', 5), Field("B3", 'B', 3, 2)}));
  const std::string bytes = ReadFileBytes(dir.File("kinds.dbf"));
  EXPECT_EQ(Byte(bytes, 32 + 16), 44);
  EXPECT_EQ(Byte(bytes, 32 + 17), 1);

  ASSERT_TRUE(UseTable("kinds"));
  const std::vector<std::pair<uint32_t, uint32_t>> expected = {
      {300, 0}, {8, 0}, {3, 0}, {4, 0}, {2, 0}, {8, 0}, {10, 0}, {4, 0}, {1, 0}, {8, 2}};
  for (uint16_t i = 1; i <= expected.size(); ++i) {
    FieldDef f;
    ASSERT_TRUE(CurrentArea()->FieldInfo(i, &f));
    EXPECT_EQ(f.len, expected[i - 1].first) << f.name;
    EXPECT_EQ(f.dec, expected[i - 1].second) << f.name;
  }
  EXPECT_EQ(Dbf()->record_length(), 1u + 300 + 8 + 3 + 4 + 2 + 8 + 10 + 4 + 1 + 8);
}

TEST(DbfCreateTest, KindsTheTableCannotHoldFailWithoutAnError) {
  ScratchDir dir;
  EXPECT_FALSE(CreateTable("q.dbf", {Field("A", 'Q', 5)}));
  EXPECT_FALSE(CreateTable("n.dbf", {Field("A", 'N', 256)}));
  EXPECT_TRUE(RecordedErrors().empty());
  EXPECT_FALSE(GetEnv()->FileExists("q.dbf"));
  // Letters read as other kinds are created as those kinds.
  ASSERT_TRUE(
      CreateTable("f.dbf", {Field("A", 'F', 6, 1), Field("B", '8', 8), Field("C", '2', 9)}));
  const std::string bytes = ReadFileBytes(dir.File("f.dbf"));
  EXPECT_EQ(bytes[32 + 11], 'N');
  EXPECT_EQ(bytes[64 + 11], 'B');
  EXPECT_EQ(bytes[96 + 11], 'I');
  EXPECT_EQ(Byte(bytes, 96 + 16), 2);
}

TEST(DbfCreateTest, CreateErrorNamesTheFileAndRetries) {
  ScratchDir dir;
  int calls = 0;
  ScopedErrorHandler handler([&](Error& e) {
    ++calls;
    EXPECT_EQ(e.gen_code, kErrCreate);
    EXPECT_EQ(e.sub_code, 1004);
    EXPECT_EQ(e.subsystem, "DBFNTX");
    EXPECT_EQ(e.os_code, kOsPathNotFound);
    EXPECT_EQ(e.filename, "nodir\\t.dbf");
    EXPECT_TRUE(e.can_retry && e.can_default);
    if (calls == 2) GetEnv()->MakeDir("nodir");
    return ErrorAnswer::Retry();
  });
  EXPECT_TRUE(CreateTable("nodir\\t.dbf", {Field("A", 'C', 1)}));
  EXPECT_EQ(calls, 2);
}

TEST(DbfCreateTest, NewTablesGoToTheDefaultFolder) {
  ScratchDir dir;
  GetEnv()->MakeDir("data");
  GetSettings().default_folder = "data";
  ASSERT_TRUE(CreateTable("t.dbf", {Field("A", 'C', 1)}));
  EXPECT_TRUE(GetEnv()->FileExists("data\\t.dbf"));
  // Opening finds it there too.
  ASSERT_TRUE(UseTable("t"));
  GetSettings().default_folder.clear();
  DBCLOSEALL();
  GetSettings().path = "nowhere;data";
  EXPECT_TRUE(UseTable("t"));
}

class DbfFileTest : public testing::Test {
 protected:
  // Writes a table with fields C 5, N 5.1 and the given records and opens it.
  void WriteAndOpen(const std::vector<std::string>& records, uint32_t stored_count = 0,
                    int stored_record_length = -1) {
    RawTable t;
    t.descriptors = {RawTable::Descriptor("code", 'C', 5), RawTable::Descriptor("qty", 'N', 5, 1)};
    t.records = records;
    t.stored_count = stored_count;
    t.record_length = stored_record_length;
    t.eof_mark = false;
    WriteFileBytes(dir_.File("t.dbf"), t.Bytes());
    ASSERT_TRUE(UseTable("t.dbf"));
  }
  ScratchDir dir_;
};

TEST_F(DbfFileTest, CountComesFromTheFileSize) {
  std::vector<std::string> recs(7, " ABCDE  1.5");
  WriteAndOpen(recs, 5);
  EXPECT_EQ(RECCOUNT(), 7u);
  EXPECT_EQ(FIELDNAME(1), "CODE");
  EXPECT_EQ(FIELDGET(2), Value::Double(1.5));
  // A partial record at the end does not count.
  DBCLOSEALL();
  std::string bytes = ReadFileBytes(dir_.File("t.dbf"));
  WriteFileBytes(dir_.File("t.dbf"), bytes + " XY");
  ASSERT_TRUE(UseTable("t.dbf"));
  EXPECT_EQ(RECCOUNT(), 7u);
}

TEST_F(DbfFileTest, StoredRecordLengthIsRecomputedAndRewritten) {
  WriteAndOpen({" ABCDE  1.5", " FGHIJ  2.5"}, 2, 40);
  EXPECT_EQ(RECCOUNT(), 2u);
  DBGOTO(2);
  EXPECT_EQ(FIELDGET(1), Value::String("FGHIJ"));
  ASSERT_TRUE(DBAPPEND());
  DBCLOSEAREA();
  const std::string bytes = ReadFileBytes(dir_.File("t.dbf"));
  EXPECT_EQ(GetLe16(reinterpret_cast<const uint8_t*>(&bytes[10])), 11);
  EXPECT_EQ(GetLe32(reinterpret_cast<const uint8_t*>(&bytes[4])), 3u);
}

TEST(DbfOpenTest, DescriptorAreaEndsAtTheTerminator) {
  ScratchDir dir;
  RawTable t;
  t.descriptors = {RawTable::Descriptor("A", 'C', 1), RawTable::Descriptor("B", 'C', 1),
                   RawTable::Descriptor("C", 'C', 1)};
  t.header_length = 32 + 32 * 6 + 2;  // announces six
  t.records = {" xyz"};
  std::string bytes = t.Bytes();
  // Make the descriptor slots after the terminator look like garbage fields.
  for (size_t i = 32 + 3 * 32 + 2; i < static_cast<size_t>(t.header_length); ++i) bytes[i] = 'Z';
  WriteFileBytes(dir.File("t.dbf"), bytes);
  ASSERT_TRUE(UseTable("t.dbf"));
  EXPECT_EQ(FCOUNT(), 3);
  EXPECT_EQ(RECCOUNT(), 1u);
  EXPECT_EQ(FIELDGET(3), Value::String("z"));
}

TEST(DbfOpenTest, NamesAreUpperCasedAndCutAtTenBytes) {
  ScratchDir dir;
  RawTable t;
  t.descriptors = {RawTable::Descriptor("elevenchars", 'C', 2),
                   RawTable::Descriptor("mIx", 'L', 1)};
  t.records = {" ab?"};
  WriteFileBytes(dir.File("t.dbf"), t.Bytes());
  ASSERT_TRUE(UseTable("t.dbf"));
  EXPECT_EQ(FIELDNAME(1), "ELEVENCHAR");
  EXPECT_EQ(FIELDNAME(2), "MIX");
  EXPECT_EQ(FIELDPOS("mix"), 2);
}

TEST(DbfOpenTest, EveryAcceptedVersionByteOpens) {
  ScratchDir dir;
  struct Case {
    uint8_t version;
    uint8_t flags;
    bool memo;
  };
  for (const Case c : {Case{0x03, 0, false}, Case{0x30, 0, false}, Case{0x30, 2, true},
                       Case{0x83, 0, true}, Case{0xF5, 0, true}}) {
    RawTable t;
    t.version = c.version;
    t.flags = c.flags;
    t.descriptors = {RawTable::Descriptor("A", 'C', 1)};
    if (c.version == 0x30) t.descriptors.push_back(std::string(32, '\0'));  // type 0 ends
    t.records = {" x"};
    WriteFileBytes(dir.File("t.dbf"), t.Bytes());
    std::filesystem::remove(dir.File("t.dbt"));
    if (c.memo)
      WriteFileBytes(dir.File("t.dbt"), std::string("\x01\0\0\0", 4) + std::string(508, '\0'));
    ASSERT_TRUE(UseTable("t.dbf")) << int(c.version);
    EXPECT_EQ(FCOUNT(), 1);
    EXPECT_EQ(Dbf()->has_memo(), c.memo) << int(c.version);
    DBCLOSEAREA();
  }
  // A table with memo fields does not open without its memo file.
  RawTable t;
  t.version = 0x83;
  t.descriptors = {RawTable::Descriptor("A", 'C', 1)};
  WriteFileBytes(dir.File("memo.dbf"), t.Bytes());
  EXPECT_FALSE(UseTable("memo.dbf"));
  EXPECT_TRUE(NETERR());
  EXPECT_EQ(test::RecordedCodes(), std::vector<std::string>{"21/1001"});
  EXPECT_EQ(RecordedErrors()[0].filename, "memo.dbt");
  EXPECT_FALSE(USED());
}

TEST(DbfOpenTest, HeaderRewriteKeepsFlagsAndCodePageAndZeroesTheRest) {
  ScratchDir dir;
  RawTable t;
  t.version = 0xF5;
  t.flags = 0x03;
  t.descriptors = {RawTable::Descriptor("A", 'C', 1)};
  std::string bytes = t.Bytes();
  bytes[29] = 0x57;
  for (int i = 12; i < 28; ++i) bytes[i] = 'x';
  bytes[30] = bytes[31] = 'y';
  WriteFileBytes(dir.File("t.dbf"), bytes);
  WriteFileBytes(dir.File("t.dbt"), std::string("\x01\0\0\0", 4) + std::string(508, '\0'));
  ASSERT_TRUE(UseTable("t.dbf"));
  ASSERT_TRUE(DBAPPEND());
  DBCLOSEAREA();
  bytes = ReadFileBytes(dir.File("t.dbf"));
  EXPECT_EQ(Byte(bytes, 0), 0x83);   // a memo table is written back as 0x83
  EXPECT_EQ(Byte(bytes, 28), 0x01);  // the production-index bit only
  EXPECT_EQ(Byte(bytes, 29), 0x57);
  EXPECT_EQ(bytes.substr(12, 16), std::string(16, '\0'));
  EXPECT_EQ(bytes.substr(30, 2), std::string(2, '\0'));

  // Version 0x30 with memo fields keeps its version byte and memo bit.
  t.version = 0x30;
  t.flags = 0x02;
  WriteFileBytes(dir.File("t.dbf"), t.Bytes());
  ASSERT_TRUE(UseTable("t.dbf"));
  ASSERT_TRUE(DBAPPEND());
  DBCLOSEAREA();
  bytes = ReadFileBytes(dir.File("t.dbf"));
  EXPECT_EQ(Byte(bytes, 0), 0x30);
  EXPECT_EQ(Byte(bytes, 28), 0x02);
}

class DbfValueTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreateTable(
        "v.dbf",
        {Field("NAME", 'C', 10), Field("PRICE", 'N', 7, 2), Field("QTY", 'N', 4),
         Field("BIG", 'N', 12), Field("DUE", 'D', 8), Field("JD", 'D', 3), Field("PAID", 'L', 1),
         Field("RATE", 'B', 8, 3), Field("RAW", 'B', 8), Field("SMALL", 'I', 2),
         Field("MID", 'I', 4), Field("LARGE", 'I', 8), Field("NOTES", 'M', 10)}));
    ASSERT_TRUE(UseTable("v"));
    ASSERT_TRUE(DBAPPEND());
  }
  // The stored bytes of a field of the current record.
  std::string Stored(const char* name) {
    std::string rec;
    EXPECT_TRUE(CurrentArea()->GetRecord(&rec));
    const DbfField& f = Dbf()->fields()[FIELDPOS(name) - 1];
    return rec.substr(f.offset, f.len);
  }
  ScratchDir dir_;
};

TEST_F(DbfValueTest, BlankRecordReadsAsEmptyValues) {
  std::string rec;
  ASSERT_TRUE(CurrentArea()->GetRecord(&rec));
  EXPECT_EQ(rec[0], ' ');
  EXPECT_EQ(Stored("JD"), std::string(3, '\0'));
  EXPECT_EQ(Stored("SMALL"), std::string(2, '\0'));
  EXPECT_EQ(Stored("RATE"), std::string(8, '\0'));
  EXPECT_EQ(Stored("NOTES"), std::string(10, ' '));
  EXPECT_EQ(FIELDGET(1), Value::String(std::string(10, ' ')));
  EXPECT_EQ(FIELDGET(FIELDPOS("PRICE")), Value::Double(0));
  EXPECT_EQ(FIELDGET(FIELDPOS("DUE")), Value::Date(0));
  EXPECT_EQ(FIELDGET(FIELDPOS("PAID")), Value::Logical(false));
  EXPECT_EQ(FIELDGET(FIELDPOS("NOTES")), Value::Memo(""));
}

TEST_F(DbfValueTest, CharacterFieldsCutAndPad) {
  FIELDPUT(1, Value::String("ABCDEFGHIJKL"));
  EXPECT_EQ(Stored("NAME"), "ABCDEFGHIJ");
  FIELDPUT(1, Value::String("AB"));
  EXPECT_EQ(Stored("NAME"), "AB        ");
  FIELDPUT(1, Value::Memo("memo text!"));
  EXPECT_EQ(FIELDGET(1), Value::String("memo text!"));
}

TEST_F(DbfValueTest, NumericTextFields) {
  const int price = FIELDPOS("PRICE");
  FIELDPUT(price, Value::Double(1234.567));
  EXPECT_EQ(Stored("PRICE"), "1234.57");
  Value v = FIELDGET(price);
  EXPECT_TRUE(v.is_double());
  EXPECT_EQ(v.number(), 1234.57);
  EXPECT_EQ(v.width(), 4);
  EXPECT_EQ(v.decimals(), 2);

  const int qty = FIELDPOS("QTY");
  FIELDPUT(qty, Value::Integer(-12));
  EXPECT_EQ(Stored("QTY"), " -12");
  v = FIELDGET(qty);
  EXPECT_TRUE(v.is_integer());
  EXPECT_EQ(v.integer(), -12);
  EXPECT_EQ(v.width(), 4);

  const int big = FIELDPOS("BIG");
  FIELDPUT(big, Value::Integer(123456789012));
  v = FIELDGET(big);
  EXPECT_TRUE(v.is_double());
  EXPECT_EQ(v.number(), 123456789012.0);
  EXPECT_EQ(v.width(), 12);

  EXPECT_TRUE(RecordedErrors().empty());
  FIELDPUT(qty, Value::Integer(99999));
  EXPECT_EQ(Stored("QTY"), "****");
  ASSERT_EQ(RecordedErrors().size(), 1u);
  const Error& e = RecordedErrors()[0];
  EXPECT_EQ(e.gen_code, kErrDataWidth);
  EXPECT_EQ(e.sub_code, 1021);
  EXPECT_EQ(e.subsystem, "DBFNTX");
  EXPECT_TRUE(e.can_default);
  EXPECT_FALSE(e.can_retry);
  EXPECT_EQ(ERRORMESSAGE(e), "Error DBFNTX/1021  Data width error: QTY");
  EXPECT_EQ(FIELDGET(qty), Value::Integer(0));  // asterisks read as 0
}

TEST_F(DbfValueTest, WrongKindsAreRefusedAndLeaveTheFieldUnchanged) {
  FIELDPUT(1, Value::String("KEEP"));
  EXPECT_EQ(FIELDPUT(1, Value::Integer(5)), Value::Integer(5));  // the put reports success
  EXPECT_EQ(Stored("NAME"), "KEEP      ");
  FIELDPUT(FIELDPOS("PRICE"), Value::String("1"));
  FIELDPUT(FIELDPOS("DUE"), Value::Logical(true));
  FIELDPUT(FIELDPOS("PAID"), Value::Date(2451545));
  FIELDPUT(FIELDPOS("NOTES"), Value::Integer(7));  // a memo field takes texts only
  FIELDPUT(FIELDPOS("SMALL"), Value());
  EXPECT_EQ(test::RecordedCodes(), std::vector<std::string>(6, "33/1020"));
  EXPECT_EQ(Stored("NOTES"), std::string(10, ' '));
  EXPECT_EQ(Stored("DUE"), std::string(8, ' '));
}

TEST_F(DbfValueTest, DatesLogicalsAndBinaryNumbers) {
  const int32_t jan1 = DateFromYmd(2000, 1, 1);
  ASSERT_EQ(jan1, 2451545);
  FIELDPUT(FIELDPOS("DUE"), Value::Date(DateFromYmd(2024, 2, 29)));
  EXPECT_EQ(Stored("DUE"), "20240229");
  FIELDPUT(FIELDPOS("JD"), Value::Date(jan1));
  EXPECT_EQ(Stored("JD"), std::string("\x59\x68\x25", 3));
  EXPECT_EQ(FIELDGET(FIELDPOS("JD")), Value::Date(jan1));
  FIELDPUT(FIELDPOS("JD"), Value::Date(0));
  EXPECT_EQ(Stored("JD"), std::string(3, '\0'));

  FIELDPUT(FIELDPOS("PAID"), Value::Logical(true));
  EXPECT_EQ(Stored("PAID"), "T");
  FIELDPUT(FIELDPOS("PAID"), Value::Logical(false));
  EXPECT_EQ(Stored("PAID"), "F");

  FIELDPUT(FIELDPOS("RATE"), Value::Double(-2.5));
  Value rate = FIELDGET(FIELDPOS("RATE"));
  EXPECT_EQ(rate.number(), -2.5);
  EXPECT_EQ(rate.width(), 16);
  EXPECT_EQ(rate.decimals(), 3);
  EXPECT_EQ(Stored("RATE"), std::string("\0\0\0\0\0\0\x04\xC0", 8));
  FIELDPUT(FIELDPOS("RAW"), Value::Integer(7));
  EXPECT_EQ(FIELDGET(FIELDPOS("RAW")).width(), 20);

  EXPECT_TRUE(RecordedErrors().empty());
}

TEST_F(DbfValueTest, BinaryIntegerRanges) {
  const int small = FIELDPOS("SMALL"), mid = FIELDPOS("MID"), large = FIELDPOS("LARGE");
  FIELDPUT(small, Value::Integer(-2));
  EXPECT_EQ(Stored("SMALL"), "\xFE\xFF");
  FIELDPUT(small, Value::Integer(40000));
  EXPECT_EQ(Stored("SMALL"), "\xFE\xFF");  // unchanged
  EXPECT_EQ(test::RecordedCodes(), std::vector<std::string>{"34/1021"});
  FIELDPUT(mid, Value::Integer(40000));
  EXPECT_EQ(FIELDGET(mid), Value::Integer(40000));
  EXPECT_EQ(FIELDGET(mid).width(), 10);
  FIELDPUT(mid, Value::Integer(int64_t{1} << 31));
  FIELDPUT(large, Value::Integer(int64_t{1} << 40));
  EXPECT_EQ(FIELDGET(large), Value::Integer(int64_t{1} << 40));
  EXPECT_EQ(FIELDGET(large).width(), 20);
  FIELDPUT(large, Value::Double(1e19));
  FIELDPUT(small, Value::Double(2.5));
  EXPECT_EQ(FIELDGET(small), Value::Integer(3));
  FIELDPUT(small, Value::Double(-32768.4));
  EXPECT_EQ(FIELDGET(small), Value::Integer(-32768));
  EXPECT_EQ(test::RecordedCodes(), (std::vector<std::string>{"34/1021", "34/1021", "34/1021"}));
}

TEST(DbfReadTest, LogicalLettersAndInvalidDates) {
  ScratchDir dir;
  RawTable t;
  t.descriptors = {RawTable::Descriptor("L", 'L', 1), RawTable::Descriptor("D", 'D', 8)};
  t.records = {" ?20230230", "  2023-1-1", " y20231231", " t        ", " Y00000000", " Fabcdefgh"};
  WriteFileBytes(dir.File("t.dbf"), t.Bytes());
  ASSERT_TRUE(UseTable("t.dbf"));
  const std::vector<bool> logicals = {false, false, true, true, true, false};
  for (uint32_t r = 1; r <= 6; ++r) {
    DBGOTO(r);
    EXPECT_EQ(FIELDGET(1), Value::Logical(logicals[r - 1])) << r;
    if (r != 3) {
      EXPECT_EQ(FIELDGET(2), Value::Date(0)) << r;
    }
  }
  DBGOTO(3);
  EXPECT_EQ(FIELDGET(2), Value::Date(DateFromYmd(2023, 12, 31)));
}

class DbfHeaderTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreateTable("hdr.dbf", {Field("A", 'C', 3), Field("N", 'N', 3)}));
    // Pretend the table was last updated on 1 February 1999.
    std::string bytes = ReadFileBytes(dir_.File("hdr.dbf"));
    bytes[1] = 99;
    bytes[2] = 2;
    bytes[3] = 1;
    WriteFileBytes(dir_.File("hdr.dbf"), bytes);
  }
  std::string Bytes() { return files_.Bytes(dir_.File("hdr.dbf")); }
  uint32_t HeaderCount() { return GetLe32(reinterpret_cast<const uint8_t*>(&Bytes()[4])); }
  ScratchDir dir_;
  test::HeldFileEnv files_;
  ScopedEnv files_scope_{&files_};
};

TEST_F(DbfHeaderTest, ExclusiveAppendRewritesAtFlushAndClose) {
  ASSERT_TRUE(UseTable("hdr.dbf"));
  ASSERT_TRUE(DBAPPEND());
  FIELDPUT(1, Value::String("abc"));
  ASSERT_TRUE(DBAPPEND());
  EXPECT_EQ(HeaderCount(), 0u);  // not yet
  DBCOMMIT();
  EXPECT_EQ(HeaderCount(), 2u);
  std::string bytes = Bytes();
  EXPECT_EQ(bytes.substr(1, 3), TodayBytes());
  ASSERT_EQ(bytes.size(), 98u + 2 * 7 + 1);
  EXPECT_EQ(bytes.back(), '\x1A');
  EXPECT_EQ(bytes.substr(98, 7), " abc   ");
  ASSERT_TRUE(DBAPPEND());
  DBCLOSEAREA();
  bytes = Bytes();
  EXPECT_EQ(HeaderCount(), 3u);
  EXPECT_EQ(bytes.size(), 98u + 3 * 7 + 1);
  EXPECT_EQ(bytes.back(), '\x1A');
}

TEST_F(DbfHeaderTest, ChangingValuesLeavesTheHeaderAlone) {
  ASSERT_TRUE(UseTable("hdr.dbf"));
  ASSERT_TRUE(DBAPPEND());
  DBCLOSEAREA();
  std::string before = Bytes();
  before[1] = 99;  // old date again
  WriteFileBytes(dir_.File("hdr.dbf"), before);
  ASSERT_TRUE(UseTable("hdr.dbf"));
  FIELDPUT(1, Value::String("xyz"));
  DBDELETE();
  DBCOMMIT();
  DBCLOSEAREA();
  const std::string after = Bytes();
  EXPECT_EQ(after.substr(0, 32), before.substr(0, 32));
  EXPECT_EQ(after.substr(98, 4), "*xyz");
}

TEST_F(DbfHeaderTest, SharedAppendWritesRecordAndHeaderAtOnce) {
  ASSERT_TRUE(UseTable("hdr.dbf", "", /*shared=*/true));
  ASSERT_TRUE(DBAPPEND());
  std::string bytes = Bytes();
  EXPECT_EQ(HeaderCount(), 1u);
  EXPECT_EQ(bytes.substr(1, 3), TodayBytes());
  ASSERT_EQ(bytes.size(), 98u + 7);  // the file ends with the last record
  FIELDPUT(1, Value::String("a"));
  ASSERT_TRUE(DBAPPEND());
  DBCLOSEAREA();
  bytes = Bytes();
  EXPECT_EQ(bytes.size(), 98u + 2 * 7);
  EXPECT_EQ(HeaderCount(), 2u);
  EXPECT_EQ(bytes.substr(98, 2), " a");
}

TEST_F(DbfHeaderTest, SharedTablesSeeRecordsAppendedElsewhere) {
  ASSERT_TRUE(UseTable("hdr.dbf", "one", /*shared=*/true));
  ASSERT_TRUE(UseTable("hdr.dbf", "two", /*shared=*/true));
  EXPECT_EQ(SELECT(), 2);
  ASSERT_TRUE(DBAPPEND());
  FIELDPUT(1, Value::String("new"));
  DBCOMMIT();
  DBSELECTAREA("one");
  EXPECT_EQ(RECCOUNT(), 1u);
  DBGOBOTTOM();
  EXPECT_EQ(RECNO(), 1u);
  EXPECT_EQ(FIELDGET(1), Value::String("new"));
  // An exclusive open is refused while the table is open shared.
  EXPECT_FALSE(UseTable("hdr.dbf", "three", /*shared=*/false));
  EXPECT_TRUE(NETERR());
  EXPECT_TRUE(RecordedErrors().empty());  // settled quietly
}

TEST(DbfOpenErrorTest, MissingFileRaisesOpenErrorWithRetry) {
  ScratchDir dir;
  int calls = 0;
  {
    ScopedErrorHandler handler([&](Error& e) {
      ++calls;
      EXPECT_EQ(e.gen_code, kErrOpen);
      EXPECT_EQ(e.sub_code, 1001);
      EXPECT_EQ(e.os_code, kOsFileNotFound);
      EXPECT_EQ(e.subsystem, "DBFNTX");
      EXPECT_EQ(e.filename, "none.dbf");
      EXPECT_TRUE(e.can_retry && e.can_default);
      EXPECT_EQ(e.tries, calls);
      return calls < 3 ? ErrorAnswer::Retry() : ErrorAnswer::Default();
    });
    EXPECT_FALSE(UseTable("none"));
  }
  EXPECT_EQ(calls, 3);
  EXPECT_TRUE(NETERR());
  EXPECT_FALSE(USED());
  EXPECT_EQ(SELECT("NONE"), 0);  // the alias was given up
}

TEST(DbfOpenErrorTest, InvalidDataIsReportedAsASharingViolation) {
  ScratchDir dir;
  ASSERT_TRUE(CreateTable("t.dbf", {Field("A", 'C', 1)}));
  test::FaultyEnv env;
  ScopedEnv scoped(&env);
  env.faults.open_error = kOsInvalidData;
  EXPECT_FALSE(UseTable("t"));
  EXPECT_TRUE(NETERR());
  EXPECT_TRUE(RecordedErrors().empty());
  // An open that fails without an error code fails quietly too.
  env.faults.open_error = 0;
  env.faults.open_failures_left = -1;
  SetNetErr(false);
  ASSERT_TRUE(UseTable("t"));
}

TEST(DbfOpenErrorTest, AnOpenRefusedBecauseOfSharingIsQuiet) {
  ScratchDir dir;
  ASSERT_TRUE(CreateTable("t.dbf", {Field("A", 'C', 1)}));
  int code = 0;
  auto holder = GetEnv()->OpenFile("t.dbf", FileAccess::kReadWrite, FileShare::kExclusive, &code);
  ASSERT_NE(holder, nullptr);
  EXPECT_FALSE(UseTable("t", "", /*shared=*/true));
  EXPECT_TRUE(NETERR());
  EXPECT_TRUE(RecordedErrors().empty());
  holder.reset();
  EXPECT_TRUE(UseTable("t", "", /*shared=*/true));
  EXPECT_FALSE(NETERR());
}

TEST(DbfWriteTest, ReadOnlyTablesRefuseChanges) {
  ScratchDir dir;
  ASSERT_TRUE(CreateTable("t.dbf", {Field("A", 'C', 1)}));
  ASSERT_TRUE(UseTable("t"));
  ASSERT_TRUE(DBAPPEND());
  DBCLOSEAREA();
  ASSERT_TRUE(UseTable("t", "", false, /*read_only=*/true));
  EXPECT_FALSE(DBAPPEND());
  EXPECT_TRUE(NETERR());
  EXPECT_EQ(FIELDPUT(1, Value::String("x")), Value());
  DBDELETE();
  EXPECT_FALSE(DELETED());
  EXPECT_EQ(test::RecordedCodes(), (std::vector<std::string>(3, "39/1025")));
  EXPECT_FALSE(RecordedErrors()[0].can_retry || RecordedErrors()[0].can_default);
}

TEST(DbfWriteTest, ShortWritesRaiseWriteErrors) {
  ScratchDir dir;
  ASSERT_TRUE(CreateTable("t.dbf", {Field("A", 'C', 4)}));
  test::FaultyEnv env;
  ScopedEnv scoped(&env);
  ASSERT_TRUE(UseTable("t"));
  ASSERT_TRUE(DBAPPEND());
  FIELDPUT(1, Value::String("abcd"));
  env.faults.short_writes = true;
  DBCOMMIT();
  ASSERT_FALSE(RecordedErrors().empty());
  EXPECT_EQ(test::RecordedCodes()[0], "24/1011");
  EXPECT_FALSE(RecordedErrors()[0].can_retry || RecordedErrors()[0].can_default);
  // The record stays pending and reaches the file once writing works again.
  env.faults.short_writes = false;
  DBCLOSEAREA();
  EXPECT_EQ(ReadFileBytes(dir.File("t.dbf")).substr(66, 5), " abcd");
}

TEST(DbfReadTest, ARecordReadPastTheEndOfTheFileFails) {
  ScratchDir dir;
  RawTable t;
  t.descriptors = {RawTable::Descriptor("A", 'C', 4)};
  t.records = {" abcd", " efgh"};
  WriteFileBytes(dir.File("t.dbf"), t.Bytes());
  // Shared, as only then may another program change the file.
  ASSERT_TRUE(UseTable("t", "", /*shared=*/true));
  EXPECT_EQ(FIELDGET(1), Value::String("abcd"));
  // Another program cuts the file behind the engine's back.
  std::filesystem::resize_file(dir.File("t.dbf"), 66 + 5 + 2);
  DBGOTO(2);
  EXPECT_EQ(FIELDGET(1), Value());
  EXPECT_EQ(test::RecordedCodes(), std::vector<std::string>{"23/1010"});
  EXPECT_FALSE(RecordedErrors()[0].can_retry || RecordedErrors()[0].can_default);
}

TEST(DbfAreaTest, InfoAndNoSeekWithoutOrders) {
  ScratchDir dir;
  ASSERT_TRUE(CreateTable("t.dbf", {Field("A", 'C', 4), Field("M", 'M', 10)}));
  ASSERT_TRUE(UseTable("t", "", /*shared=*/true));
  Value v;
  ASSERT_TRUE(CurrentArea()->Info(TableInfo::kIsShared, &v));
  EXPECT_EQ(v, Value::Logical(true));
  ASSERT_TRUE(CurrentArea()->Info(TableInfo::kHeaderSize, &v));
  EXPECT_EQ(v, Value::Integer(98));
  ASSERT_TRUE(CurrentArea()->Info(TableInfo::kHasMemo, &v));
  EXPECT_EQ(v, Value::Logical(true));
  ASSERT_TRUE(CurrentArea()->Info(TableInfo::kLastUpdate, &v));
  EXPECT_EQ(v, Value::Date(Today()));
  EXPECT_FALSE(DBSEEK(Value::String("x")));
  EXPECT_EQ(test::RecordedCodes(), std::vector<std::string>{"36/1201"});
}

}  // namespace
}  // namespace px
