#include "archive/unzip_file.h"

#include <cstdio>
#include <string>

#include "archive/zip_errors.h"
#include "archive/zip_service.h"
#include "runtime/directory.h"
#include "ui/messages.h"

namespace px {

namespace {

// The code as a number right-aligned in 10 characters.
std::string Code10(int code) {
  char buf[32];
  std::snprintf(buf, sizeof(buf), "%10d", code);
  return buf;
}

// Closes the handle and restores the arrow cursor however the routine is left.
class UnzipScope {
 public:
  UnzipScope() { CURSORWAIT(); }
  ~UnzipScope() {
    if (handle_ != -1) ZIPCLOSE(handle_);
    CURSORARROW();
  }
  UnzipScope(const UnzipScope&) = delete;
  UnzipScope& operator=(const UnzipScope&) = delete;
  void set_handle(int handle) { handle_ = handle; }

 private:
  int handle_ = -1;
};

}  // namespace

Value UNZIPFILE(const Value& archive, const Value& password) {
  UnzipScope scope;
  if (!FILE(archive)) MSGINFO(std::string("Zip File Not Found"));
  const std::string name = archive.is_string() ? archive.str() : std::string();

  const int handle = ZIPNEW();
  if (handle == -1) {
    // No handle: nothing may be handed to the library; say why in the open's words.
    MSGALERT("-- Error: " + Code10(kZipErrNoHandle));
    return Value();
  }
  scope.set_handle(handle);
  if (ZIPOPEN(handle, name, Value::Integer(0)) == -1) {
    MSGALERT("-- Error: " + Code10(ZIPGETLASTERROR(handle)));
    return Value();
  }
  if (password.is_string()) ZIPSETPASSWORD(handle, password.str());
  if (ZIPEXTRACTFILES(handle) == -1) {
    MSGALERT("--- Error: " + Code10(ZIPGETLASTERROR(handle)));
  }
  return Value();
}

}  // namespace px
