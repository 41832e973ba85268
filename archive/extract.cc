#include "archive/extract.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "archive/entry_failure.h"
#include "archive/entry_name.h"
#include "archive/zip_errors.h"
#include "runtime/dos_path.h"
#include "runtime/env.h"

namespace px {

namespace {

constexpr size_t kChunk = 256 * 1024;

// Unix file-type bits of an entry's external attributes (upper 16 bits).
constexpr zip_uint32_t kUnixTypeMask = 0170000;
constexpr zip_uint32_t kUnixSymlink = 0120000;
constexpr zip_uint32_t kUnixDirectory = 0040000;
constexpr zip_uint32_t kDosDirectory = 0x10;
// Read, write and execute for owner, group and others: the permission bits an entry
// keeps (set-uid, set-gid and sticky never come from an archive).
constexpr zip_uint32_t kUnixPermissions = 0777;

struct ZipFileCloser {
  void operator()(zip_file_t* f) const { zip_fclose(f); }
};

class Extractor {
 public:
  Extractor(zip_t* archive, const std::string& password)
      : archive_(archive), password_(password), failures_(archive, password), env_(GetEnv()) {}

  ExtractResult Run() {
    const zip_int64_t count = zip_get_num_entries(archive_, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
      if (!Entry(static_cast<zip_uint64_t>(i))) break;
    }
    return result_;
  }

 private:
  // Handles one entry; false when extraction must stop.
  bool Entry(zip_uint64_t index) {
    const char* raw = zip_get_name(archive_, index, ZIP_FL_ENC_RAW);
    if (raw == nullptr) return Fail(kZipErrDamaged, "#" + std::to_string(index), true);
    const std::string name = raw;
    EntryPath path;
    switch (ParseEntryName(name, &path)) {
      case EntryNameCheck::kNothing:
        return true;
      case EntryNameCheck::kUnsafe:
        return Fail(kZipErrUnsafeName, name, true);
      case EntryNameCheck::kPath:
        break;
    }
    zip_uint8_t opsys = 0;
    zip_uint32_t attributes = 0;
    std::optional<uint32_t> mode;  // the file's permission bits, when the archive has them
    if (zip_file_get_external_attributes(archive_, index, 0, &opsys, &attributes) == 0) {
      const zip_uint32_t unix_type = (attributes >> 16) & kUnixTypeMask;
      if (opsys == ZIP_OPSYS_UNIX && unix_type == kUnixSymlink) {
        return Fail(kZipErrUnsafeName, name, true);
      }
      // An entry made on Unix carries its mode in the upper 16 bits; all zero means the
      // program that made it recorded none.
      if (opsys == ZIP_OPSYS_UNIX && (attributes >> 16) != 0) {
        mode = (attributes >> 16) & kUnixPermissions;
      }
      if ((opsys == ZIP_OPSYS_UNIX && unix_type == kUnixDirectory) ||
          (opsys == ZIP_OPSYS_DOS && (attributes & kDosDirectory) != 0)) {
        path.is_folder = true;
      }
    }
    if (path.is_folder) {
      return MakeFolders(path, path.parts.size()) ? true : Fail(kZipErrWrite, name, false);
    }
    if (!MakeFolders(path, path.parts.size() - 1)) return Fail(kZipErrWrite, name, false);
    return WriteFile(index, name, path, mode);
  }

  // Creates the first n parts of the path as folders where they do not exist.
  bool MakeFolders(const EntryPath& path, size_t n) {
    for (size_t i = 1; i <= n; ++i) {
      const std::string folder = path.Join(i);
      if (env_->DirExists(folder)) continue;
      if (env_->MakeDir(folder) != 0 && !env_->DirExists(folder)) return false;
    }
    return true;
  }

  bool WriteFile(zip_uint64_t index, const std::string& name, const EntryPath& path,
                 std::optional<uint32_t> mode) {
    zip_stat_t st;
    zip_stat_init(&st);
    const bool encrypted = zip_stat_index(archive_, index, 0, &st) == 0 &&
                           (st.valid & ZIP_STAT_ENCRYPTION_METHOD) != 0 &&
                           st.encryption_method != ZIP_EM_NONE;
    if (const int unsupported = UnsupportedEntryMethod(st)) {
      return Fail(failures_.Code(unsupported, encrypted), name, true);
    }
    std::unique_ptr<zip_file_t, ZipFileCloser> in(zip_fopen_index_encrypted(
        archive_, index, 0, password_.empty() ? nullptr : password_.c_str()));
    if (in == nullptr) {
      return Fail(failures_.Code(zip_error_code_zip(zip_get_error(archive_)), encrypted), name,
                  true);
    }

    const std::string target = path.Join();
    std::string folder;
    SplitPath(target, &folder, nullptr);
    std::string temp_name;
    std::unique_ptr<File> out = CreateTemp(folder, &temp_name);
    if (out == nullptr) return Fail(kZipErrWrite, name, false);

    std::vector<char> buf(kChunk);
    uint64_t offset = 0;
    for (;;) {
      const zip_int64_t n = zip_fread(in.get(), buf.data(), buf.size());
      if (n < 0) {
        const int code =
            failures_.Code(zip_error_code_zip(zip_file_get_error(in.get())), encrypted);
        out.reset();
        env_->DeleteFile(temp_name);
        return Fail(code, name, true);
      }
      if (n == 0) break;
      if (out->WriteAt(offset, buf.data(), static_cast<size_t>(n)) != n) {
        out.reset();
        env_->DeleteFile(temp_name);
        return Fail(kZipErrWrite, name, false);
      }
      offset += static_cast<uint64_t>(n);
    }
    if ((st.valid & ZIP_STAT_SIZE) != 0 && offset != st.size) {
      out.reset();
      env_->DeleteFile(temp_name);
      return Fail(failures_.DataFailure(encrypted), name, true);
    }
    out.reset();
    // The mode goes on before the rename, so the file never stands under its name
    // without it. A file system that keeps no Unix modes (a share mounted without them)
    // may refuse it; the file then has the default bits, as any new file there.
    if (mode.has_value()) env_->SetFileMode(temp_name, *mode);
    if (env_->ReplaceFile(temp_name, target) != 0) {
      env_->DeleteFile(temp_name);
      return Fail(kZipErrWrite, name, false);
    }
    ++result_.files;
    return true;
  }

  // A new file with a name of our own in the folder ("~pxz1.tmp"): never an update
  // file's name, and visible, so the temp folder's clean-up removes a leftover.
  std::unique_ptr<File> CreateTemp(const std::string& folder, std::string* name) {
    const std::string prefix = folder.empty() ? std::string() : folder;
    for (int n = 1; n < 100000; ++n) {
      std::string candidate = prefix + "~pxz" + std::to_string(n) + ".tmp";
      if (env_->FileExists(candidate) || env_->DirExists(candidate)) continue;
      int code = 0;
      std::unique_ptr<File> f = env_->CreateFile(candidate, FileShare::kExclusive, &code);
      if (f != nullptr) *name = std::move(candidate);
      return f;
    }
    return nullptr;
  }

  // Records a failure; returns whether extraction goes on.
  bool Fail(int code, const std::string& entry, bool go_on) {
    if (result_.error == 0) {
      result_.error = code;
      result_.failed_entry = entry;
    }
    return go_on;
  }

  zip_t* archive_;
  const std::string& password_;
  EntryFailures failures_;
  Env* env_;
  ExtractResult result_;
};

}  // namespace

ExtractResult ExtractAll(zip_t* archive, const std::string& password) {
  return Extractor(archive, password).Run();
}

}  // namespace px
