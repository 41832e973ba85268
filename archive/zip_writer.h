// Writing files into a zip archive (the backup's zip program, update archives).
#ifndef PX_ARCHIVE_ZIP_WRITER_H_
#define PX_ARCHIVE_ZIP_WRITER_H_

#include <cstdint>
#include <string>
#include <vector>

namespace px {

// One file to put into an archive.
struct ZipInput {
  std::string path;   // the file to read (DOS or host path)
  std::string entry;  // its name in the archive
  int64_t mtime = 0;  // its date, seconds since the epoch; 0: taken from the file
};

struct ZipWriteOptions {
  // Start a new archive, replacing any file of that name; otherwise add to an existing
  // archive (or start one), replacing entries of the same name in any letter case
  // (files whose names differ only in case are all kept: both exist on this host).
  bool new_archive = false;
  // Encrypt every written entry with traditional PKWARE encryption ("" for none).
  std::string password;
  // Deflate on up to this many threads (entries without a password only). The entries
  // and their data are the same whatever the number; the archive's layout may differ.
  int threads = 1;
  // Deflate level, 1 (fastest) to 9 (smallest). zlib's usual 6 by default: libzip's own
  // default (9) costs several times the time for a few per cent of size on table files.
  int level = 6;
};

// Writes the inputs (deflated) into the archive, each entry with its file's permission
// bits (Unix external attributes). The archive is written under a
// temporary name and renamed into place at the end, so on failure the old archive (or
// none) stays as it was. Every OS call goes through the Env. False on failure with a
// one-line message in *error.
bool WriteZip(const std::string& archive, const std::vector<ZipInput>& inputs,
              const ZipWriteOptions& options, std::string* error);

}  // namespace px

#endif  // PX_ARCHIVE_ZIP_WRITER_H_
