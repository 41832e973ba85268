#include <string>
#include <vector>

#include "app/driver/open_by_alias.h"
#include "app/driver/recovery.h"
#include "app/driver/repairs.h"
#include "app/driver/update_log.h"
#include "engine/expr/functions.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/orders.h"
#include "engine/workarea/registry.h"
#include "runtime/call_stack.h"

namespace px {

namespace {

// True when the record was deleted.
bool DeleteCurrentLocked() {
  if (!RECLOCK(2)) return false;
  DBDELETE();
  DBUNLOCK();
  return true;
}

void Note(UpdateLog* log, const char* alias, int deleted, const char* what) {
  if (log != nullptr && deleted > 0) {
    log->Repair(
        "CHKBLANK", alias,
        std::to_string(deleted) + (deleted == 1 ? " record " : " records ") + what + " deleted");
  }
}

// Deletes the run of blank keys at the top of the table's first index order.
void RemoveLeadingBlanks(const char* alias, const char* key_field, UpdateLog* log) {
  if (!OpenByAlias(alias, false)) return;
  const int key = FIELDPOS(key_field);
  int deleted = 0;
  if (key > 0) {
    while (!EOF_() && expr::IsEmpty(FIELDGET(key))) {
      if (DeleteCurrentLocked()) ++deleted;
      DBSKIP(1);
    }
  }
  DBCLOSEAREA();
  Note(log, alias, deleted, (std::string("with a blank ") + key_field).c_str());
}

// Deletes every alternative whose five type fields are all blank.
void RemoveBlankAlternatives(UpdateLog* log) {
  if (!OpenByAlias("cqalt", false)) return;
  std::vector<int> fields;
  for (const char* name : {"ALUMTYPE", "GLASTYPE", "REVEALTYPE", "FS", "SS"}) {
    fields.push_back(FIELDPOS(name));
  }
  bool complete = true;
  int deleted = 0;
  for (int pos : fields) complete = complete && pos > 0;
  if (complete) {
    // Which alternatives go does not depend on the order of the walk: the table's own
    // order reads it front to back instead of hopping through the index.
    ORDSETFOCUS(0);
    for (DBGOTOP(); !EOF_(); DBSKIP(1)) {
      bool blank = true;
      for (int pos : fields) blank = blank && expr::IsEmpty(FIELDGET(pos));
      if (blank && DeleteCurrentLocked()) ++deleted;
    }
  }
  DBCLOSEAREA();
  Note(log, "cqalt", deleted, "with all five type fields blank");
}

}  // namespace

void CHKBLANK(UpdateLog* log) {
  CallStep step("CHKBLANK");
  RecoveryPoint([log] {
    RemoveLeadingBlanks("customer", "CODE", log);
    RemoveLeadingBlanks("cquotes", "CODE", log);
    RemoveBlankAlternatives(log);
    RemoveLeadingBlanks("stdass", "SHORTCUT", log);
    for (const char* alias : {"glastype", "glascat", "alumtype", "alumcat", "staff"}) {
      RemoveLeadingBlanks(alias, "CODE", log);
    }
    RemoveLeadingBlanks("users", "USERNAME", log);
    RemoveLeadingBlanks("salesid", "CODE", log);
    RemoveLeadingBlanks("custcat", "CODE", log);
  });
  DBCLOSEALL();
}

}  // namespace px
