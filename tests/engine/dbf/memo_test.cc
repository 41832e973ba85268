// The memo layer through the work-area operations: the block rules byte for byte, both
// reference widths, the memo locks, and memo files that were damaged elsewhere.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "engine/dbf/memo_format.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/registry.h"
#include "runtime/env.h"
#include "runtime/error.h"
#include "runtime/process_state.h"
#include "tests/engine/counting_fault_env.h"
#include "tests/engine/faulty_env.h"
#include "tests/engine/held_file_env.h"
#include "tests/engine/table_util.h"
#include "tests/test_util.h"

namespace px {
namespace {

using test::CreateTable;
using test::Field;
using test::ReadFileBytes;
using test::ScratchDir;
using test::UseTable;
using test::WriteFileBytes;

std::string Le32(uint32_t v) {
  std::string s(4, '\0');
  PutLe32(reinterpret_cast<uint8_t*>(s.data()), v);
  return s;
}

std::string Text(size_t n, char first = 'a') {
  std::string s(n, ' ');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(first + i % 26);
  return s;
}

std::string Pad(size_t n) {
  return std::string(n, '\x1A');
}

class MemoTest : public testing::Test {
 protected:
  // Table m.dbf with CODE C 2 and NOTES M (10 or 4 bytes), `records` blank records,
  // open exclusive on record 1.
  void Make(int records, uint32_t memo_len = 10) {
    ASSERT_TRUE(CreateTable("mt.dbf", {Field("CODE", 'C', 2), Field("NOTES", 'M', memo_len)}));
    ASSERT_TRUE(UseTable("mt"));
    for (int i = 0; i < records; ++i) ASSERT_TRUE(DBAPPEND());
    DBGOTO(1);
  }
  bool Put(const std::string& text) { return !FIELDPUT(2, Value::String(text)).is_nil(); }
  Value Get() { return FIELDGET(2); }
  // The stored reference of the current record.
  std::string Ref() {
    std::string rec;
    EXPECT_TRUE(CurrentArea()->GetRecord(&rec));
    return rec.substr(3);
  }
  std::string Memo() { return files_.Bytes(dir_.File("mt.dbt")); }
  ScratchDir dir_;
  test::HeldFileEnv files_;
  ScopedEnv files_scope_{&files_};
};

TEST_F(MemoTest, BlockRulesOfShortAndLongTexts) {
  Make(1);
  ASSERT_EQ(Memo(), Le32(1) + std::string(508, '\0'));

  // 5 bytes into a blank field: block 1, 507 bytes of 0x1A, next-free 2.
  ASSERT_TRUE(Put("hello"));
  EXPECT_EQ(Ref(), "         1");
  std::string memo = Memo();
  ASSERT_EQ(memo.size(), 1024u);
  EXPECT_EQ(memo.substr(0, 4), Le32(2));
  EXPECT_EQ(memo.substr(4, 508), std::string(508, '\0'));
  EXPECT_EQ(memo.substr(512), "hello" + Pad(507));

  // 300 bytes overwrite block 1 in place; the header stays.
  const std::string t300 = Text(300);
  ASSERT_TRUE(Put(t300));
  EXPECT_EQ(Ref(), "         1");
  memo = Memo();
  ASSERT_EQ(memo.size(), 1024u);
  EXPECT_EQ(memo.substr(0, 4), Le32(2));
  EXPECT_EQ(memo.substr(512), t300 + Pad(212));

  // 600 bytes go to fresh blocks 2 and 3; block 1 is abandoned as it is.
  const std::string t600 = Text(600, 'A');
  ASSERT_TRUE(Put(t600));
  EXPECT_EQ(Ref(), "         2");
  memo = Memo();
  ASSERT_EQ(memo.size(), 2048u);
  EXPECT_EQ(memo.substr(0, 4), Le32(4));
  EXPECT_EQ(memo.substr(512, 512), t300 + Pad(212));
  EXPECT_EQ(memo.substr(1024), t600 + Pad(424));
  EXPECT_EQ(Get(), Value::Memo(t600));
  uint32_t len = 0;
  ASSERT_TRUE(CurrentArea()->GetVarLen(2, &len));
  EXPECT_EQ(len, 600u);

  // An empty text empties the reference and leaves the memo file alone.
  ASSERT_TRUE(Put(""));
  EXPECT_EQ(Ref(), std::string(10, ' '));
  EXPECT_EQ(Memo(), memo);
  EXPECT_EQ(Get(), Value::Memo(""));
  EXPECT_TRUE(RecordedErrors().empty());
}

TEST_F(MemoTest, TextsOf511And512BytesAndTheGapAfter511) {
  Make(3);
  ASSERT_TRUE(Put("x"));  // next-free 2
  DBGOTO(2);
  const std::string t511 = Text(511);
  ASSERT_TRUE(Put(t511));
  EXPECT_EQ(Ref(), "         2");
  std::string memo = Memo();
  ASSERT_EQ(memo.size(), 1536u);
  EXPECT_EQ(memo.substr(1024), t511 + Pad(1));
  EXPECT_EQ(memo.substr(0, 4), Le32(4));  // block 3 is never handed out

  DBGOTO(3);
  const std::string t512 = Text(512, 'K');
  ASSERT_TRUE(Put(t512));
  EXPECT_EQ(Ref(), "         4");
  memo = Memo();
  ASSERT_EQ(memo.size(), 3072u);
  EXPECT_EQ(memo.substr(1536, 512), std::string(512, '\0'));
  EXPECT_EQ(memo.substr(2048), t512 + Pad(512));
  EXPECT_EQ(memo.substr(0, 4), Le32(6));

  DBCLOSEAREA();
  ASSERT_TRUE(UseTable("mt"));
  DBGOTO(2);
  EXPECT_EQ(Get(), Value::Memo(t511));
  DBGOTO(3);
  EXPECT_EQ(Get(), Value::Memo(t512));
}

TEST_F(MemoTest, FourByteReferences) {
  Make(2, 4);
  EXPECT_EQ(Ref(), std::string(4, '\0'));
  ASSERT_TRUE(Put("first"));
  EXPECT_EQ(Ref(), Le32(1));
  DBGOTO(2);
  ASSERT_TRUE(Put(Text(700)));
  EXPECT_EQ(Ref(), Le32(2));
  ASSERT_TRUE(Put(""));
  EXPECT_EQ(Ref(), Le32(0));
  DBGOTO(1);
  EXPECT_EQ(Get(), Value::Memo("first"));
}

TEST(MemoReferenceTest, DigitsAreTakenAndEverythingElseSkipped) {
  EXPECT_EQ(ParseMemoReference(" 1 2     4", 10), 124u);
  EXPECT_EQ(ParseMemoReference("        12", 10), 12u);
  EXPECT_EQ(ParseMemoReference("0000000007", 10), 7u);
  EXPECT_EQ(ParseMemoReference("   x-3.5  ", 10), 35u);
  EXPECT_EQ(ParseMemoReference("          ", 10), 0u);
  EXPECT_EQ(ParseMemoReference("9999999999", 10), 9999999999u);
  EXPECT_EQ(ParseMemoReference("\x05\x01\x00\x00", 4), 261u);
  char field[10];
  FormatMemoReference(124, field, 10);
  EXPECT_EQ(std::string(field, 10), "       124");
  EXPECT_TRUE(MemoReferenceFits(999999, 6));
  EXPECT_FALSE(MemoReferenceFits(1000000, 6));
  EXPECT_FALSE(MemoReferenceFits(1ULL << 32, 4));
}

TEST_F(MemoTest, ReadingStopsAtTheFirstEndMark) {
  Make(1);
  ASSERT_TRUE(
      Put(std::string("before\x1A"
                      "after")));
  EXPECT_EQ(Get(), Value::Memo("before"));
  uint32_t len = 0;
  ASSERT_TRUE(CurrentArea()->GetVarLen(2, &len));
  EXPECT_EQ(len, 6u);
}

TEST_F(MemoTest, OnlyTextsArePutAndNothingHappensPastTheEnd) {
  Make(1);
  ASSERT_TRUE(Put("keep"));
  EXPECT_EQ(FIELDPUT(2, Value::Integer(5)), Value());  // the put fails
  EXPECT_EQ(FIELDPUT(2, Value::Date(2451545)), Value());
  ASSERT_EQ(test::RecordedCodes(), (std::vector<std::string>{"33/1020", "33/1020"}));
  EXPECT_EQ(RecordedErrors()[0].subsystem, "DBFNTX");
  EXPECT_TRUE(RecordedErrors()[0].can_default);
  EXPECT_EQ(Get(), Value::Memo("keep"));
  // A memo text goes in as well as a character string.
  ASSERT_TRUE(!FIELDPUT(2, Value::Memo("memo")).is_nil());
  EXPECT_EQ(Get(), Value::Memo("memo"));

  const std::string before = Memo();
  DBGOTO(99);
  EXPECT_TRUE(EOF_());
  EXPECT_TRUE(Put(Text(900)));
  EXPECT_EQ(Memo(), before);
  EXPECT_EQ(Get(), Value::Memo(""));
}

TEST_F(MemoTest, DeletedMarkSurvivesAMemoPut) {
  Make(1);
  DBDELETE();
  ASSERT_TRUE(Put("text"));
  EXPECT_TRUE(DELETED());
  std::string rec;
  ASSERT_TRUE(CurrentArea()->GetRecord(&rec));
  EXPECT_EQ(rec[0], '*');
}

TEST_F(MemoTest, ReadOnlyTablesRefuseMemoPuts) {
  Make(1);
  ASSERT_TRUE(Put("old"));
  DBCLOSEAREA();
  const std::string before = Memo();
  ASSERT_TRUE(UseTable("mt", "", false, /*read_only=*/true));
  EXPECT_FALSE(Put("new"));
  EXPECT_EQ(test::RecordedCodes(), std::vector<std::string>{"39/1025"});
  EXPECT_EQ(Memo(), before);
  EXPECT_EQ(Get(), Value::Memo("old"));
}

TEST_F(MemoTest, VersionByteOfTablesWithMemoFieldsAtHeaderRewrite) {
  Make(0);
  DBCLOSEAREA();
  for (uint8_t version : {0xF5, 0x30}) {
    std::string bytes = ReadFileBytes(dir_.File("mt.dbf"));
    bytes[0] = static_cast<char>(version);
    bytes[28] = 0x02;  // has memo, read only for 0x30
    WriteFileBytes(dir_.File("mt.dbf"), bytes);
    ASSERT_TRUE(UseTable("mt"));
    ASSERT_TRUE(DBAPPEND());  // the header is rewritten at close
    ASSERT_TRUE(Put("t"));
    DBCLOSEAREA();
    bytes = ReadFileBytes(dir_.File("mt.dbf"));
    EXPECT_EQ(static_cast<uint8_t>(bytes[0]), version == 0x30 ? 0x30 : 0x83);
  }
}

// --- Files the memo layer cannot create or open ---

TEST(MemoFileTest, MissingMemoFileFailsTheOpen) {
  ScratchDir dir;
  ASSERT_TRUE(CreateTable("mt.dbf", {Field("NOTES", 'M', 10)}));
  std::filesystem::remove(dir.File("mt.dbt"));
  int calls = 0;
  {
    ScopedErrorHandler handler([&](Error& e) {
      ++calls;
      EXPECT_EQ(e.gen_code, kErrOpen);
      EXPECT_EQ(e.sub_code, 1001);
      EXPECT_EQ(e.os_code, 0);
      EXPECT_EQ(e.filename, "mt.dbt");
      EXPECT_TRUE(e.can_retry && e.can_default);
      if (calls == 2) test::WriteFileBytes(dir.File("mt.dbt"), Le32(1) + std::string(508, '\0'));
      return calls <= 2 ? ErrorAnswer::Retry() : ErrorAnswer::Default();
    });
    // Retried until the file is back.
    EXPECT_TRUE(UseTable("mt"));
  }
  EXPECT_EQ(calls, 2);
  DBCLOSEAREA();
  std::filesystem::remove(dir.File("mt.dbt"));
  EXPECT_FALSE(UseTable("mt"));
  EXPECT_EQ(test::RecordedCodes(), std::vector<std::string>{"21/1001"});
  EXPECT_FALSE(USED());
}

TEST(MemoFileTest, MemoFileThatCannotBeCreated) {
  ScratchDir dir;
  std::filesystem::create_directory(dir.File("mt.dbt"));  // in the way of the memo file
  int calls = 0;
  ScopedErrorHandler handler([&](Error& e) {
    ++calls;
    EXPECT_EQ(e.gen_code, kErrCreate);
    EXPECT_EQ(e.sub_code, 1004);
    EXPECT_EQ(e.filename, "mt.dbt");
    EXPECT_TRUE(e.can_retry);
    EXPECT_FALSE(e.can_default);
    return calls < 2 ? ErrorAnswer::Retry() : ErrorAnswer::Default();
  });
  EXPECT_FALSE(CreateTable("mt.dbf", {Field("NOTES", 'M', 10)}));
  EXPECT_EQ(calls, 2);
  EXPECT_TRUE(GetEnv()->FileExists("mt.dbf"));  // the table file stays
}

// --- Damaged memo files ---

class DamagedMemoTest : public MemoTest {
 protected:
  // Three records with texts of 5, 600 and 5 bytes (blocks 1, 2-3, 4; next-free 5),
  // closed.
  void MakeThree() {
    Make(3);
    ASSERT_TRUE(Put(Text(5, 'a')));
    DBGOTO(2);
    ASSERT_TRUE(Put(Text(600, 'b')));
    DBGOTO(3);
    ASSERT_TRUE(Put(Text(5, 'c')));
    DBCLOSEAREA();
    ASSERT_EQ(Memo().size(), 2560u);
  }
  void SetReference(uint32_t recno, const std::string& ref) {
    std::string bytes = ReadFileBytes(dir_.File("mt.dbf"));
    bytes.replace(98 + (recno - 1) * 13 + 3, 10, ref);
    WriteFileBytes(dir_.File("mt.dbf"), bytes);
  }
  void SetNextFree(uint32_t block) {
    std::string memo = Memo();
    memo.replace(0, 4, Le32(block));
    WriteFileBytes(dir_.File("mt.dbt"), memo);
  }
  // The three texts read as they were written.
  void ExpectTextsIntact() {
    DBGOTO(1);
    EXPECT_EQ(Get(), Value::Memo(Text(5, 'a')));
    DBGOTO(2);
    EXPECT_EQ(Get(), Value::Memo(Text(600, 'b')));
    DBGOTO(3);
    EXPECT_EQ(Get(), Value::Memo(Text(5, 'c')));
  }
};

TEST_F(DamagedMemoTest, TruncatedFileAndTextWithoutEndMark) {
  MakeThree();
  // Cut in the middle of the second text: it reads up to the end of the file.
  std::filesystem::resize_file(dir_.File("mt.dbt"), 1024 + 100);
  ASSERT_TRUE(UseTable("mt"));
  DBGOTO(2);
  EXPECT_EQ(Get(), Value::Memo(Text(100, 'b')));
  DBGOTO(3);
  EXPECT_EQ(Get(), Value::Memo(""));  // its block is gone
  uint32_t len = 7;
  ASSERT_TRUE(CurrentArea()->GetVarLen(2, &len));
  EXPECT_EQ(len, 0u);
  // A header cut short reads as next-free 0; a put still lands past the end.
  DBCLOSEAREA();
  std::filesystem::resize_file(dir_.File("mt.dbt"), 2);
  ASSERT_TRUE(UseTable("mt"));
  DBGOTO(1);
  ASSERT_TRUE(Put(Text(700, 'z')));
  EXPECT_EQ(Ref(), "         1");
  EXPECT_EQ(Get(), Value::Memo(Text(700, 'z')));
  EXPECT_EQ(Memo().substr(0, 4), Le32(3));
  EXPECT_TRUE(RecordedErrors().empty());
}

TEST_F(DamagedMemoTest, ReferencesPastTheEndOfTheFile) {
  MakeThree();
  SetReference(1, "        40");
  SetReference(2, "9999999999");
  ASSERT_TRUE(UseTable("mt"));
  DBGOTO(1);
  EXPECT_EQ(Get(), Value::Memo(""));
  DBGOTO(2);
  EXPECT_EQ(Get(), Value::Memo(""));
  // A short text is not written at the far block: it takes fresh blocks at the end.
  ASSERT_TRUE(Put("short"));
  EXPECT_EQ(Ref(), "         5");
  EXPECT_EQ(Memo().size(), 3072u);
  DBGOTO(3);
  EXPECT_EQ(Get(), Value::Memo(Text(5, 'c')));
  EXPECT_TRUE(RecordedErrors().empty());
}

TEST_F(DamagedMemoTest, NextFreeOfZeroOrInsideUsedBlocks) {
  for (uint32_t next_free : {0u, 1u, 3u}) {
    SCOPED_TRACE(next_free);
    MakeThree();
    SetNextFree(next_free);
    ASSERT_TRUE(UseTable("mt"));
    ASSERT_TRUE(DBAPPEND());
    ASSERT_TRUE(Put(Text(800, 'd')));
    // The text lands after the last used block, and the header is mended.
    EXPECT_EQ(Ref(), "         5");
    EXPECT_EQ(Memo().substr(0, 4), Le32(7));
    ExpectTextsIntact();
    DBGOTO(4);
    EXPECT_EQ(Get(), Value::Memo(Text(800, 'd')));
    DBCLOSEAREA();
    std::filesystem::remove(dir_.File("mt.dbf"));
    std::filesystem::remove(dir_.File("mt.dbt"));
  }
  EXPECT_TRUE(RecordedErrors().empty());
}

TEST_F(DamagedMemoTest, NextFreeFarPastTheEndDoesNotGrowTheFile) {
  MakeThree();
  SetNextFree(0x7E830000u);  // found by fuzzing: the put made a sparse file of ~1 TiB
  ASSERT_TRUE(UseTable("mt"));
  ASSERT_TRUE(DBAPPEND());
  ASSERT_TRUE(Put(Text(800, 'd')));
  EXPECT_EQ(Ref(), "         5");
  EXPECT_EQ(Memo().size(), 3584u);
  EXPECT_EQ(Memo().substr(0, 4), Le32(7));
  ExpectTextsIntact();
  EXPECT_TRUE(RecordedErrors().empty());
}

TEST_F(DamagedMemoTest, ReferenceIntoTheMiddleOfAnotherText) {
  MakeThree();
  // Record 3 now points at block 3, the second block of record 2's text.
  SetReference(3, "         3");
  ASSERT_TRUE(UseTable("mt"));
  DBGOTO(3);
  EXPECT_EQ(Get(), Value::Memo(Text(600, 'b').substr(512)));
  ASSERT_TRUE(Put("new"));
  EXPECT_EQ(Ref(), "         5");
  DBGOTO(2);
  EXPECT_EQ(Get(), Value::Memo(Text(600, 'b')));
  DBGOTO(3);
  EXPECT_EQ(Get(), Value::Memo("new"));
}

TEST_F(MemoTest, AFailedMemoWriteLeavesTheFieldAsItWas) {
  Make(1);
  ASSERT_TRUE(Put("old"));
  DBCLOSEAREA();
  test::FaultyEnv env(&files_);
  ScopedEnv scoped(&env);
  ASSERT_TRUE(UseTable("mt"));
  env.faults.short_writes = true;
  EXPECT_FALSE(Put(Text(600)));
  env.faults.short_writes = false;
  ASSERT_EQ(test::RecordedCodes(), std::vector<std::string>{"24/1011"});
  EXPECT_EQ(RecordedErrors()[0].filename, "mt.dbt");
  EXPECT_EQ(RecordedErrors()[0].os_code, kOsDiskFull);
  EXPECT_EQ(Ref(), "         1");
  EXPECT_EQ(Get(), Value::Memo("old"));
  EXPECT_EQ(Memo().substr(0, 4), Le32(2));
  DBCLOSEAREA();  // while the files of the faulty Env still have it
}

// Reading a memo text when the OS fails a read or cuts it short: the get raises "Read
// error" naming the memo file and never hands back a cut or empty text as if it were
// the stored one.
TEST_F(MemoTest, FailedOrShortReadRaisesInsteadOfCuttingTheText) {
  SetReportHook(nullptr);
  // Long enough to take several reads, and the last text of the file: its end mark
  // is followed by nothing.
  const std::string text(5000, 'n');
  Make(1);
  ASSERT_TRUE(Put(text));
  DBCLOSEALL();

  test::CountingFaultEnv env;
  ScopedEnv scoped(&env);
  for (test::FaultMode mode : {test::FaultMode::kFail, test::FaultMode::kShort}) {
    for (int64_t n = 1;; ++n) {
      ASSERT_TRUE(UseTable("mt", "", /*shared=*/true));
      DBGOTO(1);
      ClearRecordedErrors();
      env.Arm(n, mode);
      const Value got = Get();
      const bool fired = env.fired();
      env.Disarm();
      DBCLOSEALL();
      if (!fired) break;
      if (RecordedErrors().empty()) {
        EXPECT_EQ(got.str(), text) << "op " << n;
      } else {
        EXPECT_EQ(RecordedErrors().front().gen_code, kErrRead) << "op " << n;
        EXPECT_FALSE(got.is_string() && got.str() != text) << "op " << n << ": a cut text";
      }
    }
  }
}

// --- Memo locks ---

// Records the byte-range locks placed on memo files.
class LockRecordingEnv : public EnvWrapper {
 public:
  LockRecordingEnv() : EnvWrapper(Env::Default()) {}
  struct Call {
    bool lock;
    uint64_t offset, length;
    bool exclusive, wait;
  };
  std::vector<Call> calls;

