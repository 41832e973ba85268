// Drives and the current folder.
//
// Drives are the letters of the drive map (runtime/dos_path.h). Like DOS, each drive
// keeps its own current folder: changing folders remembers where the process is on the
// drive it is on, and making a drive current returns to the folder remembered for it
// (its root the first time). None of these operations raises an error; failures show in
// their results only.
#ifndef PX_RUNTIME_FOLDERS_H_
#define PX_RUNTIME_FOLDERS_H_

#include <string>

#include "runtime/value.h"

namespace px {

// The current drive's letter, upper case, without the colon; "" when the current
// folder lies on no mapped drive.
std::string CURDRIVE();

// Makes the drive of the text ("D:", "d", "D:\x": its first letter counts) current, in
// the folder remembered for it, or its root when that folder is gone. False for text
// that names no drive, for an unmapped drive and when the folder cannot be entered.
bool SETCURDRIVE(const Value& drive);

// The current folder without drive, colon and first backslash ("PX\temp"; "" at the top
// of a drive). The whole path, however long.
std::string GETCURDIR();

// Changes the current folder (a DOS or host path; a path with a drive makes that drive
// current too). 0 on success, else the DOS error code; -1 when path is not text.
int DIRCHANGE(const Value& path);

// Creates one folder. 0 on success, else the DOS error code; -1 when path is not text.
int MAKEDIR(const Value& path);

}  // namespace px

#endif  // PX_RUNTIME_FOLDERS_H_
