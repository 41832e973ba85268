#include "app/driver/migration.h"

#include <memory>
#include <optional>
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
#include "app/driver/update_log.h"
#include "engine/dbf/dbf_format.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/file_ops.h"
#include "engine/workarea/registry.h"
#include "engine/workarea/structure.h"
#include "engine/workarea/work_area.h"
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

void Refuse(const RowNames& row, const std::string& why, UpdateLog* log) {
  MSGALERT("Unable to Update " + UpperText(row.name) + ". " + why);
  if (log != nullptr) log->TableUnchanged(row.name, "see the alert above");
}

// What a table file's header holds: its record count (deleted records included) and
// its structure in DBSTRUCT's form. Read without opening the table, so that a table
// held elsewhere still tells; none when the header cannot be read.
struct StoredTable {
  uint32_t records = 0;
  Value structure;
};

std::optional<StoredTable> ReadStoredTable(const std::string& dbf) {
  int code = 0;
  std::unique_ptr<File> f = GetEnv()->OpenFile(dbf, FileAccess::kRead, FileShare::kDenyNone, &code);
  uint8_t head[kDbfHeaderSize];
  if (f == nullptr || f->ReadAt(0, head, sizeof(head)) != static_cast<int64_t>(sizeof(head))) {
    return std::nullopt;
  }
  const DbfHeader header = DecodeDbfHeader(head);
  if (!IsAcceptedDbfVersion(header.version) || header.header_length < kDbfHeaderSize) {
    return std::nullopt;
  }
  std::vector<uint8_t> descriptors(header.header_length - kDbfHeaderSize);
  const int64_t n = f->ReadAt(kDbfHeaderSize, descriptors.data(), descriptors.size());
  if (n < 0) return std::nullopt;
  std::vector<Value> fields;
  for (size_t at = 0; at + kDbfDescriptorSize <= static_cast<size_t>(n); at += kDbfDescriptorSize) {
    if (descriptors[at] == kDbfTerminator) break;
    DbfField d;
    const DescriptorKind kind = DecodeDbfDescriptor(&descriptors[at], header.version, &d);
    if (kind == DescriptorKind::kEnd) break;
    if (kind != DescriptorKind::kField) return std::nullopt;
    fields.push_back(Value::Array({Value::String(d.name), Value::String(std::string(1, d.kind)),
                                   Value::Integer(d.len), Value::Integer(d.dec)}));
  }
  return StoredTable{header.record_count, Value::Array(std::move(fields))};
}

// What a walk over the installed table finds before it is rebuilt: the records it
// shows, and the texts that the new structure's shorter character fields will cut.
struct OldTableScan {
  uint32_t visible = 0;
  uint32_t stored = 0;
  std::vector<LostValues> cut;
};

OldTableScan ScanOldTable(const Value& old_structure, const Value& new_structure) {
  OldTableScan scan;
  // Pairs (old field position, new length) of texts that may not fit.
  std::vector<std::pair<int, int>> narrow;
  if (old_structure.is_array() && new_structure.is_array()) {
    const auto descriptor = [](const Value& v) {
      return v.is_array() && v.array().size() >= 4 && v.array()[0].is_string() &&
             v.array()[1].is_string();
    };
    for (const Value& n : new_structure.array()) {
      if (!descriptor(n)) continue;
      const std::vector<Value>& nf = n.array();
      if (nf[1].str() != "C") continue;
      const int pos = FIELDPOS(nf[0].str());
      if (pos == 0 || static_cast<size_t>(pos) > old_structure.array().size() ||
          !descriptor(old_structure.array()[pos - 1])) {
        continue;
      }
      const std::vector<Value>& of = old_structure.array()[pos - 1].array();
      const bool longer =
          of[1].str() == "M" || (of[1].str() == "C" && of[2].number() > nf[2].number());
      if (!longer) continue;
      narrow.push_back({pos, static_cast<int>(nf[2].number())});
      scan.cut.push_back({.field = nf[0].str(), .how = "cut"});
    }
  }
  scan.stored = RECCOUNT();
  for (DBGOTOP(); !EOF_(); DBSKIP(1)) {
    ++scan.visible;
    for (size_t i = 0; i < narrow.size(); ++i) {
      const Value v = FIELDGET(narrow[i].first);
      if ((v.is_string() || v.type() == Value::Type::kMemo) &&
          TrimRight(v.str()).size() > static_cast<size_t>(narrow[i].second)) {
        scan.cut[i].Add(RECNO());
      }
    }
  }
  std::erase_if(scan.cut, [](const LostValues& l) { return l.count == 0; });
  return scan;
}

