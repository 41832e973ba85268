// The Win32 Env: the OS's own share modes and mandatory byte-range locks, renames,
// error codes, long paths and drive letters.
#ifdef _WIN32

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "runtime/dos_path.h"
#include "runtime/env.h"
#include "runtime/folders.h"
#include "runtime/value.h"
#include "tests/test_util.h"

// Last: <windows.h> defines macros that clash with names of ours.
#include <windows.h>
#undef CreateFile
#undef DeleteFile
#undef ReplaceFile

namespace px {
namespace {

using test::ScratchDir;

// Wine keeps files on a Unix file system: locks do not keep out reads and writes, a
// rename that changes only letter case leaves the name, and the read-only attribute
// is the Unix mode, which root ignores.
bool UnderWine() {
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

std::unique_ptr<File> Open(const std::string& name, FileAccess access, FileShare share, int* code) {
  return GetEnv()->OpenFile(name, access, share, code);
}

void Make(const std::string& name, const std::string& bytes) {
  ASSERT_TRUE(WriteWholeFile(name, bytes)) << name;
}

std::string Read(const std::string& name) {
  std::string text;
  return ReadWholeFile(name, &text) ? text : "<unreadable>";
}

constexpr FileAccess kR = FileAccess::kRead;
constexpr FileAccess kRW = FileAccess::kReadWrite;
constexpr FileShare kExcl = FileShare::kExclusive;
constexpr FileShare kShared = FileShare::kDenyNone;

TEST(Win32EnvTest, ShareModesBetweenTwoOpens) {
  ScratchDir dir;
  Make("t.dbf", "data");
  struct Case {
    FileAccess first_access;
    FileShare first_share;
    FileAccess second_access;
    FileShare second_share;
    int code;  // of the second open
  } cases[] = {
      {kRW, kShared, kRW, kShared, 0},
      {kR, kShared, kRW, kShared, 0},
      {kRW, kShared, kR, kExcl, kOsSharingViolation},
      {kRW, kExcl, kR, kShared, kOsSharingViolation},
      {kR, kExcl, kR, kExcl, kOsSharingViolation},
  };
  for (const Case& c : cases) {
    int code = -1;
    auto first = Open("t.dbf", c.first_access, c.first_share, &code);
    ASSERT_NE(first, nullptr) << code;
    auto second = Open("T.DBF", c.second_access, c.second_share, &code);
    EXPECT_EQ(code, c.code);
    EXPECT_EQ(second != nullptr, c.code == 0);
  }
  // A held file is neither emptied by a create, nor erased, nor renamed away.
  int code = 0;
  auto held = Open("t.dbf", kRW, kShared, &code);
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(GetEnv()->CreateFile("t.dbf", kExcl, &code), nullptr);
  EXPECT_EQ(code, kOsSharingViolation);
  EXPECT_EQ(GetEnv()->DeleteFile("t.dbf"), kOsSharingViolation);
  EXPECT_EQ(GetEnv()->RenameFile("t.dbf", "u.dbf"), kOsSharingViolation);
  Make("new.dbf", "new");
  EXPECT_EQ(GetEnv()->ReplaceFile("new.dbf", "t.dbf"), kOsSharingViolation);
  EXPECT_EQ(held->Size(), 4);
  held.reset();
  EXPECT_EQ(Read("t.dbf"), "data");
}

TEST(Win32EnvTest, LocksBetweenTwoHandles) {
  ScratchDir dir;
  Make("t.dbf", std::string(100, 'x'));
  struct Case {
    uint64_t offset, length;
    bool first_exclusive, second_exclusive;
    bool granted;  // to the second handle
  } cases[] = {
      {1000000000, 1, true, true, false},          {1000000000, 1, true, false, false},
      {1000000000, 1, false, false, true},         {1000000000, 1, false, true, false},
      {1000000001, 1000000000, true, true, false}, {1, 0x7FFFFFFF, false, false, true},
      {1000000005, 1, true, true, false},
  };
  for (const Case& c : cases) {
    int code = 0;
    auto a = Open("t.dbf", kRW, kShared, &code);
    auto b = Open("t.dbf", kRW, kShared, &code);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    ASSERT_TRUE(a->Lock(c.offset, c.length, c.first_exclusive, false));
    EXPECT_EQ(b->Lock(c.offset, c.length, c.second_exclusive, false), c.granted) << c.offset;
    if (!c.granted) {
      EXPECT_EQ(b->os_error(), kOsLockViolation);
    }
    EXPECT_TRUE(a->Unlock(c.offset, c.length));
    if (!c.granted) {
      EXPECT_TRUE(b->Lock(c.offset, c.length, c.second_exclusive, false));
    }
  }
  // Closing a handle releases its locks.
  int code = 0;
  auto a = Open("t.dbf", kRW, kShared, &code);
  auto b = Open("t.dbf", kRW, kShared, &code);
  ASSERT_TRUE(a->Lock(1000000000, 1, true, false));
  a.reset();
  EXPECT_TRUE(b->Lock(1000000000, 1, true, true));
  // Releasing a range with no lock is no failure, as on POSIX.
  EXPECT_TRUE(b->Unlock(500, 1));
  // Locks are mandatory: bytes another handle locked cannot be read through this one,
  // while the data below the lock offsets stays readable.
  if (UnderWine()) GTEST_SKIP() << "Wine's locks do not keep out reads";
  auto c = Open("t.dbf", kRW, kShared, &code);
  ASSERT_TRUE(c->Lock(10, 10, true, false));
  char buf[100];
  EXPECT_EQ(b->ReadAt(10, buf, 10), -1);
  EXPECT_EQ(b->os_error(), kOsLockViolation);
  EXPECT_EQ(b->ReadAt(0, buf, 10), 10);
  EXPECT_EQ(c->ReadAt(0, buf, 100), 100);
}

TEST(Win32EnvTest, RenameAndReplace) {
  ScratchDir dir;
  Env* env = GetEnv();
  Make("a.txt", "a");
  Make("b.txt", "b");
  EXPECT_EQ(env->RenameFile("a.txt", "b.txt"), kOsFileExists);
  EXPECT_EQ(Read("b.txt"), "b");
  EXPECT_EQ(env->ReplaceFile("a.txt", "b.txt"), 0);
  EXPECT_EQ(Read("b.txt"), "a");
  EXPECT_FALSE(env->FileExists("a.txt"));
  EXPECT_EQ(env->RenameFile("b.txt", "c.txt"), 0);
  EXPECT_EQ(Read("c.txt"), "a");
  // A change of letter case renames the file itself.
  EXPECT_EQ(env->RenameFile("c.txt", "C.TXT"), 0);
  if (UnderWine()) GTEST_SKIP() << "Wine keeps the name on a rename that changes only case";
  std::vector<DirEntry> list;
  ASSERT_EQ(env->ListDir("", &list), 0);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].name, "C.TXT");
}

TEST(Win32EnvTest, ErrorCodes) {
  ScratchDir dir;
  Env* env = GetEnv();
  Make("f.txt", "x");
  ASSERT_EQ(env->MakeDir("sub"), 0);
  Make("sub\\g.txt", "y");
  int code = 0;
  auto open = [&](const char* name) {
    Open(name, kR, kShared, &code);
    return code;
  };
  std::vector<DirEntry> list;
  uint32_t mode = 0;
  struct Case {
    const char* what;
    int got, want;
  } cases[] = {
      {"open missing file", open("nope.txt"), kOsFileNotFound},
      {"open in missing folder", open("nodir\\nope.txt"), kOsPathNotFound},
      {"open a folder", open("sub"), kOsAccessDenied},
      {"delete missing", env->DeleteFile("nope.txt"), kOsFileNotFound},
      {"delete a folder", env->DeleteFile("sub"), kOsAccessDenied},
      {"make existing folder", env->MakeDir("sub"), kOsFileExists},
      {"make in missing folder", env->MakeDir("nodir\\x"), kOsPathNotFound},
      {"remove full folder", env->RemoveDir("sub"), kOsFileExists},
      {"remove missing folder", env->RemoveDir("nodir"), kOsPathNotFound},
      {"change to missing folder", env->ChangeDir("nodir"), kOsPathNotFound},
      {"list missing folder", env->ListDir("nodir", &list), kOsPathNotFound},
      {"list a file", env->ListDir("f.txt", &list), kOsPathNotFound},
      {"rename missing", env->RenameFile("nope.txt", "x.txt"), kOsFileNotFound},
      {"mode of missing", env->GetFileMode("nope.txt", &mode), kOsFileNotFound},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
}

TEST(Win32EnvTest, ReadOnlyAttributeIsTheFileMode) {
  ScratchDir dir;
  Env* env = GetEnv();
  Make("f.txt", "x");
  uint32_t mode = 0;
  ASSERT_EQ(env->SetFileMode("f.txt", 0444), 0);
  ASSERT_EQ(env->GetFileMode("f.txt", &mode), 0);
  EXPECT_EQ(mode, 0444u);
  int code = 0;
  EXPECT_NE(Open("f.txt", kR, kShared, &code), nullptr);
  if (!UnderWine()) {
    EXPECT_EQ(Open("f.txt", kRW, kShared, &code), nullptr);
    EXPECT_EQ(code, kOsAccessDenied);
  }
  ASSERT_EQ(env->SetFileMode("f.txt", 0644), 0);
  ASSERT_EQ(env->GetFileMode("f.txt", &mode), 0);
  EXPECT_EQ(mode, 0666u);
  EXPECT_EQ(env->DeleteFile("f.txt"), 0);
}

TEST(Win32EnvTest, LongPaths) {
  ScratchDir dir;
  Env* env = GetEnv();
  std::string folder = dir.path();
  const std::string part(60, 'd');
  while (folder.size() < 400) {
    folder += "\\" + part;
    ASSERT_EQ(env->MakeDir(folder), 0) << folder.size();
  }
  const std::string file = folder + "\\" + std::string(100, 'f') + ".dbf";
  Make(file, "long");
  EXPECT_EQ(Read(file), "long");
  EXPECT_TRUE(env->FileExists(file));
  std::vector<DirEntry> list;
  ASSERT_EQ(env->ListDir(folder, &list), 0);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].size, 4);
  EXPECT_EQ(env->RenameFile(file, folder + "\\x.dbf"), 0);
  EXPECT_EQ(env->DeleteFile(folder + "\\x.dbf"), 0);
  while (folder.size() > dir.path().size()) {
    EXPECT_EQ(env->RemoveDir(folder), 0);
    folder.resize(folder.rfind('\\'));
  }
}

