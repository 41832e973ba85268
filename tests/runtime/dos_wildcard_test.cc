#include "runtime/dos_wildcard.h"

#include <gtest/gtest.h>

#include <string>

namespace px {
namespace {

TEST(DosWildcardTest, StarDotStarAndStarMatchEverything) {
  for (const char* name : {"a.dbf", "README", "x.tar.gz", ".hidden", "LOGO.BMP"}) {
    EXPECT_TRUE(DosWildcardMatch("*.*", name)) << name;
    EXPECT_TRUE(DosWildcardMatch("*", name)) << name;
  }
  EXPECT_FALSE(DosWildcardMatch("", "a.dbf"));
}

TEST(DosWildcardTest, BackupPatternTakesEveryDbExtensionInAnyCase) {
  EXPECT_TRUE(DosWildcardMatch("*.db*", "customer.dbf"));
  EXPECT_TRUE(DosWildcardMatch("*.db*", "Customer.DBT"));
  EXPECT_TRUE(DosWildcardMatch("*.db*", "QUOTES.Dbf"));
  EXPECT_TRUE(DosWildcardMatch("*.db*", "old.db"));
  EXPECT_FALSE(DosWildcardMatch("*.db*", "customer.ntx"));
  EXPECT_FALSE(DosWildcardMatch("*.db*", "dbf"));
  EXPECT_FALSE(DosWildcardMatch("*.db*", "notes.txt.bak"));
}

TEST(DosWildcardTest, QuestionMarksAndExtensions) {
  EXPECT_TRUE(DosWildcardMatch("PXB?.zip", "pxb1.ZIP"));
  EXPECT_FALSE(DosWildcardMatch("PXB?.zip", "pxb12.zip"));
  // A run of ? before the dot or at the end may match fewer characters.
  EXPECT_TRUE(DosWildcardMatch("PXB??.zip", "PXB1.zip"));
  EXPECT_TRUE(DosWildcardMatch("file.d??", "file.d"));
  EXPECT_FALSE(DosWildcardMatch("a?b", "ab"));
  // NAME.* takes NAME without an extension; NAME. takes only that.
  EXPECT_TRUE(DosWildcardMatch("readme.*", "README"));
  EXPECT_TRUE(DosWildcardMatch("*.", "README"));
  EXPECT_FALSE(DosWildcardMatch("*.", "readme.txt"));
  EXPECT_TRUE(DosWildcardMatch("*.exe", "PX.EXE"));
  EXPECT_FALSE(DosWildcardMatch("*.exe", "px.exe.old"));
  EXPECT_FALSE(DosWildcardMatch("logo.bmp", "logop.bmp"));
}

TEST(DosWildcardTest, ManyStarsOnLongNamesStayCheap) {
  const std::string name(250, 'a');
  EXPECT_FALSE(DosWildcardMatch("*a*a*a*a*a*a*a*a*a*a*a*a*b", name));
  EXPECT_TRUE(DosWildcardMatch("*a*a*a*a*a*a*a*a*a*a*a*a*", name));
  EXPECT_TRUE(HasWildcards("*.dbf"));
  EXPECT_FALSE(HasWildcards("indexdef.dbf"));
}

}  // namespace
}  // namespace px
