// Program look-up, batch files and the POSIX process runner.
#include "runtime/process.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "runtime/dos_path.h"
#include "runtime/env.h"

namespace px {

namespace {

constexpr int kNotFoundExit = 127;

bool EndsWithNoCase(std::string_view s, std::string_view tail) {
  if (s.size() < tail.size()) return false;
  for (size_t i = 0; i < tail.size(); ++i) {
    char a = s[s.size() - tail.size() + i], b = tail[i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a + 32);
    if (b >= 'A' && b <= 'Z') b = static_cast<char>(b + 32);
    if (a != b) return false;
  }
  return true;
}

bool IsBatchName(std::string_view name) {
  return EndsWithNoCase(name, ".bat");
}

// The names a program may have on disk: as given, and with ".exe" added or removed.
std::vector<std::string> Candidates(std::string_view name) {
  std::vector<std::string> out{std::string(name)};
  if (EndsWithNoCase(name, ".exe")) {
    if (name.size() > 4) out.emplace_back(name.substr(0, name.size() - 4));
  } else {
    out.push_back(std::string(name) + ".exe");
  }
  return out;
}

bool Usable(const std::string& host) {
  struct stat st;
  if (host.empty() || stat(host.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  return IsBatchName(host) || access(host.c_str(), X_OK) == 0;
}

std::string Dirname(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

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

ProcessRunner* g_installed_runner = nullptr;

}  // namespace

ProcessRunner* ProcessRunner::Posix() {
  static ProcessRunner* runner = new PosixProcessRunner();
  return runner;
}

ProcessRunner* GetProcessRunner() {
  return g_installed_runner != nullptr ? g_installed_runner : ProcessRunner::Posix();
}

ScopedProcessRunner::ScopedProcessRunner(ProcessRunner* runner) : previous_(g_installed_runner) {
  g_installed_runner = runner;
}
ScopedProcessRunner::~ScopedProcessRunner() {
  g_installed_runner = previous_;
}

std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false, quoted = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
      in_word = true;
    } else if (!quoted && (c == ' ' || c == '\t' || c == '\r' || c == '\n')) {
      if (in_word) words.push_back(std::move(word));
      word.clear();
      in_word = false;
    } else {
      word += c;
      in_word = true;
    }
  }
  if (in_word) words.push_back(std::move(word));
  return words;
}

std::string ProgramFilePath() {
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
  if (n <= 0) return "";
  return std::string(buf, static_cast<size_t>(n));
}

std::string FindProgram(std::string_view name) {
  if (name.empty()) return "";
  Env* env = GetEnv();
  const std::vector<std::string> names = Candidates(name);
  const bool has_folder = name.find_first_of("\\/") != std::string_view::npos || HasDrive(name);
  if (has_folder) {
    for (const std::string& c : names) {
      std::string host = env->HostPath(c);
      if (!host.empty() && host[0] != '/') host = env->CurrentDir() + "/" + host;
      if (Usable(host)) return host;
    }
    return "";
  }
  std::vector<std::string> folders{env->CurrentDir()};
  const std::string self = ProgramFilePath();
  if (!self.empty()) folders.push_back(Dirname(self));
  if (const char* path = std::getenv("PATH")) {
    std::string_view rest(path);
    while (true) {
      const size_t colon = rest.find(':');
      const std::string_view dir = rest.substr(0, colon);
      // An empty PATH entry means the current folder, already searched first.
      if (!dir.empty()) folders.emplace_back(dir);
      if (colon == std::string_view::npos) break;
      rest.remove_prefix(colon + 1);
    }
  }
  for (const std::string& folder : folders) {
    for (const std::string& c : names) {
      const std::string host = env->HostPath(folder + (folder.back() == '/' ? "" : "/") + c);
      if (Usable(host)) return host;
    }
  }
  return "";
}

bool ReadBatchFile(std::string_view host_path, std::vector<Command>* commands) {
  commands->clear();
  std::string text;
  if (!ReadWholeFile(host_path, &text)) return false;
  const size_t eof = text.find('\x1a');
  if (eof != std::string::npos) text.resize(eof);
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos) continue;
    line.erase(0, first);
    if (line[0] == '@') line.erase(0, 1);
    if (line.rfind("::", 0) == 0) continue;
    std::vector<std::string> words = SplitCommandLine(line);
    if (words.empty()) continue;
    std::string first_word = words[0];
    for (char& c : first_word) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    }
    if (first_word == "REM") continue;
    Command cmd;
    cmd.program = FindProgram(words[0]);
    if (cmd.program.empty()) cmd.program = words[0];
    cmd.args.assign(words.begin() + 1, words.end());
    commands->push_back(std::move(cmd));
  }
  return true;
}

bool PrepareLaunch(std::string_view command_line, int show_mode, LaunchRequest* request,
                   int* os_code) {
  *request = LaunchRequest();
  request->command_line = std::string(command_line);
  request->show_mode = show_mode;
  *os_code = 0;
  const std::vector<std::string> words = SplitCommandLine(command_line);
  if (words.empty()) {
    *os_code = kOsFileNotFound;
    return false;
  }
  const std::string program = FindProgram(words[0]);
  if (program.empty()) {
    *os_code = kOsFileNotFound;
    return false;
  }
  if (IsBatchName(program)) {
    request->is_batch = true;
    if (!ReadBatchFile(program, &request->commands)) {
      *os_code = kOsAccessDenied;
      return false;
    }
    return true;
  }
  Command cmd;
  cmd.program = program;
  cmd.args.assign(words.begin() + 1, words.end());
  request->commands.push_back(std::move(cmd));
  return true;
}

}  // namespace px
