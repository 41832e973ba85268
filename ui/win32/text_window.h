// A long text (a log file) in a window of its own: a read-only box in a fixed-width
// font with scroll bars, and a Close button. Enter, Escape and the close box close it.
#ifndef PX_UI_WIN32_TEXT_WINDOW_H_
#define PX_UI_WIN32_TEXT_WINDOW_H_

#include <string>

namespace px::win32 {

// Shows the text and returns once the window has been closed. owner is the window
// (an HWND) that takes no input meanwhile, or null.
void ShowTextWindow(void* owner, const std::string& caption, const std::string& text);

}  // namespace px::win32

#endif  // PX_UI_WIN32_TEXT_WINDOW_H_
