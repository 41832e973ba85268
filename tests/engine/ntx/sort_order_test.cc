#include "engine/ntx/sort_order.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/engine/ntx/literal_sort.h"

namespace px::ntx {
namespace {

std::vector<uint32_t> Fast(const std::string& keys, int ks, uint32_t r, bool unique,
                           bool desc = false) {
  SortOrder order(ks, r, unique, desc);
  return order.Order(reinterpret_cast<const uint8_t*>(keys.data()),
                     static_cast<uint32_t>(keys.size() / static_cast<size_t>(ks)));
}

std::vector<uint32_t> Literal(const std::string& keys, int ks, uint32_t r, bool unique,
                              bool desc = false) {
  testutil::LiteralSort sort(reinterpret_cast<const uint8_t*>(keys.data()),
                             static_cast<uint32_t>(keys.size() / static_cast<size_t>(ks)), ks, r,
                             unique, desc);
  return sort.Run();
}

TEST(SortOrderTest, BatchSizes) {
  EXPECT_EQ(BatchSize(3), 3u);
  EXPECT_EQ(BatchSize(50), 50u);
  EXPECT_EQ(BatchSize(51), 7u);
  EXPECT_EQ(BatchSize(100), 10u);
  EXPECT_EQ(BatchSize(1000000), 1000u);
  EXPECT_EQ(BatchSize(999999), 999u);
}

TEST(SortOrderTest, EqualKeysComeOutInTheSystemsOrder) {
  const std::string three(3 * 4, 'A');
  EXPECT_EQ(Fast(three, 4, 3, false), (std::vector<uint32_t>{0, 1, 2}));
  EXPECT_EQ(Fast(three, 4, 3, true), (std::vector<uint32_t>{0}));

  // 100 equal keys: records 1-10, 12-20, 11, 22-30, 21, ..., 92-100, 91.
  std::vector<uint32_t> expected;
  for (uint32_t r = 1; r <= 10; ++r) expected.push_back(r - 1);
  for (uint32_t b = 1; b < 10; ++b) {
    for (uint32_t r = b * 10 + 2; r <= b * 10 + 10; ++r) expected.push_back(r - 1);
    expected.push_back(b * 10);
  }
  const std::string hundred(100 * 10, 'K');
  EXPECT_EQ(Fast(hundred, 10, 100, false), expected);
  EXPECT_EQ(Literal(hundred, 10, 100, false), expected);
  EXPECT_EQ(Fast(hundred, 10, 100, true), (std::vector<uint32_t>{0}));
}

// The fast order against the literal algorithm on random inputs with many duplicates,
// sorted and reverse-sorted runs, unique and descending builds included.
TEST(SortOrderTest, MatchesTheLiteralAlgorithm) {
  std::mt19937 rng(7);
  const uint32_t sizes[] = {1, 2, 3, 5, 10, 49, 50, 51, 64, 100, 200, 500, 1000, 2500};
  const int alphabets[] = {1, 2, 3, 5, 20, 1000};
  int cases = 0;
  for (int trial = 0; trial < 1500; ++trial) {
    const uint32_t n = sizes[rng() % std::size(sizes)];
    const int alphabet = alphabets[rng() % std::size(alphabets)];
    const int ks = 1 + static_cast<int>(rng() % 12);
    std::vector<std::string> items;
    for (uint32_t i = 0; i < n; ++i) {
      std::string k(static_cast<size_t>(ks), ' ');
      uint32_t v = rng() % static_cast<uint32_t>(alphabet);
      for (int j = ks - 1; j >= 0 && v > 0; --j, v /= 7)
        k[static_cast<size_t>(j)] = char('0' + v % 7);
      items.push_back(k);
    }
    const uint32_t mode = rng() % 10;
    if (mode < 2) std::sort(items.begin(), items.end());
    if (mode == 2) std::sort(items.rbegin(), items.rend());
    std::string keys;
    for (const auto& k : items) keys += k;
    // R is usually the key count, sometimes a larger planned run size.
    const uint32_t r = (rng() % 4 == 0) ? n + static_cast<uint32_t>(rng() % 100) : n;
    for (int u = 0; u < 2; ++u) {
      const bool desc = trial % 5 == 0;
      ASSERT_EQ(Fast(keys, ks, r, u == 1, desc), Literal(keys, ks, r, u == 1, desc))
          << "n=" << n << " alphabet=" << alphabet << " unique=" << u << " desc=" << desc;
      ++cases;
    }
  }
  EXPECT_EQ(cases, 3000);
}

}  // namespace
}  // namespace px::ntx
