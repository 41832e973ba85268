// The Win32 Env: files with the OS's own share modes and byte-range locks, folders and
// the clock. Names are converted to full Windows paths (dos_path.h) and to UTF-16 at
// each call; letter case is the file system's business.
#include <algorithm>
#include <string>
#include <vector>

#include "runtime/dos_path.h"
#include "runtime/env.h"
#include "runtime/win32_text.h"

// Last: <windows.h> defines macros that clash with names of ours.
#include <windows.h>
#undef CreateFile
#undef DeleteFile
#undef ReplaceFile

namespace px {

int OsCodeFromWin32(unsigned long err) {
  switch (err) {
    case ERROR_SUCCESS:
      return kOsOk;
    // Win32 names these apart where DOS has one code.
    case ERROR_ALREADY_EXISTS:
      return kOsFileExists;
    case ERROR_HANDLE_DISK_FULL:
      return kOsDiskFull;
    case ERROR_OUTOFMEMORY:
      return kOsNotEnoughMemory;
    case ERROR_DIRECTORY:  // a file where a folder was expected
    case ERROR_INVALID_NAME:
    case ERROR_FILENAME_EXCED_RANGE:
      return kOsPathNotFound;
    // A folder that still holds entries: the code the POSIX Env gives for it too.
    case ERROR_DIR_NOT_EMPTY:
      return kOsFileExists;
    default:
      return static_cast<int>(err);
  }
}

namespace {

// 100-nanosecond ticks from 1601-01-01 (FILETIME) to 1970-01-01.
constexpr int64_t kEpochTicks = 116444736000000000LL;

int LastCode() {
  return OsCodeFromWin32(GetLastError());
}

// A folder that is not there is a path not found (3), as DOS reports it for RMDIR and
// CHDIR; Windows says 2 when only the last component is missing.
int LastFolderCode() {
  const int code = LastCode();
  return code == kOsFileNotFound ? kOsPathNotFound : code;
}

void SetOffset(OVERLAPPED* ov, uint64_t offset) {
  ov->Offset = static_cast<DWORD>(offset & 0xFFFFFFFFULL);
  ov->OffsetHigh = static_cast<DWORD>(offset >> 32);
}

int64_t EpochSeconds(const FILETIME& ft) {
  const int64_t ticks =
      static_cast<int64_t>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
  return (ticks - kEpochTicks) / 10000000;
}

LocalTime FromSystemTime(const SYSTEMTIME& st) {
  LocalTime t;
  t.year = st.wYear;
  t.month = st.wMonth;
  t.day = st.wDay;
  t.hour = st.wHour;
  t.minute = st.wMinute;
  t.second = st.wSecond;
  t.millisecond = st.wMilliseconds;
  return t;
}

// The attributes of a path; INVALID_FILE_ATTRIBUTES with the code in *code when it
// cannot be found.
DWORD Attributes(const std::string& path, int* code = nullptr) {
  const DWORD attrs = GetFileAttributesW(Win32PathOf(path).c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES && code != nullptr) *code = LastCode();
  return attrs;
}

class Win32File : public File {
 public:
  Win32File(HANDLE handle, std::string path, bool writable)
      : handle_(handle), path_(std::move(path)), writable_(writable) {}
  ~Win32File() override { CloseHandle(handle_); }

  int64_t ReadAt(uint64_t offset, void* buf, size_t n) override {
    size_t done = 0;
    while (done < n) {
      const DWORD piece = static_cast<DWORD>(std::min<size_t>(n - done, 1U << 30));
      OVERLAPPED ov = {};
      SetOffset(&ov, offset + done);
      DWORD got = 0;
      if (!ReadFile(handle_, static_cast<char*>(buf) + done, piece, &got, &ov)) {
        const DWORD err = GetLastError();
        if (err == ERROR_HANDLE_EOF) break;
        err_ = OsCodeFromWin32(err);
        return done > 0 ? static_cast<int64_t>(done) : -1;
      }
      if (got == 0) break;
      done += got;
    }
    return static_cast<int64_t>(done);
  }

  int64_t WriteAt(uint64_t offset, const void* buf, size_t n) override {
    if (!writable_) {
      err_ = kOsAccessDenied;
      return -1;
    }
    size_t done = 0;
    while (done < n) {
      const DWORD piece = static_cast<DWORD>(std::min<size_t>(n - done, 1U << 30));
      OVERLAPPED ov = {};
      SetOffset(&ov, offset + done);
      DWORD put = 0;
      const bool ok = WriteFile(handle_, static_cast<const char*>(buf) + done, piece, &put, &ov);
      if (!ok || put == 0) {
        err_ = ok ? kOsDiskFull : LastCode();
        return done > 0 ? static_cast<int64_t>(done) : -1;
      }
      done += put;
    }
    return static_cast<int64_t>(done);
  }

