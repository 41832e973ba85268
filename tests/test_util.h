// Helpers shared by the tests.
#ifndef PX_TESTS_TEST_UTIL_H_
#define PX_TESTS_TEST_UTIL_H_

#include <cstdint>
#include <string>
#include <vector>

namespace px::test {

// A fresh, empty folder that becomes the current folder for the life of the object;
// the previous current folder comes back and the folder is removed afterwards. It
// lies in TMPDIR or /tmp (Windows: the system's temp folder).
class ScratchDir {
 public:
  // Where a death test's child works on Windows. gtest runs the statement there in a new
  // run of the program that replays the test up to it, so the folders made before the
  // statement are made again. A test that looks at what the statement left behind asks
  // for the parent's folder; every other test keeps the child in a folder of its own,
  // away from files the parent holds. On Linux the child is a fork and shares the folder.
  enum class DeathTestChild { kOwnFolder, kParentsFolder };

  explicit ScratchDir(DeathTestChild child = DeathTestChild::kOwnFolder);
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  // Host path of the folder, without a trailing separator.
  const std::string& path() const { return path_; }
  // Host path of a file in the folder.
  std::string File(const std::string& name) const;

 private:
  std::string path_;
  std::string own_;  // the folder made here (path_ but in a replaying Windows child)
  std::string previous_;
  std::string shared_as_;  // the variable naming it to a Windows death test's child
};

std::string ReadFileBytes(const std::string& host_path);
void WriteFileBytes(const std::string& host_path, const std::string& bytes);
int64_t FileSize(const std::string& host_path);

// Sets or removes a variable of this process's environment.
void SetEnvVar(const std::string& name, const std::string& value);
void UnsetEnvVar(const std::string& name);

// The separator of the PATH variable's folders (';' on Windows, else ':').
constexpr char kPathListSeparator =
#ifdef _WIN32
    ';';
#else
    ':';
#endif

// Skips the rest of a test on Windows: what it checks exists only on POSIX systems
// (shell scripts as programs, permission bits, the drive map of POSIX paths).
#ifdef _WIN32
#define PX_SKIP_WITHOUT_POSIX(what) GTEST_SKIP() << "POSIX only: " << (what)
#else
#define PX_SKIP_WITHOUT_POSIX(what) static_cast<void>(0)
#endif

// The folder where tests may leave artefacts (screenshots): the build folder when the
// test runs under CTest, else the system temp folder.
std::string ArtefactDir();

}  // namespace px::test

#endif  // PX_TESTS_TEST_UTIL_H_
