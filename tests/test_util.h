// Helpers shared by the tests.
#ifndef PX_TESTS_TEST_UTIL_H_
#define PX_TESTS_TEST_UTIL_H_

#include <cstdint>
#include <string>
#include <vector>

namespace px::test {

// A fresh, empty folder that becomes the current folder for the life of the object;
// the previous current folder comes back and the folder is removed afterwards.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  // Host path of the folder, without a trailing '/'.
  const std::string& path() const { return path_; }
  // Host path of a file in the folder.
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
  std::string previous_;
};

std::string ReadFileBytes(const std::string& host_path);
void WriteFileBytes(const std::string& host_path, const std::string& bytes);
int64_t FileSize(const std::string& host_path);

// The folder where tests may leave artefacts (screenshots): the build folder when the
// test runs under CTest, else the system temp folder.
std::string ArtefactDir();

}  // namespace px::test

#endif  // PX_TESTS_TEST_UTIL_H_
