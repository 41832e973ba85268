#include "archive/zip_writer.h"

#include <zip.h>

#include <set>

#include "archive/env_zip_source.h"
#include "runtime/dos_path.h"
#include "runtime/env.h"

namespace px {

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

// The file's date from its folder's listing; 0 when it cannot be found.
int64_t FileMTime(const std::string& path) {
  std::string folder, file;
  SplitPath(path, &folder, &file);
  std::vector<DirEntry> listing;
  if (GetEnv()->ListDir(folder.empty() ? std::string(".") : folder, &listing) != 0) return 0;
  const DirEntry* match = nullptr;
  for (const DirEntry& e : listing) {
    if (e.name == file) return e.mtime;
    if (match == nullptr && EqualNoCase(e.name, file)) match = &e;
  }
  return match != nullptr ? match->mtime : 0;
}

// 1 January 1980, the first date a zip entry can carry. libzip needs a date on every
// encrypted entry (it keys the password check byte to it); a file whose date cannot be
// read gets this one.
constexpr int64_t kZipEpoch = 315532800;

constexpr zip_uint32_t kDeflateLevel = 6;

// The Unix file type of a regular file, beside its permission bits in the upper half of
// an entry's external attributes.
constexpr zip_uint32_t kUnixRegularFile = 0100000;

}  // namespace

bool WriteZip(const std::string& archive, const std::vector<ZipInput>& inputs,
              const ZipWriteOptions& options, std::string* error) {
  zip_error_t zerr;
  zip_error_init(&zerr);
  zip_source_t* src = NewEnvArchiveSource(archive, &zerr);
  zip_t* za = nullptr;
  if (src != nullptr) {
    za = zip_open_from_source(src, ZIP_CREATE | (options.new_archive ? ZIP_TRUNCATE : 0), &zerr);
    if (za == nullptr) zip_source_free(src);
  }
  if (za == nullptr) {
    *error = archive + ": " + zip_error_strerror(&zerr);
    zip_error_fini(&zerr);
    return false;
  }
  zip_error_fini(&zerr);

  auto fail = [&](const std::string& what) {
    *error = what + ": " + zip_strerror(za);
    zip_discard(za);
    return false;
  };

  std::set<zip_int64_t> written;
  for (const ZipInput& in : inputs) {
    // libzip reads the files only when it writes the archive; a file that cannot be
    // read is named here rather than as a read error of the archive.
    int code = 0;
    if (GetEnv()->OpenFile(in.path, FileAccess::kRead, FileShare::kDenyNone, &code) == nullptr) {
      *error = in.path + ": " +
               (code == kOsFileNotFound || code == kOsPathNotFound
                    ? std::string("no such file")
                    : "cannot be read (DOS error " + std::to_string(code) + ")");
      zip_discard(za);
      return false;
    }
    int64_t mtime = in.mtime > 0 ? in.mtime : FileMTime(in.path);
    if (mtime <= 0) mtime = kZipEpoch;
    zip_error_t serr;
    zip_error_init(&serr);
    zip_source_t* file = NewEnvFileSource(in.path, mtime, &serr);
    zip_error_fini(&serr);
    if (file == nullptr) return fail(in.path);

    // The entry of the same name: spelt alike, else in another letter case unless that
    // one was written in this run (two files differing in case both go in).
    zip_int64_t index = zip_name_locate(za, in.entry.c_str(), 0);
    if (index < 0) {
      index = zip_name_locate(za, in.entry.c_str(), ZIP_FL_NOCASE);
      if (index >= 0 && written.count(index) != 0) index = -1;
    }
    if (index >= 0) {
      const char* old_name = zip_get_name(za, static_cast<zip_uint64_t>(index), 0);
      if (old_name != nullptr && in.entry != old_name &&
          zip_file_rename(za, static_cast<zip_uint64_t>(index), in.entry.c_str(), 0) != 0) {
        zip_source_free(file);
        return fail(in.entry);
      }
      if (zip_file_replace(za, static_cast<zip_uint64_t>(index), file, 0) != 0) {
        zip_source_free(file);
        return fail(in.entry);
      }
    } else {
      index = zip_file_add(za, in.entry.c_str(), file, 0);
      if (index < 0) {
        zip_source_free(file);
        return fail(in.entry);
      }
    }
    written.insert(index);
    // The file's permission bits go with it (a program stays a program when unpacked).
    uint32_t mode = 0;
    if (GetEnv()->GetFileMode(in.path, &mode) == 0 &&
        zip_file_set_external_attributes(za, static_cast<zip_uint64_t>(index), 0, ZIP_OPSYS_UNIX,
                                         (kUnixRegularFile | mode) << 16) != 0) {
      return fail(in.entry);
    }
    // zlib's usual level: libzip's own default (9) costs several times the time for a
    // few per cent of size on table files.
    if (zip_set_file_compression(za, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE,
                                 kDeflateLevel) != 0) {
      return fail(in.entry);
    }
    if (!options.password.empty() &&
        zip_file_set_encryption(za, static_cast<zip_uint64_t>(index), ZIP_EM_TRAD_PKWARE,
                                options.password.c_str()) != 0) {
      return fail(in.entry);
    }
  }
  if (zip_close(za) != 0) return fail(archive);
  return true;
}

}  // namespace px
