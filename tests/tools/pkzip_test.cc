#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "runtime/env.h"
#include "runtime/folders.h"
#include "runtime/memowrit.h"
#include "runtime/process.h"
#include "tests/archive/zip_test_util.h"
#include "tests/child_process.h"
#include "tests/test_util.h"

namespace px {
namespace {

using test::ReadFileBytes;
using test::ScratchDir;
using test::WriteFileBytes;

// The folder of the built programs.
std::string ToolsDir() {
  if (const char* dir = std::getenv("PX_TEST_BINARY_DIR"); dir != nullptr && *dir) {
    return std::string(dir) + "/tools";
  }
  const std::filesystem::path self(ProgramFilePath());
  return (self.parent_path().parent_path() / "tools").string();
}

#ifdef _WIN32
constexpr char kExe[] = ".exe";
#else
constexpr char kExe[] = "";
#endif

// A program of the tools folder.
std::string Tool(const std::string& program) {
  return ToolsDir() + "/" + program + kExe;
}

// Runs a program of the tools folder in the current folder, its output in pkzip.out and
// pkzip.err; its exit code.
int RunTool(const std::string& program, std::vector<std::string> args) {
  args.insert(args.begin(), Tool(program));
  return test::ChildProcess(args, {}, "", "pkzip.out", "pkzip.err").Wait(120);
}

// The entries of an archive in archive order, each name with its data as read back by
// libzip, which checks every entry's CRC; "!" and the reason when it cannot be read.
std::vector<std::pair<std::string, std::string>> Entries(const std::string& archive) {
  int err = 0;
  zip_t* za = zip_open(archive.c_str(), ZIP_RDONLY, &err);
  if (za == nullptr) return {{"!", "cannot open " + archive + ": " + std::to_string(err)}};
  std::vector<std::pair<std::string, std::string>> entries;
  for (zip_int64_t i = 0; i < zip_get_num_entries(za, 0); ++i) {
    const zip_uint64_t index = static_cast<zip_uint64_t>(i);
    std::string data;
    zip_file_t* f = zip_fopen_index(za, index, 0);
    char buf[4096];
    zip_int64_t n = 0;
    while (f != nullptr && (n = zip_fread(f, buf, sizeof(buf))) > 0) {
      data.append(buf, static_cast<size_t>(n));
    }
    if (f == nullptr || n < 0) data = "! unreadable";
    if (f != nullptr) zip_fclose(f);
    entries.emplace_back(zip_get_name(za, index, 0), data);
  }
  zip_discard(za);
  return entries;
}

// The entry names of an archive, in archive order.
std::vector<std::string> Listed(const std::string& archive) {
  std::vector<std::string> names;
  for (const auto& entry : Entries(archive)) names.push_back(entry.first);
  return names;
}

// The data of one entry.
std::string EntryData(const std::string& archive, const std::string& name) {
  for (const auto& entry : Entries(archive)) {
    if (entry.first == name) return entry.second;
  }
  return "! no entry " + name;
}

class PkzipTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(std::filesystem::exists(Tool("pkzip"))) << ToolsDir(); }
};

TEST_F(PkzipTest, BothBackupCommandLinesArchiveTheTablesOfTheFolder) {
  ScratchDir dir;
  WriteFileBytes(dir.File("Customer.DBF"), std::string(40000, 'c'));
  WriteFileBytes(dir.File("customer.dbt"), "memo");
  WriteFileBytes(dir.File("QUOTES.dbf"), "quotes");
  WriteFileBytes(dir.File("Sysinfo.Dbf"), "sysinfo");
  WriteFileBytes(dir.File("quotes.NTX"), "index");
  WriteFileBytes(dir.File("readme.txt"), "text");
  std::filesystem::create_directories(dir.File("old.dbf"));  // a folder is no table
  std::filesystem::create_directories(dir.File("backup"));

  ASSERT_EQ(RunTool("pkzip25", {"-add", "backup\\PXB1", "*.db*"}), 0) << ReadFileBytes("pkzip.err");
  EXPECT_EQ(Listed("backup/PXB1.zip"), (std::vector<std::string>{"Customer.DBF", "customer.dbt",
                                                                 "QUOTES.dbf", "Sysinfo.Dbf"}));
  EXPECT_EQ(EntryData("backup/PXB1.zip", "Customer.DBF"), std::string(40000, 'c'));

  // A second run adds to the same archive: new files join, changed files are replaced.
  WriteFileBytes(dir.File("QUOTES.dbf"), "quotes, changed");
  WriteFileBytes(dir.File("labels.dbf"), "new table");
  ASSERT_EQ(RunTool("pkzip", {"BACKUP\\pxb1", "*.db*"}), 0) << ReadFileBytes("pkzip.err");
  EXPECT_EQ(Listed("backup/PXB1.zip"),
            (std::vector<std::string>{"Customer.DBF", "customer.dbt", "QUOTES.dbf", "Sysinfo.Dbf",
                                      "labels.dbf"}));
  EXPECT_EQ(EntryData("backup/PXB1.zip", "QUOTES.dbf"), "quotes, changed");
  // Info-ZIP, where it is installed, reads the archive too.
  if (test::HaveProgram("unzip")) {
    EXPECT_EQ(test::Shell("unzip -tqq backup/PXB1.zip"), 0);
  }
  EXPECT_EQ(test::FolderNames(dir.File("backup")), std::vector<std::string>{"PXB1.zip"});

  // The test command reads every entry back.
  EXPECT_EQ(RunTool("pkzip", {"-t", "backup\\PXB1"}), 0);
  EXPECT_NE(ReadFileBytes("pkzip.out").find("No errors detected"), std::string::npos);
}

