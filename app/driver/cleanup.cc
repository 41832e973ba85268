#include <string>
#include <vector>

#include "app/driver/open_by_alias.h"
#include "app/driver/progress.h"
#include "app/driver/recovery.h"
#include "app/driver/repairs.h"
#include "app/driver/serial_journal.h"
#include "app/driver/update_log.h"
#include "engine/expr/functions.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/maintenance.h"
#include "engine/workarea/registry.h"
#include "runtime/call_stack.h"

namespace px {

namespace {

constexpr char kCqassText[] = "Performing Housekeeping Routine - CLEANUP (cqass)";

// cqass: rows without a quote code go, rows without a serial number get one. Nothing
// is written during the walk; the pack drops and numbers the rows in one step.
void CleanQuoteAssemblies(std::string* message, TControl* control, UpdateLog* log) {
  if (!OpenByAlias("cqass", true)) BREAK();
  const int area = SELECT();
  const int qcode = FIELDPOS("QCODE");
  const int serial = FIELDPOS("SERIALNO");
  if (qcode == 0 || serial == 0) {
    DBCLOSEAREA();
    BREAK();
  }
  PackPlan plan;
  std::vector<uint32_t> unnumbered;
  // A text per record would spend the walk repainting: the record number is shown a
  // few times a second.
  ProgressPacer pacer;
  for (DBGOTOP(); !EOF_(); DBSKIP(1)) {
    if (pacer.Due()) ShowProgress(message, control, kCqassText + (" " + std::to_string(RECNO())));
    if (expr::IsEmpty(FIELDGET(qcode))) {
      plan.drop.push_back(RECNO());
    } else if (expr::IsEmpty(FIELDGET(serial))) {
      unnumbered.push_back(RECNO());
    }
  }

  // The numbers are drawn under the counter's lock, held until the packed table is in
  // place; without the counter the rows stay unnumbered for a later update.
  QuoteSerialCounter counter;
  SerialDraw draw;
  bool counter_moved = false;
  if (!unnumbered.empty() && counter.Hold()) {
    draw.before = counter.value();
    draw.after = draw.before + static_cast<int64_t>(unnumbered.size());
    for (size_t i = 0; i < unnumbered.size(); ++i) {
      plan.puts.push_back({unnumbered[i], static_cast<uint16_t>(serial),
                           Value::Integer(draw.before + 1 + static_cast<int64_t>(i))});
    }
    plan.before_replace = [&](const std::string& packed_file) {
      CallStep draw_step("QUOSER");
      draw.packed_file = packed_file;
      if (!NoteSerialDraw("", draw)) return false;
      counter_moved = true;
      return counter.Set(draw.after);
    };
  }
  DBSELECTAREA(area);
  const bool packed = DBPACKPLAN(plan);
  if (log != nullptr) {
    std::string what = std::to_string(plan.drop.size()) + " rows without a quote code removed, ";
    if (plan.puts.empty()) {
      what += std::to_string(unnumbered.size()) + " rows without a serial number left so";
    } else {
      what += std::to_string(plan.puts.size()) + " rows numbered " +
              std::to_string(draw.before + 1) + " to " + std::to_string(draw.after);
    }
    log->Repair("CLEANUP", "cqass", packed ? what : "not done: the pack of cqass failed");
  }
  // A pack that failed after the counter moved may have failed before or after cqass
  // was replaced; the counter stays where it is either way: numbers left out are
  // harmless, numbers given twice are not.
  if (counter_moved) ForgetSerialDraw("");
  counter.Release();
  DBSELECTAREA(area);
  DBCLOSEAREA();
}

// alumtype: a special colour is available in every product category.
void OpenSpecialColours(UpdateLog* log) {
  if (!OpenByAlias("alumtype", true)) return;
  const int special = FIELDPOS("SPECIAL");
  int opened = 0;
  if (special > 0) {
    for (DBGOTOP(); !EOF_(); DBSKIP(1)) {
      const Value flag = FIELDGET(special);
      if (!flag.is_logical() || !flag.logical()) continue;
      ++opened;
      for (const char* name :
           {"WARDROBE", "SHOWER", "COMMERCIAL", "WINDOW", "DOOR", "KITS", "SECURITY"}) {
        if (const int pos = FIELDPOS(name); pos > 0) FIELDPUT(pos, Value::Logical(true));
      }
    }
  }
  DBCLOSEAREA();
  if (log != nullptr) {
    log->Repair("CLEANUP", "alumtype",
                std::to_string(opened) + " special colours made available in every category");
  }
}

}  // namespace

void CLEANUP(TDialog* /*window*/, std::string* message, TControl* control, UpdateLog* log) {
  CallStep step("CLEANUP");
  RecoveryPoint([&] {
    ShowProgress(message, control, kCqassText);
    CleanQuoteAssemblies(message, control, log);
    ShowProgress(message, control, "Performing Housekeeping Routine - CLEANUP (Special Colours)");
    OpenSpecialColours(log);
  });
}

}  // namespace px
