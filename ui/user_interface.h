// Choosing the user interface once at start-up.
//
// The window backend is used when a display is available (DISPLAY or WAYLAND_DISPLAY
// set; on Windows always) and PX_UI is not "console", and when it can open the display;
// otherwise the console backend. Programs call StartUserInterface (ui/startup.h) before anything
// is shown.
#ifndef PX_UI_USER_INTERFACE_H_
#define PX_UI_USER_INTERFACE_H_

#include <memory>

#include "ui/backend.h"

namespace px {

enum class UiKind { kConsole, kWindow };

// The choice for the given environment values (each may be null).
UiKind ChooseUiKind(const char* px_ui, const char* display, const char* wayland_display);
// The choice on a host whose window system is always there (Windows).
UiKind ChooseUiKindWithDesktop(const char* px_ui);

// Makes the window backend, or nullptr when the display cannot be opened.
using WindowBackendFactory = std::unique_ptr<UiBackend> (*)(int* argc, char** argv);

// Chooses and installs the backend for the run; window_factory is null when the
// program was built without the window backend. Returns the kind installed.
UiKind InstallUserInterface(int* argc, char** argv, WindowBackendFactory window_factory);

}  // namespace px

#endif  // PX_UI_USER_INTERFACE_H_
