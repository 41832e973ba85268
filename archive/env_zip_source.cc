#include "archive/env_zip_source.h"

#include <cerrno>
#include <memory>

#include "runtime/dos_path.h"
#include "runtime/env.h"

namespace px {

namespace {

// The errno value libzip reports for a DOS error code of the Env.
int ErrnoOf(int os_code) {
  switch (os_code) {
    case kOsFileNotFound:
    case kOsPathNotFound:
      return ENOENT;
    case kOsAccessDenied:
      return EACCES;
    case kOsSharingViolation:
    case kOsLockViolation:
      return EBUSY;
    case kOsTooManyOpenFiles:
      return EMFILE;
    case kOsNotEnoughMemory:
      return ENOMEM;
    case kOsDiskFull:
      return ENOSPC;
    case kOsFileExists:
      return EEXIST;
    default:
      return EIO;
  }
}

class EnvSource {
 public:
  EnvSource(std::string name, int64_t mtime, bool writable, bool durable)
      : name_(std::move(name)), mtime_(mtime), writable_(writable), durable_(durable) {
    zip_error_init(&error_);
  }
  ~EnvSource() {
    if (temp_ != nullptr) DropTemp();
    zip_error_fini(&error_);
  }

  static zip_int64_t Callback(void* userdata, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    return static_cast<EnvSource*>(userdata)->Run(data, len, cmd);
  }

 private:
  zip_int64_t Run(void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    switch (cmd) {
      case ZIP_SOURCE_OPEN:
        if (!OpenForReading()) return -1;
        pos_ = 0;
        return 0;
      case ZIP_SOURCE_READ: {
        if (file_ == nullptr) return Fail(ZIP_ER_INTERNAL, 0);
        const int64_t n = file_->ReadAt(pos_, data, len);
        if (n < 0) return Fail(ZIP_ER_READ, ErrnoOf(file_->os_error()));
        pos_ += static_cast<uint64_t>(n);
        return n;
      }
      case ZIP_SOURCE_CLOSE:
        file_.reset();
        return 0;
      case ZIP_SOURCE_STAT:
        return Stat(data, len);
      case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&error_, data, len);
      case ZIP_SOURCE_FREE:
        delete this;
        return 0;
      case ZIP_SOURCE_SEEK: {
        if (file_ == nullptr) return Fail(ZIP_ER_INTERNAL, 0);
        const int64_t size = file_->Size();
        if (size < 0) return Fail(ZIP_ER_SEEK, ErrnoOf(file_->os_error()));
        const zip_int64_t at = zip_source_seek_compute_offset(pos_, static_cast<zip_uint64_t>(size),
                                                              data, len, &error_);
        if (at < 0) return -1;
        pos_ = static_cast<uint64_t>(at);
        return 0;
      }
      case ZIP_SOURCE_TELL:
        return static_cast<zip_int64_t>(pos_);
      case ZIP_SOURCE_SUPPORTS:
        if (writable_) {
          return ZIP_SOURCE_SUPPORTS_WRITABLE |
                 zip_source_make_command_bitmap(ZIP_SOURCE_ACCEPT_EMPTY, -1);
        }
        return ZIP_SOURCE_SUPPORTS_SEEKABLE;
      case ZIP_SOURCE_ACCEPT_EMPTY:
        return 0;  // an empty file is no archive
      case ZIP_SOURCE_BEGIN_WRITE:
        return BeginWrite();
      case ZIP_SOURCE_WRITE: {
        if (temp_ == nullptr) return Fail(ZIP_ER_INTERNAL, 0);
        const int64_t n = temp_->WriteAt(wpos_, data, len);
        if (n < 0 || static_cast<zip_uint64_t>(n) != len) {
          return Fail(ZIP_ER_WRITE, ErrnoOf(temp_->os_error()));
        }
        wpos_ += static_cast<uint64_t>(n);
        if (wpos_ > wsize_) wsize_ = wpos_;
        return n;
      }
      case ZIP_SOURCE_SEEK_WRITE: {
        if (temp_ == nullptr) return Fail(ZIP_ER_INTERNAL, 0);
        const zip_int64_t at = zip_source_seek_compute_offset(wpos_, wsize_, data, len, &error_);
        if (at < 0) return -1;
        wpos_ = static_cast<uint64_t>(at);
        return 0;
      }
      case ZIP_SOURCE_TELL_WRITE:
        return static_cast<zip_int64_t>(wpos_);
      case ZIP_SOURCE_COMMIT_WRITE:
        return CommitWrite();
      case ZIP_SOURCE_ROLLBACK_WRITE:
        DropTemp();
        return 0;
      case ZIP_SOURCE_REMOVE: {
        // The archive became empty: libzip removes it rather than write an empty one.
        file_.reset();
        const int code = GetEnv()->DeleteFile(name_);
        if (code != 0 && code != kOsFileNotFound) return Fail(ZIP_ER_REMOVE, ErrnoOf(code));
        return 0;
      }
      default:
        return Fail(ZIP_ER_OPNOTSUPP, 0);
    }
  }

