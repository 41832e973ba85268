// Unpacking one archive into the current folder, with the messages of the update.
#ifndef PX_ARCHIVE_UNZIP_FILE_H_
#define PX_ARCHIVE_UNZIP_FILE_H_

#include "runtime/value.h"

namespace px {

// Unpacks the archive (a name relative to the current folder) into the current folder,
// with the password when one is passed (nil: none). Shows the wait cursor meanwhile.
// A missing archive shows "Zip File Not Found" and goes on to the open, which then
// fails; a failed open shows "-- Error: " and a failed extraction "--- Error: ", each
// followed by the error code right-aligned in 10 characters (archive/zip_errors.h).
// The handle is always closed. Returns nil; raises nothing.
Value UNZIPFILE(const Value& archive, const Value& password = Value());

}  // namespace px

#endif  // PX_ARCHIVE_UNZIP_FILE_H_
