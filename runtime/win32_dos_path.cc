// DOS paths on Windows: the host path is the real Windows path. The drives are the
// system's own; names become full paths, which long-path calls need.
#include <string>

#include "runtime/dos_path.h"
#include "runtime/win32_text.h"

// Last: <windows.h> defines macros that clash with names of ours.
#include <windows.h>

namespace px {

namespace {

char UpperLetter(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (UpperLetter(a[i]) != UpperLetter(b[i])) return false;
  }
  return true;
}

// A root folder and a rest joined by one backslash.
std::string Join(std::string folder, std::string_view rest) {
  if (rest.empty()) return folder;
  if (folder.empty() || folder.back() != '\\') folder += '\\';
  folder += rest;
  return folder;
}

// The path without the "\\?\" prefix: "\\?\C:\x" -> "C:\x", "\\?\UNC\srv\s" -> "\\srv\s".
std::string WithoutLongPrefix(std::string_view path) {
  if (path.substr(0, 8) == "\\\\?\\UNC\\") return "\\\\" + std::string(path.substr(8));
  if (path.substr(0, 4) == "\\\\?\\") return std::string(path.substr(4));
  return std::string(path);
}

std::string CurrentHostDir() {
  const DWORD need = GetCurrentDirectoryW(0, nullptr);
  if (need == 0) return std::string();
  std::wstring buf(need, L'\0');
  const DWORD got = GetCurrentDirectoryW(need, buf.data());
  if (got == 0 || got >= need) return std::string();
  buf.resize(got);
  return WithoutLongPrefix(AnsiFromWide(buf));
}

}  // namespace

DriveMap DriveMap::FromEnvironment() {
  return DriveMap();
}

std::optional<std::string> DriveMap::Root(char letter) const {
  if (!IsLetter(letter)) return std::nullopt;
  const char upper = UpperLetter(letter);
  if (auto it = roots_.find(upper); it != roots_.end()) return it->second;
  if (((GetLogicalDrives() >> (upper - 'A')) & 1) == 0) return std::nullopt;
  return std::string(1, upper) + ":\\";
}

char DriveMap::DriveOf(std::string_view host_path, std::string* rest) const {
  const std::string path = WithoutLongPrefix(host_path);
  // A folder that Set() made a drive of wins over the drive it lies on.
  char best = '\0';
  size_t best_len = 0;
  for (const auto& [letter, root] : roots_) {
    if (path.size() < root.size() ||
        !EqualNoCase(std::string_view(path).substr(0, root.size()), root)) {
      continue;
    }
    if (path.size() > root.size() && !IsSeparator(path[root.size()]) && !IsSeparator(root.back())) {
      continue;
    }
    if (best == '\0' || root.size() > best_len) {
      best = letter;
      best_len = root.size();
    }
  }
  if (best == '\0') {
    if (!HasDrive(path)) return '\0';
    best = UpperLetter(path[0]);
    best_len = 2;
  }
  if (rest != nullptr) {
    size_t start = best_len;
    while (start < path.size() && IsSeparator(path[start])) ++start;
    *rest = path.substr(start);
  }
  return best;
}

bool DosToHost(std::string_view name, std::string* host) {
  std::string path(name);
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  if (path.substr(0, 4) == "\\\\?\\") {
    *host = path;
    return true;
  }
  if (HasDrive(path)) {
    const char drive = UpperLetter(path[0]);
    const std::string root = GetDriveMap().Root(drive).value_or(std::string(1, drive) + ":\\");
    std::string_view rest = std::string_view(path).substr(2);
    std::string base = root;
    if (rest.empty() || rest[0] != '\\') {
      // A drive-relative name ("D:x") means the drive's current folder: the process's
      // when the drive is current, else the one remembered for it, else its root.
      const std::string current = CurrentHostDir();
      if (GetDriveMap().DriveOf(current, nullptr) == drive) {
        base = current;
      } else if (std::optional<std::string> folder = GetDriveMap().CurrentFolder(drive)) {
        base = *folder;
      }
    } else {
      rest.remove_prefix(1);
    }
    path = Join(base, rest);
  }
  const std::wstring wide = WideFromAnsi(path);
  if (wide.empty()) return false;
  const DWORD need = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (need == 0) return false;
  std::wstring full(need, L'\0');
  const DWORD got = GetFullPathNameW(wide.c_str(), need, full.data(), nullptr);
  if (got == 0 || got >= need) return false;
  full.resize(got);
  *host = AnsiFromWide(full);
  return true;
}

std::string HostToDos(std::string_view host_path) {
  std::string out = WithoutLongPrefix(host_path);
  for (char& c : out) {
    if (c == '/') c = '\\';
  }
  // A name from the root of the current drive ("\x") is named on that drive.
  if (!out.empty() && out[0] == '\\' && (out.size() == 1 || out[1] != '\\')) {
    const std::string current = CurrentHostDir();
    if (HasDrive(current)) out = current.substr(0, 2) + out;
  }
  // A path in a folder that Set() made a drive of is named on that drive.
  std::string rest;
  const char drive = GetDriveMap().DriveOf(out, &rest);
  if (drive != '\0' && !(HasDrive(out) && UpperLetter(out[0]) == drive)) {
    return Join(std::string(1, drive) + ":\\", rest);
  }
  return out;
}

bool IsAbsoluteHostPath(std::string_view host_path) {
  if (host_path.size() >= 3 && HasDrive(host_path) && IsSeparator(host_path[2])) return true;
  return host_path.size() >= 2 && IsSeparator(host_path[0]) && IsSeparator(host_path[1]);
}

}  // namespace px
