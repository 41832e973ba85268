// Error values and the process-wide error handler.
//
// The engine, the expression evaluator and the file operations never throw: they build
// an Error, hand it to the process handler with RaiseError and act on the answer. An
// answer of retry asks the raiser to repeat its step (raisers loop "while the handler
// answers retry"); default asks it to go on with its default outcome; a value is used
// as the operation's result (zero division).
//
// The handler slot starts out holding StandardErrorHandler, whose quiet policy turns
// zero division into 0 and sharing failures into the network-error flag, and passes
// everything else to the report hook. The report hook is where the user interface
// writes the error log and shows the error dialog; until one is installed, errors are
// recorded (see RecordedErrors) and answered with default.
#ifndef PX_RUNTIME_ERROR_H_
#define PX_RUNTIME_ERROR_H_

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "runtime/value.h"

namespace px {

// General codes of errors, shared by every subsystem.
enum GenCode : int {
  kErrArg = 1,             // "Argument error"
  kErrBound = 2,           // "Bound error"
  kErrStrOverflow = 3,     // "String overflow"
  kErrNumOverflow = 4,     // "Numeric overflow"
  kErrZeroDiv = 5,         // "Zero divisor"
  kErrNumErr = 6,          // "Numeric error"
  kErrSyntax = 7,          // "Syntax error"
  kErrCompTooComplex = 8,  // "Operation too complex"
  kErrMem = 11,            // "Memory low"
  kErrNoFunc = 12,         // "Undefined function"
  kErrNoMethod = 13,       // "No exported method"
  kErrNoVar = 14,          // "Variable does not exist"
  kErrNoAlias = 15,        // "Alias does not exist"
  kErrNoVarMethod = 16,    // "No exported variable"
  kErrBadAlias = 17,       // "Illegal characters in alias"
  kErrDupAlias = 18,       // "Alias already in use"
  kErrCreate = 20,         // "Create error"
  kErrOpen = 21,           // "Open error"
  kErrClose = 22,          // "Close error"
  kErrRead = 23,           // "Read error"
  kErrWrite = 24,          // "Write error"
  kErrPrint = 25,          // "Print error"
  kErrUnsupported = 30,    // "Operation not supported"
  kErrLimit = 31,          // "Limit exceeded"
  kErrCorruption = 32,     // "Corruption detected"
  kErrDataType = 33,       // "Data type error"
  kErrDataWidth = 34,      // "Data width error"
  kErrNoTable = 35,        // "Workarea not in use"
  kErrNoOrder = 36,        // "Workarea not indexed"
  kErrShared = 37,         // "Exclusive required"
  kErrUnlocked = 38,       // "Lock required"
  kErrReadOnly = 39,       // "Write not allowed"
  kErrAppendLock = 40,     // "Append lock failed"
  kErrLock = 41,           // "Lock Failure"
};

// The standard description of a general code ("" for codes without one).
const char* GenCodeDescription(int gen_code);

constexpr int kSeverityWarning = 1;
constexpr int kSeverityError = 2;

// An error as the handler sees it. Field names follow the error object of the system.
struct Error {
  int severity = kSeverityError;
  int gen_code = 0;
  std::string subsystem;
  int sub_code = 0;
  int os_code = 0;
  std::string description;
  std::string filename;
  std::string operation;
  std::vector<Value> args;
  bool has_args = false;  // args were attached (even an empty list)
  bool can_retry = false;
  bool can_default = false;
  bool can_substitute = false;
  int tries = 0;  // how often the raiser has raised this error

  // An error with the standard description of its general code.
  static Error Make(std::string subsystem, int gen_code, int sub_code);
};

// The handler's answer to one error.
struct ErrorAnswer {
  enum class Kind { kDefault, kRetry, kValue };
  Kind kind = Kind::kDefault;
  Value value;

  static ErrorAnswer Default() { return {}; }
  static ErrorAnswer Retry() { return {Kind::kRetry, Value()}; }
  static ErrorAnswer Substitute(Value v) { return {Kind::kValue, std::move(v)}; }
  bool retry() const { return kind == Kind::kRetry; }
};

using ErrorHandler = std::function<ErrorAnswer(Error&)>;

// Hands the error to the process handler (after counting the try) and returns its
// answer. A retry answer for an error that cannot be retried is turned into default,
// so raisers may loop on retry() without checking can_retry themselves.
ErrorAnswer RaiseError(Error& e);
inline ErrorAnswer RaiseError(Error&& e) {
  return RaiseError(e);
}

// Installs a handler and returns the one it replaces.
ErrorHandler SetErrorHandler(ErrorHandler handler);

// Replaces the handler for the life of the object and restores the previous one.
class ScopedErrorHandler {
 public:
  explicit ScopedErrorHandler(ErrorHandler handler);
  ~ScopedErrorHandler();
  ScopedErrorHandler(const ScopedErrorHandler&) = delete;
  ScopedErrorHandler& operator=(const ScopedErrorHandler&) = delete;

