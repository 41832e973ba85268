// Choosing a folder.
//
// CGETDIR32 first offers the choice to the external chooser "rundlg32" through the
// exchange file "rundlg32.ini" in the Windows folder: section "GetDirectory" with the
// keys "lpstrTitle", "lpstrDirectory", "hwndOwner" and "working" = "1" going in, and
// "lpstrDirectory" (the choice, empty on cancel) coming back once the chooser has
// ended. Window messages are pumped while it runs.
// The Windows folder is the folder named by WINDIR (or SystemRoot), else C:\WINDOWS,
// when it exists. Without a Windows folder, or when "rundlg32 3" cannot be started,
// the built-in chooser CGETDIR is used.
//
// Folders are given and returned in the system's DOS form ("D:\UPDATES").
#ifndef PX_UI_FOLDER_CHOOSER_H_
#define PX_UI_FOLDER_CHOOSER_H_

#include <string>

namespace px {

// The chosen folder, or "" when the user cancels. The start folder defaults to the
// current folder.
std::string CGETDIR32(const std::string& title = "", const std::string& start_folder = "");

// The window system's folder chooser, owned by the active window, with the title as
// its prompt.
std::string CGETDIR(const std::string& title = "", const std::string& start_folder = "");

// The Windows folder as a DOS or host name, or "" when there is none.
std::string WindowsFolder();

}  // namespace px

#endif  // PX_UI_FOLDER_CHOOSER_H_
