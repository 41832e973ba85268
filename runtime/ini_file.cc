#include "runtime/ini_file.h"

#include <memory>

#include "runtime/env.h"

namespace px {

namespace {

bool SameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

std::string Trim(std::string_view s) {
  const size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string_view::npos) return "";
  const size_t e = s.find_last_not_of(" \t\r");
  return std::string(s.substr(b, e - b + 1));
}

}  // namespace

IniFile IniFile::Parse(std::string_view text) {
  IniFile ini;
  Section* current = nullptr;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string line = Trim(text.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      const size_t close = line.find(']');
      ini.sections_.push_back(
          {Trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1)), {}});
      current = &ini.sections_.back();
      continue;
    }
    const size_t eq = line.find('=');
    if (eq == std::string::npos || current == nullptr) continue;
    current->entries.emplace_back(Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)));
  }
  return ini;
}

IniFile IniFile::Load(std::string_view name) {
  std::string text;
  if (!ReadWholeFile(name, &text)) return IniFile();
  return Parse(text);
}

std::string IniFile::Get(std::string_view section, std::string_view key,
                         std::string_view default_value) const {
  for (const Section& s : sections_) {
    if (!SameNoCase(s.name, section)) continue;
    for (const auto& [k, v] : s.entries) {
      if (SameNoCase(k, key)) return v;
    }
  }
  return std::string(default_value);
}

void IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
  Section* target = nullptr;
  for (Section& s : sections_) {
    if (SameNoCase(s.name, section)) target = &s;
  }
  if (target == nullptr) {
    sections_.push_back({std::string(section), {}});
    target = &sections_.back();
  }
  for (auto& [k, v] : target->entries) {
    if (SameNoCase(k, key)) {
      v = std::string(value);
      return;
    }
  }
  target->entries.emplace_back(std::string(key), std::string(value));
}

std::string IniFile::Text() const {
  std::string out;
  for (const Section& s : sections_) {
    out += "[" + s.name + "]\r\n";
    for (const auto& [k, v] : s.entries) out += k + "=" + v + "\r\n";
  }
  return out;
}

bool IniFile::Save(std::string_view name) const {
  int code = 0;
  std::unique_ptr<File> f = GetEnv()->CreateFile(name, FileShare::kExclusive, &code);
  if (f == nullptr) return false;
  const std::string text = Text();
  return f->WriteAt(0, text.data(), text.size()) == static_cast<int64_t>(text.size());
}

}  // namespace px
