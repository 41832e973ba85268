// The path variables of the update: where it comes from, where it goes, and the temp
// folder it is staged in.
//
// For source D:\ and target C:\PX:
//   TFROMDRIVE "D:"  TFROMPATH ""     TFROMDRVPTH "D:\"
//   TTODRIVE   "C:"  TTOPATH   "\PX"  TTODRVPTH   "C:\PX\"
//   TTEMPPATH  "\PX\temp"             TTEMPDRVPTH "C:\PX\temp\"
// A folder has a leading backslash and no trailing one, and is empty for a drive root.
#ifndef PX_APP_DRIVER_PATH_VARS_H_
#define PX_APP_DRIVER_PATH_VARS_H_

#include <string>
#include <string_view>

namespace px {

class ScopedMemVars;

struct PathVars {
  std::string from_drive, from_path, from_drvpth;
  std::string to_drive, to_path, to_drvpth;
  std::string temp_path, temp_drvpth;

  // From the drives and folders UPDATE passes. A folder given with a trailing
  // backslash ("\PXUPD\") loses it, and "\" alone is the root.
  static PathVars Make(std::string_view from_drive, std::string_view to_drive,
                       std::string_view to_folder, std::string_view from_folder);

  // Creates TFROMDRIVE ... TTEMPDRVPTH for the life of `vars`.
  void Publish(ScopedMemVars& vars) const;

  // The installation folder's file of that name: TTODRIVE + TTOPATH + "\" + name.
  std::string Installed(std::string_view name) const { return to_drvpth + std::string(name); }
  // The temp folder's file of that name: TTODRIVE + TTEMPPATH + "\" + name.
  std::string Temp(std::string_view name) const { return temp_drvpth + std::string(name); }
};

// A folder in the form of the path variables: blanks trimmed, no trailing backslash,
// "" for the root.
std::string NormalizeFolder(std::string_view folder);

}  // namespace px

#endif  // PX_APP_DRIVER_PATH_VARS_H_
