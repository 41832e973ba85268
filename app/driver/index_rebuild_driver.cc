#include "app/driver/index_rebuild_driver.h"

#include "app/data/index_rebuild.h"
#include "app/driver/driver_vars.h"
#include "app/driver/layout.h"
#include "app/driver/open_by_alias.h"
#include "app/driver/phase_times.h"
#include "app/driver/repairs.h"
#include "app/driver/snapshot.h"
#include "app/driver/update_run.h"
#include "runtime/call_stack.h"
#include "ui/dialog.h"
#include "ui/get.h"
#include "ui/messages.h"
#include "ui/say.h"

namespace px {

namespace {

constexpr Rgb kWhite = RgbOf(255, 255, 255);
constexpr Rgb kGreen = RgbOf(0, 255, 0);
constexpr Rgb kBlack = RgbOf(0, 0, 0);
// A pop-up window alone: no title bar is drawn.
constexpr uint32_t kPopupStyle = 2147483648u;

}  // namespace

std::shared_ptr<TDialog> OpenIndexRebuildWindow(Progress& progress) {
  std::shared_ptr<TDialog> window = TDialog::New({.top = 160,
                                                  .left = 70,
                                                  .bottom = 270,
                                                  .right = 530,
                                                  .caption = "Thinking......",
                                                  .style = kPopupStyle,
                                                  .text_color = kWhite,
                                                  .back_color = kGreen,
                                                  .pixel = true,
                                                  .font = DriverFontVar()});
  TSay::New({.row = RowOf(10),
             .col = ColOf(20),
             .text = ConstText("Rebuilding Index Files."),
             .owner = window.get(),
             .pixel = true,
             .text_color = kBlack,
             .back_color = kGreen});
  progress.field = TGet::New({.row = RowOf(23),
                              .col = ColOf(20),
                              .var = BindString(&progress.text),
                              .owner = window.get(),
                              .width = UnitsAcross(200),
                              .height = UnitsDown(12),
                              .text_color = kBlack,
                              .back_color = kGreen,
                              .pixel = true,
                              .read_only = true,
                              .no_border = true});
  window->Activate({.modal = false});
  SYSREFRESH();
  CURSORWAIT();
  return window;
}

void RebuildIndexesAndRepair(UpdateRun& run) {
  CallStep step("REBUILD");
  run.progress.Show("Rebuilding Index Files. Please Wait...");
  run.index_window = OpenIndexRebuildWindow(run.progress);
  // Without a catalogue (the installation had none and the update shipped none) there
  // is nothing to rebuild from.
  if (CatalogueHere()) {
    PhaseTimer t("rebuild");
    INIT_IDX(false, false, run.index_window.get(), &run.progress.text, run.progress.field.get());
  } else {
    MSGALERT("Unable to Rebuild Index Files: there is no table catalogue INDEXDEF.DBF.");
  }
  SYSREFRESH();
  CURSORWAIT();
  // The picture is taken once the window has been on the screen for the whole rebuild:
  // a window shown a moment ago may not have been drawn yet.
  SnapshotDialog(*run.index_window, "index_rebuild_window");
  {
    PhaseTimer t("chkblank");
    CHKBLANK();
  }
  {
    PhaseTimer t("cleanup");
    CLEANUP(run.index_window.get(), &run.progress.text, run.progress.field.get());
  }
  PhaseTimer t("setup");
  SETUP();
}

}  // namespace px
