#include "archive/entry_failure.h"

#include "archive/zip_errors.h"

namespace px {

int EntryFailures::Code(int libzip_error, bool encrypted) {
  const int code = ZipEntryErrorCode(libzip_error);
  if (code == kZipErrDamaged && encrypted && PasswordRejected()) return kZipErrWrongPassword;
  return code;
}

int EntryFailures::DataFailure(bool encrypted) {
  return encrypted && PasswordRejected() ? kZipErrWrongPassword : kZipErrDamaged;
}

bool EntryFailures::PasswordRejected() {
  if (rejected_.has_value()) return *rejected_;
  rejected_ = false;
  if (password_.empty()) return false;
  const zip_int64_t count = zip_get_num_entries(archive_, 0);
  for (zip_int64_t i = 0; i < count && !*rejected_; ++i) {
    const zip_uint64_t index = static_cast<zip_uint64_t>(i);
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(archive_, index, 0, &st) != 0 ||
        (st.valid & ZIP_STAT_ENCRYPTION_METHOD) == 0 || st.encryption_method == ZIP_EM_NONE ||
        UnsupportedEntryMethod(st) != 0) {
      continue;
    }
    // Opening the entry reads its encryption header and checks the password, nothing
    // more.
    zip_file_t* f = zip_fopen_index_encrypted(archive_, index, 0, password_.c_str());
    if (f != nullptr) {
      zip_fclose(f);
    } else {
      rejected_ = zip_error_code_zip(zip_get_error(archive_)) == ZIP_ER_WRONGPASSWD;
    }
  }
  return *rejected_;
}

}  // namespace px
