#include "tests/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "runtime/process.h"

extern char** environ;

namespace px::test {

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>& env, const std::string& folder,
                           const std::string& output_file, const std::string& error_file) {
  std::vector<std::string> envs;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string s(*e);
    bool replaced = false;
    for (const std::string& mine : env) {
      if (s.substr(0, s.find('=') + 1) == mine.substr(0, mine.find('=') + 1)) replaced = true;
    }
    if (!replaced) envs.push_back(s);
  }
  for (const std::string& mine : env) envs.push_back(mine);
  std::vector<char*> args, envp;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  for (const std::string& e : envs) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  pid_ = fork();
  if (pid_ == 0) {
    if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(126);
    const int out = output_file.empty()
                        ? open("/dev/null", O_RDWR)
                        : open(output_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out >= 0) dup2(out, 1);
    if (!error_file.empty()) {
      const int err = open(error_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (err >= 0) dup2(err, 2);
    }
    const int null = open("/dev/null", O_RDONLY);
    if (null >= 0) dup2(null, 0);
    execve(args[0], args.data(), envp.data());
    _exit(127);
  }
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept : pid_(other.pid_) {
  other.pid_ = -1;
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
  Kill();
  pid_ = other.pid_;
  other.pid_ = -1;
  return *this;
}

bool ChildProcess::running() const {
  return pid_ > 0;
}

bool ChildProcess::Ended(int* code) {
  if (pid_ <= 0) return true;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) != pid_) return false;
  pid_ = -1;
  *code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return true;
}

int ChildProcess::Wait(double seconds) {
  int code = -1;
  for (int i = 0; pid_ > 0 && i < seconds * 100; ++i) {
    if (Ended(&code)) return code;
    usleep(10000);
  }
  return pid_ > 0 ? -1 : code;
}

void ChildProcess::Kill() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  if (Wait(5) < 0 && pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  pid_ = -1;
}

int RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env,
               const std::string& folder, const std::string& output_file, double seconds) {
  ChildProcess child(argv, env, folder, output_file);
  return child.Wait(seconds);
}

int StartXvfb(ChildProcess* server, std::string* why) {
  const std::string xvfb = FindProgram("Xvfb");
  if (xvfb.empty()) {
    *why = "Xvfb is not installed";
    return -1;
  }
  int fds[2];
  if (pipe(fds) != 0) {
    *why = "no pipe";
    return -1;
  }
  // The display number comes back on the pipe; the child keeps its write end.
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    const std::string fd = std::to_string(fds[1]);
    execl(xvfb.c_str(), xvfb.c_str(), "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24",
          "-br", "-nolisten", "tcp", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  *server = ChildProcess();
  struct pollfd p = {fds[0], POLLIN, 0};
  std::string number;
  char c;
  while (poll(&p, 1, 15000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  if (number.empty()) {
    *why = "Xvfb did not report a display";
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
  }
  server->Adopt(pid);
  return std::atoi(number.c_str());
}

}  // namespace px::test
