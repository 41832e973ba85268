#include "engine/ntx/ntx_driver.h"

#include "engine/ntx/ntx_area.h"

namespace px {

std::unique_ptr<WorkArea> NtxDriver::NewArea() const {
  return std::make_unique<NtxArea>();
}

}  // namespace px
