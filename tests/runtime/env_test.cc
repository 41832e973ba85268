#include <gtest/gtest.h>

#include <cstdlib>

#include "runtime/dos_path.h"
#include "runtime/env.h"
#include "tests/forked_process.h"
#include "tests/test_util.h"

namespace px {
namespace {

using test::ScratchDir;

std::unique_ptr<File> Create(const std::string& name, FileShare share = FileShare::kExclusive) {
  int code = -1;
  std::unique_ptr<File> f = GetEnv()->CreateFile(name, share, &code);
  EXPECT_NE(f, nullptr) << name << " code " << code;
  return f;
}

TEST(EnvFileTest, CreateWriteReadTruncate) {
  ScratchDir dir;
  auto f = Create("Data.DBF");
  ASSERT_EQ(f->WriteAt(0, "hello world", 11), 11);
  char buf[32];
  EXPECT_EQ(f->ReadAt(6, buf, 32), 5);
  EXPECT_EQ(std::string(buf, 5), "world");
  EXPECT_TRUE(f->Truncate(5));
  EXPECT_EQ(f->Size(), 5);
  EXPECT_EQ(f->ReadAt(10, buf, 4), 0);
  EXPECT_TRUE(f->Sync());
}

TEST(EnvFileTest, ReadAccessRefusesWrites) {
  ScratchDir dir;
  Create("a.dbf").reset();
  int code = 0;
  auto f = GetEnv()->OpenFile("a.dbf", FileAccess::kRead, FileShare::kDenyNone, &code);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->WriteAt(0, "x", 1), -1);
  EXPECT_EQ(f->os_error(), kOsAccessDenied);
  EXPECT_FALSE(f->Truncate(0));
}

TEST(EnvFileTest, MissingFilesAndFolders) {
  ScratchDir dir;
  int code = 0;
  EXPECT_EQ(GetEnv()->OpenFile("nope.dbf", FileAccess::kRead, FileShare::kDenyNone, &code),
            nullptr);
  EXPECT_EQ(code, kOsFileNotFound);
  EXPECT_EQ(GetEnv()->OpenFile("nodir\\nope.dbf", FileAccess::kRead, FileShare::kDenyNone, &code),
            nullptr);
  EXPECT_EQ(code, kOsPathNotFound);
  EXPECT_EQ(GetEnv()->CreateFile("nodir\\x.dbf", FileShare::kExclusive, &code), nullptr);
  EXPECT_EQ(code, kOsPathNotFound);
  EXPECT_EQ(GetEnv()->DeleteFile("nope.dbf"), kOsFileNotFound);
  EXPECT_NE(GetEnv()->ChangeDir("nodir"), 0);
}

TEST(EnvShareTest, ExclusiveAndSharedOpens) {
  ScratchDir dir;
  Create("t.dbf").reset();
  Env* env = GetEnv();
  int code = 0;
  auto shared1 = env->OpenFile("t.dbf", FileAccess::kReadWrite, FileShare::kDenyNone, &code);
  auto shared2 = env->OpenFile("T.DBF", FileAccess::kReadWrite, FileShare::kDenyNone, &code);
  ASSERT_NE(shared1, nullptr);
  ASSERT_NE(shared2, nullptr);
  EXPECT_EQ(env->OpenFile("t.dbf", FileAccess::kReadWrite, FileShare::kExclusive, &code), nullptr);
  EXPECT_EQ(code, kOsSharingViolation);
  // Creating over a file held by others fails without truncating it.
  shared1->WriteAt(0, "keep", 4);
  EXPECT_EQ(env->CreateFile("t.dbf", FileShare::kExclusive, &code), nullptr);
  EXPECT_EQ(code, kOsSharingViolation);
  EXPECT_EQ(shared2->Size(), 4);
  // Erase and rename refuse a file that an open holds.
  EXPECT_EQ(env->DeleteFile("t.dbf"), kOsSharingViolation);
  EXPECT_EQ(env->RenameFile("t.dbf", "u.dbf"), kOsSharingViolation);
  shared1.reset();
  shared2.reset();
  auto exclusive = env->OpenFile("t.dbf", FileAccess::kRead, FileShare::kExclusive, &code);
  ASSERT_NE(exclusive, nullptr);
  EXPECT_EQ(env->OpenFile("t.dbf", FileAccess::kRead, FileShare::kDenyNone, &code), nullptr);
  EXPECT_EQ(code, kOsSharingViolation);
  exclusive.reset();
  EXPECT_EQ(env->DeleteFile("t.dbf"), 0);
}

TEST(EnvShareTest, ByteRangeLocksConflictBetweenOpensAndProcesses) {
  ScratchDir dir;
  Create("t.dbf", FileShare::kDenyNone).reset();
  int code = 0;
  auto a = GetEnv()->OpenFile("t.dbf", FileAccess::kReadWrite, FileShare::kDenyNone, &code);
  auto b = GetEnv()->OpenFile("t.dbf", FileAccess::kReadWrite, FileShare::kDenyNone, &code);
  ASSERT_TRUE(a && b);
  EXPECT_TRUE(a->Lock(1000000005, 1, true, false));
  EXPECT_FALSE(b->Lock(1000000005, 1, true, false));
  EXPECT_EQ(b->os_error(), kOsLockViolation);
  EXPECT_FALSE(b->Lock(1000000001, 1000000000, true, false));  // file lock over it
  EXPECT_TRUE(b->Lock(1000000006, 1, true, false));
  // Read locks share; a write lock waits for them in another process.
  EXPECT_TRUE(a->Lock(3000000000, 100, false, true));
  EXPECT_TRUE(b->Lock(3000000000, 100, false, true));
  test::ForkedProcess other([](test::Channel&) {
    int c = 0;
    auto f = GetEnv()->OpenFile("t.dbf", FileAccess::kReadWrite, FileShare::kDenyNone, &c);
    const bool refused = f && !f->Lock(1000000005, 1, true, false) &&
                         f->Lock(1000000007, 1, true, false) &&
                         !f->Lock(3000000050, 10, true, false);
    return refused ? 0 : 1;
  });
  EXPECT_EQ(other.Join(), 0);
  // Closing releases the locks.
  a.reset();
  EXPECT_TRUE(b->Lock(1000000005, 1, true, false));
}

TEST(EnvPathTest, CaseInsensitiveLookupPrefersExactThenSmallest) {
  PX_SKIP_WITHOUT_POSIX("names that differ only in letter case (Windows ignores case itself)");
  ScratchDir dir;
  GetEnv()->MakeDir("Data");
  Create("Data\\Customer.DBF").reset();
  EXPECT_TRUE(GetEnv()->FileExists("DATA\\customer.dbf"));
  EXPECT_TRUE(GetEnv()->FileExists("data/CUSTOMER.DBF"));
  EXPECT_TRUE(GetEnv()->DirExists("dAtA"));
  EXPECT_FALSE(GetEnv()->FileExists("data"));
  // Creating a name that matches an existing file replaces that file.
  Create("DATA\\CUSTOMER.DBF")->WriteAt(0, "x", 1);
  EXPECT_EQ(test::FileSize(dir.File("Data/Customer.DBF")), 1);
  // Two names that match case-insensitively: the byte-wise smallest is chosen.
  test::WriteFileBytes(dir.File("Data/CUSTOMER.dbf"), "");
  EXPECT_EQ(GetEnv()->HostPath("data\\customer.dbf"), "Data/CUSTOMER.dbf");
  // An exact match wins.
  EXPECT_EQ(GetEnv()->HostPath("Data\\Customer.DBF"), "Data/Customer.DBF");
  EXPECT_EQ(GetEnv()->HostPath(dir.path() + "/data/customer.DBF"),
            dir.path() + "/Data/CUSTOMER.dbf");
  // New files keep the name as given.
  Create("data\\New.dbf").reset();
  EXPECT_TRUE(test::FileSize(dir.path() + "/Data/New.dbf") == 0);
}

TEST(EnvPathTest, RenameAndReplace) {
  ScratchDir dir;
  Create("a.dbf")->WriteAt(0, "A", 1);
  Create("b.dbf")->WriteAt(0, "B", 1);
  EXPECT_EQ(GetEnv()->RenameFile("a.dbf", "B.DBF"), kOsFileExists);
  EXPECT_EQ(GetEnv()->RenameFile("a.dbf", "c.dbf"), 0);
  EXPECT_EQ(GetEnv()->ReplaceFile("c.dbf", "B.DBF"), 0);
  EXPECT_EQ(test::ReadFileBytes(dir.File("b.dbf")), "A");
  EXPECT_FALSE(GetEnv()->FileExists("c.dbf"));
}

TEST(DosPathTest, DriveMapAndConversion) {
  PX_SKIP_WITHOUT_POSIX("the drive map of POSIX paths (Windows has its own drives)");
  DriveMap map;
  map.Set('c', "/");
  map.Set('D', "/media/usb/");
  EXPECT_EQ(map.Root('d').value(), "/media/usb");
  EXPECT_FALSE(map.Root('E').has_value());
  std::string rest;
  EXPECT_EQ(map.DriveOf("/media/usb/updates/x", &rest), 'D');
  EXPECT_EQ(rest, "updates/x");
  EXPECT_EQ(map.DriveOf("/media/usbx", &rest), 'C');
  EXPECT_EQ(rest, "media/usbx");

  std::string host;
  ASSERT_TRUE(DosToHost("C:\\PX\\temp\\updatdef.dbf", &host));
  EXPECT_EQ(host, "/PX/temp/updatdef.dbf");
  ASSERT_TRUE(DosToHost("backup\\PXB1", &host));
  EXPECT_EQ(host, "backup/PXB1");
  ASSERT_TRUE(DosToHost("/srv/px/a.dbf", &host));
  EXPECT_EQ(host, "/srv/px/a.dbf");
  EXPECT_FALSE(DosToHost("Q:\\x", &host));
  EXPECT_EQ(HostToDos("/PX/temp"), "C:\\PX\\temp");

  std::string folder, file, base, ext;
  SplitPath("C:\\PX\\zztemp.dbf", &folder, &file);
  EXPECT_EQ(folder, "C:\\PX\\");
  EXPECT_EQ(file, "zztemp.dbf");
  SplitPath("D:x", &folder, &file);
  EXPECT_EQ(folder, "D:");
  SplitExtension("indexdef.ntx", &base, &ext);
  EXPECT_EQ(base, "indexdef");
  EXPECT_EQ(ext, ".ntx");
  SplitExtension("zztemp", &base, &ext);
  EXPECT_EQ(ext, "");
}

TEST(DosPathTest, DrivesFromEnvironment) {
  PX_SKIP_WITHOUT_POSIX("the drive map of POSIX paths (Windows has its own drives)");
  test::SetEnvVar("PX_DRIVES", "D=/media/usb;E:=/srv/updates;bad;C=/opt/px");
  DriveMap map = DriveMap::FromEnvironment();
  test::UnsetEnvVar("PX_DRIVES");
  EXPECT_EQ(map.Root('D').value(), "/media/usb");
  EXPECT_EQ(map.Root('e').value(), "/srv/updates");
  EXPECT_EQ(map.Root('C').value(), "/opt/px");
}

TEST(EnvClockTest, FakeClockAdvancesOnSleep) {
  FakeClockEnv fake(Env::Default());
  ScopedEnv scope(&fake);
  const int64_t start = GetEnv()->NowMicros();
  SleepSeconds(20.0);
  EXPECT_EQ(GetEnv()->NowMicros() - start, 20000000);
  EXPECT_EQ(fake.sleeps(), 1);
  EXPECT_GT(Today(), 2451545);
}

}  // namespace
}  // namespace px
