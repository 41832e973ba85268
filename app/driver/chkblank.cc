#include <string>
#include <vector>

#include "app/driver/open_by_alias.h"
#include "app/driver/recovery.h"
#include "app/driver/repairs.h"
#include "engine/expr/functions.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/orders.h"
#include "engine/workarea/registry.h"
#include "runtime/call_stack.h"

namespace px {

namespace {

void DeleteCurrentLocked() {
  if (!RECLOCK(2)) return;
  DBDELETE();
  DBUNLOCK();
}

// Deletes the run of blank keys at the top of the table's first index order.
void RemoveLeadingBlanks(const char* alias, const char* key_field) {
  if (!OpenByAlias(alias, false)) return;
  const int key = FIELDPOS(key_field);
  if (key > 0) {
    while (!EOF_() && expr::IsEmpty(FIELDGET(key))) {
      DeleteCurrentLocked();
      DBSKIP(1);
    }
  }
  DBCLOSEAREA();
}

// Deletes every alternative whose five type fields are all blank.
void RemoveBlankAlternatives() {
  if (!OpenByAlias("cqalt", false)) return;
  std::vector<int> fields;
  for (const char* name : {"ALUMTYPE", "GLASTYPE", "REVEALTYPE", "FS", "SS"}) {
    fields.push_back(FIELDPOS(name));
  }
  bool complete = true;
  for (int pos : fields) complete = complete && pos > 0;
  if (complete) {
    // Which alternatives go does not depend on the order of the walk: the table's own
    // order reads it front to back instead of hopping through the index.
    ORDSETFOCUS(0);
    for (DBGOTOP(); !EOF_(); DBSKIP(1)) {
      bool blank = true;
      for (int pos : fields) blank = blank && expr::IsEmpty(FIELDGET(pos));
      if (blank) DeleteCurrentLocked();
    }
  }
  DBCLOSEAREA();
}

}  // namespace

void CHKBLANK() {
  CallStep step("CHKBLANK");
  RecoveryPoint([] {
    RemoveLeadingBlanks("customer", "CODE");
    RemoveLeadingBlanks("cquotes", "CODE");
    RemoveBlankAlternatives();
    RemoveLeadingBlanks("stdass", "SHORTCUT");
    for (const char* alias : {"glastype", "glascat", "alumtype", "alumcat", "staff"}) {
      RemoveLeadingBlanks(alias, "CODE");
    }
    RemoveLeadingBlanks("users", "USERNAME");
    RemoveLeadingBlanks("salesid", "CODE");
    RemoveLeadingBlanks("custcat", "CODE");
  });
  DBCLOSEALL();
}

}  // namespace px
