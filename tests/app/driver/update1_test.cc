// The update procedure as a whole: staging, unpacking, bitmaps, program files,
// libraries, the temp clean-up, and where it goes when a folder cannot be entered.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/driver/update.h"
#include "archive/update_archive.h"
#include "runtime/memvars.h"
#include "tests/app/driver/driver_fixture.h"

namespace px {
namespace {

using test::FieldSpec;
using test::ReadFileBytes;
using test::Text;
using test::WriteFileBytes;

class Update1Test : public test::DriverTest {
 protected:
  // Confirms the dialog with the folder and runs the update.
  std::vector<std::string> RunUpdate(const std::string& from = "D:\\") {
    GetMemVars().Set("LDEBUG", Value::Logical(true));
    backend_.Script(test::Answer({from}, "OK"));
    UPDATE();
    return TakeLines();
  }
  bool Exists(const std::string& name) const { return std::filesystem::exists(Inst(name)); }
  std::vector<std::string> TempFiles() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(Inst("temp"))) {
      names.push_back(e.path().filename().string());
    }
    return names;
  }
};

TEST_F(Update1Test, FilesOfTheUpdateAreInstalledAndTempIsEmptied) {
  MakeInstallation();
  WriteFileBytes(Inst("LOGO.BMP"), "site logo");
  WriteFileBytes(Inst("logop.bmp"), "site print logo");
  MakeUpdate({{.name = "glascat", .fields = {{"CODE", 'C', 6}}}},
             {{"logo.bmp", "shipped logo"},
              {"LOGOP.BMP", "shipped print logo"},
              {"window.bmp", "new picture"},
              {"px.exe", "program"},
              {"KvrZipDll.dll", "zip library"},
              {"report.dll", "library"}});
  const std::vector<std::string> lines = RunUpdate();

  EXPECT_EQ(ReadFileBytes(Inst("LOGO.BMP")), "site logo");
  EXPECT_EQ(ReadFileBytes(Inst("logop.bmp")), "site print logo");
  EXPECT_EQ(ReadFileBytes(Inst("window.bmp")), "new picture");
  EXPECT_EQ(ReadFileBytes(Inst("px.exe")), "program");
  EXPECT_EQ(ReadFileBytes(Inst("report.dll")), "library");
  EXPECT_FALSE(Exists("KvrZipDll.dll"));
  EXPECT_TRUE(Exists("glascat.dbf"));
  EXPECT_TRUE(Exists("oldexdef.dbf"));
  EXPECT_TRUE(TempFiles().empty());

  // The progress texts, in order.
  const std::string to = InstDos();
  const std::vector<std::string> expected = {
      "[Updating ParVex] Copying PXUPD.zip to " + to + "\\temp",
      "[Information] Copied PXUPD.zip to " + to + "\\temp",
      "[Updating ParVex] Copying Setup Files.",
      "[Information] Copied INDEXDEF to OLDEXDEF",
      "[Updating ParVex] Opening Setup Files.",
      "[Updating ParVex] Copying GLASCAT",
      "[Updating ParVex] Databases Updated",
      "[Updating ParVex] Resetting INDEXDEF Paths. Please Wait...",
      "[Updating ParVex] Rebuilding Index Files. Please Wait...",
      "[Thinking......] Copying EXE files to " + to,
      "[Information] Copied EXE'S To " + to,
      "[Thinking......] Copying KvrZipDll.dll to " + to,
      "[Information] Copied DLL'S To " + to,
      "[Thinking......] Cleaning Up Temporary Area."};
  int at = -1;
  for (const std::string& want : expected) {
    const int found = FindLine(lines, want);
    EXPECT_GT(found, at) << want;
    if (found > at) at = found;
  }
}

