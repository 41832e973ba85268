#include "engine/ntx/sort_order.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace px::ntx {

uint32_t BatchSize(uint32_t keys_per_run) {
  if (keys_per_run <= 50) return keys_per_run;
  uint32_t b = static_cast<uint32_t>(std::sqrt(static_cast<double>(keys_per_run)));
  while (static_cast<uint64_t>(b) * b > keys_per_run) --b;
  while (static_cast<uint64_t>(b + 1) * (b + 1) <= keys_per_run) ++b;
  return b;
}

namespace {

// A set of keys named by their arrival positions, open addressing.
class KeySet {
 public:
  KeySet(const uint8_t* keys, int key_size) : keys_(keys), key_size_(key_size) {}

  void Reserve(size_t n) {
    size_t cap = 16;
    while (cap < 2 * n) cap *= 2;
    if (cap > table_.size()) Rehash(cap);
  }
  bool Contains(uint32_t item) const { return !table_.empty() && table_[Probe(item)] != 0; }
  void Insert(uint32_t item) {
    if (2 * (used_.size() + 1) > table_.size()) Rehash(std::max<size_t>(16, table_.size() * 2));
    const size_t slot = Probe(item);
    if (table_[slot] == 0) {
      table_[slot] = item + 1;
      used_.push_back(static_cast<uint32_t>(slot));
    }
  }
  void Clear() {
    for (uint32_t s : used_) table_[s] = 0;
    used_.clear();
  }

 private:
  const uint8_t* Key(uint32_t item) const {
    return keys_ + static_cast<size_t>(item) * static_cast<size_t>(key_size_);
  }
  uint64_t Hash(uint32_t item) const {
    const uint8_t* k = Key(item);
    uint64_t h = 1469598103934665603ULL;
    for (int i = 0; i < key_size_; ++i) h = (h ^ k[i]) * 1099511628211ULL;
    return h ^ (h >> 29);
  }
  // The slot holding an equal key, or the empty slot where it would go.
  size_t Probe(uint32_t item) const {
    const size_t mask = table_.size() - 1;
    size_t slot = static_cast<size_t>(Hash(item)) & mask;
    const uint8_t* k = Key(item);
    for (;;) {
      const uint32_t v = table_[slot];
      if (v == 0 || std::memcmp(Key(v - 1), k, static_cast<size_t>(key_size_)) == 0) return slot;
      slot = (slot + 1) & mask;
    }
  }
  void Rehash(size_t cap) {
    std::vector<uint32_t> old;
    old.reserve(used_.size());
    for (uint32_t s : used_) old.push_back(table_[s] - 1);
    table_.assign(cap, 0);
    used_.clear();
    for (uint32_t item : old) {
      const size_t slot = Probe(item);
      table_[slot] = item + 1;
      used_.push_back(static_cast<uint32_t>(slot));
    }
  }

  const uint8_t* keys_;
  int key_size_;
  std::vector<uint32_t> table_;  // item + 1, 0 = empty
  std::vector<uint32_t> used_;   // occupied slots
};

// A key reduced for fast sorting: its first 8 bytes as one number, a tie-breaking
// stamp and the arrival position.
struct SortItem {
  uint64_t prefix;
  uint32_t stamp;
  uint32_t item;
};

class ItemSorter {
 public:
  ItemSorter(const uint8_t* keys, const KeyCompare& cmp) : keys_(keys), cmp_(cmp) {}

  SortItem Make(uint32_t item, uint32_t stamp) const {
    const uint8_t* k = Key(item);
    uint64_t p = 0;
    const int n = std::min(cmp_.key_size, 8);
    for (int i = 0; i < n; ++i) p |= static_cast<uint64_t>(k[i]) << (56 - 8 * i);
    return {cmp_.descending ? ~p : p, stamp, item};
  }

  // Sorts by key, then stamp.
  void Sort(std::vector<SortItem>* items) const {
    const size_t rest = cmp_.key_size > 8 ? static_cast<size_t>(cmp_.key_size - 8) : 0;
    const bool desc = cmp_.descending;
    std::sort(items->begin(), items->end(), [&](const SortItem& a, const SortItem& b) {
      if (a.prefix != b.prefix) return a.prefix < b.prefix;
      if (rest > 0) {
        int c = std::memcmp(Key(a.item) + 8, Key(b.item) + 8, rest);
        if (desc) c = -c;
        if (c != 0) return c < 0;
      }
      return a.stamp < b.stamp;
    });
  }

 private:
  const uint8_t* Key(uint32_t item) const {
    return keys_ + static_cast<size_t>(item) * static_cast<size_t>(cmp_.key_size);
  }
  const uint8_t* keys_;
  const KeyCompare& cmp_;
};

}  // namespace

