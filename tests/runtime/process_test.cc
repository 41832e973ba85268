#include "runtime/process.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdlib>

#include "runtime/env.h"
#include "tests/test_util.h"

namespace px {
namespace {

using test::ScratchDir;

TEST(CommandLineTest, SplitsAtBlanksAndKeepsQuotedBlanks) {
  EXPECT_EQ(SplitCommandLine("PKZIP25 -add backup\\PXB1  *.db*"),
            (std::vector<std::string>{"PKZIP25", "-add", "backup\\PXB1", "*.db*"}));
  EXPECT_EQ(SplitCommandLine("  \"my prog\" \"a b\" c\r\n"),
            (std::vector<std::string>{"my prog", "a b", "c"}));
  EXPECT_TRUE(SplitCommandLine("   ").empty());
}

#ifdef _WIN32
TEST(ProcessRunnerTest, ProgramLookUpAndRunsOfShellScripts) {
  PX_SKIP_WITHOUT_POSIX("the programs looked up and run are shell scripts");
}
#else
void WriteScript(const std::string& path, const std::string& body) {
  test::WriteFileBytes(path, "#!/bin/sh\n" + body + "\n");
  chmod(path.c_str(), 0755);
}

LaunchResult RunLine(const std::string& line, bool wait) {
  LaunchRequest req;
  int code = 0;
  if (!PrepareLaunch(line, 1, &req, &code)) {
    LaunchResult r;
    r.os_code = code;
    return r;
  }
  return GetProcessRunner()->Run(req, wait, nullptr, nullptr);
}

// True when this process has a child that has ended but was not reaped.
bool HasZombieChild() {
  siginfo_t info = {};
  return waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid != 0;
}

TEST(FindProgramTest, CurrentFolderFirstWithoutRegardToCaseOrExe) {
  ScratchDir dir;
  WriteScript(dir.File("Tool.EXE"), "exit 0");
  WriteScript(dir.File("pkzip25"), "exit 0");
  test::WriteFileBytes(dir.File("notexec"), "data");
  EXPECT_EQ(FindProgram("tool"), dir.File("Tool.EXE"));
  EXPECT_EQ(FindProgram("TOOL.exe"), dir.File("Tool.EXE"));
  EXPECT_EQ(FindProgram("PKZIP25.EXE"), dir.File("pkzip25"));
  // A file that cannot run is not a program; nor is a folder.
  EXPECT_EQ(FindProgram("notexec"), "");
  mkdir(dir.File("sub").c_str(), 0755);
  EXPECT_EQ(FindProgram("sub"), "");
  // The current folder wins over PATH.
  WriteScript(dir.File("sh"), "exit 0");
  EXPECT_EQ(FindProgram("sh"), dir.File("sh"));
}

TEST(FindProgramTest, FallsBackToPathAndTakesFolderNamesAsPaths) {
  ScratchDir dir;
  EXPECT_EQ(FindProgram("sh").substr(FindProgram("sh").size() - 3), "/sh");
  EXPECT_EQ(FindProgram("no-such-program-px"), "");
  EXPECT_EQ(FindProgram(""), "");
  mkdir(dir.File("Bin").c_str(), 0755);
  WriteScript(dir.File("Bin/Run.exe"), "exit 0");
  EXPECT_EQ(FindProgram("bin\\run"), dir.File("Bin/Run.exe"));
  EXPECT_EQ(FindProgram(dir.File("Bin/Run.exe")), dir.File("Bin/Run.exe"));
  // A name with a folder is not searched for elsewhere.
  EXPECT_EQ(FindProgram("bin\\sh"), "");
}

TEST(ProcessRunnerTest, WaitGivesExitCodeAndMissingProgramIsNotStarted) {
  ScratchDir dir;
  WriteScript(dir.File("seven"), "exit 7");
  LaunchResult r = RunLine("seven", true);
  EXPECT_TRUE(r.started);
  EXPECT_EQ(r.exit_code, 7);
  WriteScript(dir.File("args"), "[ \"$1\" = \"a b\" ] && [ \"$2\" = c ] && exit 3; exit 4");
  EXPECT_EQ(RunLine("args \"a b\" c", true).exit_code, 3);
  r = RunLine("missing-program-px arg", true);
  EXPECT_FALSE(r.started);
  EXPECT_EQ(r.os_code, kOsFileNotFound);
  EXPECT_EQ(r.exit_code, -1);
  // A file that looks like a program but cannot be executed.
  test::WriteFileBytes(dir.File("broken"),
                       "\x7f"
                       "ELF garbage");
  chmod(dir.File("broken").c_str(), 0755);
  r = RunLine("broken", true);
  EXPECT_FALSE(r.started);
  EXPECT_NE(r.os_code, 0);
  EXPECT_FALSE(HasZombieChild());
}

TEST(ProcessRunnerTest, DetachedStartLeavesNoZombie) {
  ScratchDir dir;
  WriteScript(dir.File("touchit"), "echo done > " + dir.File("out.txt"));
  LaunchResult r = RunLine("touchit", false);
  EXPECT_TRUE(r.started);
  EXPECT_EQ(r.exit_code, -1);
  // The intermediate process is reaped inside Run; the program belongs to init.
  EXPECT_FALSE(HasZombieChild());
  for (int i = 0; i < 200 && test::FileSize(dir.File("out.txt")) <= 0; ++i) usleep(10000);
  EXPECT_EQ(test::ReadFileBytes(dir.File("out.txt")), "done\n");
  r = RunLine("missing-program-px", false);
  EXPECT_FALSE(r.started);
  EXPECT_FALSE(HasZombieChild());
}

TEST(BatchRunnerTest, RunsLinesUntilEndOfFileMark) {
  ScratchDir dir;
  WriteScript(dir.File("append"), "echo \"$@\" >> " + dir.File("log.txt") + "; exit $2");
  test::WriteFileBytes(dir.File("BACKUP.BAT"),
                       "@REM a comment\r\n:: another\r\n\r\nappend one 0\r\n"
                       "  APPEND two 5\r\n\x1a"
                       "append never 9\r\n");
  std::vector<Command> cmds;
  ASSERT_TRUE(ReadBatchFile(dir.File("BACKUP.BAT"), &cmds));
  ASSERT_EQ(cmds.size(), 2u);
  EXPECT_EQ(cmds[1].program, dir.File("append"));
  EXPECT_EQ(cmds[1].args, (std::vector<std::string>{"two", "5"}));

  LaunchResult r = RunLine("backup.bat", true);
  EXPECT_TRUE(r.started);
  EXPECT_EQ(r.exit_code, 5);
  EXPECT_EQ(test::ReadFileBytes(dir.File("log.txt")), "one 0\ntwo 5\n");

  // A line whose program is missing gives 127 and the batch goes on.
  test::WriteFileBytes(dir.File("two.bat"), "nothere x\r\nappend three 0\r\n");
  // Only ".exe" is tried as an extension: a batch file is named in full.
  EXPECT_FALSE(RunLine("two", true).started);
  r = RunLine("two.bat", true);
  EXPECT_EQ(r.exit_code, 0);
  test::WriteFileBytes(dir.File("last.bat"), "append four 0\r\nnothere\r\n");
  EXPECT_EQ(RunLine("LAST.BAT", true).exit_code, 127);
  EXPECT_EQ(test::ReadFileBytes(dir.File("log.txt")), "one 0\ntwo 5\nthree 0\nfour 0\n");

  // An empty batch runs and ends with 0.
  test::WriteFileBytes(dir.File("empty.bat"), "\x1a");
  r = RunLine("empty.bat", true);
  EXPECT_TRUE(r.started);
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_FALSE(HasZombieChild());
}

TEST(ProcessRunnerTest, AfterStartRunsBeforeTheWait) {
  ScratchDir dir;
  WriteScript(dir.File("slow"), "sleep 0.2; exit 2");
  LaunchRequest req;
  int code = 0;
  ASSERT_TRUE(PrepareLaunch("slow", 8, &req, &code));
  EXPECT_EQ(req.show_mode, 8);
  int calls = 0;
  LaunchResult r = GetProcessRunner()->Run(
      req, true, [&] { ++calls; }, nullptr);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(r.exit_code, 2);
  int ticks = 0;
  r = GetProcessRunner()->Run(req, true, nullptr, [&] { ++ticks; });
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_GE(ticks, 1);
}

#endif

}  // namespace
}  // namespace px