  class RecordingFile : public File {
   public:
    RecordingFile(std::unique_ptr<File> f, LockRecordingEnv* env) : f_(std::move(f)), env_(env) {}
    int64_t ReadAt(uint64_t o, void* b, size_t n) override { return f_->ReadAt(o, b, n); }
    int64_t WriteAt(uint64_t o, const void* b, size_t n) override { return f_->WriteAt(o, b, n); }
    int64_t Size() override { return f_->Size(); }
    bool Truncate(uint64_t s) override { return f_->Truncate(s); }
    bool Sync() override { return f_->Sync(); }
    bool Lock(uint64_t o, uint64_t l, bool x, bool w) override {
      env_->calls.push_back({true, o, l, x, w});
      return f_->Lock(o, l, x, w);
    }
    bool Unlock(uint64_t o, uint64_t l) override {
      env_->calls.push_back({false, o, l, false, false});
      return f_->Unlock(o, l);
    }
    int os_error() const override { return f_->os_error(); }
    const std::string& host_path() const override { return f_->host_path(); }

   private:
    std::unique_ptr<File> f_;
    LockRecordingEnv* env_;
  };

  std::unique_ptr<File> OpenFile(std::string_view name, FileAccess access, FileShare share,
                                 int* os_code) override {
    auto f = target()->OpenFile(name, access, share, os_code);
    if (f == nullptr || name.find(".dbt") == std::string_view::npos) return f;
    return std::make_unique<RecordingFile>(std::move(f), this);
  }
};

TEST_F(MemoTest, SharedTablesLockTheMemoFileAroundEachAccess) {
  Make(0);
  DBCLOSEAREA();
  LockRecordingEnv env;
  ScopedEnv scoped(&env);
  ASSERT_TRUE(UseTable("mt", "", /*shared=*/true));
  ASSERT_TRUE(DBAPPEND());  // the new record is this process's to change
  ASSERT_TRUE(Put("text"));
  ASSERT_EQ(env.calls.size(), 2u);
  EXPECT_TRUE(env.calls[0].lock && env.calls[0].exclusive && env.calls[0].wait);
  EXPECT_EQ(env.calls[0].offset, 1u);
  EXPECT_EQ(env.calls[0].length, 0x7FFFFFFFu);
  EXPECT_FALSE(env.calls[1].lock);
  EXPECT_EQ(Get(), Value::Memo("text"));
  ASSERT_EQ(env.calls.size(), 4u);
  EXPECT_TRUE(env.calls[2].lock && !env.calls[2].exclusive && env.calls[2].wait);
  EXPECT_FALSE(env.calls[3].lock);
  DBCLOSEAREA();

  // An exclusive table holds its memo file alone and takes no memo locks.
  env.calls.clear();
  ASSERT_TRUE(UseTable("mt"));
  ASSERT_TRUE(Put("more"));
  EXPECT_EQ(Get(), Value::Memo("more"));
  EXPECT_TRUE(env.calls.empty());
  DBCLOSEAREA();
}

TEST_F(MemoTest, AReadWaitsWhileAnotherProcessWrites) {
  Make(1);
  ASSERT_TRUE(Put("text"));
  DBCLOSEAREA();
  ASSERT_TRUE(UseTable("mt", "", /*shared=*/true));
  int code = 0;
  auto other = GetEnv()->OpenFile("mt.dbt", FileAccess::kReadWrite, FileShare::kDenyNone, &code);
  ASSERT_NE(other, nullptr);
  ASSERT_TRUE(other->Lock(kMemoLockOffset, kMemoLockLength, /*exclusive=*/true, false));
  std::atomic<bool> done{false};
  Value read;
  std::thread reader([&] {
    read = Get();
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(done);
  ASSERT_TRUE(other->Unlock(kMemoLockOffset, kMemoLockLength));
  reader.join();
  EXPECT_EQ(read, Value::Memo("text"));
}

TEST_F(MemoTest, TwoOpensOfASharedTableShareOneMemoFile) {
  Make(0);
  DBCLOSEAREA();
  ASSERT_TRUE(UseTable("mt", "a1", /*shared=*/true));
  ASSERT_TRUE(UseTable("mt", "a2", /*shared=*/true));
  std::vector<std::string> texts;
  for (int i = 0; i < 20; ++i) {
    DBSELECTAREA(i % 2 == 0 ? "a1" : "a2");
    ASSERT_TRUE(DBAPPEND());
    texts.push_back(Text(static_cast<size_t>(100 + 97 * i), static_cast<char>('a' + i)));
    ASSERT_TRUE(Put(texts.back()));
    DBCOMMIT();
  }
  DBSELECTAREA("a1");
  for (uint32_t r = 1; r <= texts.size(); ++r) {
    DBGOTO(r);
    EXPECT_EQ(Get(), Value::Memo(texts[r - 1])) << r;
  }
  EXPECT_TRUE(RecordedErrors().empty());
}

}  // namespace
}  // namespace px
