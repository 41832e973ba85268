// MAIN: the entry point of the update installer, started with the installation folder
// (the one holding indexdef.dbf) as the current folder.
#ifndef PX_APP_DRIVER_MAIN_H_
#define PX_APP_DRIVER_MAIN_H_

namespace px {

// Makes the folder it was started in the folder of the error logs (runtime/error.h)
// for its run, creates the process-wide variables OWND, OFONTW, LDEBUG and _NETWORK,
// applies the engine settings, starts the run's section of update.log (update_log.h;
// only in a folder that holds the catalogue), finishes the file renames an interrupted
// update left pending, repairs the catalogue's obsolete "..\PXC\" paths, creates the font and the
// main window and runs it. Once the window is up, it runs UPDATE, then starts the main
// application "PX" from the folder it was started in (whatever UPDATE did; a launch
// failure is ignored) and ends the window, which ends the program.
//
// The debug trace (LDEBUG) is off unless the environment variable PX_UPDATE_DEBUG is
// "1".
void MAIN();

// The engine settings of the installer, in this order: deleted on (11), confirm on
// (27), date format "dd/mm/yy" ("dd/mm/yyyy" with four-digit years on) (4), epoch
// 1950 (5), the file-handle limit raised to 150, exclusive on (8).
void ApplyInstallerSettings();

// Empties the PATH of every catalogue row whose PATH is "..\PXC\" (any letter case,
// trailing blanks allowed), each under a record lock (RECLOCK(2)). The catalogue is
// indexdef in the current folder, opened exclusively; when there is none, or another
// workstation holds it, there is nothing to repair now. Returns the count of paths
// emptied.
int RepairCataloguePaths();

}  // namespace px

#endif  // PX_APP_DRIVER_MAIN_H_