  int64_t Size() override {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle_, &size)) {
      err_ = LastCode();
      return -1;
    }
    return size.QuadPart;
  }

  bool Truncate(uint64_t size) override {
    if (!writable_) {
      err_ = kOsAccessDenied;
      return false;
    }
    FILE_END_OF_FILE_INFO info;
    info.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFileInformationByHandle(handle_, FileEndOfFileInfo, &info, sizeof(info))) {
      err_ = LastCode();
      return false;
    }
    return true;
  }

  bool Sync() override {
    // A handle opened for reading only has nothing to write back.
    if (!writable_) return true;
    if (!FlushFileBuffers(handle_)) {
      err_ = LastCode();
      return false;
    }
    return true;
  }

  // Windows locks are mandatory: a range locked through one handle cannot be read or
  // written through another. The engine's locks lie beyond the data it reads, except
  // the memo lock, under which the memo is read and written through this same handle.
  bool Lock(uint64_t offset, uint64_t length, bool exclusive, bool wait) override {
    OVERLAPPED ov = {};
    SetOffset(&ov, offset);
    DWORD flags = 0;
    if (exclusive) flags |= LOCKFILE_EXCLUSIVE_LOCK;
    if (!wait) flags |= LOCKFILE_FAIL_IMMEDIATELY;
    if (!LockFileEx(handle_, flags, 0, static_cast<DWORD>(length & 0xFFFFFFFFULL),
                    static_cast<DWORD>(length >> 32), &ov)) {
      const DWORD err = GetLastError();
      err_ = err == ERROR_IO_PENDING ? kOsLockViolation : OsCodeFromWin32(err);
      return false;
    }
    return true;
  }

  bool Unlock(uint64_t offset, uint64_t length) override {
    OVERLAPPED ov = {};
    SetOffset(&ov, offset);
    if (!UnlockFileEx(handle_, 0, static_cast<DWORD>(length & 0xFFFFFFFFULL),
                      static_cast<DWORD>(length >> 32), &ov)) {
      const DWORD err = GetLastError();
      // As on POSIX, releasing a range this open holds no lock on is no failure (Wine
      // reports that case as a lock violation).
      if (err == ERROR_NOT_LOCKED || err == ERROR_LOCK_VIOLATION) return true;
      err_ = OsCodeFromWin32(err);
      return false;
    }
    return true;
  }

  int os_error() const override { return err_; }
  const std::string& host_path() const override { return path_; }

 private:
  HANDLE handle_;
  std::string path_;
  bool writable_;
  int err_ = 0;
};

// The path with each existing component in the letter case it is stored in (the one
// Windows finds for it), the components after the first missing one as given. Only
// HostPath() does this: the calls themselves leave letter case to the file system.
std::string StoredCase(const std::string& path) {
  size_t start = 0;
  if (path.size() >= 3 && HasDrive(path) && path[2] == '\\') {
    start = 3;
  } else if (path.size() > 2 && path[0] == '\\' && path[1] == '\\') {
    // "\\server\share\": the share is no entry that can be looked up.
    const size_t server_end = path.find('\\', 2);
    if (server_end == std::string::npos) return path;
    const size_t share_end = path.find('\\', server_end + 1);
    if (share_end == std::string::npos) return path;
    start = share_end + 1;
  } else {
    return path;
  }
  std::string out = path.substr(0, start);
  size_t pos = start;
  while (pos < path.size()) {
    size_t end = path.find('\\', pos);
    if (end == std::string::npos) end = path.size();
    std::string part = path.substr(pos, end - pos);
    if (!part.empty() && part.find_first_of("*?") == std::string::npos) {
      WIN32_FIND_DATAW data;
      const HANDLE find = FindFirstFileW(Win32PathOf(out + part).c_str(), &data);
      if (find == INVALID_HANDLE_VALUE) return out + path.substr(pos);
      FindClose(find);
      part = AnsiFromWide(data.cFileName);
    }
    out += part;
    if (end < path.size()) out += '\\';
    pos = end + 1;
  }
  return out;
}

// Whether an open that does not share deleting holds the file: Windows refuses to
// replace such a file with 5 (access denied), which says no more than a read-only file
// does; the caller is told 32 (sharing violation) then, as for an erase or a rename.
bool HeldByAnotherOpen(const std::wstring& path) {
  const HANDLE h =
      CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    CloseHandle(h);
    return false;
  }
  return GetLastError() == ERROR_SHARING_VIOLATION;
}

DWORD ShareModeOf(FileShare share) {
  // No FILE_SHARE_DELETE: while the file is open, nobody may delete or rename it.
  return share == FileShare::kExclusive ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE;
}

