// Telling a wrong password from a damaged entry, for the entries of one open archive.
//
// Opening an encrypted entry checks the password: traditional PKWARE encryption against
// one byte of the entry, AES against two. A failed check is a wrong password. But the
// check lets 1 wrong password in 256 through (1 in 65,536 for AES), and such a password
// then fails on the data (its CRC, or unpacking it) just as damaged data does. A data
// failure after a passed check is therefore a damaged entry, unless the same password
// fails the check of another encrypted entry of the archive: then it is a wrong
// password. A wrong password passes the checks of k entries only once in 256^k, so with
// several encrypted entries (an update archive has them) it is reported as one all but
// always; with a single encrypted entry nothing tells the two apart, and the entry is
// reported damaged.
#ifndef PX_ARCHIVE_ENTRY_FAILURE_H_
#define PX_ARCHIVE_ENTRY_FAILURE_H_

#include <zip.h>

#include <optional>
#include <string>
#include <utility>

namespace px {

class EntryFailures {
 public:
  // The archive must stay open while the object is used; password may be empty.
  EntryFailures(zip_t* archive, std::string password)
      : archive_(archive), password_(std::move(password)) {}

  // The code (archive/zip_errors.h) for libzip's failure (ZIP_ER_*) to open or read an
  // entry.
  int Code(int libzip_error, bool encrypted);
  // The code for an entry whose data came out other than its directory says (size).
  int DataFailure(bool encrypted);

 private:
  // Whether the password fails the check of some encrypted entry (asked once).
  bool PasswordRejected();

  zip_t* archive_;
  std::string password_;
  std::optional<bool> rejected_;
};

}  // namespace px

#endif  // PX_ARCHIVE_ENTRY_FAILURE_H_
