#include "engine/ntx/index_builder.h"

#include <gtest/gtest.h>

#include <random>

#include "engine/ntx/sort_order.h"
#include "tests/engine/ntx/literal_sort.h"
#include "tests/engine/ntx/ntx_test_util.h"
#include "tests/test_util.h"

namespace px::ntx {
namespace {

using testutil::Build;
using testutil::MakeHeader;
using testutil::Numbered;
using testutil::Pad;

struct Page {
  int count;
  std::vector<uint32_t> children;  // slots 0..count
  std::vector<uint32_t> recnos;    // slots 0..count-1
};

class Pages {
 public:
  Pages(const std::string& bytes, int key_size) : bytes_(bytes), ks_(key_size) {}
  Page At(uint32_t offset) const {
    std::string copy = bytes_.substr(offset, kPageSize);
    PageView v(reinterpret_cast<uint8_t*>(copy.data()), ks_, MaxKeysPerPage(ks_));
    Page p;
    p.count = v.count();
    for (int i = 0; i <= p.count; ++i) p.children.push_back(v.child(i));
    for (int i = 0; i < p.count; ++i) p.recnos.push_back(v.recno(i));
    return p;
  }
  uint32_t root() const { return GetU32(reinterpret_cast<const uint8_t*>(bytes_.data()) + 4); }

