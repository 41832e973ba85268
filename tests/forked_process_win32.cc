#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/forked_process.h"

// <windows.h> comes last: its macros must not reach the project's headers.
#include <windows.h>

namespace px::test {
namespace {

// What a child is told: which ForkedProcess of the test it plays, the parent's
// current folder, and its ends of the two pipes.
constexpr char kRole[] = "PX_FORK_ROLE";
constexpr char kFolder[] = "PX_FORK_FOLDER";
constexpr char kPipes[] = "PX_FORK_PIPES";
constexpr UINT kKilledCode = 128 + 9;

HANDLE AsHandle(intptr_t h) {
  return reinterpret_cast<HANDLE>(h);
}
intptr_t FromHandle(HANDLE h) {
  return reinterpret_cast<intptr_t>(h);
}

std::string CurrentTestName() {
  const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
  return info == nullptr ? "" : std::string(info->test_suite_name()) + "." + info->name();
}

// The number of this ForkedProcess among those the current test constructed (from 1).
int NextSequenceNumber() {
  static std::string test;
  static int count = 0;
  const std::string now = CurrentTestName();
  if (now != test) {
    test = now;
    count = 0;
  }
  return ++count;
}

std::string OwnProgram() {
  wchar_t path[MAX_PATH * 4];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  return std::filesystem::path(std::wstring(path, n)).string();
}

}  // namespace

bool Channel::Send(char c) {
  DWORD written = 0;
  return WriteFile(AsHandle(out_), &c, 1, &written, nullptr) && written == 1;
}

char Channel::Receive(int timeout_ms) {
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeout_ms);
  for (;;) {
    DWORD available = 0;
    if (!PeekNamedPipe(AsHandle(in_), nullptr, 0, nullptr, &available, nullptr)) return 0;
    if (available > 0) {
      char c = 0;
      DWORD read = 0;
      return ReadFile(AsHandle(in_), &c, 1, &read, nullptr) && read == 1 ? c : 0;
    }
    if (timeout_ms >= 0 && GetTickCount64() >= deadline) return 0;
    Sleep(1);
  }
}

bool Channel::Closed() {
  DWORD available = 0;
  return !PeekNamedPipe(AsHandle(in_), nullptr, 0, nullptr, &available, nullptr) || available > 0;
}

ForkedProcess::ForkedProcess(const std::function<int(Channel&)>& fn) {
  const int number = NextSequenceNumber();
  if (const char* role = std::getenv(kRole); role != nullptr) {
    // This is a child replaying the test: only its own part runs, in the parent's
    // folder, and ends the process.
    if (std::atoi(role) != number) {
      started_ = true;
      return;
    }
    const char* pipes = std::getenv(kPipes);
    const char* folder = std::getenv(kFolder);
    if (pipes == nullptr || folder == nullptr) _exit(kNeverStarted);
    long long in = 0, out = 0;
    if (std::sscanf(pipes, "%lld,%lld", &in, &out) != 2) _exit(kNeverStarted);
    std::error_code ec;
    std::filesystem::current_path(folder, ec);
    if (ec) _exit(kNeverStarted);
    Channel channel(static_cast<intptr_t>(in), static_cast<intptr_t>(out));
    const int code = fn(channel);
    std::fflush(nullptr);
    _exit(code);
  }

  // The child's ends are inherited; the parent's are not.
  SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
  HANDLE to_child_read = nullptr, to_child_write = nullptr;
  HANDLE from_child_read = nullptr, from_child_write = nullptr;
  if (!CreatePipe(&to_child_read, &to_child_write, &sa, 0)) return;
  if (!CreatePipe(&from_child_read, &from_child_write, &sa, 0)) {
    CloseHandle(to_child_read);
    CloseHandle(to_child_write);
    return;
  }
  SetHandleInformation(to_child_write, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(from_child_read, HANDLE_FLAG_INHERIT, 0);
  std::error_code ec;
  const std::string folder = std::filesystem::current_path(ec).string();
  const std::string filter = "--gtest_filter=" + CurrentTestName();
  child_ = ChildProcess(
      {OwnProgram(), filter, "--gtest_also_run_disabled_tests"},
      {std::string(kRole) + "=" + std::to_string(number), std::string(kFolder) + "=" + folder,
       std::string(kPipes) + "=" + std::to_string(FromHandle(to_child_read)) + "," +
           std::to_string(FromHandle(from_child_write))});
  CloseHandle(to_child_read);
  CloseHandle(from_child_write);
  started_ = child_.running();
  to_child_ = FromHandle(to_child_write);
  from_child_ = FromHandle(from_child_read);
  channel_ = Channel(from_child_, to_child_);
}

bool IsReplayingChild() {
  return std::getenv(kRole) != nullptr;
}

ForkedProcess::~ForkedProcess() {
  child_.Kill();
  CloseInput();
  if (from_child_ != -1) CloseHandle(AsHandle(from_child_));
}

void ForkedProcess::CloseInput() {
  if (to_child_ != -1) CloseHandle(AsHandle(to_child_));
  to_child_ = -1;
}

int ForkedProcess::Join(int timeout_ms) {
  if (!child_.running() || reaped_) return -1;
  const int code = child_.Wait(timeout_ms / 1000.0);
  reaped_ = true;
  if (code < 0) {
    child_.Kill();
    return -1;
  }
  return code == static_cast<int>(kKilledCode) ? -1 : code;
}

void KillThisProcess() {
  TerminateProcess(GetCurrentProcess(), kKilledCode);
  _exit(static_cast<int>(kKilledCode));
}

}  // namespace px::test
