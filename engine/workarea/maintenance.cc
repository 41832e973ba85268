#include "engine/workarea/maintenance.h"

#include "engine/workarea/registry.h"
#include "engine/workarea/work_area.h"
#include "runtime/error.h"

namespace px {

namespace {

WorkArea* AreaOrError(const char* operation) {
  WorkArea* area = CurrentArea();
  if (area == nullptr) {
    Error e = Error::Make("DBCMD", kErrNoTable, 2001);
    e.operation = operation;
    e.can_default = true;
    RaiseError(e);
  }
  return area;
}

}  // namespace

bool DBPACK(std::shared_ptr<const CodeBlock> block, const Value& interval) {
  WorkArea* area = AreaOrError("__DBPACK");
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
  WorkArea* area = AreaOrError("__DBZAP");
  return area != nullptr && area->Zap();
}

}  // namespace px
