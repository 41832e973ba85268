#include "engine/engine.h"

#include <memory>

#include "engine/dbf/dbf_driver.h"
#include "engine/workarea/work_area.h"

namespace px {

void InitEngine() {
  static bool done = false;
  if (done) return;
  done = true;
  RegisterDriver(std::make_unique<DbfDriver>("DBF"));
  // The default driver. The NTX-order layer registers itself under this name later.
  RegisterDriver(std::make_unique<DbfDriver>("DBFNTX"));
  SetDefaultDriverName("DBFNTX");
}

}  // namespace px
