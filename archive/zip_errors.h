// Error codes of the zip library (archive/zip_library.h), kept per handle and shown by
// the unpacking step after "-- Error: " or "--- Error: ".
#ifndef PX_ARCHIVE_ZIP_ERRORS_H_
#define PX_ARCHIVE_ZIP_ERRORS_H_

#include <zip.h>

namespace px {

enum ZipErrorCode : int {
  kZipOk = 0,
  kZipErrBadHandle = 1,      // the handle is not a live handle of ZipHandle_New
  kZipErrNotFound = 2,       // the archive file does not exist
  kZipErrOpen = 3,           // the archive cannot be opened or read (access, sharing, I/O)
  kZipErrUnsupported = 4,    // compression or encryption method, or spanning, not supported
  kZipErrNotZip = 5,         // not a zip archive, or its directory is damaged
  kZipErrWrongPassword = 6,  // the password does not decrypt an entry
  kZipErrNoPassword = 7,     // an entry is encrypted and no password was set
  kZipErrUnsafeName = 8,     // an entry would land outside the folder (absolute name,
                             // drive, ".." part) or is a symbolic link: not written
  kZipErrDamaged = 9,        // entry data fails its check (CRC) or cannot be unpacked
  kZipErrWrite = 10,         // a file or folder cannot be created, written or put in place
  kZipErrNotOpen = 11,       // no archive is open on the handle
  kZipErrBadMode = 12,       // an open mode other than 0 (read an existing archive)
  kZipErrAlreadyOpen = 13,   // an archive is already open on the handle
  kZipErrNoHandle = 14,      // no new handle can be had (too many live handles)
};

// A short English description of a code, for logs and command-line tools.
const char* ZipErrorText(int code);

// The code for libzip's failure (ZIP_ER_* and its errno) to open an archive.
int ZipOpenErrorCode(int libzip_error, int system_error);
// The code for libzip's failure to open or read an entry: a failed password check is a
// wrong password, data failing its check (CRC) or unpacking a damaged entry (see
// archive/entry_failure.h for encrypted entries).
int ZipEntryErrorCode(int libzip_error);

// ZIP_ER_COMPNOTSUPP or ZIP_ER_ENCRNOTSUPP when the entry's compression or encryption
// method (as zip_stat_index reported it) is one libzip cannot read, else 0. Checked
// before an entry is opened: libzip 1.9 leaks the layers it built when such an open
// fails.
int UnsupportedEntryMethod(const zip_stat_t& st);

}  // namespace px

#endif  // PX_ARCHIVE_ZIP_ERRORS_H_
