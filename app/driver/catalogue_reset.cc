#include "app/driver/catalogue_reset.h"

#include "app/driver/path_vars.h"
#include "app/driver/progress.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/orders.h"
#include "engine/workarea/registry.h"
#include "runtime/call_stack.h"
#include "runtime/env.h"
#include "ui/messages.h"

namespace px {

namespace {

bool OpenCatalogue(const PathVars& p, const char* name) {
  DBSELECTAREA(0);
  DBUSEAREA(false, "", p.Installed(name), name, std::nullopt, false);
  if (USED()) return true;
  MSGALERT(std::string("Unable to Reset INDEXDEF Paths. ") +
           (NETERR() ? "The table " + std::string(name) + " is in use on another workstation."
                     : "The table " + std::string(name) + " cannot be opened."));
  return false;
}

}  // namespace

namespace {

constexpr char kMarkerText[] =
    "An update is in progress: oldexdef.dbf holds the catalogue's folder paths from before "
    "it.\r\n";
constexpr char kKeptLine[] = "indexdef.dbf: not replaced\r\n";
constexpr char kReplacingLine[] = "indexdef.dbf: replaced\r\n";

}  // namespace

bool CatalogueResetPending(const std::string& folder) {
  const std::string marker = folder + kResetMarker;
  if (!GetEnv()->FileExists(marker)) return false;
  std::string text;
  return !ReadWholeFile(marker, &text) || text != std::string(kMarkerText) + kKeptLine;
}

void NoteCatalogueSaved(const std::string& folder) {
  WriteWholeFile(folder + kResetMarker, std::string(kMarkerText) + kKeptLine);
}

void NoteCatalogueReplacing(const std::string& folder, bool replacing) {
  const std::string marker = folder + kResetMarker;
  if (!GetEnv()->FileExists(marker)) return;
  WriteWholeFile(marker, std::string(kMarkerText) + (replacing ? kReplacingLine : kKeptLine));
}

void ResetCataloguePaths(const PathVars& p, Progress& progress) {
  CallStep step("RESETPATHS");
  progress.Show("Resetting INDEXDEF Paths. Please Wait...");
  if (!OpenCatalogue(p, "oldexdef")) return;
  const int old_path = FIELDPOS("PATH");
  DBCREATEINDEX(p.Installed("oldexdef"), "db_alias", nullptr, false);
  if (!OpenCatalogue(p, "indexdef")) return;
  const int alias = FIELDPOS("DB_ALIAS");
  const int path = FIELDPOS("PATH");
  for (DBGOTOP(); !EOF_();) {
    const Value key = FIELDGET(alias);
    DBSELECTAREA("oldexdef");
    if (DBSEEK(key, false)) {
      const Value saved = FIELDGET(old_path);
      DBSELECTAREA("indexdef");
      if (RECLOCK(2)) {
        FIELDPUT(path, saved);
        DBUNLOCK();
      }
    }
    DBSELECTAREA("indexdef");
    DBSKIP(1);
  }
  // The paths are on disk before the saved copy may be taken again.
  DBCOMMITALL();
  GetEnv()->DeleteFile(p.Installed(kResetMarker));
}

}  // namespace px
