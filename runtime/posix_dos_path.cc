// DOS paths on POSIX: drive letters map to host folders (C: to "/", more through
// PX_DRIVES), backslashes become slashes.
#include <unistd.h>

#include <cstdlib>

#include "runtime/dos_path.h"

namespace px {

namespace {

char UpperLetter(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::string CurrentHostDir() {
  char buf[4096];
  if (getcwd(buf, sizeof(buf)) == nullptr) return "/";
  return buf;
}

}  // namespace

DriveMap DriveMap::FromEnvironment() {
  DriveMap map;
  map.Set('C', "/");
  const char* spec = std::getenv("PX_DRIVES");
  if (spec == nullptr) return map;
  std::string_view rest(spec);
  while (!rest.empty()) {
    const size_t end = rest.find(';');
    std::string_view item = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    const size_t eq = item.find('=');
    if (eq == std::string_view::npos || eq == 0) continue;
    std::string_view letter = item.substr(0, eq);
    if (letter.size() == 2 && letter[1] == ':') letter = letter.substr(0, 1);
    if (letter.size() != 1 || !IsLetter(letter[0])) continue;
    std::string folder(item.substr(eq + 1));
    if (folder.empty()) {
      map.Remove(letter[0]);
    } else {
      map.Set(letter[0], folder);
    }
  }
  return map;
}

std::optional<std::string> DriveMap::Root(char letter) const {
  auto it = roots_.find(UpperLetter(letter));
  if (it == roots_.end()) return std::nullopt;
  return it->second;
}

char DriveMap::DriveOf(std::string_view host_path, std::string* rest) const {
  char best = '\0';
  size_t best_len = 0;
  for (const auto& [letter, root] : roots_) {
    size_t len;
    if (root == "/") {
      if (host_path.empty() || host_path[0] != '/') continue;
      len = 1;
    } else {
      if (host_path.substr(0, root.size()) != root) continue;
      if (host_path.size() > root.size() && host_path[root.size()] != '/') continue;
      len = root.size();
    }
    if (best == '\0' || len > best_len) {
      best = letter;
      best_len = len;
    }
  }
  if (best != '\0' && rest != nullptr) {
    std::string_view tail = host_path.substr(best_len);
    while (!tail.empty() && tail[0] == '/') tail.remove_prefix(1);
    *rest = std::string(tail);
  }
  return best;
}

bool DosToHost(std::string_view name, std::string* host) {
  std::string out;
  if (!name.empty() && name[0] == '/') {
    *host = std::string(name);
    return true;
  }
  std::string_view rest = name;
  if (HasDrive(name)) {
    std::optional<std::string> root = GetDriveMap().Root(name[0]);
    if (!root) return false;
    rest = name.substr(2);
    out = *root;
    if (rest.empty() || (rest[0] != '\\' && rest[0] != '/')) {
      // A drive-relative name ("D:x") means the drive's current folder: the process's
      // when the drive is current, else the one remembered for it, else its root.
      std::string in_drive;
      if (GetDriveMap().DriveOf(CurrentHostDir(), &in_drive) == UpperLetter(name[0])) {
        out = CurrentHostDir();
      } else if (std::optional<std::string> cur = GetDriveMap().CurrentFolder(name[0])) {
        out = *cur;
      }
      if (!rest.empty()) out += '/';
    }
  } else if (!rest.empty() && rest[0] == '\\') {
    // Rooted on the current drive.
    std::string tail;
    const char drive = GetDriveMap().DriveOf(CurrentHostDir(), &tail);
    std::optional<std::string> root = drive ? GetDriveMap().Root(drive) : std::nullopt;
    out = root ? *root : std::string("/");
  }
  for (char c : rest) out += (c == '\\') ? '/' : c;
  // Collapse doubled separators that joining may produce ("/" + "/PX").
  std::string clean;
  clean.reserve(out.size());
  for (char c : out) {
    if (c == '/' && !clean.empty() && clean.back() == '/') continue;
    clean += c;
  }
  *host = clean;
  return true;
}

std::string HostToDos(std::string_view host_path) {
  std::string rest;
  const char drive = GetDriveMap().DriveOf(host_path, &rest);
  std::string out;
  if (drive != '\0') {
    out += drive;
    out += ":\\";
  } else {
    rest = std::string(host_path);
  }
  for (char c : rest) out += (c == '/') ? '\\' : c;
  return out;
}

bool IsAbsoluteHostPath(std::string_view host_path) {
  return !host_path.empty() && host_path[0] == '/';
}

}  // namespace px
