#include "runtime/directory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "runtime/date.h"
#include "runtime/memowrit.h"
#include "runtime/settings.h"
#include "tests/test_util.h"

namespace px {
namespace {

using test::ScratchDir;

std::vector<std::string> SortedNames(const Value& listing) {
  std::vector<std::string> names;
  for (const Value& row : listing.array()) names.push_back(row.array()[0].str());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(DirectoryTest, ListsOrdinaryFilesMatchingTheMask) {
  ScratchDir dir;
  for (const char* name : {"Customer.DBF", "customer.dbt", "QUOTES.dbf", "quotes.ntx", "PX.EXE",
                           "readme", ".hidden.dbf"}) {
    test::WriteFileBytes(dir.File(name), "12345");
  }
  std::filesystem::create_directories(dir.File("sub.dbf"));

  using V = std::vector<std::string>;
  EXPECT_EQ(SortedNames(DIRECTORY(Value::String("*.db*"))),
            (V{"Customer.DBF", "QUOTES.dbf", "customer.dbt"}));
  EXPECT_EQ(SortedNames(DIRECTORY(Value::String("*.DBF"))), (V{"Customer.DBF", "QUOTES.dbf"}));
  EXPECT_EQ(SortedNames(DIRECTORY()),
            (V{"Customer.DBF", "PX.EXE", "QUOTES.dbf", "customer.dbt", "quotes.ntx", "readme"}));
  EXPECT_EQ(SortedNames(DIRECTORY(Value::String("px.exe"))), (V{"PX.EXE"}));
  EXPECT_TRUE(DIRECTORY(Value::String("*.bmp")).array().empty());
  // Attribute letters add folders and hidden files.
  EXPECT_EQ(SortedNames(DIRECTORY(Value::String("*.dbf"), Value::String("dh"))),
            (V{".hidden.dbf", "Customer.DBF", "QUOTES.dbf", "sub.dbf"}));

  const Value rows = DIRECTORY(Value::String("readme"));
  ASSERT_EQ(rows.array().size(), 1u);
  const std::vector<Value>& row = rows.array()[0].array();
  ASSERT_EQ(row.size(), 5u);
  EXPECT_EQ(row[1].integer(), 5);
  EXPECT_TRUE(row[2].is_date());
  EXPECT_GE(row[2].date(), DateFromYmd(2020, 1, 1));
  EXPECT_EQ(row[3].str().size(), 8u);
  EXPECT_EQ(row[4].str(), "A");
}

TEST(DirectoryTest, MasksWithAFolder) {
  ScratchDir dir;
  std::filesystem::create_directories(dir.File("temp"));
  test::WriteFileBytes(dir.File("temp/PX.exe"), "x");
  test::WriteFileBytes(dir.File("temp/kvrzipdll.dll"), "x");
  EXPECT_EQ(DirectoryEntries("TEMP\\*.exe").size(), 1u);
  EXPECT_EQ(DirectoryEntries("temp\\").size(), 2u);
  EXPECT_EQ(DirectoryEntries(dir.path() + "/temp/*.dll").size(), 1u);
  EXPECT_TRUE(DirectoryEntries("nosuch\\*.*").empty());
  EXPECT_TRUE(DirectoryEntries("Q:\\*.*").empty());
}

TEST(FileTest, ExistenceLookups) {
  ScratchDir dir;
  test::WriteFileBytes(dir.File("indexdef.dbf"), "x");
  std::filesystem::create_directories(dir.File("temp"));
  std::filesystem::create_directories(dir.File("lib"));
  test::WriteFileBytes(dir.File("lib/pkzip25.exe"), "x");

  EXPECT_TRUE(FILE(Value::String("INDEXDEF.DBF")));
  EXPECT_TRUE(FILE(Value::String("indexdef.dbf")));
  EXPECT_FALSE(FILE(Value::String("pkzip25.exe")));
  EXPECT_TRUE(FILE(Value::String("LIB\\PKZIP25.EXE")));
  EXPECT_FALSE(FILE(Value::String("temp")));  // a folder is not a file
  EXPECT_TRUE(FILE(Value::String("*.dbf")));
  EXPECT_FALSE(FILE(Value::String("*.ntx")));
  EXPECT_FALSE(FILE(Value::Integer(1)));
  EXPECT_FALSE(FILE(Value::String("")));
  EXPECT_FALSE(FILE(Value::String(std::string(255, 'a'))));

  // The default folder and the search path are used for names without a folder.
  GetSettings().path = "nowhere;lib";
  EXPECT_TRUE(FILE(Value::String("pkzip25.exe")));
  GetSettings().path.clear();
  GetSettings().default_folder = "lib";
  EXPECT_TRUE(FILE(Value::String("pkzip25.exe")));
  EXPECT_FALSE(FILE(Value::String("indexdef.dbf")));
}

TEST(MemowritTest, WritesTheTextAndAnEndOfFileMark) {
  ScratchDir dir;
  ASSERT_TRUE(MEMOWRIT(Value::String("BACKUP.BAT"), Value::String("0123456789")));
  const std::string bytes = test::ReadFileBytes(dir.File("BACKUP.BAT"));
  ASSERT_EQ(bytes.size(), 11u);
  EXPECT_EQ(bytes, std::string("0123456789") + '\x1a');

  // An existing file (in another letter case) is emptied first.
  ASSERT_TRUE(MEMOWRIT(Value::String("backup.bat"), Value::String("PKZIP x\r\n")));
  EXPECT_EQ(test::ReadFileBytes(dir.File("BACKUP.BAT")), std::string("PKZIP x\r\n") + '\x1a');
  ASSERT_TRUE(MEMOWRIT(Value::String("empty.txt"), Value::String("")));
  EXPECT_EQ(test::ReadFileBytes(dir.File("empty.txt")), "\x1a");

  EXPECT_FALSE(MEMOWRIT(Value::String("nodir\\x.bat"), Value::String("x")));
  EXPECT_FALSE(MEMOWRIT(Value::String("x.bat"), Value::Integer(3)));
  EXPECT_FALSE(MEMOWRIT(Value(), Value::String("x")));
}

}  // namespace
}  // namespace px
