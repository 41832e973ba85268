#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "tests/forked_process.h"

namespace px::test {

bool Channel::Send(char c) {
  return write(static_cast<int>(out_), &c, 1) == 1;
}

char Channel::Receive(int timeout_ms) {
  pollfd p{static_cast<int>(in_), POLLIN, 0};
  if (poll(&p, 1, timeout_ms) != 1) return 0;
  char c = 0;
  return read(static_cast<int>(in_), &c, 1) == 1 ? c : 0;
}

bool Channel::Closed() {
  pollfd p{static_cast<int>(in_), POLLIN, 0};
  return poll(&p, 1, 0) == 1;
}

ForkedProcess::ForkedProcess(const std::function<int(Channel&)>& fn) {
  int to_child[2], from_child[2];
  if (pipe(to_child) != 0 || pipe(from_child) != 0) return;
  const pid_t pid = fork();
  if (pid == 0) {
    close(to_child[1]);
    close(from_child[0]);
    Channel channel(to_child[0], from_child[1]);
    _exit(fn(channel));
  }
  close(to_child[0]);
  close(from_child[1]);
  started_ = pid > 0;
  process_ = pid;
  to_child_ = to_child[1];
  from_child_ = from_child[0];
  channel_ = Channel(from_child_, to_child_);
}

ForkedProcess::~ForkedProcess() {
  if (process_ > 0 && !reaped_) {
    kill(static_cast<pid_t>(process_), SIGKILL);
    waitpid(static_cast<pid_t>(process_), nullptr, 0);
  }
  CloseInput();
  if (from_child_ >= 0) close(static_cast<int>(from_child_));
}

void ForkedProcess::CloseInput() {
  if (to_child_ >= 0) close(static_cast<int>(to_child_));
  to_child_ = -1;
}

int ForkedProcess::Join(int timeout_ms) {
  if (process_ <= 0 || reaped_) return -1;
  const pid_t pid = static_cast<pid_t>(process_);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      reaped_ = true;
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  reaped_ = true;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool IsReplayingChild() {
  return false;
}

void KillThisProcess() {
  raise(SIGKILL);
  _exit(137);
}

}  // namespace px::test
