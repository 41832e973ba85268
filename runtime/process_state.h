// The process-wide state of the system, kept in one place: engine settings, memory
// variables, the network-error flag, the error handler slot and the error logs' folder.
// (The work-area registry lives with the work areas in engine/workarea/registry.cc, the
// zip service's handle table in archive/zip_library.cc.) One thread uses all of it.
#ifndef PX_RUNTIME_PROCESS_STATE_H_
#define PX_RUNTIME_PROCESS_STATE_H_

#include <functional>
#include <string>
#include <vector>

#include "runtime/call_stack.h"
#include "runtime/error.h"
#include "runtime/memvars.h"
#include "runtime/settings.h"

namespace px {

// Where the error report (log and dialog) is, so that an error raised inside it ends
// the program instead of recursing.
struct ErrorReportState {
  int depth = 0;           // > 0 while the report runs
  int line = 0;            // the report's current source line
  bool in_dialog = false;  // the error dialog is up
};

struct ProcessState {
  Settings settings;
  MemVars memvars;
  bool net_err = false;
  int file_error = 0;        // OS code of the last file operation (FERROR)
  ErrorHandler handler;      // empty means StandardErrorHandler
  ErrorHandler report_hook;  // empty means the recording hook
  std::vector<Error> recorded_errors;
  std::vector<std::function<void()>> quit_hooks;
  std::function<void(int, const std::string&)> fatal_hook;  // shows unrecoverable errors
  std::vector<CallFrame> call_stack;  // the driver's named steps, innermost last
  ErrorReportState error_report;      // the error report running, if any
  std::string error_log_folder;       // host folder of the error logs; "" = current folder
};

ProcessState& GetProcessState();

// The network-error flag (NETERR): cleared at every open and append, set when one fails.
bool GetNetErr();
void SetNetErr(bool value);

// The OS error code of the last low-level file operation (FERASE, FRENAME), 0 after
// success.
int GetFileError();
void SetFileError(int os_code);

// Puts settings, variables, flag and handler back to their start values (tests).
void ResetProcessStateForTesting();

}  // namespace px

#endif  // PX_RUNTIME_PROCESS_STATE_H_
