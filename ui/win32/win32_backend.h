// The Win32 backend: real windows and the system's own controls on Windows.
//
// Dialogs are built from templates in memory (ui/win32/dialog_template.h) with the
// standard controls: static texts, edit fields, push buttons and list boxes. Message
// boxes are the system's, the folder chooser is the system's folder dialog, and a
// dialog's picture is read from the window itself into a PNG file.
#ifndef PX_UI_WIN32_WIN32_BACKEND_H_
#define PX_UI_WIN32_WIN32_BACKEND_H_

#include <memory>

#include "ui/backend.h"

namespace px {

// Makes the backend; nullptr when the process cannot show windows.
std::unique_ptr<UiBackend> MakeWin32Backend(int* argc, char** argv);

}  // namespace px

#endif  // PX_UI_WIN32_WIN32_BACKEND_H_
