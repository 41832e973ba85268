// Program look-up, batch files and the installed process runner; the runners of the
// platforms are in posix_process.cc and win32_process.cc.
#include "runtime/process.h"

#include <cstdlib>

#include "runtime/dos_path.h"
#include "runtime/env.h"
#include "runtime/process_host.h"

namespace px {

bool EndsWithNoCase(std::string_view s, std::string_view tail) {
  if (s.size() < tail.size()) return false;
  for (size_t i = 0; i < tail.size(); ++i) {
    char a = s[s.size() - tail.size() + i], b = tail[i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a + 32);
    if (b >= 'A' && b <= 'Z') b = static_cast<char>(b + 32);
    if (a != b) return false;
  }
  return true;
}

namespace {

bool IsBatchName(std::string_view name) {
  return EndsWithNoCase(name, ".bat");
}

// The names a program may have on disk: as given, and with ".exe" added or removed.
std::vector<std::string> Candidates(std::string_view name) {
  std::vector<std::string> out{std::string(name)};
  if (EndsWithNoCase(name, ".exe")) {
    if (name.size() > 4) out.emplace_back(name.substr(0, name.size() - 4));
  } else {
    out.push_back(std::string(name) + ".exe");
  }
  return out;
}

ProcessRunner* g_installed_runner = nullptr;

}  // namespace

ProcessRunner* GetProcessRunner() {
  return g_installed_runner != nullptr ? g_installed_runner : ProcessRunner::Default();
}

ScopedProcessRunner::ScopedProcessRunner(ProcessRunner* runner) : previous_(g_installed_runner) {
  g_installed_runner = runner;
}
ScopedProcessRunner::~ScopedProcessRunner() {
  g_installed_runner = previous_;
}

std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false, quoted = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
      in_word = true;
    } else if (!quoted && (c == ' ' || c == '\t' || c == '\r' || c == '\n')) {
      if (in_word) words.push_back(std::move(word));
      word.clear();
      in_word = false;
    } else {
      word += c;
      in_word = true;
    }
  }
  if (in_word) words.push_back(std::move(word));
  return words;
}

std::string FindProgram(std::string_view name) {
  if (name.empty()) return "";
  Env* env = GetEnv();
  const std::vector<std::string> names = Candidates(name);
  const bool has_folder = name.find_first_of("\\/") != std::string_view::npos || HasDrive(name);
  if (has_folder) {
    for (const std::string& c : names) {
      std::string host = env->HostPath(c);
      if (!host.empty() && !IsAbsoluteHostPath(host)) host = JoinHostPath(env->CurrentDir(), host);
      if (IsStartableFile(host)) return host;
    }
    return "";
  }
  std::vector<std::string> folders{env->CurrentDir()};
  const std::string self = ProgramFilePath();
  if (!self.empty()) folders.push_back(ParentFolder(self));
  if (const char* path = std::getenv("PATH")) {
    std::string_view rest(path);
    while (true) {
      const size_t colon = rest.find(kPathListSeparator);
      const std::string_view dir = rest.substr(0, colon);
      // An empty PATH entry means the current folder, already searched first.
      if (!dir.empty()) folders.emplace_back(dir);
      if (colon == std::string_view::npos) break;
      rest.remove_prefix(colon + 1);
    }
  }
  for (const std::string& folder : folders) {
    for (const std::string& c : names) {
      const std::string host = env->HostPath(JoinHostPath(folder, c));
      if (IsStartableFile(host)) return host;
    }
  }
  return "";
}

bool ReadBatchFile(std::string_view host_path, std::vector<Command>* commands) {
  commands->clear();
  std::string text;
  if (!ReadWholeFile(host_path, &text)) return false;
  const size_t eof = text.find('\x1a');
  if (eof != std::string::npos) text.resize(eof);
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos) continue;
    line.erase(0, first);
    if (line[0] == '@') line.erase(0, 1);
    if (line.rfind("::", 0) == 0) continue;
    std::vector<std::string> words = SplitCommandLine(line);
    if (words.empty()) continue;
    std::string first_word = words[0];
    for (char& c : first_word) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    }
    if (first_word == "REM") continue;
    Command cmd;
    cmd.program = FindProgram(words[0]);
    if (cmd.program.empty()) cmd.program = words[0];
    cmd.args.assign(words.begin() + 1, words.end());
    commands->push_back(std::move(cmd));
  }
  return true;
}

bool PrepareLaunch(std::string_view command_line, int show_mode, LaunchRequest* request,
                   int* os_code) {
  *request = LaunchRequest();
  request->command_line = std::string(command_line);
  request->show_mode = show_mode;
  *os_code = 0;
  const std::vector<std::string> words = SplitCommandLine(command_line);
  if (words.empty()) {
    *os_code = kOsFileNotFound;
    return false;
  }
  const std::string program = FindProgram(words[0]);
  if (program.empty()) {
    *os_code = kOsFileNotFound;
    return false;
  }
  if (IsBatchName(program)) {
    request->is_batch = true;
    request->batch_file = program;
    request->batch_args.assign(words.begin() + 1, words.end());
    if (!ReadBatchFile(program, &request->commands)) {
      *os_code = kOsAccessDenied;
      return false;
    }
    return true;
  }
  Command cmd;
  cmd.program = program;
  cmd.args.assign(words.begin() + 1, words.end());
  request->commands.push_back(std::move(cmd));
  return true;
}

}  // namespace px
