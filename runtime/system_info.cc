#include "runtime/system_info.h"

#include <cstdlib>
#include <sstream>

namespace px {

std::string TrimBlanks(std::string_view s) {
  const size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string_view::npos) return "";
  const size_t e = s.find_last_not_of(" \t\r\n");
  return std::string(s.substr(b, e - b + 1));
}

int PercentOf(int64_t part, int64_t whole) {
  if (whole <= 0 || part < 0) return 0;
  if (part > whole) part = whole;
  return static_cast<int>(part * 100 / whole);
}

void ParseCpuInfo(std::string_view cpuinfo, std::string* name, int* mhz) {
  name->clear();
  *mhz = 0;
  bool have_mhz = false;
  size_t pos = 0;
  while (pos < cpuinfo.size()) {
    size_t end = cpuinfo.find('\n', pos);
    if (end == std::string_view::npos) end = cpuinfo.size();
    const std::string_view line = cpuinfo.substr(pos, end - pos);
    pos = end + 1;
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string key = TrimBlanks(line.substr(0, colon));
    const std::string value = TrimBlanks(line.substr(colon + 1));
    if (name->empty() && (key == "model name" || key == "Model" || key == "cpu model")) {
      *name = value;
    } else if (!have_mhz && key == "cpu MHz") {
      *mhz = static_cast<int>(std::strtod(value.c_str(), nullptr) + 0.5);
      have_mhz = true;
    }
  }
}

int64_t ProcField(std::string_view text, std::string_view key) {
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (line.size() > key.size() && line.substr(0, key.size()) == key && line[key.size()] == ':') {
      return std::strtoll(std::string(line.substr(key.size() + 1)).c_str(), nullptr, 10);
    }
  }
  return -1;
}

int64_t ParseStatStartTicks(std::string_view stat) {
  // The command name in parentheses may hold blanks; fields count from after it.
  const size_t close = stat.rfind(')');
  if (close == std::string_view::npos) return -1;
  std::istringstream in(std::string(stat.substr(close + 1)));
  std::string field;
  // After ")" come field 3 (state) onwards; start time is field 22.
  for (int i = 3; i <= 22; ++i) {
    if (!(in >> field)) return -1;
  }
  return std::strtoll(field.c_str(), nullptr, 10);
}

}  // namespace px
