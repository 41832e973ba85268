// UPDATE1: the update procedure, from the backup to the installed program files.
//
// Runs strictly in sequence on the calling thread, with the installation folder as the
// current folder at the start:
//    3  BACKZIP: backup of every table into backup\PXBn.zip, once the current folder
//       proved to be an installation; stop unless the backup is whole
//    4  enter the source folder ("Unable to Access Directory: " on failure)
//    5  enter the target folder (the same message); stop when another workstation
//       holds a table the update will change
//    6  the progress dialog "Updating ParVex"
//    7  create and enter "temp" ("Unable to Access Lib Directory")
//    8  copy the archive into temp and unpack it with the update password
//    9  install the bitmaps, never LOGO.BMP or LOGOP.BMP
//   10  back to the target folder
//   11  keep a copy of the catalogue as oldexdef.dbf (TREBUILD)
//   12  migrate the tables of updatdef; carry the catalogue's folder paths over
//   14  close all work areas
//   15  rebuild every index, then CHKBLANK, CLEANUP, SETUP
//   16  install the program files (*.exe)
//   17  install the libraries (*.dll), never KVRZIPDLL.DLL
//   18  empty the temp folder
//   19  close the progress windows
// A BREAK in phases 3 to 12 ends that stretch (recovery point A) and the procedure goes
// on with phase 14; a BREAK in phases 16 to 18 ends UPDATE1 (UPDATE catches it). A check
// of update_checks.h that fails shows its alert and ends UPDATE1 at once, before the
// first change to the installation.
#ifndef PX_APP_DRIVER_UPDATE1_H_
#define PX_APP_DRIVER_UPDATE1_H_

#include <string>

namespace px {

class UpdateLog;

// Arguments in the order UPDATE passes them: source drive ("D:"), target drive, target
// folder ("\PX", "" for a root), source folder, program name (not used), archive base
// name ("PXUPD"; empty skips staging and unpacking). What the phases do goes to `log`
// when one is given: the phase reached, the archive, the backup, each table, the
// repairs and indexes, and whether the update completed or where it stopped.
void UPDATE1(const std::string& from_drive, const std::string& to_drive,
             const std::string& to_folder, const std::string& from_folder,
             const std::string& program, const std::string& archive_base, UpdateLog* log = nullptr);

}  // namespace px

#endif  // PX_APP_DRIVER_UPDATE1_H_
