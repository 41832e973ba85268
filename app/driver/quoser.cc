#include "app/driver/open_by_alias.h"
#include "app/driver/recovery.h"
#include "app/driver/repairs.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "runtime/call_stack.h"

namespace px {

Value QUOSER() {
  CallStep step("QUOSER");
  const int area = SELECT();
  Value result = Value::Integer(0);
  RecoveryPoint([&] {
    if (!OpenByAlias("sysinfo", false)) BREAK();
    const int counter = FIELDPOS("QUOSERIAL");
    if (counter > 0 && !EOF_() && RECLOCK(5)) {
      const Value next = Value::Integer(FIELDGET(counter).integer() + 1);
      FIELDPUT(counter, next);
      result = next;
      DBUNLOCK();
    }
    DBCLOSEAREA();
  });
  DBSELECTAREA(area);
  return result;
}

}  // namespace px
