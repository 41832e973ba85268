#include "archive/zip_library.h"

#include <zip.h>

#include <map>

#include "archive/env_zip_source.h"
#include "archive/extract.h"
#include "archive/zip_errors.h"

namespace px {

namespace {

constexpr int kMaxLiveHandles = 64;

struct ZipHandleState {
  zip_t* archive = nullptr;
  std::string password;
  int32_t last_error = kZipOk;
  ZipDiskBlock* disk_block = nullptr;
};

// The handle table.
struct HandleTable {
  std::map<int32_t, ZipHandleState> live;
  int32_t next = 1;
};

HandleTable& Table() {
  static HandleTable* table = new HandleTable();
  return *table;
}

ZipHandleState* Find(int32_t handle) {
  auto it = Table().live.find(handle);
  return it == Table().live.end() ? nullptr : &it->second;
}

}  // namespace

int32_t ZipHandle_New() {
  HandleTable& table = Table();
  if (static_cast<int>(table.live.size()) >= kMaxLiveHandles) return 0;
  // Handles count up; 0 and -1 are never handed out, nor a number still live.
  int32_t handle = table.next;
  while (handle == 0 || handle == -1 || table.live.count(handle) != 0) {
    handle = handle == INT32_MAX ? 1 : handle + 1;
  }
  table.next = handle == INT32_MAX ? 1 : handle + 1;
  table.live.emplace(handle, ZipHandleState());
  return handle;
}

int32_t ZipHandle_Open(int32_t handle, const std::string& name, int32_t mode) {
  ZipHandleState* h = Find(handle);
  if (h == nullptr) return -1;
  if (h->archive != nullptr) {
    h->last_error = kZipErrAlreadyOpen;
    return -1;
  }
  if (mode != 0) {
    h->last_error = kZipErrBadMode;
    return -1;
  }
  if (name.empty()) {
    h->last_error = kZipErrNotFound;
    return -1;
  }
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* src = NewEnvArchiveSource(name, &error);
  if (src != nullptr) {
    h->archive = zip_open_from_source(src, ZIP_RDONLY, &error);
    if (h->archive == nullptr) zip_source_free(src);
  }
  const int32_t code = h->archive == nullptr ? ZipOpenErrorCode(zip_error_code_zip(&error),
                                                                zip_error_code_system(&error))
                                             : kZipOk;
  zip_error_fini(&error);
  if (code != kZipOk) {
    h->last_error = code;
    return -1;
  }
  return 0;
}

void ZipHandle_SetPassWord(int32_t handle, const std::string& password) {
  if (ZipHandleState* h = Find(handle)) h->password = password;
}

int32_t ZipHandle_Extract(int32_t handle) {
  ZipHandleState* h = Find(handle);
  if (h == nullptr) return -1;
  if (h->archive == nullptr) {
    h->last_error = kZipErrNotOpen;
    return -1;
  }
  const ExtractResult result = ExtractAll(h->archive, h->password);
  if (result.error != kZipOk) {
    h->last_error = result.error;
    return -1;
  }
  return result.files;
}

int32_t ZipHandle_GetLastError(int32_t handle) {
  const ZipHandleState* h = Find(handle);
  return h == nullptr ? kZipErrBadHandle : h->last_error;
}

ZipDiskBlock* ZipHandle_GetDiskBlock(int32_t handle) {
  const ZipHandleState* h = Find(handle);
  return h == nullptr ? nullptr : h->disk_block;
}

void ZipHandle_SetDiskBlock(int32_t handle, ZipDiskBlock* block) {
  if (ZipHandleState* h = Find(handle)) h->disk_block = block;
}

void ZipArchive_Close(int32_t handle) {
  auto it = Table().live.find(handle);
  if (it == Table().live.end()) return;
  if (it->second.archive != nullptr) zip_discard(it->second.archive);
  Table().live.erase(it);
}

int LiveZipHandles() {
  return static_cast<int>(Table().live.size());
}

}  // namespace px
