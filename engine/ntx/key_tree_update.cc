// Insertion with page splits and removal with rebalancing.
//
// Insertion reads every page of its path and takes every new page it will need before
// it changes anything, so a failure leaves the tree as it was. Removal changes pages
// level by level, each step leaving a valid tree, so a neighbour that cannot be read
// only leaves a page less than half full.
#include <cstring>

#include "engine/ntx/key_tree.h"

namespace px::ntx {

namespace {

// First slot whose key is greater than `key`: equal keys go after the existing ones.
int UpperBound(const PageView& p, const KeyCompare& cmp, const uint8_t* key) {
  int lo = 0;
  int hi = p.count();
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    if (cmp.Keys(key, p.key(mid)) >= 0) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo;
}

// One key with its child pointer, held outside any page.
struct Item {
  uint32_t child = 0;
  uint32_t recno = 0;
  uint8_t key[kMaxKeySize];

  void From(const PageView& p, int slot) {
    child = p.child(slot);
    recno = p.recno(slot);
    std::memcpy(key, p.key(slot), static_cast<size_t>(p.key_size()));
  }
};

// Splits the full page `page` while inserting `carry` at `slot`: the lower half goes to
// the fresh page `left`, the middle key comes back in `carry` with `left` as its child,
// the upper half stays in `page`.
void Split(PageView& page, int slot, Item* carry, PageView& left, uint32_t left_offset) {
  const int max = page.max_keys();
  const int half = max / 2;
  // Key j of the max + 1 keys in order, the new one included.
  auto at = [&](int j, Item* out) {
    if (j < slot) {
      out->From(page, j);
    } else if (j == slot) {
      *out = *carry;
    } else {
      out->From(page, j - 1);
    }
  };
  Item it;
  for (int j = 0; j < half; ++j) {
    at(j, &it);
    left.InsertAt(j, it.child, it.recno, it.key);
  }
  Item up;
  at(half, &up);
  left.set_child(half, up.child);
  if (slot <= half) {
    page.RemoveFront(half);
  } else {
    page.RemoveFront(half + 1);
    page.InsertAt(slot - half - 1, carry->child, carry->recno, carry->key);
  }
  *carry = up;
  carry->child = left_offset;
}

}  // namespace

bool KeyTree::Insert(const uint8_t* key, uint32_t recno) {
  file_->BeginOp();
  path_valid_ = false;
  std::vector<PageRef> pages;
  std::vector<int> slots;
  uint32_t offset = file_->root();
  for (;;) {
    PageRef page = Read(offset);
    if (!page) return file_->EndOp() && false;
    const int n = page->count();
    if (n == 0) {
      if (!pages.empty()) {
        file_->Damaged(offset, "a page below the root holds no keys");
        return file_->EndOp() && false;
      }
      // An empty root takes the key in slot 0; a stale child pointer is dropped.
      page->set_child(0, 0);
      page->InsertAt(0, 0, recno, key);
      page.MarkChanged();
      page.Release();
      if (count_known_) ++count_;
      return file_->EndOp();
    }
    const int slot = UpperBound(page.page(), cmp_, key);
    const uint32_t child = page->child(slot);
    pages.push_back(std::move(page));
    slots.push_back(slot);
    if (child == 0) break;
    if (static_cast<int>(pages.size()) >= kMaxDepth) {
      file_->Damaged(child, "the tree is deeper than any valid tree (a cycle of pages)");
      return file_->EndOp() && false;
    }
    offset = child;
  }

  // Every full page from the leaf up splits; a full root also needs a new root.
  const int depth = static_cast<int>(pages.size());
  int splits = 0;
  while (splits < depth && pages[static_cast<size_t>(depth - 1 - splits)]->full()) ++splits;
  const int needed = splits + (splits == depth ? 1 : 0);
  const IndexFile::AllocMark mark = file_->Mark();
  std::vector<PageRef> fresh;
  for (int i = 0; i < needed; ++i) {
    PageRef p = file_->NewPage();
    if (!p) {
      for (PageRef& f : fresh) f.Discard();
      file_->Restore(mark);
      return file_->EndOp() && false;
    }
    fresh.push_back(std::move(p));
  }

  Item carry;
  carry.child = 0;
  carry.recno = recno;
  std::memcpy(carry.key, key, static_cast<size_t>(cmp_.key_size));
  size_t next_fresh = 0;
  for (int level = depth - 1;; --level) {
    PageRef& page = pages[static_cast<size_t>(level)];
    const int slot = slots[static_cast<size_t>(level)];
    page.MarkChanged();
    if (!page->full()) {
      page->InsertAt(slot, carry.child, carry.recno, carry.key);
      break;
    }
    PageRef& left = fresh[next_fresh++];
    Split(page.page(), slot, &carry, left.page(), left.offset());
    if (level == 0) {
      PageRef& root = fresh[next_fresh++];
      root->InsertAt(0, carry.child, carry.recno, carry.key);
      root->set_child(1, page.offset());
      file_->set_root(root.offset());
      break;
    }
  }
  for (PageRef& f : fresh) f.Release();
  for (PageRef& p : pages) p.Release();
  if (count_known_) ++count_;
  return file_->EndOp();
}

KeyTree::Removed KeyTree::Remove(const uint8_t* key, uint32_t recno) {
  const Found found = Find(key, recno);
  path_valid_ = false;
  if (found == Found::kFailed) return Removed::kFailed;
  if (found != Found::kEqual) return Removed::kNotFound;

  std::vector<PageRef> pages;
  std::vector<int> slots;
  for (const PathEntry& e : path_) {
    PageRef p = Read(e.page);
    if (!p) {
      file_->EndOp();
      return Removed::kFailed;
    }
    pages.push_back(std::move(p));
    slots.push_back(e.slot);
  }

  // A key of an inner page is replaced by the greatest key of its left subtree, which
  // is then removed from its leaf.
  const size_t top = pages.size() - 1;
  if (!pages[top]->is_leaf()) {
    uint32_t child = pages[top]->child(slots[top]);
    while (child != 0) {
      if (static_cast<int>(pages.size()) >= kMaxDepth) {
        file_->Damaged(child, "the tree is deeper than any valid tree (a cycle of pages)");
        file_->EndOp();
        return Removed::kFailed;
      }
      PageRef p = Read(child);
      if (!p) {
        file_->EndOp();
        return Removed::kFailed;
      }
      const int n = p->count();
      if (n == 0) {
        file_->Damaged(child, "a page below the root holds no keys");
        file_->EndOp();
        return Removed::kFailed;
      }
      child = p->child(n);
      slots.push_back(child == 0 ? n - 1 : n);
      pages.push_back(std::move(p));
    }
    PageRef& leaf = pages.back();
    const int last = leaf->count() - 1;
    pages[top]->SetKey(slots[top], leaf->recno(last), leaf->key(last));
    pages[top].MarkChanged();
  }
  PageRef& leaf = pages.back();
  leaf->RemoveAt(slots.back());
  leaf.MarkChanged();
  if (count_known_) --count_;

  const int half = file_->header().half_page();
  for (size_t level = pages.size() - 1; level > 0; --level) {
    PageRef& cur = pages[level];
    if (cur->count() >= half) break;
    PageRef& parent = pages[level - 1];
    const int ci = slots[level - 1];
    const int pn = parent->count();
    if (pn == 0) break;
    const int si = ci < pn ? ci + 1 : ci - 1;
    PageRef sibling = Read(parent->child(si));
    if (!sibling) break;  // the tree stays valid, with one page less than half full
    const bool sibling_right = si > ci;
    PageView& left = sibling_right ? cur.page() : sibling.page();
    PageView& right = sibling_right ? sibling.page() : cur.page();
    const int sep = sibling_right ? ci : si;
    parent.MarkChanged();
    cur.MarkChanged();
    sibling.MarkChanged();
    if (sibling->count() > half) {
      // Move keys through the parent until both pages hold about half.
      const int target = (left.count() + right.count()) / 2;
      while (left.count() < target) {
        const int nl = left.count();
        left.InsertAt(nl, left.child(nl), parent->recno(sep), parent->key(sep));
        left.set_child(nl + 1, right.child(0));
        parent->SetKey(sep, right.recno(0), right.key(0));
        right.RemoveAt(0);
      }
      while (left.count() > target) {
        const int nl = left.count();
        right.InsertAt(0, left.child(nl), parent->recno(sep), parent->key(sep));
        parent->SetKey(sep, left.recno(nl - 1), left.key(nl - 1));
        const uint32_t keep = left.child(nl - 1);
        left.RemoveAt(nl - 1);
        left.set_child(nl - 1, keep);
      }
      break;
    }
    // Merge the right page and the separating key into the left page.
    const int nl = left.count();
    const int nr = right.count();
    left.InsertAt(nl, left.child(nl), parent->recno(sep), parent->key(sep));
    for (int j = 0; j < nr; ++j) {
      left.InsertAt(nl + 1 + j, right.child(j), right.recno(j), right.key(j));
    }
    left.set_child(nl + 1 + nr, right.child(nr));
    const uint32_t left_offset = sibling_right ? cur.offset() : sibling.offset();
    parent->RemoveAt(sep);
    parent->set_child(sep, left_offset);
    if (sibling_right) {
      file_->FreePage(sibling);
    } else {
      file_->FreePage(cur);
    }
    if (level - 1 == 0 && parent->count() == 0) {
      // The root lost its last key: its only child becomes the root.
      file_->set_root(left_offset);
      file_->FreePage(parent);
      break;
    }
  }
  for (PageRef& p : pages) p.Release();
  return file_->EndOp() ? Removed::kOk : Removed::kFailed;
}

}  // namespace px::ntx
