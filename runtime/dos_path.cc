// The platform-independent part of DOS paths: the per-drive current folders and the
// splitting of names. The host side lives in posix_dos_path.cc and win32_dos_path.cc.
#include "runtime/dos_path.h"

namespace px {

namespace {

char UpperLetter(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// A host folder without trailing separators, except the one of a root ("/", "C:\").
std::string StripTrailingSlash(std::string s) {
#ifdef _WIN32
  const size_t keep = HasDrive(s) ? 3 : 1;
  while (s.size() > keep && (s.back() == '\\' || s.back() == '/')) s.pop_back();
#else
  while (s.size() > 1 && s.back() == '/') s.pop_back();
#endif
  return s;
}

}  // namespace

void DriveMap::Set(char letter, std::string host_folder) {
  roots_[UpperLetter(letter)] = StripTrailingSlash(std::move(host_folder));
  current_.erase(UpperLetter(letter));
}

void DriveMap::Remove(char letter) {
  roots_.erase(UpperLetter(letter));
  current_.erase(UpperLetter(letter));
}

std::optional<std::string> DriveMap::CurrentFolder(char letter) const {
  auto it = current_.find(UpperLetter(letter));
  if (it == current_.end()) return std::nullopt;
  return it->second;
}

void DriveMap::NoteCurrentFolder(std::string_view host_folder) {
  const char drive = DriveOf(host_folder, nullptr);
  if (drive != '\0') current_[drive] = StripTrailingSlash(std::string(host_folder));
}

DriveMap& GetDriveMap() {
  static DriveMap* map = new DriveMap(DriveMap::FromEnvironment());
  return *map;
}

bool HasDrive(std::string_view name) {
  return name.size() >= 2 && IsLetter(name[0]) && name[1] == ':';
}

void SplitPath(std::string_view name, std::string* folder, std::string* file) {
  size_t cut = 0;
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '\\' || name[i] == '/' || (i == 1 && name[i] == ':')) cut = i + 1;
  }
  if (folder != nullptr) *folder = std::string(name.substr(0, cut));
  if (file != nullptr) *file = std::string(name.substr(cut));
}

void SplitExtension(std::string_view file, std::string* base, std::string* ext) {
  const size_t dot = file.rfind('.');
  if (dot == std::string_view::npos || dot == 0) {
    if (base != nullptr) *base = std::string(file);
    if (ext != nullptr) ext->clear();
    return;
  }
  if (base != nullptr) *base = std::string(file.substr(0, dot));
  if (ext != nullptr) *ext = std::string(file.substr(dot));
}

}  // namespace px
