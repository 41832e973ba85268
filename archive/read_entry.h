// Reading one entry of an archive into memory, without unpacking anything.
#ifndef PX_ARCHIVE_READ_ENTRY_H_
#define PX_ARCHIVE_READ_ENTRY_H_

#include <cstdint>
#include <string>

namespace px {

// Reads the top-level entry `entry` (its name matched without regard to letter case)
// of the archive into *bytes, decrypting with the password when one is given; entries
// larger than max_size are refused. 0 on success, else an archive/zip_errors.h code:
// kZipErrNotFound also when the archive holds no such entry.
int ReadArchiveEntry(const std::string& archive, const std::string& entry,
                     const std::string& password, std::string* bytes,
                     uint64_t max_size = 64u << 20);

}  // namespace px

#endif  // PX_ARCHIVE_READ_ENTRY_H_
