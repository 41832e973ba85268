// What the phases of one update share, and the phases UPDATE1 runs (update1.h lists
// them in order). Each phase expects the current folder UPDATE1 leaves it.
#ifndef PX_APP_DRIVER_UPDATE_RUN_H_
#define PX_APP_DRIVER_UPDATE_RUN_H_

#include <memory>
#include <string>

#include "app/driver/path_vars.h"
#include "app/driver/progress.h"
#include "app/driver/update_log.h"

namespace px {

class TDialog;

// Ends the progress windows when it goes, also when a BREAK leaves UPDATE1 early.
struct UpdateRun {
  UpdateRun() = default;
  ~UpdateRun();
  UpdateRun(const UpdateRun&) = delete;
  UpdateRun& operator=(const UpdateRun&) = delete;
  // Phase 19: ends the progress dialog and the index rebuild window.
  void EndWindows();

  PathVars paths;
  Progress progress;
  std::shared_ptr<TDialog> progress_dialog;  // phases 6 to 19
  std::shared_ptr<TDialog> index_window;     // phases 15 to 19
  bool rebuild = false;                      // TREBUILD: the old catalogue was saved
  UpdateLog no_log;                          // writes nothing
  UpdateLog* log = &no_log;                  // the run's log, never null
};

// Shows the alert and abandons the stretch with BREAK.
[[noreturn]] void AlertAndBreak(const std::string& text);

// Enters drive + folder (the drive's root for an empty folder); when it cannot, shows
// "Unable to Access Directory: " with drive + folder and abandons the stretch with BREAK.
void EnterFolder(const std::string& drive, const std::string& folder);

// Phase 8: copies the archive from the source folder into temp (the current folder)
// and unpacks it there with the update password.
void StageArchive(UpdateRun& run, const std::string& archive_base);
// Phase 9: copies every bitmap of temp (the current folder) into the installation,
// except the two logo files.
void InstallBitmaps(UpdateRun& run);
// Phase 11: copies indexdef.dbf to oldexdef.dbf when there is one (TREBUILD).
void SaveOldCatalogue(UpdateRun& run);
// Phases 16, 17 and 18, from the installation folder; each BREAKs with its alert when
// a folder cannot be entered.
void InstallProgramFiles(UpdateRun& run);
void InstallLibraries(UpdateRun& run);
void CleanTempArea(UpdateRun& run);

}  // namespace px

#endif  // PX_APP_DRIVER_UPDATE_RUN_H_
