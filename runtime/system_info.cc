#include "runtime/system_info.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "runtime/process.h"

namespace px {

namespace {

std::string ReadProcFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::string Trim(std::string_view s) {
  const size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string_view::npos) return "";
  const size_t e = s.find_last_not_of(" \t\r\n");
  return std::string(s.substr(b, e - b + 1));
}

int Percent(int64_t part, int64_t whole) {
  if (whole <= 0 || part < 0) return 0;
  if (part > whole) part = whole;
  return static_cast<int>(part * 100 / whole);
}

int CountOpenFiles() {
  int n = 0;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (struct dirent* e = readdir(dir)) {
      if (e->d_name[0] != '.') ++n;
    }
    closedir(dir);
  }
  return n;
}

// The names of the running programs of this user, in process-number order.
std::vector<std::string> UserTasks() {
  std::vector<std::pair<long, std::string>> found;
  const uid_t me = getuid();
  if (DIR* dir = opendir("/proc")) {
    while (struct dirent* e = readdir(dir)) {
      char* end = nullptr;
      const long pid = std::strtol(e->d_name, &end, 10);
      if (end == e->d_name || *end != '\0') continue;
      const std::string base = std::string("/proc/") + e->d_name;
      struct stat st;
      if (stat(base.c_str(), &st) != 0 || st.st_uid != me) continue;
      std::string comm = Trim(ReadProcFile(base + "/comm"));
      if (!comm.empty()) found.emplace_back(pid, std::move(comm));
    }
    closedir(dir);
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> names;
  for (auto& f : found) names.push_back(std::move(f.second));
  return names;
}

}  // namespace

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
    const std::string key = Trim(line.substr(0, colon));
    const std::string value = Trim(line.substr(colon + 1));
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

SystemInfo ReadSystemInfo() {
  SystemInfo info;
  ParseCpuInfo(ReadProcFile("/proc/cpuinfo"), &info.cpu_name, &info.cpu_mhz);
  const std::string meminfo = ReadProcFile("/proc/meminfo");
  const int64_t total_kb = ProcField(meminfo, "MemTotal");
  const int64_t avail_kb = ProcField(meminfo, "MemAvailable");
  if (total_kb > 0) info.memory_mb = total_kb / 1024;
  info.memory_free_percent = Percent(avail_kb, total_kb);
  struct rlimit lim;
  if (getrlimit(RLIMIT_NOFILE, &lim) == 0 && lim.rlim_cur != RLIM_INFINITY) {
    const int64_t limit = static_cast<int64_t>(lim.rlim_cur);
    info.handles_free_percent = Percent(limit - CountOpenFiles(), limit);
  }
  const int64_t threads_max =
      std::strtoll(ReadProcFile("/proc/sys/kernel/threads-max").c_str(), nullptr, 10);
  // The fourth field of loadavg is "running/total" scheduling entities.
  const std::string loadavg = ReadProcFile("/proc/loadavg");
  const size_t slash = loadavg.find('/');
  if (slash != std::string::npos && threads_max > 0) {
    const int64_t total = std::strtoll(loadavg.c_str() + slash + 1, nullptr, 10);
    info.tasks_free_percent = Percent(threads_max - total, threads_max);
  }
  struct utsname u;
  if (uname(&u) == 0) {
    info.os_name = u.sysname;
    info.os_release = u.release;
    info.os_version = u.version;
    char* end = nullptr;
    info.os_major = static_cast<int>(std::strtol(u.release, &end, 10));
    if (end != nullptr && *end == '.')
      info.os_minor = static_cast<int>(std::strtol(end + 1, nullptr, 10));
  }
  info.tasks = UserTasks();
  return info;
}

ProgramInfo ReadProgramInfo() {
  ProgramInfo info;
  info.path = ProgramFilePath();
  struct stat st;
  if (!info.path.empty() && stat(info.path.c_str(), &st) == 0) info.size = st.st_size;
  info.bits = static_cast<int>(sizeof(void*) * 8);
  const int64_t start_ticks = ParseStatStartTicks(ReadProcFile("/proc/self/stat"));
  const double uptime = std::strtod(ReadProcFile("/proc/uptime").c_str(), nullptr);
  const long hz = sysconf(_SC_CLK_TCK);
  if (start_ticks >= 0 && hz > 0 && uptime > 0) {
    const double running = uptime - static_cast<double>(start_ticks) / static_cast<double>(hz);
    info.seconds_running = running > 0 ? running : 0;
  }
  const std::string status = ReadProcFile("/proc/self/status");
  const int64_t rss = ProcField(status, "VmRSS");
  const int64_t hwm = ProcField(status, "VmHWM");
  if (rss > 0) info.memory_bytes = rss * 1024;
  if (hwm > 0) info.peak_memory_bytes = hwm * 1024;
  return info;
}

std::string UserName() {
  if (const passwd* pw = getpwuid(geteuid()); pw != nullptr && pw->pw_name != nullptr) {
    return pw->pw_name;
  }
  const char* user = std::getenv("USER");
  return user != nullptr ? user : "";
}

std::string ComputerName() {
  char name[256] = {};
  if (gethostname(name, sizeof(name) - 1) != 0) return "";
  return name;
}

}  // namespace px
