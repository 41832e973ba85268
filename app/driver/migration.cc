#include "app/driver/migration.h"

#include <string>
#include <vector>

#include "app/data/catalogue_fields.h"
#include "app/driver/catalogue_reset.h"
#include "app/driver/driver_vars.h"
#include "app/driver/error_watch.h"
#include "app/driver/msgdebug.h"
#include "app/driver/path_vars.h"
#include "app/driver/progress.h"
#include "app/driver/rename_journal.h"
#include "app/driver/update_definition.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/file_ops.h"
#include "engine/workarea/registry.h"
#include "engine/workarea/structure.h"
#include "runtime/call_stack.h"
#include "runtime/directory.h"
#include "runtime/env.h"
#include "ui/messages.h"

namespace px {

namespace {

constexpr char kTempTable[] = "zztemp";

// The file names of one row, as the working variables TDB_... hold them.
struct RowNames {
  std::string name;                         // TDB_NAME
  std::string file;                         // TDB_FILE: the installed table, no extension
  std::string file1;                        // TDB_FILE1
  std::string file2;                        // TDB_FILE2
  std::string shipped, shipped1, shipped2;  // TDB_NEW, TDB_NEW1, TDB_NEW2

  RowNames(const PathVars& p, const std::string& db_name, const std::string& path) : name(db_name) {
    file = p.Installed(name);
    file1 = file + ".dbf";
    file2 = file + ".dbt";
    shipped = p.Temp(name);
    shipped1 = shipped + ".dbf";
    shipped2 = shipped + ".dbt";
    SetTextVar("TDB_NAME", name);
    SetTextVar("TDB_PATH", path);
    SetTextVar("TDB_FILE", file);
    SetTextVar("TDB_FILE1", file1);
    SetTextVar("TDB_FILE2", file2);
    SetTextVar("TDB_NEW", shipped);
    SetTextVar("TDB_NEW1", shipped1);
    SetTextVar("TDB_NEW2", shipped2);
  }
};

bool Exists(const std::string& name) {
  return FILE(Value::String(name));
}

void Refuse(const RowNames& row, const std::string& why) {
  MSGALERT("Unable to Update " + UpperText(row.name) + ". " + why);
}

bool HasMemoField(const Value& structure) {
  if (!structure.is_array()) return false;
  for (const Value& field : structure.array()) {
    if (field.is_array() && field.array().size() > 1 && field.array()[1].is_string() &&
        UpperText(field.array()[1].str().substr(0, 1)) == "M") {
      return true;
    }
  }
  return false;
}

// The records of the current area that navigation shows (deleted ones are hidden).
uint32_t CountVisibleRecords() {
  uint32_t count = 0;
  for (DBGOTOP(); !EOF_(); DBSKIP(1)) ++count;
  return count;
}

void EraseTempTable(const PathVars& p) {
  for (const char* ext : {".dbf", ".dbt"}) {
    const std::string name = p.Installed(std::string(kTempTable) + ext);
    if (Exists(name)) FERASE(name);
  }
}

// Puts zztemp.dbf (and zztemp.dbt when the table has memo fields) in place of the
// installed files. False when the installed table was left as it was.
bool InstallTempTable(const PathVars& p, const RowNames& row, bool with_memo,
                      const std::string& what_stays) {
  std::vector<PendingRename> renames = {{std::string(kTempTable) + ".dbf", row.name + ".dbf"}};
  if (with_memo) renames.push_back({std::string(kTempTable) + ".dbt", row.name + ".dbt"});
  // The catalogue reset must know, should the update stop from here on, that the
  // saved catalogue is the only one left with the site's folder paths.
  const bool catalogue = UpperText(row.name) == UpperText(kCatalogueFile);
  if (catalogue) NoteCatalogueReplacing(p.to_drvpth, true);
  int code = 0;
  switch (ReplaceAsOne(p.to_drvpth, renames, &code)) {
    case ReplaceOutcome::kDone:
      return true;
    case ReplaceOutcome::kUnchanged:
      if (catalogue) NoteCatalogueReplacing(p.to_drvpth, false);
      EraseTempTable(p);
      Refuse(row, (code == kOsSharingViolation ? "The table is in use on another workstation; "
                                               : "Its files could not be replaced; ") +
                      what_stays);
      return false;
    case ReplaceOutcome::kPending:
      MSGALERT("Updating " + UpperText(row.name) +
               " is not finished: its memo file could not be put in place. Run the update "
               "again to finish it.");
      return false;
  }
  return false;
}

// BRING_RECS false and the table installed: the table gets the new structure and keeps
// its records.
void RebuildTable(const PathVars& p, const RowNames& row, const Value& new_structure,
                  Progress& progress) {
  progress.Show("Updating " + UpperText(row.name));
  const std::string keeps = "it keeps its old structure.";

  DBSELECTAREA(3);
  DBUSEAREA(false, "", row.file, "old", std::nullopt, false);
  if (!USED()) {
    Refuse(row, NETERR() ? "The table is in use on another workstation; " + keeps
                         : "The table cannot be opened; " + keeps);
    return;
  }
  // A table that has the shipped structure already (an update run again after it was
  // stopped) is left as it is: rebuilding it would only drop its deleted records and
  // write its blank numbers as zeros, and running the update again is to end where one
  // whole run ends.
  const bool migrated = DBSTRUCT() == new_structure;
  const uint32_t expected = migrated ? 0 : CountVisibleRecords();
  DBCLOSEAREA();
  DBCOMMITALL();
  MSGDEBUG("Got Old Structure");
  if (migrated) return;

  // Values that do not fit a changed field are fitted as the append rules say; every
  // other error means the copy is not whole.
  ErrorWatch watch({kErrDataType, kErrDataWidth});
  EraseTempTable(p);
  DBSELECTAREA(0);
  DBCREATE(p.Installed(kTempTable), new_structure);
  bool ok = !watch.failed() && Exists(p.Installed(std::string(kTempTable) + ".dbf"));
  MSGDEBUG("New Structure Created");
  uint32_t appended = 0;
  if (ok) {
    DBUSEAREA(false, "", p.Installed(kTempTable), kTempTable, std::nullopt, false);
    ok = USED();
    MSGDEBUG("New Database Opened");
  }
  if (ok) {
    appended = DBAPP(Value::String(row.file));
    MSGDEBUG("Data Appended to New Database");
  }
  DBCLOSEAREA();
  DBCOMMITALL();
  if (!ok || watch.failed() || appended != expected) {
    EraseTempTable(p);
    Refuse(row, "Its records could not all be copied to the new structure; " + keeps);
    return;
  }
  // A table with memo fields is whole only with its memo file.
  const bool with_memo = HasMemoField(new_structure);
  if (with_memo && !Exists(p.Installed(std::string(kTempTable) + ".dbt"))) {
    EraseTempTable(p);
    Refuse(row, "Its new memo file could not be made; " + keeps);
    return;
  }
  MSGDEBUG(row.file1);
  MSGDEBUG(p.Installed(std::string(kTempTable) + ".dbf"));
  if (!InstallTempTable(p, row, with_memo, keeps)) return;
  MSGDEBUG("New Database Copied to Correct File Name");
  MSGDEBUG("Temporary database erased");
  if (with_memo) {
    MSGDEBUG("Temporary memo file copied");
    MSGDEBUG("Temporary memo file erased");
  }
}

// BRING_RECS true, or the table not installed: the shipped table takes its place.
void CopyTable(const PathVars& p, const RowNames& row, Progress& progress) {
  MSGDEBUG("Data File to be Copied");
  progress.Show("Copying " + UpperText(row.name) + "     ");
  for (int area : {2, 3}) {
    DBSELECTAREA(area);
    DBCLOSEAREA();
  }
  DBCOMMITALL();
  const std::string stays = "the installed table is unchanged.";
  ErrorWatch watch;
  EraseTempTable(p);
  COPYFILE(row.shipped1, p.Installed(std::string(kTempTable) + ".dbf"));
  const bool with_memo = Exists(row.shipped2);
  if (with_memo) COPYFILE(row.shipped2, p.Installed(std::string(kTempTable) + ".dbt"));
  if (watch.failed()) {
    EraseTempTable(p);
    Refuse(row, "Its new table could not be copied; " + stays);
    return;
  }
  if (!InstallTempTable(p, row, with_memo, stays)) return;
  MSGDEBUG("New Data File Copied");
  if (with_memo) MSGDEBUG("New Memo File Copied");
  DBCOMMITALL();
}

void MigrateRow(const PathVars& p, Progress& progress, const std::string& db_name,
                const std::string& path, bool bring_recs) {
  RowNames row(p, db_name, path);
  if (row.name.empty()) return;
  // The temporary files of an earlier table are still needed to finish it.
  if (!CompletePendingRenames(p.to_drvpth)) {
    Refuse(row, "An earlier table could not be finished; run the update again.");
    return;
  }

  DBSELECTAREA(2);
  DBUSEAREA(false, "", row.shipped, "new", std::nullopt, true);
  if (!USED()) {
    Refuse(row, "The update holds no table " + row.name + ".");
    return;
  }
  const Value new_structure = DBSTRUCT();
  DBCLOSEAREA();
  DBCOMMITALL();
  MSGDEBUG("Got New Structure");

  if (!bring_recs && Exists(row.file1)) {
    RebuildTable(p, row, new_structure, progress);
  } else {
    CopyTable(p, row, progress);
  }
}

}  // namespace

void MigrateTables(const PathVars& p, Progress& progress) {
  CallStep step("MIGRATE");
  const std::string updatdef = p.Temp("updatdef");
  if (!Exists(updatdef + ".dbf")) {
    MSGALERT("Unable to open " + updatdef + ".dbf. No tables were updated.");
  } else {
    DBSELECTAREA(1);
    DBUSEAREA(false, "", updatdef, "updatdef", std::nullopt, true);
    if (!USED()) {
      MSGALERT("Unable to open " + updatdef + ".dbf. No tables were updated.");
    } else {
      DBGOTOP();
      MSGDEBUG("Opened UPDATDEF");
    }
    while (USED() && !EOF_()) {
      const UpdateDefinitionRow row = CurrentUpdateDefinitionRow();
      MigrateRow(p, progress, row.name, row.path, row.bring_recs);
      DBSELECTAREA(1);
      DBSKIP(1);
    }
  }
  DBCLOSEALL();
  progress.Show("Databases Updated");
  MSGDEBUG("Databases Updated");
}

}  // namespace px
