// The table structure migration (phase 12 of UPDATE1).
//
// Walks updatdef (in the temp folder) in record order. For each row, the shipped table
// of that name gives the new structure. When BRING_RECS is false and the installation
// has the table, the table is rebuilt: a temporary table "zztemp" of the new structure
// receives every visible record, field by field by name, and then takes the installed
// table's place. Otherwise the shipped table, with the records it brings, takes it.
//
// No step may lose a table. The installed table is changed only by renaming a finished
// copy over it in one step, table and memo file as one unit (rename_journal.h); when
// anything fails before that (the table is in use elsewhere, an error while copying
// its records, fewer records copied than it holds), the installed table stays as it
// was, the temporary files go, and an alert "Unable to Update NAME. ..." says why.
// Errors of the engine still reach the error handler as they arise.
#ifndef PX_APP_DRIVER_MIGRATION_H_
#define PX_APP_DRIVER_MIGRATION_H_

namespace px {

struct PathVars;
struct Progress;
class UpdateLog;

// Expects the installation folder as the current folder and the unpacked archive in
// the temp folder. Ends with every work area closed and "Databases Updated" shown.
// What happened to each table (copied or rebuilt, record counts, structure changes,
// values that could not be stored) goes to `log` when one is given.
void MigrateTables(const PathVars& paths, Progress& progress, UpdateLog* log = nullptr);

}  // namespace px

#endif  // PX_APP_DRIVER_MIGRATION_H_
