// Figures about the machine and the running program for the error log, read from
// /proc and uname (posix_system_info.cc) or from the Win32 calls that report them
// (win32_system_info.cc). Each figure that cannot be read stays at its zero value;
// Windows has no limit of tasks, so tasks_free_percent stays 0 there.
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
  std::string os_name;           // "Linux", "Windows"
  int os_major = 0, os_minor = 0;
  std::string os_release;          // full kernel release, e.g. "6.1.0-18-amd64", "10.0.19045"
  std::string os_version;          // build text, e.g. "#1 SMP PREEMPT_DYNAMIC Debian ...",
                                   // "Build 19045 Service Pack 1"
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

// The most memory the process has held at once (the peak resident set; the peak
// working set on Windows) in kilobytes, 0 when unknown.
int64_t PeakMemoryKilobytes();

// The name of the user running the program (the login name, else the USER variable,
// else "") and of the computer (the host name, "" when unknown).
std::string UserName();
std::string ComputerName();

// s without leading and trailing blanks and line ends.
std::string TrimBlanks(std::string_view s);
// part as a whole-number percentage of whole (part capped at whole); 0 when whole or
// part is not a size.
int PercentOf(int64_t part, int64_t whole);

// Parsers of the /proc texts, separate so they can be tried on sample text.
void ParseCpuInfo(std::string_view cpuinfo, std::string* name, int* mhz);
// A "Key:   1234 kB" line's number, -1 when the key is absent.
int64_t ProcField(std::string_view text, std::string_view key);
// The process start time in clock ticks after boot from /proc/self/stat (field 22).
int64_t ParseStatStartTicks(std::string_view stat);

}  // namespace px

#endif  // PX_RUNTIME_SYSTEM_INFO_H_
