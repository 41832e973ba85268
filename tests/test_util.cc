#include "tests/test_util.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace px::test {

namespace fs = std::filesystem;

#ifdef _WIN32
namespace {

// The number of this folder among those the running test shares with its death tests.
int NextSharedIndex() {
  static std::string test;
  static int next = 0;
  const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
  const std::string name =
      info != nullptr ? std::string(info->test_suite_name()) + "." + info->name() : "";
  if (name != test) {
    test = name;
    next = 0;
  }
  return next++;
}

}  // namespace

ScratchDir::ScratchDir(DeathTestChild child) {
  std::error_code ec;
  previous_ = fs::current_path(ec).string();
  // The parent names a shared folder to its death tests' children in the environment
  // while the folder exists.
  const bool share = child == DeathTestChild::kParentsFolder;
  const std::string shared = share ? "PX_SCRATCH_" + std::to_string(NextSharedIndex()) : "";
  if (share && testing::internal::InDeathTestChild()) {
    if (const char* parent = std::getenv(shared.c_str()); parent != nullptr && *parent) {
      path_ = parent;
      fs::current_path(path_, ec);
      if (ec) std::abort();
      return;
    }
  }
  const fs::path temp = fs::temp_directory_path(ec);
  std::random_device random;
  fs::path made;
  for (int tries = 0; tries < 100 && made.empty(); ++tries) {
    const fs::path candidate = temp / ("pxtest." + std::to_string(random() % 1000000000u));
    if (fs::create_directory(candidate, ec)) made = candidate;
  }
  if (made.empty()) std::abort();
  own_ = made.make_preferred().string();
  path_ = own_;
  // In a child that replays the test (see forked_process.h) the files are the
  // parent's; the replayed steps work in the private folder.
  if (const char* parent = std::getenv("PX_FORK_FOLDER"); parent != nullptr && *parent) {
    path_ = parent;
  }
  fs::current_path(own_, ec);
  if (ec) std::abort();
  if (share && !testing::internal::InDeathTestChild()) {
    shared_as_ = shared;
    SetEnvVar(shared_as_, own_);
  }
}
#else
ScratchDir::ScratchDir(DeathTestChild) {
  char buf[4096];
  previous_ = getcwd(buf, sizeof(buf)) != nullptr ? buf : "/";
  const char* tmp = std::getenv("TMPDIR");
  std::string templ = std::string(tmp != nullptr && *tmp ? tmp : "/tmp") + "/pxtest.XXXXXX";
  char* made = mkdtemp(templ.data());
  path_ = made != nullptr ? made : templ;
  own_ = path_;
  if (chdir(path_.c_str()) != 0) std::abort();
}
#endif

ScratchDir::~ScratchDir() {
  if (!shared_as_.empty()) UnsetEnvVar(shared_as_);
  std::error_code ec;
  // When the previous folder vanished, stay where we are.
  fs::current_path(previous_, ec);
  fs::remove_all(own_, ec);
}

std::string ScratchDir::File(const std::string& name) const {
#ifdef _WIN32
  return path_ + "\\" + name;
#else
  return path_ + "/" + name;
#endif
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

void SetEnvVar(const std::string& name, const std::string& value) {
#ifdef _WIN32
  _putenv_s(name.c_str(), value.c_str());
#else
  setenv(name.c_str(), value.c_str(), 1);
#endif
}

void UnsetEnvVar(const std::string& name) {
#ifdef _WIN32
  _putenv_s(name.c_str(), "");
#else
  unsetenv(name.c_str());
#endif
}

std::string ArtefactDir() {
  const char* dir = std::getenv("PX_TEST_BINARY_DIR");
  if (dir != nullptr && *dir) return std::string(dir) + "/tests/artefacts";
  return (fs::temp_directory_path() / "px-artefacts").string();
}

}  // namespace px::test
