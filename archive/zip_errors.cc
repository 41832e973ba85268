#include "archive/zip_errors.h"

#include <zip.h>

#include <cerrno>

namespace px {

const char* ZipErrorText(int code) {
  switch (code) {
    case kZipOk:
      return "no error";
    case kZipErrBadHandle:
      return "invalid zip handle";
    case kZipErrNotFound:
      return "archive not found";
    case kZipErrOpen:
      return "archive cannot be opened or read";
    case kZipErrNotZip:
      return "not a zip archive or archive damaged";
    case kZipErrWrongPassword:
      return "wrong password";
    case kZipErrNoPassword:
      return "entry is encrypted and no password was given";
    case kZipErrUnsafeName:
      return "entry name leads outside the folder";
    case kZipErrDamaged:
      return "entry data damaged";
    case kZipErrWrite:
      return "cannot write file";
    case kZipErrUnsupported:
      return "compression or encryption method not supported";
    case kZipErrNotOpen:
      return "no archive open";
    case kZipErrBadMode:
      return "unsupported open mode";
    case kZipErrAlreadyOpen:
      return "an archive is already open on this handle";
    case kZipErrNoHandle:
      return "no zip handle available";
    default:
      return "unknown error";
  }
}

int ZipOpenErrorCode(int libzip_error, int system_error) {
  switch (libzip_error) {
    case ZIP_ER_NOENT:
      return kZipErrNotFound;
    case ZIP_ER_OPEN:
    case ZIP_ER_READ:
    case ZIP_ER_SEEK:
    case ZIP_ER_TELL:
      return system_error == ENOENT ? kZipErrNotFound : kZipErrOpen;
    case ZIP_ER_MEMORY:
    case ZIP_ER_INTERNAL:
    case ZIP_ER_INVAL:
      return kZipErrOpen;
    case ZIP_ER_MULTIDISK:
    case ZIP_ER_COMPNOTSUPP:
    case ZIP_ER_ENCRNOTSUPP:
      return kZipErrUnsupported;
    default:
      return kZipErrNotZip;
  }
}

int ZipEntryErrorCode(int libzip_error) {
  switch (libzip_error) {
    case ZIP_ER_WRONGPASSWD:
      return kZipErrWrongPassword;
    case ZIP_ER_NOPASSWD:
      return kZipErrNoPassword;
    case ZIP_ER_COMPNOTSUPP:
    case ZIP_ER_ENCRNOTSUPP:
    case ZIP_ER_OPNOTSUPP:
      return kZipErrUnsupported;
    case ZIP_ER_READ:
    case ZIP_ER_SEEK:
    case ZIP_ER_OPEN:
      return kZipErrOpen;
    default:
      return kZipErrDamaged;
  }
}

int UnsupportedEntryMethod(const zip_stat_t& st) {
  if ((st.valid & ZIP_STAT_COMP_METHOD) != 0 &&
      zip_compression_method_supported(static_cast<zip_int32_t>(st.comp_method), 0) == 0) {
    return ZIP_ER_COMPNOTSUPP;
  }
  if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) != 0 && st.encryption_method != ZIP_EM_NONE &&
      zip_encryption_method_supported(st.encryption_method, 0) == 0) {
    return ZIP_ER_ENCRNOTSUPP;
  }
  return 0;
}

}  // namespace px
