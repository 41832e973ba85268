// pxdb's index commands: index, keys, seek and check, on sound and damaged files.
#include <gtest/gtest.h>

#include <sstream>

#include "engine/ntx/ntx_format.h"
#include "engine/workarea/registry.h"
#include "tests/test_util.h"
#include "tests/tools/pxdb_test_util.h"
#include "tools/pxdb/pxdb.h"

namespace px {
namespace {

using test::ReadFileBytes;
using test::ScratchDir;
using test::WriteFileBytes;

using Result = test::PxdbResult;
using test::Pxdb;
class PxdbIndexTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Pxdb({"create", "t", "NAME:C:6", "QTY:N:5:1", "DUE:D:8"}).code, 0);
    const Result r = Pxdb({"append", "t"},
                          "{\"NAME\":\"pear\",\"QTY\":2.5,\"DUE\":\"20240105\"}\n"
                          "{\"NAME\":\"apple\",\"QTY\":-1,\"DUE\":\"20231231\"}\n"
                          "{\"NAME\":\"fig\",\"QTY\":10,\"DUE\":\"\"}\n"
                          "{\"NAME\":\"apple\",\"QTY\":0,\"DUE\":\"20240105\"}\n");
    ASSERT_EQ(r.code, 0) << r.err;
  }
  ScratchDir dir_;
};

TEST_F(PxdbIndexTest, BuildListSeekAndCheck) {
  Result r = Pxdb({"index", "t", "names", "NAME"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "4 keys\n");
  r = Pxdb({"keys", "t", "names.ntx"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "2\t\"apple \"\n4\t\"apple \"\n3\t\"fig   \"\n1\t\"pear  \"\n");

  EXPECT_EQ(Pxdb({"seek", "t", "names", "apple"}).out,
            "{\"found\":true,\"recno\":2,\"eof\":false}\n");
  EXPECT_EQ(Pxdb({"seek", "t", "names", "ap", "--last"}).out,
            "{\"found\":true,\"recno\":4,\"eof\":false}\n");
  EXPECT_EQ(Pxdb({"seek", "t", "names", "b"}).out, "{\"found\":false,\"recno\":5,\"eof\":true}\n");
  EXPECT_EQ(Pxdb({"seek", "t", "names", "b", "--soft"}).out,
            "{\"found\":false,\"recno\":3,\"eof\":false}\n");

  ASSERT_EQ(Pxdb({"index", "t", "qty", "QTY"}).code, 0);
  EXPECT_EQ(Pxdb({"seek", "t", "qty", "-1"}).out, "{\"found\":true,\"recno\":2,\"eof\":false}\n");
  EXPECT_EQ(Pxdb({"seek", "t", "qty", "3", "--soft"}).out,
            "{\"found\":false,\"recno\":3,\"eof\":false}\n");
  ASSERT_EQ(Pxdb({"index", "t", "due", "DUE", "--unique"}).out, "3 keys\n");
  EXPECT_EQ(Pxdb({"seek", "t", "due", "20240105"}).out,
            "{\"found\":true,\"recno\":1,\"eof\":false}\n");
  EXPECT_EQ(Pxdb({"seek", "t", "due", ""}).out, "{\"found\":true,\"recno\":3,\"eof\":false}\n");
  EXPECT_NE(Pxdb({"seek", "t", "due", "2024"}).code, 0);
  EXPECT_NE(Pxdb({"seek", "t", "qty", "x"}).code, 0);

  r = Pxdb({"check", "t", "names", "qty.ntx", "due"});
  EXPECT_EQ(r.code, 0) << r.out;
  EXPECT_EQ(
      r.out,
      "names: ok, 4 keys, 1 levels\nqty.ntx: ok, 4 keys, 1 levels\ndue: ok, 3 keys, 1 levels\n");
}

TEST_F(PxdbIndexTest, CheckNamesWhatIsWrong) {
  ASSERT_EQ(Pxdb({"index", "t", "names", "NAME"}).code, 0);
  const std::string good = ReadFileBytes(dir_.File("names.ntx"));

  // Keys out of order: the first key (apple) made greater than the second.
  std::string bytes = good;
  const int max = ntx::MaxKeysPerPage(6);
  const size_t first_item = 1024 + ntx::GetU16(reinterpret_cast<const uint8_t*>(&bytes[1026]));
  bytes[first_item + 8] = 'z';
  WriteFileBytes(dir_.File("names.ntx"), bytes);
  Result r = Pxdb({"check", "t", "names"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("names: "), std::string::npos);
  EXPECT_NE(r.out.find("comes after the greater key"), std::string::npos) << r.out;

  // A key count that names more keys than the page holds.
  bytes = good;
  bytes[1024] = static_cast<char>(max + 3);
  WriteFileBytes(dir_.File("names.ntx"), bytes);
  r = Pxdb({"check", "t", "names"});
  EXPECT_EQ(r.code, 1);

  // A record changed behind the index's back: its key is missing, the old one stale.
  WriteFileBytes(dir_.File("names.ntx"), good);
  std::string table = ReadFileBytes(dir_.File("t.dbf"));
  const size_t header = ntx::GetU16(reinterpret_cast<const uint8_t*>(&table[8]));
  table[header + 1] = 'P';  // record 1: "pear" -> "Pear"
  WriteFileBytes(dir_.File("t.dbf"), table);
  r = Pxdb({"check", "t", "names"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("names: key \"Pear  \" of record 1 is missing"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("belongs to no record"), std::string::npos) << r.out;

  // A file cut short, and one that is not there.
  WriteFileBytes(dir_.File("names.ntx"), good.substr(0, 300));
  r = Pxdb({"check", "t", "names", "missing"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("names: "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("missing: "), std::string::npos) << r.out;
  EXPECT_EQ(r.err, "");
  // The other commands fail with one line.
  r = Pxdb({"keys", "t", "names"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err.rfind("pxdb: ", 0), 0u);
}

TEST_F(PxdbIndexTest, BuildsThatCannotBeDone) {
  Result r = Pxdb({"index", "t", "x", "TRIM(NAME)"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("not built"), std::string::npos) << r.err;
  r = Pxdb({"index", "t", "x", "NAME+"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("Syntax error"), std::string::npos) << r.err;
  r = Pxdb({"index", "nosuch", "x", "NAME"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(Pxdb({"keys", "t", "x"}).code, 1);
}

}  // namespace
}  // namespace px
