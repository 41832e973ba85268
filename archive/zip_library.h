// The zip library: archive objects behind opaque handles, on libzip.
//
// A handle is a non-zero 32-bit number from ZipHandle_New; 0 means no handle could be
// had. Every other call takes a handle and fails (-1, code kZipErrBadHandle) for one
// that is not live. Each handle keeps the error code of its last failed operation
// (archive/zip_errors.h). Only reading is supported: an archive is opened with mode 0,
// its entries extracted into the current folder, and the handle closed.
//
// The handle table is the zip service's process-wide state. It lives in
// zip_library.cc and nowhere else; one thread uses it.
#ifndef PX_ARCHIVE_ZIP_LIBRARY_H_
#define PX_ARCHIVE_ZIP_LIBRARY_H_

#include <cstdint>
#include <functional>
#include <string>

namespace px {

// A callback block the program may register on a handle (asked for the next disk of a
// spanned archive). The program owns it and releases it after closing the handle.
struct ZipDiskBlock {
  std::function<bool(int disk)> insert_disk;
};

// A fresh handle, or 0 when none can be had (too many live handles).
int32_t ZipHandle_New();

// Opens an archive (a file name relative to the current folder, DOS or host form) on
// the handle. Mode 0 opens an existing archive for reading; other modes fail. 0 on
// success, -1 on failure with the code recorded.
int32_t ZipHandle_Open(int32_t handle, const std::string& name, int32_t mode);

// The password for every following extraction of the handle ("" for none).
void ZipHandle_SetPassWord(int32_t handle, const std::string& password);

// Extracts every entry into the current folder (archive/extract.h: entries at the top
// level land in it, files of the same name are replaced, unsafe names are refused).
// The number of files written, or -1 with the code of the first failure recorded.
int32_t ZipHandle_Extract(int32_t handle);

// The code of the handle's last failed operation; 0 when none failed;
// kZipErrBadHandle for a handle that is not live.
int32_t ZipHandle_GetLastError(int32_t handle);

// The block registered on the handle, or nullptr.
ZipDiskBlock* ZipHandle_GetDiskBlock(int32_t handle);
// Registers a block on the handle; the caller keeps ownership.
void ZipHandle_SetDiskBlock(int32_t handle, ZipDiskBlock* block);

// Closes the handle's archive and ends the handle.
void ZipArchive_Close(int32_t handle);

// The number of live handles (to check that callers close what they open).
int LiveZipHandles();

}  // namespace px

#endif  // PX_ARCHIVE_ZIP_LIBRARY_H_