 private:
  std::string bytes_;
  int ks_;
};

std::vector<std::string> Distinct(int n, int size) {
  std::vector<std::string> v;
  for (int i = 1; i <= n; ++i) v.push_back(Pad(static_cast<uint64_t>(i), size));
  return v;
}

TEST(IndexBuilderTest, EmptyTableGivesHeaderAndOneEmptyRoot) {
  test::ScratchDir dir;
  ASSERT_TRUE(Build("e.ntx", MakeHeader(10), {}));
  const std::string bytes = test::ReadFileBytes(dir.File("e.ntx"));
  ASSERT_EQ(bytes.size(), 2048u);
  Pages pages(bytes, 10);
  EXPECT_EQ(pages.root(), 1024u);
  EXPECT_EQ(pages.At(1024).count, 0);
  // A freshly formatted page: offset table 100, 118, ... and nothing else.
  std::string fresh(kPageSize, '\0');
  PageView v(reinterpret_cast<uint8_t*>(fresh.data()), 10, 48);
  v.Format();
  EXPECT_EQ(bytes.substr(1024), fresh);
  EXPECT_EQ(v.slot_offset(0), 100);
  EXPECT_EQ(v.slot_offset(48), 100 + 48 * 18);
}

TEST(IndexBuilderTest, HeaderBytes) {
  test::ScratchDir dir;
  NtxHeader h = MakeHeader(10, true);
  h.key_text = "UPPER(NAME)";
  h.order_name = "BYNAME";
  ASSERT_TRUE(Build("h.ntx", h, {}));
  const std::string b = test::ReadFileBytes(dir.File("h.ntx"));
  auto u16 = [&](size_t at) { return GetU16(reinterpret_cast<const uint8_t*>(b.data()) + at); };
  EXPECT_EQ(u16(0), 6);
  EXPECT_EQ(u16(2), 1);
  EXPECT_EQ(u16(12), 18);
  EXPECT_EQ(u16(14), 10);
  EXPECT_EQ(u16(16), 0);
  EXPECT_EQ(u16(18), 48);
  EXPECT_EQ(u16(20), 24);
  EXPECT_EQ(b.substr(22, 12), std::string("UPPER(NAME)\0", 12));
  EXPECT_EQ(b[278], 1);
  EXPECT_EQ(b.substr(538, 7), std::string("BYNAME\0", 7));
  EXPECT_EQ(b.substr(551, 1024 - 551), std::string(1024 - 551, '\0'));
}

TEST(IndexBuilderTest, ThousandKeysMakeTwoEvenLevels) {
  test::ScratchDir dir;
  ASSERT_TRUE(Build("k.ntx", MakeHeader(10), Numbered(Distinct(1000, 10))));
  const std::string bytes = test::ReadFileBytes(dir.File("k.ntx"));
  ASSERT_EQ(bytes.size(), 24576u);
  Pages pages(bytes, 10);
  EXPECT_EQ(pages.root(), 23u * 1024) << "the root is written last";
  const Page root = pages.At(pages.root());
  ASSERT_EQ(root.count, 21);
  uint32_t expected_recno = 1;
  for (int leaf = 0; leaf < 22; ++leaf) {
    EXPECT_EQ(root.children[static_cast<size_t>(leaf)], 1024u * static_cast<uint32_t>(leaf + 1));
    const Page p = pages.At(root.children[static_cast<size_t>(leaf)]);
    EXPECT_EQ(p.count, leaf < 11 ? 45 : 44) << "leaf " << leaf;
    for (uint32_t r : p.recnos) EXPECT_EQ(r, expected_recno++);
    if (leaf < 21) {
      EXPECT_EQ(root.recnos[static_cast<size_t>(leaf)], expected_recno++);
    }
  }
  EXPECT_EQ(expected_recno, 1001u);
  EXPECT_TRUE(testutil::Verify(dir.File("k.ntx")).ok());
}

TEST(IndexBuilderTest, FortyEightKeysSplitIntoTwoLeaves) {
  test::ScratchDir dir;
  ASSERT_TRUE(Build("k.ntx", MakeHeader(10), Numbered(Distinct(48, 10))));
  Pages pages(test::ReadFileBytes(dir.File("k.ntx")), 10);
  const Page root = pages.At(pages.root());
  ASSERT_EQ(root.count, 1);
  EXPECT_EQ(root.recnos[0], 25u);
  EXPECT_EQ(pages.At(root.children[0]).count, 24);
  EXPECT_EQ(pages.At(root.children[1]).count, 23);
}

TEST(IndexBuilderTest, FewKeysMakeOneLeafRoot) {
  test::ScratchDir dir;
  ASSERT_TRUE(Build("k.ntx", MakeHeader(10, true), Numbered(Distinct(5, 10))));
  Pages pages(test::ReadFileBytes(dir.File("k.ntx")), 10);
  EXPECT_EQ(pages.root(), 1024u);
  EXPECT_EQ(pages.At(1024).count, 5);
  EXPECT_EQ(pages.At(1024).children, std::vector<uint32_t>(6, 0));
}

TEST(IndexBuilderTest, EqualKeysKeepTheSystemsOrder) {
  test::ScratchDir dir;
  ASSERT_TRUE(
      Build("e.ntx", MakeHeader(10), Numbered(std::vector<std::string>(100, "SAME KEY  "))));
  auto tree = testutil::OpenTree("e.ntx");
  ASSERT_NE(tree, nullptr);
  std::vector<uint32_t> recnos;
  for (const auto& e : testutil::Walk(*tree)) recnos.push_back(e.recno);
  std::vector<uint32_t> expected;
  for (uint32_t r = 1; r <= 10; ++r) expected.push_back(r);
  for (uint32_t b = 1; b < 10; ++b) {
    for (uint32_t r = b * 10 + 2; r <= b * 10 + 10; ++r) expected.push_back(r);
    expected.push_back(b * 10 + 1);
  }
  EXPECT_EQ(recnos, expected);

  ASSERT_TRUE(Build("u.ntx", MakeHeader(10, true),
                    Numbered(std::vector<std::string>(100,
                                                      "X"
                                                      "XXXXXXXXX"))));
  tree = testutil::OpenTree("u.ntx");
  const auto entries = testutil::Walk(*tree);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].recno, 1u);
}