// Notes the values an append could not store (errors "Data type error" and "Data width
// error" name the field), by the source record they came from.
class LostValueWatch {
 public:
  LostValueWatch()
      : observer_([this](const Error& e) {
          if (e.gen_code != kErrDataType && e.gen_code != kErrDataWidth) return;
          uint32_t recno = 0;
          if (WorkArea* source = AreaByNumber(AliasArea("__TMPAREA")); source != nullptr) {
            source->RecNo(&recno);
          }
          const std::string how = e.gen_code == kErrDataType
                                      ? "left blank (a value of another kind)"
                                      : "written as asterisks (too wide)";
          for (LostValues& l : lost_) {
            if (l.field == e.operation && l.how == how) {
              l.Add(recno);
              return;
            }
          }
          lost_.push_back({.field = e.operation, .how = how});
          lost_.back().Add(recno);
        }) {}
  const std::vector<LostValues>& lost() const { return lost_; }

 private:
  std::vector<LostValues> lost_;
  ScopedErrorObserver observer_;  // last: it sees errors only once the rest is set up
};

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

void EraseTempTable(const PathVars& p) {
  for (const char* ext : {".dbf", ".dbt"}) {
    const std::string name = p.Installed(std::string(kTempTable) + ext);
    if (Exists(name)) FERASE(name);
  }
}

// Puts zztemp.dbf (and zztemp.dbt when the table has memo fields) in place of the
// installed files. False when the installed table was left as it was.
bool InstallTempTable(const PathVars& p, const RowNames& row, bool with_memo,
                      const std::string& what_stays, UpdateLog* log) {
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
      Refuse(row,
             (code == kOsSharingViolation ? "The table is in use on another workstation; "
                                          : "Its files could not be replaced; ") +
                 what_stays,
             log);
      return false;
    case ReplaceOutcome::kPending:
      MSGALERT("Updating " + UpperText(row.name) +
               " is not finished: its memo file could not be put in place. Run the update "
               "again to finish it.");
      if (log != nullptr) log->TableUnchanged(row.name, "not finished (memo file pending)");
      return false;
  }
  return false;
}

// BRING_RECS false and the table installed: the table gets the new structure and keeps
// its records.
void RebuildTable(const PathVars& p, const RowNames& row, const Value& new_structure,
                  Progress& progress, UpdateLog* log) {
  progress.Show("Updating " + UpperText(row.name));
  const std::string keeps = "it keeps its old structure.";

  DBSELECTAREA(3);
  DBUSEAREA(false, "", row.file, "old", std::nullopt, false);
  if (!USED()) {
    Refuse(row,
           NETERR() ? "The table is in use on another workstation; " + keeps
                    : "The table cannot be opened; " + keeps,
           log);
    return;
  }
  // A table that has the shipped structure already (an update run again after it was
  // stopped) is left as it is: rebuilding it would only drop its deleted records and
  // write its blank numbers as zeros, and running the update again is to end where one
  // whole run ends.
  const Value old_structure = DBSTRUCT();
  const bool migrated = old_structure == new_structure;
  const OldTableScan scan = migrated ? OldTableScan{} : ScanOldTable(old_structure, new_structure);
  const uint32_t expected = scan.visible;
  DBCLOSEAREA();
  DBCOMMITALL();
  MSGDEBUG("Got Old Structure");
  if (migrated) {
    if (log != nullptr) log->TableUnchanged(row.name, "it has the new structure already");
    return;
  }

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
  std::vector<LostValues> lost = scan.cut;
  if (ok) {
    LostValueWatch lost_watch;
    appended = DBAPP(Value::String(row.file));
    lost.insert(lost.end(), lost_watch.lost().begin(), lost_watch.lost().end());
    MSGDEBUG("Data Appended to New Database");
  }
  DBCLOSEAREA();
  DBCOMMITALL();
  if (!ok || watch.failed() || appended != expected) {
    EraseTempTable(p);
    Refuse(row, "Its records could not all be copied to the new structure; " + keeps, log);
    return;
  }
  // A table with memo fields is whole only with its memo file.
  const bool with_memo = HasMemoField(new_structure);
  if (with_memo && !Exists(p.Installed(std::string(kTempTable) + ".dbt"))) {
    EraseTempTable(p);
    Refuse(row, "Its new memo file could not be made; " + keeps, log);
    return;
  }
  MSGDEBUG(row.file1);
  MSGDEBUG(p.Installed(std::string(kTempTable) + ".dbf"));
  if (!InstallTempTable(p, row, with_memo, keeps, log)) return;
  if (log != nullptr) {
    log->TableRebuilt(row.name, expected, appended, scan.stored - expected,
                      CompareStructures(old_structure, new_structure), lost);
  }
  MSGDEBUG("New Database Copied to Correct File Name");
  MSGDEBUG("Temporary database erased");
  if (with_memo) {
    MSGDEBUG("Temporary memo file copied");
    MSGDEBUG("Temporary memo file erased");
  }
}

