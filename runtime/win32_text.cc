#include "runtime/win32_text.h"

#include <windows.h>

namespace px {

namespace {

// Paths from this length on need the "\\?\" form (CreateDirectoryW refuses them earlier
// than the file calls do).
constexpr size_t kLongPath = MAX_PATH - 12;

bool StartsWith(std::wstring_view s, std::wstring_view head) {
  return s.substr(0, head.size()) == head;
}

}  // namespace

std::wstring WideFromAnsi(std::string_view text) {
  if (text.empty()) return std::wstring();
  const int n =
      MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) {
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  }
  return out;
}

std::string AnsiFromWide(std::wstring_view text) {
  if (text.empty()) return std::string();
  const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) {
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
  }
  return out;
}

std::wstring Win32PathOf(std::string_view host_path) {
  std::wstring path = WideFromAnsi(host_path);
  if (path.size() < kLongPath || StartsWith(path, L"\\\\?\\") || StartsWith(path, L"\\\\.\\")) {
    return path;
  }
  // The prefixed form is taken literally: it must be a full path with backslashes only
  // and no "." or ".." components, which GetFullPathNameW gives.
  const DWORD need = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (need == 0) return path;
  std::wstring full(need, L'\0');
  const DWORD got = GetFullPathNameW(path.c_str(), need, full.data(), nullptr);
  if (got == 0 || got >= need) return path;
  full.resize(got);
  if (StartsWith(full, L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

}  // namespace px
