#include "archive/zip_service.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "archive/unzip_file.h"
#include "archive/zip_errors.h"
#include "archive/zip_library.h"
#include "runtime/env.h"
#include "tests/archive/zip_test_util.h"
#include "tests/test_util.h"

namespace px {
namespace {

using test::FolderNames;
using test::MakeZip;
using test::ScratchDir;
using V = std::vector<std::string>;

TEST(ZipServiceTest, HandlesAndTheirErrorCodes) {
  ScratchDir dir;
  MakeZip(dir.File("a.zip"), {{"one.dbf", "1"}, {"two.dbf", "22"}});
  const int h1 = ZIPNEW();
  const int h2 = ZIPNEW();
  ASSERT_GT(h1, 0);
  ASSERT_GT(h2, 0);
  EXPECT_NE(h1, h2);
  EXPECT_EQ(ZIPGETLASTERROR(h1), kZipOk);

  EXPECT_EQ(ZIPEXTRACTFILES(h1), -1);
  EXPECT_EQ(ZIPGETLASTERROR(h1), kZipErrNotOpen);
  EXPECT_EQ(ZIPOPEN(h1, "a.zip", Value::Integer(1)), -1);
  EXPECT_EQ(ZIPGETLASTERROR(h1), kZipErrBadMode);
  EXPECT_EQ(ZIPOPEN(h1, "A.ZIP", Value::String("not a number")), 0);  // mode taken as 0
  EXPECT_EQ(ZIPOPEN(h1, "a.zip"), -1);
  EXPECT_EQ(ZIPGETLASTERROR(h1), kZipErrAlreadyOpen);
  EXPECT_EQ(ZIPEXTRACTFILES(h1), 2);
  EXPECT_EQ(FolderNames(dir.path()), (V{"a.zip", "one.dbf", "two.dbf"}));
  // The code of the last failure stays until another failure replaces it.
  EXPECT_EQ(ZIPGETLASTERROR(h1), kZipErrAlreadyOpen);

  EXPECT_EQ(ZIPOPEN(h2, "missing.zip"), -1);
  EXPECT_EQ(ZIPGETLASTERROR(h2), kZipErrNotFound);
  EXPECT_EQ(ZIPOPEN(h2, "nofolder\\missing.zip"), -1);
  EXPECT_EQ(ZIPGETLASTERROR(h2), kZipErrNotFound);
  EXPECT_EQ(ZIPOPEN(h2, "."), -1);  // a folder
  EXPECT_EQ(ZIPGETLASTERROR(h2), kZipErrOpen);

  ZIPCLOSE(h1);
  ZIPCLOSE(h2);
  // Closed handles are dead; so is one that never lived.
  EXPECT_EQ(ZIPOPEN(h1, "a.zip"), -1);
  EXPECT_EQ(ZIPGETLASTERROR(h1), kZipErrBadHandle);
  EXPECT_EQ(ZIPEXTRACTFILES(-1), -1);
  ZIPSETPASSWORD(-1, "x");
  ZIPCLOSE(-1);
  EXPECT_EQ(LiveZipHandles(), 0);
}

TEST(ZipServiceTest, CloseReleasesTheDiskBlock) {
  auto token = std::make_shared<int>(0);
  const int h = ZIPNEW();
  ZipHandle_SetDiskBlock(h, new ZipDiskBlock{[token](int) { return true; }});
  EXPECT_EQ(token.use_count(), 2);
  ZIPCLOSE(h);
  EXPECT_EQ(token.use_count(), 1);
}

TEST(ZipServiceTest, RunningOutOfHandles) {
  std::vector<int> handles;
  for (;;) {
    const int h = ZIPNEW();
    if (h == -1) break;
    ASSERT_LT(handles.size(), 10000u);
    handles.push_back(h);
  }
  EXPECT_FALSE(handles.empty());
  ScratchDir dir;
  MakeZip(dir.File("a.zip"), {{"one.dbf", "1"}});
  test::ShownMessages messages;
  UNZIPFILE(Value::String("a.zip"));
  const std::string shown = messages.text();
  EXPECT_NE(shown.find("-- Error:         14"), std::string::npos) << shown;
  EXPECT_EQ(FolderNames(dir.path()), V{"a.zip"});
  for (int h : handles) ZIPCLOSE(h);
  EXPECT_EQ(LiveZipHandles(), 0);
}

TEST(ZipServiceTest, FullDiskLeavesNoHalfWrittenFileUnderARealName) {
  ScratchDir dir;
  test::WriteFileBytes(dir.File("big.dbf"), "the old table");
  MakeZip(
      dir.File("u.zip"),
      {{"small.dbf", "s"}, {"big.dbf", std::string(400000, 'B')}, {"after.dbf", "never reached"}},
      "pw");
  test::FullDiskEnv full(100000);
  ScopedEnv scope(&full);
  const int h = ZIPNEW();
  ASSERT_EQ(ZIPOPEN(h, "u.zip"), 0);
  ZIPSETPASSWORD(h, "pw");
  EXPECT_EQ(ZIPEXTRACTFILES(h), -1);
  EXPECT_EQ(ZIPGETLASTERROR(h), kZipErrWrite);
  ZIPCLOSE(h);
  // The old file is untouched, no temporary file is left, and extraction stopped.
  EXPECT_EQ(test::ReadFileBytes(dir.File("big.dbf")), "the old table");
  EXPECT_EQ(FolderNames(dir.path()), (V{"big.dbf", "small.dbf", "u.zip"}));
}

}  // namespace
}  // namespace px