// BRING_RECS true, or the table not installed: the shipped table takes its place.
void CopyTable(const PathVars& p, const RowNames& row, const Value& new_structure,
               Progress& progress, bool bring_recs, UpdateLog* log) {
  MSGDEBUG("Data File to be Copied");
  progress.Show("Copying " + UpperText(row.name) + "     ");
  for (int area : {2, 3}) {
    DBSELECTAREA(area);
    DBCLOSEAREA();
  }
  DBCOMMITALL();
  const std::string stays = "the installed table is unchanged.";
  const bool installed = Exists(row.file1);
  const std::optional<StoredTable> stored =
      installed && log != nullptr ? ReadStoredTable(row.file1) : std::nullopt;
  const std::optional<uint32_t> before =
      stored ? std::optional<uint32_t>(stored->records) : std::nullopt;
  const Value old_structure = !installed ? new_structure : stored ? stored->structure : Value();
  ErrorWatch watch;
  EraseTempTable(p);
  COPYFILE(row.shipped1, p.Installed(std::string(kTempTable) + ".dbf"));
  const bool with_memo = Exists(row.shipped2);
  if (with_memo) COPYFILE(row.shipped2, p.Installed(std::string(kTempTable) + ".dbt"));
  if (watch.failed()) {
    EraseTempTable(p);
    Refuse(row, "Its new table could not be copied; " + stays, log);
    return;
  }
  if (!InstallTempTable(p, row, with_memo, stays, log)) return;
  if (log != nullptr) {
    const std::optional<StoredTable> now = ReadStoredTable(row.file1);
    log->TableCopied(row.name, before, now ? now->records : 0, bring_recs,
                     CompareStructures(old_structure, new_structure));
  }
  MSGDEBUG("New Data File Copied");
  if (with_memo) MSGDEBUG("New Memo File Copied");
  DBCOMMITALL();
}

void MigrateRow(const PathVars& p, Progress& progress, const std::string& db_name,
                const std::string& path, bool bring_recs, UpdateLog* log) {
  RowNames row(p, db_name, path);
  if (row.name.empty()) return;
  // The temporary files of an earlier table are still needed to finish it.
  if (!CompletePendingRenames(p.to_drvpth)) {
    Refuse(row, "An earlier table could not be finished; run the update again.", log);
    return;
  }

  DBSELECTAREA(2);
  DBUSEAREA(false, "", row.shipped, "new", std::nullopt, true);
  if (!USED()) {
    Refuse(row, "The update holds no table " + row.name + ".", log);
    return;
  }
  const Value new_structure = DBSTRUCT();
  DBCLOSEAREA();
  DBCOMMITALL();
  MSGDEBUG("Got New Structure");

  if (!bring_recs && Exists(row.file1)) {
    RebuildTable(p, row, new_structure, progress, log);
  } else {
    CopyTable(p, row, new_structure, progress, bring_recs, log);
  }
}

}  // namespace

void MigrateTables(const PathVars& p, Progress& progress, UpdateLog* log) {
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
      MigrateRow(p, progress, row.name, row.path, row.bring_recs, log);
      DBSELECTAREA(1);
      DBSKIP(1);
    }
  }
  DBCLOSEALL();
  progress.Show("Databases Updated");
  MSGDEBUG("Databases Updated");
}

}  // namespace px
