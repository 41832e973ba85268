#include "archive/zip_service.h"

#include <cstdint>
#include <memory>

#include "archive/zip_library.h"

namespace px {

int ZIPNEW() {
  const int32_t handle = ZipHandle_New();
  return handle == 0 ? -1 : handle;
}

int ZIPOPEN(int handle, const std::string& archive, const Value& mode) {
  const int32_t m = mode.is_number() ? static_cast<int32_t>(mode.integer()) : 0;
  return ZipHandle_Open(handle, archive, m);
}

void ZIPSETPASSWORD(int handle, const std::string& password) {
  ZipHandle_SetPassWord(handle, password);
}

int ZIPEXTRACTFILES(int handle) {
  return ZipHandle_Extract(handle);
}

int ZIPGETLASTERROR(int handle) {
  return ZipHandle_GetLastError(handle);
}

void ZIPCLOSE(int handle) {
  std::unique_ptr<ZipDiskBlock> block(ZipHandle_GetDiskBlock(handle));
  ZipArchive_Close(handle);
}

}  // namespace px
