// A picture of a window's client area as it is on the screen, saved as a PNG file.
#ifndef PX_UI_WIN32_WINDOW_PICTURE_H_
#define PX_UI_WIN32_WINDOW_PICTURE_H_

#include <string>

namespace px::win32 {

// window is an HWND; false when it has no area or the file cannot be written.
bool SaveWindowPicture(void* window, const std::string& png_path);

// The same for a rectangle of the screen.
bool SaveScreenPicture(int left, int top, int width, int height, const std::string& png_path);

}  // namespace px::win32

#endif  // PX_UI_WIN32_WINDOW_PICTURE_H_
