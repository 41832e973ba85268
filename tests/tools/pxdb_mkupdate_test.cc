// pxdb mkupdate: update archives that the installer's unpacking step reads.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "archive/unzip_file.h"
#include "tests/archive/zip_test_util.h"
#include "tests/test_util.h"
#include "tools/pxdb/pxdb.h"

namespace px {
namespace {

using test::ReadFileBytes;
using test::ScratchDir;
using test::WriteFileBytes;

int Mkupdate(const std::vector<std::string>& args, std::string* err) {
  std::vector<std::string> all{"mkupdate"};
  all.insert(all.end(), args.begin(), args.end());
  std::istringstream in;
  std::ostringstream out, errs;
  const int code = pxdb::RunPxdb(all, in, out, errs);
  *err = errs.str();
  return code;
}

TEST(PxdbMkupdateTest, ArchiveUnpacksWithTheUpdatePasswordOnly) {
  ScratchDir dir;
  std::filesystem::create_directories(dir.File("ship/tables"));
  WriteFileBytes(dir.File("ship/tables/UPDATDEF.DBF"), std::string(20000, 'u'));
  WriteFileBytes(dir.File("ship/PX.EXE"), "MZ");
  std::string err;
  ASSERT_EQ(Mkupdate({"PXUPD.zip", "tamrok", "ship\\tables\\UPDATDEF.DBF", "ship/PX.EXE"}, &err), 0)
      << err;

  std::filesystem::create_directories(dir.File("temp"));
  std::filesystem::copy_file(dir.File("PXUPD.zip"), dir.File("temp/PXUPD.zip"));
  std::filesystem::current_path(dir.File("temp"));
  {
    test::ShownMessages shown;
    UNZIPFILE(Value::String("PXUPD.zip"), Value::String("wrong"));
    EXPECT_EQ(shown.text(), "[Alert] --- Error:          6\n");
  }
  EXPECT_EQ(test::FolderNames(dir.File("temp")), std::vector<std::string>{"PXUPD.zip"});
  {
    test::ShownMessages shown;
    UNZIPFILE(Value::String("PXUPD.zip"), Value::String("tamrok"));
    EXPECT_EQ(shown.text(), "");
  }
  EXPECT_EQ(test::FolderNames(dir.File("temp")),
            (std::vector<std::string>{"PX.EXE", "PXUPD.zip", "UPDATDEF.DBF"}));
  EXPECT_TRUE(ReadFileBytes(dir.File("temp/UPDATDEF.DBF")) == std::string(20000, 'u'));
}

TEST(PxdbMkupdateTest, BadArgumentsGiveOneLineErrors) {
  ScratchDir dir;
  std::string err;
  EXPECT_NE(Mkupdate({"PXUPD.zip", "tamrok", "missing.dbf"}, &err), 0);
  EXPECT_EQ(err, "pxdb: missing.dbf: no such file\n");
  EXPECT_NE(Mkupdate({"PXUPD.zip"}, &err), 0);
  EXPECT_FALSE(std::filesystem::exists(dir.File("PXUPD.zip")));
}

}  // namespace
}  // namespace px