// The backup writes its command line into BACKUP.BAT and runs it through the batch
// runner, which finds the program by name in any letter case.
TEST_F(PkzipTest, BackupBatchLinesRunThroughTheBatchRunner) {
  ScratchDir dir;
  WriteFileBytes(dir.File("Customer.DBF"), "customers");
  WriteFileBytes(dir.File("customer.dbt"), "memo");
  WriteFileBytes(dir.File("quotes.ntx"), "index");
  ASSERT_EQ(MAKEDIR(Value::String("backup")), 0);
  const char* old_path = std::getenv("PATH");
  const std::string saved = old_path != nullptr ? old_path : "";
  std::string tools = ToolsDir();
#ifdef _WIN32
  std::replace(tools.begin(), tools.end(), '/', '\\');  // the command processor's PATH
#endif
  test::SetEnvVar("PATH", tools + test::kPathListSeparator + saved);

  int exit_codes[2] = {-1, -1};
  const char* lines[2] = {"PKZIP25 -add backup\\PXB7 *.db*", "PKZIP backup\\PXB8 *.db*"};
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(
        MEMOWRIT(Value::String("BACKUP.BAT"), Value::String(std::string(lines[i]) + "\r\n")));
    LaunchRequest request;
    int os_code = 0;
    ASSERT_TRUE(PrepareLaunch("backup.bat", 5, &request, &os_code)) << os_code;
    exit_codes[i] = GetProcessRunner()->Run(request, true, {}, {}).exit_code;
  }
  test::SetEnvVar("PATH", saved);
  EXPECT_EQ(exit_codes[0], 0);
  EXPECT_EQ(exit_codes[1], 0);
  for (const char* archive : {"backup/PXB7.zip", "backup/PXB8.zip"}) {
    EXPECT_EQ(Listed(archive), (std::vector<std::string>{"Customer.DBF", "customer.dbt"}));
  }
}

TEST_F(PkzipTest, FailuresExitNonZeroWithAMessage) {
  ScratchDir dir;
  WriteFileBytes(dir.File("a.dbf"), "a");
  EXPECT_EQ(RunTool("pkzip", {"nofolder\\PXB1", "*.db*"}), 2);
  EXPECT_NE(ReadFileBytes("pkzip.err").find("PXB1.zip"), std::string::npos);

  EXPECT_EQ(RunTool("pkzip", {"PXB1", "*.exe"}), 12);
  EXPECT_NE(ReadFileBytes("pkzip.err").find("*.exe"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.File("PXB1.zip")));

  WriteFileBytes(dir.File("notes.zip"), "not an archive");
  EXPECT_EQ(RunTool("pkzip", {"notes", "*.dbf"}), 2);
  EXPECT_EQ(ReadFileBytes(dir.File("notes.zip")), "not an archive");

  EXPECT_EQ(RunTool("pkzip", {}), 1);
  EXPECT_EQ(RunTool("pkzip", {"-x", "PXB1", "*.dbf"}), 1);
  EXPECT_EQ(RunTool("pkzip", {"PXB1"}), 1);
  EXPECT_EQ(test::FolderNames(dir.path()),
            (std::vector<std::string>{"a.dbf", "notes.zip", "pkzip.err", "pkzip.out"}));
}

TEST_F(PkzipTest, ATableHeldExclusivelyIsLeftOutAndTheRestBackedUp) {
  ScratchDir dir;
  WriteFileBytes(dir.File("free.dbf"), "free");
  WriteFileBytes(dir.File("held.dbf"), "held by another workstation");
  int code = 0;
  std::unique_ptr<File> held =
      GetEnv()->OpenFile("held.dbf", FileAccess::kReadWrite, FileShare::kExclusive, &code);
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(RunTool("pkzip", {"PXB1", "*.dbf"}), 3);
  EXPECT_NE(ReadFileBytes("pkzip.err").find("held.dbf"), std::string::npos);
  EXPECT_EQ(Listed("PXB1.zip"), std::vector<std::string>{"free.dbf"});
}

TEST_F(PkzipTest, TestCommandFindsDamage) {
  ScratchDir dir;
  const std::string marker = "TABLE-" + std::string(500, 't');
  test::MakeZip(dir.File("b.zip"), {{"ok.dbf", "fine"}, {"t.dbf", marker}}, "", ZIP_EM_NONE,
                ZIP_CM_STORE);
  std::string bytes = ReadFileBytes(dir.File("b.zip"));
  bytes[bytes.find(marker) + 50] = 'X';
  WriteFileBytes(dir.File("b.zip"), bytes);
  EXPECT_EQ(RunTool("pkzip", {"-t", "b"}), 4);
  const std::string out = ReadFileBytes("pkzip.out");
  EXPECT_NE(out.find("ok.dbf  OK"), std::string::npos) << out;
  EXPECT_NE(out.find("t.dbf  FAILED"), std::string::npos) << out;
  EXPECT_EQ(RunTool("pkzip", {"-t", "missing"}), 2);

  // Encrypted archives are tested with their password.
  test::MakeZip(dir.File("e.zip"), {{"x.dbf", "secret"}}, "pw");
  EXPECT_EQ(RunTool("pkzip", {"-t", "-spw", "e.zip"}), 0);
  EXPECT_EQ(RunTool("pkzip", {"-t", "-sno", "e.zip"}), 4);
}

}  // namespace
}  // namespace px
