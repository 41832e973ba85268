// OPNDBF: opening a table file into the lowest free area with retries while another
// workstation holds it, then its index files.
#include "app/data/catalogue.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/orders.h"
#include "engine/workarea/registry.h"
#include "runtime/env.h"
#include "runtime/error.h"
#include "runtime/process_state.h"

namespace px {

namespace {

// Attempts to open a table that another workstation holds, one second apart.
constexpr int kOpenAttempts = 11;

// One DBUSEAREA into the current area. *held_elsewhere tells whether it failed
// because another open holds the file (sharing violation or access denied); the errors
// still reach the process handler as usual.
bool OpenOnce(std::string_view file, std::string_view alias, bool exclusive, bool* held_elsewhere) {
  ScopedErrorObserver watch([held_elsewhere](const Error& e) {
    if (e.gen_code == kErrOpen &&
        (e.os_code == kOsSharingViolation || e.os_code == kOsAccessDenied)) {
      *held_elsewhere = true;
    }
  });
  return DBUSEAREA(false, "", file, alias, !exclusive, false);
}

}  // namespace

bool OPNDBF(std::string_view file, bool exclusive, std::string_view i1, std::string_view i2,
            std::string_view i3, std::string_view i4, std::string_view i5,
            std::optional<std::string> alias, std::string_view i6, std::string_view i7) {
  // Without an alias the file name stands for it in the test for an open table.
  const std::string name = alias.has_value() ? *alias : std::string(file);
  // Only a registered alias counts: SELECT("B") would name area 2 by its letter.
  if (const uint16_t area = AliasArea(name); area != 0) {
    DBSELECTAREA(static_cast<int>(area));
    return true;
  }
  DBSELECTAREA("0");
  const std::string_view open_alias = alias.has_value() ? std::string_view(*alias) : "";
  bool open = false;
  for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
    bool held_elsewhere = false;
    open = OpenOnce(file, open_alias, exclusive, &held_elsewhere);
    if (open) break;
    // Only a table held elsewhere is worth waiting for; a missing or damaged file has
    // been reported to the error handler and would fail the same way every time.
    if (!NETERR() || !held_elsewhere) return false;
    SleepSeconds(1);
  }
  if (!open) return false;
  ORDLISTCLEAR();
  // Empty names add nothing, so unused slots need no counting.
  for (std::string_view index : {i1, i2, i3, i4, i5, i6, i7}) {
    if (!index.empty()) ORDLISTADD(index);
  }
  return true;
}

}  // namespace px