TEST(Win32EnvTest, DriveLettersAndHostPaths) {
  ScratchDir dir;
  Env* env = GetEnv();
  const std::string cur = env->HostPath(env->CurrentDir());  // in stored letter case
  ASSERT_TRUE(HasDrive(cur)) << cur;
  const std::string drive = std::string(1, cur[0]) + ":";
  ASSERT_EQ(env->MakeDir("Sub"), 0);
  Make("Sub\\Data.DBF", "x");
  struct Case {
    std::string name, host;
  } cases[] = {
      {"x.dbf", cur + "\\x.dbf"},
      {"sub\\data.dbf", cur + "\\Sub\\Data.DBF"},
      {"SUB\\new\\x.dbf", cur + "\\Sub\\new\\x.dbf"},
      {"sub/y.dbf", cur + "\\Sub\\y.dbf"},
      {drive + "x.dbf", cur + "\\x.dbf"},
      {drive + "\\a\\..\\b", drive + "\\b"},
  };
  for (const Case& c : cases) EXPECT_EQ(env->HostPath(c.name), c.host) << c.name;
  std::string unc;
  ASSERT_TRUE(DosToHost("//server/share/a/../t.dbf", &unc));
  EXPECT_EQ(unc, "\\\\server\\share\\t.dbf");
  EXPECT_EQ(HostToDos("\\\\?\\C:\\px\\a.dbf"), "C:\\px\\a.dbf");
  EXPECT_EQ(HostToDos("\\\\?\\UNC\\srv\\s\\a.dbf"), "\\\\srv\\s\\a.dbf");
  EXPECT_TRUE(IsAbsoluteHostPath("c:\\x"));
  EXPECT_TRUE(IsAbsoluteHostPath("\\\\srv\\s"));
  EXPECT_FALSE(IsAbsoluteHostPath("c:x"));
  EXPECT_FALSE(IsAbsoluteHostPath("x\\y"));
  std::string rest;
  EXPECT_EQ(GetDriveMap().DriveOf("\\\\srv\\s\\x", &rest), '\0');
  EXPECT_EQ(GetDriveMap().DriveOf("c:\\px\\temp", &rest), 'C');
  EXPECT_EQ(rest, "px\\temp");

  // A letter that Set() gives a folder (as tests do for an update source).
  GetDriveMap().Set('Q', cur + "\\Sub\\");
  EXPECT_EQ(env->HostPath("q:\\data.dbf"), cur + "\\Sub\\Data.DBF");
  EXPECT_EQ(HostToDos(cur + "\\sub\\x"), "Q:\\x");
  GetDriveMap().Remove('Q');
  EXPECT_EQ(HostToDos(cur + "\\Sub\\x"), cur + "\\Sub\\x");

  // The current drive and folder come from Windows; a missing drive cannot be made
  // current.
  const std::string current = env->CurrentDir();
  EXPECT_EQ(CURDRIVE(), std::string(1, cur[0]));
  EXPECT_EQ(GETCURDIR(), current.substr(3));
  char missing = '\0';
  for (char d = 'Z'; d >= 'D' && missing == '\0'; --d) {
    if (!GetDriveMap().Root(d)) missing = d;
  }
  if (missing != '\0') {
    EXPECT_FALSE(SETCURDRIVE(Value::String(std::string(1, missing) + ":")));
    EXPECT_EQ(env->CurrentDir(), current);
  }
  // Each drive keeps its current folder: a drive-relative name starts there, and
  // making the drive current again returns to it.
  for (char d = 'Z'; d >= 'C'; --d) {
    const std::string other = std::string(1, d) + ":\\";
    if (d == cur[0] || !GetDriveMap().Root(d) || DIRCHANGE(Value::String(other)) != 0) continue;
    EXPECT_EQ(CURDRIVE(), std::string(1, d));
    EXPECT_EQ(env->HostPath(drive + "x.dbf"), cur + "\\x.dbf");
    break;
  }
  EXPECT_TRUE(SETCURDRIVE(Value::String(drive)));
  EXPECT_EQ(env->CurrentDir(), current);
}

TEST(Win32EnvTest, ClockAndFileTimes) {
  ScratchDir dir;
  Env* env = GetEnv();
  const int64_t start = env->NowMicros();
  env->SleepMicros(20000);
  EXPECT_GE(env->NowMicros() - start, 20000);
  Make("f.txt", "x");
  std::vector<DirEntry> list;
  ASSERT_EQ(env->ListDir("", &list), 0);
  ASSERT_EQ(list.size(), 1u);
  const LocalTime file = env->LocalTimeOf(list[0].mtime);
  const LocalTime now = env->Now();
  const int file_minute = file.hour * 60 + file.minute;
  const int now_minute = now.hour * 60 + now.minute;
  EXPECT_EQ(file.year, now.year);
  EXPECT_LE(std::abs(now_minute - file_minute) % (24 * 60 - 2), 2);
}

}  // namespace
}  // namespace px

#endif  // _WIN32
