#include "archive/zip_writer.h"

#include <gtest/gtest.h>
#include <sys/time.h>

#include <filesystem>
#include <string>
#include <vector>

#include "archive/archive_check.h"
#include "archive/update_archive.h"
#include "archive/zip_errors.h"
#include "runtime/env.h"
#include "tests/archive/zip_test_util.h"
#include "tests/test_util.h"

namespace px {
namespace {

using test::FolderNames;
using test::ReadFileBytes;
using test::ScratchDir;
using test::WriteFileBytes;
using V = std::vector<std::string>;

// Entry name -> problem ("" when fine) of every entry of an archive.
std::vector<std::pair<std::string, std::string>> Check(const std::string& archive,
                                                       const std::string& password,
                                                       ArchiveCheck* result) {
  std::vector<std::pair<std::string, std::string>> seen;
  *result = CheckArchive(archive, password, [&](const std::string& e, const std::string& p) {
    seen.emplace_back(e, p);
  });
  return seen;
}

// Every test of the backup's writing runs with one thread and with several: the entries
// and their data must not depend on it.
class ZipWriterThreadsTest : public testing::TestWithParam<int> {
 protected:
  ZipWriteOptions Options() const {
    ZipWriteOptions options;
    options.threads = GetParam();
    return options;
  }
};

TEST_P(ZipWriterThreadsTest, AddsToAnArchiveReplacingEntriesOfTheSameName) {
  ScratchDir dir;
  WriteFileBytes(dir.File("Customer.DBF"), std::string(50000, 'c'));
  WriteFileBytes(dir.File("quotes.dbt"), "memo");
  std::filesystem::create_directories(dir.File("backup"));
  std::string error;
  ASSERT_TRUE(WriteZip("backup\\PXB1.zip",
                       {{"Customer.DBF", "Customer.DBF", 0}, {"quotes.dbt", "quotes.dbt", 0}},
                       Options(), &error))
      << error;
  // Same name in another letter case: replaced, under the new name.
  WriteFileBytes(dir.File("customer.dbf"), "new contents");
  ASSERT_TRUE(
      WriteZip("backup\\pxb1.zip", {{"customer.dbf", "customer.dbf", 0}}, Options(), &error))
      << error;
  EXPECT_EQ(FolderNames(dir.File("backup")), V{"PXB1.zip"});  // no temporary file left

  ArchiveCheck result;
  const auto seen = Check("backup\\PXB1.zip", "", &result);
  EXPECT_EQ(result.entries, 2);
  EXPECT_EQ(result.failed, 0);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].first, "customer.dbf");
  EXPECT_EQ(seen[1].first, "quotes.dbt");
  if (test::HaveProgram("unzip")) {
    EXPECT_EQ(test::ShellOutput("unzip -p backup/PXB1.zip customer.dbf"), "new contents");
  }

  // Two files whose names differ only in case (possible on this host) are both kept.
  WriteFileBytes(dir.File("CUSTOMER.DBF"), "third");
  ASSERT_TRUE(WriteZip("backup\\PXB1.zip",
                       {{"CUSTOMER.DBF", "CUSTOMER.DBF", 0}, {"customer.dbf", "customer.dbf", 0}},
                       Options(), &error))
      << error;
  Check("backup\\PXB1.zip", "", &result);
  EXPECT_EQ(result.entries, 3);
}

TEST_P(ZipWriterThreadsTest, FailureLeavesTheArchiveAsItWas) {
  ScratchDir dir;
  WriteFileBytes(dir.File("a.dbf"), "a");
  std::string error;
  ASSERT_TRUE(WriteZip("x.zip", {{"a.dbf", "a.dbf", 0}}, Options(), &error));
  const std::string before = ReadFileBytes(dir.File("x.zip"));
  EXPECT_FALSE(
      WriteZip("x.zip", {{"a.dbf", "b.dbf", 0}, {"gone.dbf", "gone.dbf", 0}}, Options(), &error));
  EXPECT_EQ(error, "gone.dbf: no such file");
  EXPECT_EQ(ReadFileBytes(dir.File("x.zip")), before);
  EXPECT_EQ(FolderNames(dir.path()), (V{"a.dbf", "x.zip"}));

  // A write that fails half-way (a full disk) leaves the archive as it was, and no
  // temporary file behind.
  WriteFileBytes(dir.File("big.dbf"), std::string(300000, 'b'));
  {
    test::FullDiskEnv full(100);
    ScopedEnv scope(&full);
    EXPECT_FALSE(WriteZip("x.zip", {{"big.dbf", "big.dbf", 0}}, Options(), &error));
  }
  EXPECT_EQ(ReadFileBytes(dir.File("x.zip")), before);
  EXPECT_EQ(FolderNames(dir.path()), (V{"a.dbf", "big.dbf", "x.zip"}));

  // A file that is not an archive is never overwritten when adding.
  WriteFileBytes(dir.File("notes.zip"), "just text, not an archive");
  EXPECT_FALSE(WriteZip("notes.zip", {{"a.dbf", "a.dbf", 0}}, Options(), &error));
  EXPECT_EQ(ReadFileBytes(dir.File("notes.zip")), "just text, not an archive");
  EXPECT_FALSE(WriteZip("nofolder\\y.zip", {{"a.dbf", "a.dbf", 0}}, Options(), &error));
}

