#include "app/driver/open_by_alias.h"
#include "app/driver/recovery.h"
#include "app/driver/repairs.h"
#include "app/driver/update_log.h"
#include "engine/expr/functions.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "runtime/call_stack.h"

namespace px {

namespace {

// Fills `field` with `value` and `companion` with `companion_value` when `field` is
// empty (both must exist); true when it did.
bool Default(const char* field, int64_t value, const char* companion, int64_t companion_value) {
  const int pos = FIELDPOS(field);
  const int other = FIELDPOS(companion);
  if (pos == 0 || other == 0 || !expr::IsEmpty(FIELDGET(pos))) return false;
  FIELDPUT(pos, Value::Integer(value));
  FIELDPUT(other, Value::Integer(companion_value));
  return true;
}

}  // namespace

void SETUP(UpdateLog* log) {
  CallStep step("SETUP");
  RecoveryPoint([log] {
    if (!OpenByAlias("quotdata", false)) BREAK();
    // An empty table has no settings record to fill.
    if (!EOF_() && RECLOCK(2)) {
      const bool length = Default("LSLENGTH", 40, "LSTOP", 1);
      const bool width = Default("LSWIDTH", 135, "LSMARGIN", 1);
      DBUNLOCK();
      if (log != nullptr && (length || width)) {
        log->Repair("SETUP", "quotdata",
                    std::string(length ? "label length and top set" : "") +
                        (length && width ? ", " : "") +
                        (width ? "label width and margin set" : ""));
      }
    }
    DBCLOSEAREA();
  });
}

}  // namespace px
