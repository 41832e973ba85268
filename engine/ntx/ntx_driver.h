// The default table driver "DBFNTX": DBF tables with their memo files and NTX orders.
// Its work areas are NtxArea objects; the table files are those of the layers below.
#ifndef PX_ENGINE_NTX_NTX_DRIVER_H_
#define PX_ENGINE_NTX_NTX_DRIVER_H_

#include <memory>

#include "engine/dbf/memo_driver.h"

namespace px {

// The driver of the layer the order driver builds on.
using NtxBaseDriver = MemoDriver;

class NtxDriver : public NtxBaseDriver {
 public:
  NtxDriver() : NtxBaseDriver("DBFNTX") {}
  std::unique_ptr<WorkArea> NewArea() const override;
};

}  // namespace px

#endif  // PX_ENGINE_NTX_NTX_DRIVER_H_
