// Index files that are cut short or damaged, and index files shared between opens.
#include <gtest/gtest.h>

#include "runtime/error.h"
#include "tests/engine/ntx/ntx_test_util.h"
#include "tests/test_util.h"

namespace px::ntx {
namespace {

using testutil::MakeHeader;
using testutil::Pad;

const uint8_t* U(const std::string& s) {
  return reinterpret_cast<const uint8_t*>(s.data());
}

std::vector<std::string> Distinct(int n, int size) {
  std::vector<std::string> v;
  for (int i = 1; i <= n; ++i) v.push_back(Pad(static_cast<uint64_t>(i), size));
  return v;
}

bool RaisedCorruption() {
  for (const Error& e : RecordedErrors()) {
    if (e.gen_code == kErrCorruption && e.subsystem == "DBFNTX") return true;
  }
  return false;
}

// Builds the 1000-key index (22 leaves at 1024.., root at 23552) and changes its bytes.
std::string BuildAndDamage(const test::ScratchDir& dir,
                           const std::function<void(std::string*)>& damage) {
  EXPECT_TRUE(testutil::Build("d.ntx", MakeHeader(10), testutil::Numbered(Distinct(1000, 10))));
  std::string bytes = test::ReadFileBytes(dir.File("d.ntx"));
  damage(&bytes);
  test::WriteFileBytes(dir.File("d.ntx"), bytes);
  return bytes;
}

TEST(DamagedIndexTest, APageCutShortEndsEveryOperationCleanly) {
  test::ScratchDir dir;
  const std::string before = BuildAndDamage(dir, [](std::string* b) { b->resize(23552 + 500); });
  auto tree = testutil::OpenTree("d.ntx");
  ASSERT_NE(tree, nullptr);
  EXPECT_EQ(tree->First(), KeyTree::Step::kFailed);
  EXPECT_EQ(tree->Last(), KeyTree::Step::kFailed);
  const std::string k = Pad(5, 10);
  EXPECT_EQ(tree->Search(U(k), k.size(), false), KeyTree::Found::kFailed);
  EXPECT_FALSE(tree->Insert(U(k), 5000));
  EXPECT_EQ(tree->Remove(U(k), 5), KeyTree::Removed::kFailed);
  uint32_t count = 0;
  EXPECT_FALSE(tree->Count(&count));
  EXPECT_TRUE(RaisedCorruption());
  tree.reset();
  EXPECT_EQ(test::ReadFileBytes(dir.File("d.ntx")), before) << "nothing was written";
  const VerifyReport r = testutil::Verify(dir.File("d.ntx"));
  ASSERT_FALSE(r.ok());
  EXPECT_NE(r.problems[0].find("cannot be read in full"), std::string::npos) << r.problems[0];
}

TEST(DamagedIndexTest, MalformedPagesAndCyclesAreCaught) {
  test::ScratchDir dir;
  // The first leaf names one item twice.
  BuildAndDamage(dir,
                 [](std::string* b) { PutU16(reinterpret_cast<uint8_t*>(&(*b)[1024 + 4]), 100); });
  auto tree = testutil::OpenTree("d.ntx");
  EXPECT_EQ(tree->First(), KeyTree::Step::kFailed);
  const std::string k = Pad(3, 10);
  EXPECT_FALSE(tree->Insert(U(k), 7777));
  ASSERT_EQ(tree->Last(), KeyTree::Step::kKey) << "the rest of the tree is still usable";
  EXPECT_EQ(tree->current().recno, 1000u);
  tree.reset();
  VerifyReport r = testutil::Verify(dir.File("d.ntx"));
  ASSERT_FALSE(r.ok());
  EXPECT_NE(r.problems[0].find("twice"), std::string::npos) << r.problems[0];

  // The root's first child pointer leads back to the root.
  BuildAndDamage(dir, [](std::string* b) {
    uint8_t* root = reinterpret_cast<uint8_t*>(&(*b)[23552]);
    PutU32(root + GetU16(root + 2), 23552);
  });
  tree = testutil::OpenTree("d.ntx");
  EXPECT_EQ(tree->First(), KeyTree::Step::kFailed);
  uint32_t count = 0;
  EXPECT_FALSE(tree->Count(&count));
  tree.reset();
  r = testutil::Verify(dir.File("d.ntx"));
  ASSERT_FALSE(r.ok());
  EXPECT_NE(r.problems[0].find("reachable twice"), std::string::npos) << r.problems[0];
}

TEST(DamagedIndexTest, AFreeListThatNamesALivePageStopsAnInsertBeforeItChangesAnything) {
  test::ScratchDir dir;
  ASSERT_TRUE(testutil::Build("f.ntx", MakeHeader(10), testutil::Numbered(Distinct(48, 10))));
  // 48 keys: two leaves (1024, 2048) and the root (3072). Point the free list at a leaf.
  std::string bytes = test::ReadFileBytes(dir.File("f.ntx"));
  PutU32(reinterpret_cast<uint8_t*>(&bytes[8]), 1024);
  test::WriteFileBytes(dir.File("f.ntx"), bytes);
  auto tree = testutil::OpenTree("f.ntx");
  // Fill the right leaf (23 keys) to the maximum, then one more needs a new page.
  for (uint32_t i = 0; i < 25; ++i) ASSERT_TRUE(tree->Insert(U(Pad(900 + i, 10)), 900 + i));
  const std::string full = test::ReadFileBytes(dir.File("f.ntx"));
  EXPECT_FALSE(tree->Insert(U(Pad(999, 10)), 999));
  EXPECT_TRUE(RaisedCorruption());
  EXPECT_EQ(tree->file().header().free_list, 1024u);
  EXPECT_EQ(test::ReadFileBytes(dir.File("f.ntx")), full);
}

// Opens shared the way two workstations do.
std::unique_ptr<KeyTree> OpenShared(const std::string& name) {
  return testutil::OpenTree(name, true);
}

TEST(SharedIndexTest, EachLockSeesTheOtherOpensChanges) {
  test::ScratchDir dir;
  ASSERT_TRUE(testutil::Build("s.ntx", MakeHeader(10), {}));
  auto a = OpenShared("s.ntx");
  auto b = OpenShared("s.ntx");
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  for (uint32_t i = 1; i <= 200; ++i) {
    KeyTree& t = i % 2 == 0 ? *a : *b;
    IndexLock lock(&t.file());
    ASSERT_TRUE(lock.ok());
    ASSERT_TRUE(t.Insert(U(Pad(i * 7919 % 1000, 10)), i));
  }
  {
    IndexLock lock(&a->file());
    uint32_t count = 0;
    ASSERT_TRUE(a->Count(&count));
    EXPECT_EQ(count, 200u);
    EXPECT_EQ(a->file().cache().busy_count(), 0);
  }
  EXPECT_EQ(a->file().cache().size(), PageCache::kInitialEntries);
  // Under the lock, another open cannot take the lock byte.
  {
    IndexLock lock(&b->file());
    int code = 0;
    auto other = GetEnv()->OpenFile("s.ntx", FileAccess::kReadWrite, FileShare::kDenyNone, &code);
    EXPECT_FALSE(other->Lock(kIndexLockOffset, 1, true, false));
  }
  std::vector<IndexEntry> entries;
  const VerifyReport r = testutil::Verify(dir.File("s.ntx"), &entries);
  EXPECT_TRUE(r.ok()) << testutil::Join(r.problems);
  EXPECT_EQ(entries.size(), 200u);
}

// A file whose lock is refused a number of times before it is granted.
class ContendedFile : public File {
 public:
  ContendedFile(std::unique_ptr<File> f, int refusals) : f_(std::move(f)), refusals_(refusals) {}
  int64_t ReadAt(uint64_t o, void* b, size_t n) override { return f_->ReadAt(o, b, n); }
  int64_t WriteAt(uint64_t o, const void* b, size_t n) override { return f_->WriteAt(o, b, n); }
  int64_t Size() override { return f_->Size(); }
  bool Truncate(uint64_t s) override { return f_->Truncate(s); }
  bool Sync() override { return f_->Sync(); }
  bool Lock(uint64_t o, uint64_t l, bool x, bool w) override {
    ++attempts_;
    if (refusals_ > 0) {
      --refusals_;
      return false;
    }
    return f_->Lock(o, l, x, w);
  }
  bool Unlock(uint64_t o, uint64_t l) override { return f_->Unlock(o, l); }
  int os_error() const override { return kOsLockViolation; }
  const std::string& host_path() const override { return f_->host_path(); }
  int attempts() const { return attempts_; }

 private:
  std::unique_ptr<File> f_;
  int refusals_;
  int attempts_ = 0;
};

TEST(SharedIndexTest, TheLockIsRetriedUntilGranted) {
  test::ScratchDir dir;
  FakeClockEnv clock(GetEnv());
  ScopedEnv scoped(&clock);
  ASSERT_TRUE(testutil::Build("l.ntx", MakeHeader(10), testutil::Numbered(Distinct(10, 10))));
  int code = 0;
  auto raw = GetEnv()->OpenFile("l.ntx", FileAccess::kReadWrite, FileShare::kDenyNone, &code);
  auto contended = std::make_unique<ContendedFile>(std::move(raw), 1500);
  ContendedFile* probe = contended.get();
  IndexFile file(std::move(contended), "l.ntx", true);
  ASSERT_TRUE(file.ReadHeader());
  ASSERT_TRUE(file.Lock());
  EXPECT_EQ(probe->attempts(), 1501);
  EXPECT_GT(clock.sleeps(), 0) << "long waits pause between tries";
  file.Unlock();
}

}  // namespace
}  // namespace px::ntx
