// The pseudo-random numbers of the sample installation generator: SplitMix64 with a
// fixed seed, and integer helpers that use nothing but 64-bit arithmetic, so that the
// same seed gives the same numbers with every compiler and standard library.
#ifndef PX_TOOLS_PXDB_SAMPLE_RANDOM_H_
#define PX_TOOLS_PXDB_SAMPLE_RANDOM_H_

#include <cstddef>
#include <cstdint>

namespace px::pxdb {

class SampleRandom {
 public:
  explicit SampleRandom(uint64_t seed) : state_(seed) {}

  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  // 0 to n - 1 (0 when n is 0).
  uint32_t Below(uint32_t n) { return n == 0 ? 0 : static_cast<uint32_t>(Next() % n); }
  // lo to hi, both included.
  int Between(int lo, int hi) {
    return lo + static_cast<int>(Below(static_cast<uint32_t>(hi - lo + 1)));
  }
  // True in about per_mille of a thousand calls.
  bool Chance(int per_mille) { return Below(1000) < static_cast<uint32_t>(per_mille); }
  template <typename T, size_t N>
  const T& Pick(const T (&list)[N]) {
    return list[Below(N)];
  }

 private:
  uint64_t state_;
};

// A seed for one item (a quote) of one stream, so that an item's numbers can be drawn
// again without replaying every item before it.
inline uint64_t ItemSeed(uint64_t stream, uint64_t item) {
  SampleRandom r(stream * 0x2545F4914F6CDD1DULL + item);
  return r.Next();
}

}  // namespace px::pxdb

#endif  // PX_TOOLS_PXDB_SAMPLE_RANDOM_H_