 private:
  ErrorHandler previous_;
};

// Answers every error raised during the life of the object with its default, showing
// none, and keeps the first: for reading a table on the side (the catalogue, a scratch
// copy) where any error only means that it could not be read.
class QuietErrors {
 public:
  QuietErrors();
  QuietErrors(const QuietErrors&) = delete;
  QuietErrors& operator=(const QuietErrors&) = delete;

  bool failed() const { return first_.has_value(); }
  // The first error raised since the start or the last Reset(); nullptr when none.
  const Error* first() const { return first_ ? &*first_ : nullptr; }
  void Reset() { first_.reset(); }

 private:
  std::optional<Error> first_;
  ScopedErrorHandler handler_;
};

// Shows each error raised during the life of the object to an observer, then hands it
// to the handler installed before (the standard handler when there was none), whose
// answer stands; restores that handler at the end.
class ScopedErrorObserver {
 public:
  explicit ScopedErrorObserver(std::function<void(const Error&)> observer);
  ~ScopedErrorObserver();
  ScopedErrorObserver(const ScopedErrorObserver&) = delete;
  ScopedErrorObserver& operator=(const ScopedErrorObserver&) = delete;

 private:
  ErrorHandler previous_;
};

// The standard handler: steps 1 to 3 of the handling order (zero division gives 0;
// open errors with OS code 32 or 5 and append-lock errors that can default set the
// network-error flag and answer default), then the report hook.
ErrorAnswer StandardErrorHandler(Error& e);

// Installs the report hook called by StandardErrorHandler for every error it does not
// settle quietly; returns the previous hook. An empty hook restores the recording one.
ErrorHandler SetReportHook(ErrorHandler hook);

// Errors that reached the recording report hook, oldest first.
const std::vector<Error>& RecordedErrors();
void ClearRecordedErrors();

// The error's message text: "Error DBFNTX/1001  Open error: file" or
// "(DOS Error 2) DBFNTX/1001  Open error: file".
std::string ERRORMESSAGE(const Error& e);

// Ends the program with the exit code after running the quit hooks (newest first).
[[noreturn]] void QuitProgram(int exit_code);
// Registers a function run by QuitProgram (closing tables, releasing windows).
void AddQuitHook(std::function<void()> hook);

// The folder the error logs go to ("Error.log" of the report, "error.log" of an
// unrecoverable error). The installer names the folder it was started in, so that a log
// written while it works in another folder (the update's temp folder, whose files the
// update erases at its end) stays where support staff look for it. Empty, the start
// value, means the current folder at the moment the log is written.
void SetErrorLogFolder(std::string host_folder);
const std::string& ErrorLogFolder();
// The name to write the log file `name` under: in the log folder, or `name` itself.
std::string ErrorLogPath(const std::string& name);

// Sets the error log folder for the life of the object, then restores the previous one.
class ScopedErrorLogFolder {
 public:
  explicit ScopedErrorLogFolder(std::string host_folder);
  ~ScopedErrorLogFolder();
  ScopedErrorLogFolder(const ScopedErrorLogFolder&) = delete;
  ScopedErrorLogFolder& operator=(const ScopedErrorLogFolder&) = delete;

 private:
  std::string previous_;
};

// An error that cannot be handed to the handler (the index sort out of memory, 9000
// "Not enough room for index buffer"): writes its text to "error.log" in the error log
// folder (replacing it) when there is a text, shows it through the fatal hook (a stop
// box "Unrecoverable error 9000: "), and ends the program with exit code 1.
[[noreturn]] void UnrecoverableError(int number, const std::string& text);
// Installs the function that shows an unrecoverable error; returns the previous one.
std::function<void(int, const std::string&)> SetFatalHook(
    std::function<void(int, const std::string&)> hook);

}  // namespace px

#endif  // PX_RUNTIME_ERROR_H_
