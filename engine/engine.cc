#include "engine/engine.h"

#include <memory>

#include "engine/dbf/memo_driver.h"
#include "engine/workarea/work_area.h"

namespace px {

void InitEngine() {
  static bool done = false;
  if (done) return;
  done = true;
  // The DBF driver is the table file layer with its memo layer.
  RegisterDriver(std::make_unique<MemoDriver>("DBF"));
  // The default driver. The NTX-order layer registers itself under this name later.
  RegisterDriver(std::make_unique<MemoDriver>("DBFNTX"));
  SetDefaultDriverName("DBFNTX");
}

}  // namespace px
