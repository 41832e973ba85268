#include "engine/ntx/sort_order.h"

#include <algorithm>
#include <array>
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

uint64_t Hash(const uint8_t* k, size_t n) {
  uint64_t h = 1469598103934665603ULL;
  for (size_t i = 0; i < n; ++i) h = (h ^ k[i]) * 1099511628211ULL;
  return h ^ (h >> 29);
}

// A key reduced for fast sorting: its first 8 bytes as one number, its position in the
// given order and the item it stands for.
struct SortItem {
  uint64_t prefix;
  uint32_t stamp;
  uint32_t item;
};

}  // namespace

bool KeyBag::Contains(const uint8_t* key) const {
  return !slots_.empty() && slots_[Probe(key)] != 0;
}

void KeyBag::Insert(const uint8_t* key) {
  const size_t count = keys_.size() / key_size_;
  if (2 * (count + 1) > slots_.size()) Rehash(std::max<size_t>(16, slots_.size() * 2));
  const size_t slot = Probe(key);
  if (slots_[slot] != 0) return;
  keys_.insert(keys_.end(), key, key + key_size_);
  slots_[slot] = static_cast<uint32_t>(count + 1);
}

void KeyBag::Clear() {
  keys_.clear();
  std::fill(slots_.begin(), slots_.end(), 0);
}

// The slot holding an equal key, or the empty slot where it would go.
size_t KeyBag::Probe(const uint8_t* key) const {
  const size_t mask = slots_.size() - 1;
  size_t slot = static_cast<size_t>(Hash(key, key_size_)) & mask;
  for (;;) {
    const uint32_t v = slots_[slot];
    if (v == 0 || std::memcmp(At(v - 1), key, key_size_) == 0) return slot;
    slot = (slot + 1) & mask;
  }
}

void KeyBag::Rehash(size_t slots) {
  slots_.assign(slots, 0);
  const size_t count = keys_.size() / key_size_;
  for (size_t i = 0; i < count; ++i) {
    slots_[Probe(At(static_cast<uint32_t>(i)))] = static_cast<uint32_t>(i + 1);
  }
}

void StableSortByKey(const uint8_t* keys, const KeyCompare& cmp, std::vector<uint32_t>* items) {
  const size_t ks = static_cast<size_t>(cmp.key_size);
  const size_t head = std::min<size_t>(ks, 8);
  const size_t rest = ks - head;
  const bool desc = cmp.descending;
  const size_t n = items->size();
  auto key = [&](uint32_t item) { return keys + static_cast<size_t>(item) * ks; };
  std::vector<SortItem> sorted(n);
  for (size_t i = 0; i < n; ++i) {
    const uint8_t* k = key((*items)[i]);
    uint64_t p = 0;
    for (size_t j = 0; j < head; ++j) p |= static_cast<uint64_t>(k[j]) << (56 - 8 * j);
    sorted[i] = {desc ? ~p : p, static_cast<uint32_t>(i), (*items)[i]};
  }
  // Equal prefixes: the rest of the key, then the given order.
  auto rest_less = [&](const SortItem& a, const SortItem& b) {
    if (rest > 0) {
      int c = std::memcmp(key(a.item) + 8, key(b.item) + 8, rest);
      if (desc) c = -c;
      if (c != 0) return c < 0;
    }
    return a.stamp < b.stamp;
  };
  constexpr size_t kRadixFrom = 256;
  if (n < kRadixFrom) {
    std::sort(sorted.begin(), sorted.end(), [&](const SortItem& a, const SortItem& b) {
      if (a.prefix != b.prefix) return a.prefix < b.prefix;
      return rest_less(a, b);
    });
  } else {
    // Least significant byte of the prefix first, each pass stable, so that equal
    // prefixes keep the given order; bytes that are the same in every key are skipped.
    std::vector<std::array<uint32_t, 256>> counts(8);
    for (auto& c : counts) c.fill(0);
    for (const SortItem& s : sorted) {
      for (int d = 0; d < 8; ++d) ++counts[static_cast<size_t>(d)][(s.prefix >> (8 * d)) & 0xFF];
    }
    std::vector<SortItem> other(n);
    for (int d = 0; d < 8; ++d) {
      std::array<uint32_t, 256>& c = counts[static_cast<size_t>(d)];
      if (c[(sorted[0].prefix >> (8 * d)) & 0xFF] == n) continue;
      uint32_t at = 0;
      for (uint32_t& v : c) {
        const uint32_t here = v;
        v = at;
        at += here;
      }
      for (const SortItem& s : sorted) other[c[(s.prefix >> (8 * d)) & 0xFF]++] = s;
      sorted.swap(other);
    }
    if (rest > 0) {
      for (size_t i = 0; i < n;) {
        size_t j = i + 1;
        while (j < n && sorted[j].prefix == sorted[i].prefix) ++j;
        if (j - i > 1)
          std::sort(sorted.begin() + static_cast<ptrdiff_t>(i),
                    sorted.begin() + static_cast<ptrdiff_t>(j), rest_less);
        i = j;
      }
    }
  }
  for (size_t i = 0; i < n; ++i) (*items)[i] = sorted[i].item;
}

