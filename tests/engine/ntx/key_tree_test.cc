#include "engine/ntx/key_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "tests/engine/ntx/ntx_test_util.h"
#include "tests/test_util.h"

namespace px::ntx {
namespace {

using testutil::MakeHeader;
using testutil::Pad;

const uint8_t* U(const std::string& s) {
  return reinterpret_cast<const uint8_t*>(s.data());
}

std::unique_ptr<KeyTree> EmptyTree(const std::string& name, int key_size) {
  EXPECT_TRUE(testutil::Build(name, MakeHeader(key_size), {}));
  return testutil::OpenTree(name);
}

VerifyReport VerifyTree(KeyTree& tree, std::vector<IndexEntry>* entries = nullptr) {
  return VerifyIndex(tree.file().file(), entries);
}

// Keys that sort like their number, many of them equal.
std::string KeyOf(uint32_t v, int size) {
  std::string k = Pad(v, std::min(size, 6));
  k.resize(static_cast<size_t>(size), ' ');
  return k;
}

TEST(KeyTreeTest, SplitsAndMergesAtHalfAPage) {
  test::ScratchDir dir;
  auto tree = EmptyTree("s.ntx", 10);
  for (uint32_t i = 1; i <= 48; ++i) ASSERT_TRUE(tree->Insert(U(Pad(i, 10)), i));
  EXPECT_EQ(tree->file().root(), 1024u);
  ASSERT_TRUE(tree->Insert(U(Pad(49, 10)), 49));
  const uint32_t root = tree->file().root();
  EXPECT_EQ(root, 3u * 1024) << "new left page at 2048, new root at 3072";
  {
    PageRef r = tree->file().ReadPage(root);
    ASSERT_EQ(r->count(), 1);
    EXPECT_EQ(r->recno(0), 25u);
    PageRef left = tree->file().ReadPage(r->child(0));
    PageRef right = tree->file().ReadPage(r->child(1));
    EXPECT_EQ(r->child(0), 2048u);
    EXPECT_EQ(r->child(1), 1024u) << "the page that was full keeps its offset";
    EXPECT_EQ(left->count(), 24);
    EXPECT_EQ(right->count(), 24);
  }
  // A leaf dropping below half a page merges with its neighbour; the root left without
  // keys is replaced by the merged page.
  ASSERT_EQ(tree->Remove(U(Pad(3, 10)), 3), KeyTree::Removed::kOk);
  EXPECT_EQ(tree->file().root(), 2048u);
  EXPECT_EQ(tree->file().header().free_list, 3u * 1024);
  const VerifyReport r = VerifyTree(*tree);
  EXPECT_TRUE(r.ok()) << testutil::Join(r.problems);
  EXPECT_EQ(r.free_pages, 2u);
  EXPECT_EQ(r.keys, 48u);
  // New pages come from the free list first.
  ASSERT_TRUE(tree->Insert(U(Pad(3, 10)), 3));
  EXPECT_EQ(tree->file().root(), 1024u);
  EXPECT_EQ(tree->file().header().free_list, 0u);
  EXPECT_EQ(tree->file().file()->Size(), 4 * 1024);
}

TEST(KeyTreeTest, SearchFirstLastAndSteps) {
  test::ScratchDir dir;
  std::vector<std::string> names;
  for (int i = 0; i < 300; ++i)
    names.push_back("N" + Pad(static_cast<uint64_t>(i / 3), 4) + "     ");
  ASSERT_TRUE(testutil::Build("n.ntx", MakeHeader(10), testutil::Numbered(names)));
  auto tree = testutil::OpenTree("n.ntx");
  ASSERT_NE(tree, nullptr);
  const std::vector<IndexEntry> walk = testutil::Walk(*tree);
  ASSERT_EQ(walk.size(), 300u);
  // Keys N0042 are entries 126..128 of the walk (equal keys in the build's order).
  const uint32_t first42 = walk[126].recno;

  // Prefix search finds the first of equal keys.
  const std::string ab = "N0042";
  ASSERT_EQ(tree->Search(U(ab), ab.size(), false), KeyTree::Found::kEqual);
  EXPECT_EQ(tree->current().recno, first42);
  // An exact search of a prefix is smaller than the stored keys that go on.
  const std::string n004 = "N004";
  EXPECT_EQ(tree->Search(U(n004), n004.size(), false), KeyTree::Found::kEqual);
  EXPECT_EQ(tree->Search(U(n004), n004.size(), true), KeyTree::Found::kGreater);
  // Rejected records count as greater and the search goes on.
  EXPECT_EQ(tree->Search(U(ab), ab.size(), false, [&](uint32_t r) { return r != first42; }),
            KeyTree::Found::kEqual);
  EXPECT_EQ(tree->current().recno, walk[127].recno);
  EXPECT_EQ(tree->Search(U(ab), ab.size(), false, [&](uint32_t r) { return r == walk[129].recno; }),
            KeyTree::Found::kGreater);
  EXPECT_EQ(tree->current().recno, walk[129].recno);
  const std::string big = "Z";
  EXPECT_EQ(tree->Search(U(big), 1, false), KeyTree::Found::kNone);
  EXPECT_EQ(tree->Search(U(ab), ab.size(), false, [](uint32_t) { return false; }),
            KeyTree::Found::kNone);

  uint32_t count = 0;
  ASSERT_TRUE(tree->Count(&count));
  EXPECT_EQ(count, 300u);
  ASSERT_EQ(tree->Last(), KeyTree::Step::kKey);
  EXPECT_EQ(tree->current().recno, walk.back().recno);
  // Walk backwards through everything, checking positions on the way.
  size_t at = 299;
  uint32_t pos = 0;
  do {
    EXPECT_EQ(tree->current().recno, walk[at].recno);
    if (at % 37 == 0) {
      ASSERT_TRUE(tree->Position(&pos));
      EXPECT_EQ(pos, at + 1);
    }
  } while (tree->Prev() == KeyTree::Step::kKey && at-- > 0);
  EXPECT_EQ(at, 0u);

  // Stepping from a key named only by its bytes and record number finds it again.
  tree->SetCurrent(walk[99].key, walk[99].recno);
  ASSERT_EQ(tree->Next(), KeyTree::Step::kKey);
  EXPECT_EQ(tree->current().recno, walk[100].recno);
  tree->SetCurrent(walk[99].key, 100000);
  EXPECT_EQ(tree->Next(), KeyTree::Step::kLost);
}

// Random insertions and removals against a sorted model, verifying the whole file
// after every step.
TEST(KeyTreeTest, RandomChangesKeepTheTreeSound) {
  test::ScratchDir dir;
  std::mt19937 rng(5);
  for (int ks : {1, 3, 10, 23, 40, 64, 150, 200, 256}) {
    const std::string name = "r" + std::to_string(ks) + ".ntx";
    auto tree = EmptyTree(name, ks);
    ASSERT_NE(tree, nullptr);
    std::vector<IndexEntry> model;
    uint32_t next_recno = 1;
    int max_depth = 0;
    const int steps = 2400;
    const uint32_t alphabet = ks == 1 ? 10 : (ks < 64 ? 60 : 400);
    for (int step = 0; step < steps; ++step) {
      // Grow for a while, then shrink back to empty, then grow again.
      const int phase = (step / 600) % 3;
      const bool insert = model.empty() || (phase == 1 ? rng() % 4 == 0 : rng() % 4 != 0);
      if (insert) {
        IndexEntry e{KeyOf(rng() % alphabet, ks), next_recno++};
        ASSERT_TRUE(tree->Insert(U(e.key), e.recno));
        auto at = std::upper_bound(
            model.begin(), model.end(), e,
            [](const IndexEntry& a, const IndexEntry& b) { return a.key < b.key; });
        model.insert(at, e);
      } else {
        const size_t i = rng() % model.size();
        ASSERT_EQ(tree->Remove(U(model[i].key), model[i].recno), KeyTree::Removed::kOk);
        model.erase(model.begin() + static_cast<long>(i));
        if (rng() % 8 == 0) {
          EXPECT_EQ(tree->Remove(U(KeyOf(1, ks)), 999999), KeyTree::Removed::kNotFound);
        }
      }
      if (model.size() > 300 && step % 10 != 0) continue;
      std::vector<IndexEntry> entries;
      const VerifyReport r = VerifyTree(*tree, &entries);
      ASSERT_TRUE(r.ok()) << "key size " << ks << " step " << step << "\n"
                          << testutil::Join(r.problems);
      ASSERT_EQ(entries, model) << "key size " << ks << " step " << step;
      max_depth = std::max(max_depth, r.depth);
      if (step % 50 == 0) {
        ASSERT_EQ(testutil::Walk(*tree), model);
        uint32_t count = 0;
        ASSERT_TRUE(tree->Count(&count));
        ASSERT_EQ(count, model.size());
      }
    }
    EXPECT_GE(max_depth, ks >= 40 ? 3 : 2) << "key size " << ks;
  }
}

TEST(KeyTreeTest, ZapEmptiesTheFile) {
  test::ScratchDir dir;
  ASSERT_TRUE(testutil::Build("z.ntx", MakeHeader(10),
                              testutil::Numbered(std::vector<std::string>(500, "ABCDEFGHIJ"))));
  auto tree = testutil::OpenTree("z.ntx");
  ASSERT_TRUE(tree->Zap());
  EXPECT_EQ(tree->file().file()->Size(), 2048);
  EXPECT_EQ(tree->First(), KeyTree::Step::kEnd);
  ASSERT_TRUE(tree->Insert(U(std::string("ABCDEFGHIJ")), 1));
  EXPECT_TRUE(VerifyTree(*tree).ok());
}

}  // namespace
}  // namespace px::ntx
