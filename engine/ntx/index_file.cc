#include "engine/ntx/index_file.h"

#include <utility>

namespace px::ntx {

// --- PageRef ---

PageRef::PageRef(IndexFile* file, PageCache::Entry* entry)
    : file_(file),
      entry_(entry),
      view_(entry->data, file->header().key_size, file->header().max_keys) {}

PageRef::PageRef(PageRef&& other) noexcept
    : file_(other.file_), entry_(other.entry_), view_(other.view_) {
  other.entry_ = nullptr;
}

PageRef& PageRef::operator=(PageRef&& other) noexcept {
  if (this != &other) {
    Release();
    file_ = other.file_;
    entry_ = other.entry_;
    view_ = other.view_;
    other.entry_ = nullptr;
  }
  return *this;
}

bool PageRef::Release() {
  if (entry_ == nullptr) return true;
  PageCache::Entry* e = entry_;
  entry_ = nullptr;
  return file_->ReleaseEntry(e);
}

void PageRef::Discard() {
  if (entry_ == nullptr) return;
  PageCache::Entry* e = entry_;
  entry_ = nullptr;
  e->changed = false;
  file_->cache_.Release(e);
  file_->cache_.Forget(e->offset);
}

// --- IndexFile ---

IndexFile::IndexFile(std::unique_ptr<File> file, std::string name, bool shared)
    : file_(std::move(file)), name_(std::move(name)), shared_(shared), cache_(file_.get()) {
  // An exclusive file keeps its pages until closed; a shared one empties its cache at
  // every unlock, so it never needs more than the pages of one operation.
  if (!shared_) cache_.set_keep_limit(kExclusiveCachePages);
}

IndexFile::~IndexFile() {
  if (locked_) Unlock();
  cache_.Flush();
}

bool IndexFile::ReadHeader() {
  uint8_t bytes[kHeaderReadSize];
  if (file_->ReadAt(0, bytes, sizeof bytes) != static_cast<int64_t>(sizeof bytes)) return false;
  NtxHeader h;
  if (!DecodeHeader(bytes, &h)) return false;
  header_ = std::move(h);
  RefreshLastPage();
  header_changed_ = false;
  return true;
}

void IndexFile::RefreshLastPage() {
  const int64_t size = file_->Size();
  last_page_ = size >= static_cast<int64_t>(kPageSize)
                   ? static_cast<uint32_t>((size - kPageSize) / kPageSize * kPageSize)
                   : 0;
}

void IndexFile::SetHeader(const NtxHeader& header) {
  header_ = header;
  header_changed_ = false;
}

void IndexFile::set_root(uint32_t root) {
  header_.root = root;
  header_changed_ = true;
}

bool IndexFile::RefreshHeader() {
  uint8_t bytes[kHeaderStartSize];
  for (;;) {
    const int64_t got = file_->ReadAt(0, bytes, sizeof bytes);
    if (got == static_cast<int64_t>(sizeof bytes)) break;
    if (got >= 0) {
      Damaged(0, "the header is cut short");
      return false;
    }
    if (!Raise(kErrRead, kSubReadPage, file_->os_error(), true).retry()) {
      op_failed_ = true;
      return false;
    }
  }
  DecodeHeaderStart(bytes, &header_.root, &header_.free_list);
  RefreshLastPage();
  header_changed_ = false;
  return true;
}

bool IndexFile::WriteHeader(bool full) {
  uint8_t page[kPageSize];
  size_t n = kHeaderStartSize;
  if (full) {
    if (!EncodeHeader(header_, page)) {
      Raise(kErrLimit, kSubTextTooLong, 0, false);
      op_failed_ = true;
      return false;
    }
    n = kPageSize;
  } else {
    EncodeHeaderStart(header_, page);
  }
  while (file_->WriteAt(0, page, n) != static_cast<int64_t>(n)) {
    if (!Raise(kErrWrite, kSubWritePage, file_->os_error(), true).retry()) {
      op_failed_ = true;
      return false;
    }
  }
  header_changed_ = false;
  return true;
}

ErrorAnswer IndexFile::Raise(int gen_code, int sub_code, int os_code, bool can_retry,
                             const std::string& operation) {
  Error e = Error::Make("DBFNTX", gen_code, sub_code);
  e.os_code = os_code;
  e.filename = name_;
  e.operation = operation;
  e.can_retry = can_retry;
  e.can_default = true;
  return sink_ ? sink_(e) : RaiseError(e);
}

void IndexFile::Damaged(uint32_t offset, const std::string& what) {
  op_failed_ = true;
  Raise(kErrCorruption, kSubDamagedPage, 0, false, "page " + std::to_string(offset) + ": " + what);
}

PageRef IndexFile::ReadPage(uint32_t offset) {
  if (offset < kPageSize || offset % kPageSize != 0) {
    Damaged(offset, "not a page offset");
    return PageRef();
  }
  for (;;) {
    PageCache::ReadStatus status;
    bool fresh = false;
    PageCache::Entry* e = cache_.Read(offset, &status, &fresh);
    if (e != nullptr) {
      PageRef ref(this, e);
      if (fresh) {
        const std::string problem = ref->Check();
        if (!problem.empty()) {
          ref.Discard();
          Damaged(offset, problem);
          return PageRef();
        }
      }
      return ref;
    }
    if (status == PageCache::ReadStatus::kShort) {
      Damaged(offset, "cannot be read in full");
      return PageRef();
    }
    if (!Raise(kErrRead, kSubReadPage, cache_.os_error(), true).retry()) {
      op_failed_ = true;
      return PageRef();
    }
  }
}

PageRef IndexFile::NewPage() {
  if (header_.free_list != 0) {
    const uint32_t offset = header_.free_list;
    PageRef page = ReadPage(offset);
    if (!page) return page;
    if (page->count() != 0) {
      page.Release();
      Damaged(offset, "is on the free list but holds keys");
      return PageRef();
    }
    header_.free_list = page->child(0);
    header_changed_ = true;
    page->Format();
    page.MarkChanged();
    return page;
  }
  last_page_ += kPageSize;
  PageRef page(this, cache_.Claim(last_page_));
  page->Format();
  page.MarkChanged();
  return page;
}

void IndexFile::FreePage(PageRef& page) {
  page->set_count(0);
  page->set_child(0, header_.free_list);
  page.MarkChanged();
  header_.free_list = page.offset();
  header_changed_ = true;
}

void IndexFile::Restore(const AllocMark& mark) {
  header_.free_list = mark.free_list;
  last_page_ = mark.last_page;
}

bool IndexFile::ReleaseEntry(PageCache::Entry* e) {
  for (;;) {
    if (cache_.Release(e)) return true;
    if (!Raise(kErrWrite, kSubWritePage, cache_.os_error(), true).retry()) {
      // Given up: forget the page so that the file's own copy is read next time.
      op_failed_ = true;
      cache_.Forget(e->offset);
      return false;
    }
    ++e->busy;  // take the use back and write it again
  }
}

bool IndexFile::EndOp() {
  if (header_changed_) WriteHeader(false);
  return !op_failed_;
}

bool IndexFile::Lock() {
  if (!shared_) return true;
  if (locked_) return true;
  for (int tries = 0;; ++tries) {
    if (file_->Lock(kIndexLockOffset, 1, true, false)) break;
    if (file_->os_error() != kOsLockViolation) {
      if (!Raise(kErrLock, kSubIndexLock, file_->os_error(), true).retry()) return false;
      continue;
    }
    // Another process holds it: retry at once for a while, then with short pauses so
    // that a long hold does not burn the processor.
    if (tries >= 1000) GetEnv()->SleepMicros(1000);
  }
  locked_ = true;
  ++lock_generation_;
  cache_.Clear();
  if (!RefreshHeader()) {
    Unlock();
    return false;
  }
  return true;
}

void IndexFile::Unlock() {
  if (!locked_) return;
  if (header_changed_) WriteHeader(false);
  Flush();
  cache_.Clear();
  file_->Unlock(kIndexLockOffset, 1);
  locked_ = false;
}

bool IndexFile::Flush(bool sync) {
  bool ok = true;
  while (!cache_.Flush()) {
    if (!Raise(kErrWrite, kSubWritePage, cache_.os_error(), true).retry()) {
      cache_.Clear();
      ok = false;
      break;
    }
  }
  if (sync && !file_->Sync()) ok = false;
  return ok;
}

}  // namespace px::ntx
