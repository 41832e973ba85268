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
#include "app/driver/update_run.h"
#include "engine/workarea/registry.h"
#include "runtime/call_stack.h"
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
             const std::string& /*program*/, const std::string& archive_base) {
  CallStep step("UPDATE1", 1);
  ScopedMemVars vars;
  UpdateRun run;
  run.paths = PathVars::Make(from_drive, to_drive, to_folder, from_folder);
  run.paths.Publish(vars);
  const PathVars& p = run.paths;
  CURSORWAIT();

  // A check that fails before anything was changed ends the update as a cancel does.
  bool stopped = false;
  const auto stop_unless_passed = [&stopped](const std::string& alert) {
    if (alert.empty()) return;
    stopped = true;
    AlertAndBreak(alert);
  };

  // Recovery point A: a BREAK in phases 3 to 12 goes on with phase 14.
  RecoveryPoint([&] {
    step.set_line(3);
    stop_unless_passed(CheckInstallation(p));
    {
      PhaseTimer t("backup");
      stop_unless_passed(CheckBackup(BACKZIP()));
    }

    step.set_line(4);
    EnterFolder(p.from_drive, p.from_path);
    MSGDEBUG("Changed to FROM Directory");

    step.set_line(5);
    EnterFolder(p.to_drive, p.to_path);
    MSGDEBUG("Changed to TO Directory");
    stop_unless_passed(CheckNothingHeld(p, archive_base));

    step.set_line(6);
    std::optional<PhaseTimer> staging(std::in_place, "staging");
    OpenProgressDialog(run);

    step.set_line(7);
    MAKEDIR(Value::String("temp"));
    if (DIRCHANGE(Value::String("temp")) != 0) AlertAndBreak("Unable to Access Lib Directory");

    step.set_line(8);
    if (!archive_base.empty()) StageArchive(run, archive_base);

    step.set_line(9);
    InstallBitmaps(run);

    step.set_line(10);
    EnterFolder(p.to_drive, p.to_path);
    MSGDEBUG("Changed to TO Directory");

    step.set_line(11);
    SaveOldCatalogue(run);

    step.set_line(12);
    staging.reset();
    {
      PhaseTimer t("migration");
      run.progress.Show("Opening Setup Files.");
      MigrateTables(p, run.progress);
    }
    if (run.rebuild) {
      PhaseTimer t("reset");
      ResetCataloguePaths(p, run.progress);
    }
  });

  if (stopped) return;

  step.set_line(14);
  DBCLOSEALL();

  step.set_line(15);
  RebuildIndexesAndRepair(run);

  // A BREAK from here on ends UPDATE1 (UPDATE catches it).
  PhaseTimer install("install");
  step.set_line(16);
  InstallProgramFiles(run);
  step.set_line(17);
  InstallLibraries(run);
  step.set_line(18);
  CleanTempArea(run);

  step.set_line(19);
  run.EndWindows();
}

}  // namespace px
