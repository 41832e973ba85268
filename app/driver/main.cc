#include "app/driver/main.h"

#include <cstdlib>
#include <memory>
#include <string>

#include "app/data/catalogue_fields.h"
#include "app/data/index_rebuild.h"
#include "app/driver/open_by_alias.h"
#include "app/driver/rename_journal.h"
#include "app/driver/serial_journal.h"
#include "app/driver/update.h"
#include "app/driver/update_log.h"
#include "app/driver/update_log_recorder.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "runtime/call_stack.h"
#include "runtime/env.h"
#include "runtime/error.h"
#include "runtime/memvars.h"
#include "runtime/settings.h"
#include "ui/font.h"
#include "ui/launch.h"
#include "ui/window.h"

namespace px {

namespace {

bool DebugRequested() {
  const char* flag = std::getenv("PX_UPDATE_DEBUG");
  return flag != nullptr && std::string(flag) == "1";
}

}  // namespace

void ApplyInstallerSettings() {
  SET(SetId::kDeleted, Value::String("ON"));
  SET(SetId::kConfirm, Value::String("ON"));
  const bool century = SET(SetId::kCentury).is_logical() && SET(SetId::kCentury).logical();
  SET(SetId::kDateFormat, Value::String(century ? "dd/mm/yyyy" : "dd/mm/yy"));
  SET(SetId::kEpoch, Value::Integer(1950));
  SETHANDLECOUNT(150);
  SET(SetId::kExclusive, Value::String("ON"));
}

int RepairCataloguePaths() {
  if (!CatalogueHere()) return 0;
  DBSELECTAREA(0);
  DBUSEAREA(false, "", "indexdef", "indexdef");
  if (!USED()) return 0;
  int repaired = 0;
  if (const int path = FIELDPOS("PATH"); path > 0) {
    for (DBGOTOP(); !EOF_(); DBSKIP(1)) {
      const Value v = FIELDGET(path);
      if (!v.is_string() || UpperText(TrimRight(v.str())) != "..\\PXC\\") continue;
      if (RECLOCK(2)) {
        FIELDPUT(path, Value::String(std::string(10, ' ')));
        DBUNLOCK();
        ++repaired;
      }
    }
  }
  DBCLOSEAREA();
  return repaired;
}

void MAIN() {
  CallStep step("MAIN");
  // Error logs go to the installation folder whatever folder the update is in when an
  // error arises: the files of the temp folder are erased at the end of the update.
  const std::string start_folder = GetEnv()->CurrentDir();
  ScopedErrorLogFolder log_folder(start_folder);
  ScopedMemVars vars;
  for (const char* name : {"OWND", "OFONTW", "LDEBUG", "_NETWORK"}) vars.Create(name);
  ApplyInstallerSettings();
  GetMemVars().Set("LDEBUG", Value::Logical(DebugRequested()));
  GetMemVars().Set("_NETWORK", Value::String(""));

  // Each run of the installer adds a section to update.log, but only in an installation:
  // a folder started in by mistake gets nothing written.
  UpdateLog no_log;
  std::unique_ptr<UpdateLog> run_log =
      CatalogueHere() ? std::make_unique<UpdateLog>(start_folder) : nullptr;
  UpdateLog& log = run_log != nullptr ? *run_log : no_log;
  UpdateLogRecorder recorder(log);

  // A table and its memo file that an interrupted update was putting in place are
  // finished before anything opens them, and serial numbers it drew for quote lines
  // that never reached cqass are given back.
  Env* env = GetEnv();
  const bool renames_pending = env->FileExists(kRenameJournal);
  const bool renames_done = CompletePendingRenames("");
  if (renames_pending) {
    log.Line(renames_done ? "Start: finished putting in place the tables an interrupted update "
                            "had left in zzrename.jnl"
                          : "Start: the tables an interrupted update left in zzrename.jnl could "
                            "not all be put in place");
  }
  if (CatalogueHere()) {
    RepairCatalogueIndex();
    const bool draw_pending = env->FileExists(kSerialJournal);
    const bool draw_undone = UndoPendingSerialDraw();
    if (draw_pending) {
      log.Line(draw_undone ? "Start: gave back the quote serial numbers an interrupted update "
                             "had drawn (zzserial.jnl)"
                           : "Start: the quote serial numbers in zzserial.jnl could not be given "
                             "back yet");
    }
  }
  if (const int repaired = RepairCataloguePaths(); repaired > 0) {
    log.Line("Start: " + std::to_string(repaired) + " catalogue paths \"..\\PXC\\\" emptied");
  }

  std::shared_ptr<TFont> font =
      TFont::New({.face = "Arial", .width = 0, .height = -12, .bold = true});
  GetMemVars().Set("OFONTW", Value::MakeObject(font));
  std::shared_ptr<TWindow> window = TWindow::New({.top = 1,
                                                  .left = 1,
                                                  .bottom = 1,
                                                  .right = 1,
                                                  .sys_menu = true,
                                                  .caption_bar = true,
                                                  .minimize_box = true,
                                                  .maximize_box = true});
  GetMemVars().Set("OWND", Value::MakeObject(window));
  // An update that stopped part-way may leave the process in the update folder or the
  // temp folder; the main application is started from the installation folder, where
  // the installer was started, so that it is found and finds its data.
  TWindowActivateArgs activate;
  activate.on_init = [start_folder, &log](TWindow& w) {
    UPDATE(&log);
    log.End();
    GetEnv()->ChangeDir(start_folder);
    WINEXEC("PX", kShowNormal);
    w.End();
  };
  window->Activate(activate);
}

}  // namespace px