TEST_P(ZipWriterThreadsTest, EntriesKeepTheirOrderAndData) {
  ScratchDir dir;
  std::vector<ZipInput> inputs;
  std::string expected;
  for (int i = 0; i < 7; ++i) {
    const std::string name = "t" + std::to_string(i) + ".dbf";
    std::string data;
    for (int k = 0; k < (i * 37 % 7 + 1) * 20000; ++k) data += static_cast<char>('a' + k * i % 26);
    WriteFileBytes(dir.File(name), data);
    inputs.push_back({name, name, 0});
    expected += name + "=" + std::to_string(data.size()) + ";";
  }
  WriteFileBytes(dir.File("empty.dbt"), "");
  inputs.push_back({"empty.dbt", "empty.dbt", 0});
  expected += "empty.dbt=0;";
  std::string error;
  ASSERT_TRUE(WriteZip("b.zip", inputs, Options(), &error)) << error;
  EXPECT_EQ(FolderNames(dir.path()).size(), inputs.size() + 1);  // no part left behind
  ArchiveCheck result;
  std::string seen;
  for (const auto& [entry, problem] : Check("b.zip", "", &result)) {
    EXPECT_EQ(problem, "") << entry;
    if (!entry.empty())
      seen += entry + "=" + std::to_string(ReadFileBytes(dir.File(entry)).size()) + ";";
  }
  EXPECT_EQ(seen, expected);
  if (test::HaveProgram("unzip")) {
    EXPECT_EQ(test::ShellOutput("unzip -p b.zip t5.dbf"), ReadFileBytes(dir.File("t5.dbf")));
    EXPECT_EQ(test::Shell("unzip -tq b.zip >/dev/null"), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Threads, ZipWriterThreadsTest, testing::Values(1, 3));

TEST(ZipWriterTest, UpdateArchiveRules) {
  ScratchDir dir;
  std::filesystem::create_directories(dir.File("one"));
  std::filesystem::create_directories(dir.File("two"));
  WriteFileBytes(dir.File("one/PX.EXE"), "1");
  WriteFileBytes(dir.File("two/px.exe"), "2");
  std::string error;
  EXPECT_FALSE(MakeUpdateArchive("u.zip", "pw", {"one\\PX.EXE", "two\\px.exe"}, &error));
  EXPECT_NE(error.find("already"), std::string::npos);
  EXPECT_FALSE(MakeUpdateArchive("u.zip", "", {"one\\PX.EXE"}, &error));
  EXPECT_FALSE(MakeUpdateArchive("u.zip", "pw", {}, &error));
  EXPECT_FALSE(MakeUpdateArchive("u.zip", "pw", {"one\\missing.dll"}, &error));
  EXPECT_EQ(error, "one\\missing.dll: no such file");
  EXPECT_EQ(FolderNames(dir.path()), (V{"one", "two"}));

  // A new archive replaces an old one entirely; every entry is encrypted. The file's
  // date is fixed: traditional encryption keys its one-byte password check to it (a wrong
  // password that passes the check: unzip_file_test).
  std::error_code ec;
  std::filesystem::last_write_time(
      dir.File("two/px.exe"),
      std::chrono::file_clock::from_sys(std::chrono::sys_seconds(std::chrono::seconds(1000000000))),
      ec);
  ASSERT_FALSE(ec) << ec.message();
  ASSERT_TRUE(MakeUpdateArchive("u.zip", "pw", {"one\\PX.EXE"}, &error)) << error;
  ASSERT_TRUE(MakeUpdateArchive("u.zip", "pw", {"two\\px.exe"}, &error)) << error;
  ArchiveCheck result;
  auto seen = Check("u.zip", "pw", &result);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], std::make_pair(std::string("px.exe"), std::string()));
  seen = Check("u.zip", "", &result);
  EXPECT_EQ(result.error, kZipErrNoPassword);
  // The check byte is decrypted through the entry's random header, so one wrong password
  // in 256 passes it and is caught by the CRC instead; every one must be refused.
  int refused_by_check = 0;
  for (const char* wrong : {"wrong", "pW", "pw ", "Pw", "wp", "p", "pww", "xx"}) {
    seen = Check("u.zip", wrong, &result);
    EXPECT_TRUE(result.error == kZipErrWrongPassword || result.error == kZipErrDamaged)
        << wrong << ": " << result.error;
    refused_by_check += result.error == kZipErrWrongPassword ? 1 : 0;
  }
  EXPECT_GT(refused_by_check, 0);
}

TEST(ArchiveCheckTest, ReportsDamageAndUnreadableArchives) {
  ScratchDir dir;
  const std::string marker = "CHECK-" + std::string(300, 'm');
  test::MakeZip(dir.File("t.zip"), {{"good.dbf", "good"}, {"bad.dbf", marker}}, "", ZIP_EM_NONE,
                ZIP_CM_STORE);
  std::string bytes = ReadFileBytes(dir.File("t.zip"));
  bytes[bytes.find(marker) + 10] = '!';
  WriteFileBytes(dir.File("t.zip"), bytes);
  ArchiveCheck result;
  const auto seen = Check("t.zip", "", &result);
  EXPECT_EQ(result.entries, 2);
  EXPECT_EQ(result.failed, 1);
  EXPECT_EQ(result.error, kZipErrDamaged);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].second, "");
  EXPECT_NE(seen[1].second, "");

  // Cut short: the directory is gone.
  WriteFileBytes(dir.File("cut.zip"), bytes.substr(0, bytes.size() / 2));
  Check("cut.zip", "", &result);
  EXPECT_EQ(result.error, kZipErrNotZip);
  Check("none.zip", "", &result);
  EXPECT_EQ(result.error, kZipErrNotFound);
}

}  // namespace
}  // namespace px
