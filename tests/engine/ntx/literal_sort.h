// A literal transcription of the index build's batched linked-list insertion sort: keys
// linked into a batch list or, through the insertion hint, into the main list, the batch
// list merged into the main list every B keys. Slow (about R^1.5 / 2 pointer hops); the
// tests use it as the oracle for SortOrder and the benchmarks as the baseline.
#ifndef PX_TESTS_ENGINE_NTX_LITERAL_SORT_H_
#define PX_TESTS_ENGINE_NTX_LITERAL_SORT_H_

#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "engine/ntx/sort_order.h"

namespace px::ntx::testutil {

class LiteralSort {
 public:
  LiteralSort(const uint8_t* keys, uint32_t count, int key_size, uint32_t keys_per_run, bool unique,
              bool descending)
      : keys_(keys),
        count_(count),
        ks_(key_size),
        batch_size_(BatchSize(keys_per_run)),
        unique_(unique),
        desc_(descending),
        next_(count + 1, 0),
        list_(count + 1, 0) {}

  // Arrival positions (0-based) of the kept keys in the order of the main list.
  std::vector<uint32_t> Run() {
    uint32_t hint = 0;
    uint32_t saved = 0;
    uint32_t batch_count = 0;
    bool first_batch = true;
    for (uint32_t i = 1; i <= count_; ++i) {
      next_[i] = 0;
      ++batch_count;
      if (batch_count == 1) {
        batch_head_ = i;
        list_[i] = 'b';
      } else {
        std::pair<bool, bool> r;
        if (hint == 0 || Cmp(i, hint) < 0) {
          r = Walk(i, 0, batch_head_, 'b');
        } else {
          r = Walk(i, hint, next_[hint], list_[hint]);
        }
        if (r.first && !r.second) hint = i;
      }
      if (batch_count == batch_size_) {
        Merge(&hint, &saved, &first_batch);
        batch_count = 0;
      }
    }
    if (batch_count > 0) Merge(&hint, &saved, &first_batch);
    std::vector<uint32_t> out;
    for (uint32_t x = main_head_; x != 0; x = next_[x]) out.push_back(x - 1);
    return out;
  }

 private:
  int Cmp(uint32_t a, uint32_t b) const {
    const int c = std::memcmp(keys_ + (a - 1) * static_cast<size_t>(ks_),
                              keys_ + (b - 1) * static_cast<size_t>(ks_), static_cast<size_t>(ks_));
    const int r = c < 0 ? -1 : (c > 0 ? 1 : 0);
    return desc_ ? -r : r;
  }

  // Walks from `cur` (with `prev` before it) past every item not greater than item i
  // and links i in. Returns (linked, linked at the head of the list).
  std::pair<bool, bool> Walk(uint32_t i, uint32_t prev, uint32_t cur, char which) {
    if (unique_ && prev != 0 && Cmp(prev, i) == 0) return {false, false};
    while (cur != 0 && Cmp(cur, i) <= 0) {
      if (unique_ && Cmp(cur, i) == 0) return {false, false};
      prev = cur;
      cur = next_[cur];
    }
    next_[i] = cur;
    list_[i] = which;
    if (prev == 0) {
      (which == 'b' ? batch_head_ : main_head_) = i;
      return {true, true};
    }
    next_[prev] = i;
    return {true, false};
  }

  void Merge(uint32_t* hint, uint32_t* saved, bool* first_batch) {
    if (*first_batch) {
      main_head_ = batch_head_;
      for (uint32_t x = batch_head_; x != 0; x = next_[x]) list_[x] = 'm';
      *first_batch = false;
    } else {
      *hint = *saved;
      std::vector<uint32_t> items;
      for (uint32_t x = batch_head_; x != 0; x = next_[x]) items.push_back(x);
      uint32_t last = 0;
      for (uint32_t x : items) {
        std::pair<bool, bool> r;
        if (last == 0) {
          if (*hint == 0 || Cmp(x, *hint) < 0) {
            r = Walk(x, 0, main_head_, 'm');
          } else {
            r = Walk(x, *hint, next_[*hint], 'm');
          }
        } else {
          r = Walk(x, last, next_[last], 'm');
        }
        if (r.first) {
          last = x;
          if (!r.second) *hint = x;
        } else {
          list_[x] = 'd';
        }
      }
    }
    *saved = *hint;
    batch_head_ = 0;
  }

  const uint8_t* keys_;
  uint32_t count_;
  int ks_;
  uint32_t batch_size_;
  bool unique_;
  bool desc_;
  std::vector<uint32_t> next_;
  std::vector<char> list_;
  uint32_t batch_head_ = 0;
  uint32_t main_head_ = 0;
};

}  // namespace px::ntx::testutil

#endif  // PX_TESTS_ENGINE_NTX_LITERAL_SORT_H_
