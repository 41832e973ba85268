// pkzip: the backup's zip program.
//
//   PKZIP25 -add ARCHIVE PATTERN...   add the files matching the patterns to the archive
//   PKZIP ARCHIVE PATTERN...          the same
//   pkzip -t [-sPASSWORD] ARCHIVE     test the archive: every entry readable, CRC right
//   pkzip --help | --version          print the usage or the version
//
// ARCHIVE gets ".zip" when its name has no extension. Names are DOS paths ("backup\PXB1")
// or host paths. Each PATTERN is a file name with DOS wildcards ("*.db*"), matched
// without regard to letter case against the ordinary files of the current folder (or
// of the folder the pattern names); entries are stored under the file's own name,
// without folder. Adding to an existing archive replaces entries of the same name. The
// archive is written under a temporary name and renamed into place, so a failure never
// damages an earlier archive.
//
// Exit codes: 0 done; 1 bad command line; 2 the archive could not be written or read;
// 3 some files could not be read and were left out (the others were added); 4 the
// test found damaged entries; 12 nothing matched ("nothing to do").
#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "archive/archive_check.h"
#include "archive/zip_errors.h"
#include "archive/zip_writer.h"
#include "runtime/directory.h"
#include "runtime/dos_path.h"
#include "runtime/env.h"
#include "tools/version.h"

namespace px {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 1;
constexpr int kExitArchive = 2;
constexpr int kExitSkipped = 3;
constexpr int kExitDamaged = 4;
constexpr int kExitNothing = 12;

std::string Upper(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return s;
}

constexpr char kUsage[] =
    "usage: pkzip [-add] ARCHIVE PATTERN...\n"
    "       pkzip -t [-sPASSWORD] ARCHIVE\n"
    "       pkzip --help | --version\n";

int Usage() {
  std::fputs(kUsage, stderr);
  return kExitUsage;
}

// --help and --version, alone on the command line; -1 for any other command line.
int HelpOrVersion(const std::vector<std::string>& args) {
  if (args.size() != 1) return -1;
  if (args[0] == "--help") {
    std::fputs(kUsage, stdout);
    std::fputs(
        "\nAdds files to a zip archive (\".zip\" is added to a name without extension) or\n"
        "tests one. Patterns are DOS wildcards, matched without regard to letter case.\n"
        "\nExample:\n  pkzip -add 'backup\\PXB1' '*.db*'\n",
        stdout);
    return kExitOk;
  }
  if (args[0] == "--version") {
    std::printf("pkzip %s\n", kToolsVersion);
    return kExitOk;
  }
  return -1;
}

// The archive name with ".zip" added when its file part has no extension.
std::string ArchiveName(const std::string& name) {
  std::string file, ext;
  SplitPath(name, nullptr, &file);
  SplitExtension(file, nullptr, &ext);
  return ext.empty() ? name + ".zip" : name;
}

int Add(const std::string& archive, const std::vector<std::string>& patterns) {
  Env* env = GetEnv();
  const std::string archive_host = env->HostPath(archive);
  // Host path -> input: a file matched by two patterns is added once.
  std::map<std::string, ZipInput> chosen;
  bool skipped = false;
  for (const std::string& pattern : patterns) {
    std::string folder;
    SplitPath(pattern, &folder, nullptr);
    for (const DirectoryEntry& e : DirectoryEntries(pattern)) {
      const std::string path = folder + e.name;
      const std::string host = env->HostPath(path);
      if (host == archive_host) continue;
      int code = 0;
      if (env->OpenFile(path, FileAccess::kRead, FileShare::kDenyNone, &code) == nullptr) {
        std::fprintf(stderr, "pkzip: warning: cannot read %s (DOS error %d), left out\n",
                     path.c_str(), code);
        skipped = true;
        continue;
      }
      chosen[host] = ZipInput{path, e.name, e.mtime};
    }
  }
  if (chosen.empty()) {
    std::string all;
    for (const std::string& p : patterns) all += (all.empty() ? "" : " ") + p;
    std::fprintf(stderr, "pkzip: nothing to do: no file matches %s\n", all.c_str());
    return kExitNothing;
  }
  std::vector<ZipInput> inputs;
  for (const auto& [host, in] : chosen) inputs.push_back(in);
  std::stable_sort(inputs.begin(), inputs.end(), [](const ZipInput& a, const ZipInput& b) {
    return Upper(a.entry) < Upper(b.entry);
  });

  std::printf("Creating/updating %s\n", archive.c_str());
  for (const ZipInput& in : inputs) std::printf("  adding: %s\n", in.entry.c_str());
  std::string error;
  ZipWriteOptions options;
  options.threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  // The backup is made before every update and rarely read: the fastest level packs
  // table files to about a third of the time of level 6 for about a quarter more bytes.
  options.level = 1;
  if (!WriteZip(archive, inputs, options, &error)) {
    std::fprintf(stderr, "pkzip: cannot write %s: %s\n", archive.c_str(), error.c_str());
    return kExitArchive;
  }
  std::printf("%zu file(s) added to %s\n", inputs.size(), archive.c_str());
  std::fflush(stdout);
  return skipped ? kExitSkipped : kExitOk;
}

int Test(const std::string& archive, const std::string& password) {
  const ArchiveCheck check =
      CheckArchive(archive, password, [](const std::string& entry, const std::string& problem) {
        if (entry.empty()) {
          std::printf("  %s\n", problem.c_str());
        } else if (problem.empty()) {
          std::printf("  testing: %s  OK\n", entry.c_str());
        } else {
          std::printf("  testing: %s  FAILED: %s\n", entry.c_str(), problem.c_str());
        }
      });
  std::fflush(stdout);
  if (check.failed == 0) {
    std::printf("No errors detected in %s (%d entries)\n", archive.c_str(), check.entries);
    return kExitOk;
  }
  std::fprintf(stderr, "pkzip: %s: %d of %d entries failed (%s)\n", archive.c_str(), check.failed,
               check.entries, ZipErrorText(check.error));
  return check.entries == 0 ? kExitArchive : kExitDamaged;
}

int Main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (const int code = HelpOrVersion(args); code >= 0) return code;
  bool test = false;
  std::string password;
  size_t i = 0;
  for (; i < args.size() && args[i].size() > 1 && args[i][0] == '-'; ++i) {
    const std::string option = Upper(args[i]);
    if (option == "-ADD" || option == "-A") continue;
    if (option == "-T" || option == "-TEST") {
      test = true;
    } else if (option.rfind("-S", 0) == 0 && option.size() > 2) {
      password = args[i].substr(2);
    } else {
      std::fprintf(stderr, "pkzip: unknown option %s\n", args[i].c_str());
      return Usage();
    }
  }
  if (i >= args.size()) return Usage();
  const std::string archive = ArchiveName(args[i++]);
  std::vector<std::string> rest(args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
  if (test) return rest.empty() ? Test(archive, password) : Usage();
  if (rest.empty()) {
    std::fprintf(stderr, "pkzip: no files named to add to %s\n", archive.c_str());
    return Usage();
  }
  return Add(archive, rest);
}

}  // namespace
}  // namespace px

int main(int argc, char** argv) {
  return px::Main(argc, argv);
}
