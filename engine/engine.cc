#include "engine/engine.h"

#include <memory>

#include "engine/dbf/dbf_driver.h"
#include "engine/ntx/ntx_driver.h"
#include "engine/workarea/work_area.h"

namespace px {

void InitEngine() {
  static bool done = false;
  if (done) return;
  done = true;
  RegisterDriver(std::make_unique<DbfDriver>("DBF"));
  // The default driver: tables with their NTX orders.
  RegisterDriver(std::make_unique<NtxDriver>());
  SetDefaultDriverName("DBFNTX");
}

}  // namespace px
