// Unpacking every entry of an open archive into the current folder.
#ifndef PX_ARCHIVE_EXTRACT_H_
#define PX_ARCHIVE_EXTRACT_H_

#include <zip.h>

#include <string>

namespace px {

struct ExtractResult {
  int files = 0;             // files written
  int error = 0;             // first failure (archive/zip_errors.h), 0 when none
  std::string failed_entry;  // the entry of that failure
};

// Writes every entry of the archive below the current folder: top-level entries land
// in it, folders named by entries are created as needed, files of the same name (in any
// letter case) are replaced. password (may be empty) decrypts traditional PKWARE and
// AES entries. A file made from an entry recorded on Unix gets the entry's read, write
// and execute bits, as far as the process's umask allows (never set-uid, set-gid or
// sticky); other entries get the default of a new file.
//
// Nothing is ever written outside the current folder: an entry whose name is absolute,
// carries a drive or has a ".." part, and a symbolic link, is skipped and reported as
// kZipErrUnsafeName. Each file is written under a temporary name in its folder and
// renamed into place only when all of it was read and checked, so a wrong password, a
// damaged entry or a full disk never leaves a half-written file under a real name.
//
// An entry that cannot be read (unsafe name, wrong password, damaged data, unsupported
// method) is skipped and extraction goes on with the next; a file that cannot be
// written stops it. The result names the first failure.
ExtractResult ExtractAll(zip_t* archive, const std::string& password);

}  // namespace px

#endif  // PX_ARCHIVE_EXTRACT_H_
