// The system's folder chooser (the file dialog in its folder-picking mode).
#ifndef PX_UI_WIN32_FOLDER_DIALOG_H_
#define PX_UI_WIN32_FOLDER_DIALOG_H_

#include <string>

namespace px::win32 {

// Lets the user pick a folder, opening on start_folder when it exists; the folder's
// path, or "" when the user cancels or the chooser cannot be shown. owner is an HWND
// or null.
std::string ChooseFolderDialog(void* owner, const std::string& title,
                               const std::string& start_folder);

}  // namespace px::win32

#endif  // PX_UI_WIN32_FOLDER_DIALOG_H_
