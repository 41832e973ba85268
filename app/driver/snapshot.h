// Pictures of the update's windows for support staff and tests.
//
// When the environment variable PX_SNAPSHOT_DIR names a folder, SnapshotDialog saves
// a picture of the dialog as it is on the screen to that folder as NAME.png. Without
// the variable, or with a backend that has no pictures (the console), it does nothing.
#ifndef PX_APP_DRIVER_SNAPSHOT_H_
#define PX_APP_DRIVER_SNAPSHOT_H_

#include <string>

namespace px {

class TDialog;

void SnapshotDialog(TDialog& dialog, const std::string& name);

}  // namespace px

#endif  // PX_APP_DRIVER_SNAPSHOT_H_
