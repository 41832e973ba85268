// The update definition table updatdef: one row per table an update migrates.
#ifndef PX_APP_DRIVER_UPDATE_DEFINITION_H_
#define PX_APP_DRIVER_UPDATE_DEFINITION_H_

#include <string>
#include <vector>

namespace px {

// The password of every update archive.
inline constexpr char kUpdatePassword[] = "tamrok";

struct UpdateDefinitionRow {
  std::string name;  // DB_NAME right-trimmed: the table's base file name
  std::string path;  // PATH right-trimmed (read, never used to build a file name)
  bool bring_recs = false;
};

// The row of updatdef the current work area stands on; a missing field reads as "" or
// false.
UpdateDefinitionRow CurrentUpdateDefinitionRow();

// Reads updatdef.dbf out of the update archive (decrypted with the password) without
// unpacking anything into the installation: the table goes to a scratch file in the
// system's temporary folder (TEMP, else TMPDIR, else /tmp) for as long as it is read.
// Rows marked deleted are left out, as the migration skips them. False when the archive
// or the table cannot be read; errors raised meanwhile are not reported.
bool ReadUpdateDefinition(const std::string& archive, const std::string& password,
                          std::vector<UpdateDefinitionRow>* rows);

}  // namespace px

#endif  // PX_APP_DRIVER_UPDATE_DEFINITION_H_
