// Helpers shared by the fuzz entry points: a scratch folder per process and writing
// the fuzzed bytes into files there.
#ifndef PX_TESTS_FUZZ_FUZZ_UTIL_H_
#define PX_TESTS_FUZZ_FUZZ_UTIL_H_

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>

namespace px::fuzz {

// A scratch folder for the input files, made once per process and removed at exit.
// The path lives on the heap so that it outlives every static destructor.
inline const std::string& ScratchFolder() {
  static const std::string* folder = [] {
    std::error_code ec;
    const std::filesystem::path temp = std::filesystem::temp_directory_path(ec);
    std::random_device random;
    std::filesystem::path made = temp / "pxfuzz";
    for (int tries = 0; tries < 100; ++tries) {
      const auto candidate = temp / ("pxfuzz." + std::to_string(random() % 1000000000u));
      if (std::filesystem::create_directory(candidate, ec)) {
        made = candidate;
        break;
      }
    }
    auto* path = new std::string(made.string());
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(ScratchFolder(), ec);
    });
    return path;
  }();
  return *folder;
}

inline std::string ScratchFile(const std::string& name) {
  return ScratchFolder() + "/" + name;
}

inline void WriteFile(const std::string& path, const void* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

inline void WriteFile(const std::string& path, std::string_view bytes) {
  WriteFile(path, bytes.data(), bytes.size());
}

// Splits an input into two files' contents: a 4-byte little-endian length of the first
// part (cut to what there is), the first part, and the rest as the second part. An
// input shorter than 4 bytes is all second part.
inline void SplitInput(const uint8_t* data, size_t size, std::string_view* first,
                       std::string_view* second) {
  const char* bytes = reinterpret_cast<const char*>(data);
  if (size < 4) {
    *first = {};
    *second = std::string_view(bytes, size);
    return;
  }
  uint32_t len = 0;
  for (int i = 3; i >= 0; --i) len = (len << 8) | data[i];
  const size_t n = len < size - 4 ? len : size - 4;
  *first = std::string_view(bytes + 4, n);
  *second = std::string_view(bytes + 4 + n, size - 4 - n);
}

}  // namespace px::fuzz

#endif  // PX_TESTS_FUZZ_FUZZ_UTIL_H_
