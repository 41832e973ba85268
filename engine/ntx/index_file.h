// One open index file: its header, its page cache, page allocation and the index lock.
//
// Pages are used through PageRef handles, which keep the page busy in the cache and
// release it (writing it when changed) when they go away. A page that cannot be read in
// full, or whose count and offset table are not well-formed, yields an empty PageRef;
// the failure is reported through the error sink (subsystem "DBFNTX") and remembered
// for the running operation (op_failed()), so that callers end the operation cleanly.
//
// In a shared file every operation that uses pages runs between Lock() and Unlock():
// Lock takes the index lock (1 exclusive byte at 1,000,000,000, retried until granted),
// re-reads root and free list and recomputes the last page offset; Unlock writes every
// changed page and empties the cache, so no page read under one lock is used under
// another. An exclusive file takes no lock and keeps its pages cached until closed.
#ifndef PX_ENGINE_NTX_INDEX_FILE_H_
#define PX_ENGINE_NTX_INDEX_FILE_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/ntx/ntx_format.h"
#include "engine/ntx/page_cache.h"
#include "runtime/env.h"
#include "runtime/error.h"

namespace px::ntx {

// Sub codes of the errors the index layer raises itself.
constexpr int kSubReadPage = 1010;     // 23 "Read error": the OS failed a page read
constexpr int kSubWritePage = 1011;    // 24 "Write error": the OS failed a page write
constexpr int kSubDamagedPage = 1012;  // 32 "Corruption detected": short or malformed page
constexpr int kSubIndexLock = 1013;    // 41 "Lock Failure": the lock call itself failed
constexpr int kSubTextTooLong = 1014;  // 31 "Limit exceeded": a text does not fit the header

using ErrorSink = std::function<ErrorAnswer(Error&)>;

// Pages an exclusive file keeps cached at most (32 MiB, the leaves of about 1.4 million
// keys of 10 bytes); the cache only grows as pages are used.
constexpr int kExclusiveCachePages = 32768;

class IndexFile;

// A busy page of an IndexFile's cache.
class PageRef {
 public:
  PageRef() = default;
  PageRef(IndexFile* file, PageCache::Entry* entry);
  PageRef(PageRef&& other) noexcept;
  PageRef& operator=(PageRef&& other) noexcept;
  PageRef(const PageRef&) = delete;
  PageRef& operator=(const PageRef&) = delete;
  ~PageRef() { Release(); }

  explicit operator bool() const { return entry_ != nullptr; }
  uint32_t offset() const { return entry_->offset; }
  PageView& page() { return view_; }
  PageView* operator->() { return &view_; }
  // The page will be written when released.
  void MarkChanged() { entry_->changed = true; }
  // Ends the use now; false when writing the page failed.
  bool Release();
  // Ends the use without writing and forgets the page (an allocation undone).
  void Discard();

 private:
  IndexFile* file_ = nullptr;
  PageCache::Entry* entry_ = nullptr;
  PageView view_{nullptr, 0, 0};
};

class IndexFile {
 public:
  // name: the file name used in errors. shared: the table is shared (index lock).
  IndexFile(std::unique_ptr<File> file, std::string name, bool shared);
  ~IndexFile();
  IndexFile(const IndexFile&) = delete;
  IndexFile& operator=(const IndexFile&) = delete;

  // Reads the first 552 bytes of the header; false on a short read or a header whose
  // key size or maximum keys make no sense (nothing raised). Sets the last page offset.
  bool ReadHeader();
  // Takes a header for a file being created (no I/O).
  void SetHeader(const NtxHeader& header);
  // Re-reads root and free list and recomputes the last page offset from the size.
  bool RefreshHeader();
  // Recomputes the last page offset from the file size.
  void RefreshLastPage();
  // Writes the whole header page, or only its first 16 bytes.
  bool WriteHeader(bool full);

  const NtxHeader& header() const { return header_; }
  NtxHeader& mutable_header() { return header_; }
  uint32_t root() const { return header_.root; }
  void set_root(uint32_t root);
  uint32_t last_page() const { return last_page_; }
  bool shared() const { return shared_; }
  const std::string& name() const { return name_; }
  File* file() const { return file_.get(); }
  PageCache& cache() { return cache_; }

  // Pages. ReadPage checks the page (count, offset table, child pointers).
  PageRef ReadPage(uint32_t offset);
  // A formatted empty page from the head of the free list, else appended after the
  // last page. Empty (op_failed) when the free page cannot be read or is not free.
  PageRef NewPage();
  // Puts the page at the head of the free list.
  void FreePage(PageRef& page);

  // Allocation state, so that pages taken for an operation that then fails can be
  // given back.
  struct AllocMark {
    uint32_t free_list;
    uint32_t last_page;
  };
  AllocMark Mark() const { return {header_.free_list, last_page_}; }
  void Restore(const AllocMark& mark);

  // Starts an operation: clears the failure flag.
  void BeginOp() { op_failed_ = false; }
  // Ends an operation: writes the first 16 header bytes when root or free list
  // changed. Returns whether the operation went without failures.
  bool EndOp();
  bool op_failed() const { return op_failed_; }

  // The index lock (shared files only; a no-op that succeeds for exclusive ones).
  bool Lock();
  void Unlock();
  bool locked() const { return locked_; }
  // Counts the times the lock was taken; pages and paths of an earlier count are stale.
  uint64_t lock_generation() const { return lock_generation_; }

  // Writes every changed page; with sync, asks the OS to write its buffers too.
  bool Flush(bool sync = false);

  // Where errors go; by default px::RaiseError.
  void set_error_sink(ErrorSink sink) { sink_ = std::move(sink); }
  // Raises an error of the index layer for this file.
  ErrorAnswer Raise(int gen_code, int sub_code, int os_code, bool can_retry,
                    const std::string& operation = "");
  // Marks the running operation failed after reporting a damaged page.
  void Damaged(uint32_t offset, const std::string& what);

 private:
  friend class PageRef;
  bool ReleaseEntry(PageCache::Entry* entry);

  std::unique_ptr<File> file_;
  std::string name_;
  bool shared_;
  PageCache cache_;
  NtxHeader header_;
  uint32_t last_page_ = 0;
  bool header_changed_ = false;
  bool op_failed_ = false;
  bool locked_ = false;
  uint64_t lock_generation_ = 0;
  ErrorSink sink_;
};

// Holds the index lock of a file for a scope.
class IndexLock {
 public:
  explicit IndexLock(IndexFile* file) : file_(file), ok_(file->Lock()) {}
  ~IndexLock() {
    if (ok_) file_->Unlock();
  }
  IndexLock(const IndexLock&) = delete;
  IndexLock& operator=(const IndexLock&) = delete;
  bool ok() const { return ok_; }

 private:
  IndexFile* file_;
  bool ok_;
};

}  // namespace px::ntx

#endif  // PX_ENGINE_NTX_INDEX_FILE_H_
