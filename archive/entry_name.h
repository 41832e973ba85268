// Checking the name of an archive entry before anything is written for it.
#ifndef PX_ARCHIVE_ENTRY_NAME_H_
#define PX_ARCHIVE_ENTRY_NAME_H_

#include <string>
#include <string_view>
#include <vector>

namespace px {

// An entry name taken apart into the folders and file it stands for below the
// extraction folder.
struct EntryPath {
  std::vector<std::string> parts;  // folder names, then the file name (if any)
  bool is_folder = false;          // the name ends in a separator
  // The relative DOS path of the first n parts ("sub\file.dbf").
  std::string Join(size_t n) const;
  std::string Join() const { return Join(parts.size()); }
};

enum class EntryNameCheck {
  kPath,     // a file or folder below the extraction folder
  kNothing,  // only "." parts: the extraction folder itself
  kUnsafe,   // must never be written
};

// Splits an entry name at "/" and "\" (archives made on DOS use either), dropping empty
// and "." parts. Unsafe: an empty or absolute name (leading separator), a drive or any
// other colon ("C:\x", "./C:x"), a ".." part or a NUL byte.
EntryNameCheck ParseEntryName(std::string_view name, EntryPath* out);

}  // namespace px

#endif  // PX_ARCHIVE_ENTRY_NAME_H_