JoinOrder::JoinOrder(int key_size, uint32_t keys_per_run, bool unique, bool descending)
    : key_size_(static_cast<size_t>(key_size)),
      batch_size_(std::max<uint32_t>(BatchSize(keys_per_run), 1)),
      unique_(unique),
      hint_key_(key_size_),
      saved_key_(key_size_),
      main_min_(key_size_),
      batch_set_(key_size),
      main_set_(key_size) {
  cmp_.key_size = key_size;
  cmp_.descending = descending;
  batch_keys_.reserve(static_cast<size_t>(batch_size_) * key_size_);
  batch_recnos_.reserve(batch_size_);
}

void JoinOrder::SetHint(Hint where, const uint8_t* key) {
  hint_ = where;
  std::memcpy(hint_key_.data(), key, key_size_);
}

void JoinOrder::JoinMain(uint32_t recno, const uint8_t* key, JoinSink& out) {
  if (unique_) main_set_.Insert(key);
  if (!has_main_min_ || Less(key, main_min_.data())) {
    std::memcpy(main_min_.data(), key, key_size_);
    has_main_min_ = true;
  }
  out.Take(recno, key);
}

void JoinOrder::Add(uint32_t recno, const uint8_t* key, JoinSink& out) {
  ++batch_count_;
  if (batch_count_ == 1) {
    // The first key of a batch always starts the batch list.
    batch_keys_.insert(batch_keys_.end(), key, key + key_size_);
    batch_recnos_.push_back(recno);
    if (unique_) batch_set_.Insert(key);
    batch_min_ = 0;
  } else {
    const bool below_hint = hint_ == Hint::kNone || Less(key, hint_key_.data());
    if (below_hint || hint_ != Hint::kMain) {
      if (!(unique_ && batch_set_.Contains(key))) {
        const bool new_min = Less(key, BatchKey(batch_min_));
        batch_keys_.insert(batch_keys_.end(), key, key + key_size_);
        batch_recnos_.push_back(recno);
        if (unique_) batch_set_.Insert(key);
        if (new_min) batch_min_ = static_cast<uint32_t>(batch_recnos_.size() - 1);
        if (!(below_hint && new_min)) SetHint(Hint::kBatch, key);
      }
    } else if (!(unique_ && main_set_.Contains(key))) {
      JoinMain(recno, key, out);
      SetHint(Hint::kMain, key);
    }
  }
  if (batch_count_ == batch_size_) Merge(out);
}

void JoinOrder::EndRun(JoinSink& out) {
  if (batch_count_ > 0) Merge(out);
  first_batch_ = true;
  hint_ = saved_ = Hint::kNone;
  has_main_min_ = false;
  main_set_.Clear();
}

void JoinOrder::Merge(JoinSink& out) {
  scratch_.resize(batch_recnos_.size());
  for (uint32_t i = 0; i < scratch_.size(); ++i) scratch_[i] = i;
  StableSortByKey(batch_keys_.data(), cmp_, &scratch_);
  if (first_batch_) {
    // The first batch simply becomes the main list; the hint now points into it.
    for (uint32_t i : scratch_) JoinMain(batch_recnos_[i], BatchKey(i), out);
    if (hint_ != Hint::kNone) hint_ = Hint::kMain;
    first_batch_ = false;
  } else {
    hint_ = saved_;
    std::memcpy(hint_key_.data(), saved_key_.data(), key_size_);
    bool linked_any = false;
    for (uint32_t i : scratch_) {
      const uint8_t* key = BatchKey(i);
      if (unique_ && main_set_.Contains(key)) continue;
      const bool at_head = !linked_any && (hint_ == Hint::kNone || Less(key, hint_key_.data())) &&
                           (!has_main_min_ || Less(key, main_min_.data()));
      JoinMain(batch_recnos_[i], key, out);
      if (!at_head) SetHint(Hint::kMain, key);
      linked_any = true;
    }
  }
  saved_ = hint_;
  std::memcpy(saved_key_.data(), hint_key_.data(), key_size_);
  batch_keys_.clear();
  batch_recnos_.clear();
  if (unique_) batch_set_.Clear();
  batch_count_ = 0;
}

SortOrder::SortOrder(int key_size, uint32_t keys_per_run, bool unique, bool descending)
    : key_size_(key_size), keys_per_run_(keys_per_run), unique_(unique), descending_(descending) {}

std::vector<uint32_t> SortOrder::Order(const uint8_t* keys, uint32_t count) {
  // The arrival positions in the order they join the main list.
  class Collect : public JoinSink {
   public:
    void Take(uint32_t recno, const uint8_t*) override { joined.push_back(recno); }
    std::vector<uint32_t> joined;
  } collect;
  collect.joined.reserve(count);
  JoinOrder join(key_size_, keys_per_run_, unique_, descending_);
  const size_t ks = static_cast<size_t>(key_size_);
  for (uint32_t i = 0; i < count; ++i) join.Add(i, keys + static_cast<size_t>(i) * ks, collect);
  join.EndRun(collect);
  KeyCompare cmp;
  cmp.key_size = key_size_;
  cmp.descending = descending_;
  StableSortByKey(keys, cmp, &collect.joined);
  return std::move(collect.joined);
}

}  // namespace px::ntx
