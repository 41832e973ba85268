#include "tests/test_util.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace px::test {

ScratchDir::ScratchDir() {
  char buf[4096];
  previous_ = getcwd(buf, sizeof(buf)) != nullptr ? buf : "/";
  const char* tmp = std::getenv("TMPDIR");
  std::string templ = std::string(tmp != nullptr && *tmp ? tmp : "/tmp") + "/pxtest.XXXXXX";
  char* made = mkdtemp(templ.data());
  path_ = made != nullptr ? made : templ;
  if (chdir(path_.c_str()) != 0) std::abort();
}

ScratchDir::~ScratchDir() {
  if (chdir(previous_.c_str()) != 0) {
    // The previous folder vanished; stay where we are.
  }
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string ReadFileBytes(const std::string& host_path) {
  std::ifstream in(host_path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFileBytes(const std::string& host_path, const std::string& bytes) {
  std::ofstream out(host_path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

int64_t FileSize(const std::string& host_path) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(host_path, ec);
  return ec ? -1 : static_cast<int64_t>(size);
}

std::string ArtefactDir() {
  const char* dir = std::getenv("PX_TEST_BINARY_DIR");
  if (dir != nullptr && *dir) return std::string(dir) + "/tests/artefacts";
  return "/tmp/px-artefacts";
}

}  // namespace px::test
