// The zip service: the operations through which the installer reaches the zip library
// (archive/zip_library.h), handing it numbers and strings.
#ifndef PX_ARCHIVE_ZIP_SERVICE_H_
#define PX_ARCHIVE_ZIP_SERVICE_H_

#include <string>

#include "runtime/value.h"

namespace px {

// A new handle; -1 when the library has none to give.
int ZIPNEW();

// Opens an archive on the handle; mode is taken as 0 when it is not a number. 0 on
// success, -1 on failure.
int ZIPOPEN(int handle, const std::string& archive, const Value& mode = Value());

// The password for the handle's following extractions.
void ZIPSETPASSWORD(int handle, const std::string& password);

// Extracts every entry into the current folder: the number of files written, -1 on
// failure.
int ZIPEXTRACTFILES(int handle);

// The error code of the handle's last failed operation (archive/zip_errors.h).
int ZIPGETLASTERROR(int handle);

// Closes the handle, then releases the disk block the program registered on it.
void ZIPCLOSE(int handle);

}  // namespace px

#endif  // PX_ARCHIVE_ZIP_SERVICE_H_
