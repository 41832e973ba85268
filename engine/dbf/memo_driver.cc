#include "engine/dbf/memo_driver.h"

#include "engine/dbf/memo_area.h"

namespace px {

std::unique_ptr<WorkArea> MemoDriver::NewArea() const {
  return std::make_unique<MemoArea>(Name());
}

}  // namespace px