class Win32Env : public Env {
 public:
  std::unique_ptr<File> OpenFile(std::string_view name, FileAccess access, FileShare share,
                                 int* os_code) override {
    std::string path;
    if (!DosToHost(name, &path)) return Fail(os_code, kOsPathNotFound);
    const bool write = access == FileAccess::kReadWrite;
    const HANDLE h =
        CreateFileW(Win32PathOf(path).c_str(), write ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ,
                    ShareModeOf(share), nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return Fail(os_code, LastCode());
    if (GetFileType(h) != FILE_TYPE_DISK) {
      CloseHandle(h);
      return Fail(os_code, kOsAccessDenied);
    }
    if (os_code != nullptr) *os_code = 0;
    return std::make_unique<Win32File>(h, path, write);
  }

  std::unique_ptr<File> CreateFile(std::string_view name, FileShare share, int* os_code) override {
    std::string path;
    if (!DosToHost(name, &path)) return Fail(os_code, kOsPathNotFound);
    // OPEN_ALWAYS and an explicit truncation rather than CREATE_ALWAYS, which refuses a
    // file with the hidden or system attribute. The share mode is checked at the open,
    // so a file that another open holds is never emptied.
    const HANDLE h =
        CreateFileW(Win32PathOf(path).c_str(), GENERIC_READ | GENERIC_WRITE, ShareModeOf(share),
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return Fail(os_code, LastCode());
    auto file = std::make_unique<Win32File>(h, path, true);
    if (!file->Truncate(0)) return Fail(os_code, file->os_error());
    if (os_code != nullptr) *os_code = 0;
    return file;
  }

  bool FileExists(std::string_view name) override {
    std::string path;
    if (!DosToHost(name, &path)) return false;
    const DWORD attrs = Attributes(path);
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY) == 0;
  }

  bool DirExists(std::string_view name) override {
    std::string path;
    if (!DosToHost(name, &path)) return false;
    const DWORD attrs = Attributes(path);
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }

  int DeleteFile(std::string_view name) override {
    std::string path;
    if (!DosToHost(name, &path)) return kOsPathNotFound;
    return DeleteFileW(Win32PathOf(path).c_str()) ? 0 : LastCode();
  }

  int RenameFile(std::string_view from, std::string_view to) override {
    std::string src, dst;
    if (!DosToHost(from, &src) || !DosToHost(to, &dst)) return kOsPathNotFound;
    // Without MOVEFILE_REPLACE_EXISTING an existing `to` fails the call (80); a change
    // of letter case only renames the file itself.
    if (MoveFileExW(Win32PathOf(src).c_str(), Win32PathOf(dst).c_str(), 0)) return 0;
    return LastCode();
  }

  int ReplaceFile(std::string_view from, std::string_view to) override {
    std::string src, dst;
    if (!DosToHost(from, &src) || !DosToHost(to, &dst)) return kOsPathNotFound;
    const std::wstring wide_dst = Win32PathOf(dst);
    if (MoveFileExW(Win32PathOf(src).c_str(), wide_dst.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return 0;
    }
    const int code = LastCode();
    return code == kOsAccessDenied && HeldByAnotherOpen(wide_dst) ? kOsSharingViolation : code;
  }

  // Windows knows one permission of its own, the read-only attribute: a read-only file
  // shows as 0444 (0555 for a folder), a writable one as 0666 (0777).
  int GetFileMode(std::string_view name, uint32_t* mode) override {
    std::string path;
    if (!DosToHost(name, &path)) return kOsPathNotFound;
    int code = 0;
    const DWORD attrs = Attributes(path, &code);
    if (attrs == INVALID_FILE_ATTRIBUTES) return code;
    *mode = (attrs & FILE_ATTRIBUTE_READONLY) != 0 ? 0444 : 0666;
    if ((attrs & FILE_ATTRIBUTE_DIRECTORY) != 0) *mode |= 0111;
    return 0;
  }

  // Sets the read-only attribute when the mode lets the owner not write.
  int SetFileMode(std::string_view name, uint32_t mode) override {
    std::string path;
    if (!DosToHost(name, &path)) return kOsPathNotFound;
    int code = 0;
    const DWORD attrs = Attributes(path, &code);
    if (attrs == INVALID_FILE_ATTRIBUTES) return code;
    DWORD next = (mode & 0200) != 0 ? attrs & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY)
                                    : attrs | FILE_ATTRIBUTE_READONLY;
    if (next == attrs) return 0;
    // FILE_ATTRIBUTE_NORMAL stands alone: it is what is left when nothing else is set.
    next &= ~static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL);
    if (next == 0) next = FILE_ATTRIBUTE_NORMAL;
    return SetFileAttributesW(Win32PathOf(path).c_str(), next) ? 0 : LastCode();
  }

