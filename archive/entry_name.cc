#include "archive/entry_name.h"

namespace px {

namespace {

bool IsSeparator(char c) {
  return c == '/' || c == '\\';
}

}  // namespace

std::string EntryPath::Join(size_t n) const {
  std::string out;
  for (size_t i = 0; i < n && i < parts.size(); ++i) {
    if (i > 0) out += '\\';
    out += parts[i];
  }
  return out;
}

EntryNameCheck ParseEntryName(std::string_view name, EntryPath* out) {
  out->parts.clear();
  out->is_folder = false;
  if (name.empty() || IsSeparator(name[0])) return EntryNameCheck::kUnsafe;
  if (name.find('\0') != std::string_view::npos) return EntryNameCheck::kUnsafe;
  size_t pos = 0;
  while (pos < name.size()) {
    size_t end = pos;
    while (end < name.size() && !IsSeparator(name[end])) ++end;
    const std::string_view part = name.substr(pos, end - pos);
    // A colon makes a drive ("./C:\x" joins to "C:\x"); no file name of an update
    // needs one.
    if (part == ".." || part.find(':') != std::string_view::npos) return EntryNameCheck::kUnsafe;
    if (!part.empty() && part != ".") out->parts.emplace_back(part);
    pos = end + 1;
  }
  out->is_folder = IsSeparator(name.back());
  return out->parts.empty() ? EntryNameCheck::kNothing : EntryNameCheck::kPath;
}

}  // namespace px
