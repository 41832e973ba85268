#include "archive/read_entry.h"

#include <zip.h>

#include "archive/entry_failure.h"
#include "archive/env_zip_source.h"
#include "archive/zip_errors.h"

namespace px {

namespace {

bool SameNameIgnoringCase(const char* a, const std::string& b) {
  size_t i = 0;
  for (; a[i] != '\0' && i < b.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return a[i] == '\0' && i == b.size();
}

}  // namespace

int ReadArchiveEntry(const std::string& archive, const std::string& entry,
                     const std::string& password, std::string* bytes, uint64_t max_size) {
  bytes->clear();
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* src = NewEnvArchiveSource(archive, &error);
  zip_t* za = nullptr;
  if (src != nullptr) {
    za = zip_open_from_source(src, ZIP_RDONLY, &error);
    if (za == nullptr) zip_source_free(src);
  }
  if (za == nullptr) {
    const int code = ZipOpenErrorCode(zip_error_code_zip(&error), zip_error_code_system(&error));
    zip_error_fini(&error);
    return code;
  }
  zip_error_fini(&error);

  EntryFailures failures(za, password);
  int code = kZipErrNotFound;
  const zip_int64_t count = zip_get_num_entries(za, 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    const zip_uint64_t index = static_cast<zip_uint64_t>(i);
    const char* name = zip_get_name(za, index, ZIP_FL_ENC_RAW);
    if (name == nullptr || !SameNameIgnoringCase(name, entry)) continue;
    zip_stat_t st;
    zip_stat_init(&st);
    const bool encrypted = zip_stat_index(za, index, 0, &st) == 0 &&
                           (st.valid & ZIP_STAT_ENCRYPTION_METHOD) != 0 &&
                           st.encryption_method != ZIP_EM_NONE;
    if (const int unsupported = UnsupportedEntryMethod(st); unsupported != 0) {
      code = failures.Code(unsupported, encrypted);
      break;
    }
    if ((st.valid & ZIP_STAT_SIZE) != 0 && st.size > max_size) {
      code = kZipErrDamaged;
      break;
    }
    zip_file_t* f =
        zip_fopen_index_encrypted(za, index, 0, password.empty() ? nullptr : password.c_str());
    if (f == nullptr) {
      code = failures.Code(zip_error_code_zip(zip_get_error(za)), encrypted);
      break;
    }
    code = kZipOk;
    char buf[64 * 1024];
    for (;;) {
      const zip_int64_t n = zip_fread(f, buf, sizeof buf);
      if (n < 0) {
        code = failures.Code(zip_error_code_zip(zip_file_get_error(f)), encrypted);
        break;
      }
      if (n == 0) break;
      if (bytes->size() + static_cast<uint64_t>(n) > max_size) {
        code = kZipErrDamaged;
        break;
      }
      bytes->append(buf, static_cast<size_t>(n));
    }
    zip_fclose(f);
    break;
  }
  if (code != kZipOk) bytes->clear();
  zip_discard(za);
  return code;
}

}  // namespace px
