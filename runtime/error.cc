#include "runtime/error.h"

#include <cstdio>
#include <cstdlib>

#include "runtime/env.h"
#include "runtime/process_state.h"

namespace px {

const char* GenCodeDescription(int gen_code) {
  switch (gen_code) {
    case kErrArg:
      return "Argument error";
    case kErrBound:
      return "Bound error";
    case kErrStrOverflow:
      return "String overflow";
    case kErrNumOverflow:
      return "Numeric overflow";
    case kErrZeroDiv:
      return "Zero divisor";
    case kErrNumErr:
      return "Numeric error";
    case kErrSyntax:
      return "Syntax error";
    case kErrCompTooComplex:
      return "Operation too complex";
    case kErrMem:
      return "Memory low";
    case kErrNoFunc:
      return "Undefined function";
    case kErrNoMethod:
      return "No exported method";
    case kErrNoVar:
      return "Variable does not exist";
    case kErrNoAlias:
      return "Alias does not exist";
    case kErrNoVarMethod:
      return "No exported variable";
    case kErrBadAlias:
      return "Illegal characters in alias";
    case kErrDupAlias:
      return "Alias already in use";
    case kErrCreate:
      return "Create error";
    case kErrOpen:
      return "Open error";
    case kErrClose:
      return "Close error";
    case kErrRead:
      return "Read error";
    case kErrWrite:
      return "Write error";
    case kErrPrint:
      return "Print error";
    case kErrUnsupported:
      return "Operation not supported";
    case kErrLimit:
      return "Limit exceeded";
    case kErrCorruption:
      return "Corruption detected";
    case kErrDataType:
      return "Data type error";
    case kErrDataWidth:
      return "Data width error";
    case kErrNoTable:
      return "Workarea not in use";
    case kErrNoOrder:
      return "Workarea not indexed";
    case kErrShared:
      return "Exclusive required";
    case kErrUnlocked:
      return "Lock required";
    case kErrReadOnly:
      return "Write not allowed";
    case kErrAppendLock:
      return "Append lock failed";
    case kErrLock:
      return "Lock Failure";
    default:
      return "";
  }
}

Error Error::Make(std::string subsystem, int gen_code, int sub_code) {
  Error e;
  e.subsystem = std::move(subsystem);
  e.gen_code = gen_code;
  e.sub_code = sub_code;
  e.description = GenCodeDescription(gen_code);
  return e;
}

ErrorAnswer RaiseError(Error& e) {
  ++e.tries;
  ProcessState& state = GetProcessState();
  ErrorAnswer answer = state.handler ? state.handler(e) : StandardErrorHandler(e);
  if (answer.retry() && !e.can_retry) answer = ErrorAnswer::Default();
  return answer;
}

ErrorHandler SetErrorHandler(ErrorHandler handler) {
  ErrorHandler previous = std::move(GetProcessState().handler);
  GetProcessState().handler = std::move(handler);
  return previous;
}

ScopedErrorHandler::ScopedErrorHandler(ErrorHandler handler)
    : previous_(SetErrorHandler(std::move(handler))) {}

ScopedErrorHandler::~ScopedErrorHandler() {
  SetErrorHandler(std::move(previous_));
}

QuietErrors::QuietErrors()
    : handler_([this](Error& e) {
        if (!first_) first_ = e;
        return ErrorAnswer::Default();
      }) {}

ScopedErrorObserver::ScopedErrorObserver(std::function<void(const Error&)> observer) {
  previous_ = SetErrorHandler([this, observer = std::move(observer)](Error& e) {
    observer(e);
    return previous_ ? previous_(e) : StandardErrorHandler(e);
  });
}

ScopedErrorObserver::~ScopedErrorObserver() {
  SetErrorHandler(std::move(previous_));
}

ErrorAnswer StandardErrorHandler(Error& e) {
  ProcessState& state = GetProcessState();
  if (e.gen_code == kErrZeroDiv) return ErrorAnswer::Substitute(Value::Integer(0));
  if (e.gen_code == kErrOpen && (e.os_code == 32 || e.os_code == 5) && e.can_default) {
    state.net_err = true;
    return ErrorAnswer::Default();
  }
  if (e.gen_code == kErrAppendLock && e.can_default) {
    state.net_err = true;
    return ErrorAnswer::Default();
  }
  if (state.report_hook) return state.report_hook(e);
  state.recorded_errors.push_back(e);
  return ErrorAnswer::Default();
}

ErrorHandler SetReportHook(ErrorHandler hook) {
  ErrorHandler previous = std::move(GetProcessState().report_hook);
  GetProcessState().report_hook = std::move(hook);
  return previous;
}

const std::vector<Error>& RecordedErrors() {
  return GetProcessState().recorded_errors;
}
void ClearRecordedErrors() {
  GetProcessState().recorded_errors.clear();
}

std::string ERRORMESSAGE(const Error& e) {
  std::string text;
  if (e.os_code == 0) {
    text = e.severity > kSeverityWarning ? "Error " : "Warning ";
  } else {
    text = "(DOS Error " + std::to_string(e.os_code) + ") ";
  }
  text += e.subsystem.empty() ? "?\?\?" : e.subsystem;
  text += "/" + std::to_string(e.sub_code);
  if (!e.description.empty()) text += "  " + e.description;
  if (!e.filename.empty()) {
    text += ": " + e.filename;
  } else if (!e.operation.empty()) {
    text += ": " + e.operation;
  }
  return text;
}

void QuitProgram(int exit_code) {
  std::vector<std::function<void()>> hooks = std::move(GetProcessState().quit_hooks);
  GetProcessState().quit_hooks.clear();
  for (auto it = hooks.rbegin(); it != hooks.rend(); ++it) (*it)();
  std::fflush(stdout);
  std::fflush(stderr);
  std::exit(exit_code);
}

void AddQuitHook(std::function<void()> hook) {
  GetProcessState().quit_hooks.push_back(std::move(hook));
}

void SetErrorLogFolder(std::string host_folder) {
  GetProcessState().error_log_folder = std::move(host_folder);
}

const std::string& ErrorLogFolder() {
  return GetProcessState().error_log_folder;
}

std::string ErrorLogPath(const std::string& name) {
  const std::string& folder = ErrorLogFolder();
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

ScopedErrorLogFolder::ScopedErrorLogFolder(std::string host_folder) : previous_(ErrorLogFolder()) {
  SetErrorLogFolder(std::move(host_folder));
}

ScopedErrorLogFolder::~ScopedErrorLogFolder() {
  SetErrorLogFolder(std::move(previous_));
}

void UnrecoverableError(int number, const std::string& text) {
  if (!text.empty()) {
    int code = 0;
    std::unique_ptr<File> f =
        GetEnv()->CreateFile(ErrorLogPath("error.log"), FileShare::kExclusive, &code);
    if (f != nullptr) {
      const std::string line = text + "\r\n";
      f->WriteAt(0, line.data(), line.size());
    }
  }
  std::function<void(int, const std::string&)> hook = GetProcessState().fatal_hook;
  if (hook) {
    hook(number, text);
  } else {
    std::fprintf(stderr, "Unrecoverable error %d: %s\n", number, text.c_str());
  }
  QuitProgram(1);
}

std::function<void(int, const std::string&)> SetFatalHook(
    std::function<void(int, const std::string&)> hook) {
  std::function<void(int, const std::string&)> previous = std::move(GetProcessState().fatal_hook);
  GetProcessState().fatal_hook = std::move(hook);
  return previous;
}

}  // namespace px
