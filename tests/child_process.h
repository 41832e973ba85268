// Child processes for the test programs: a program run in a folder with extra
// environment variables, killed and reaped when the object goes. On Windows the
// program starts through CreateProcessW (its arguments quoted as the C runtime splits
// them) and a kill is TerminateProcess with the code 128 + 9, the code a POSIX kill
// (SIGKILL) gives.
#ifndef PX_TESTS_CHILD_PROCESS_H_
#define PX_TESTS_CHILD_PROCESS_H_

#include <sys/types.h>

#include <string>
#include <vector>

namespace px::test {

class ChildProcess {
 public:
  ChildProcess() = default;
  // Starts argv[0] with the arguments in `folder` (empty: the current folder), with the
  // environment of this process plus `env` ("NAME=value", replacing variables of the
  // same name). Standard output goes to `output_file` when given, else to the null
  // device; standard error to `error_file` when given, else where this process's goes.
  // A program that cannot be started ends at once with the code 127.
  ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
               const std::string& folder = "", const std::string& output_file = "",
               const std::string& error_file = "");
  ~ChildProcess() { Kill(); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ChildProcess(ChildProcess&& other) noexcept;
  ChildProcess& operator=(ChildProcess&& other) noexcept;

  bool running() const;
  // Waits up to `seconds`; the exit code (128 + signal when killed), -1 on time-out.
  int Wait(double seconds);
  // True when the child has ended (its code in *code).
  bool Ended(int* code);
  void Kill();
#ifndef _WIN32
  // Takes charge of a child started elsewhere.
  void Adopt(pid_t pid) {
    pid_ = pid;
  }
#endif

 private:
#ifdef _WIN32
  void* process_ = nullptr;  // the process handle
  int start_failed_ = 0;     // 127 when the program could not be started
#else
  pid_t pid_ = -1;
#endif
};

// Runs a program to its end (at most `seconds`) and returns its exit code.
int RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
               const std::string& folder = "", const std::string& output_file = "",
               double seconds = 120);

// Starts Xvfb on a free display: the display number, or -1 (with the reason in *why;
// always on Windows).
int StartXvfb(ChildProcess* server, std::string* why);

}  // namespace px::test

#endif  // PX_TESTS_CHILD_PROCESS_H_
