// Searching, stepping, counting and emptying (insertion and removal are in
// key_tree_update.cc).
#include "engine/ntx/key_tree.h"

#include <cstring>

namespace px::ntx {

namespace {

// First slot whose key is not smaller than the search bytes; moves left over equal keys
// in case the comparison is not monotone (prefix matching of odd bytes).
int LowerBound(const PageView& p, const KeyCompare& cmp, const uint8_t* bytes, size_t n,
               bool exact) {
  int lo = 0;
  int hi = p.count();
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    if (cmp.Search(bytes, n, p.key(mid), exact) > 0) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  while (lo > 0 && lo < p.count() && cmp.Search(bytes, n, p.key(lo - 1), exact) == 0) --lo;
  return lo;
}

}  // namespace

KeyTree::KeyTree(std::unique_ptr<IndexFile> file) : file_(std::move(file)) {
  cmp_.key_size = file_->header().key_size;
  cmp_.descending = file_->header().descending;
}

PageRef KeyTree::ReadRoot(bool* empty) {
  *empty = false;
  PageRef root = Read(file_->root());
  // A keyless root is an empty order, whatever its child pointer says.
  if (root && root->count() == 0) *empty = true;
  return root;
}

bool KeyTree::Push(uint32_t page, int slot) {
  if (static_cast<int>(path_.size()) >= kMaxDepth) {
    file_->Damaged(page, "the tree is deeper than any valid tree (a cycle of pages)");
    return false;
  }
  path_.push_back({page, slot});
  return true;
}

bool KeyTree::PathUsable() const {
  return path_valid_ && !path_.empty() &&
         (!file_->shared() || path_lock_ == file_->lock_generation());
}

void KeyTree::PathBuilt() {
  path_valid_ = true;
  path_lock_ = file_->lock_generation();
}

void KeyTree::Capture() {
  const PathEntry& top = path_.back();
  PageRef p = Read(top.page);
  if (!p) return;
  current_.page = top.page;
  current_.recno = p->recno(top.slot);
  current_.key.assign(reinterpret_cast<const char*>(p->key(top.slot)),
                      static_cast<size_t>(cmp_.key_size));
  PathBuilt();
}

void KeyTree::SetCurrent(std::string key, uint32_t recno) {
  current_.page = 0;
  current_.recno = recno;
  current_.key = std::move(key);
  path_valid_ = false;
}

void KeyTree::ForgetCurrent() {
  current_ = CurrentKey();
  path_valid_ = false;
}

KeyTree::Step KeyTree::DescendLeft(uint32_t child) {
  while (child != 0) {
    PageRef p = Read(child);
    if (!p) return Step::kFailed;
    if (p->count() == 0) {
      file_->Damaged(child, "a page below the root holds no keys");
      return Step::kFailed;
    }
    if (!Push(child, 0)) return Step::kFailed;
    child = p->child(0);
  }
  return Step::kKey;
}

KeyTree::Step KeyTree::DescendRight(uint32_t child) {
  while (child != 0) {
    PageRef p = Read(child);
    if (!p) return Step::kFailed;
    const int n = p->count();
    if (n == 0) {
      file_->Damaged(child, "a page below the root holds no keys");
      return Step::kFailed;
    }
    const uint32_t next = p->child(n);
    if (!Push(child, next == 0 ? n - 1 : n)) return Step::kFailed;
    child = next;
  }
  return Step::kKey;
}

KeyTree::Step KeyTree::NextOnPath() {
  {
    PathEntry& top = path_.back();
    PageRef p = Read(top.page);
    if (!p) return Step::kFailed;
    if (!p->is_leaf()) {
      ++top.slot;
      return DescendLeft(p->child(top.slot));
    }
    if (top.slot + 1 < p->count()) {
      ++top.slot;
      return Step::kKey;
    }
  }
  path_.pop_back();
  while (!path_.empty()) {
    const PathEntry& t = path_.back();
    PageRef q = Read(t.page);
    if (!q) return Step::kFailed;
    if (t.slot < q->count()) return Step::kKey;
    path_.pop_back();
  }
  return Step::kEnd;
}

KeyTree::Step KeyTree::PrevOnPath() {
  {
    PathEntry& top = path_.back();
    PageRef p = Read(top.page);
    if (!p) return Step::kFailed;
    if (!p->is_leaf()) return DescendRight(p->child(top.slot));
    if (top.slot > 0) {
      --top.slot;
      return Step::kKey;
    }
  }
  path_.pop_back();
  while (!path_.empty()) {
    PathEntry& t = path_.back();
    if (t.slot > 0) {
      --t.slot;
      return Step::kKey;
    }
    path_.pop_back();
  }
  return Step::kEnd;
}

KeyTree::Found KeyTree::Search(const uint8_t* bytes, size_t n, bool exact, const Accept& accept) {
  file_->BeginOp();
  path_.clear();
  path_valid_ = false;
  bool empty = false;
  PageRef page = ReadRoot(&empty);
  if (!page) return Found::kFailed;
  if (empty) return Found::kNone;
  uint32_t offset = file_->root();
  Step step = Step::kKey;
  for (;;) {
    page->Prefetch();
    const int slot = LowerBound(page.page(), cmp_, bytes, n, exact);
    if (!Push(offset, slot)) return Found::kFailed;
    const uint32_t child = page->child(slot);
    if (child == 0) {
      if (slot >= page->count()) {
        page.Release();
        // Past the end of the leaf: the next key is up the path.
        path_.pop_back();
        step = Step::kEnd;
        while (!path_.empty()) {
          const PathEntry& t = path_.back();
          PageRef q = Read(t.page);
          if (!q) return Found::kFailed;
          if (t.slot < q->count()) {
            step = Step::kKey;
            break;
          }
          path_.pop_back();
        }
      }
      break;
    }
    offset = child;
    page = Read(child);
    if (!page) return Found::kFailed;
    if (page->count() == 0) {
      file_->Damaged(child, "a page below the root holds no keys");
      return Found::kFailed;
    }
  }
  page.Release();
  while (step == Step::kKey) {
    const PathEntry& top = path_.back();
    PageRef p = Read(top.page);
    if (!p) return Found::kFailed;
    const uint32_t recno = p->recno(top.slot);
    const int c = cmp_.Search(bytes, n, p->key(top.slot), exact);
    p.Release();
    if (!accept || accept(recno)) {
      Capture();
      if (file_->op_failed()) return Found::kFailed;
      return c == 0 ? Found::kEqual : Found::kGreater;
    }
    step = NextOnPath();
  }
  path_.clear();
  return step == Step::kFailed ? Found::kFailed : Found::kNone;
}

KeyTree::Found KeyTree::FindOnPath(const uint8_t* key, uint32_t recno) {
  // The path names the first key not smaller than `key`; walk the equal keys.
  for (;;) {
    const PathEntry& top = path_.back();
    PageRef p = Read(top.page);
    if (!p) return Found::kFailed;
    if (cmp_.Keys(key, p->key(top.slot)) != 0) return Found::kNone;
    if (p->recno(top.slot) == recno) return Found::kEqual;
    p.Release();
    const Step step = NextOnPath();
    if (step == Step::kFailed) return Found::kFailed;
    if (step == Step::kEnd) return Found::kNone;
  }
}

KeyTree::Found KeyTree::Find(const uint8_t* key, uint32_t recno) {
  const Found first = Search(key, static_cast<size_t>(cmp_.key_size), true);
  if (first == Found::kFailed) return Found::kFailed;
  if (first != Found::kEqual) {
    path_valid_ = false;
    return Found::kNone;
  }
  const Found found = FindOnPath(key, recno);
  if (found == Found::kEqual) {
    Capture();
    if (file_->op_failed()) return Found::kFailed;
  } else {
    path_valid_ = false;
  }
  return found;
}

KeyTree::Step KeyTree::First() {
  file_->BeginOp();
  path_.clear();
  path_valid_ = false;
  bool empty = false;
  PageRef root = ReadRoot(&empty);
  if (!root) return Step::kFailed;
  if (empty) return Step::kEnd;
  root.Release();
  const Step step = DescendLeft(file_->root());
  if (step == Step::kKey) Capture();
  return file_->op_failed() ? Step::kFailed : step;
}

KeyTree::Step KeyTree::Last() {
  file_->BeginOp();
  path_.clear();
  path_valid_ = false;
  bool empty = false;
  PageRef root = ReadRoot(&empty);
  if (!root) return Step::kFailed;
  if (empty) return Step::kEnd;
  root.Release();
  const Step step = DescendRight(file_->root());
  if (step == Step::kKey) Capture();
  return file_->op_failed() ? Step::kFailed : step;
}

KeyTree::Step KeyTree::Locate() {
  if (PathUsable()) {
    const PathEntry& top = path_.back();
    PageRef p = Read(top.page);
    if (!p) return Step::kFailed;
    if (top.page == current_.page && top.slot < p->count() &&
        p->recno(top.slot) == current_.recno &&
        current_.key.size() == static_cast<size_t>(cmp_.key_size) &&
        std::memcmp(p->key(top.slot), current_.key.data(), current_.key.size()) == 0) {
      return Step::kKey;
    }
  }
  if (current_.key.size() != static_cast<size_t>(cmp_.key_size)) return Step::kLost;
  const std::string key = current_.key;
  switch (Find(reinterpret_cast<const uint8_t*>(key.data()), current_.recno)) {
    case Found::kEqual:
      return Step::kKey;
    case Found::kFailed:
      return Step::kFailed;
    default:
      return Step::kLost;
  }
}

KeyTree::Step KeyTree::Next() {
  file_->BeginOp();
  Step step = Locate();
  if (step != Step::kKey) return step;
  step = NextOnPath();
  if (step == Step::kKey) {
    Capture();
  } else {
    path_valid_ = false;
  }
  return file_->op_failed() ? Step::kFailed : step;
}

KeyTree::Step KeyTree::Prev() {
  file_->BeginOp();
  Step step = Locate();
  if (step != Step::kKey) return step;
  step = PrevOnPath();
  if (step == Step::kKey) {
    Capture();
  } else {
    path_valid_ = false;
  }
  return file_->op_failed() ? Step::kFailed : step;
}

bool KeyTree::CountBelow(uint32_t page, int depth, uint64_t* budget, uint64_t* out) {
  if (depth >= kMaxDepth || *budget == 0) {
    file_->Damaged(page, "more pages are reachable than the file holds (a cycle of pages)");
    return false;
  }
  --*budget;
  PageRef p = Read(page);
  if (!p) return false;
  const int n = p->count();
  if (n == 0 && depth > 0) {
    file_->Damaged(page, "a page below the root holds no keys");
    return false;
  }
  *out += static_cast<uint64_t>(n);
  if (n == 0 || p->is_leaf()) return true;
  std::vector<uint32_t> children(static_cast<size_t>(n) + 1);
  for (int i = 0; i <= n; ++i) children[static_cast<size_t>(i)] = p->child(i);
  p.Release();
  for (uint32_t c : children) {
    if (!CountBelow(c, depth + 1, budget, out)) return false;
  }
  return true;
}

bool KeyTree::Count(uint32_t* out) {
  if (count_known_ && !file_->shared()) {
    *out = count_;
    return true;
  }
  file_->BeginOp();
  uint64_t budget = file_->last_page() / kPageSize;
  uint64_t total = 0;
  bool empty = false;
  PageRef root = ReadRoot(&empty);
  if (!root) return false;
  root.Release();
  if (!empty && !CountBelow(file_->root(), 0, &budget, &total)) return false;
  *out = static_cast<uint32_t>(total);
  count_ = *out;
  count_known_ = true;
  return true;
}

bool KeyTree::Position(uint32_t* out) {
  file_->BeginOp();
  if (Locate() != Step::kKey) return false;
  const std::vector<PathEntry> path = path_;
  uint64_t pos = 0;
  uint64_t budget = file_->last_page() / kPageSize;
  for (size_t level = 0; level < path.size(); ++level) {
    const bool top = level + 1 == path.size();
    PageRef p = Read(path[level].page);
    if (!p) return false;
    const int slot = path[level].slot;
    pos += static_cast<uint64_t>(slot);
    if (p->is_leaf()) continue;
    const int last_child = top ? slot : slot - 1;
    std::vector<uint32_t> children;
    for (int i = 0; i <= last_child; ++i) children.push_back(p->child(i));
    p.Release();
    for (uint32_t c : children) {
      if (!CountBelow(c, static_cast<int>(level) + 1, &budget, &pos)) return false;
    }
  }
  *out = static_cast<uint32_t>(pos + 1);
  return true;
}

bool KeyTree::Zap() {
  file_->BeginOp();
  path_.clear();
  path_valid_ = false;
  current_ = CurrentKey();
  file_->Flush();
  file_->cache().Clear();
  uint8_t data[kPageSize];
  PageView page(data, cmp_.key_size, file_->header().max_keys);
  page.Format();
  File* f = file_->file();
  if (f->WriteAt(kPageSize, data, kPageSize) != static_cast<int64_t>(kPageSize) ||
      !f->Truncate(2 * kPageSize)) {
    file_->Raise(kErrWrite, kSubWritePage, f->os_error(), false);
    return false;
  }
  file_->set_root(kPageSize);
  file_->mutable_header().free_list = 0;
  file_->RefreshLastPage();
  count_known_ = true;
  count_ = 0;
  return file_->EndOp();
}

}  // namespace px::ntx
