// DBSTRUCT and DBCREATE: structure arrays, the checks before any file is touched, the
// letter mapping, scratch aliases and opening the new table.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "engine/workarea/structure.h"
#include "runtime/env.h"
#include "runtime/process_state.h"
#include "runtime/settings.h"
#include "tests/engine/faulty_env.h"
#include "tests/engine/table_util.h"
#include "tests/test_util.h"

namespace px {
namespace {

using test::CreateTable;
using test::Field;
using test::RawTable;
using test::ReadFileBytes;
using test::RecordedCodes;
using test::ScratchDir;
using test::UseTable;
using test::WriteFileBytes;

Value Entry(const std::string& name, const std::string& type, int64_t len, int64_t dec = 0) {
  return Value::Array(
      {Value::String(name), Value::String(type), Value::Integer(len), Value::Integer(dec)});
}

Value Structure(std::vector<Value> entries) {
  return Value::Array(std::move(entries));
}

Value QuoteStructure() {
  return Structure({Entry("NAME", "C", 30), Entry("PRICE", "N", 10, 2), Entry("DUE", "D", 8),
                    Entry("PAID", "L", 1), Entry("NOTES", "M", 10)});
}

// The files in the scratch folder.
std::vector<std::string> Files(const ScratchDir& dir) {
  std::vector<std::string> out;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    out.push_back(e.path().filename().string());
  }
  std::sort(out.begin(), out.end());
  return out;
}

TEST(DbStructTest, StructureOfATableAndOfNoTable) {
  ScratchDir dir;
  EXPECT_EQ(DBSTRUCT(), Value::Array());
  ASSERT_TRUE(CreateTable("quotes.dbf",
                          {Field("NAME", 'C', 30), Field("PRICE", 'N', 10, 2), Field("DUE", 'D', 8),
                           Field("PAID", 'L', 1), Field("NOTES", 'M', 10)}));
  ASSERT_TRUE(UseTable("quotes"));
  EXPECT_EQ(DBSTRUCT(), QuoteStructure());
  const Value s = DBSTRUCT();
  EXPECT_TRUE(s.array()[1].array()[1].is_char());
  EXPECT_TRUE(s.array()[1].array()[2].is_number());
}

TEST(DbStructTest, LettersReadAsOtherKindsComeOutAsTheirKinds) {
  ScratchDir dir;
  RawTable t;
  t.descriptors = {RawTable::Descriptor("F", 'F', 6, 2), RawTable::Descriptor("E", '8', 8, 1),
                   RawTable::Descriptor("S", '2', 2), RawTable::Descriptor("L4", '4', 4),
                   RawTable::Descriptor("WIDE", 'C', 44, 1)};
  WriteFileBytes(dir.File("odd.dbf"), t.Bytes());
  ASSERT_TRUE(UseTable("odd"));
  EXPECT_EQ(DBSTRUCT(), Structure({Entry("F", "N", 6, 2), Entry("E", "B", 8, 1), Entry("S", "I", 2),
                                   Entry("L4", "I", 4), Entry("WIDE", "C", 300)}));
  // Fed back to DBCREATE it reproduces every field, with the kinds' own letters.
  ASSERT_TRUE(DBCREATE("copy", DBSTRUCT()));
  ASSERT_TRUE(UseTable("copy"));
  EXPECT_EQ(DBSTRUCT(), Structure({Entry("F", "N", 6, 2), Entry("E", "B", 8, 1), Entry("S", "I", 2),
                                   Entry("L4", "I", 4), Entry("WIDE", "C", 300)}));
}

TEST(DbCreateTest, CreatesTheFilesClosedAndKeepsTheCurrentArea) {
  ScratchDir dir;
  ASSERT_TRUE(CreateTable("other.dbf", {Field("A", 'C', 1)}));
  ASSERT_TRUE(UseTable("other"));
  DBSELECTAREA(5);
  EXPECT_TRUE(DBCREATE("zztemp", QuoteStructure()));
  EXPECT_EQ(SELECT(), 5);
  EXPECT_FALSE(USED());
  EXPECT_EQ(OpenAreas().size(), 1u);
  EXPECT_EQ(SELECT("zztemp"), 0);
  const std::string bytes = ReadFileBytes(dir.File("zztemp.dbf"));
  EXPECT_EQ(static_cast<uint8_t>(bytes[0]), 0x83);
  EXPECT_EQ(bytes.size(), 32u * 5 + 35);
  EXPECT_EQ(ReadFileBytes(dir.File("zztemp.dbt")).size(), 512u);
  EXPECT_TRUE(RecordedErrors().empty());
  // The files can be opened exclusively: nothing holds them.
  ASSERT_TRUE(UseTable("zztemp"));
  EXPECT_EQ(DBSTRUCT(), QuoteStructure());
}

TEST(DbCreateTest, MalformedArgumentsAreRefusedBeforeAnyFileWork) {
  ScratchDir dir;
  const std::vector<Value> bad = {
      Value(),
      Value::Array(),
      Value::String("C"),
      Structure({Value::Array({Value::String("A"), Value::String("C"), Value::Integer(3)})}),
      Structure({Entry("A", "C", 3), Value::String("B")}),
      Structure({Value::Array(
          {Value::Integer(1), Value::String("C"), Value::Integer(3), Value::Integer(0)})}),
      Structure({Value::Array(
          {Value::String("A"), Value::String("C"), Value::String("3"), Value::Integer(0)})}),
      Structure(
          {Value::Array({Value::String("A"), Value::String("C"), Value::Integer(3), Value()})}),
  };
  for (const Value& structure : bad) EXPECT_FALSE(DBCREATE("t", structure));
  EXPECT_FALSE(DBCREATE("", QuoteStructure()));
  EXPECT_EQ(RecordedCodes(), std::vector<std::string>(bad.size() + 1, "1/1014"));
  for (const Error& e : RecordedErrors()) {
    EXPECT_EQ(e.subsystem, "DBCMD");
    EXPECT_EQ(e.operation, "DBCREATE");
    EXPECT_FALSE(e.can_retry || e.can_default);
  }
  EXPECT_TRUE(Files(dir).empty());
  EXPECT_TRUE(OpenAreas().empty());
}

TEST(DbCreateTest, FieldsThatCannotBeDefinedCreateNothing) {
  ScratchDir dir;
  ASSERT_TRUE(CreateTable("other.dbf", {Field("A", 'C', 1)}));
  ASSERT_TRUE(UseTable("other"));
  const std::vector<Value> bad = {
      Structure({Entry("AMOUNT", "N", 300)}), Structure({Entry("A", "C", 3), Entry("Q", "Q", 5)}),
      Structure({Entry(" LEAD", "C", 3)}),    Structure({Entry("", "C", 3)}),
      Structure({Entry("A", "", 3)}),         Structure({Entry("HUGE", "C", 255, 256)}),
      Structure({Entry("B", "B", 8, 300)}),
  };
  for (const Value& structure : bad) EXPECT_FALSE(DBCREATE("t", structure));
  EXPECT_FALSE(DBCREATE("t", QuoteStructure(), "NOSUCH"));
  EXPECT_EQ(RecordedCodes(), std::vector<std::string>(bad.size() + 1, "20/1015"));
  EXPECT_EQ(RecordedErrors()[0].operation, "DBCREATE");
  EXPECT_EQ(Files(dir), std::vector<std::string>{"other.dbf"});
  EXPECT_EQ(SELECT(), 1);
  EXPECT_EQ(OpenAreas().size(), 1u);
}

TEST(DbCreateTest, LetterMappingAndLengths) {
  ScratchDir dir;
  ASSERT_TRUE(DBCREATE(
      "kinds", Structure({Entry("wide", "c", 44, 1), Entry("f", "f", 7, 3), Entry("d3", "D", 3),
                          Entry("d9", "d", 9), Entry("l", "L", 5, 2), Entry("m4", "m", 4),
                          Entry("m7", "M", 7), Entry("b", "8", 3, 2), Entry("i8", "i", 8),
                          Entry("i5", "I", 5), Entry("two", "2", 9), Entry("four", "4", 1),
                          Entry("neg", "C", -5, -1), Entry("name cut", "C", 2),
                          Entry("twelvechars", "Character", 2)})));
  ASSERT_TRUE(UseTable("kinds"));
  EXPECT_EQ(DBSTRUCT(),
            Structure({Entry("WIDE", "C", 300), Entry("F", "N", 7, 3), Entry("D3", "D", 3),
                       Entry("D9", "D", 8), Entry("L", "L", 1), Entry("M4", "M", 4),
                       Entry("M7", "M", 10), Entry("B", "B", 8, 2), Entry("I8", "I", 8),
                       Entry("I5", "I", 4), Entry("TWO", "I", 2), Entry("FOUR", "I", 4),
                       Entry("NEG", "C", 0), Entry("NAME", "C", 2), Entry("TWELVECHAR", "C", 2)}));
}

TEST(DbCreateTest, OneCharacterAliases) {
  ScratchDir dir;
  for (const char* alias : {"A", "k", "M", "m", "@", "1"}) {
    EXPECT_FALSE(DBCREATE("t", QuoteStructure(), "", true, alias)) << alias;
  }
  EXPECT_EQ(RecordedCodes(), std::vector<std::string>(6, "1/1015"));
  EXPECT_TRUE(Files(dir).empty());
  ClearRecordedErrors();
  // "L", letters after "M" and characters above 127 are allowed.
  EXPECT_TRUE(DBCREATE("t", QuoteStructure(), "", true, "l"));
  EXPECT_EQ(ALIAS(), "L");
  DBCLOSEAREA();
  EXPECT_TRUE(DBCREATE("t", QuoteStructure(), "", true, "N"));
  DBCLOSEAREA();
  EXPECT_TRUE(DBCREATE("t", QuoteStructure(), "", true, "\xE9"));
  EXPECT_EQ(ALIAS(), "\xE9");
  EXPECT_TRUE(RecordedErrors().empty());
}

TEST(DbCreateTest, NoScratchAliasLeft) {
  ScratchDir dir;
  for (int n = 1; n <= 999; ++n) {
    std::string number = std::to_string(n);
    ASSERT_TRUE(RegisterAlias("__DBCREATE" + std::string(3 - number.size(), '0') + number,
                              static_cast<uint16_t>(1000 + n)));
  }
  EXPECT_FALSE(DBCREATE("t", QuoteStructure()));
  EXPECT_EQ(RecordedCodes(), std::vector<std::string>{"18/1011"});
  EXPECT_TRUE(Files(dir).empty());
  UnregisterAlias("__DBCREATE500");
  EXPECT_TRUE(DBCREATE("t", QuoteStructure()));
}

TEST(DbCreateTest, OpeningTheNewTable) {
  ScratchDir dir;
  ASSERT_TRUE(CreateTable("other.dbf", {Field("A", 'C', 1)}));
  ASSERT_TRUE(UseTable("other"));

  // True: a new free area, under the file's base name, exclusive as the setting says.
  EXPECT_TRUE(DBCREATE("first", QuoteStructure(), "", true));
  EXPECT_EQ(SELECT(), 2);
  EXPECT_EQ(ALIAS(), "FIRST");
  Value shared;
  ASSERT_TRUE(CurrentArea()->Info(TableInfo::kIsShared, &shared));
  EXPECT_EQ(shared, Value::Logical(false));

  // False: the current area, whose table is closed first; shared with the setting off.
  GetSettings().exclusive = false;
  DBSELECTAREA(1);
  EXPECT_TRUE(DBCREATE("second.dbf", QuoteStructure(), "", false, "sec"));
  EXPECT_EQ(SELECT(), 1);
  EXPECT_EQ(ALIAS(), "SEC");
  EXPECT_EQ(SELECT("other"), 0);
  ASSERT_TRUE(CurrentArea()->Info(TableInfo::kIsShared, &shared));
  EXPECT_EQ(shared, Value::Logical(true));
  EXPECT_TRUE(RecordedErrors().empty());

  // A new table that cannot be opened (its alias is taken) is left closed.
  EXPECT_FALSE(DBCREATE("third", QuoteStructure(), "", true, "first"));
  EXPECT_TRUE(NETERR());
  EXPECT_EQ(RecordedCodes(), std::vector<std::string>{"18/1011"});
  EXPECT_FALSE(USED());
  EXPECT_EQ(SELECT(), 3);
  EXPECT_TRUE(GetEnv()->FileExists("third.dbf"));
  EXPECT_EQ(OpenAreas().size(), 2u);
}

TEST(DbCreateTest, ATableFileThatCannotBeCreated) {
  ScratchDir dir;
  DBSELECTAREA(3);
  EXPECT_FALSE(DBCREATE("nodir\\t", QuoteStructure()));
  EXPECT_EQ(RecordedCodes(), std::vector<std::string>{"20/1004"});
  EXPECT_EQ(RecordedErrors()[0].subsystem, "DBFNTX");
  EXPECT_EQ(SELECT(), 3);
  EXPECT_TRUE(OpenAreas().empty());
  EXPECT_FALSE(NETERR());
}

TEST(DbCreateTest, AShortWriteFailsTheCreation) {
  ScratchDir dir;
  test::FaultyEnv env;
  ScopedEnv scoped(&env);
  env.faults.short_writes = true;
  EXPECT_FALSE(DBCREATE("t", QuoteStructure()));
  EXPECT_FALSE(DBCREATE("t", QuoteStructure(), "", true));
  EXPECT_TRUE(OpenAreas().empty());
  for (const Error& e : RecordedErrors()) EXPECT_EQ(e.gen_code, kErrWrite);
}

}  // namespace
}  // namespace px
