// The order in which an index build puts its keys.
//
// Index files written by this system must hold keys with equal bytes in the order the
// system has always given them, and a unique build must keep the same record of each
// key value. That order comes from a batched linked-list insertion sort: keys join a
// batch list, or, through the insertion hint, the main list directly; every B keys the
// batch list is merged into the main list (B = R for R <= 50 keys per run, else
// floor(sqrt(R))). Each walk links a key after the keys equal to it already in the list
// it walks, so the result is: sorted by key, equal keys in the order they joined the
// main list. This class decides in constant time which list each key joins and when,
// and sorts once at the end: O(n log n) instead of the walks' O(n^1.5).
//
// In a unique build a key is dropped when the list it joins (at a merge, the main list)
// already holds an equal key.
#ifndef PX_ENGINE_NTX_SORT_ORDER_H_
#define PX_ENGINE_NTX_SORT_ORDER_H_

#include <cstdint>
#include <vector>

#include "engine/ntx/ntx_key.h"

namespace px::ntx {

// The batch size for R keys per run.
uint32_t BatchSize(uint32_t keys_per_run);

class SortOrder {
 public:
  // keys_per_run: R, which fixes the batch size (the table's record count, or its share
  // per run when the build spills runs).
  SortOrder(int key_size, uint32_t keys_per_run, bool unique, bool descending);

  // The items of the run in arrival order: `count` keys of key_size bytes back to back.
  // Returns the arrival positions of the kept keys in final order.
  std::vector<uint32_t> Order(const uint8_t* keys, uint32_t count);

 private:
  KeyCompare cmp_;
  uint32_t batch_size_;
  bool unique_;
};

}  // namespace px::ntx

#endif  // PX_ENGINE_NTX_SORT_ORDER_H_
