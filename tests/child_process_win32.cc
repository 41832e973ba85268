#include <cwctype>

#include "tests/child_process.h"

// <windows.h> comes last: its macros must not reach the project's headers.
#include <windows.h>

namespace px::test {
namespace {

// What TerminateProcess leaves as the exit code: the code of a POSIX SIGKILL.
constexpr UINT kKilledCode = 128 + 9;

std::wstring Widen(const std::string& s) {
  if (s.empty()) return {};
  const int n = MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

// One argument as the C runtime's command-line splitting gives it back: quoted when it
// holds blanks or quotes, backslashes doubled only before a quote.
void AppendQuoted(const std::wstring& arg, std::wstring* line) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    *line += arg;
    return;
  }
  *line += L'"';
  size_t backslashes = 0;
  for (const wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    *line += std::wstring(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    *line += c;
    backslashes = 0;
  }
  *line += std::wstring(backslashes * 2, L'\\');
  *line += L'"';
}

std::wstring NameOf(const std::wstring& entry) {
  // Entries such as "=C:=C:\x" (a drive's current folder) start with their own '='.
  std::wstring name = entry.substr(0, entry.find(L'=', 1));
  for (wchar_t& c : name) c = static_cast<wchar_t>(std::towupper(c));
  return name;
}

// This process's environment with `extra` added, replacing variables of the same name
// (names compare without regard to case, as Windows does).
std::wstring EnvironmentBlock(const std::vector<std::string>& extra) {
  std::vector<std::wstring> mine;
  for (const std::string& e : extra) mine.push_back(Widen(e));
  std::wstring block;
  wchar_t* all = GetEnvironmentStringsW();
  for (const wchar_t* p = all; p != nullptr && *p != L'\0'; p += wcslen(p) + 1) {
    const std::wstring entry(p);
    bool replaced = false;
    for (const std::wstring& m : mine) replaced = replaced || NameOf(m) == NameOf(entry);
    if (!replaced) block += entry + L'\0';
  }
  if (all != nullptr) FreeEnvironmentStringsW(all);
  for (const std::wstring& m : mine) block += m + L'\0';
  block += L'\0';
  return block;
}

HANDLE OpenInheritable(const std::string& path, bool write) {
  SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
  return CreateFileW(path.empty() ? L"NUL" : Widen(path).c_str(),
                     write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                     write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

HANDLE InheritableCopy(HANDLE h) {
  HANDLE copy = nullptr;
  if (h == nullptr || h == INVALID_HANDLE_VALUE ||
      !DuplicateHandle(GetCurrentProcess(), h, GetCurrentProcess(), &copy, 0, TRUE,
                       DUPLICATE_SAME_ACCESS)) {
    return nullptr;
  }
  return copy;
}

void CloseIfOpen(HANDLE h) {
  if (h != nullptr && h != INVALID_HANDLE_VALUE) CloseHandle(h);
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>& env, const std::string& folder,
                           const std::string& output_file, const std::string& error_file) {
  std::wstring line;
  for (const std::string& a : argv) {
    if (!line.empty()) line += L' ';
    AppendQuoted(Widen(a), &line);
  }
  std::wstring block = EnvironmentBlock(env);
  const std::wstring program = argv.empty() ? L"" : Widen(argv[0]);
  const std::wstring dir = Widen(folder);

  STARTUPINFOW si{};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = OpenInheritable("", false);
  si.hStdOutput = OpenInheritable(output_file, true);
  si.hStdError = error_file.empty() ? InheritableCopy(GetStdHandle(STD_ERROR_HANDLE))
                                    : OpenInheritable(error_file, true);
  PROCESS_INFORMATION pi{};
  const BOOL ok = !program.empty() && CreateProcessW(program.c_str(), line.data(), nullptr, nullptr,
                                                     TRUE, CREATE_UNICODE_ENVIRONMENT, block.data(),
                                                     dir.empty() ? nullptr : dir.c_str(), &si, &pi);
  CloseIfOpen(si.hStdInput);
  CloseIfOpen(si.hStdOutput);
  CloseIfOpen(si.hStdError);
  if (!ok) {
    start_failed_ = 127;
    return;
  }
  CloseHandle(pi.hThread);
  process_ = pi.hProcess;
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : process_(other.process_), start_failed_(other.start_failed_) {
  other.process_ = nullptr;
  other.start_failed_ = 0;
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
  Kill();
  process_ = other.process_;
  start_failed_ = other.start_failed_;
  other.process_ = nullptr;
  other.start_failed_ = 0;
  return *this;
}

bool ChildProcess::running() const {
  return process_ != nullptr;
}

bool ChildProcess::Ended(int* code) {
  if (process_ == nullptr) {
    if (start_failed_ != 0) *code = start_failed_;
    start_failed_ = 0;
    return true;
  }
  if (WaitForSingleObject(process_, 0) != WAIT_OBJECT_0) return false;
  DWORD exit_code = 0;
  GetExitCodeProcess(process_, &exit_code);
  CloseHandle(process_);
  process_ = nullptr;
  *code = static_cast<int>(exit_code);
  return true;
}

int ChildProcess::Wait(double seconds) {
  int code = -1;
  if (process_ != nullptr) {
    WaitForSingleObject(process_, static_cast<DWORD>(seconds * 1000));
  }
  return Ended(&code) ? code : -1;
}

void ChildProcess::Kill() {
  start_failed_ = 0;
  if (process_ == nullptr) return;
  TerminateProcess(process_, kKilledCode);
  WaitForSingleObject(process_, 5000);
  CloseHandle(process_);
  process_ = nullptr;
}

int RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env,
               const std::string& folder, const std::string& output_file, double seconds) {
  ChildProcess child(argv, env, folder, output_file);
  return child.Wait(seconds);
}

int StartXvfb(ChildProcess* server, std::string* why) {
  *server = ChildProcess();
  *why = "no X server on Windows";
  return -1;
}

}  // namespace px::test
