// A second workstation for tests: a forked child process that runs a function and
// talks with the test through two pipes, one byte per message.
//
// The child inherits the parent's open files, and with them the parent's open file
// descriptions and their locks. Fork before the test opens any table, and end the
// child only by returning from its function (the child leaves through _exit, so no
// inherited object is destroyed twice).
#ifndef PX_TESTS_ENGINE_WORKAREA_FORKED_PROCESS_H_
#define PX_TESTS_ENGINE_WORKAREA_FORKED_PROCESS_H_

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>

namespace px::test {

// The child's end of the conversation.
class Channel {
 public:
  Channel(int in, int out) : in_(in), out_(out) {}
  // Sends one byte; false when the other side is gone.
  bool Send(char c) { return write(out_, &c, 1) == 1; }
  // Waits for one byte, at most timeout_ms (-1: without end). 0 when none came.
  char Receive(int timeout_ms = 60000) {
    pollfd p{in_, POLLIN, 0};
    if (poll(&p, 1, timeout_ms) != 1) return 0;
    char c = 0;
    return read(in_, &c, 1) == 1 ? c : 0;
  }
  // True when the other side has closed its end (or sent a byte), without waiting.
  bool Closed() {
    pollfd p{in_, POLLIN, 0};
    return poll(&p, 1, 0) == 1;
  }

 private:
  int in_;
  int out_;
};

class ForkedProcess {
 public:
  // Starts the child running fn; its result becomes the child's exit code.
  explicit ForkedProcess(const std::function<int(Channel&)>& fn) {
    int to_child[2], from_child[2];
    if (pipe(to_child) != 0 || pipe(from_child) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(to_child[1]);
      close(from_child[0]);
      Channel channel(to_child[0], from_child[1]);
      _exit(fn(channel));
    }
    close(to_child[0]);
    close(from_child[1]);
    to_child_ = to_child[1];
    from_child_ = from_child[0];
    channel_ = Channel(from_child_, to_child_);
  }
  ~ForkedProcess() {
    if (pid_ > 0 && !reaped_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    CloseInput();
    if (from_child_ >= 0) close(from_child_);
  }
  ForkedProcess(const ForkedProcess&) = delete;
  ForkedProcess& operator=(const ForkedProcess&) = delete;

  bool started() const { return pid_ > 0; }
  // The parent's end: Send reaches the child's Receive and the other way round.
  Channel& channel() { return channel_; }
  // Closes the pipe to the child, which its Closed() then reports.
  void CloseInput() {
    if (to_child_ >= 0) close(to_child_);
    to_child_ = -1;
  }
  // Waits for the child's end, at most timeout_ms; its exit code, or -1 when it did
  // not end in time (it is killed) or ended by a signal.
  int Join(int timeout_ms = 120000) {
    if (pid_ <= 0 || reaped_) return -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    int status = 0;
    for (;;) {
      const pid_t done = waitpid(pid_, &status, WNOHANG);
      if (done == pid_) break;
      if (std::chrono::steady_clock::now() > deadline) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        reaped_ = true;
        return -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    reaped_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  bool reaped_ = false;
  int to_child_ = -1;
  int from_child_ = -1;
  Channel channel_{-1, -1};
};

}  // namespace px::test

#endif  // PX_TESTS_ENGINE_WORKAREA_FORKED_PROCESS_H_
