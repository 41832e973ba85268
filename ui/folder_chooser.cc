#include "ui/folder_chooser.h"

#include <cstdlib>

#include "runtime/dos_path.h"
#include "runtime/env.h"
#include "runtime/ini_file.h"
#include "runtime/process.h"
#include "ui/backend.h"
#include "ui/messages.h"

namespace px {

namespace {

constexpr char kSection[] = "GetDirectory";

std::string IniPath(const std::string& folder) {
  const char sep = folder.find('/') != std::string::npos ? '/' : '\\';
  return folder + (folder.back() == sep ? "" : std::string(1, sep)) + "rundlg32.ini";
}

// Offers the choice to the external chooser. False when it could not be started.
bool RunExternalChooser(const std::string& ini, const std::string& title,
                        const std::string& start_folder, std::string* result) {
  IniFile request;
  if (!title.empty()) request.Set(kSection, "lpstrTitle", title);
  if (!start_folder.empty()) request.Set(kSection, "lpstrDirectory", start_folder);
  request.Set(kSection, "hwndOwner", std::to_string(GetUiBackend().ActiveWindowHandle()));
  // Marked as working from the start, so that a chooser that is slow to come up is
  // waited for instead of being taken as finished.
  request.Set(kSection, "working", "1");
  request.Save(ini);
  CURSORARROW();

  LaunchRequest launch;
  int os_code = 0;
  if (!PrepareLaunch("rundlg32 3", 1, &launch, &os_code)) return false;
  // The chooser is waited for with window messages pumped meanwhile; its end also
  // ends the wait, so a chooser that dies without clearing "working" cannot hang the
  // program.
  const LaunchResult r = GetProcessRunner()->Run(launch, true, nullptr, [] { SYSREFRESH(); });
  if (!r.started) return false;
  *result = IniFile::Load(ini).Get(kSection, "lpstrDirectory", "");
  return true;
}

}  // namespace

std::string WindowsFolder() {
  Env* env = GetEnv();
  for (const char* var : {"WINDIR", "SystemRoot"}) {
    const char* v = std::getenv(var);
    if (v != nullptr && *v != '\0' && env->DirExists(v)) return v;
  }
  if (env->DirExists("C:\\WINDOWS")) return "C:\\WINDOWS";
  return "";
}

std::string CGETDIR(const std::string& title, const std::string& start_folder) {
  Env* env = GetEnv();
  const std::string start = start_folder.empty() ? env->CurrentDir() : env->HostPath(start_folder);
  const std::string chosen = GetUiBackend().ChooseFolder(title, start);
  if (chosen.empty()) return "";
  return chosen[0] == '/' ? HostToDos(chosen) : chosen;
}

std::string CGETDIR32(const std::string& title, const std::string& start_folder) {
  Env* env = GetEnv();
  CURSORWAIT();
  const std::string windows = WindowsFolder();
  std::string result;
  bool done = false;
  if (!windows.empty()) {
    const std::string ini = IniPath(windows);
    if (env->FileExists(ini)) env->DeleteFile(ini);
    done = RunExternalChooser(ini, title, start_folder, &result);
    if (env->FileExists(ini)) env->DeleteFile(ini);
  }
  if (!done) {
    CURSORARROW();
    result = CGETDIR(title, start_folder);
  }
  return result;
}

}  // namespace px
