// BACKZIP: the compulsory backup of the data before an update.
#ifndef PX_APP_DRIVER_BACKZIP_H_
#define PX_APP_DRIVER_BACKZIP_H_

#include <string>

namespace px {

// Zips every .db* file of the current folder into backup\PXBn.zip, n being sysinfo's
// BACKUP counter (set to 1 when it is 0, then counted up for the next backup; just
// "PXB" when sysinfo cannot be opened). Writes the one-line batch file BACKUP.BAT
// ("PKZIP25 -add backup\PXBn *.db*" when pkzip25.exe is in the folder, else
// "PKZIP backup\PXBn *.db*"), closes every work area so that the zip program can read
// every table, runs the batch file behind the wait window "Zip (Working)" and waits
// for it. The work area selected on entry is selected again. Whether the backup is whole
// is for the caller to judge (update_checks.h): BACKZIP shows no message of its own.
struct BackupResult {
  std::string archive;  // "backup\PXB3" as the batch line names it; "" when none was made
  int exit_code = -1;   // of the batch file; -1 when it did not run
};
BackupResult BACKZIP();

// The batch line for an archive path ("backup\PXB1").
std::string BackupCommandLine(const std::string& archive_path, bool have_pkzip25);

}  // namespace px

#endif  // PX_APP_DRIVER_BACKZIP_H_
