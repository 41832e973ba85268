// The POSIX Env: files with open-file-description locks, share-mode emulation,
// case-insensitive look-up of existing names, folders and the clock.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "runtime/dos_path.h"
#include "runtime/env.h"

namespace px {

int OsCodeFromErrno(int err) {
  switch (err) {
    case 0:
      return kOsOk;
    case ENOENT:
      return kOsFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
      return kOsPathNotFound;
    case EMFILE:
    case ENFILE:
      return kOsTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
      return kOsAccessDenied;
    case EBADF:
      return kOsInvalidHandle;
    case ENOMEM:
      return kOsNotEnoughMemory;
    case EAGAIN:
      return kOsLockViolation;
    case EEXIST:
    case ENOTEMPTY:
      return kOsFileExists;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return kOsDiskFull;
    default:
      return kOsUnknown;
  }
}

namespace {

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

bool PathExists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// Finds each component of a host path: the exact name when it exists, else the
// byte-wise smallest name of the folder that matches without regard to letter case.
// Components after the first one that cannot be found are kept as given.
std::string ResolveCase(const std::string& path) {
  if (path.empty() || PathExists(path)) return path;
  std::string out;
  size_t pos = 0;
  if (path[0] == '/') {
    out = "/";
    pos = 1;
  }
  bool searching = true;
  while (pos <= path.size()) {
    size_t end = path.find('/', pos);
    if (end == std::string::npos) end = path.size();
    const std::string comp = path.substr(pos, end - pos);
    pos = end + 1;
    if (comp.empty()) continue;
    std::string next = out;
    if (!next.empty() && next.back() != '/') next += '/';
    if (searching && comp != "." && comp != ".." && !PathExists(next + comp)) {
      const std::string folder = out.empty() ? std::string(".") : out;
      std::string best;
      if (DIR* dir = opendir(folder.c_str())) {
        while (struct dirent* ent = readdir(dir)) {
          const std::string_view name(ent->d_name);
          if (EqualNoCase(name, comp) && (best.empty() || name < best)) best = name;
        }
        closedir(dir);
      }
      if (best.empty()) {
        searching = false;
        next += comp;
      } else {
        next += best;
      }
    } else {
      next += comp;
    }
    out = next;
  }
  return out;
}

bool ToHost(std::string_view name, std::string* host) {
  std::string raw;
  if (!DosToHost(name, &raw)) return false;
  *host = ResolveCase(raw);
  return true;
}

// Whether another open holds the share byte of the file at path (any lock conflicts
// with the write lock we ask about).
bool HeldByAnotherOpen(const std::string& path) {
  int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct flock fl = {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(kShareLockOffset);
  fl.l_len = 1;
  const bool held = fcntl(fd, F_OFD_GETLK, &fl) == 0 && fl.l_type != F_UNLCK;
  close(fd);
  return held;
}

// The process's file-creation mask. Linux shows it in /proc/self/status; elsewhere it
// is read by setting it and putting it straight back.
mode_t FileCreationMask() {
  if (FILE* f = std::fopen("/proc/self/status", "re")) {
    char line[256];
    unsigned mask = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof(line), f) != nullptr) {
      found = std::sscanf(line, "Umask: %o", &mask) == 1;
    }
    std::fclose(f);
    if (found) return static_cast<mode_t>(mask);
  }
  const mode_t mask = umask(022);
  umask(mask);
  return mask;
}

// The code for a path that could not be found: 2 when its folder exists, else 3.
int MissingCode(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return kOsFileNotFound;
  const std::string folder = slash == 0 ? std::string("/") : path.substr(0, slash);
  struct stat st;
  return (stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) ? kOsFileNotFound
                                                                 : kOsPathNotFound;
}

class PosixFile : public File {
 public:
  PosixFile(int fd, std::string path, bool writable)
      : fd_(fd), path_(std::move(path)), writable_(writable) {}
  ~PosixFile() override { close(fd_); }

