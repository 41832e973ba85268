// COPYFILE, FRENAME and FERASE: pieces, retries through the handler, share modes.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/workarea/commands.h"
#include "engine/workarea/file_ops.h"
#include "engine/workarea/registry.h"
#include "runtime/env.h"
#include "runtime/process_state.h"
#include "tests/engine/faulty_env.h"
#include "tests/engine/table_util.h"
#include "tests/test_util.h"

namespace px {
namespace {

using test::ReadFileBytes;
using test::RecordedCodes;
using test::ScratchDir;
using test::WriteFileBytes;

std::string Bytes(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return s;
}

// Records the sizes of the reads and writes of files opened or created through it.
class PieceRecordingEnv : public EnvWrapper {
 public:
  PieceRecordingEnv() : EnvWrapper(Env::Default()) {}
  std::vector<int64_t> reads, writes;

  class File : public px::File {
   public:
    File(std::unique_ptr<px::File> f, PieceRecordingEnv* env) : f_(std::move(f)), env_(env) {}
    int64_t ReadAt(uint64_t o, void* b, size_t n) override {
      const int64_t got = f_->ReadAt(o, b, n);
      env_->reads.push_back(got);
      return got;
    }
    int64_t WriteAt(uint64_t o, const void* b, size_t n) override {
      env_->writes.push_back(static_cast<int64_t>(n));
      return f_->WriteAt(o, b, n);
    }
    int64_t Size() override { return f_->Size(); }
    bool Truncate(uint64_t s) override { return f_->Truncate(s); }
    bool Sync() override { return f_->Sync(); }
    bool Lock(uint64_t o, uint64_t l, bool x, bool w) override { return f_->Lock(o, l, x, w); }
    bool Unlock(uint64_t o, uint64_t l) override { return f_->Unlock(o, l); }
    int os_error() const override { return f_->os_error(); }
    const std::string& host_path() const override { return f_->host_path(); }

   private:
    std::unique_ptr<px::File> f_;
    PieceRecordingEnv* env_;
  };

