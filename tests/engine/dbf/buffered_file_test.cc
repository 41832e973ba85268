// The buffered file of exclusive tables against a model of the bytes it must hold.
#include "engine/dbf/buffered_file.h"

#include <gtest/gtest.h>

#include <random>

#include "runtime/env.h"
#include "tests/engine/faulty_env.h"
#include "tests/test_util.h"

namespace px {
namespace {

using test::ReadFileBytes;
using test::ScratchDir;

// Shared, so that the test reads the file's bytes beside it on every platform.
std::unique_ptr<File> Create(Env* env, const std::string& name) {
  int code = 0;
  return env->CreateFile(name, FileShare::kDenyNone, &code);
}

// Applies a write to the model of the file's bytes.
void ModelWrite(std::string* model, uint64_t offset, const std::string& data) {
  if (data.empty()) return;  // writes nothing, does not make the file longer
  if (model->size() < offset + data.size()) model->resize(offset + data.size(), '\0');
  model->replace(offset, data.size(), data);
}

TEST(BufferedFileTest, RandomOperationsMatchAPlainFile) {
  ScratchDir dir;
  std::mt19937 rng(11);
  auto file = std::make_unique<BufferedFile>(Create(Env::Default(), "f.bin"));
  std::string model;
  uint64_t cursor = 0;  // runs of reads and writes that follow each other
  for (int step = 0; step < 6000; ++step) {
    const int op = static_cast<int>(rng() % 100);
    const bool sequential = rng() % 4 != 0;
    const uint64_t offset = sequential ? cursor : rng() % 300000;
    const size_t n = rng() % 8 == 0 ? rng() % 100000 : rng() % 300;
    if (op < 45) {
      std::string data(n, '\0');
      for (char& c : data) c = static_cast<char>(rng());
      ASSERT_EQ(file->WriteAt(offset, data.data(), n), static_cast<int64_t>(n));
      ModelWrite(&model, offset, data);
      cursor = offset + n;
    } else if (op < 93) {
      std::string got(n, '\x55');
      const int64_t r = file->ReadAt(offset, got.data(), n);
      const size_t expect = offset >= model.size() ? 0 : std::min<size_t>(n, model.size() - offset);
      ASSERT_EQ(r, static_cast<int64_t>(expect)) << step;
      if (expect > 0) {
        ASSERT_EQ(got.substr(0, expect), model.substr(offset, expect)) << step;
      }
      cursor = offset + n;
    } else if (op < 96) {
      ASSERT_EQ(file->Size(), static_cast<int64_t>(model.size()));
    } else if (op < 98) {
      const uint64_t size = rng() % 200000;
      ASSERT_TRUE(file->Truncate(size));
      model.resize(size, '\0');
    } else {
      ASSERT_TRUE(file->Flush());
      ASSERT_EQ(ReadFileBytes(dir.File("f.bin")), model);
    }
  }
  file.reset();
  EXPECT_EQ(ReadFileBytes(dir.File("f.bin")), model);
}

TEST(BufferedFileTest, AFailedFlushKeepsTheBytesForTheNextOne) {
  ScratchDir dir;
  test::FaultyEnv env;
  BufferedFile file(Create(&env, "f.bin"));
  ASSERT_EQ(file.WriteAt(0, "abcdef", 6), 6);
  ASSERT_EQ(file.WriteAt(6, "gh", 2), 2);
  env.faults.short_writes = true;
  EXPECT_FALSE(file.Flush());
  EXPECT_EQ(file.os_error(), kOsDiskFull);
  EXPECT_FALSE(file.Sync());
  EXPECT_FALSE(file.Truncate(8));
  // A read of the collected bytes needs them in the file first.
  char buf[4];
  EXPECT_EQ(file.ReadAt(2, buf, 4), -1);
  env.faults.short_writes = false;
  EXPECT_EQ(file.ReadAt(2, buf, 4), 4);
  EXPECT_EQ(std::string(buf, 4), "cdef");
  EXPECT_TRUE(file.Flush());
  EXPECT_EQ(file.os_error(), 0);
  EXPECT_EQ(ReadFileBytes(dir.File("f.bin")), "abcdefgh");
}

}  // namespace
}  // namespace px
