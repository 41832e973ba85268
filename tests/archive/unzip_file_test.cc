#include "archive/unzip_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "archive/update_archive.h"
#include "archive/zip_errors.h"
#include "archive/zip_library.h"
#include "tests/archive/zip_test_util.h"
#include "tests/test_util.h"

namespace px {
namespace {

using test::FolderNames;
using test::MakeZip;
using test::ReadFileBytes;
using test::ScratchDir;
using test::WriteFileBytes;
using V = std::vector<std::string>;

// Runs UNZIPFILE and returns what its message boxes showed.
std::string Unzip(const std::string& archive, const Value& password) {
  test::ShownMessages shown;
  UNZIPFILE(Value::String(archive), password);
  return shown.text();
}

std::string Unzip(const std::string& archive, const std::string& password) {
  return Unzip(archive, Value::String(password));
}

// Every handle the test opened was closed again.
class UnzipFileTest : public testing::Test {
 protected:
  void SetUp() override { handles_ = LiveZipHandles(); }
  void TearDown() override { EXPECT_EQ(LiveZipHandles(), handles_); }

 private:
  int handles_ = 0;
};

TEST_F(UnzipFileTest, SystemZipArchiveUnpacksWithThePassword) {
  if (!test::HaveProgram("zip")) GTEST_SKIP() << test::MissingProgram("zip");
  ScratchDir dir;
  std::filesystem::create_directories(dir.File("src/bitmaps"));
  WriteFileBytes(dir.File("src/UPDATDEF.DBF"), std::string(3000, 'u'));
  WriteFileBytes(dir.File("src/quotes.dbt"), "memo text");
  WriteFileBytes(dir.File("src/bitmaps/logo.bmp"), "BM");
  ASSERT_EQ(test::Shell("cd src && zip -q -r -P tamrok ../PXUPD.zip ."), 0);

  std::filesystem::create_directories(dir.File("temp"));
  WriteFileBytes(dir.File("temp/updatdef.dbf"), "old contents");  // replaced, letter case kept
  std::filesystem::copy_file(dir.File("PXUPD.zip"), dir.File("temp/PXUPD.zip"));
  std::filesystem::current_path(dir.File("temp"));

  EXPECT_EQ(Unzip("PXUPD.zip", "tamrok"), "");
  EXPECT_EQ(FolderNames(dir.File("temp")),
            (V{"PXUPD.zip", "bitmaps", "quotes.dbt", "updatdef.dbf"}));
  EXPECT_TRUE(ReadFileBytes(dir.File("temp/updatdef.dbf")) == std::string(3000, 'u'));
  EXPECT_EQ(ReadFileBytes(dir.File("temp/quotes.dbt")), "memo text");
  EXPECT_EQ(ReadFileBytes(dir.File("temp/bitmaps/logo.bmp")), "BM");
}

TEST_F(UnzipFileTest, OwnUpdateArchiveUnpacksHereAndWithTheSystemUnzip) {
  ScratchDir dir;
  std::filesystem::create_directories(dir.File("ship/sub"));
  WriteFileBytes(dir.File("ship/updatdef.dbf"), std::string(100000, 'x') + "end");
  WriteFileBytes(dir.File("ship/sub/PX.EXE"), "MZ program");
  WriteFileBytes(dir.File("ship/empty.dll"), "");
  std::string error;
  ASSERT_TRUE(MakeUpdateArchive(
      "PXUPD.zip", "tamrok", {"ship\\updatdef.dbf", "ship/sub/PX.EXE", "ship\\EMPTY.DLL"}, &error))
      << error;

  std::filesystem::create_directories(dir.File("temp"));
  std::filesystem::copy_file(dir.File("PXUPD.zip"), dir.File("temp/PXUPD.zip"));
  std::filesystem::current_path(dir.File("temp"));
  EXPECT_EQ(Unzip("pxupd.ZIP", "tamrok"), "");
  // Entries sit at the top level under the names the files have.
  EXPECT_EQ(FolderNames(dir.File("temp")), (V{"PX.EXE", "PXUPD.zip", "empty.dll", "updatdef.dbf"}));
  EXPECT_TRUE(ReadFileBytes(dir.File("temp/updatdef.dbf")) == std::string(100000, 'x') + "end");
  EXPECT_EQ(ReadFileBytes(dir.File("temp/PX.EXE")), "MZ program");

  if (test::HaveProgram("unzip")) {
    EXPECT_EQ(test::Shell("unzip -qq -P tamrok -t PXUPD.zip"), 0);
    EXPECT_NE(test::Shell("unzip -qq -P wrong -t PXUPD.zip >/dev/null 2>&1"), 0);
  }
}

TEST_F(UnzipFileTest, WrongPasswordFailsWithACodeAndLeavesNoFile) {
  ScratchDir dir;
  std::string big;
  for (int i = 0; i < 20000; ++i) big += std::to_string(i * 7919) + ",";
  MakeZip(dir.File("PXUPD.zip"),
          {{"updatdef.dbf", big}, {"a.dbf", "aaaa"}, {"b.dbf", std::string(5000, 'b')}}, "tamrok");
  const std::string shown = Unzip("PXUPD.zip", "tamrox");
  EXPECT_EQ(shown.find("Zip File Not Found"), std::string::npos);
  EXPECT_NE(shown.find("--- Error:          6"), std::string::npos) << shown;
  EXPECT_EQ(FolderNames(dir.path()), V{"PXUPD.zip"});

  // No password at all for an encrypted archive is a failure too.
  const std::string none = Unzip("PXUPD.zip", Value());
  EXPECT_NE(none.find("--- Error:          7"), std::string::npos) << none;
  EXPECT_EQ(FolderNames(dir.path()), V{"PXUPD.zip"});

  EXPECT_EQ(Unzip("PXUPD.zip", "tamrok"), "");
  EXPECT_TRUE(ReadFileBytes(dir.File("updatdef.dbf")) == big);
}

TEST_F(UnzipFileTest, AesEntriesDecrypt) {
  ScratchDir dir;
  MakeZip(dir.File("aes.zip"), {{"quotdata.dbf", std::string(70000, 'q')}}, "tamrok",
          ZIP_EM_AES_256);
  EXPECT_NE(Unzip("aes.zip", "nope").find("--- Error:          6"), std::string::npos);
  EXPECT_EQ(FolderNames(dir.path()), V{"aes.zip"});
  EXPECT_EQ(Unzip("aes.zip", "tamrok"), "");
  EXPECT_TRUE(ReadFileBytes(dir.File("quotdata.dbf")) == std::string(70000, 'q'));
}

TEST_F(UnzipFileTest, MissingAndDamagedArchives) {
  ScratchDir dir;
  // An information box, then the open's alert; nothing is extracted.
  EXPECT_EQ(Unzip("PXUPD.zip", "tamrok"),
            "[Information] Zip File Not Found\n[Alert] -- Error:          2\n");

  // Error code 5 (not a zip archive): "-- Error: ", nine blanks, 5.
  WriteFileBytes(dir.File("PXUPD.zip"), std::string(1000, 'G'));
  const std::string garbage = Unzip("PXUPD.zip", "tamrok");
  EXPECT_EQ(garbage, "[Alert] -- Error: " + std::string(9, ' ') + "5\n");
  WriteFileBytes(dir.File("empty.zip"), "");
  EXPECT_NE(Unzip("empty.zip", "x").find("-- Error:          5"), std::string::npos);
  EXPECT_EQ(FolderNames(dir.path()), (V{"PXUPD.zip", "empty.zip"}));

  // A name that is not text is a missing archive.
  test::ShownMessages shown;
  UNZIPFILE(Value::Integer(7));
  const std::string not_text = shown.text();
  EXPECT_NE(not_text.find("Zip File Not Found"), std::string::npos);
  EXPECT_NE(not_text.find("-- Error: "), std::string::npos);
}

TEST_F(UnzipFileTest, DamagedEntryIsNotWrittenButTheOthersAre) {
  ScratchDir dir;
  const std::string marker = "DAMAGE-ME-" + std::string(200, 'z');
  MakeZip(dir.File("d.zip"), {{"first.dbf", "first"}, {"bad.dbf", marker}, {"last.dbf", "last"}},
          "", ZIP_EM_NONE, ZIP_CM_STORE);
  std::string bytes = ReadFileBytes(dir.File("d.zip"));
  const size_t at = bytes.find(marker);
  ASSERT_NE(at, std::string::npos);
  bytes[at + 100] = 'y';
  WriteFileBytes(dir.File("d.zip"), bytes);

  EXPECT_NE(Unzip("d.zip", Value()).find("--- Error:          9"), std::string::npos);
  EXPECT_EQ(FolderNames(dir.path()), (V{"d.zip", "first.dbf", "last.dbf"}));
}

// Bytes that do not compress, so that a byte well inside them is inside the entry's data.
std::string Noise(size_t n, uint32_t seed) {
  std::string s(n, '\0');
  for (char& c : s) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<char>(seed >> 24);
  }
  return s;
}

// Damages one byte of an entry's data, `into` bytes after its local header's end.
void DamageEntry(const std::string& archive, const std::string& name, size_t into) {
  std::string bytes = ReadFileBytes(archive);
  const size_t at = bytes.find(name);  // the local header's copy of the name comes first
  ASSERT_NE(at, std::string::npos);
  ASSERT_GE(at, 2u);
  const size_t extra = static_cast<uint8_t>(bytes[at - 2]) | static_cast<uint8_t>(bytes[at - 1])
                                                                 << 8;
  const size_t target = at + name.size() + extra + into;
  ASSERT_LT(target, bytes.size());
  bytes[target] = static_cast<char>(bytes[target] ^ 0x5A);
  WriteFileBytes(archive, bytes);
}

// A password other than the archive's that passes the check of entry 0 and, when
// `fail_entry_1`, fails the check of entry 1.
std::string SlyPassword(const std::string& archive, bool fail_entry_1) {
  int err = 0;
  zip_t* za = zip_open(archive.c_str(), ZIP_RDONLY, &err);
  if (za == nullptr) return "";
  auto passes = [za](zip_uint64_t index, const std::string& pw) {
    zip_file_t* f = zip_fopen_index_encrypted(za, index, 0, pw.c_str());
    if (f != nullptr) zip_fclose(f);
    return f != nullptr;
  };
  std::string found;
  for (int i = 0; i < 100000 && found.empty(); ++i) {
    const std::string pw = "sly" + std::to_string(i);
    if (passes(0, pw) && (!fail_entry_1 || !passes(1, pw))) found = pw;
  }
  zip_discard(za);
  return found;
}

TEST_F(UnzipFileTest, DamagedEncryptedEntryIsDamagedNotAWrongPassword) {
  struct Case {
    const char* what;
    zip_uint16_t method;
    zip_int32_t compression;
  };
  for (const Case& c : {Case{"traditional, stored", ZIP_EM_TRAD_PKWARE, ZIP_CM_STORE},
                        Case{"traditional, deflated", ZIP_EM_TRAD_PKWARE, ZIP_CM_DEFLATE},
                        Case{"AES, deflated", ZIP_EM_AES_256, ZIP_CM_DEFLATE}}) {
    SCOPED_TRACE(c.what);
    ScratchDir dir;
    MakeZip(dir.File("PXUPD.zip"),
            {{"first.dbf", "first"}, {"bad.dbf", Noise(3000, 7)}, {"last.dbf", "last"}}, "tamrok",
            c.method, c.compression);
    // Past the encryption header (12 bytes; AES: salt and verifier), so the password
    // check still passes.
    DamageEntry(dir.File("PXUPD.zip"), "bad.dbf", 200);
    EXPECT_EQ(Unzip("PXUPD.zip", "tamrok"), "[Alert] --- Error:          9\n");
    EXPECT_EQ(FolderNames(dir.path()), (V{"PXUPD.zip", "first.dbf", "last.dbf"}));
  }
}

TEST_F(UnzipFileTest, WrongPasswordPassingAnEntrysCheckIsAWrongPassword) {
  ScratchDir dir;
  MakeZip(dir.File("PXUPD.zip"), {{"updatdef.dbf", Noise(3000, 1)}, {"glass.dbf", Noise(900, 2)}},
          "tamrok", ZIP_EM_TRAD_PKWARE, ZIP_CM_STORE);
  const std::string sly = SlyPassword(dir.File("PXUPD.zip"), true);
  ASSERT_FALSE(sly.empty());
  // It fails on updatdef's data; glass.dbf's check shows the password wrong.
  EXPECT_EQ(Unzip("PXUPD.zip", sly), "[Alert] --- Error:          6\n");
  EXPECT_EQ(FolderNames(dir.path()), V{"PXUPD.zip"});

  // With one encrypted entry, nothing tells such a password from damaged data.
  MakeZip(dir.File("one.zip"), {{"updatdef.dbf", Noise(3000, 1)}}, "tamrok", ZIP_EM_TRAD_PKWARE,
          ZIP_CM_STORE);
  const std::string lone = SlyPassword(dir.File("one.zip"), false);
  ASSERT_FALSE(lone.empty());
  EXPECT_EQ(Unzip("one.zip", lone), "[Alert] --- Error:          9\n");
  EXPECT_EQ(FolderNames(dir.path()), (V{"PXUPD.zip", "one.zip"}));
}

TEST_F(UnzipFileTest, HostileNamesWriteNothingOutsideTheFolder) {
  ScratchDir dir;
  const std::string unique = "pxtest_" + std::to_string(::getpid());
  std::filesystem::create_directories(dir.File("inst/temp"));
  MakeZip(dir.File("inst/temp/evil.zip"), {{"../evil", "1"},
                                           {"/" + unique + "_abs", "2"},
                                           {"C:\\" + unique + "_drive", "3"},
                                           {"./C:\\" + unique + "_dotdrive", "3"},
                                           {"C:" + unique + "_relative", "3"},
                                           {"a/../../b", "4"},
                                           {"..\\..\\winevil", "5"},
                                           {"ok.dbf", "fine"},
                                           {"sub\\win.dbf", "backslashes are folders"},
                                           {"./dot/./x.dbf", "dots dropped"},
                                           {"link", "/etc/passwd", true}});
  std::filesystem::current_path(dir.File("inst/temp"));

  const std::string shown = Unzip("evil.zip", Value());
  EXPECT_NE(shown.find("--- Error:          8"), std::string::npos) << shown;
  EXPECT_EQ(FolderNames(dir.path()), V{"inst"});
  EXPECT_EQ(FolderNames(dir.File("inst")), V{"temp"});
  EXPECT_EQ(FolderNames(dir.File("inst/temp")), (V{"dot", "evil.zip", "ok.dbf", "sub"}));
  EXPECT_EQ(FolderNames(dir.File("inst/temp/dot")), V{"x.dbf"});
  EXPECT_EQ(ReadFileBytes(dir.File("inst/temp/sub/win.dbf")), "backslashes are folders");
  EXPECT_FALSE(std::filesystem::exists("/" + unique + "_abs"));
  EXPECT_FALSE(std::filesystem::exists("/" + unique + "_drive"));
  EXPECT_FALSE(std::filesystem::exists("/" + unique + "_dotdrive"));
}

TEST_F(UnzipFileTest, FoldersInTheArchiveAreCreated) {
  ScratchDir dir;
  MakeZip(dir.File("f.zip"), {{"empty/", ""}, {"a/b/c.dbf", "deep"}, {"a/top.dbf", "top"}});
  std::filesystem::create_directories(dir.File("A"));  // exists in another letter case
  // A password does no harm to entries that are not encrypted.
  EXPECT_EQ(Unzip("f.zip", "tamrok"), "");
  EXPECT_EQ(FolderNames(dir.path()), (V{"A", "empty", "f.zip"}));
  EXPECT_EQ(ReadFileBytes(dir.File("A/b/c.dbf")), "deep");
  EXPECT_EQ(ReadFileBytes(dir.File("A/top.dbf")), "top");

  // A file where the archive wants a folder stops the extraction with a write error.
  WriteFileBytes(dir.File("x"), "a file");
  MakeZip(dir.File("g.zip"), {{"x/y.dbf", "y"}});
  EXPECT_NE(Unzip("g.zip", Value()).find("--- Error:         10"), std::string::npos);
  EXPECT_EQ(ReadFileBytes(dir.File("x")), "a file");
}

// The permission bits of a file (0777 and the set-uid, set-gid and sticky bits).
unsigned ModeOf(const std::string& host_path) {
  struct stat st;
  return ::stat(host_path.c_str(), &st) == 0 ? static_cast<unsigned>(st.st_mode) & 07777 : ~0u;
}

TEST_F(UnzipFileTest, FilesKeepThePermissionBitsTheArchiveRecords) {
  PX_SKIP_WITHOUT_POSIX("Windows files have no permission bits");
  struct Case {
    const char* name;
    std::optional<std::pair<zip_uint8_t, zip_uint32_t>> external;
    unsigned mode;  // expected before the umask takes its bits
  };
  const Case cases[] = {
      {"run.exe", {{ZIP_OPSYS_UNIX, 0100755u << 16}}, 0755},
      {"lib.dll", {{ZIP_OPSYS_UNIX, 0100750u << 16}}, 0750},
      {"suid.exe", {{ZIP_OPSYS_UNIX, 0107777u << 16}}, 0777},  // never set-uid, set-gid, sticky
      {"private.dbf", {{ZIP_OPSYS_UNIX, 0100600u << 16}}, 0600},
      {"bare.dbf", {{ZIP_OPSYS_UNIX, 0000644u << 16}}, 0644},  // no file type recorded
      {"none.dbf", {{ZIP_OPSYS_UNIX, 0}}, 0666},               // no mode recorded: default
      {"dos.dbf", {{ZIP_OPSYS_DOS, 0x20}}, 0666},              // made on DOS: default
  };
  for (const mode_t mask : {mode_t{022}, mode_t{027}}) {
    SCOPED_TRACE("umask " + std::to_string(mask));
    ScratchDir dir;
    std::vector<test::ZipEntrySpec> entries;
    for (const Case& c : cases) entries.push_back({c.name, c.name, false, c.external});
    MakeZip(dir.File("PXUPD.zip"), entries, "tamrok");
    // A file that is replaced takes the entry's bits too.
    WriteFileBytes(dir.File("run.exe"), "old program");
    ::chmod(dir.File("run.exe").c_str(), 0600);
    const mode_t before = ::umask(mask);
    const std::string shown = Unzip("PXUPD.zip", "tamrok");
    ::umask(before);
    EXPECT_EQ(shown, "");
    for (const Case& c : cases) {
      EXPECT_EQ(ReadFileBytes(dir.File(c.name)), c.name);
      EXPECT_EQ(ModeOf(dir.File(c.name)), c.mode & ~static_cast<unsigned>(mask)) << c.name;
    }
  }

  // A file system that keeps no modes refuses them: the files are written all the same.
  class NoModesEnv : public EnvWrapper {
   public:
    NoModesEnv() : EnvWrapper(Env::Default()) {}
    int SetFileMode(std::string_view, uint32_t) override { return kOsAccessDenied; }
  };
  NoModesEnv no_modes;
  ScopedEnv scope(&no_modes);
  ScratchDir dir;
  MakeZip(dir.File("PXUPD.zip"), {{"run.exe", "program", false, cases[0].external}}, "tamrok");
  EXPECT_EQ(Unzip("PXUPD.zip", "tamrok"), "");
  EXPECT_EQ(ReadFileBytes(dir.File("run.exe")), "program");
}

}  // namespace
}  // namespace px
