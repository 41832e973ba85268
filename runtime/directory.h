// Looking files up: FILE (does a file exist) and DIRECTORY (list files by mask).
//
// Masks follow DOS wildcard rules (runtime/dos_wildcard.h) and match without regard to
// letter case. A mask may carry a folder ("temp\*.exe", "D:\updates\*.zip"); the
// wildcards apply to its last part only. Neither operation raises an error.
#ifndef PX_RUNTIME_DIRECTORY_H_
#define PX_RUNTIME_DIRECTORY_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/value.h"

namespace px {

// True when an ordinary file of that name exists; false for names of 255 characters or
// more and for anything that is not text. A name without a folder is looked for in the
// default folder setting (empty: the current folder), then in each folder of the search
// path setting. A name with wildcards is true when any ordinary file matches.
bool FILE(const Value& name);

// One row of a listing.
struct DirectoryEntry {
  std::string name;        // as the folder holds it
  int64_t size = 0;        // bytes
  int64_t mtime = 0;       // last change, seconds since the epoch
  int32_t date = 0;        // day number of the last change (local time)
  std::string time;        // "hh:mm:ss" of the last change (local time)
  std::string attributes;  // "A" for a file, "D" for a folder, "H" before it when hidden
};

// The entries of the folder of mask that match its last part, in the order the
// operating system reports them. Without attribute letters only ordinary files are
// listed; "D" adds folders and "H" hidden entries (names beginning with a dot); "S" and
// "V" are accepted and add nothing (there are no system files or volume labels here).
// An empty mask is "*.*"; a mask ending in a separator lists that folder. A folder
// that cannot be read gives an empty list.
std::vector<DirectoryEntry> DirectoryEntries(std::string_view mask,
                                             std::string_view attributes = "");

// The same listing as an array of rows {name, size, date, time, attributes}. A mask
// that is not text is "*.*"; attributes that are not text are none.
Value DIRECTORY(const Value& mask = Value(), const Value& attributes = Value());

}  // namespace px

#endif  // PX_RUNTIME_DIRECTORY_H_
