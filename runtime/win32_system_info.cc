// The machine's and the program's figures on Windows: the processor from the registry,
// memory and the running programs from the system's own calls.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "runtime/process.h"
#include "runtime/system_info.h"
#include "runtime/win32_text.h"

// Last: <windows.h> defines macros that clash with our names.
#include <windows.h>

// After <windows.h>, which they need.
#include <psapi.h>
#include <tlhelp32.h>

namespace px {

namespace {

// Seconds since 1601 in 100-nanosecond units, as a number.
int64_t Ticks(const FILETIME& t) {
  return static_cast<int64_t>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

void ReadProcessor(std::string* name, int* mhz) {
  const wchar_t* key = L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";
  wchar_t text[256];
  DWORD size = sizeof(text);
  if (RegGetValueW(HKEY_LOCAL_MACHINE, key, L"ProcessorNameString", RRF_RT_REG_SZ, nullptr, text,
                   &size) == ERROR_SUCCESS) {
    *name = TrimBlanks(AnsiFromWide(text));
  }
  DWORD value = 0;
  size = sizeof(value);
  if (RegGetValueW(HKEY_LOCAL_MACHINE, key, L"~MHz", RRF_RT_REG_DWORD, nullptr, &value, &size) ==
      ERROR_SUCCESS) {
    *mhz = static_cast<int>(value);
  }
}

// The version Windows really is: GetVersionEx answers with the version a program's
// manifest names, RtlGetVersion does not.
void ReadWindowsVersion(SystemInfo* info) {
  info->os_name = "Windows";
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  if (ntdll == nullptr) return;
  const FARPROC proc = GetProcAddress(ntdll, "RtlGetVersion");
  if (proc == nullptr) return;
  const auto get_version = reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void (*)()>(proc));
  OSVERSIONINFOW v{};
  v.dwOSVersionInfoSize = sizeof(v);
  if (get_version(&v) != 0) return;
  info->os_major = static_cast<int>(v.dwMajorVersion);
  info->os_minor = static_cast<int>(v.dwMinorVersion);
  info->os_release = std::to_string(v.dwMajorVersion) + "." + std::to_string(v.dwMinorVersion) +
                     "." + std::to_string(v.dwBuildNumber);
  info->os_version = "Build " + std::to_string(v.dwBuildNumber);
  const std::string service_pack = AnsiFromWide(v.szCSDVersion);
  if (!service_pack.empty()) info->os_version += " " + service_pack;
}

// The programs running in this user's session, in process-number order.
std::vector<std::string> SessionTasks() {
  std::vector<std::pair<DWORD, std::string>> found;
  DWORD my_session = 0;
  const bool know_session = ProcessIdToSessionId(GetCurrentProcessId(), &my_session) != 0;
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return {};
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot, &entry); more;
       more = Process32NextW(snapshot, &entry)) {
    if (entry.th32ProcessID == 0) continue;  // the idle process
    DWORD session = 0;
    if (know_session && ProcessIdToSessionId(entry.th32ProcessID, &session) &&
        session != my_session) {
      continue;
    }
    found.emplace_back(entry.th32ProcessID, AnsiFromWide(entry.szExeFile));
  }
  CloseHandle(snapshot);
  std::sort(found.begin(), found.end());
  std::vector<std::string> names;
  for (auto& f : found) names.push_back(std::move(f.second));
  return names;
}

// The handle limit of a process (2^24); Windows has no smaller one for files.
constexpr int64_t kProcessHandleLimit = int64_t{1} << 24;

}  // namespace

SystemInfo ReadSystemInfo() {
  SystemInfo info;
  ReadProcessor(&info.cpu_name, &info.cpu_mhz);
  MEMORYSTATUSEX memory{};
  memory.dwLength = sizeof(memory);
  if (GlobalMemoryStatusEx(&memory)) {
    info.memory_mb = static_cast<int64_t>(memory.ullTotalPhys / (1024 * 1024));
    info.memory_free_percent = PercentOf(static_cast<int64_t>(memory.ullAvailPhys / 1024),
                                         static_cast<int64_t>(memory.ullTotalPhys / 1024));
  }
  DWORD handles = 0;
  if (GetProcessHandleCount(GetCurrentProcess(), &handles)) {
    info.handles_free_percent = PercentOf(kProcessHandleLimit - handles, kProcessHandleLimit);
  }
  ReadWindowsVersion(&info);
  info.tasks = SessionTasks();
  return info;
}

ProgramInfo ReadProgramInfo() {
  ProgramInfo info;
  info.path = ProgramFilePath();
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!info.path.empty() &&
      GetFileAttributesExW(Win32PathOf(info.path).c_str(), GetFileExInfoStandard, &data)) {
    info.size =
        static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
  }
  info.bits = static_cast<int>(sizeof(void*) * 8);
  FILETIME created, exited, kernel, user, now;
  if (GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
    GetSystemTimeAsFileTime(&now);
    const int64_t running = Ticks(now) - Ticks(created);
    info.seconds_running = running > 0 ? static_cast<double>(running) / 1e7 : 0;
  }
  PROCESS_MEMORY_COUNTERS counters{};
  if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters))) {
    info.memory_bytes = static_cast<int64_t>(counters.WorkingSetSize);
    info.peak_memory_bytes = static_cast<int64_t>(counters.PeakWorkingSetSize);
  }
  return info;
}

int64_t PeakMemoryKilobytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters))) return 0;
  return static_cast<int64_t>(counters.PeakWorkingSetSize / 1024);
}

std::string UserName() {
  wchar_t name[257];
  DWORD size = 257;
  if (GetUserNameW(name, &size) && size > 1) return AnsiFromWide(std::wstring(name, size - 1));
  const char* user = std::getenv("USERNAME");
  return user != nullptr ? user : "";
}

std::string ComputerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  if (!GetComputerNameW(name, &size)) return "";
  return AnsiFromWide(std::wstring(name, size));
}

}  // namespace px
