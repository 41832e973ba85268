#include "runtime/folders.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "runtime/dos_path.h"
#include "runtime/env.h"
#include "tests/test_util.h"

namespace px {
namespace {

using test::ScratchDir;

// Maps a drive letter to a host folder for the life of the object.
class ScopedDrive {
 public:
  ScopedDrive(char letter, const std::string& folder) : letter_(letter) {
    GetDriveMap().Set(letter, folder);
  }
  ~ScopedDrive() { GetDriveMap().Remove(letter_); }

 private:
  char letter_;
};

TEST(FoldersTest, CurrentDriveAndFolderFollowTheDriveMap) {
  PX_SKIP_WITHOUT_POSIX("the drive map of POSIX paths (Windows has its own drives)");
  ScratchDir dir;
  ScopedDrive d('D', dir.path());
  EXPECT_EQ(CURDRIVE(), "D");
  // At the top of a drive the folder is empty text.
  EXPECT_EQ(GETCURDIR(), "");
  std::filesystem::create_directories(dir.File("PX/temp"));
  ASSERT_EQ(DIRCHANGE(Value::String("px\\TEMP")), 0);
  EXPECT_EQ(GETCURDIR(), "PX\\temp");
  // No 64-byte limit: the whole path comes back.
  const std::string deep = "PX\\temp\\" + std::string(80, 'f') + "\\" + std::string(70, 'g');
  std::filesystem::create_directories(
      dir.File("PX/temp/" + std::string(80, 'f') + "/" + std::string(70, 'g')));
  ASSERT_EQ(DIRCHANGE(Value::String("D:\\" + deep)), 0);
  EXPECT_EQ(GETCURDIR(), deep);
}

TEST(FoldersTest, EachDriveKeepsItsCurrentFolder) {
  PX_SKIP_WITHOUT_POSIX("the drive map of POSIX paths (Windows has its own drives)");
  ScratchDir dir;
  std::filesystem::create_directories(dir.File("d/updates"));
  std::filesystem::create_directories(dir.File("e/px/data"));
  ScopedDrive d('D', dir.File("d"));
  ScopedDrive e('E', dir.File("e"));

  ASSERT_EQ(DIRCHANGE(Value::String("D:\\updates")), 0);
  EXPECT_EQ(CURDRIVE(), "D");
  // A drive never visited starts at its root.
  ASSERT_TRUE(SETCURDRIVE(Value::String("e:")));
  EXPECT_EQ(CURDRIVE(), "E");
  EXPECT_EQ(GETCURDIR(), "");
  ASSERT_EQ(DIRCHANGE(Value::String("px\\data")), 0);
  // Back to D: where it was left, and back to E: likewise.
  ASSERT_TRUE(SETCURDRIVE(Value::String("D:")));
  EXPECT_EQ(GETCURDIR(), "updates");
  // A drive-relative name starts from the drive's own folder.
  EXPECT_TRUE(GetEnv()->DirExists("E:.."));
  ASSERT_TRUE(SETCURDRIVE(Value::String("E")));
  EXPECT_EQ(GETCURDIR(), "px\\data");

  // A remembered folder that has gone leaves the root.
  ASSERT_TRUE(SETCURDRIVE(Value::String("D:")));
  std::filesystem::remove_all(dir.File("e/px"));
  ASSERT_TRUE(SETCURDRIVE(Value::String("E:")));
  EXPECT_EQ(GETCURDIR(), "");
}

TEST(FoldersTest, FailuresShowOnlyInTheResults) {
  ScratchDir dir;
  EXPECT_FALSE(SETCURDRIVE(Value::String("Q:")));  // not mapped
  EXPECT_FALSE(SETCURDRIVE(Value::String("")));
  EXPECT_FALSE(SETCURDRIVE(Value::String("1:")));
  EXPECT_FALSE(SETCURDRIVE(Value::Integer(3)));
  EXPECT_EQ(GetEnv()->CurrentDir(), dir.path());

  EXPECT_EQ(DIRCHANGE(Value::String("nosuchfolder")), kOsPathNotFound);
  EXPECT_EQ(DIRCHANGE(Value::String("Q:\\px")), kOsPathNotFound);
  EXPECT_EQ(DIRCHANGE(Value::Integer(1)), -1);
  EXPECT_EQ(DIRCHANGE(Value()), -1);
  test::WriteFileBytes(dir.File("afile"), "x");
  EXPECT_NE(DIRCHANGE(Value::String("afile")), 0);
  EXPECT_EQ(GetEnv()->CurrentDir(), dir.path());

  EXPECT_EQ(MAKEDIR(Value::String("backup")), 0);
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("backup")));
  EXPECT_NE(MAKEDIR(Value::String("BACKUP")), 0);  // exists, in any letter case
  EXPECT_NE(MAKEDIR(Value::String("no\\such\\parent")), 0);
  EXPECT_EQ(MAKEDIR(Value::Logical(true)), -1);
}

}  // namespace
}  // namespace px
