// Fuzz entry point of the archive layer: the input is an update archive. It is unpacked
// with the update's password into an empty folder through the zip library handles, and
// checked entry by entry (CRC and decryption) as the update's archive check does. Every
// file unpacked must lie inside that folder; nothing may crash or loop.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "archive/archive_check.h"
#include "archive/zip_library.h"
#include "runtime/env.h"
#include "tests/fuzz/fuzz_util.h"

namespace {

constexpr const char* kPassword = "pxsecret";

// The folder the archive is unpacked into; the current folder while the entry runs.
const std::string& OutFolder() {
  static const std::string* folder = [] {
    auto* path = new std::string(px::fuzz::ScratchFile("out"));
    std::filesystem::create_directories(*path);
    return path;
  }();
  return *folder;
}

// Fails loudly when anything was written outside the output folder.
void CheckScratchFolder() {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(px::fuzz::ScratchFolder(), ec)) {
    const std::string name = entry.path().filename().string();
    if (name != "out" && name != "update.zip") {
      std::fprintf(stderr, "written outside the output folder: %s\n", name.c_str());
      std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string archive = px::fuzz::ScratchFile("update.zip");
  px::fuzz::WriteFile(archive, data, size);
  const std::string previous = px::GetEnv()->CurrentDir();
  px::GetEnv()->ChangeDir(OutFolder());

  for (const char* password : {kPassword, ""}) {
    const int32_t handle = px::ZipHandle_New();
    if (handle == 0) std::abort();  // a handle leaked by an earlier run
    if (px::ZipHandle_Open(handle, archive, 0) == 0) {
      px::ZipHandle_SetPassWord(handle, password);
      px::ZipHandle_Extract(handle);
    }
    px::ZipHandle_GetLastError(handle);
    px::ZipArchive_Close(handle);
  }
  px::CheckArchive(archive, kPassword, [](const std::string&, const std::string&) {});

  px::GetEnv()->ChangeDir(previous);
  CheckScratchFolder();
  std::error_code ec;
  std::filesystem::remove_all(OutFolder(), ec);
  std::filesystem::create_directories(OutFolder(), ec);
  return 0;
}
