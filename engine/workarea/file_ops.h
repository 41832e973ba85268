// Copying, renaming and erasing files, as the update driver moves files around its
// tables.
//
// File names are used as given: a name without a folder means the current folder (no
// default folder or search path applies). A file another open holds (another
// workstation, or a table open in this process) is never erased or renamed: the OS
// layer refuses with code 32, as the system's own platform does.
#ifndef PX_ENGINE_WORKAREA_FILE_OPS_H_
#define PX_ENGINE_WORKAREA_FILE_OPS_H_

#include <string>
#include <string_view>

#include "runtime/value.h"

namespace px {

// __COPYFILE (C++ reserves names with two leading underscores): copies `source` to
// `target`, replacing a file of that name, in pieces of 8,192 bytes. A target that did
// not exist also gets the execute bits of the source (as far as the umask allows); one
// that is replaced keeps its permission bits. The source is
// opened letting others read and write it, the target created without sharing.
// Failures go to the error handler ("BASE", naming the file): 21/2012 "Open error" for
// the source and 20/2012 "Create error" for the target are tried again while the
// handler answers retry; a piece written short raises 24/2016 "Write error" and is
// written again while the handler answers retry, else the copy goes on and fails; a
// piece that cannot be read raises 23/2016 "Read error", read again while the handler
// answers retry, else the copy stops and fails. A non-text argument raises 1/2010
// "Argument error". Returns nil on success, false when the copy failed.
Value COPYFILE(const Value& source, const Value& target);
inline Value COPYFILE(std::string_view source, std::string_view target) {
  return COPYFILE(Value::String(std::string(source)), Value::String(std::string(target)));
}

// FRENAME: moves the file `old_name` to `new_name`, which must not exist. 0 on success,
// -1 on failure or when an argument is not text; the OS code becomes FERROR(). Never
// raises an error.
int FRENAME(const Value& old_name, const Value& new_name);
inline int FRENAME(std::string_view old_name, std::string_view new_name) {
  return FRENAME(Value::String(std::string(old_name)), Value::String(std::string(new_name)));
}

// FERASE: deletes the file. 0 on success, -1 on failure or when the argument is not
// text; the OS code becomes FERROR(). Never raises an error.
int FERASE(const Value& file);
inline int FERASE(std::string_view file) {
  return FERASE(Value::String(std::string(file)));
}

// The OS error code of the last FRENAME or FERASE (0 after success).
int FERROR();

}  // namespace px

#endif  // PX_ENGINE_WORKAREA_FILE_OPS_H_
