// Phase 15 of UPDATE1: the index rebuild window, the rebuild of every index named in
// the catalogue (INIT_IDX), and the data repairs.
#ifndef PX_APP_DRIVER_INDEX_REBUILD_DRIVER_H_
#define PX_APP_DRIVER_INDEX_REBUILD_DRIVER_H_

#include <memory>

namespace px {

class TDialog;
struct Progress;
struct UpdateRun;

// The index rebuild window: a green pop-up without a title bar ("Thinking......")
// holding the text "Rebuilding Index Files." and a borderless read-only field bound to
// the progress text, which becomes the progress field.
std::shared_ptr<TDialog> OpenIndexRebuildWindow(Progress& progress);

// Shows "Rebuilding Index Files. Please Wait..." in the progress dialog, opens the
// index rebuild window (run.index_window), runs INIT_IDX with both flags false and
// then CHKBLANK, CLEANUP and SETUP, their progress texts in the window.
void RebuildIndexesAndRepair(UpdateRun& run);

}  // namespace px

#endif  // PX_APP_DRIVER_INDEX_REBUILD_DRIVER_H_
