// The Windows process runner and the host side of program look-up.
//
// Programs start with CreateProcessW, batch files through the command processor
// ("cmd.exe /d /c"), and any other file through the shell (ShellExecuteExW), which
// opens it with the program associated with its kind. A started program inherits the
// standard handles only: the files the system holds open stay its own.
//
// The system writes its batch files with the DOS end-of-file byte 26 after the last
// line. Not every command processor stops there (Wine's runs it as a command and ends
// the batch with "not found"), so a batch whose end the caller waits for is run from a
// copy cut at that byte, beside the original so that it runs in the same place.
#include <string>
#include <vector>

#include "runtime/env.h"
#include "runtime/process.h"
#include "runtime/process_host.h"
#include "runtime/win32_text.h"

// Last: <windows.h> defines macros (CreateFile, DeleteFile, ...) that clash with our names.
#include <windows.h>

// After <windows.h>, which they need.
#include <shellapi.h>

namespace px {

namespace {

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

// One argument as the C runtime's command-line parser reads it back: quoted when it
// holds blanks or quotes (or, for the command processor, its special characters), with
// the backslashes before a quote doubled.
std::wstring QuoteArgument(const std::wstring& arg, bool for_command_processor) {
  const wchar_t* special = for_command_processor ? L" \t\n\v\"&|<>^()," : L" \t\n\v\"";
  if (!arg.empty() && arg.find_first_of(special) == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  for (size_t i = 0;; ++i) {
    size_t backslashes = 0;
    while (i < arg.size() && arg[i] == L'\\') {
      ++i;
      ++backslashes;
    }
    if (i == arg.size()) {
      out.append(backslashes * 2, L'\\');
      break;
    }
    if (arg[i] == L'"') {
      out.append(backslashes * 2 + 1, L'\\');
    } else {
      out.append(backslashes, L'\\');
    }
    out.push_back(arg[i]);
  }
  out.push_back(L'"');
  return out;
}

std::wstring CommandProcessor() {
  wchar_t buf[MAX_PATH];
  const DWORD n = GetEnvironmentVariableW(L"ComSpec", buf, MAX_PATH);
  if (n > 0 && n < MAX_PATH) return buf;
  const UINT len = GetSystemDirectoryW(buf, MAX_PATH);
  if (len > 0 && len < MAX_PATH) return std::wstring(buf, len) + L"\\cmd.exe";
  return L"cmd.exe";
}

// The environment of this process with `folder` put ahead of PATH, as a block for
// CreateProcessW (NUL-separated "NAME=value" entries, ending in an empty one).
std::wstring EnvironmentWithPathFirst(const std::wstring& folder) {
  std::wstring block;
  bool have_path = false;
  if (wchar_t* strings = GetEnvironmentStringsW()) {
    for (const wchar_t* p = strings; *p != L'\0'; p += wcslen(p) + 1) {
      std::wstring entry(p);
      if (entry.size() >= 5 && _wcsnicmp(entry.c_str(), L"PATH=", 5) == 0) {
        entry = L"PATH=" + folder + L";" + entry.substr(5);
        have_path = true;
      }
      block += entry;
      block.push_back(L'\0');
    }
    FreeEnvironmentStringsW(strings);
  }
  if (!have_path) {
    block += L"PATH=" + folder;
    block.push_back(L'\0');
  }
  block.push_back(L'\0');
  return block;
}

// Hands the standard handles (and only those: every handle the system opens is
// non-inheritable) to a program started by CreateProcessW.
void ShareStandardHandles(STARTUPINFOW* si) {
  const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  for (HANDLE h : {in, out, err}) {
    if (h != nullptr && h != INVALID_HANDLE_VALUE) {
      SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    }
  }
  si->dwFlags |= STARTF_USESTDHANDLES;
  si->hStdInput = in;
  si->hStdOutput = out;
  si->hStdError = err;
}

// Starts a program (command line built from its path and arguments); the process
// handle, or nullptr with *os_code set.
HANDLE StartProcess(const std::wstring& application, std::wstring command_line,
                    const std::wstring* environment, int show_mode, int* os_code) {
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = static_cast<WORD>(show_mode);
  ShareStandardHandles(&si);
  PROCESS_INFORMATION pi{};
  DWORD flags = 0;
  if (environment != nullptr) flags |= CREATE_UNICODE_ENVIRONMENT;
  void* env_block = environment != nullptr ? const_cast<wchar_t*>(environment->c_str()) : nullptr;
  if (!CreateProcessW(application.c_str(), command_line.data(), nullptr, nullptr, TRUE, flags,
                      env_block, nullptr, &si, &pi)) {
    *os_code = static_cast<int>(GetLastError());
    return nullptr;
  }
  CloseHandle(pi.hThread);
  return pi.hProcess;
}

// Opens a document with its associated program. The process handle, or nullptr when
// the shell handed the document to a program that was running already (*os_code 0)
// or could not open it (*os_code set).
HANDLE OpenDocument(const Command& command, int show_mode, int* os_code) {
  const std::wstring file = WideFromAnsi(command.program);
  std::wstring parameters;
  for (const std::string& a : command.args) {
    if (!parameters.empty()) parameters.push_back(L' ');
    parameters += QuoteArgument(WideFromAnsi(a), false);
  }
  SHELLEXECUTEINFOW sei{};
  sei.cbSize = sizeof(sei);
  sei.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  sei.lpFile = file.c_str();
  sei.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
  sei.nShow = show_mode;
  if (!ShellExecuteExW(&sei)) {
    *os_code = static_cast<int>(GetLastError());
    if (*os_code == 0) *os_code = kOsUnknown;
    return nullptr;
  }
  return sei.hProcess;
}

int ExitCodeOf(HANDLE process) {
  DWORD code = 0;
  if (!GetExitCodeProcess(process, &code)) return -1;
  return static_cast<int>(code);
}

// A copy of the batch file cut at byte 26, beside it; "" when the file has no such
// byte or the copy cannot be written (the original runs then).
std::string CutBatchCopy(const std::string& batch_file) {
  std::string text;
  if (!ReadWholeFile(batch_file, &text)) return "";
  const size_t eof = text.find('\x1a');
  if (eof == std::string::npos) return "";
  text.resize(eof);
  static int counter = 0;
  const std::string copy =
      JoinHostPath(ParentFolder(batch_file), "~PX" + std::to_string(GetCurrentProcessId()) + "_" +
                                                 std::to_string(++counter) + ".BAT");
  const HANDLE h = CreateFileW(Win32PathOf(copy).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "";
  DWORD written = 0;
  const bool ok = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                  written == text.size();
  CloseHandle(h);
  if (!ok) {
    DeleteFileW(Win32PathOf(copy).c_str());
    return "";
  }
  return copy;
}

class Win32ProcessRunner : public ProcessRunner {
 public:
  LaunchResult Run(const LaunchRequest& request, bool wait,
                   const std::function<void()>& after_start,
                   const std::function<void()>& while_waiting) override {
    LaunchResult result;
    HANDLE process = nullptr;
    int os_code = 0;
    std::string batch_copy;
    if (request.is_batch && !request.batch_file.empty()) {
      if (wait) batch_copy = CutBatchCopy(request.batch_file);
      process = StartBatch(request, batch_copy.empty() ? request.batch_file : batch_copy, &os_code);
    } else if (!request.commands.empty()) {
      const Command& c = request.commands.front();
      if (EndsWithNoCase(c.program, ".exe") || EndsWithNoCase(c.program, ".com") ||
          c.program.rfind('.') == std::string::npos ||
          c.program.rfind('.') < c.program.find_last_of("\\/") + 1) {
        std::wstring line = QuoteArgument(WideFromAnsi(c.program), false);
        for (const std::string& a : c.args) line += L" " + QuoteArgument(WideFromAnsi(a), false);
        process = StartProcess(WideFromAnsi(c.program), line, nullptr, request.show_mode, &os_code);
      } else {
        process = OpenDocument(c, request.show_mode, &os_code);
      }
    } else if (!request.is_batch) {
      os_code = kOsFileNotFound;
    }
    if (os_code != 0) {
      if (!batch_copy.empty()) DeleteFileW(Win32PathOf(batch_copy).c_str());
      result.os_code = os_code;
      return result;
    }
    // Started (an empty batch, or a document given to a running program, has nothing
    // to wait for and ends at once with 0).
    result.started = true;
    if (after_start) after_start();
    if (wait) result.exit_code = process != nullptr ? WaitFor(process, while_waiting) : 0;
    if (process != nullptr) CloseHandle(process);
    if (!batch_copy.empty()) DeleteFileW(Win32PathOf(batch_copy).c_str());
    return result;
  }

 private:
  static HANDLE StartBatch(const LaunchRequest& request, const std::string& batch_file,
                           int* os_code) {
    const std::wstring processor = CommandProcessor();
    // The outer quotes are the ones "/c" strips; the batch file's own stay.
    std::wstring line = QuoteArgument(processor, false) + L" /d /c \"" +
                        QuoteArgument(WideFromAnsi(batch_file), true);
    for (const std::string& a : request.batch_args) {
      line += L" " + QuoteArgument(WideFromAnsi(a), true);
    }
    line += L"\"";
    const std::string self = ProgramFilePath();
    if (self.empty()) return StartProcess(processor, line, nullptr, request.show_mode, os_code);
    const std::wstring environment = EnvironmentWithPathFirst(WideFromAnsi(ParentFolder(self)));
    return StartProcess(processor, line, &environment, request.show_mode, os_code);
  }

  static int WaitFor(HANDLE process, const std::function<void()>& while_waiting) {
    if (!while_waiting) {
      WaitForSingleObject(process, INFINITE);
      return ExitCodeOf(process);
    }
    for (;;) {
      const DWORD r = WaitForSingleObject(process, 0);
      if (r == WAIT_OBJECT_0) return ExitCodeOf(process);
      if (r == WAIT_FAILED) return -1;
      while_waiting();
      GetEnv()->SleepMicros(50000);
    }
  }
};

}  // namespace

ProcessRunner* ProcessRunner::Default() {
  static ProcessRunner* runner = new Win32ProcessRunner();
  return runner;
}

std::string ProgramFilePath() {
  std::wstring buf(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return "";
    if (n < buf.size()) {
      buf.resize(n);
      break;
    }
    if (buf.size() >= 32768) return "";
    buf.resize(buf.size() * 2);
  }
  // A long path's "\\?\" prefix is not part of the name the system shows.
  if (buf.rfind(L"\\\\?\\UNC\\", 0) == 0) {
    buf = L"\\" + buf.substr(7);
  } else if (buf.rfind(L"\\\\?\\", 0) == 0) {
    buf = buf.substr(4);
  }
  return AnsiFromWide(buf);
}

bool IsStartableFile(const std::string& host) {
  if (host.empty()) return false;
  const DWORD attributes = GetFileAttributesW(Win32PathOf(host).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string JoinHostPath(const std::string& folder, const std::string& name) {
  if (folder.empty() || IsSeparator(folder.back())) return folder + name;
  return folder + "\\" + name;
}

std::string ParentFolder(const std::string& host) {
  const size_t sep = host.find_last_of("\\/");
  if (sep == std::string::npos) return host.size() >= 2 && host[1] == ':' ? host.substr(0, 2) : ".";
  // The root of a drive keeps its separator ("C:\").
  if (sep == 2 && host[1] == ':') return host.substr(0, 3);
  return sep == 0 ? host.substr(0, 1) : host.substr(0, sep);
}

}  // namespace px
