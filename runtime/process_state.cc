#include "runtime/process_state.h"

namespace px {

ProcessState& GetProcessState() {
  static ProcessState* state = new ProcessState();
  return *state;
}

bool GetNetErr() {
  return GetProcessState().net_err;
}
void SetNetErr(bool value) {
  GetProcessState().net_err = value;
}

int GetFileError() {
  return GetProcessState().file_error;
}
void SetFileError(int os_code) {
  GetProcessState().file_error = os_code;
}

void ResetProcessStateForTesting() {
  ProcessState& s = GetProcessState();
  s.settings = Settings();
  s.memvars.Clear();
  s.net_err = false;
  s.file_error = 0;
  s.handler = nullptr;
  s.report_hook = nullptr;
  s.recorded_errors.clear();
  s.quit_hooks.clear();
  s.fatal_hook = nullptr;
  s.call_stack.clear();
  s.error_report = ErrorReportState();
  s.error_log_folder.clear();
}

Settings& GetSettings() {
  return GetProcessState().settings;
}
MemVars& GetMemVars() {
  return GetProcessState().memvars;
}

}  // namespace px
