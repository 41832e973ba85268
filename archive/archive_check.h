// Testing an archive: every entry readable and its data matching its CRC.
#ifndef PX_ARCHIVE_ARCHIVE_CHECK_H_
#define PX_ARCHIVE_ARCHIVE_CHECK_H_

#include <functional>
#include <string>

namespace px {

struct ArchiveCheck {
  int entries = 0;  // entries read
  int failed = 0;   // entries that could not be read or failed their check
  int error = 0;    // archive/zip_errors.h code of the first failure, 0 when none
};

// Reads every entry of the archive to its end (which checks its CRC), decrypting with
// the password when one is given. report is called once per entry with its name and
// "" or the reason it failed; an archive that cannot be opened at all gives one call
// with an empty name. Without a password the entries are read on every core; report is
// still called in entry order, once all are read.
ArchiveCheck CheckArchive(
    const std::string& archive, const std::string& password,
    const std::function<void(const std::string& entry, const std::string& problem)>& report);

}  // namespace px

#endif  // PX_ARCHIVE_ARCHIVE_CHECK_H_
