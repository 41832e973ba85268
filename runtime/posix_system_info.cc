// The machine's and the program's figures on Linux: /proc, uname and the user database.
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
#include "runtime/system_info.h"

namespace px {

namespace {

std::string ReadProcFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
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
      std::string comm = TrimBlanks(ReadProcFile(base + "/comm"));
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

SystemInfo ReadSystemInfo() {
  SystemInfo info;
  ParseCpuInfo(ReadProcFile("/proc/cpuinfo"), &info.cpu_name, &info.cpu_mhz);
  const std::string meminfo = ReadProcFile("/proc/meminfo");
  const int64_t total_kb = ProcField(meminfo, "MemTotal");
  const int64_t avail_kb = ProcField(meminfo, "MemAvailable");
  if (total_kb > 0) info.memory_mb = total_kb / 1024;
  info.memory_free_percent = PercentOf(avail_kb, total_kb);
  struct rlimit lim;
  if (getrlimit(RLIMIT_NOFILE, &lim) == 0 && lim.rlim_cur != RLIM_INFINITY) {
    const int64_t limit = static_cast<int64_t>(lim.rlim_cur);
    info.handles_free_percent = PercentOf(limit - CountOpenFiles(), limit);
  }
  const int64_t threads_max =
      std::strtoll(ReadProcFile("/proc/sys/kernel/threads-max").c_str(), nullptr, 10);
  // The fourth field of loadavg is "running/total" scheduling entities.
  const std::string loadavg = ReadProcFile("/proc/loadavg");
  const size_t slash = loadavg.find('/');
  if (slash != std::string::npos && threads_max > 0) {
    const int64_t total = std::strtoll(loadavg.c_str() + slash + 1, nullptr, 10);
    info.tasks_free_percent = PercentOf(threads_max - total, threads_max);
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

int64_t PeakMemoryKilobytes() {
  struct rusage usage {};
  if (getrusage(RUSAGE_SELF, &usage) != 0) return 0;
  return usage.ru_maxrss;
}

}  // namespace px
