// Texts between the program and the window system. The program's texts (table
// contents, paths, messages) are bytes in the ANSI code page; the window calls take
// UTF-16. Converting happens here and only at the window calls.
#ifndef PX_UI_WIN32_ANSI_TEXT_H_
#define PX_UI_WIN32_ANSI_TEXT_H_

#include <string>

namespace px::win32 {

// ANSI bytes to UTF-16.
std::wstring Widen(const std::string& text);
// UTF-16 to ANSI bytes; a character the code page lacks becomes its best fit or "?".
std::string Narrow(const std::wstring& text);

}  // namespace px::win32

#endif  // PX_UI_WIN32_ANSI_TEXT_H_
