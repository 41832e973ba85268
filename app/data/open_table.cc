// OPNDBF: opening a table file into the lowest free area with retries while another
// workstation holds it, then its index files.
#include "app/data/catalogue.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/orders.h"
#include "engine/workarea/registry.h"
#include "runtime/env.h"

namespace px {

namespace {

// Attempts to open a table that another workstation holds, one second apart.
constexpr int kOpenAttempts = 11;

}  // namespace

bool OPNDBF(std::string_view file, bool exclusive, std::string_view i1, std::string_view i2,
            std::string_view i3, std::string_view i4, std::string_view i5,
            std::optional<std::string> alias, std::string_view i6, std::string_view i7) {
  // Without an alias the file name stands for it in the test for an open table.
  const std::string name = alias.has_value() ? *alias : std::string(file);
  if (SELECT(name) != 0) {
    DBSELECTAREA(name);
    return true;
  }
  DBSELECTAREA("0");
  const std::string_view open_alias = alias.has_value() ? std::string_view(*alias) : "";
  bool open = false;
  for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
    open = DBUSEAREA(false, "", file, open_alias, !exclusive, false);
    if (open) break;
    // Only a table held elsewhere is worth waiting for; a missing or damaged file has
    // been reported to the error handler and fails the same way every time.
    if (!NETERR()) return false;
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
