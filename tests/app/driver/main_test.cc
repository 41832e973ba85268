// Start-up: the engine settings, the catalogue path repair, finishing an interrupted
// update's renames, and the main application started whatever the dialog did.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/driver/main.h"
#include "app/driver/rename_journal.h"
#include "runtime/error.h"
#include "runtime/settings.h"
#include "tests/app/driver/driver_fixture.h"
#include "ui/errorsys.h"

namespace px {
namespace {

using test::Text;

class MainTest : public test::DriverTest {
 protected:
  void CataloguePaths(const std::vector<std::string>& paths) {
    std::filesystem::remove(Inst("indexdef.dbf"));
    std::vector<test::Row> rows;
    for (const std::string& p : paths) {
      rows.push_back({{"DB_ALIAS", Value::String("sysinfo")}, {"PATH", Value::String(p)}});
    }
    test::MakeTable(Inst("indexdef"),
                    {{"DB_ALIAS", 'C', 10}, {"DB_NAME", 'C', 10}, {"PATH", 'C', 20}}, rows);
  }
  std::vector<std::string> CataloguePaths() {
    std::vector<std::string> paths;
    for (const test::Row& r : test::ReadTable(Inst("indexdef")).rows)
      paths.push_back(Text(r.at("PATH")));
    return paths;
  }
};

TEST_F(MainTest, SettingsOfTheInstaller) {
  ApplyInstallerSettings();
  const Settings& s = GetSettings();
  EXPECT_TRUE(s.deleted);
  EXPECT_TRUE(s.confirm);
  EXPECT_EQ(s.date_format, "dd/mm/yy");
  EXPECT_EQ(s.epoch, 1950);
  EXPECT_TRUE(s.exclusive);
  SET(SetId::kCentury, Value::Logical(true));
  ApplyInstallerSettings();
  EXPECT_EQ(GetSettings().date_format, "dd/mm/yyyy");
}

TEST_F(MainTest, OnlyTheObsoletePathIsRepaired) {
  ApplyInstallerSettings();
  CataloguePaths({"..\\PXC\\", "..\\pxc\\", "..\\PXC", "..\\PXC\\X", "DATA\\", ""});
  RepairCataloguePaths();
  EXPECT_EQ(CataloguePaths(),
            (std::vector<std::string>{"", "", "..\\PXC", "..\\PXC\\X", "DATA\\", ""}));
  EXPECT_TRUE(RecordedErrors().empty());

  CataloguePaths({});  // an empty catalogue
  RepairCataloguePaths();
  std::filesystem::remove(Inst("indexdef.dbf"));  // no catalogue at all
  RepairCataloguePaths();
  EXPECT_TRUE(RecordedErrors().empty());
}

TEST_F(MainTest, CatalogueHeldElsewhereIsLeftAlone) {
  ApplyInstallerSettings();
  CataloguePaths({"..\\PXC\\"});
  int code = 0;
  std::unique_ptr<File> other = Env::Default()->OpenFile(Inst("indexdef.dbf"), FileAccess::kRead,
                                                         FileShare::kDenyNone, &code);
  ASSERT_NE(other, nullptr);
  RepairCataloguePaths();
  EXPECT_TRUE(RecordedErrors().empty());
  other.reset();
  EXPECT_EQ(CataloguePaths(), (std::vector<std::string>{"..\\PXC\\"}));
}

TEST_F(MainTest, MainApplicationStartsAfterAnAbandonedUpdate) {
  MakeInstallation();
  backend_.Script(test::Press("Cancel"));
  MAIN();
  EXPECT_EQ(TakeLines().back(), "[Alert] Installation Abandoned!");
  EXPECT_EQ(runner_.command_lines, (std::vector<std::string>{"PX"}));
  // A missing main application is not an error of the installer.
  std::filesystem::remove(Inst("PX"));
  backend_.Script(test::Press("Cancel"));
  MAIN();
  EXPECT_TRUE(RecordedErrors().empty());
}

TEST_F(MainTest, RenamesLeftByAnInterruptedUpdateAreFinishedFirst) {
  MakeInstallation();
  test::WriteFileBytes(Inst("zztemp.dbt"), "new memo");
  test::WriteFileBytes(Inst("quotes.dbt"), "old memo");
  test::WriteFileBytes(Inst(kRenameJournal), "zztemp.dbf\tquotes.dbf\nzztemp.dbt\tquotes.dbt\n");
  backend_.Script(test::Press("Cancel"));
  MAIN();
  EXPECT_EQ(test::ReadFileBytes(Inst("quotes.dbt")), "new memo");
  EXPECT_FALSE(std::filesystem::exists(Inst(kRenameJournal)));
}

TEST_F(MainTest, ErrorLogOfTheTempFolderPhasesStaysInTheInstallation) {
  // No update archive: staging it in the temp folder raises an open error, which the
  // report logs while the temp folder is current; the update then erases temp's files.
  MakeInstallation();
  ERRORSYS();
  backend_.Script(test::Answer({"D:\\"}, "OK"));
  backend_.Script(test::Press("Default"));
  MAIN();
  EXPECT_FALSE(std::filesystem::exists(Inst("temp/Error.log")));
  const std::string log = test::ReadFileBytes(Inst("Error.log"));
  EXPECT_NE(log.find("Open error"), std::string::npos) << log;
  EXPECT_NE(log.find("PXUPD.zip"), std::string::npos) << log;
  EXPECT_EQ(backend_.pending_answers(), 0u);
}

}  // namespace
}  // namespace px
