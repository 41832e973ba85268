// pxdb restore BACKUP.zip [--folder INSTALLATION]: puts the tables and memo files of a
// backup archive (backup\PXBn.zip, as the update writes it) back in place.
//
// No table is changed until the archive has read back whole (every entry against its
// CRC) and no table it would replace is open elsewhere. Then the archive is unpacked
// into the scratch folder "zzrestor" of the installation, the current tables are backed
// up the way the update does (the next PXBn, so that the restore can itself be undone),
// and the unpacked files are renamed over the installed ones as one unit through the
// rename journal: a restore stopped midway is completed at the next start of pxdb or
// pxupdate. At the end every index of the catalogue is rebuilt; no table is packed, so
// the tables are byte for byte those of the backup.
//
// sysinfo's backup counter is not taken back: the restored sysinfo keeps the counter
// the installation has now when that is higher, so the next backup never writes into an
// archive that exists.
#include <CLI/CLI.hpp>
#include <map>
#include <ostream>

#include "app/data/catalogue_fields.h"
#include "app/driver/backzip.h"
#include "app/driver/rename_journal.h"
#include "app/driver/update_checks.h"
#include "archive/archive_check.h"
#include "archive/zip_errors.h"
#include "archive/zip_library.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "runtime/dos_path.h"
#include "runtime/env.h"
#include "tools/pxdb/catalogue_rebuild.h"
#include "tools/pxdb/command.h"
#include "tools/pxdb/installation.h"

namespace px::pxdb {
namespace {

constexpr char kScratch[] = "zzrestor";
constexpr char kNothingChanged[] = "; nothing was changed";
// After the backup of the current tables: they are all still in place.
constexpr char kNothingReplaced[] = "; no table was replaced";

// Removes the scratch folder and whatever an earlier, stopped restore left in it.
void RemoveScratch() {
  Env* env = GetEnv();
  if (!env->DirExists(kScratch)) return;
  std::vector<DirEntry> entries;
  env->ListDir(kScratch, &entries);
  for (const DirEntry& e : entries) {
    if (!e.is_dir) env->DeleteFile(std::string(kScratch) + "/" + e.name);
  }
  env->RemoveDir(kScratch);
}

// A table or memo file at the top level of the archive (what "*.db*" takes).
bool IsTableFile(const std::string& entry) {
  if (entry.empty() || entry.find_first_of("/\\:") != std::string::npos) return false;
  const size_t dot = entry.rfind('.');
  return dot != std::string::npos && UpperText(entry.substr(dot)).rfind(".DB", 0) == 0;
}

// The backup counter of a sysinfo table (file name without extension); -1 when it
// cannot be read.
double BackupCounter(const std::string& file, bool write_at_least, double at_least) {
  double counter = -1;
  const int area = SELECT();
  DBSELECTAREA(0);
  if (DBUSEAREA(false, "", file, "PXRESTSYS", false, !write_at_least)) {
    const int pos = FIELDPOS("BACKUP");
    if (pos > 0 && !EOF_()) {
      counter = FIELDGET(pos).number();
      if (write_at_least && counter < at_least)
        FIELDPUT(pos, Value::Integer(static_cast<int64_t>(at_least)));
    }
    DBCLOSEAREA();
  }
  DBSELECTAREA(area);
  return counter;
}

// Unpacks the archive into the scratch folder; "" or the reason it failed.
std::string Unpack(const std::string& archive) {
  Env* env = GetEnv();
  RemoveScratch();
  if (env->MakeDir(kScratch) != 0) return std::string("cannot make the folder ") + kScratch;
  const std::string installation = env->CurrentDir();
  if (env->ChangeDir(kScratch) != 0) return std::string("cannot enter the folder ") + kScratch;
  std::string problem;
  const int32_t handle = ZipHandle_New();
  if (handle == 0 || ZipHandle_Open(handle, archive, 0) != 0 || ZipHandle_Extract(handle) < 0) {
    problem = "cannot unpack " + archive + ": " + ZipErrorText(ZipHandle_GetLastError(handle));
  }
  if (handle != 0) ZipArchive_Close(handle);
  env->ChangeDir(installation);
  return problem;
}

class RestoreCommand : public Command {
 public:
  void Define(CLI::App& sub) override {
    sub.footer(
        "The archive is tested first and nothing changes while a table it would replace is\n"
        "open elsewhere. The current tables are backed up to the next backup\\PXBn.zip, the\n"
        "files are replaced as one unit and every index of the catalogue is rebuilt.");
    sub.add_option("BACKUP", archive_, "backup archive, for example backup/PXB1.zip")->required();
    sub.add_option("--folder", folder_, "installation folder (default: the current folder)");
  }

