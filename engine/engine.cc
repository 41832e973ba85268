#include "engine/engine.h"

#include <memory>

#include "engine/dbf/memo_driver.h"
#include "engine/ntx/ntx_driver.h"
#include "engine/workarea/work_area.h"

namespace px {

void InitEngine() {
  static bool done = false;
  if (done) return;
  done = true;
  // The DBF driver is the table file layer with its memo layer.
  RegisterDriver(std::make_unique<MemoDriver>("DBF"));
  // The default driver: tables with their memo files and NTX orders.
  RegisterDriver(std::make_unique<NtxDriver>());
  SetDefaultDriverName("DBFNTX");
}

}  // namespace px
