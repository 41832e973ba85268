#include "tests/archive/zip_test_util.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace px::test {

void MakeZip(const std::string& host_path, const std::vector<ZipEntrySpec>& entries,
             const std::string& password, zip_uint16_t method, zip_int32_t compression) {
  // Entries come from files: libzip keys the check byte of traditional encryption to the
  // source's date, which only file sources carry.
  const std::string staging = host_path + ".parts";
  std::filesystem::create_directories(staging);
  int err = 0;
  zip_t* za = zip_open(host_path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
  ASSERT_NE(za, nullptr) << "zip_open " << err;
  int n = 0;
  for (const ZipEntrySpec& e : entries) {
    const std::string part = staging + "/" + std::to_string(n++);
    {
      std::ofstream out(part, std::ios::binary);
      out.write(e.data.data(), static_cast<std::streamsize>(e.data.size()));
    }
    zip_source_t* src = zip_source_file(za, part.c_str(), 0, -1);
    ASSERT_NE(src, nullptr);
    const zip_int64_t idx = zip_file_add(za, e.name.c_str(), src, ZIP_FL_ENC_RAW);
    ASSERT_GE(idx, 0) << e.name << ": " << zip_strerror(za);
    const zip_uint64_t i = static_cast<zip_uint64_t>(idx);
    zip_set_file_compression(za, i, compression, 0);
    if (e.symlink) {
      zip_file_set_external_attributes(za, i, 0, ZIP_OPSYS_UNIX, (0120777u << 16));
    }
    if (e.external.has_value()) {
      zip_file_set_external_attributes(za, i, 0, e.external->first, e.external->second);
    }
    if (!password.empty()) {
      ASSERT_EQ(zip_file_set_encryption(za, i, method, password.c_str()), 0) << zip_strerror(za);
    }
  }
  ASSERT_EQ(zip_close(za), 0) << zip_strerror(za);
  std::filesystem::remove_all(staging);
}

namespace {

std::unique_ptr<ConsoleBackend> MakeBackend(std::ostream* out) {
  ConsoleBackend::Options options;
  options.out = out;
  return std::make_unique<ConsoleBackend>(options);
}

}  // namespace

ShownMessages::ShownMessages() : backend_(MakeBackend(&out_)), scope_(backend_.get()) {}

bool HaveProgram(const std::string& name) {
  return Shell("command -v " + name + " >/dev/null 2>&1") == 0;
}

std::string MissingProgram(const std::string& name) {
#ifdef _WIN32
  return "the check runs Info-ZIP's " + name + " through a POSIX shell, which Windows lacks";
#else
  return "the " + name + " program is not installed";
#endif
}

// The shell commands are POSIX shell text: on Windows no command runs (a failure), so
// the checks that need Info-ZIP's programs skip there.
int Shell(const std::string& command) {
#ifdef _WIN32
  (void)command;
  return -1;
#else
  const int status = std::system(command.c_str());
  if (status == -1 || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
#endif
}

std::string ShellOutput(const std::string& command) {
  std::string out;
#ifdef _WIN32
  (void)command;
#else
  FILE* p = popen(command.c_str(), "r");
  if (p == nullptr) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof(buf), p)) > 0) out.append(buf, n);
  pclose(p);
#endif
  return out;
}

std::vector<std::string> FolderNames(const std::string& host_path) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(host_path, ec)) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace px::test
