#include "app/driver/update_checks.h"

#include <memory>
#include <set>
#include <vector>

#include "app/data/catalogue_fields.h"
#include "app/driver/open_by_alias.h"
#include "app/driver/path_vars.h"
#include "app/driver/update_definition.h"
#include "archive/archive_check.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "runtime/directory.h"
#include "runtime/env.h"
#include "runtime/error.h"

namespace px {

namespace {

constexpr char kNothingChanged[] = " Nothing has been updated.";

std::string BackupFailed(const std::string& why) {
  return "The Compulsory Backup of Data failed: " + why + "." + kNothingChanged;
}

// The files (relative to the installation folder) of the tables the index rebuild or
// the repairs pack, from the catalogue as it is now.
std::vector<std::string> TablesPacked() {
  std::vector<std::string> files;
  QuietErrors quiet;
  const int area = SELECT();
  DBSELECTAREA(0);
  if (DBUSEAREA(false, "", std::string(kCatalogueFile), "PXCHKCAT", true, true)) {
    for (DBGOTOP(); !EOF_() && !quiet.failed(); DBSKIP(1)) {
      const bool packed = CatalogueFlag("PACK") && !CatalogueFlag("LIB");
      if (!packed && UpperText(CatalogueText("DB_ALIAS")) != "CQASS") continue;
      const std::string name = CatalogueText("DB_NAME");
      if (!name.empty()) files.push_back(CatalogueText("PATH") + name + ".dbf");
    }
    DBCLOSEAREA();
  }
  DBSELECTAREA(area);
  return files;
}

}  // namespace

std::string CheckInstallation(const PathVars& p) {
  if (CatalogueHere()) return "";
  const std::string folder = p.to_drive + (p.to_path.empty() ? "\\" : p.to_path);
  return "There is no ParVex installation in " + folder +
         ": it holds no table catalogue INDEXDEF.DBF. Start the update in the ParVex folder." +
         kNothingChanged;
}

std::string CheckBackup(const BackupResult& backup) {
  if (backup.archive.empty()) return BackupFailed("no backup archive was made");
  if (backup.exit_code != 0) {
    return BackupFailed(backup.exit_code < 0 ? "the zip program could not be started"
                                             : "the zip program ended with code " +
                                                   std::to_string(backup.exit_code));
  }
  const std::string archive = backup.archive + ".zip";
  if (!GetEnv()->FileExists(archive)) return BackupFailed(archive + " was not written");
  std::set<std::string> entries;
  std::string problem;
  const ArchiveCheck check =
      CheckArchive(archive, "", [&](const std::string& entry, const std::string& why) {
        entries.insert(UpperText(entry));
        if (!why.empty() && problem.empty()) problem = entry.empty() ? why : entry + ": " + why;
      });
  if (check.failed != 0) {
    return BackupFailed(archive + " does not read back whole (" + problem + ")");
  }
  std::vector<std::string> missing;
  for (const DirectoryEntry& e : DirectoryEntries("*.db*")) {
    if (entries.count(UpperText(e.name)) == 0) missing.push_back(e.name);
  }
  if (!missing.empty()) return BackupFailed(archive + " lacks " + ListOf(missing));
  return "";
}

std::vector<std::string> FilesTheUpdateChanges(const std::vector<UpdateDefinitionRow>& rows) {
  std::vector<std::string> files = {std::string(kCatalogueFile) + ".dbf"};
  for (const UpdateDefinitionRow& row : rows) {
    if (row.name.empty()) continue;
    files.push_back(row.name + ".dbf");
    files.push_back(row.name + ".dbt");
  }
  for (const std::string& file : TablesPacked()) files.push_back(file);
  return files;
}

std::string CheckNothingHeld(const PathVars& p, const std::string& archive_base) {
  std::vector<UpdateDefinitionRow> rows;
  if (!archive_base.empty() &&
      !ReadUpdateDefinition(p.from_drvpth + archive_base + ".zip", kUpdatePassword, &rows)) {
    rows.clear();
  }
  const std::vector<std::string> files = FilesTheUpdateChanges(rows);
  const std::vector<std::string> held = FilesHeldElsewhere(p.to_drvpth, files);
  if (held.empty()) return "";
  return ListOf(held) + (held.size() == 1 ? " is" : " are") +
         " in use on another workstation. Close ParVex everywhere and run the update again." +
         kNothingChanged;
}

std::vector<std::string> FilesHeldElsewhere(const std::string& folder,
                                            const std::vector<std::string>& files) {
  Env* env = GetEnv();
  std::set<std::string> seen;
  std::vector<std::string> held;
  for (const std::string& file : files) {
    const std::string name = UpperText(file);
    if (!seen.insert(name).second) continue;
    const std::string path = folder + file;
    if (!env->FileExists(path)) continue;
    int code = 0;
    std::unique_ptr<File> f = env->OpenFile(path, FileAccess::kRead, FileShare::kExclusive, &code);
    if (f == nullptr && (code == kOsSharingViolation || code == kOsLockViolation)) {
      held.push_back(name);
    }
  }
  return held;
}

std::string ListOf(const std::vector<std::string>& names) {
  std::string text;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += i + 1 == names.size() ? " and " : ", ";
    text += names[i];
  }
  return text;
}

}  // namespace px
