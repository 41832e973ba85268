// Starting other programs from the user interface.
//
// The command line's program is looked up and batch files are run as described in
// runtime/process.h.
#ifndef PX_UI_LAUNCH_H_
#define PX_UI_LAUNCH_H_

#include <string>

namespace px {

// Show modes of a started program's first window.
enum ShowMode : int {
  kShowHide = 0,
  kShowNormal = 1,
  kShowMinimized = 2,
  kShowMaximized = 3,
  kShowNoActivate = 4,
  kShow = 5,
  kShowNa = 8,
};

// Starts a program and returns at once. The result is greater than 31 when it was
// started; otherwise the reason: 2 program not found, 5 access denied, 11 not a
// program, 0 out of resources.
int WINEXEC(const std::string& command_line, int show_mode = kShowNormal);

// Starts a program, pumps window messages once, then blocks (without pumping) until
// it ends. The result is its exit code, or -1 when it cannot be started.
int WAITRUN(const std::string& command_line, int show_mode = kShowNa);

}  // namespace px

#endif  // PX_UI_LAUNCH_H_
