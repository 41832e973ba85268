// The compulsory backup: the archive number, the batch file and the zip program.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/driver/backzip.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "tests/app/driver/driver_fixture.h"

namespace px {
namespace {

using test::ReadFileBytes;

class BackzipTest : public test::DriverTest {
 protected:
  void SetCounter(int value) {
    std::filesystem::remove(Inst("sysinfo.dbf"));
    test::MakeTable(Inst("sysinfo"), {{"BACKUP", 'N', 5}, {"QUOSERIAL", 'N', 8}},
                    {{{"BACKUP", Value::Integer(value)}}});
  }
  int Counter() {
    return static_cast<int>(test::ReadTable(Inst("sysinfo")).rows[0].at("BACKUP").integer());
  }
};

TEST_F(BackzipTest, FirstBackupIsNumberOneAndTheCounterMovesOn) {
  MakeInstallation();
  const BackupResult result = BACKZIP();
  EXPECT_EQ(result.archive, "backup\\PXB1");
  EXPECT_EQ(ReadFileBytes(Inst("BACKUP.BAT")), "PKZIP backup\\PXB1 *.db*\r\n\x1a");
  EXPECT_EQ(Counter(), 2);
  ASSERT_EQ(runner_.command_lines, (std::vector<std::string>{"backup.bat"}));
  const std::vector<std::string> lines = TakeLines();
  EXPECT_TRUE(HasLine(lines, "[Making Compulsory Backup of Data] Please Wait...."));
  EXPECT_TRUE(HasLine(lines, "[Making Compulsory Backup of Data] Compressing Copy of Data Files."));
  EXPECT_TRUE(HasLine(lines, "[Zip (Working)] Creating.  Please Wait..."));
  if (!test::PkzipBinary().empty()) {
    EXPECT_EQ(runner_.batch_exit_code, 0);
    EXPECT_TRUE(std::filesystem::exists(Inst("backup/PXB1.zip")));
  }
}

TEST_F(BackzipTest, LaterBackupWithPkzip25) {
  MakeInstallation();
  SetCounter(7);
  test::WriteFileBytes(Inst("pkzip25.exe"), "");
  runner_.batch_answer = 0;
  BACKZIP();
  EXPECT_EQ(ReadFileBytes(Inst("BACKUP.BAT")), "PKZIP25 -add backup\\PXB7 *.db*\r\n\x1a");
  EXPECT_EQ(Counter(), 8);
  EXPECT_TRUE(std::filesystem::is_directory(Inst("backup")));
}

TEST_F(BackzipTest, AFailingZipProgramIsReportedToTheCaller) {
  MakeInstallation();
  runner_.batch_answer = 2;
  const BackupResult result = BACKZIP();
  EXPECT_EQ(result.archive, "backup\\PXB1");
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_EQ(FindLine(TakeLines(), "[Alert]"), -1);
  EXPECT_EQ(Counter(), 2);  // the number was drawn all the same
}

TEST_F(BackzipTest, KeepsTheSelectedAreaAndClosesTheRest) {
  MakeInstallation();
  test::MakeTable(Inst("other"), {{"A", 'C', 2}}, {});
  runner_.batch_answer = 0;
  DBSELECTAREA(5);
  ASSERT_TRUE(DBUSEAREA(false, "", Inst("other"), "other"));
  DBSELECTAREA(3);
  BACKZIP();
  EXPECT_EQ(SELECT(), 3);
  EXPECT_TRUE(OpenAreas().empty());
}

TEST(BackupCommandLineTest, TheTwoForms) {
  EXPECT_EQ(BackupCommandLine("backup\\PXB", false), "PKZIP backup\\PXB *.db*");
  EXPECT_EQ(BackupCommandLine("backup\\PXB12", true), "PKZIP25 -add backup\\PXB12 *.db*");
}

}  // namespace
}  // namespace px
