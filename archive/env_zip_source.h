// libzip data sources that reach files through the Env, so that archive access makes
// no file-system call of its own (and honours the share-mode emulation of every open).
#ifndef PX_ARCHIVE_ENV_ZIP_SOURCE_H_
#define PX_ARCHIVE_ENV_ZIP_SOURCE_H_

#include <zip.h>

#include <cstdint>
#include <string>

namespace px {

// A seekable source over an existing file, for adding it to an archive: opened for
// reading, shared, when libzip starts reading and closed when it stops. mtime (seconds
// since the epoch, 0 for unknown) becomes the entry's date. nullptr on failure with
// *error set. The source belongs to the caller until libzip takes it over.
zip_source_t* NewEnvFileSource(const std::string& name, int64_t mtime, zip_error_t* error);

// A source for zip_open_from_source over the archive file itself: readable, and
// writable when the archive is changed. A missing file is reported as missing, so that
// ZIP_CREATE makes a new archive. Changes are written to a temporary file in the
// archive's folder and renamed over the archive only when libzip commits them: a
// failed or abandoned write leaves the archive as it was, and the new one is committed to
// the disk before it replaces the old. A scratch archive (durable false: one that no one
// keeps) is written in place instead, without a commit.
zip_source_t* NewEnvArchiveSource(const std::string& name, zip_error_t* error, bool durable = true);

}  // namespace px

#endif  // PX_ARCHIVE_ENV_ZIP_SOURCE_H_