  std::unique_ptr<px::File> OpenFile(std::string_view name, FileAccess access, FileShare share,
                                     int* os_code) override {
    auto f = target()->OpenFile(name, access, share, os_code);
    return f == nullptr ? nullptr : std::make_unique<File>(std::move(f), this);
  }
  std::unique_ptr<px::File> CreateFile(std::string_view name, FileShare share,
                                       int* os_code) override {
    auto f = target()->CreateFile(name, share, os_code);
    return f == nullptr ? nullptr : std::make_unique<File>(std::move(f), this);
  }
};

TEST(CopyFileTest, CopiesInPiecesOf8192Bytes) {
  ScratchDir dir;
  const std::string data = Bytes(20000);
  WriteFileBytes(dir.File("src.bin"), data);
  WriteFileBytes(dir.File("dst.bin"), std::string(50000, 'x'));  // replaced
  PieceRecordingEnv env;
  {
    ScopedEnv scoped(&env);
    EXPECT_EQ(COPYFILE("src.bin", "dst.bin"), Value());
  }
  EXPECT_EQ(env.reads, (std::vector<int64_t>{8192, 8192, 3616, 0}));
  EXPECT_EQ(env.writes, (std::vector<int64_t>{8192, 8192, 3616}));
  EXPECT_EQ(ReadFileBytes(dir.File("dst.bin")), data);
  EXPECT_TRUE(RecordedErrors().empty());
  // An empty file copies to an empty file.
  WriteFileBytes(dir.File("empty"), "");
  EXPECT_EQ(COPYFILE("empty", "copy"), Value());
  EXPECT_EQ(test::FileSize(dir.File("copy")), 0);
}

TEST(CopyFileTest, MissingSource) {
  ScratchDir dir;
  EXPECT_EQ(COPYFILE("none.bin", "dst.bin"), Value::Logical(false));
  ASSERT_EQ(RecordedCodes(), std::vector<std::string>{"21/2012"});
  const Error& e = RecordedErrors()[0];
  EXPECT_EQ(e.subsystem, "BASE");
  EXPECT_EQ(e.filename, "none.bin");
  EXPECT_EQ(e.operation, "none.bin");
  EXPECT_EQ(e.os_code, kOsFileNotFound);
  EXPECT_TRUE(e.can_retry && e.can_default);
  EXPECT_FALSE(GetEnv()->FileExists("dst.bin"));

  // Retried while the handler asks: the file turns up meanwhile.
  int calls = 0;
  ScopedErrorHandler handler([&](Error&) {
    if (++calls == 2) WriteFileBytes(dir.File("none.bin"), "late");
    return ErrorAnswer::Retry();
  });
  EXPECT_EQ(COPYFILE("none.bin", "dst.bin"), Value());
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(ReadFileBytes(dir.File("dst.bin")), "late");
}

TEST(CopyFileTest, TargetThatCannotBeCreated) {
  ScratchDir dir;
  WriteFileBytes(dir.File("src.bin"), "data");
  EXPECT_EQ(COPYFILE("src.bin", "nodir\\dst.bin"), Value::Logical(false));
  ASSERT_EQ(RecordedCodes(), std::vector<std::string>{"20/2012"});
  EXPECT_EQ(RecordedErrors()[0].filename, "nodir\\dst.bin");
  EXPECT_EQ(RecordedErrors()[0].os_code, kOsPathNotFound);
  // Copying a file onto itself would destroy it: the target is held by the source's
  // open, so it cannot be created.
  ClearRecordedErrors();
  EXPECT_EQ(COPYFILE("src.bin", "src.bin"), Value::Logical(false));
  EXPECT_EQ(ReadFileBytes(dir.File("src.bin")), "data");
}

TEST(CopyFileTest, ShortWritesAreWrittenAgainOrFailTheCopy) {
  ScratchDir dir;
  const std::string data = Bytes(20000);
  WriteFileBytes(dir.File("src.bin"), data);
  test::FaultyEnv env;
  ScopedEnv scoped(&env);
  env.faults.short_writes = true;
  int calls = 0;
  {
    ScopedErrorHandler handler([&](Error& e) {
      EXPECT_EQ(e.gen_code, kErrWrite);
      EXPECT_EQ(e.sub_code, 2016);
      EXPECT_EQ(e.filename, "dst.bin");
      EXPECT_EQ(e.os_code, kOsDiskFull);
      if (++calls == 2) env.faults.short_writes = false;
      return ErrorAnswer::Retry();
    });
    EXPECT_EQ(COPYFILE("src.bin", "dst.bin"), Value());
  }
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(ReadFileBytes(dir.File("dst.bin")), data);

  // Answered with default, every piece comes out short and the copy goes on and fails.
  env.faults.short_writes = true;
  EXPECT_EQ(COPYFILE("src.bin", "dst.bin"), Value::Logical(false));
  EXPECT_EQ(RecordedCodes(), std::vector<std::string>(3, "24/2016"));
}

TEST(CopyFileTest, ArgumentsThatAreNoText) {
  ScratchDir dir;
  EXPECT_EQ(COPYFILE(Value::Integer(1), Value::String("x")), Value::Logical(false));
  ASSERT_EQ(RecordedCodes(), std::vector<std::string>{"1/2010"});
  const Error& e = RecordedErrors()[0];
  EXPECT_EQ(e.subsystem, "BASE");
  EXPECT_EQ(e.operation, "__COPYFILE");
  EXPECT_TRUE(e.has_args);
  EXPECT_EQ(e.args, (std::vector<Value>{Value::Integer(1), Value::String("x")}));
  EXPECT_FALSE(e.can_retry || e.can_default);
  EXPECT_FALSE(GetEnv()->FileExists("x"));
}

TEST(RenameEraseTest, RenameAndEraseReportThroughTheirResults) {
  ScratchDir dir;
  WriteFileBytes(dir.File("a.txt"), "A");
  WriteFileBytes(dir.File("b.txt"), "B");
  EXPECT_EQ(FRENAME("a.txt", "b.txt"), -1);
  EXPECT_EQ(FERROR(), kOsFileExists);
  EXPECT_EQ(ReadFileBytes(dir.File("a.txt")), "A");
  EXPECT_EQ(ReadFileBytes(dir.File("b.txt")), "B");
  EXPECT_EQ(FRENAME("a.txt", "c.txt"), 0);
  EXPECT_EQ(FERROR(), 0);
  EXPECT_EQ(ReadFileBytes(dir.File("c.txt")), "A");
  EXPECT_EQ(FRENAME("a.txt", "d.txt"), -1);
  EXPECT_EQ(FERROR(), kOsFileNotFound);
  EXPECT_EQ(FRENAME(Value::Integer(1), Value::String("x")), -1);

  EXPECT_EQ(FERASE("nothing.txt"), -1);
  EXPECT_EQ(FERROR(), kOsFileNotFound);
  EXPECT_EQ(FERASE("C.TXT"), 0);  // names are found without regard to case
  EXPECT_FALSE(GetEnv()->FileExists("c.txt"));
  EXPECT_EQ(FERASE(Value()), -1);
  EXPECT_TRUE(RecordedErrors().empty());
}

TEST(RenameEraseTest, FilesAnotherOpenHoldsAreLeftAlone) {
  ScratchDir dir;
  ASSERT_TRUE(test::CreateTable("t.dbf", {test::Field("A", 'C', 1)}));
  ASSERT_TRUE(test::UseTable("t", "", /*shared=*/true));
  EXPECT_EQ(FERASE("t.dbf"), -1);
  EXPECT_EQ(FERROR(), kOsSharingViolation);
  EXPECT_EQ(FRENAME("t.dbf", "u.dbf"), -1);
  EXPECT_EQ(FERROR(), kOsSharingViolation);
  EXPECT_TRUE(GetEnv()->FileExists("t.dbf"));
  // A copy only reads it and lets others go on.
  EXPECT_EQ(COPYFILE("t.dbf", "copy.dbf"), Value());
  DBCLOSEAREA();
  EXPECT_EQ(FRENAME("t.dbf", "u.dbf"), 0);
  EXPECT_EQ(FERASE("u.dbf"), 0);
}

}  // namespace
}  // namespace px