TEST(IndexBuilderTest, LongKeysGiveTwoPerPage) {
  test::ScratchDir dir;
  EXPECT_EQ(MaxKeysPerPage(256), 2);
  std::vector<std::string> keys;
  for (int i = 0; i < 40; ++i) keys.push_back(Pad(static_cast<uint64_t>((i * 7) % 40), 256));
  ASSERT_TRUE(Build("l.ntx", MakeHeader(256), Numbered(keys)));
  std::vector<IndexEntry> entries;
  const VerifyReport r = testutil::Verify(dir.File("l.ntx"), &entries);
  EXPECT_TRUE(r.ok()) << testutil::Join(r.problems);
  EXPECT_EQ(r.header.max_keys, 2);
  EXPECT_EQ(entries.size(), 40u);
}

// Every key count gives a balanced, complete tree, whether the page counts come out
// even or not (short pages of long keys).
TEST(IndexBuilderTest, TreesAreBalancedForEveryKeyCount) {
  test::ScratchDir dir;
  for (int ks : {256, 200, 180, 150, 120, 100, 60, 40, 10}) {
    const int limit = ks >= 150 ? 400 : 200;
    for (int n = 0; n <= limit; n += (n < 120 ? 1 : 7)) {
      std::vector<std::string> keys;
      for (int i = 0; i < n; ++i) keys.push_back(Pad(static_cast<uint64_t>(i), ks));
      ASSERT_TRUE(Build("b.ntx", MakeHeader(ks), Numbered(keys)));
      std::vector<IndexEntry> entries;
      const VerifyReport r = testutil::Verify(dir.File("b.ntx"), &entries);
      ASSERT_TRUE(r.ok()) << "key size " << ks << ", " << n << " keys:\n"
                          << testutil::Join(r.problems);
      ASSERT_EQ(entries.size(), static_cast<size_t>(n));
      EXPECT_TRUE(r.notes.empty()) << testutil::Join(r.notes);
    }
  }
  // The counts of the documented examples come out even.
  EXPECT_TRUE(PlanTree(1000, 48).even);
  EXPECT_EQ(PlanTree(1000, 48).counts, (std::vector<uint64_t>{0, 45, 21}));
  EXPECT_EQ(PlanTree(1000, 48).surplus, 11u);
  EXPECT_FALSE(PlanTree(801, 10).even);
}

// Runs the literal sort per run and merges as the build does, for the expected order
// of a spilled build.
std::vector<uint32_t> ExpectedSpilledOrder(const std::vector<std::string>& keys, uint32_t per_run,
                                           bool unique) {
  struct Item {
    std::string key;
    int run;
    size_t pos;
    uint32_t recno;
  };
  std::vector<Item> all;
  for (size_t start = 0, run = 0; start < keys.size(); start += per_run, ++run) {
    const size_t n = std::min<size_t>(per_run, keys.size() - start);
    std::string flat;
    for (size_t i = 0; i < n; ++i) flat += keys[start + i];
    const int ks = static_cast<int>(keys[0].size());
    testutil::LiteralSort sort(reinterpret_cast<const uint8_t*>(flat.data()),
                               static_cast<uint32_t>(n), ks, per_run, unique, false);
    const auto order = sort.Run();
    for (size_t i = 0; i < order.size(); ++i) {
      all.push_back({keys[start + order[i]], static_cast<int>(run), i,
                     static_cast<uint32_t>(start + order[i] + 1)});
    }
  }
  std::stable_sort(all.begin(), all.end(), [](const Item& a, const Item& b) {
    if (a.key != b.key) return a.key < b.key;
    return a.run < b.run;
  });
  std::vector<uint32_t> out;
  for (size_t i = 0; i < all.size(); ++i) {
    if (unique && i > 0 && all[i].key == all[i - 1].key) continue;
    out.push_back(all[i].recno);
  }
  return out;
}

