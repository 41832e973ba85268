#include "app/driver/snapshot.h"

#include <cstdlib>

#include "ui/backend.h"
#include "ui/messages.h"

namespace px {

void SnapshotDialog(TDialog& dialog, const std::string& name) {
  const char* dir = std::getenv("PX_SNAPSHOT_DIR");
  if (dir == nullptr || *dir == '\0') return;
  SYSREFRESH();
  GetUiBackend().SaveImage(dialog, std::string(dir) + "/" + name + ".png");
}

}  // namespace px
