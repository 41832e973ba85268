// The catalogue reset: the site's folder paths carried from the saved catalogue
// (oldexdef) into the catalogue the update shipped (indexdef).
//
// Phase 11 of UPDATE1 saves indexdef.dbf as oldexdef.dbf and notes that in the marker
// file "zzupdate.run"; the migration notes in it, before it puts a shipped catalogue in
// place of indexdef, that indexdef is being replaced; the reset removes the marker once
// the paths are carried over. An update that stops in between (killed, or the
// catalogue in use) leaves the marker. The next run keeps oldexdef.dbf as it is only
// when the marker says indexdef was being replaced: by then indexdef may be the shipped
// one, without the site's paths. Otherwise indexdef still holds the site's paths (and
// any the site changed since) and is saved afresh.
#ifndef PX_APP_DRIVER_CATALOGUE_RESET_H_
#define PX_APP_DRIVER_CATALOGUE_RESET_H_

#include <string>

namespace px {

struct PathVars;
struct Progress;

// The marker's file name.
inline constexpr char kResetMarker[] = "zzupdate.run";

// The folder (ending in a separator, or "" for the current one) holds a marker that
// says an unfinished update replaced, or was replacing, indexdef after saving it. A
// marker that cannot be read, or one of an earlier version of the installer, counts as
// replaced: keeping the saved paths is the safe side.
bool CatalogueResetPending(const std::string& folder);
// Writes the marker after oldexdef.dbf has been saved (indexdef not replaced).
void NoteCatalogueSaved(const std::string& folder);
// When the marker is there: notes before a shipped catalogue is put in place of
// indexdef that it is being replaced (`replacing` true), or after that failed and left
// indexdef as it was, that it was not (`replacing` false).
void NoteCatalogueReplacing(const std::string& folder, bool replacing);

// For every row of indexdef (in record order), the PATH of the first oldexdef row with
// the same DB_ALIAS (in alias order, through a new index oldexdef.ntx on "db_alias")
// is stored into its PATH under a record lock (RECLOCK(2)); rows whose alias the saved
// catalogue lacks keep the shipped path. Both tables are left open (phase 14 closes
// them); oldexdef.dbf and oldexdef.ntx stay. Removes the marker when done; when either
// table cannot be opened, shows "Unable to Reset INDEXDEF Paths. ..." and keeps it.
void ResetCataloguePaths(const PathVars& paths, Progress& progress);

}  // namespace px

#endif  // PX_APP_DRIVER_CATALOGUE_RESET_H_
