// Child processes for the test programs: a program run in a folder with extra
// environment variables, killed and reaped when the object goes.
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
  // same name). Standard output goes to `output_file` when given, else to /dev/null;
  // standard error to `error_file` when given, else where this process's goes.
  ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
               const std::string& folder = "", const std::string& output_file = "",
               const std::string& error_file = "");
  ~ChildProcess() { Kill(); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ChildProcess(ChildProcess&& other) noexcept;
  ChildProcess& operator=(ChildProcess&& other) noexcept;

  bool running() const { return pid_ > 0; }
  // Waits up to `seconds`; the exit code (128 + signal when killed), -1 on time-out.
  int Wait(double seconds);
  // True when the child has ended (its code in *code).
  bool Ended(int* code);
  void Kill();
  // Takes charge of a child started elsewhere.
  void Adopt(pid_t pid) { pid_ = pid; }

 private:
  pid_t pid_ = -1;
};

// Runs a program to its end (at most `seconds`) and returns its exit code.
int RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
               const std::string& folder = "", const std::string& output_file = "",
               double seconds = 120);

// Starts Xvfb on a free display: the display number, or -1 (with the reason in *why).
int StartXvfb(ChildProcess* server, std::string* why);

}  // namespace px::test

#endif  // PX_TESTS_CHILD_PROCESS_H_
