#include "engine/ntx/tree_writer.h"

#include <algorithm>
#include <cstring>

namespace px::ntx {

namespace {

constexpr size_t kBufferedPages = 64;

uint64_t Capacity(const std::vector<uint64_t>& counts, int levels) {
  uint64_t total = 0;
  uint64_t product = 1;  // product of (k_i + 1) over the levels above j
  for (int j = levels; j >= 1; --j) {
    total += counts[static_cast<size_t>(j)] * product;
    product *= counts[static_cast<size_t>(j)] + 1;
  }
  return total;
}

uint64_t LeafTarget(const TreePlan& plan, uint64_t leaf) {
  const uint64_t k1 = plan.counts[1];
  if (plan.surplus >= plan.leaves || leaf < plan.leaves - plan.surplus) return k1;
  return k1 - 1;
}

// Deals out the counts without keys: true when every page written holds keys and every
// page's children have the same height.
bool DealsOutEvenly(uint64_t n, const TreePlan& plan) {
  if (n == 0) return true;
  const int levels = plan.levels;
  std::vector<uint64_t> filled(static_cast<size_t>(levels) + 1, 0);
  uint64_t taken = 0;
  for (uint64_t leaf = 0;; ++leaf) {
    if (leaf >= plan.leaves) return false;
    const uint64_t target = LeafTarget(plan, leaf);
    uint64_t in_leaf = std::min(target, n - taken);
    taken += in_leaf;
    if (taken == n - 1) {
      ++in_leaf;
      ++taken;
    }
    if (in_leaf == 0) return false;
    if (taken == n) break;
    // The leaf is written and the next key goes up.
    ++taken;
    int height = 1;
    for (int j = 2;; ++j) {
      if (j > levels || height != j - 1) return false;
      if (filled[static_cast<size_t>(j)] < plan.counts[static_cast<size_t>(j)]) {
        ++filled[static_cast<size_t>(j)];
        break;
      }
      if (filled[static_cast<size_t>(j)] == 0) return false;
      filled[static_cast<size_t>(j)] = 0;
      height = j;
    }
  }
  int height = 1;
  for (int j = 2; j <= levels; ++j) {
    if (filled[static_cast<size_t>(j)] == 0) continue;
    if (height != j - 1) return false;
    height = j;
  }
  return true;
}

void PutItem(PageView& page, int slot, uint32_t child, uint32_t recno, const uint8_t* key) {
  uint8_t* it = page.item(slot);
  PutU32(it, child);
  if (key != nullptr) {
    PutU32(it + 4, recno);
    std::memcpy(it + 8, key, static_cast<size_t>(page.key_size()));
  }
}

}  // namespace

TreePlan PlanTree(uint64_t n, int max_keys) {
  TreePlan plan;
  const uint64_t m = static_cast<uint64_t>(std::max(max_keys - 1, 1));
  plan.levels = 1;
  uint64_t power = m + 1;
  while (power - 1 < n) {
    ++plan.levels;
    power *= m + 1;
  }
  plan.counts.assign(static_cast<size_t>(plan.levels) + 1, m);
  plan.counts[0] = 0;
  for (int j = plan.levels; j >= 1; --j) {
    std::vector<uint64_t> trial = plan.counts;
    for (int i = j; i >= 1; --i) trial[static_cast<size_t>(i)] = m;
    const uint64_t s = Capacity(trial, plan.levels);
    plan.counts[static_cast<size_t>(j)] = (m * n + s - 1) / s;
  }
  plan.capacity = Capacity(plan.counts, plan.levels);
  plan.surplus = plan.capacity >= n ? plan.capacity - n : 0;
  plan.leaves = 1;
  for (int j = 2; j <= plan.levels; ++j) plan.leaves *= plan.counts[static_cast<size_t>(j)] + 1;
  plan.even = DealsOutEvenly(n, plan);
  return plan;
}

TreeWriter::TreeWriter(File* file, int key_size, int max_keys)
    : file_(file), key_size_(key_size), max_keys_(max_keys) {}

uint32_t TreeWriter::Append(const uint8_t* page) {
  const uint32_t offset = static_cast<uint32_t>(next_offset_);
  buffer_.insert(buffer_.end(), page, page + kPageSize);
  next_offset_ += kPageSize;
  if (buffer_.size() >= kBufferedPages * kPageSize) FlushPages();
  return offset;
}

bool TreeWriter::FlushPages() {
  if (buffer_.empty() || failed_) return !failed_;
  if (file_->WriteAt(buffered_at_, buffer_.data(), buffer_.size()) !=
      static_cast<int64_t>(buffer_.size())) {
    os_error_ = file_->os_error();
    failed_ = true;
    return false;
  }
  buffered_at_ += buffer_.size();
  buffer_.clear();
  return true;
}

bool TreeWriter::Take(SortedKeys& keys, uint32_t* recno, const uint8_t** key) {
  if (failed_) return false;
  if (!keys.Next(recno, key)) {
    failed_ = true;
    return false;
  }
  return true;
}

bool TreeWriter::Write(uint64_t n, SortedKeys& keys, uint32_t* root) {
  buffer_.reserve(kBufferedPages * kPageSize);
  const TreePlan plan = PlanTree(n, max_keys_);
  level_pages_.assign(static_cast<size_t>(plan.levels) + 2, std::vector<uint8_t>(kPageSize, 0));
  bool ok;
  if (n == 0) {
    PageView page(level_pages_[1].data(), key_size_, max_keys_);
    page.Format();
    *root = Append(page.data());
    ok = true;
  } else if (plan.even) {
    ok = DealOut(n, plan, keys, root);
  } else {
    used_even_split_ = true;
    // Pages of at most m keys when that still allows two per page, else full pages.
    const uint64_t cap = max_keys_ - 1 >= 2 ? static_cast<uint64_t>(max_keys_ - 1)
                                            : static_cast<uint64_t>(max_keys_);
    int height = 1;
    uint64_t power = cap + 1;
    while (power - 1 < n) {
      ++height;
      power *= cap + 1;
    }
    level_pages_.assign(static_cast<size_t>(height) + 1, std::vector<uint8_t>(kPageSize, 0));
    *root = WriteSplit(n, height, cap, keys);
    ok = !failed_;
  }
  return FlushPages() && ok && !failed_;
}

bool TreeWriter::DealOut(uint64_t n, const TreePlan& plan, SortedKeys& keys, uint32_t* root) {
  const int levels = plan.levels;
  std::vector<PageView> pages;
  for (int j = 0; j <= levels; ++j) {
    pages.emplace_back(level_pages_[static_cast<size_t>(j)].data(), key_size_, max_keys_);
    pages.back().Format();
  }
  std::vector<uint64_t> filled(static_cast<size_t>(levels) + 1, 0);
  uint64_t leaf_index = 0;
  uint32_t recno = 0;
  const uint8_t* key = nullptr;
  for (uint64_t t = 0; t < n; ++t) {
    if (!Take(keys, &recno, &key)) return false;
    PageView& leaf = pages[1];
    if (filled[1] < LeafTarget(plan, leaf_index) || t == n - 1) {
      PutItem(leaf, static_cast<int>(filled[1]++), 0, recno, key);
      continue;
    }
    leaf.set_count(static_cast<int>(filled[1]));
    uint32_t child = Append(leaf.data());
    leaf.Format();
    filled[1] = 0;
    ++leaf_index;
    for (int j = 2; j <= levels; ++j) {
      PageView& page = pages[static_cast<size_t>(j)];
      uint64_t& count = filled[static_cast<size_t>(j)];
      if (count < plan.counts[static_cast<size_t>(j)]) {
        PutItem(page, static_cast<int>(count++), child, recno, key);
        break;
      }
      PutItem(page, static_cast<int>(count), child, 0, nullptr);
      page.set_count(static_cast<int>(count));
      child = Append(page.data());
      page.Format();
      count = 0;
    }
  }
  pages[1].set_count(static_cast<int>(filled[1]));
  uint32_t last = Append(pages[1].data());
  for (int j = 2; j <= levels; ++j) {
    const uint64_t count = filled[static_cast<size_t>(j)];
    if (count == 0) continue;
    PageView& page = pages[static_cast<size_t>(j)];
    PutItem(page, static_cast<int>(count), last, 0, nullptr);
    page.set_count(static_cast<int>(count));
    last = Append(page.data());
  }
  *root = last;
  return true;
}

uint32_t TreeWriter::WriteSplit(uint64_t n, int height, uint64_t cap, SortedKeys& keys) {
  PageView page(level_pages_[static_cast<size_t>(height)].data(), key_size_, max_keys_);
  page.Format();
  uint32_t recno = 0;
  const uint8_t* key = nullptr;
  if (height == 1) {
    for (uint64_t i = 0; i < n; ++i) {
      if (!Take(keys, &recno, &key)) return 0;
      PutItem(page, static_cast<int>(i), 0, recno, key);
    }
    page.set_count(static_cast<int>(n));
    return Append(page.data());
  }
  uint64_t below = 1;  // keys a subtree one level lower holds at most, plus one
  for (int i = 1; i < height; ++i) below *= cap + 1;
  const uint64_t children = std::max<uint64_t>(2, (n + 1 + below - 1) / below);
  const uint64_t spread = n - (children - 1);
  for (uint64_t i = 0; i < children; ++i) {
    const uint64_t share = spread / children + (i < spread % children ? 1 : 0);
    const uint32_t child = WriteSplit(share, height - 1, cap, keys);
    if (failed_) return 0;
    if (i + 1 < children) {
      if (!Take(keys, &recno, &key)) return 0;
      PutItem(page, static_cast<int>(i), child, recno, key);
    } else {
      PutItem(page, static_cast<int>(i), child, 0, nullptr);
    }
  }
  page.set_count(static_cast<int>(children - 1));
  return Append(page.data());
}

}  // namespace px::ntx
