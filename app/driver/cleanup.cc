#include <string>

#include "app/driver/open_by_alias.h"
#include "app/driver/progress.h"
#include "app/driver/recovery.h"
#include "app/driver/repairs.h"
#include "engine/expr/functions.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/maintenance.h"
#include "engine/workarea/registry.h"
#include "runtime/call_stack.h"

namespace px {

namespace {

constexpr char kCqassText[] = "Performing Housekeeping Routine - CLEANUP (cqass)";

// cqass: rows without a quote code go, rows without a serial number get one.
void CleanQuoteAssemblies(std::string* message, TControl* control) {
  if (!OpenByAlias("cqass", true)) BREAK();
  const int qcode = FIELDPOS("QCODE");
  const int serial = FIELDPOS("SERIALNO");
  if (qcode == 0 || serial == 0) {
    DBCLOSEAREA();
    BREAK();
  }
  // A text per record would spend the walk repainting: the record number is shown a
  // few times a second.
  ProgressPacer pacer;
  for (DBGOTOP(); !EOF_();) {
    if (pacer.Due()) ShowProgress(message, control, kCqassText + (" " + std::to_string(RECNO())));
    if (expr::IsEmpty(FIELDGET(qcode))) {
      if (RECLOCK(2)) {
        DBDELETE();
        DBUNLOCK();
      }
    } else if (expr::IsEmpty(FIELDGET(serial)) && RECLOCK(2)) {
      FIELDPUT(serial, QUOSER());
      DBUNLOCK();
    }
    DBSELECTAREA("cqass");
    DBSKIP(1);
  }
  DBPACK();
  DBCLOSEAREA();
}

// alumtype: a special colour is available in every product category.
void OpenSpecialColours() {
  if (!OpenByAlias("alumtype", true)) return;
  const int special = FIELDPOS("SPECIAL");
  if (special > 0) {
    for (DBGOTOP(); !EOF_(); DBSKIP(1)) {
      const Value flag = FIELDGET(special);
      if (!flag.is_logical() || !flag.logical()) continue;
      for (const char* name :
           {"WARDROBE", "SHOWER", "COMMERCIAL", "WINDOW", "DOOR", "KITS", "SECURITY"}) {
        if (const int pos = FIELDPOS(name); pos > 0) FIELDPUT(pos, Value::Logical(true));
      }
    }
  }
  DBCLOSEAREA();
}

}  // namespace

void CLEANUP(TDialog* /*window*/, std::string* message, TControl* control) {
  CallStep step("CLEANUP");
  RecoveryPoint([&] {
    ShowProgress(message, control, kCqassText);
    CleanQuoteAssemblies(message, control);
    ShowProgress(message, control, "Performing Housekeeping Routine - CLEANUP (Special Colours)");
    OpenSpecialColours();
  });
}

}  // namespace px