TEST(IndexBuilderTest, SpilledRunsMergeInOrder) {
  test::ScratchDir dir;
  std::mt19937 rng(11);
  for (int trial = 0; trial < 12; ++trial) {
    const bool unique = trial % 2 == 1;
    const int n = 500 + static_cast<int>(rng() % 1500);
    std::vector<std::string> keys;
    for (int i = 0; i < n; ++i) keys.push_back(Pad(rng() % (trial < 6 ? 40 : 100000), 6));
    BuildOptions options;
    options.temp_folder = dir.path();
    options.memory_budget = 6000 + (rng() % 8000);  // 14-byte items: several runs
    NtxHeader h = MakeHeader(6, unique);
    IndexBuilder builder(h, static_cast<uint32_t>(n), options);
    ASSERT_EQ(builder.Start(), BuildStatus::kOk);
    ASSERT_GT(builder.runs(), 1);
    for (int i = 0; i < n; ++i) {
      ASSERT_EQ(builder.Add(static_cast<uint32_t>(i + 1), keys[static_cast<size_t>(i)]),
                BuildStatus::kOk);
    }
    EXPECT_GE(builder.runs_written(), 1);
    int code = 0;
    {
      auto file = GetEnv()->CreateFile("s.ntx", FileShare::kExclusive, &code);
      ASSERT_EQ(builder.Finish(file.get(), &h), BuildStatus::kOk);
    }
    // The temporary file is gone.
    std::vector<DirEntry> listing;
    GetEnv()->ListDir(dir.path(), &listing);
    for (const auto& e : listing) EXPECT_EQ(e.name.find(".tmp"), std::string::npos) << e.name;

    std::vector<IndexEntry> entries;
    const VerifyReport r = testutil::Verify(dir.File("s.ntx"), &entries);
    ASSERT_TRUE(r.ok()) << testutil::Join(r.problems);
    std::vector<uint32_t> recnos;
    for (const auto& e : entries) recnos.push_back(e.recno);
    EXPECT_EQ(recnos, ExpectedSpilledOrder(keys, builder.keys_per_run(), unique))
        << "trial " << trial;
    if (unique) {
      for (size_t i = 1; i < entries.size(); ++i) EXPECT_NE(entries[i].key, entries[i - 1].key);
    }
  }
}

// A sort that holds only a few keys at a time and merges them from the run file gives
// the same file, byte for byte, as one holding every key, and both hold the keys in the
// literal algorithm's order: sizes around the spill points, many equal keys, unique and
// descending builds, the system's own runs, and a run file that cannot be created.
TEST(IndexBuilderTest, SpillingTheSortChangesNoByte) {
  test::ScratchDir dir;
  std::mt19937 rng(5);
  const int sizes[] = {0, 1, 15, 16, 17, 32, 33, 48, 49, 160, 161, 1000, 2500};
  const uint32_t alphabets[] = {1, 3, 40, 100000};
  for (int trial = 0; trial < 104; ++trial) {
    const int n = sizes[static_cast<size_t>(trial) % std::size(sizes)];
    const uint32_t alphabet = alphabets[rng() % std::size(alphabets)];
    const int ks = 1 + static_cast<int>(rng() % 10);
    const bool unique = rng() % 3 == 0, descending = rng() % 3 == 0;
    const bool system_runs = trial % 4 == 3, no_run_file = trial % 8 == 5;
    std::vector<std::string> keys;
    for (int i = 0; i < n; ++i) {
      std::string k(static_cast<size_t>(ks), ' ');
      uint32_t v = rng() % alphabet;
      for (int j = ks - 1; j >= 0 && v > 0; --j, v /= 7)
        k[static_cast<size_t>(j)] = char('0' + v % 7);
      keys.push_back(k);
    }
    if (rng() % 5 == 0) std::sort(keys.begin(), keys.end());
    const NtxHeader h = MakeHeader(ks, unique, descending);
    BuildOptions held;
    held.sort_memory = 0;
    held.temp_folder = dir.path();
    if (system_runs) {  // about four runs of the system's sort
      held.memory_budget =
          static_cast<uint64_t>(n / 4 + 1) * static_cast<uint64_t>(ks + 8) + 4 * 524;
    }
    BuildOptions spilled = held;
    spilled.sort_memory = 1;  // the fewest keys held at a time: 16
    if (no_run_file) spilled.temp_folder = dir.File("missing-folder");
    const std::string what = "trial " + std::to_string(trial) + " n=" + std::to_string(n);
    ASSERT_TRUE(Build("held.ntx", h, Numbered(keys), held)) << what;
    ASSERT_TRUE(Build("spilled.ntx", h, Numbered(keys), spilled)) << what;
    EXPECT_EQ(test::ReadFileBytes(dir.File("held.ntx")),
              test::ReadFileBytes(dir.File("spilled.ntx")))
        << what;
    if (system_runs) continue;
    std::vector<IndexEntry> entries;
    const VerifyReport r = testutil::Verify(dir.File("held.ntx"), &entries);
    ASSERT_TRUE(r.ok()) << what << testutil::Join(r.problems);
    std::string flat;
    for (const std::string& k : keys) flat += k;
    testutil::LiteralSort literal(reinterpret_cast<const uint8_t*>(flat.data()),
                                  static_cast<uint32_t>(n), ks, static_cast<uint32_t>(n), unique,
                                  descending);
    std::vector<uint32_t> expected, recnos;
    for (uint32_t at : literal.Run()) expected.push_back(at + 1);
    for (const IndexEntry& e : entries) recnos.push_back(e.recno);
    EXPECT_EQ(recnos, expected) << what;
  }
  std::vector<DirEntry> listing;
  GetEnv()->ListDir(dir.path(), &listing);
  for (const auto& e : listing) EXPECT_EQ(e.name.find(".tmp"), std::string::npos) << e.name;
}