  zip_int64_t Fail(int zip_code, int sys_code) {
    zip_error_set(&error_, zip_code, sys_code);
    return -1;
  }

  bool OpenForReading() {
    if (file_ != nullptr) return true;
    int code = 0;
    file_ = GetEnv()->OpenFile(name_, FileAccess::kRead, FileShare::kDenyNone, &code);
    if (file_ == nullptr) {
      zip_error_set(&error_, ZIP_ER_OPEN, ErrnoOf(code));
      return false;
    }
    return true;
  }

  zip_int64_t Stat(void* data, zip_uint64_t len) {
    zip_stat_t* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, len, &error_);
    if (st == nullptr) return -1;
    std::unique_ptr<File> temporary;
    File* f = file_.get();
    if (f == nullptr) {
      int code = 0;
      temporary = GetEnv()->OpenFile(name_, FileAccess::kRead, FileShare::kDenyNone, &code);
      // libzip takes a read error with ENOENT for "no archive yet".
      if (temporary == nullptr) return Fail(ZIP_ER_READ, ErrnoOf(code));
      f = temporary.get();
    }
    const int64_t size = f->Size();
    if (size < 0) return Fail(ZIP_ER_READ, ErrnoOf(f->os_error()));
    zip_stat_init(st);
    st->size = static_cast<zip_uint64_t>(size);
    st->valid |= ZIP_STAT_SIZE;
    if (mtime_ > 0) {
      st->mtime = static_cast<time_t>(mtime_);
      st->valid |= ZIP_STAT_MTIME;
    }
    return sizeof(zip_stat_t);
  }

  zip_int64_t BeginWrite() {
    if (temp_ != nullptr) DropTemp();
    if (!durable_) {
      // A scratch archive is written in place: a temporary name would be one more name
      // that writers in this folder could race for.
      file_.reset();
      int code = 0;
      temp_ = GetEnv()->CreateFile(name_, FileShare::kExclusive, &code);
      if (temp_ == nullptr) return Fail(ZIP_ER_TMPOPEN, ErrnoOf(code));
      wpos_ = wsize_ = 0;
      return 0;
    }
    std::string folder, file;
    SplitPath(name_, &folder, &file);
    Env* env = GetEnv();
    for (int n = 1; n < 10000; ++n) {
      std::string candidate = folder + "~pz" + std::to_string(n) + ".tmp";
      if (env->FileExists(candidate) || env->DirExists(candidate)) continue;
      int code = 0;
      temp_ = env->CreateFile(candidate, FileShare::kExclusive, &code);
      // Another archive being written in this folder took the name between the look and
      // the creation: the next name.
      if (temp_ == nullptr && code == kOsSharingViolation) continue;
      if (temp_ == nullptr) return Fail(ZIP_ER_TMPOPEN, ErrnoOf(code));
      temp_name_ = std::move(candidate);
      wpos_ = wsize_ = 0;
      return 0;
    }
    return Fail(ZIP_ER_TMPOPEN, EEXIST);
  }

  zip_int64_t CommitWrite() {
    if (temp_ == nullptr) return Fail(ZIP_ER_INTERNAL, 0);
    if (!durable_) {
      temp_.reset();
      return 0;
    }
    if (!temp_->Sync()) {
      const int code = temp_->os_error();
      DropTemp();
      return Fail(ZIP_ER_WRITE, ErrnoOf(code));
    }
    temp_.reset();
    // Our own read open would count as another holder of the archive.
    const bool reopen = file_ != nullptr;
    file_.reset();
    const int code = GetEnv()->ReplaceFile(temp_name_, name_);
    if (code != 0) {
      GetEnv()->DeleteFile(temp_name_);
      temp_name_.clear();
      if (reopen) OpenForReading();
      return Fail(ZIP_ER_RENAME, ErrnoOf(code));
    }
    temp_name_.clear();
    if (reopen && !OpenForReading()) return -1;
    return 0;
  }

  void DropTemp() {
    temp_.reset();
    if (!temp_name_.empty()) GetEnv()->DeleteFile(temp_name_);
    temp_name_.clear();
  }

  std::string name_;
  int64_t mtime_;
  bool writable_;
  bool durable_;
  zip_error_t error_;
  std::unique_ptr<File> file_;
  uint64_t pos_ = 0;
  std::unique_ptr<File> temp_;
  std::string temp_name_;
  uint64_t wpos_ = 0;
  uint64_t wsize_ = 0;
};

zip_source_t* NewSource(const std::string& name, int64_t mtime, bool writable, bool durable,
                        zip_error_t* error) {
  auto* state = new EnvSource(name, mtime, writable, durable);
  zip_source_t* src = zip_source_function_create(&EnvSource::Callback, state, error);
  if (src == nullptr) delete state;
  return src;
}

}  // namespace

zip_source_t* NewEnvFileSource(const std::string& name, int64_t mtime, zip_error_t* error) {
  return NewSource(name, mtime, false, false, error);
}

zip_source_t* NewEnvArchiveSource(const std::string& name, zip_error_t* error, bool durable) {
  return NewSource(name, 0, true, durable, error);
}

}  // namespace px