SortOrder::SortOrder(int key_size, uint32_t keys_per_run, bool unique, bool descending)
    : batch_size_(BatchSize(keys_per_run)), unique_(unique) {
  cmp_.key_size = key_size;
  cmp_.descending = descending;
}

std::vector<uint32_t> SortOrder::Order(const uint8_t* keys, uint32_t count) {
  const size_t ks = static_cast<size_t>(cmp_.key_size);
  auto key = [&](uint32_t item) { return keys + static_cast<size_t>(item) * ks; };
  auto less = [&](uint32_t a, uint32_t b) { return cmp_.Keys(key(a), key(b)) < 0; };
  const ItemSorter sorter(keys, cmp_);
  const uint32_t batch_size = std::max<uint32_t>(batch_size_, 1);

  constexpr int64_t kNone = -1;
  // The insertion hint: the item linked last by a walk, and whether it is in the main
  // list; the hint as it stood after the last merge.
  int64_t hint = kNone;
  bool hint_main = false;
  int64_t saved = kNone;
  bool saved_main = false;
  bool first_batch = true;
  int64_t batch_min = kNone;
  int64_t main_min = kNone;
  uint32_t batch_count = 0;
  std::vector<uint32_t> batch;   // batch list members in arrival order
  std::vector<uint32_t> joined;  // items in the order they joined the main list
  joined.reserve(count);
  std::vector<SortItem> scratch;
  KeySet batch_keys(keys, cmp_.key_size);
  KeySet main_keys(keys, cmp_.key_size);
  if (unique_) {
    batch_keys.Reserve(batch_size);
    main_keys.Reserve(count);
  }

  auto merge = [&]() {
    scratch.clear();
    for (uint32_t i = 0; i < batch.size(); ++i) scratch.push_back(sorter.Make(batch[i], i));
    sorter.Sort(&scratch);
    if (first_batch) {
      // The first batch simply becomes the main list; the hint now points into it.
      for (const SortItem& s : scratch) {
        joined.push_back(s.item);
        if (unique_) main_keys.Insert(s.item);
      }
      if (!scratch.empty()) main_min = scratch.front().item;
      if (hint != kNone) hint_main = true;
      first_batch = false;
    } else {
      hint = saved;
      hint_main = saved_main;
      bool linked_any = false;
      for (const SortItem& s : scratch) {
        const uint32_t x = s.item;
        if (unique_ && main_keys.Contains(x)) continue;
        const bool at_head = !linked_any && (hint == kNone || less(x, uint32_t(hint))) &&
                             (main_min == kNone || less(x, uint32_t(main_min)));
        joined.push_back(x);
        if (unique_) main_keys.Insert(x);
        if (main_min == kNone || less(x, uint32_t(main_min))) main_min = x;
        if (!at_head) {
          hint = x;
          hint_main = true;
        }
        linked_any = true;
      }
    }
    saved = hint;
    saved_main = hint_main;
    batch.clear();
    if (unique_) batch_keys.Clear();
    batch_min = kNone;
    batch_count = 0;
  };

  for (uint32_t i = 0; i < count; ++i) {
    ++batch_count;
    if (batch_count == 1) {
      // The first key of a batch always starts the batch list.
      batch.push_back(i);
      if (unique_) batch_keys.Insert(i);
      batch_min = i;
    } else {
      const bool below_hint = hint == kNone || less(i, uint32_t(hint));
      if (below_hint || !hint_main) {
        if (!(unique_ && batch_keys.Contains(i))) {
          const bool new_min = less(i, uint32_t(batch_min));
          batch.push_back(i);
          if (unique_) batch_keys.Insert(i);
          if (new_min) batch_min = i;
          if (!(below_hint && new_min)) {
            hint = i;
            hint_main = false;
          }
        }
      } else if (!(unique_ && main_keys.Contains(i))) {
        joined.push_back(i);
        if (unique_) main_keys.Insert(i);
        if (less(i, uint32_t(main_min))) main_min = i;
        hint = i;
        hint_main = true;
      }
    }
    if (batch_count == batch_size) merge();
  }
  if (batch_count > 0) merge();

  // Sorted by key, equal keys in the order they joined the main list.
  scratch.clear();
  scratch.reserve(joined.size());
  for (uint32_t s = 0; s < joined.size(); ++s) scratch.push_back(sorter.Make(joined[s], s));
  sorter.Sort(&scratch);
  std::vector<uint32_t> order;
  order.reserve(scratch.size());
  for (const SortItem& s : scratch) order.push_back(s.item);
  return order;
}

}  // namespace px::ntx
