// Runs a fuzz entry point without a fuzzer: over every file of the folders (or files)
// given on the command line, and over copies of each cut short and with each of its
// first 256 bytes set to 0x00 and to 0xFF. A seed is cut at every length up to 1,024
// bytes; a longer one (index files) at 256 evenly spaced lengths and on both sides of
// every 512-byte boundary, where its pages begin. A crash or a sanitizer report fails
// the test.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

void Run(const std::string& bytes) {
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

int RunVariants(const std::string& seed) {
  int runs = 0;
  Run(seed);
  ++runs;
  for (size_t n = 0; n < seed.size(); ++n) {
    const bool near_boundary = n % 512 <= 5 || n % 512 >= 507;
    if (seed.size() > 1024 && n > 1024 && !near_boundary && n % (seed.size() / 256) != 0) {
      continue;
    }
    Run(seed.substr(0, n));
    ++runs;
  }
  for (size_t i = 0; i < seed.size() && i < 256; ++i) {
    for (char value : {'\x00', '\xFF'}) {
      std::string altered = seed;
      altered[i] = value;
      Run(altered);
      ++runs;
    }
  }
  return runs;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::filesystem::path> files;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path arg(argv[i]);
    if (std::filesystem::is_directory(arg)) {
      for (const auto& entry : std::filesystem::directory_iterator(arg)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
      }
    } else {
      files.push_back(arg);
    }
  }
  std::sort(files.begin(), files.end());
  if (files.empty()) {
    std::fprintf(stderr, "no seed files\n");
    return 1;
  }
  int runs = 0;
  for (const auto& path : files) {
    std::ifstream in(path, std::ios::binary);
    const std::string seed((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    runs += RunVariants(seed);
  }
  std::printf("%zu seeds, %d runs\n", files.size(), runs);
  return 0;
}
