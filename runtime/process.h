// Starting other programs: program look-up, command lines, batch files and the
// process runner that the rest of the system launches through.
//
// A command line is a program name followed by arguments separated by blanks (a pair
// of double quotes keeps blanks inside one argument). The program name is looked up
// in this order: the current folder (without regard to letter case, with or without
// ".exe"), the folder of the running program, then each folder of PATH. A name with a
// folder part is taken as a path (DOS or host form) and only tried with and without
// ".exe".
//
// On POSIX a ".bat" file is not handed to a shell: the project's batch runner reads
// it, stops at the end-of-file byte 26, and runs each non-empty line as one command
// (first word the program, looked up as above; the rest its arguments). Lines starting
// with "REM" or "::" are comments and a leading "@" is ignored. A program of the batch
// that cannot be found or started gives exit code 127 for that line and the batch goes
// on; the batch's exit code is that of its last command. On Windows the system's own
// command processor runs it ("cmd.exe /c"), with the folder of the running program
// ahead of PATH so that the batch finds the same programs as the look-up above.
//
// Every start goes through the installed ProcessRunner, so tests can watch and answer
// launches (ScopedProcessRunner). The POSIX runner never leaves zombies: a program
// started without waiting is detached through an intermediate process that is reaped
// at once. The Windows runner starts programs with CreateProcess and any other file (a
// document) through the shell, which opens it with its associated program.
#ifndef PX_RUNTIME_PROCESS_H_
#define PX_RUNTIME_PROCESS_H_

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace px {

// One program to run: its host path, then its arguments (argv[1..]).
struct Command {
  std::string program;
  std::vector<std::string> args;
};

// What a start asks for. show_mode is the window-system's show mode of the program's
// first window; hosts without one ignore it.
struct LaunchRequest {
  std::string command_line;       // as the caller wrote it
  std::vector<Command> commands;  // one, or the lines of a batch file
  bool is_batch = false;
  std::string batch_file;               // host path of the batch file
  std::vector<std::string> batch_args;  // the words after the batch file's name
  int show_mode = 1;
};

// How a start went.
struct LaunchResult {
  bool started = false;
  int os_code = 0;     // DOS error code when not started (2 = program not found)
  int exit_code = -1;  // exit code after a wait; -1 when not started
};

class ProcessRunner {
 public:
  virtual ~ProcessRunner() = default;
  // Starts the commands (one after the other for a batch) and, with wait set, waits
  // until the last has ended. after_start runs once the program is running, before
  // the wait begins (the caller pumps its window messages there). while_waiting, when
  // given, is called about every 50 milliseconds of the Env's clock during the wait;
  // without it the wait blocks. Either may be empty.
  virtual LaunchResult Run(const LaunchRequest& request, bool wait,
                           const std::function<void()>& after_start,
                           const std::function<void()>& while_waiting) = 0;

  // The real operating system: the POSIX runner, or the Windows one on Windows.
  static ProcessRunner* Default();
#ifndef _WIN32
  static ProcessRunner* Posix();
#endif
};

// The installed runner: the platform's own unless a test installed another.
ProcessRunner* GetProcessRunner();

class ScopedProcessRunner {
 public:
  explicit ScopedProcessRunner(ProcessRunner* runner);
  ~ScopedProcessRunner();
  ScopedProcessRunner(const ScopedProcessRunner&) = delete;
  ScopedProcessRunner& operator=(const ScopedProcessRunner&) = delete;

 private:
  ProcessRunner* previous_;
};

// Splits a command line into words at blanks and tabs; double quotes group blanks
// into one word and are removed.
std::vector<std::string> SplitCommandLine(std::string_view line);

// The host path of a program name, or "" when it cannot be found (see the look-up
// order above). A found file must be an ordinary file that is executable, or a ".bat"
// file (on Windows any ordinary file).
std::string FindProgram(std::string_view name);

// The host path of the running program ("/proc/self/exe"; the module file name on
// Windows), or "".
std::string ProgramFilePath();

// Reads a batch file's commands: stops at byte 26, skips blank and comment lines,
// strips a leading "@". Programs are looked up now; a program that cannot be found
// keeps its name as given (the runner then reports 127 for its line). False when the
// file cannot be read.
bool ReadBatchFile(std::string_view host_path, std::vector<Command>* commands);

// Builds the request for a command line: looks the program up and reads batch files.
// False (with *os_code set, 2 for a missing program) when there is nothing to start.
bool PrepareLaunch(std::string_view command_line, int show_mode, LaunchRequest* request,
                   int* os_code);

}  // namespace px

#endif  // PX_RUNTIME_PROCESS_H_
