// What program look-up needs from the host system: one implementation per platform
// (posix_process.cc, win32_process.cc).
#ifndef PX_RUNTIME_PROCESS_HOST_H_
#define PX_RUNTIME_PROCESS_HOST_H_

#include <string>
#include <string_view>

namespace px {

// The separator of the folders of PATH.
#ifdef _WIN32
constexpr char kPathListSeparator = ';';
#else
constexpr char kPathListSeparator = ':';
#endif

// True when the host path names an ordinary file that can be started: on POSIX an
// executable file or a ".bat" file; on Windows any file (a document opens with the
// program the system associates with it).
bool IsStartableFile(const std::string& host);

// True when s ends with tail, letter case aside (ASCII letters).
bool EndsWithNoCase(std::string_view s, std::string_view tail);

// name inside folder, with the host's separator.
std::string JoinHostPath(const std::string& folder, const std::string& name);

// The folder part of a host path ("." when it has none).
std::string ParentFolder(const std::string& host);

}  // namespace px

#endif  // PX_RUNTIME_PROCESS_HOST_H_
