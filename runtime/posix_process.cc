// The POSIX process runner and the host side of program look-up.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "runtime/env.h"
#include "runtime/process.h"
#include "runtime/process_host.h"

namespace px {

namespace {

constexpr int kNotFoundExit = 127;

int ExitCodeOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

int WaitFor(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return ExitCodeOf(status);
}

// argv arrays built before fork: the child may only call async-signal-safe functions
// (the parent may run toolkit threads), so nothing is allocated after the fork.
struct PreparedArgv {
  std::vector<std::vector<char*>> argv;
  std::vector<std::string> not_found_messages;
};

PreparedArgv Prepare(const LaunchRequest& request) {
  PreparedArgv p;
  for (const Command& c : request.commands) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(c.program.c_str()));
    for (const std::string& a : c.args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    p.argv.push_back(std::move(argv));
    p.not_found_messages.push_back("Bad command or file name: " + c.program + "\n");
  }
  return p;
}

// Runs every command of a batch one after the other and ends the process with the
// last exit code. Child side only: async-signal-safe calls.
[[noreturn]] void RunBatchInChild(PreparedArgv& p) {
  int last = 0;
  for (size_t i = 0; i < p.argv.size(); ++i) {
    const pid_t pid = fork();
    if (pid == 0) {
      execv(p.argv[i][0], p.argv[i].data());
      const std::string& msg = p.not_found_messages[i];
      ssize_t ignored = write(2, msg.data(), msg.size());
      (void)ignored;
      _exit(kNotFoundExit);
    }
    if (pid < 0) {
      last = kNotFoundExit;
      continue;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    last = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  _exit(last);
}

// Child side: runs the request (exec for one program, the batch loop for a batch).
// An exec failure is written as errno to the report pipe.
[[noreturn]] void RunInChild(PreparedArgv& p, bool is_batch, int report_fd) {
  if (is_batch) RunBatchInChild(p);
  execv(p.argv[0][0], p.argv[0].data());
  const int err = errno;
  ssize_t ignored = write(report_fd, &err, sizeof(err));
  (void)ignored;
  _exit(kNotFoundExit);
}

// Reads the errno of a failed exec from the report pipe: 0 when the exec succeeded
// (the pipe closed on exec).
int ReadExecError(int fd) {
  int err = 0;
  ssize_t n;
  while ((n = read(fd, &err, sizeof(err))) < 0 && errno == EINTR) {
  }
  return n == static_cast<ssize_t>(sizeof(err)) ? err : 0;
}

class PosixProcessRunner : public ProcessRunner {
 public:
  LaunchResult Run(const LaunchRequest& request, bool wait,
                   const std::function<void()>& after_start,
                   const std::function<void()>& while_waiting) override {
    LaunchResult result;
    if (request.commands.empty()) {
      // An empty batch file runs and ends at once.
      if (!request.is_batch) {
        result.os_code = kOsFileNotFound;
        return result;
      }
      result.started = true;
      if (after_start) after_start();
      if (wait) result.exit_code = 0;
      return result;
    }
    PreparedArgv p = Prepare(request);
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
      result.os_code = OsCodeFromErrno(errno);
      return result;
    }
    const pid_t pid = fork();
    if (pid < 0) {
      result.os_code = OsCodeFromErrno(errno);
      close(fds[0]);
      close(fds[1]);
      return result;
    }
    if (pid == 0) {
      close(fds[0]);
      if (!wait) {
        // Detach: the grandchild runs the program; this intermediate process ends at
        // once so that the caller can reap it, and the program is inherited by init.
        const pid_t grandchild = fork();
        if (grandchild != 0) _exit(grandchild < 0 ? 1 : 0);
        setsid();
      }
      RunInChild(p, request.is_batch, fds[1]);
    }
    close(fds[1]);
    int detach_status = 0;
    if (!wait) detach_status = WaitFor(pid);
    const int exec_error = ReadExecError(fds[0]);
    close(fds[0]);
    if (exec_error != 0 || detach_status != 0) {
      if (wait) WaitFor(pid);
      result.os_code = exec_error != 0 ? OsCodeFromErrno(exec_error) : kOsNotEnoughMemory;
      return result;
    }
    result.started = true;
    if (after_start) after_start();
    if (wait) result.exit_code = while_waiting ? PollFor(pid, while_waiting) : WaitFor(pid);
    return result;
  }

 private:
  static int PollFor(pid_t pid, const std::function<void()>& while_waiting) {
    for (;;) {
      int status = 0;
      const pid_t done = waitpid(pid, &status, WNOHANG);
      if (done == pid) return ExitCodeOf(status);
      if (done < 0 && errno != EINTR) return -1;
      while_waiting();
      GetEnv()->SleepMicros(50000);
    }
  }
};

}  // namespace

ProcessRunner* ProcessRunner::Posix() {
  static ProcessRunner* runner = new PosixProcessRunner();
  return runner;
}

ProcessRunner* ProcessRunner::Default() {
  return Posix();
}

std::string ProgramFilePath() {
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
  if (n <= 0) return "";
  return std::string(buf, static_cast<size_t>(n));
}

bool IsStartableFile(const std::string& host) {
  struct stat st;
  if (host.empty() || stat(host.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  return EndsWithNoCase(host, ".bat") || access(host.c_str(), X_OK) == 0;
}

std::string JoinHostPath(const std::string& folder, const std::string& name) {
  return folder + (!folder.empty() && folder.back() == '/' ? "" : "/") + name;
}

std::string ParentFolder(const std::string& host) {
  const size_t slash = host.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? std::string("/") : host.substr(0, slash);
}

}  // namespace px