  int Run(const GlobalOptions&, Io& io) override {
    Env* env = GetEnv();
    std::string archive = env->HostPath(archive_);
    if (archive.empty() || !env->FileExists(archive)) {
      return Fail(io, "there is no backup archive " + archive_);
    }
    if (!IsAbsoluteHostPath(archive)) archive = env->CurrentDir() + "/" + archive;

    InstallationSession session(io.out);
    std::string message;
    if (!session.Enter(folder_, &message)) return Fail(io, message);

    // The archive must read back whole before anything is touched.
    std::vector<std::string> entries;
    std::string problem;
    const ArchiveCheck check =
        CheckArchive(archive, "", [&](const std::string& entry, const std::string& why) {
          if (!why.empty() && problem.empty()) problem = entry.empty() ? why : entry + ": " + why;
          if (IsTableFile(entry)) entries.push_back(entry);
        });
    if (check.failed != 0) {
      return Fail(io, archive_ + " does not read back whole (" + problem + ")" + kNothingChanged);
    }
    if (entries.empty()) return Fail(io, archive_ + " holds no table" + kNothingChanged);
    io.out << archive_ << ": " << check.entries << " entries read back whole\n";

    // Each file replaces the installed file of that name in any letter case.
    std::map<std::string, std::string> installed;
    std::vector<DirEntry> listing;
    env->ListDir(".", &listing);
    for (const DirEntry& e : listing) {
      if (!e.is_dir) installed[UpperText(e.name)] = e.name;
    }
    std::vector<std::string> targets;
    for (const std::string& entry : entries) {
      const auto it = installed.find(UpperText(entry));
      targets.push_back(it == installed.end() ? entry : it->second);
    }
    const std::vector<std::string> held = FilesHeldElsewhere("", targets);
    if (!held.empty()) {
      return Fail(io, ListOf(held) + (held.size() == 1 ? " is" : " are") +
                          " in use on another workstation" + kNothingChanged);
    }

    problem = Unpack(archive);
    if (problem.empty()) {
      for (const std::string& entry : entries) {
        if (!env->FileExists(std::string(kScratch) + "/" + entry)) {
          problem = entry + " was not unpacked";
          break;
        }
      }
    }
    if (!problem.empty()) {
      RemoveScratch();
      return Fail(io, problem + kNothingChanged);
    }

    // A backup of the tables as they are now, checked as the update checks its own. It
    // is made after unpacking: should it draw the number of the archive being restored,
    // adding to that archive cannot change what is restored.
    const BackupResult backup = BACKZIP();
    const std::string backup_problem = CheckBackup(backup);
    if (!backup_problem.empty()) {
      RemoveScratch();
      return Fail(io, backup_problem);
    }
    io.out << "current tables saved in " << backup.archive << ".zip\n";
    for (const std::string& entry : entries) {
      if (UpperText(entry) != "SYSINFO.DBF") continue;
      const double now = BackupCounter("sysinfo", false, 0);
      if (now > 0) BackupCounter(std::string(kScratch) + "/sysinfo", true, now);
    }

    std::vector<PendingRename> renames;
    for (size_t i = 0; i < entries.size(); ++i) {
      renames.push_back({std::string(kScratch) + "/" + entries[i], targets[i]});
    }
    int os_code = 0;
    switch (ReplaceAsOne("", renames, &os_code)) {
      case ReplaceOutcome::kDone:
        break;
      case ReplaceOutcome::kUnchanged:
        RemoveScratch();
        return Fail(io, "the tables could not be replaced (DOS error " + std::to_string(os_code) +
                            ")" + kNothingReplaced);
      case ReplaceOutcome::kPending:
        return Fail(io, "the restore stopped midway (DOS error " + std::to_string(os_code) +
                            "); it is completed at the next start of pxdb or pxupdate");
    }
    RemoveScratch();
    for (const std::string& target : targets) io.out << "restored " << target << "\n";

    const int problems = RebuildCatalogueIndexes(session, io, /*pack=*/false);
    if (problems > 0) {
      return Fail(io, "tables restored, but the index rebuild reported " +
                          std::to_string(problems) + (problems == 1 ? " problem" : " problems"));
    }
    io.out << "restored " << targets.size() << " files from " << archive_
           << "; index files rebuilt\n";
    return 0;
  }

 private:
  std::string archive_;
  std::string folder_;
};

}  // namespace

std::unique_ptr<Command> MakeRestoreCommand() {
  return std::make_unique<RestoreCommand>();
}

}  // namespace px::pxdb
