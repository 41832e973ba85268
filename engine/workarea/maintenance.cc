#include "engine/workarea/maintenance.h"

#include "engine/workarea/registry.h"
#include "engine/workarea/work_area.h"
#include "runtime/error.h"

namespace px {

namespace {

// The current area with the pack's progress holder set, or nullptr after the no-table
// error.
WorkArea* AreaToPack(std::shared_ptr<const CodeBlock> block, const Value& interval) {
  WorkArea* area = CurrentAreaOrRaise("__DBPACK");
  if (area == nullptr) return nullptr;
  ProgressHolder progress;
  if (block != nullptr) {
    progress.block = std::move(block);
    if (interval.is_number()) progress.interval = interval.integer();
  }
  area->set_progress(std::move(progress));
  return area;
}

}  // namespace

bool DBPACK(std::shared_ptr<const CodeBlock> block, const Value& interval) {
  WorkArea* area = AreaToPack(std::move(block), interval);
  return area != nullptr && area->Pack();
}

bool DBPACKPLAN(const PackPlan& plan, std::shared_ptr<const CodeBlock> block,
                const Value& interval) {
  WorkArea* area = AreaToPack(std::move(block), interval);
  return area != nullptr && area->PackWith(plan);
}

bool DBZAP() {
  WorkArea* area = CurrentAreaOrRaise("__DBZAP");
  return area != nullptr && area->Zap();
}

}  // namespace px