TEST_F(Update1Test, AProgramInUseIsReportedAndKeptWhole) {
  MakeInstallation();
  WriteFileBytes(Inst("px.exe"), "running program");
  MakeUpdate({}, {{"px.exe", "new program"}, {"report.dll", "library"}});
  int code = 0;
  // Another workstation runs the program.
  std::unique_ptr<File> running =
      Env::Default()->OpenFile(Inst("px.exe"), FileAccess::kRead, FileShare::kDenyNone, &code);
  ASSERT_NE(running, nullptr);
  RunUpdate();
  running.reset();
  EXPECT_EQ(ReadFileBytes(Inst("px.exe")), "running program");
  EXPECT_EQ(ReadFileBytes(Inst("report.dll")), "library");
  EXPECT_FALSE(Exists("px.exe.zin"));
  ASSERT_EQ(RecordedErrors().size(), 1u);
  EXPECT_EQ(RecordedErrors()[0].gen_code, kErrCreate);
  EXPECT_EQ(RecordedErrors()[0].os_code, kOsSharingViolation);
  EXPECT_NE(RecordedErrors()[0].filename.find("px.exe"), std::string::npos);
}

TEST_F(Update1Test, ShippedProgramsCanBeStarted) {
  using std::filesystem::perms;
  MakeInstallation();
  const std::string staging = scratch_.path() + "/staging";
  std::filesystem::create_directories(staging);
  std::vector<std::string> files = WriteUpdateTables(staging, {});
  WriteFileBytes(staging + "/report.exe", "#!/bin/sh\nexit 0\n");
  // Read-only in the archive: installed, it still lets the next update replace it.
  std::filesystem::permissions(staging + "/report.exe", perms::owner_read | perms::owner_exec);
  files.push_back(staging + "/report.exe");
  std::string error;
  ASSERT_TRUE(MakeUpdateArchive(Upd("PXUPD.zip"), "tamrok", files, &error)) << error;
  RunUpdate();
  ASSERT_EQ(ReadFileBytes(Inst("report.exe")), "#!/bin/sh\nexit 0\n");
  const perms installed = std::filesystem::status(Inst("report.exe")).permissions();
  EXPECT_NE(installed & perms::owner_exec, perms::none);
  EXPECT_NE(installed & perms::owner_write, perms::none);
}

TEST_F(Update1Test, MissingSourceFolderStillRunsTheRebuildThenStops) {
  MakeInstallation();
  const std::vector<std::string> lines = RunUpdate("D:\\NOPE");
  const int alert = FindLine(lines, "[Alert] Unable to Access Directory: D:\\NOPE");
  ASSERT_GE(alert, 0);
  // No progress dialog yet; the rebuild runs where the failed change left the process.
  EXPECT_EQ(FindLine(lines, "[Updating ParVex]"), -1);
  EXPECT_GT(FindLine(lines, "Rebuilding Index Files."), alert);
  EXPECT_EQ(lines.back(), "[Alert] Unable to Access Temp Directory");
  EXPECT_FALSE(Exists("oldexdef.dbf"));
}

TEST_F(Update1Test, WrongPasswordUpdatesNoTable) {
  MakeInstallation();
  test::MakeTable(Inst("glascat"), {{"CODE", 'C', 6}}, {{{"CODE", Value::String("OLD")}}});
  MakeUpdate({{.name = "glascat", .bring_recs = true, .fields = {{"CODE", 'C', 9}}}}, {}, "wrong");
  const std::vector<std::string> lines = RunUpdate();
  EXPECT_NE(FindLine(lines, "[Alert] --- Error: "), -1);
  EXPECT_NE(FindLine(lines, "updatdef.dbf. No tables were updated."), -1);
  const test::TableData t = test::ReadTable(Inst("glascat"));
  ASSERT_EQ(t.rows.size(), 1u);
  EXPECT_EQ(t.fields[0].len, 6);
}

TEST_F(Update1Test, TempLeftoversAreOverwrittenAndCleanedUp) {
  MakeInstallation();
  std::filesystem::create_directories(Inst("temp"));
  WriteFileBytes(Inst("temp/window.bmp"), "stale picture");
  WriteFileBytes(Inst("temp/stale.txt"), "left by an earlier run");
  MakeUpdate({}, {{"window.bmp", "new picture"}});
  RunUpdate();
  EXPECT_EQ(ReadFileBytes(Inst("window.bmp")), "new picture");
  EXPECT_TRUE(TempFiles().empty());
}

}  // namespace
}  // namespace px
