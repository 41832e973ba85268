// Texts and file names at the Win32 boundary (Windows only).
//
// The system's texts and file names are bytes in the ANSI code page; the W functions of
// Windows take UTF-16. These convert at the call, and nowhere else.
#ifndef PX_RUNTIME_WIN32_TEXT_H_
#define PX_RUNTIME_WIN32_TEXT_H_

#include <string>
#include <string_view>

namespace px {

// ANSI code page bytes -> UTF-16.
std::wstring WideFromAnsi(std::string_view text);
// UTF-16 -> ANSI code page bytes (characters the code page lacks become '?').
std::string AnsiFromWide(std::wstring_view text);

// The UTF-16 form of a host path for a W call. A path too long for the plain calls
// (248 characters or more: the limit of folder names, MAX_PATH - 12) is made a full path
// with the "\\?\" prefix ("\\?\UNC\server\share\..." for a UNC path), which lifts the
// limit; shorter paths are passed as they are.
std::wstring Win32PathOf(std::string_view host_path);

}  // namespace px

#endif  // PX_RUNTIME_WIN32_TEXT_H_
