// A second workstation for tests: a child process that runs a function and talks with
// the test through two pipes, one byte per message.
//
// On POSIX systems the child is a fork: it inherits the parent's open files, and with
// them the parent's open file descriptions and their locks. Fork before the test opens
// any table, and end the child only by returning from its function (the child leaves
// through _exit, so no inherited object is destroyed twice).
//
// Windows has no fork: the child is this test program run again for the current test
// alone, and the test replays its steps in it up to the ForkedProcess it plays (the
// n-th constructed in the test). The ForkedProcess objects before that one start
// nothing in the child, and a ScratchDir there hands out the parent's folder as path()
// while the replayed steps work in a private current folder; the function then runs in
// the parent's folder. So the steps before the n-th ForkedProcess must not depend on
// earlier children, and whatever they write through path() must be what the parent
// wrote there too. A child that never gets to its part ends with kNeverStarted.
#ifndef PX_TESTS_FORKED_PROCESS_H_
#define PX_TESTS_FORKED_PROCESS_H_

#include <cstdint>
#include <functional>

#include "tests/child_process.h"

namespace px::test {

// The child's end of the conversation (the parent's end alike).
class Channel {
 public:
  // in and out are file descriptors (Windows: pipe handles).
  Channel(intptr_t in, intptr_t out) : in_(in), out_(out) {}
  // Sends one byte; false when the other side is gone.
  bool Send(char c);
  // Waits for one byte, at most timeout_ms (-1: without end). 0 when none came.
  char Receive(int timeout_ms = 60000);
  // True when the other side has closed its end (or sent a byte), without waiting.
  bool Closed();

 private:
  intptr_t in_;
  intptr_t out_;
};

// The exit code of a replayed Windows child that never reached its ForkedProcess.
constexpr int kNeverStarted = 125;

class ForkedProcess {
 public:
  // Starts the child running fn; its result becomes the child's exit code.
  explicit ForkedProcess(const std::function<int(Channel&)>& fn);
  ~ForkedProcess();
  ForkedProcess(const ForkedProcess&) = delete;
  ForkedProcess& operator=(const ForkedProcess&) = delete;

  bool started() const { return started_; }
  // The parent's end: Send reaches the child's Receive and the other way round.
  Channel& channel() { return channel_; }
  // Closes the pipe to the child, which its Closed() then reports.
  void CloseInput();
  // Waits for the child's end, at most timeout_ms; its exit code, or -1 when it did
  // not end in time (it is killed) or was killed (KillThisProcess).
  int Join(int timeout_ms = 120000);

 private:
  bool started_ = false;
  bool reaped_ = false;
#ifdef _WIN32
  ChildProcess child_;
#else
  intptr_t process_ = -1;  // the pid
#endif
  intptr_t to_child_ = -1;
  intptr_t from_child_ = -1;
  Channel channel_{-1, -1};
};

// Whether this process is a Windows child replaying the test (never on POSIX systems).
// Steps that would redo on the parent's files what the parent did can be left out.
bool IsReplayingChild();

// Ends this process at once, as a kill from outside would: no destructor, no flush.
// ForkedProcess::Join reports such an end as -1.
[[noreturn]] void KillThisProcess();

}  // namespace px::test

#endif  // PX_TESTS_FORKED_PROCESS_H_
