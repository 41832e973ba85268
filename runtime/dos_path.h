// Conversion between the system's DOS paths and host paths, in one place.
//
// POSIX: each drive letter maps to a host folder. C: maps to "/" unless told otherwise;
// the environment variable PX_DRIVES adds or overrides letters ("D=/media/usb;E=/srv/up").
// An unmapped drive behaves like a missing drive. The current drive is the mapped drive
// whose folder is the longest prefix of the host's current folder.
//
// Windows: the host path is the real Windows path. The drives are the system's own
// (Root() is "X:\" for a drive Windows has; PX_DRIVES is not read), UNC paths
// ("\\server\share\x") lie on no drive, and letter case is left to the file system.
// Host paths are absolute, with backslashes; names are bytes in the ANSI code page, as
// everywhere in the system. Set() still lets a letter stand for a folder, for tests
// that give an update source a drive of its own.
//
// On both, like DOS, the map remembers a current folder per drive: the folder a
// drive-relative name ("D:x") starts from and the one that making the drive current
// returns to (runtime/folders.h).
#ifndef PX_RUNTIME_DOS_PATH_H_
#define PX_RUNTIME_DOS_PATH_H_

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace px {

class DriveMap {
 public:
  // C: -> "/" plus the letters of PX_DRIVES (POSIX); no letters of its own (Windows).
  static DriveMap FromEnvironment();
  // Host folder of a drive letter (either case), or nothing when unmapped.
  std::optional<std::string> Root(char letter) const;
  void Set(char letter, std::string host_folder);
  void Remove(char letter);
  // The drive whose folder is the longest prefix of host_path (a '\0' when none), and
  // the rest of the path after that folder, without a leading '/'.
  char DriveOf(std::string_view host_path, std::string* rest) const;

  // The remembered current folder of a drive (a host path), or nothing when the drive
  // has none yet: its root is then meant. Set() and Remove() forget it.
  std::optional<std::string> CurrentFolder(char letter) const;
  // Remembers host_folder as the current folder of the drive it lies on (when any).
  void NoteCurrentFolder(std::string_view host_folder);

 private:
  std::map<char, std::string> roots_;    // upper-case letter -> folder without trailing '/'
  std::map<char, std::string> current_;  // upper-case letter -> remembered host folder
};

// The process's drive map (read from the environment on first use).
DriveMap& GetDriveMap();

// True when the name starts with a drive letter and a colon.
bool HasDrive(std::string_view name);

// Converts a system name to a host path without touching the file system.
// POSIX: "C:\PX\a.dbf" -> "/PX/a.dbf" through the drive map; "\PX\a" -> the current
// drive's folder + "/PX/a"; "temp\x" -> "temp/x"; a name starting with "/" is already a
// host path. Returns false for a drive that is not mapped.
// Windows: the full path ("temp\x" -> "C:\cur\temp\x", "/a/b" -> "C:\a\b", "D:x" ->
// D:'s current folder + "\x"), without the "\\?\" prefix of long paths (the Env adds it
// at the call). Returns false for a name Windows cannot make a full path of.
bool DosToHost(std::string_view name, std::string* host);

// The DOS form of a host path ("/PX/a.dbf" -> "C:\PX\a.dbf"); a path outside every
// mapped drive is returned with '/' turned into '\' and no drive. On Windows the path
// itself, with backslashes and without a "\\?\" prefix.
std::string HostToDos(std::string_view host_path);

// True for a host path that does not depend on the current folder ("/x" on POSIX;
// "C:\x" or "\\server\share" on Windows).
bool IsAbsoluteHostPath(std::string_view host_path);

// Splits a system name at its last separator ("\", "/" or the drive colon):
// folder part (with its separator) and file part.
void SplitPath(std::string_view name, std::string* folder, std::string* file);
// Base name without extension, and extension with its dot ("" when none).
void SplitExtension(std::string_view file, std::string* base, std::string* ext);

}  // namespace px

#endif  // PX_RUNTIME_DOS_PATH_H_
