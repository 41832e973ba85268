// WINEXEC, WAITRUN and the folder chooser.
#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "runtime/env.h"
#include "runtime/process.h"
#include "tests/test_util.h"
#include "tests/ui/console_fixture.h"
#include "ui/folder_chooser.h"
#include "ui/launch.h"

namespace px {
namespace {

using test::ScratchDir;

void WriteScript(const std::string& path, const std::string& body) {
  test::WriteFileBytes(path, "#!/bin/sh\n" + body + "\n");
  chmod(path.c_str(), 0755);
}

// Records launches and answers them without starting anything.
class RecordingRunner : public ProcessRunner {
 public:
  LaunchResult Run(const LaunchRequest& request, bool wait, const std::function<void()>& after,
                   const std::function<void()>&) override {
    requests.push_back(request);
    waits.push_back(wait);
    if (after) after();
    LaunchResult r;
    r.started = true;
    r.exit_code = wait ? 0 : -1;
    return r;
  }
  std::vector<LaunchRequest> requests;
  std::vector<bool> waits;
};

class ScopedEnvVar {
 public:
  ScopedEnvVar(const char* name, const std::string& value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old;
    test::SetEnvVar(name, value);
  }
  ~ScopedEnvVar() {
    if (old_) {
      test::SetEnvVar(name_, *old_);
    } else {
      test::UnsetEnvVar(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class LaunchTest : public test::ConsoleUiTest {};

TEST_F(LaunchTest, WaitRunGivesExitCodes) {
  PX_SKIP_WITHOUT_POSIX("the programs started are shell scripts");
  ScratchDir dir;
  WriteScript(dir.File("ok"), "exit 0");
  WriteScript(dir.File("Fails.exe"), "exit 3");
  EXPECT_EQ(WAITRUN("ok"), 0);
  EXPECT_EQ(WAITRUN("FAILS", kShow), 3);
  EXPECT_EQ(WAITRUN("no-such-program-px"), -1);
  EXPECT_EQ(WAITRUN(""), -1);
  test::WriteFileBytes(dir.File("backup.bat"), "ok\r\nfails\r\n\x1a");
  EXPECT_EQ(WAITRUN("backup.bat", kShow), 3);
}

TEST_F(LaunchTest, WinExecStartsOrReportsWhy) {
  PX_SKIP_WITHOUT_POSIX("the programs started are shell scripts");
  ScratchDir dir;
  WriteScript(dir.File("px"), "echo started > " + dir.File("px.out"));
  EXPECT_GT(WINEXEC("PX"), 31);
  for (int i = 0; i < 200 && test::FileSize(dir.File("px.out")) <= 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(test::ReadFileBytes(dir.File("px.out")), "started\n");
  EXPECT_EQ(WINEXEC("no-such-program-px"), 2);
  EXPECT_LE(WINEXEC("no-such-program-px arg"), 31);
}

TEST_F(LaunchTest, LaunchesGoThroughTheRunnerWithTheirShowMode) {
  PX_SKIP_WITHOUT_POSIX("the programs started are shell scripts");
  ScratchDir dir;
  WriteScript(dir.File("pkzip"), "exit 0");
  test::WriteFileBytes(dir.File("BACKUP.BAT"), "PKZIP backup\\PXB1 *.db*\r\n\x1a");
  RecordingRunner runner;
  ScopedProcessRunner scope(&runner);
  EXPECT_EQ(WAITRUN("backup.bat", kShow), 0);
  EXPECT_GT(WINEXEC("pkzip x"), 31);
  ASSERT_EQ(runner.requests.size(), 2u);
  EXPECT_TRUE(runner.requests[0].is_batch);
  EXPECT_EQ(runner.requests[0].show_mode, kShow);
  ASSERT_EQ(runner.requests[0].commands.size(), 1u);
  EXPECT_EQ(runner.requests[0].commands[0].program, dir.File("pkzip"));
  EXPECT_EQ(runner.requests[0].commands[0].args,
            (std::vector<std::string>{"backup\\PXB1", "*.db*"}));
  EXPECT_TRUE(runner.waits[0]);
  EXPECT_FALSE(runner.waits[1]);
  EXPECT_EQ(runner.requests[1].show_mode, kShowNormal);
}

TEST_F(LaunchTest, BuiltInChooserWithoutAWindowsFolder) {
  ScratchDir dir;
  ScopedEnvVar windir("WINDIR", dir.File("NoWindows"));
  if (WindowsFolder() != "") GTEST_SKIP() << "this machine has a C:\\WINDOWS folder";
  backend_.Script({{std::string("E:\\PXUPD")}, "OK", nullptr});
  EXPECT_EQ(CGETDIR32("Update From"), "E:\\PXUPD");
  backend_.Script({{std::string("/srv/updates")}, "OK", nullptr});
  EXPECT_EQ(CGETDIR32("Update From"), "C:\\srv\\updates");
  backend_.Script({{}, "Cancel", nullptr});
  EXPECT_EQ(CGETDIR32("Update From"), "");
  // Nothing scripted and no terminal: cancelled.
  EXPECT_EQ(CGETDIR32("Update From"), "");
  EXPECT_EQ(TakeLines().front(), "[Update From] Choose a folder");
}

TEST_F(LaunchTest, ExternalChooserThroughTheExchangeFile) {
  PX_SKIP_WITHOUT_POSIX("the programs started are shell scripts");
  ScratchDir dir;
  std::filesystem::create_directory(dir.File("Windows"));
  ScopedEnvVar windir("WINDIR", dir.File("Windows"));
  const std::string ini = dir.File("Windows/rundlg32.ini");
  test::WriteFileBytes(ini, "[Old]\r\nstale=1\r\n");
  // The chooser checks what it was given, then answers.
  WriteScript(
      dir.File("rundlg32"),
      "[ \"$1\" = 3 ] || exit 1\n"
      "cp " +
          ini + " " + dir.File("seen.ini") +
          "\n"
          "printf '[GetDirectory]\\r\\nworking=0\\r\\nlpstrDirectory=D:\\\\PICKED\\r\\n' > " +
          ini);
  EXPECT_EQ(CGETDIR32("Update From", "D:\\"), "D:\\PICKED");
  EXPECT_EQ(test::ReadFileBytes(dir.File("seen.ini")),
            "[GetDirectory]\r\nlpstrTitle=Update From\r\nlpstrDirectory=D:\\\r\n"
            "hwndOwner=0\r\nworking=1\r\n");
  // The exchange file is gone afterwards.
  EXPECT_EQ(test::FileSize(ini), -1);

  // A chooser that dies without answering gives an empty choice, not a hang.
  WriteScript(dir.File("rundlg32"), "exit 9");
  EXPECT_EQ(CGETDIR32("Update From"), "");
  EXPECT_EQ(backend_.pending_answers(), 0u);
}

TEST_F(LaunchTest, MissingExternalChooserFallsBackToTheBuiltInOne) {
  ScratchDir dir;
  std::filesystem::create_directory(dir.File("WINDOWS"));
  ScopedEnvVar windir("WINDIR", dir.File("WINDOWS"));
  ScopedEnvVar path("PATH", "/nonexistent");
  backend_.Script({{std::string("D:\\CHOSEN")}, "OK", nullptr});
  EXPECT_EQ(CGETDIR32("Update From"), "D:\\CHOSEN");
  EXPECT_EQ(test::FileSize(dir.File("WINDOWS/rundlg32.ini")), -1);
}

}  // namespace
}  // namespace px
