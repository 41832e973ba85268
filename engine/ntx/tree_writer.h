// Writes the key tree of a new index bottom-up, once, sequentially, from offset 1024.
//
// With N keys and m = maximum keys - 1, the tree has the fewest levels L for which
// (m + 1)^L - 1 >= N. Key counts per page are fixed level by level from the root down:
// k_j = ceil(m * N / S), S being the capacity of the tree with the levels above j at
// their counts and the rest at m. Of the P leaves, the first P - surplus hold k_1 keys
// and the others k_1 - 1 (surplus = capacity - N). The sorted keys are then dealt out:
// a leaf takes its count (the very last key always goes into the current leaf), the
// next key goes up into the first level page that has room, full level pages are
// written on the way; at the end each level page holding keys takes the page written
// last as its rightmost child. Pages are written in the order they are completed, and
// the last one is the root. No keys give one empty root page at 1024.
//
// For some N the counts do not come out even (most often with very long keys, where a
// page holds 2 or 4 keys): dealing them out as above would leave empty leaves or
// subtrees of unequal height. Those trees are instead built by splitting the keys evenly
// among the children of each page, top-down, writing pages in the same completed-first
// order.
#ifndef PX_ENGINE_NTX_TREE_WRITER_H_
#define PX_ENGINE_NTX_TREE_WRITER_H_

#include <cstdint>
#include <vector>

#include "engine/ntx/ntx_format.h"
#include "runtime/env.h"

namespace px::ntx {

// The sorted keys of a build, one at a time.
class SortedKeys {
 public:
  virtual ~SortedKeys() = default;
  // The next key (key size bytes, valid until the next call); false at the end or when
  // reading failed (then ok() is false).
  virtual bool Next(uint32_t* recno, const uint8_t** key) = 0;
  virtual bool ok() const { return true; }
};

// The page counts the writer deals the keys out by.
struct TreePlan {
  int levels = 0;
  std::vector<uint64_t> counts;  // counts[j] for level j = 1 (leaves) .. levels
  uint64_t capacity = 0;
  uint64_t surplus = 0;
  uint64_t leaves = 0;
  // Dealing the keys out by these counts gives a balanced tree without empty pages.
  bool even = false;
};

TreePlan PlanTree(uint64_t keys, int max_keys);

class TreeWriter {
 public:
  TreeWriter(File* file, int key_size, int max_keys);

  // Writes the tree of `n` keys taken from `keys` and sets *root. False when a write
  // failed (os_error()) or the keys ran out or failed before n.
  bool Write(uint64_t n, SortedKeys& keys, uint32_t* root);

  // Offset just past the last page written.
  uint64_t end_offset() const { return next_offset_; }
  int os_error() const { return os_error_; }
  bool used_even_split() const { return used_even_split_; }

 private:
  uint32_t Append(const uint8_t* page);
  bool FlushPages();
  bool Take(SortedKeys& keys, uint32_t* recno, const uint8_t** key);
  bool DealOut(uint64_t n, const TreePlan& plan, SortedKeys& keys, uint32_t* root);
  uint32_t WriteSplit(uint64_t n, int height, uint64_t fanout_cap, SortedKeys& keys);

  File* file_;
  int key_size_;
  int max_keys_;
  uint64_t next_offset_ = kPageSize;
  uint64_t buffered_at_ = kPageSize;
  std::vector<uint8_t> buffer_;
  std::vector<std::vector<uint8_t>> level_pages_;
  bool failed_ = false;
  int os_error_ = 0;
  bool used_even_split_ = false;
};

}  // namespace px::ntx

#endif  // PX_ENGINE_NTX_TREE_WRITER_H_
