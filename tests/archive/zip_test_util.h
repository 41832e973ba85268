// Helpers for the archive tests: archives made directly with libzip or the system zip
// program, and the text the message boxes showed.
#ifndef PX_TESTS_ARCHIVE_ZIP_TEST_UTIL_H_
#define PX_TESTS_ARCHIVE_ZIP_TEST_UTIL_H_

#include <zip.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "ui/backend.h"
#include "ui/console_backend.h"

namespace px::test {

struct ZipEntrySpec {
  std::string name;
  std::string data;
  bool symlink = false;  // stored as a Unix symbolic link pointing to data
};

// Writes an archive at a host path with libzip, entries stored or deflated, encrypted
// with the method when a password is given.
void MakeZip(const std::string& host_path, const std::vector<ZipEntrySpec>& entries,
             const std::string& password = "", zip_uint16_t method = ZIP_EM_TRAD_PKWARE,
             zip_int32_t compression = ZIP_CM_DEFLATE);

// True when the program can be run from the shell.
bool HaveProgram(const std::string& name);

// Runs a shell command; its exit status (-1 when it could not run).
int Shell(const std::string& command);

// Runs a shell command and returns what it wrote on standard output.
std::string ShellOutput(const std::string& command);

// Collects every message box shown while it lives, one "[Caption] text" line each.
class ShownMessages {
 public:
  ShownMessages();
  std::string text() const { return out_.str(); }

 private:
  std::ostringstream out_;
  std::unique_ptr<ConsoleBackend> backend_;
  ScopedUiBackend scope_;
};

// The names of the entries of a folder (host path), sorted.
std::vector<std::string> FolderNames(const std::string& host_path);

}  // namespace px::test

#endif  // PX_TESTS_ARCHIVE_ZIP_TEST_UTIL_H_
