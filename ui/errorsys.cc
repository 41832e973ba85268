#include "ui/errorsys.h"

#include <memory>

#include "runtime/env.h"
#include "runtime/process_state.h"
#include "ui/backend.h"
#include "ui/error_dialog.h"
#include "ui/error_log.h"
#include "ui/messages.h"
#include "ui/ui_state.h"

namespace px {

namespace {

[[noreturn]] void EndProgram() {
  GetUiBackend().Shutdown();
  QuitProgram(1);
}

// Marks the report as running for its lifetime.
class ReportScope {
 public:
  ReportScope() { ++GetProcessState().error_report.depth; }
  ~ReportScope() {
    ErrorReportState& s = GetProcessState().error_report;
    --s.depth;
    s.in_dialog = false;
    s.line = 0;
  }
  ReportScope(const ReportScope&) = delete;
  ReportScope& operator=(const ReportScope&) = delete;
};

void At(int line) {
  GetProcessState().error_report.line = line;
}

std::string Str3(int n) {
  std::string s = std::to_string(n);
  if (s.size() < 3) s.insert(0, 3 - s.size(), ' ');
  return s;
}

void WriteLog(const std::string& text) {
  int code = 0;
  std::unique_ptr<File> f =
      GetEnv()->CreateFile(ErrorLogPath("Error.log"), FileShare::kExclusive, &code);
  if (f != nullptr) f->WriteAt(0, text.data(), text.size());
}

}  // namespace

ErrorAnswer ReportError(Error& e) {
  ErrorReportState& state = GetProcessState().error_report;
  if (state.depth > 0) {
    if (state.in_dialog) EndProgram();
    const int line = state.line;
    // This box must not report again: the handler is marked as inside its dialog.
    state.in_dialog = true;
    MSGSTOP(ERRORMESSAGE(e) + " from Errorsys, line:" + Str3(line));
    EndProgram();
  }
  ReportScope scope;
  At(__LINE__);
  ErrorLogFacts facts = GatherErrorLogFacts();
  At(__LINE__);
  const std::string log = BuildErrorLog(e, facts);
  At(__LINE__);
  WriteLog(log);
  At(__LINE__);
  const std::vector<std::string> stack = StackLines(facts.stack);
  state.in_dialog = true;
  const ErrorChoice choice = RunErrorDialog(e, stack);
  state.in_dialog = false;
  At(__LINE__);
  if (choice == ErrorChoice::kQuit || (choice == ErrorChoice::kRetry && !MainWindowRunning())) {
    EndProgram();
  }
  return choice == ErrorChoice::kRetry ? ErrorAnswer::Retry() : ErrorAnswer::Default();
}

void ERRORSYS() {
  SetErrorHandler(StandardErrorHandler);
  SetReportHook(ReportError);
  SetFatalHook([](int number, const std::string& text) {
    MSGSTOP(Value::String(text),
            Value::String("Unrecoverable error " + std::to_string(number) + ": "));
  });
}

}  // namespace px
