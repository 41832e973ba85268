// Index creation through ORDCREATE/DBCREATEINDEX on real tables: the layouts of the
// files written, the argument errors, key types and sizes, the key order of equal keys,
// the memory-reduction path and builds that fail.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "engine/expr/block.h"
#include "engine/ntx/ntx_area.h"
#include "runtime/memvars.h"
#include "runtime/settings.h"
#include "tests/engine/faulty_env.h"
#include "tests/engine/ntx/literal_sort.h"
#include "tests/engine/ntx/ntx_test_util.h"
#include "tests/engine/ntx/order_test_util.h"

namespace px::ntx {
namespace {

using test::RecordedCodes;
using test::ScratchDir;
using testutil::AppendRecord;
using testutil::CurrentNtx;
using testutil::LiteralSort;
using testutil::MakeNameTable;
using testutil::Pad;
using testutil::Recnos;
using testutil::StoredKeys;
using V = std::vector<uint32_t>;

// A page of a file read back.
struct Page {
  int count = 0;
  std::vector<uint32_t> children;  // slots 0..count
  std::vector<uint32_t> recnos;
};

class FileBytes {
 public:
  FileBytes(std::string bytes, int key_size) : bytes_(std::move(bytes)), ks_(key_size) {}
  Page At(uint32_t offset) const {
    std::string copy = bytes_.substr(offset, kPageSize);
    PageView v(reinterpret_cast<uint8_t*>(copy.data()), ks_, MaxKeysPerPage(ks_));
    Page p;
    p.count = v.count();
    for (int i = 0; i <= p.count; ++i) p.children.push_back(v.child(i));
    for (int i = 0; i < p.count; ++i) p.recnos.push_back(v.recno(i));
    return p;
  }
  uint32_t U16(size_t at) const { return GetU16(reinterpret_cast<const uint8_t*>(&bytes_[at])); }
  uint32_t root() const { return GetU32(reinterpret_cast<const uint8_t*>(&bytes_[4])); }
  size_t size() const { return bytes_.size(); }
  std::string Text(size_t at) const { return std::string(bytes_.c_str() + at); }
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
  int ks_;
};

class CreateTest : public ::testing::Test {
 protected:
  FileBytes Read(const std::string& name, int key_size) {
    return FileBytes(test::ReadFileBytes(dir_.File(name)), key_size);
  }
  // A table of NAME C(10) with the given number of distinct keys, in random order of
  // records, each record's key being its record number padded to 10 digits.
  void Distinct(int n) {
    std::vector<std::string> names;
    for (int i = 1; i <= n; ++i) names.push_back(Pad(static_cast<uint64_t>(i), 10));
    MakeNameTable("t.dbf", 10, names);
  }
  ScratchDir dir_;
};

TEST_F(CreateTest, EmptyTableGivesTwoPages) {
  MakeNameTable("t.dbf", 10, {});
  DBCREATEINDEX("e", "NAME");
  EXPECT_TRUE(EOF_());
  DBCLOSEAREA();
  const FileBytes f = Read("e.ntx", 10);
  ASSERT_EQ(f.size(), 2048u);
  EXPECT_EQ(f.root(), 1024u);
  EXPECT_EQ(f.U16(0), 6u);    // signature
  EXPECT_EQ(f.U16(2), 1u);    // version
  EXPECT_EQ(f.U16(12), 18u);  // item size
  EXPECT_EQ(f.U16(14), 10u);  // key size
  EXPECT_EQ(f.U16(18), 48u);  // maximum keys
  EXPECT_EQ(f.U16(20), 24u);  // half page
  EXPECT_EQ(f.Text(22), "NAME");
  EXPECT_EQ(f.Text(538), "");  // no name was given
  EXPECT_EQ(f.At(1024).count, 0);
  EXPECT_EQ(f.U16(1024 + 2), 100u);  // the item area of a size-10 page starts at 100
}

TEST_F(CreateTest, ThousandKeysGiveTwoLevelsOfEvenlyFilledPages) {
  Distinct(1000);
  DBCREATEINDEX("k", "NAME");
  EXPECT_EQ(RECNO(), 1u);
  DBCLOSEAREA();
  const FileBytes f = Read("k.ntx", 10);
  ASSERT_EQ(f.size(), 24576u);
  ASSERT_EQ(f.root(), 23552u);  // written last
  const Page root = f.At(f.root());
  ASSERT_EQ(root.count, 21);
  ASSERT_EQ(root.children.size(), 22u);
  uint32_t expected = 1;
  for (size_t i = 0; i < 22; ++i) {
    const Page leaf = f.At(root.children[i]);
    EXPECT_EQ(leaf.count, i < 11 ? 45 : 44) << "leaf " << i;
    for (uint32_t r : leaf.recnos) {
      EXPECT_EQ(r, expected++);
    }
    if (i < 21) {
      EXPECT_EQ(root.recnos[i], expected++);
    }
  }
  EXPECT_EQ(expected, 1001u);
  EXPECT_EQ(testutil::Problems(dir_.File("k.ntx")), "");
}

TEST_F(CreateTest, FortyEightKeysGiveOneRootKeyOverTwoLeaves) {
  Distinct(48);
  DBCREATEINDEX("k", "NAME");
  DBCLOSEAREA();
  const FileBytes f = Read("k.ntx", 10);
  const Page root = f.At(f.root());
  ASSERT_EQ(root.count, 1);
  EXPECT_EQ(f.At(root.children[0]).count, 24);
  EXPECT_EQ(f.At(root.children[1]).count, 23);
  EXPECT_EQ(root.recnos[0], 25u);
}

TEST_F(CreateTest, FiveUniqueKeysFitTheRootLeaf) {
  Distinct(5);
  DBCREATEINDEX("k", "NAME", nullptr, true);
  DBCLOSEAREA();
  const FileBytes f = Read("k.ntx", 10);
  EXPECT_EQ(f.size(), 2048u);
  EXPECT_EQ(f.root(), 1024u);
  EXPECT_EQ(f.At(1024).recnos, (V{1, 2, 3, 4, 5}));
  EXPECT_EQ(f.bytes()[278], 1);
}

TEST_F(CreateTest, EqualKeysKeepTheOrderOfTheBatchedSort) {
  MakeNameTable("t.dbf", 10, std::vector<std::string>(100, "SAME"));
  DBCREATEINDEX("k", "NAME");
  // 1-10, 12-20, 11, 22-30, 21, ... 92-100, 91.
  V expected = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  for (uint32_t b = 1; b < 10; ++b) {
    for (uint32_t r = b * 10 + 2; r <= b * 10 + 10; ++r) expected.push_back(r);
    expected.push_back(b * 10 + 1);
  }
  EXPECT_EQ(Recnos(StoredKeys(1)), expected);
  EXPECT_EQ(std::vector<uint32_t>(expected.begin() + 10, expected.begin() + 20),
            (V{12, 13, 14, 15, 16, 17, 18, 19, 20, 11}));

  DBCREATEINDEX("u", "NAME", nullptr, true);
  EXPECT_EQ(Recnos(StoredKeys(1)), (V{1}));
  DBCLOSEAREA();

  MakeNameTable("three.dbf", 10, {"X", "X", "X"});
  DBCREATEINDEX("k3", "NAME");
  EXPECT_EQ(Recnos(StoredKeys(1)), (V{1, 2, 3}));
  DBCREATEINDEX("u3", "NAME", nullptr, true);
  EXPECT_EQ(Recnos(StoredKeys(1)), (V{1}));
}

// The build through the table gives the order the literal algorithm gives, unique
// builds included, on random tables with many duplicates.
TEST_F(CreateTest, RandomTablesMatchTheLiteralSort) {
  std::mt19937 rng(11);
  for (int round = 0; round < 12; ++round) {
    const int n = 1 + static_cast<int>(rng() % 400);
    const int distinct = 1 + static_cast<int>(rng() % 12);
    std::vector<std::string> names;
    std::string keys;
    for (int i = 0; i < n; ++i) {
      names.push_back(std::string(1, static_cast<char>('A' + rng() % distinct)) + "   ");
      keys += names.back();
    }
    const std::string table = "r" + std::to_string(round) + ".dbf";
    MakeNameTable(table, 4, names);
    for (bool unique : {false, true}) {
      DBCREATEINDEX("r", "NAME", nullptr, unique);
      LiteralSort literal(reinterpret_cast<const uint8_t*>(keys.data()), static_cast<uint32_t>(n),
                          4, static_cast<uint32_t>(n), unique, false);
      V expected;
      for (uint32_t at : literal.Run()) expected.push_back(at + 1);
      EXPECT_EQ(Recnos(StoredKeys(1)), expected) << "round " << round << " unique " << unique;
    }
    DBCLOSEAREA();
  }
}

TEST_F(CreateTest, KeySizeTwoFiftySixHoldsTwoKeysAPage) {
  ASSERT_TRUE(test::CreateTable("w.dbf", {test::Field("TEXT", 'C', 200)}));
  ASSERT_TRUE(test::UseTable("w.dbf"));
  for (int i = 9; i >= 1; --i) AppendRecord({Value::String(std::string(199, 'a') + char('0' + i))});
  // A 400-character key is cut to 256 bytes.
  DBCREATEINDEX("w", "TEXT+TEXT");
  EXPECT_EQ(StoredKeys(1)[0].key.size(), 256u);
  EXPECT_EQ(Recnos(StoredKeys(1)), (V{9, 8, 7, 6, 5, 4, 3, 2, 1}));
  DBCLOSEAREA();
  const FileBytes f = Read("w.ntx", 256);
  EXPECT_EQ(f.U16(18), 2u);
  EXPECT_EQ(f.U16(14), 256u);
  EXPECT_EQ(testutil::Problems(dir_.File("w.ntx")), "");
}

TEST_F(CreateTest, KeyTypesAndSizesComeFromTheFirstKey) {
  ASSERT_TRUE(test::CreateTable("n.dbf", {test::Field("N", 'N', 5), test::Field("M", 'N', 10, 2),
                                          test::Field("D", 'D', 8), test::Field("L", 'L', 1)}));
  ASSERT_TRUE(test::UseTable("n.dbf"));
  for (int v : {-5, 0, -10, 3}) {
    AppendRecord({Value::Integer(v), Value::Double(v / 4.0, 7, 2), Value::Date(2451545 + v),
                  Value::Logical(v > 0)});
  }
  DBCREATEINDEX("n", "N");
  const std::vector<IndexEntry> n = StoredKeys(1);
  ASSERT_EQ(n.size(), 4u);
  EXPECT_EQ(n[0].key, ",,,+,");  // -10
  EXPECT_EQ(n[1].key, ",,,,'");  // -5
  EXPECT_EQ(n[2].key, "00000");
  EXPECT_EQ(n[3].key, "00003");
  DBCREATEINDEX("m", "M");
  EXPECT_EQ(StoredKeys(1)[0].key, ",,,,,,*.',");  // -2.50
  DBCREATEINDEX("d", "D");
  EXPECT_EQ(StoredKeys(1)[0].key, "19991222");
  DBCREATEINDEX("l", "L");
  EXPECT_EQ(Recnos(StoredKeys(1)), (V{1, 2, 3, 4}));
  EXPECT_EQ(StoredKeys(1)[3].key, "T");
  DBCLOSEAREA();
  EXPECT_EQ(Read("m.ntx", 10).U16(14), 10u);
  EXPECT_EQ(Read("m.ntx", 10).U16(16), 2u);
  EXPECT_EQ(Read("d.ntx", 8).U16(14), 8u);
  EXPECT_EQ(Read("l.ntx", 1).U16(14), 1u);
  EXPECT_TRUE(RecordedErrors().empty());
}

TEST_F(CreateTest, ArgumentAndKeyErrors) {
  DBCREATEINDEX("x", "NAME");
  EXPECT_EQ(RecordedCodes(), (std::vector<std::string>{"35/2001"}));
  EXPECT_EQ(RecordedErrors()[0].operation, "ORDCREATE");
  ClearRecordedErrors();

  MakeNameTable("t.dbf", 10, {"ONE", "", "THREE"});
  ORDCREATE("", "", "NAME");
  ORDCREATE("x", "", "");
  EXPECT_EQ(RecordedCodes(), (std::vector<std::string>{"1/1006", "1/1006"}));
  ClearRecordedErrors();

  // An empty first key: data width error, nothing created.
  DBGOTO(2);
  DBCREATEINDEX("x", "TRIM(NAME)");
  EXPECT_EQ(RecordedCodes(), (std::vector<std::string>{"34/1026"}));
  EXPECT_FALSE(GetEnv()->FileExists("x.ntx"));
  ClearRecordedErrors();

  // Keys of another length than the first: the build fails, its file is removed and
  // the area has no order; nothing is raised.
  DBCREATEINDEX("names", "NAME");
  DBGOTO(3);
  DBCREATEINDEX("x", "TRIM(NAME)");
  EXPECT_TRUE(RecordedErrors().empty());
  EXPECT_FALSE(GetEnv()->FileExists("x.ntx"));
  EXPECT_EQ(DBORDERINFO(9).integer(), 0);
  EXPECT_EQ(RECNO(), 3u);

  // A key that is neither text, number, date nor logical ends quietly.
  auto nil_key =
      std::make_shared<const CodeBlock>([](const std::vector<Value>&) { return Value(); }, "NIL");
  DBCREATEINDEX("x", "NIL", nil_key);
  EXPECT_TRUE(RecordedErrors().empty());
  EXPECT_FALSE(GetEnv()->FileExists("x.ntx"));

  // A key text that does not compile.
  DBCREATEINDEX("x", "NAME+");
  EXPECT_EQ(RecordedCodes(), (std::vector<std::string>{"7/1449"}));
  ClearRecordedErrors();
  // A key text too long for the header.
  DBCREATEINDEX("x", "NAME" + std::string(300, ' '));
  EXPECT_EQ(RecordedCodes(), (std::vector<std::string>{"31/1014"}));
  EXPECT_FALSE(GetEnv()->FileExists("x.ntx"));
}

TEST_F(CreateTest, NamesAndHeaderTexts) {
  MakeNameTable("t.dbf", 10, {"B", "A"});
  // No file name: the table's base name; the given order name is stored, cut to 10.
  ORDCREATE("", "ByNameAndMore", "NAME");
  EXPECT_EQ(DBORDERINFO(5).str(), "ByNameAndM");
  DBCREATEINDEX("other", "NAME");
  EXPECT_EQ(DBORDERINFO(5).str(), "other");
  EXPECT_TRUE(GetEnv()->FileExists("other.ntx"));
  DBCREATEINDEX("odd.idx", "NAME");
  EXPECT_TRUE(GetEnv()->FileExists("odd.idx"));
  // The unique setting is the default.
  GetSettings().unique = true;
  DBCREATEINDEX("uniq", "NAME");
  EXPECT_TRUE(DBORDERINFO(13).logical());
  DBCLOSEAREA();
  EXPECT_EQ(Read("t.ntx", 10).Text(538), "ByNameAndM");
  EXPECT_EQ(Read("other.ntx", 10).Text(538), "");
  // Reopened, the stored name or the file's base name is the order name.
  ASSERT_TRUE(test::UseTable("t.dbf"));
  ORDLISTADD("t");
  ORDLISTADD("other");
  EXPECT_EQ(DBORDERINFO(5, Value::Integer(1)).str(), "ByNameAndM");
  EXPECT_EQ(DBORDERINFO(5, Value::Integer(2)).str(), "other");
}

TEST_F(CreateTest, DeletedAndFilteredRecordsAreIndexed) {
  MakeNameTable("t.dbf", 10, {"C", "B", "A"});
  DBGOTO(2);
  DBDELETE();
  GetSettings().deleted = true;
  DBCREATEINDEX("k", "NAME");
  EXPECT_EQ(Recnos(StoredKeys(1)), (V{3, 2, 1}));
  EXPECT_EQ(testutil::WalkForward(), (V{3, 1}));
  // With strict reads the build navigates, and hidden records are left out.
  GetSettings().strict_read = true;
  DBCREATEINDEX("s", "NAME");
  EXPECT_EQ(Recnos(StoredKeys(1)), (V{3, 1}));
}

TEST_F(CreateTest, AFieldNameKeyReadsTheFieldAsEvaluationWould) {
  ASSERT_TRUE(
      test::CreateTable("t.dbf", {test::Field("NAME", 'C', 6), test::Field("N", 'N', 6, 1)}));
  ASSERT_TRUE(test::UseTable("t.dbf"));
  std::mt19937 rng(3);
  for (int i = 0; i < 300; ++i) {
    AppendRecord({Value::String(std::string(1, char('a' + rng() % 5)) + char('A' + rng() % 3)),
                  Value::Double((static_cast<int>(rng() % 2000) - 1000) / 10.0, 4, 1)});
  }
  // Numeric texts that other programs may have written: blanks, leading zeros, a
  // negative zero, asterisks, a plus sign.
  DBCLOSEAREA();
  std::string table = test::ReadFileBytes(dir_.File("t.dbf"));
  const size_t header = GetU16(reinterpret_cast<const uint8_t*>(&table[8]));
  const char* odd[] = {"      ", "0012.5", "  -0.0", "******", "  +3.0", " 12.50", "   -.5"};
  for (size_t i = 0; i < 7; ++i) table.replace(header + i * 13 + 7, 6, odd[i]);
  test::WriteFileBytes(dir_.File("t.dbf"), table);
  ASSERT_TRUE(test::UseTable("t.dbf"));
  DBCREATEINDEX("f", "name");
  const std::vector<IndexEntry> by_field = StoredKeys(1);
  DBCREATEINDEX("e", "name+''");
  EXPECT_EQ(StoredKeys(1), by_field);
  DBCREATEINDEX("nf", "N");
  const std::vector<IndexEntry> n_field = StoredKeys(1);
  DBCREATEINDEX("ne", "(N)");
  EXPECT_EQ(StoredKeys(1), n_field);

  // The catalogue's way: the key text evaluated from a memory variable.
  GetMemVars().Set("TINDEXKEY", Value::String("SUBSTR(NAME,2,1)+NAME"));
  DBCREATEINDEX("v", "SUBSTR(NAME,2,1)+NAME", expr::TextKeyBlock("TINDEXKEY"));
  DBCREATEINDEX("w", "SUBSTR(NAME,2,1)+NAME");
  const std::vector<IndexEntry> direct = StoredKeys(1);
  ORDLISTCLEAR();
  ORDLISTADD("v");
  EXPECT_EQ(StoredKeys(1), direct);
  EXPECT_TRUE(RecordedErrors().empty());
}

TEST_F(CreateTest, AForConditionLimitsTheOrder) {
  MakeNameTable("t.dbf", 10, {"PEAR", "APPLE", "FIG", "BANANA"});
  CurrentArea()->OrderCondition("LEFT(NAME,1) <> 'A'");
  DBCREATEINDEX("k", "NAME");
  EXPECT_EQ(Recnos(StoredKeys(1)), (V{4, 3, 1}));
  EXPECT_TRUE(DBORDERINFO(11).logical());
  EXPECT_EQ(DBORDERINFO(1).str(), "LEFT(NAME,1) <> 'A'");
  // A change in and out of the condition moves the record in and out of the order.
  DBGOTO(2);
  FIELDPUT(1, Value::String("KIWI"));
  DBGOTO(3);
  FIELDPUT(1, Value::String("ACORN"));
  DBCOMMIT();
  EXPECT_EQ(Recnos(StoredKeys(1)), (V{4, 2, 1}));
  DBCLOSEAREA();
  const FileBytes f = Read("k.ntx", 10);
  EXPECT_EQ(f.U16(0), 7u);
  EXPECT_EQ(f.Text(282), "LEFT(NAME,1) <> 'A'");
}

TEST_F(CreateTest, SmallMemoryBudgetsSpillRunsAndGiveTheSameFile) {
  std::vector<std::string> names;
  std::mt19937 rng(5);
  for (int i = 0; i < 3000; ++i) names.push_back(std::string(1, char('A' + rng() % 20)) + "x");
  MakeNameTable("t.dbf", 4, names);
  DBCREATEINDEX("whole", "NAME");
  const std::vector<IndexEntry> whole = StoredKeys(1);
  BuildOptions small;
  small.memory_budget = 9000;  // room for about 700 items: 8 runs
  small.temp_folder = dir_.path();
  CurrentNtx()->set_build_options(small);
  DBCREATEINDEX("runs", "NAME");
  const std::vector<IndexEntry> runs = StoredKeys(1);
  EXPECT_EQ(runs.size(), whole.size());
  // The key order is the same; equal keys come out run by run.
  for (size_t i = 0; i < runs.size(); ++i) ASSERT_EQ(runs[i].key, whole[i].key) << i;
  DBCREATEINDEX("uruns", "NAME", nullptr, true);
  const std::vector<IndexEntry> unique = StoredKeys(1);
  EXPECT_EQ(unique.size(), 20u);
  DBCLOSEAREA();
  EXPECT_EQ(testutil::Problems(dir_.File("runs.ntx")), "");
  EXPECT_EQ(testutil::Problems(dir_.File("uruns.ntx")), "");
  // The run file is gone.
  std::vector<DirEntry> entries;
  GetEnv()->ListDir(dir_.path(), &entries);
  for (const DirEntry& e : entries) EXPECT_EQ(e.name.find(".tmp"), std::string::npos) << e.name;
}

TEST_F(CreateTest, NoRoomAndNoTempFileEndTheProgram) {
  Distinct(3000);
  BuildOptions tiny;
  tiny.memory_budget = 10;
  CurrentNtx()->set_build_options(tiny);
  EXPECT_EXIT(DBCREATEINDEX("k", "NAME"), testing::ExitedWithCode(1),
              "Unrecoverable error 9000: Not enough room for index buffer");
  BuildOptions no_temp;
  no_temp.memory_budget = 20000;  // four runs
  no_temp.temp_folder = dir_.File("no/such/folder");
  CurrentNtx()->set_build_options(no_temp);
  EXPECT_EXIT(DBCREATEINDEX("k", "NAME"), testing::ExitedWithCode(1),
              "Unrecoverable error 9000: Cannot create temp file");
}

TEST_F(CreateTest, AFailedWriteRemovesThePartialFile) {
  Distinct(500);
  test::FaultyEnv faulty;
  {
    ScopedEnv scoped(&faulty);
    faulty.faults.short_writes = true;
    DBCREATEINDEX("k", "NAME");
  }
  EXPECT_EQ(RecordedCodes(), (std::vector<std::string>{"24/1011"}));
  EXPECT_FALSE(GetEnv()->FileExists("k.ntx"));
  EXPECT_EQ(DBORDERINFO(9).integer(), 0);
}

}  // namespace
}  // namespace px::ntx
