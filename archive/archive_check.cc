#include "archive/archive_check.h"

#include <zip.h>

#include <vector>

#include "archive/entry_failure.h"
#include "archive/env_zip_source.h"
#include "archive/zip_errors.h"

namespace px {

ArchiveCheck CheckArchive(
    const std::string& archive, const std::string& password,
    const std::function<void(const std::string& entry, const std::string& problem)>& report) {
  ArchiveCheck check;
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* src = NewEnvArchiveSource(archive, &error);
  zip_t* za = nullptr;
  if (src != nullptr) {
    za = zip_open_from_source(src, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (za == nullptr) zip_source_free(src);
  }
  if (za == nullptr) {
    check.error = ZipOpenErrorCode(zip_error_code_zip(&error), zip_error_code_system(&error));
    check.failed = 1;
    report("", zip_error_strerror(&error));
    zip_error_fini(&error);
    return check;
  }
  zip_error_fini(&error);

  EntryFailures failures(za, password);
  std::vector<char> buf(256 * 1024);
  const zip_int64_t count = zip_get_num_entries(za, 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    const zip_uint64_t index = static_cast<zip_uint64_t>(i);
    const char* raw = zip_get_name(za, index, ZIP_FL_ENC_RAW);
    const std::string name = raw != nullptr ? raw : "#" + std::to_string(i);
    zip_stat_t st;
    zip_stat_init(&st);
    const bool encrypted = zip_stat_index(za, index, 0, &st) == 0 &&
                           (st.valid & ZIP_STAT_ENCRYPTION_METHOD) != 0 &&
                           st.encryption_method != ZIP_EM_NONE;
    ++check.entries;
    std::string problem;
    int code = 0;
    const int unsupported = UnsupportedEntryMethod(st);  // st.valid is 0 when the stat failed
    zip_file_t* f = unsupported != 0
                        ? nullptr
                        : zip_fopen_index_encrypted(za, index, 0,
                                                    password.empty() ? nullptr : password.c_str());
    if (unsupported != 0) {
      code = failures.Code(unsupported, encrypted);
      problem = unsupported == ZIP_ER_COMPNOTSUPP ? "Compression method not supported"
                                                  : "Encryption method not supported";
    } else if (f == nullptr) {
      code = failures.Code(zip_error_code_zip(zip_get_error(za)), encrypted);
      problem = zip_strerror(za);
    } else {
      zip_uint64_t total = 0;
      for (;;) {
        const zip_int64_t n = zip_fread(f, buf.data(), buf.size());
        if (n < 0) {
          code = failures.Code(zip_error_code_zip(zip_file_get_error(f)), encrypted);
          problem = zip_file_strerror(f);
          break;
        }
        if (n == 0) break;
        total += static_cast<zip_uint64_t>(n);
      }
      if (problem.empty() && (st.valid & ZIP_STAT_SIZE) != 0 && total != st.size) {
        code = failures.DataFailure(encrypted);
        problem = "size does not match";
      }
      zip_fclose(f);
    }
    if (code != 0) {
      ++check.failed;
      if (check.error == 0) check.error = code;
    }
    report(name, problem);
  }
  zip_discard(za);
  return check;
}

}  // namespace px