  int MakeDir(std::string_view name) override {
    std::string path;
    if (!DosToHost(name, &path)) return kOsPathNotFound;
    return CreateDirectoryW(Win32PathOf(path).c_str(), nullptr) ? 0 : LastCode();
  }

  int RemoveDir(std::string_view name) override {
    std::string path;
    if (!DosToHost(name, &path)) return kOsPathNotFound;
    return RemoveDirectoryW(Win32PathOf(path).c_str()) ? 0 : LastFolderCode();
  }

  int ChangeDir(std::string_view name) override {
    std::string path;
    if (!DosToHost(name, &path) || path.empty()) return kOsPathNotFound;
    // The current folder takes no "\\?\" prefix: Windows keeps it below MAX_PATH.
    const std::wstring wide = WideFromAnsi(path);
    return SetCurrentDirectoryW(wide.c_str()) ? 0 : LastFolderCode();
  }

  std::string CurrentDir() override {
    const DWORD need = GetCurrentDirectoryW(0, nullptr);
    if (need == 0) return "C:\\";
    std::wstring buf(need, L'\0');
    const DWORD got = GetCurrentDirectoryW(need, buf.data());
    if (got == 0 || got >= need) return "C:\\";
    buf.resize(got);
    return HostToDos(AnsiFromWide(buf));
  }

  // The hidden attribute marks hidden entries, as DOS listings show them.
  int ListDir(std::string_view folder, std::vector<DirEntry>* out) override {
    out->clear();
    std::string path;
    if (!DosToHost(folder.empty() ? std::string_view(".") : folder, &path)) {
      return kOsPathNotFound;
    }
    if (path.back() != '\\') path += '\\';
    path += '*';
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileW(Win32PathOf(path).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
      const DWORD err = GetLastError();
      // A folder without entries (a drive's root has no "." and ".." to find).
      return err == ERROR_FILE_NOT_FOUND || err == ERROR_NO_MORE_FILES ? 0 : OsCodeFromWin32(err);
    }
    do {
      const std::wstring_view wide(data.cFileName);
      if (wide == L"." || wide == L"..") continue;
      DirEntry e;
      e.name = AnsiFromWide(wide);
      e.size = static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) |
                                    data.nFileSizeLow);
      e.mtime = EpochSeconds(data.ftLastWriteTime);
      e.is_dir = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      e.hidden = (data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0;
      out->push_back(std::move(e));
    } while (FindNextFileW(find, &data));
    const DWORD err = GetLastError();
    FindClose(find);
    return err == ERROR_NO_MORE_FILES ? 0 : OsCodeFromWin32(err);
  }

  std::string HostPath(std::string_view name) override {
    std::string path;
    return DosToHost(name, &path) ? StoredCase(path) : std::string();
  }

  int64_t NowMicros() override {
    static const int64_t frequency = [] {
      LARGE_INTEGER f;
      QueryPerformanceFrequency(&f);
      return static_cast<int64_t>(f.QuadPart);
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const int64_t ticks = now.QuadPart;
    return ticks / frequency * 1000000 + ticks % frequency * 1000000 / frequency;
  }

  void SleepMicros(int64_t micros) override {
    if (micros <= 0) return;
    // Sleep counts milliseconds; a pause is never cut shorter than asked.
    int64_t millis = (micros + 999) / 1000;
    while (millis > 0) {
      const DWORD piece = static_cast<DWORD>(std::min<int64_t>(millis, 0x7FFFFFFF));
      Sleep(piece);
      millis -= piece;
    }
  }

  LocalTime Now() override {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return FromSystemTime(st);
  }

 private:
  static std::unique_ptr<File> Fail(int* os_code, int code) {
    if (os_code != nullptr) *os_code = code;
    return nullptr;
  }
};

}  // namespace

// The time zone's rule for that date (summer time or not), not today's offset.
LocalTime Env::LocalTimeOf(int64_t epoch_seconds) {
  // FILETIME counts from 1601; beyond about 29000 years the count would not fit.
  constexpr int64_t kLimit = 900000000000LL;
  if (epoch_seconds < -kEpochTicks / 10000000 || epoch_seconds > kLimit) return LocalTime();
  const uint64_t ticks = static_cast<uint64_t>(epoch_seconds * 10000000 + kEpochTicks);
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFFULL);
  ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  SYSTEMTIME utc, local;
  if (!FileTimeToSystemTime(&ft, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
    return LocalTime();
  }
  LocalTime t = FromSystemTime(local);
  t.millisecond = 0;
  return t;
}

Env* Env::Default() {
  static Env* env = new Win32Env();
  return env;
}

}  // namespace px
