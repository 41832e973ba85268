#include "engine/ntx/page_cache.h"

#include <algorithm>

namespace px::ntx {

PageCache::PageCache(File* file) : file_(file) {
  entries_.reserve(kInitialEntries);
  Grow();
  Grow();
}

void PageCache::Grow() {
  for (int i = 0; i < kGrowth; ++i) {
    entries_.push_back(std::make_unique<Entry>());
    empty_.push_back(entries_.back().get());
  }
}

PageCache::Entry* PageCache::Find(uint32_t offset) {
  const size_t page = offset / kPageSize;
  return page < by_page_.size() ? by_page_[page] : nullptr;
}

void PageCache::Assign(Entry* e, uint32_t offset) {
  if (e->offset != 0) by_page_[e->offset / kPageSize] = nullptr;
  e->offset = offset;
  e->changed = false;
  if (offset != 0) {
    const size_t page = offset / kPageSize;
    if (page >= by_page_.size()) by_page_.resize(std::max(page + 1, by_page_.size() * 2), nullptr);
    by_page_[page] = e;
  } else {
    empty_.push_back(e);
  }
}

PageCache::Entry* PageCache::FreeEntry() {
  while (!empty_.empty()) {
    Entry* e = empty_.back();
    empty_.pop_back();
    if (e->offset == 0 && e->busy == 0) return e;
  }
  if (static_cast<int>(entries_.size()) < keep_limit_) {
    Grow();
    return FreeEntry();
  }
  // Clock: pass over busy entries and clear the mark of those used since the hand last
  // came by; the first unmarked one is reused.
  for (size_t tries = 0; tries < 2 * entries_.size() + 1; ++tries) {
    Entry* e = entries_[hand_].get();
    hand_ = (hand_ + 1) % entries_.size();
    if (e->busy > 0) continue;
    if (e->referenced) {
      e->referenced = false;
      continue;
    }
    return e;
  }
  Grow();
  return FreeEntry();
}

PageCache::Entry* PageCache::Read(uint32_t offset, ReadStatus* status, bool* fresh) {
  *status = ReadStatus::kOk;
  Entry* e = Find(offset);
  *fresh = e == nullptr;
  if (e == nullptr) {
    e = FreeEntry();
    ++reads_;
    const int64_t got = file_->ReadAt(offset, e->data, kPageSize);
    if (got != static_cast<int64_t>(kPageSize)) {
      Assign(e, 0);
      if (got < 0) {
        os_error_ = file_->os_error();
        *status = ReadStatus::kIoError;
      } else {
        *status = ReadStatus::kShort;
      }
      return nullptr;
    }
    Assign(e, offset);
  }
  ++e->busy;
  e->referenced = true;
  return e;
}

PageCache::Entry* PageCache::Claim(uint32_t offset) {
  Entry* e = Find(offset);
  if (e == nullptr) {
    e = FreeEntry();
    Assign(e, offset);
  }
  ++e->busy;
  e->referenced = true;
  return e;
}

bool PageCache::Write(Entry* e) {
  ++writes_;
  if (file_->WriteAt(e->offset, e->data, kPageSize) != static_cast<int64_t>(kPageSize)) {
    os_error_ = file_->os_error();
    return false;
  }
  e->changed = false;
  return true;
}

bool PageCache::Release(Entry* e) {
  if (e->busy > 0) --e->busy;
  if (e->busy == 0 && e->changed) return Write(e);
  return true;
}

bool PageCache::Flush() {
  bool ok = true;
  for (auto& e : entries_) {
    if (e->busy == 0 && e->changed && !Write(e.get())) ok = false;
  }
  return ok;
}

void PageCache::Clear() {
  for (auto& e : entries_) {
    if (e->busy == 0 && e->offset != 0) Assign(e.get(), 0);
  }
}

void PageCache::Forget(uint32_t offset) {
  Entry* e = Find(offset);
  if (e != nullptr && e->busy == 0) Assign(e, 0);
}

int PageCache::busy_count() const {
  int n = 0;
  for (const auto& e : entries_) n += e->busy > 0 ? 1 : 0;
  return n;
}

}  // namespace px::ntx