  int64_t ReadAt(uint64_t offset, void* buf, size_t n) override {
    size_t done = 0;
    while (done < n) {
      const ssize_t r =
          pread(fd_, static_cast<char*>(buf) + done, n - done, static_cast<off_t>(offset + done));
      if (r < 0) {
        if (errno == EINTR) continue;
        err_ = OsCodeFromErrno(errno);
        return done > 0 ? static_cast<int64_t>(done) : -1;
      }
      if (r == 0) break;
      done += static_cast<size_t>(r);
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
      const ssize_t w = pwrite(fd_, static_cast<const char*>(buf) + done, n - done,
                               static_cast<off_t>(offset + done));
      if (w < 0) {
        if (errno == EINTR) continue;
        err_ = OsCodeFromErrno(errno);
        return done > 0 ? static_cast<int64_t>(done) : -1;
      }
      done += static_cast<size_t>(w);
    }
    return static_cast<int64_t>(done);
  }

  int64_t Size() override {
    struct stat st;
    if (fstat(fd_, &st) != 0) {
      err_ = OsCodeFromErrno(errno);
      return -1;
    }
    return st.st_size;
  }

  bool Truncate(uint64_t size) override {
    if (!writable_) {
      err_ = kOsAccessDenied;
      return false;
    }
    if (ftruncate(fd_, static_cast<off_t>(size)) != 0) {
      err_ = OsCodeFromErrno(errno);
      return false;
    }
    return true;
  }

  bool Sync() override {
    if (fdatasync(fd_) != 0) {
      err_ = OsCodeFromErrno(errno);
      return false;
    }
    return true;
  }

  bool Lock(uint64_t offset, uint64_t length, bool exclusive, bool wait) override {
    struct flock fl = {};
    fl.l_type = exclusive ? F_WRLCK : F_RDLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = static_cast<off_t>(length);
    for (;;) {
      if (fcntl(fd_, wait ? F_OFD_SETLKW : F_OFD_SETLK, &fl) == 0) return true;
      if (errno == EINTR) continue;
      err_ = (errno == EAGAIN || errno == EACCES) ? kOsLockViolation : OsCodeFromErrno(errno);
      return false;
    }
  }

  bool Unlock(uint64_t offset, uint64_t length) override {
    struct flock fl = {};
    fl.l_type = F_UNLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = static_cast<off_t>(length);
    if (fcntl(fd_, F_OFD_SETLK, &fl) != 0) {
      err_ = OsCodeFromErrno(errno);
      return false;
    }
    return true;
  }

  int os_error() const override { return err_; }
  const std::string& host_path() const override { return path_; }

