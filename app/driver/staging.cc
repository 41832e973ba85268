// The phases of UPDATE1 that move files: staging and unpacking the archive, bitmaps,
// the old catalogue, program files, libraries and the temp clean-up.
#include "app/data/catalogue_fields.h"
#include "app/driver/catalogue_reset.h"
#include "app/driver/msgdebug.h"
#include "app/driver/open_by_alias.h"
#include "app/driver/recovery.h"
#include "app/driver/update_definition.h"
#include "app/driver/update_run.h"
#include "archive/unzip_file.h"
#include "engine/workarea/file_ops.h"
#include "runtime/directory.h"
#include "runtime/env.h"
#include "runtime/error.h"
#include "runtime/folders.h"
#include "ui/messages.h"

namespace px {

namespace {

// The names a mask lists in the current folder, taken once before a file loop.
std::vector<std::string> ListNames(std::string_view mask) {
  std::vector<std::string> names;
  for (const DirectoryEntry& e : DirectoryEntries(mask)) names.push_back(e.name);
  return names;
}

// Enters the temp folder from the installation folder for phases 16 to 18.
void EnterTemp() {
  if (DIRCHANGE(Value::String("temp")) != 0) AlertAndBreak("Unable to Access Temp Directory");
}

void LeaveTemp() {
  if (DIRCHANGE(Value::String("..")) != 0) AlertAndBreak("Unable to Access Program Directory");
}

// Copies a file of the update over the installed one. The copy is made beside it under
// a temporary name and renamed into place once whole, so that a program started while
// the update runs, or after it was stopped, never finds a file cut short. An installed
// file that cannot be replaced (in use) raises the error a copy raises for a target it
// cannot create, and stays as it was. True when the file was put in place.
bool InstallFile(const std::string& name, const std::string& installed) {
  Env* env = GetEnv();
  const std::string partial = installed + ".zin";
  if (COPYFILE(name, partial).is_nil()) {
    for (;;) {
      const int code = env->ReplaceFile(partial, installed);
      if (code == kOsOk) return true;
      Error e = Error::Make("BASE", kErrCreate, 2012);
      e.operation = e.filename = installed;
      e.os_code = code;
      e.can_retry = e.can_default = true;
      if (!RaiseError(e).retry()) break;
    }
  }
  env->DeleteFile(partial);
  return false;
}

// Installs the files and notes in the log which went in and which did not.
void InstallFiles(UpdateRun& run, const char* kind, const std::vector<std::string>& names) {
  std::vector<std::string> installed, failed;
  for (const std::string& name : names) {
    (InstallFile(name, run.paths.Installed(name)) ? installed : failed).push_back(name);
  }
  run.log->Files(kind, installed, failed);
}

}  // namespace

void AlertAndBreak(const std::string& text) {
  MSGALERT(text);
  BREAK();
}

void EnterFolder(const std::string& drive, const std::string& folder) {
  SETCURDRIVE(Value::String(drive));
  if (DIRCHANGE(Value::String(drive + (folder.empty() ? std::string("\\") : folder))) != 0) {
    AlertAndBreak("Unable to Access Directory: " + drive + folder);
  }
}

void StageArchive(UpdateRun& run, const std::string& base) {
  const PathVars& p = run.paths;
  const std::string zip = base + ".zip";
  run.progress.Show("Copying " + zip + " to " + p.to_drive + p.temp_path);
  COPYFILE(p.from_drvpth + zip, p.Temp(zip));
  MSGDEBUG("Copied " + zip + " to " + p.to_drive + p.temp_path);
  MSGDEBUG(zip);
  // The update definition of an earlier, unfinished update must not be taken for this
  // one's when this archive cannot be unpacked.
  if (FILE(Value::String(zip))) FERASE(std::string_view("updatdef.dbf"));
  UNZIPFILE(Value::String(zip), Value::String(kUpdatePassword));
}

void InstallBitmaps(UpdateRun& run) {
  std::vector<std::string> names;
  for (const std::string& name : ListNames("*.bmp")) {
    const std::string upper = UpperText(name);
    if (upper == "LOGOP.BMP" || upper == "LOGO.BMP") continue;
    names.push_back(name);
  }
  InstallFiles(run, "Bitmaps", names);
}

void SaveOldCatalogue(UpdateRun& run) {
  const PathVars& p = run.paths;
  run.progress.Show("Copying Setup Files.");
  run.rebuild = false;
  if (CatalogueHere()) {
    // A copy saved by an update that did not finish still holds the site's folder
    // paths (the catalogue may already be the shipped one): it is kept.
    if (CatalogueResetPending(p.to_drvpth) && FILE(Value::String("OLDEXDEF.DBF"))) {
      run.rebuild = true;
    } else if (COPYFILE(p.Installed("indexdef.dbf"), p.Installed("oldexdef.dbf")).is_nil()) {
      NoteCatalogueSaved(p.to_drvpth);
      run.rebuild = true;
    }
  }
  MSGDEBUG("Copied INDEXDEF to OLDEXDEF");
}

void InstallProgramFiles(UpdateRun& run) {
  const PathVars& p = run.paths;
  run.progress.Show("Copying EXE files to " + p.to_drive + p.to_path);
  EnterTemp();
  InstallFiles(run, "Program files", ListNames("*.exe"));
  LeaveTemp();
  MSGDEBUG("Copied EXE'S To " + p.to_drive + p.to_path);
}

void InstallLibraries(UpdateRun& run) {
  const PathVars& p = run.paths;
  run.progress.Show("Copying DLL files to " + p.to_drive + p.to_path);
  EnterTemp();
  std::vector<std::string> installed, failed;
  for (const std::string& name : ListNames("*.dll")) {
    run.progress.Show("Copying " + name + " to " + p.to_drive + p.to_path);
    // The zip library of the installer itself is never installed.
    if (UpperText(name) == "KVRZIPDLL.DLL") continue;
    (InstallFile(name, p.Installed(name)) ? installed : failed).push_back(name);
  }
  run.log->Files("Libraries", installed, failed);
  LeaveTemp();
  MSGDEBUG("Copied DLL'S To " + p.to_drive + p.to_path);
}

void CleanTempArea(UpdateRun& run) {
  run.progress.text = "Cleaning Up Temporary Area.";
  run.progress.Redisplay();
  SYSREFRESH();
  EnterTemp();
  for (const std::string& name : ListNames("*.*")) FERASE(name);
  LeaveTemp();
}

}  // namespace px
