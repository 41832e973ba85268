#include "ui/launch.h"

#include "runtime/env.h"
#include "runtime/process.h"
#include "ui/backend.h"
#include "ui/messages.h"

namespace px {

namespace {

// The start result of a program that started.
constexpr int kStarted = 33;

int StartResultOf(int os_code) {
  switch (os_code) {
    case kOsFileNotFound:
    case kOsPathNotFound:
      return os_code;
    case kOsAccessDenied:
      return 5;
    case kOsNotEnoughMemory:
      return 0;
    default:
      return 11;  // not a program this system can run
  }
}

}  // namespace

int WINEXEC(const std::string& command_line, int show_mode) {
  LaunchRequest request;
  int os_code = 0;
  if (!PrepareLaunch(command_line, show_mode, &request, &os_code)) return StartResultOf(os_code);
  const LaunchResult r = GetProcessRunner()->Run(request, false, nullptr, nullptr);
  return r.started ? kStarted : StartResultOf(r.os_code);
}

int WAITRUN(const std::string& command_line, int show_mode) {
  LaunchRequest request;
  int os_code = 0;
  if (!PrepareLaunch(command_line, show_mode, &request, &os_code)) return -1;
  // The caller takes no input while it waits, but the boxes it shows keep being painted.
  const LaunchResult r = GetProcessRunner()->Run(
      request, true, [] { SYSREFRESH(); }, [] { GetUiBackend().Repaint(); });
  return r.started ? r.exit_code : -1;
}

}  // namespace px
