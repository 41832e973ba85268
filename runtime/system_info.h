// Figures about the machine and the running program for the error log, read from
// /proc and uname. Each figure that cannot be read stays at its zero value.
#ifndef PX_RUNTIME_SYSTEM_INFO_H_
#define PX_RUNTIME_SYSTEM_INFO_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace px {

struct SystemInfo {
  std::string cpu_name;          // "model name" of the first processor
  int cpu_mhz = 0;               // its clock in MHz
  int64_t memory_mb = 0;         // physical memory
  int memory_free_percent = 0;   // available memory share
  int handles_free_percent = 0;  // unused share of the open-file limit
  int tasks_free_percent = 0;    // unused share of the system's thread limit
  std::string os_name;           // "Linux"
  int os_major = 0, os_minor = 0;
  std::string os_release;          // full kernel release, e.g. "6.1.0-18-amd64"
  std::string os_version;          // build text, e.g. "#1 SMP PREEMPT_DYNAMIC Debian ..."
  std::vector<std::string> tasks;  // the user's running programs
};

struct ProgramInfo {
  std::string path;            // host path of the program file
  int64_t size = 0;            // its size in bytes
  int bits = 0;                // 32 or 64
  double seconds_running = 0;  // since the process started
  int64_t memory_bytes = 0;    // resident memory now
  int64_t peak_memory_bytes = 0;
};

SystemInfo ReadSystemInfo();
ProgramInfo ReadProgramInfo();

// The name of the user running the program (the login name, else the USER variable,
// else "") and of the computer (the host name, "" when unknown).
std::string UserName();
std::string ComputerName();

// Parsers of the /proc texts, separate so they can be tried on sample text.
void ParseCpuInfo(std::string_view cpuinfo, std::string* name, int* mhz);
// A "Key:   1234 kB" line's number, -1 when the key is absent.
int64_t ProcField(std::string_view text, std::string_view key);
// The process start time in clock ticks after boot from /proc/self/stat (field 22).
int64_t ParseStatStartTicks(std::string_view stat);

}  // namespace px

#endif  // PX_RUNTIME_SYSTEM_INFO_H_
