#include "app/driver/index_rebuild_driver.h"

#include <string>
#include <vector>

#include "app/data/catalogue_fields.h"
#include "app/data/index_rebuild.h"
#include "app/driver/driver_vars.h"
#include "app/driver/layout.h"
#include "app/driver/open_by_alias.h"
#include "app/driver/phase_times.h"
#include "app/driver/repairs.h"
#include "app/driver/snapshot.h"
#include "app/driver/update_log.h"
#include "app/driver/update_run.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "runtime/call_stack.h"
#include "runtime/env.h"
#include "runtime/error.h"
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

// One index file the catalogue asks the rebuild to make.
struct CatalogueIndex {
  std::string alias;
  std::string table;  // DB_NAME, upper case
  std::string file;   // PATH + IN_NAME (+ ".ntx")
};

// The index files the catalogue of the current folder names, its own first (records with
// NOINDEX set are passed over by the rebuild and left out here).
std::vector<CatalogueIndex> CatalogueIndexes() {
  // The rebuild makes the catalogue's own index first.
  std::vector<CatalogueIndex> list = {{std::string(kCatalogueAlias), UpperText(kCatalogueFile),
                                       std::string(kCatalogueFile) + ".ntx"}};
  const int area = SELECT();
  DBSELECTAREA(0);
  if (DBUSEAREA(false, "", kCatalogueFile, "LOGINDEXDEF", true, true)) {
    for (DBGOTOP(); !EOF_(); DBSKIP(1)) {
      const std::string index = CatalogueText("IN_NAME");
      if (index.empty() || CatalogueFlag("NOINDEX")) continue;
      std::string file = CatalogueText("PATH") + index;
      if (UpperText(file).find(".NTX") == std::string::npos) file += ".ntx";
      list.push_back({CatalogueText("DB_ALIAS"), UpperText(CatalogueText("DB_NAME")), file});
    }
    DBCLOSEAREA();
  }
  DBSELECTAREA(area);
  return list;
}

// Notes which indexes the rebuild made: an index fails when its file is missing
// afterwards or an error during the rebuild named it or its table.
void NoteIndexes(UpdateLog& log, const std::vector<std::string>& error_files) {
  const std::vector<CatalogueIndex> indexes = CatalogueIndexes();
  std::vector<std::string> failed;
  for (const CatalogueIndex& i : indexes) {
    bool ok = GetEnv()->FileExists(i.file);
    for (const std::string& named : error_files) {
      const std::string upper = UpperText(named);
      if (upper.find(UpperText(i.file)) != std::string::npos ||
          (!i.table.empty() && upper.find(i.table + ".DBF") != std::string::npos)) {
        ok = false;
      }
    }
    if (!ok) failed.push_back(i.alias + " " + i.file);
  }
  log.Indexes(static_cast<int>(indexes.size() - failed.size()), failed);
}

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
    std::vector<std::string> error_files;
    {
      ScopedErrorObserver errors([&](const Error& e) {
        error_files.push_back(e.filename.empty() ? e.operation : e.filename);
      });
      INIT_IDX(false, false, run.index_window.get(), &run.progress.text, run.progress.field.get());
    }
    if (run.log->writing()) NoteIndexes(*run.log, error_files);
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
    CHKBLANK(run.log);
  }
  {
    PhaseTimer t("cleanup");
    CLEANUP(run.index_window.get(), &run.progress.text, run.progress.field.get(), run.log);
  }
  PhaseTimer t("setup");
  SETUP(run.log);
}

}  // namespace px
