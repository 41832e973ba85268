#include "engine/workarea/maintenance.h"

#include "engine/workarea/registry.h"
#include "engine/workarea/work_area.h"
#include "runtime/error.h"

namespace px {

bool DBPACK(std::shared_ptr<const CodeBlock> block, const Value& interval) {
  WorkArea* area = CurrentAreaOrRaise("__DBPACK");
  if (area == nullptr) return false;
  ProgressHolder progress;
  if (block != nullptr) {
    progress.block = std::move(block);
    if (interval.is_number()) progress.interval = interval.integer();
  }
  area->set_progress(std::move(progress));
  return area->Pack();
}

bool DBZAP() {
  WorkArea* area = CurrentAreaOrRaise("__DBZAP");
  return area != nullptr && area->Zap();
}

}  // namespace px
