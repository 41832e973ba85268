#include "engine/ntx/page_cache.h"

namespace px::ntx {

PageCache::PageCache(File* file) : file_(file) {
  entries_.reserve(kInitialEntries);
  for (int i = 0; i < kInitialEntries; ++i) entries_.push_back(std::make_unique<Entry>());
}

PageCache::Entry* PageCache::Find(uint32_t offset) {
  for (auto& e : entries_) {
    if (e->offset == offset) return e.get();
  }
  return nullptr;
}

PageCache::Entry* PageCache::FreeEntry() {
  Entry* best = nullptr;
  for (auto& e : entries_) {
    if (e->busy > 0) continue;
    if (e->offset == 0) return e.get();
    if (best == nullptr || e->last_use < best->last_use) best = e.get();
  }
  if (best != nullptr) return best;
  const size_t first_new = entries_.size();
  for (int i = 0; i < kGrowth; ++i) entries_.push_back(std::make_unique<Entry>());
  return entries_[first_new].get();
}

PageCache::Entry* PageCache::Read(uint32_t offset, ReadStatus* status, bool* fresh) {
  *status = ReadStatus::kOk;
  Entry* e = Find(offset);
  *fresh = e == nullptr;
  if (e == nullptr) {
    e = FreeEntry();
    e->offset = 0;
    e->changed = false;
    ++reads_;
    const int64_t got = file_->ReadAt(offset, e->data, kPageSize);
    if (got != static_cast<int64_t>(kPageSize)) {
      if (got < 0) {
        os_error_ = file_->os_error();
        *status = ReadStatus::kIoError;
      } else {
        *status = ReadStatus::kShort;
      }
      return nullptr;
    }
    e->offset = offset;
  }
  ++e->busy;
  e->last_use = ++clock_;
  return e;
}

PageCache::Entry* PageCache::Claim(uint32_t offset) {
  Entry* e = Find(offset);
  if (e == nullptr) {
    e = FreeEntry();
    e->offset = offset;
    e->changed = false;
  }
  ++e->busy;
  e->last_use = ++clock_;
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
    if (e->busy == 0) {
      e->offset = 0;
      e->changed = false;
    }
  }
}

void PageCache::Forget(uint32_t offset) {
  Entry* e = Find(offset);
  if (e != nullptr && e->busy == 0) {
    e->offset = 0;
    e->changed = false;
  }
}

int PageCache::busy_count() const {
  int n = 0;
  for (const auto& e : entries_) n += e->busy > 0 ? 1 : 0;
  return n;
}

}  // namespace px::ntx
