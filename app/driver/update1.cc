#include "app/driver/update1.h"

#include <optional>

#include "app/driver/backzip.h"
#include "app/driver/catalogue_reset.h"
#include "app/driver/driver_vars.h"
#include "app/driver/index_rebuild_driver.h"
#include "app/driver/layout.h"
#include "app/driver/migration.h"
#include "app/driver/msgdebug.h"
#include "app/driver/phase_times.h"
#include "app/driver/recovery.h"
#include "app/driver/update_checks.h"
#include "app/driver/update_log.h"
#include "app/driver/update_run.h"
#include "engine/workarea/registry.h"
#include "runtime/call_stack.h"
#include "runtime/env.h"
#include "runtime/folders.h"
#include "runtime/memvars.h"
#include "ui/dialog.h"
#include "ui/get.h"
#include "ui/messages.h"

namespace px {

namespace {

// Phase 6: the non-modal progress dialog with its read-only field.
void OpenProgressDialog(UpdateRun& run) {
  run.progress_dialog = TDialog::New({.top = 13,
                                      .left = 20,
                                      .bottom = 20,
                                      .right = 88,
                                      .caption = "Updating ParVex",
                                      .font = DriverFontVar()});
  std::shared_ptr<TGet> field = TGet::New({.row = 1,
                                           .col = 2,
                                           .var = BindString(&run.progress.text),
                                           .owner = run.progress_dialog.get(),
                                           .width = UnitsAcross(240),
                                           .height = UnitsDown(12),
                                           .read_only = true});
  run.progress.field = field;
  run.progress_dialog->Activate({.modal = false});
  SYSREFRESH();
}

}  // namespace

UpdateRun::~UpdateRun() {
  EndWindows();
}

void UpdateRun::EndWindows() {
  if (progress_dialog != nullptr) progress_dialog->End();
  if (index_window != nullptr) index_window->End();
}

void UPDATE1(const std::string& from_drive, const std::string& to_drive,
             const std::string& to_folder, const std::string& from_folder,
             const std::string& /*program*/, const std::string& archive_base, UpdateLog* log) {
  CallStep step("UPDATE1", 1);
  ScopedMemVars vars;
  UpdateRun run;
  if (log != nullptr) run.log = log;
  UpdateLog& notes = *run.log;
  run.paths = PathVars::Make(from_drive, to_drive, to_folder, from_folder);
  run.paths.Publish(vars);
  const PathVars& p = run.paths;
  CURSORWAIT();
  notes.Source(p.from_drvpth, GetEnv()->HostPath(p.from_drvpth));
  const auto phase = [&](int number, const char* what) {
    step.set_line(number);
    notes.Phase(number, what);
  };

  // A check that fails before anything was changed ends the update as a cancel does.
  bool stopped = false;
  const auto stop_unless_passed = [&](const std::string& alert) {
    if (alert.empty()) return;
    stopped = true;
    MSGALERT(alert);
    notes.Stopped(alert);
    BREAK();
  };

  // Recovery point A: a BREAK in phases 3 to 12 goes on with phase 14.
  const bool whole = RecoveryPoint([&] {
    phase(3, "backup");
    stop_unless_passed(CheckInstallation(p));
    const BackupResult backup = [] {
      PhaseTimer t("backup");
      return BACKZIP();
    }();
    notes.Backup(backup.archive, backup.exit_code);
    stop_unless_passed(CheckBackup(backup));

    phase(4, "source folder");
    EnterFolder(p.from_drive, p.from_path);
    MSGDEBUG("Changed to FROM Directory");

    phase(5, "target folder");
    EnterFolder(p.to_drive, p.to_path);
    MSGDEBUG("Changed to TO Directory");
    stop_unless_passed(CheckNothingHeld(p, archive_base));

    phase(6, "progress window");
    std::optional<PhaseTimer> staging(std::in_place, "staging");
    OpenProgressDialog(run);

    phase(7, "temp folder");
    MAKEDIR(Value::String("temp"));
    if (DIRCHANGE(Value::String("temp")) != 0) AlertAndBreak("Unable to Access Lib Directory");

    phase(8, "unpacking the update");
    if (!archive_base.empty()) {
      notes.Archive(p.from_drvpth + archive_base + ".zip");
      StageArchive(run, archive_base);
    }

    phase(9, "bitmaps");
    InstallBitmaps(run);

    phase(10, "target folder");
    EnterFolder(p.to_drive, p.to_path);
    MSGDEBUG("Changed to TO Directory");

    phase(11, "saving the catalogue");
    SaveOldCatalogue(run);

    phase(12, "table migration");
    staging.reset();
    {
      PhaseTimer t("migration");
      run.progress.Show("Opening Setup Files.");
      MigrateTables(p, run.progress, run.log);
    }
    if (run.rebuild) {
      PhaseTimer t("reset");
      ResetCataloguePaths(p, run.progress);
    }
  });

  if (stopped) return;
  if (!whole) notes.StretchAbandoned();

  phase(14, "closing tables");
  DBCLOSEALL();

  phase(15, "index rebuild and repairs");
  RebuildIndexesAndRepair(run);

  // A BREAK from here on ends UPDATE1 (UPDATE catches it).
  PhaseTimer install("install");
  phase(16, "program files");
  InstallProgramFiles(run);
  phase(17, "libraries");
  InstallLibraries(run);
  phase(18, "cleaning the temp folder");
  CleanTempArea(run);

  phase(19, "closing windows");
  run.EndWindows();
  notes.Completed();
}

}  // namespace px
