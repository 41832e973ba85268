// StartUserInterface: the one call a program makes at start-up to get its user
// interface. Link the target px_ui_app, which brings the window backend when the
// build has it.
#ifndef PX_UI_STARTUP_H_
#define PX_UI_STARTUP_H_

#include "ui/user_interface.h"

#if PX_HAVE_WX
#include "ui/wx/wx_backend.h"
#elif PX_HAVE_WIN32
#include "ui/win32/win32_backend.h"
#endif

namespace px {

inline UiKind StartUserInterface(int* argc, char** argv) {
#if PX_HAVE_WX
  return InstallUserInterface(argc, argv, &MakeWxBackend);
#elif PX_HAVE_WIN32
  return InstallUserInterface(argc, argv, &MakeWin32Backend);
#else
  return InstallUserInterface(argc, argv, nullptr);
#endif
}

}  // namespace px

#endif  // PX_UI_STARTUP_H_