 private:
  int fd_;
  std::string path_;
  bool writable_;
  int err_ = 0;
};

// Takes the share byte for an open; false on a conflict.
bool TakeShareLock(int fd, bool exclusive) {
  struct flock fl = {};
  fl.l_type = exclusive ? F_WRLCK : F_RDLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(kShareLockOffset);
  fl.l_len = 1;
  while (fcntl(fd, F_OFD_SETLK, &fl) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

class PosixEnv : public Env {
 public:
  std::unique_ptr<File> OpenFile(std::string_view name, FileAccess access, FileShare share,
                                 int* os_code) override {
    std::string path;
    if (!ToHost(name, &path)) return Fail(os_code, kOsPathNotFound);
    // The descriptor is opened for writing whenever the file allows it, even for read
    // access: POSIX write locks (record locks, the exclusive share byte) need it.
    // Writes through a read-access file are refused by PosixFile itself.
    int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    bool fd_writable = true;
    if (fd < 0 && access == FileAccess::kRead &&
        (errno == EACCES || errno == EROFS || errno == EPERM)) {
      fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
      fd_writable = false;
    }
    if (fd < 0) {
      const int code = errno == ENOENT ? MissingCode(path) : OsCodeFromErrno(errno);
      return Fail(os_code, code);
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      close(fd);
      return Fail(os_code, kOsAccessDenied);
    }
    // A read-only descriptor cannot hold a write lock; it shows exclusivity with a read
    // lock instead, which still keeps out every exclusive open.
    if (!TakeShareLock(fd, share == FileShare::kExclusive && fd_writable)) {
      close(fd);
      return Fail(os_code, kOsSharingViolation);
    }
    if (os_code != nullptr) *os_code = 0;
    return std::make_unique<PosixFile>(fd, path, access == FileAccess::kReadWrite);
  }

  std::unique_ptr<File> CreateFile(std::string_view name, FileShare share, int* os_code) override {
    std::string path;
    if (!ToHost(name, &path)) return Fail(os_code, kOsPathNotFound);
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
      const int code = errno == ENOENT ? kOsPathNotFound : OsCodeFromErrno(errno);
      return Fail(os_code, code);
    }
    if (!TakeShareLock(fd, share == FileShare::kExclusive)) {
      close(fd);
      return Fail(os_code, kOsSharingViolation);
    }
    if (ftruncate(fd, 0) != 0) {
      const int code = OsCodeFromErrno(errno);
      close(fd);
      return Fail(os_code, code);
    }
    if (os_code != nullptr) *os_code = 0;
    return std::make_unique<PosixFile>(fd, path, true);
  }

  bool FileExists(std::string_view name) override {
    std::string path;
    struct stat st;
    return ToHost(name, &path) && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  }

  bool DirExists(std::string_view name) override {
    std::string path;
    struct stat st;
    return ToHost(name, &path) && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }

  int DeleteFile(std::string_view name) override {
    std::string path;
    if (!ToHost(name, &path)) return kOsPathNotFound;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return MissingCode(path);
    if (S_ISDIR(st.st_mode)) return kOsAccessDenied;
    if (HeldByAnotherOpen(path)) return kOsSharingViolation;
    return unlink(path.c_str()) == 0 ? 0 : OsCodeFromErrno(errno);
  }

  int RenameFile(std::string_view from, std::string_view to) override {
    std::string src, dst;
    if (!ToHost(from, &src) || !ToHost(to, &dst)) return kOsPathNotFound;
    struct stat s1, s2;
    if (lstat(src.c_str(), &s1) != 0) return MissingCode(src);
    if (lstat(dst.c_str(), &s2) == 0) {
      // Only a change of letter case of the same file may rename onto an existing name.
      if (s1.st_ino != s2.st_ino || s1.st_dev != s2.st_dev) return kOsFileExists;
      if (!DosToHost(to, &dst)) return kOsPathNotFound;
    }
    if (S_ISREG(s1.st_mode) && HeldByAnotherOpen(src)) return kOsSharingViolation;
    if (renameat2(AT_FDCWD, src.c_str(), AT_FDCWD, dst.c_str(),
                  src == dst ? 0 : RENAME_NOREPLACE) == 0) {
      return 0;
    }
    if (errno == EINVAL) {
      // File systems without RENAME_NOREPLACE: link then unlink keeps the no-replace rule.
      if (link(src.c_str(), dst.c_str()) != 0) return OsCodeFromErrno(errno);
      unlink(src.c_str());
      return 0;
    }
    return errno == ENOENT ? MissingCode(dst) : OsCodeFromErrno(errno);
  }

  int ReplaceFile(std::string_view from, std::string_view to) override {
    std::string src, dst;
    if (!ToHost(from, &src) || !ToHost(to, &dst)) return kOsPathNotFound;
    struct stat st;
    if (lstat(src.c_str(), &st) != 0) return MissingCode(src);
    if (HeldByAnotherOpen(src)) return kOsSharingViolation;
    if (PathExists(dst) && HeldByAnotherOpen(dst)) return kOsSharingViolation;
    return rename(src.c_str(), dst.c_str()) == 0 ? 0 : OsCodeFromErrno(errno);
  }

  int GetFileMode(std::string_view name, uint32_t* mode) override {
    std::string path;
    if (!ToHost(name, &path)) return kOsPathNotFound;
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
      return errno == ENOENT ? MissingCode(path) : OsCodeFromErrno(errno);
    }
    *mode = static_cast<uint32_t>(st.st_mode) & 0777;
    return 0;
  }

  int SetFileMode(std::string_view name, uint32_t mode) override {
    std::string path;
    if (!ToHost(name, &path)) return kOsPathNotFound;
    const mode_t bits = static_cast<mode_t>(mode & 0777) & ~FileCreationMask();
    if (chmod(path.c_str(), bits) == 0) return 0;
    return errno == ENOENT ? MissingCode(path) : OsCodeFromErrno(errno);
  }

  int MakeDir(std::string_view name) override {
    std::string path;
    if (!ToHost(name, &path)) return kOsPathNotFound;
    if (mkdir(path.c_str(), 0777) == 0) return 0;
    return errno == ENOENT ? kOsPathNotFound : OsCodeFromErrno(errno);
  }

  int RemoveDir(std::string_view name) override {
    std::string path;
    if (!ToHost(name, &path)) return kOsPathNotFound;
    if (rmdir(path.c_str()) == 0) return 0;
    return errno == ENOENT ? kOsPathNotFound : OsCodeFromErrno(errno);
  }

  int ChangeDir(std::string_view name) override {
    std::string path;
    if (!ToHost(name, &path)) return kOsPathNotFound;
    if (path.empty()) return kOsPathNotFound;
    if (chdir(path.c_str()) == 0) return 0;
    return errno == ENOENT ? kOsPathNotFound : OsCodeFromErrno(errno);
  }

  std::string CurrentDir() override {
    char buf[4096];
    if (getcwd(buf, sizeof(buf)) == nullptr) return "/";
    return buf;
  }

  int ListDir(std::string_view folder, std::vector<DirEntry>* out) override {
    out->clear();
    std::string path;
    if (!ToHost(folder.empty() ? std::string_view(".") : folder, &path)) {
      return kOsPathNotFound;
    }
    DIR* dir = opendir(path.c_str());
    if (dir == nullptr) return errno == ENOENT ? kOsPathNotFound : OsCodeFromErrno(errno);
    while (struct dirent* ent = readdir(dir)) {
      const std::string name(ent->d_name);
      if (name == "." || name == "..") continue;
      DirEntry e;
      e.name = name;
      e.hidden = name[0] == '.';
      struct stat st;
      if (fstatat(dirfd(dir), ent->d_name, &st, 0) == 0) {
        e.size = st.st_size;
        e.mtime = st.st_mtime;
        e.is_dir = S_ISDIR(st.st_mode);
      }
      out->push_back(std::move(e));
    }
    closedir(dir);
    return 0;
  }

  std::string HostPath(std::string_view name) override {
    std::string path;
    return ToHost(name, &path) ? path : std::string();
  }

  int64_t NowMicros() override {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
  }

  void SleepMicros(int64_t micros) override {
    if (micros <= 0) return;
    struct timespec ts;
    ts.tv_sec = static_cast<time_t>(micros / 1000000);
    ts.tv_nsec = static_cast<long>((micros % 1000000) * 1000);
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
  }

  LocalTime Now() override {
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    struct tm tm;
    const time_t secs = tv.tv_sec;
    localtime_r(&secs, &tm);
    LocalTime t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.second = tm.tm_sec;
    t.millisecond = static_cast<int>(tv.tv_usec / 1000);
    return t;
  }

 private:
  static std::unique_ptr<File> Fail(int* os_code, int code) {
    if (os_code != nullptr) *os_code = code;
    return nullptr;
  }
};

}  // namespace

LocalTime Env::LocalTimeOf(int64_t epoch_seconds) {
  struct tm tm = {};
  const time_t secs = static_cast<time_t>(epoch_seconds);
  localtime_r(&secs, &tm);
  LocalTime t;
  t.year = tm.tm_year + 1900;
  t.month = tm.tm_mon + 1;
  t.day = tm.tm_mday;
  t.hour = tm.tm_hour;
  t.minute = tm.tm_min;
  t.second = tm.tm_sec;
  return t;
}

Env* Env::Posix() {
  static Env* env = new PosixEnv();
  return env;
}

Env* Env::Default() {
  return Posix();
}

}  // namespace px
