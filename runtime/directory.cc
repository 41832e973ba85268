#include "runtime/directory.h"

#include <cstdio>

#include "runtime/date.h"
#include "runtime/dos_path.h"
#include "runtime/dos_wildcard.h"
#include "runtime/env.h"
#include "runtime/settings.h"

namespace px {

namespace {

constexpr size_t kMaxFileName = 255;

bool HasAttribute(std::string_view attributes, char letter) {
  for (char c : attributes) {
    if (c == letter || c == letter + 32) return true;
  }
  return false;
}

// Joins a folder of a setting and a file name with one backslash.
std::string JoinFolder(std::string_view folder, std::string_view file) {
  std::string out(folder);
  if (!out.empty() && out.back() != '\\' && out.back() != '/' && out.back() != ':') out += '\\';
  out += file;
  return out;
}

bool Exists(std::string_view name) {
  if (!HasWildcards(name)) return GetEnv()->FileExists(name);
  return !DirectoryEntries(name).empty();
}

}  // namespace

bool FILE(const Value& name) {
  if (!name.is_string()) return false;
  const std::string& text = name.str();
  if (text.empty() || text.size() >= kMaxFileName) return false;
  std::string folder;
  SplitPath(text, &folder, nullptr);
  if (!folder.empty()) return Exists(text);

  const Settings& settings = GetSettings();
  if (Exists(settings.default_folder.empty() ? text : JoinFolder(settings.default_folder, text))) {
    return true;
  }
  // The search path: folders separated by ";" or ",".
  std::string_view path = settings.path;
  while (!path.empty()) {
    const size_t end = path.find_first_of(";,");
    const std::string_view item = path.substr(0, end);
    path = end == std::string_view::npos ? std::string_view() : path.substr(end + 1);
    if (!item.empty() && Exists(JoinFolder(item, text))) return true;
  }
  return false;
}

std::vector<DirectoryEntry> DirectoryEntries(std::string_view mask, std::string_view attributes) {
  std::string folder, pattern;
  SplitPath(mask.empty() ? std::string_view("*.*") : mask, &folder, &pattern);
  if (pattern.empty()) pattern = "*.*";
  const bool want_dirs = HasAttribute(attributes, 'D');
  const bool want_hidden = HasAttribute(attributes, 'H');

  std::vector<DirectoryEntry> out;
  std::vector<DirEntry> listing;
  Env* env = GetEnv();
  if (env->ListDir(folder.empty() ? std::string_view(".") : std::string_view(folder), &listing) !=
      0) {
    return out;
  }
  for (const DirEntry& e : listing) {
    if (e.is_dir && !want_dirs) continue;
    if (e.hidden && !want_hidden) continue;
    if (!DosWildcardMatch(pattern, e.name)) continue;
    DirectoryEntry row;
    row.name = e.name;
    row.size = e.is_dir ? 0 : e.size;
    row.mtime = e.mtime;
    const LocalTime t = env->LocalTimeOf(e.mtime);
    row.date = DateFromYmd(t.year, t.month, t.day);
    char buf[16];
    std::snprintf(buf, sizeof(buf), "%02d:%02d:%02d", t.hour, t.minute, t.second);
    row.time = buf;
    row.attributes = e.hidden ? "H" : "";
    row.attributes += e.is_dir ? "D" : "A";
    out.push_back(std::move(row));
  }
  return out;
}

Value DIRECTORY(const Value& mask, const Value& attributes) {
  const std::string m = mask.is_string() ? mask.str() : std::string();
  const std::string a = attributes.is_string() ? attributes.str() : std::string();
  std::vector<Value> rows;
  for (DirectoryEntry& e : DirectoryEntries(m, a)) {
    rows.push_back(
        Value::Array({Value::String(std::move(e.name)), Value::Integer(e.size), Value::Date(e.date),
                      Value::String(std::move(e.time)), Value::String(std::move(e.attributes))}));
  }
  return Value::Array(std::move(rows));
}

}  // namespace px