TEST(IndexBuilderTest, NoRoomAndWrongKeySizesFailWithoutLeavingAFile) {
  test::ScratchDir dir;
  BuildOptions tiny;
  tiny.memory_budget = 1000;
  BuildStatus status;
  EXPECT_FALSE(Build("n.ntx", MakeHeader(10), Numbered(Distinct(100000, 10)), tiny, &status));
  EXPECT_EQ(status, BuildStatus::kNoRoom);
  EXPECT_STREQ(BuildStatusText(status), "Not enough room for index buffer");
  EXPECT_FALSE(GetEnv()->FileExists("n.ntx"));

  EXPECT_FALSE(Build("w.ntx", MakeHeader(4), Numbered({"AAAA", "BBB", "CCCC"}), {}, &status));
  EXPECT_EQ(status, BuildStatus::kKeySize);
  EXPECT_FALSE(GetEnv()->FileExists("w.ntx"));

  BuildOptions no_temp;
  no_temp.memory_budget = 8000;
  no_temp.temp_folder = dir.File("missing-folder");
  EXPECT_FALSE(Build("t.ntx", MakeHeader(4), Numbered(Distinct(1000, 4)), no_temp, &status));
  EXPECT_EQ(status, BuildStatus::kNoTempFile);
  EXPECT_FALSE(GetEnv()->FileExists("t.ntx"));

  NtxHeader long_text = MakeHeader(4);
  long_text.key_text = std::string(300, 'A');
  EXPECT_FALSE(Build("x.ntx", long_text, {}, {}, &status));
  EXPECT_EQ(status, BuildStatus::kBadHeader);
}

TEST(IndexBuilderTest, RebuildIntoAnExistingFileReplacesItsTree) {
  test::ScratchDir dir;
  ASSERT_TRUE(Build("r.ntx", MakeHeader(8), Numbered(Distinct(3000, 8))));
  int code = 0;
  auto f = GetEnv()->OpenFile("r.ntx", FileAccess::kReadWrite, FileShare::kExclusive, &code);
  NtxHeader h = MakeHeader(8);
  testutil::VectorSource source(Numbered(Distinct(10, 8)));
  ASSERT_EQ(BuildIndex(f.get(), &h, 10, source, {}), BuildStatus::kOk);
  EXPECT_EQ(f->Size(), 2048);
  f.reset();
  std::vector<IndexEntry> entries;
  EXPECT_TRUE(testutil::Verify(dir.File("r.ntx"), &entries).ok());
  EXPECT_EQ(entries.size(), 10u);
}

}  // namespace
}  // namespace px::ntx
