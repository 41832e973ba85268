// The update dialog: path values, the browse routine, confirming and abandoning.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/driver/getdir.h"
#include "app/driver/path_vars.h"
#include "app/driver/update.h"
#include "runtime/env.h"
#include "runtime/memvars.h"
#include "tests/app/driver/driver_fixture.h"
#include "ui/dialog.h"
#include "ui/get.h"

namespace px {
namespace {

using test::DriverTest;

TEST(PathVarsTest, DialogValuesSplitIntoDrivesAndFolders) {
  DriveAndFolder root = SplitDialogPath("D:\\" + std::string(30, ' '));
  EXPECT_EQ(root.drive, "D:");
  EXPECT_EQ(root.folder, "");
  DriveAndFolder sub = SplitDialogPath("E:\\PXUPD" + std::string(25, ' '));
  EXPECT_EQ(sub.drive, "E:");
  EXPECT_EQ(sub.folder, "\\PXUPD");
  // Longer than the old 50-character cut: the whole folder is kept.
  const std::string deep = "\\" + std::string(60, 'A') + "\\" + std::string(70, 'B');
  EXPECT_EQ(SplitDialogPath("C:" + deep).folder, deep);
  // A host path is taken in its DOS form (C: is the host's root; on Windows, a path
  // from the root is on the current drive).
#ifdef _WIN32
  const std::string root_drive = std::filesystem::current_path().string().substr(0, 2);
#else
  const std::string root_drive = "C:";
#endif
  EXPECT_EQ(SplitDialogPath("/MEDIA/USB").drive, root_drive);
  EXPECT_EQ(SplitDialogPath("/MEDIA/USB").folder, "\\MEDIA\\USB");
}

TEST(PathVarsTest, VariablesFollowTheDocumentedForms) {
  const PathVars p = PathVars::Make("D:", "C:", "\\PX", "");
  EXPECT_EQ(p.from_drvpth, "D:\\");
  EXPECT_EQ(p.to_drvpth, "C:\\PX\\");
  EXPECT_EQ(p.temp_path, "\\PX\\temp");
  EXPECT_EQ(p.temp_drvpth, "C:\\PX\\temp\\");
  const PathVars root = PathVars::Make("E:", "C:", "", "\\PXUPD\\");
  EXPECT_EQ(root.to_drvpth, "C:\\");
  EXPECT_EQ(root.temp_drvpth, "C:\\temp\\");
  EXPECT_EQ(root.from_path, "\\PXUPD");
  EXPECT_EQ(root.from_drvpth, "E:\\PXUPD\\");

  ScopedMemVars vars;
  p.Publish(vars);
  EXPECT_EQ(GetMemVars().Find("ttempdrvpth")->str(), "C:\\PX\\temp\\");
  EXPECT_EQ(GetMemVars().Find("TFROMPATH")->str(), "");
}

class GetDirTest : public DriverTest {};

TEST_F(GetDirTest, ChoiceIsPaddedAndTheFolderComesBack) {
  std::filesystem::create_directories(Upd("sub"));
  const std::string before = GetEnv()->CurrentDir();
  backend_.Script(test::Answer({Upd("sub")}, ""));
  EXPECT_EQ(GETDIR("Update From", "D:\\" + std::string(30, ' ')), "D:\\sub" + std::string(24, ' '));
  EXPECT_EQ(GetEnv()->CurrentDir(), before);

  // Cancelled: the default, padded; a missing default folder opens at the drive root.
  backend_.Script(test::Press("Cancel"));
  EXPECT_EQ(GETDIR("Update From", "D:\\NOWHERE"), "D:\\NOWHERE" + std::string(20, ' '));
  EXPECT_EQ(GetEnv()->CurrentDir(), before);
  EXPECT_EQ(test::DriverTest::FindLine(TakeLines(), "[Update From] Choose a folder"), 0);

  // A chosen path longer than 30 characters stays whole.
  const std::string deep = Upd(std::string(40, 'x'));
  std::filesystem::create_directories(deep);
  backend_.Script(test::Answer({deep}, ""));
  EXPECT_EQ(GETDIR("Update From", "D:\\"), "D:\\" + std::string(40, 'x'));
}

class UpdateDialogTest : public DriverTest {};

TEST_F(UpdateDialogTest, CancelAbandonsTheInstallation) {
  MakeInstallation();
  backend_.Script(test::Answer({"D:\\ELSEWHERE"}, "Cancel"));
  UPDATE();
  const std::vector<std::string> lines = TakeLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0].rfind("[Update ParVex] Drive:Folder | Update From: | Update To: | ", 0), 0u)
      << lines[0];
  EXPECT_EQ(lines.back(), "[Alert] Installation Abandoned!");
  EXPECT_EQ(FindLine(lines, "Backup"), -1);  // nothing of the update ran
  EXPECT_TRUE(runner_.command_lines.empty());
}

TEST_F(UpdateDialogTest, EmptySourceIsRefusedAndClosingAbandons) {
  MakeInstallation();
  backend_.Script(test::Answer({""}, "OK"));
  backend_.Script(test::Press(""));  // closed through the window system
  UPDATE();
  const std::vector<std::string> lines = TakeLines();
  EXPECT_NE(FindLine(lines, "Update From: not accepted"), -1);
  EXPECT_EQ(lines.back(), "[Alert] Installation Abandoned!");
}

TEST_F(UpdateDialogTest, TargetIsTheCurrentFolder) {
  MakeInstallation();
  std::string shown;
  backend_.Script(test::Inspect(
      [&](TDialog& d) {
        for (const auto& c : d.controls()) {
          if (c->kind() == TControl::Kind::kGet) shown = static_cast<TGet&>(*c).buffer();
        }
      },
      "Cancel"));
  UPDATE();
  EXPECT_EQ(shown, InstDos());
}

}  // namespace
}  // namespace px
