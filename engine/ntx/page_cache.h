// The page cache of one open index file.
//
// Entries hold a 1024-byte page with its offset, a busy count (the page is in use by
// the running operation) and a changed flag. Reading a page takes the cached copy when
// there is one, else an entry that holds no page, else (once the cache has as many
// entries as it may keep) one that is not busy and was not used lately, and reads the
// page from the file. The cache starts with 32 entries and grows by 16 when every entry
// is busy, or when it may keep more pages (an exclusive file keeps up to its keep limit
// cached until closed). Releasing
// the last use of a changed page writes it at once, so entries that are not busy never
// hold unwritten changes. A read shorter than a page yields no page.
//
// Entries never move: a page stays at the same address while it is busy.
#ifndef PX_ENGINE_NTX_PAGE_CACHE_H_
#define PX_ENGINE_NTX_PAGE_CACHE_H_

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/ntx/ntx_format.h"
#include "runtime/env.h"

namespace px::ntx {

class PageCache {
 public:
  static constexpr int kInitialEntries = 32;
  static constexpr int kGrowth = 16;

  struct Entry {
    uint32_t offset = 0;  // 0: holds no page
    int busy = 0;
    bool changed = false;
    bool referenced = false;  // used since the clock hand last passed
    alignas(8) uint8_t data[kPageSize];
  };

  enum class ReadStatus { kOk, kShort, kIoError };

  explicit PageCache(File* file);

  // How many pages the cache may keep before it reuses entries (at least 32).
  void set_keep_limit(int pages) {
    keep_limit_ = pages < kInitialEntries ? kInitialEntries : pages;
  }
  PageCache(const PageCache&) = delete;
  PageCache& operator=(const PageCache&) = delete;

  // Marks the page busy and returns its entry; nullptr with *status set when it could
  // not be read in full (kShort) or the read failed (kIoError, see os_error()).
  // *fresh tells whether the page came from the file rather than the cache.
  Entry* Read(uint32_t offset, ReadStatus* status, bool* fresh);
  // An entry for a page that is not read from the file (a new page): busy, contents
  // as cached or unspecified; the caller formats it and marks it changed.
  Entry* Claim(uint32_t offset);
  // Ends one use of the entry; writes it when this was the last use and it changed.
  // False when that write failed (the entry stays changed).
  bool Release(Entry* entry);
  // Writes every changed page that is not busy. False when a write failed.
  bool Flush();
  // Forgets every page that is not busy, written or not.
  void Clear();
  // Forgets one cached page (when it turned out damaged).
  void Forget(uint32_t offset);

  int size() const { return static_cast<int>(entries_.size()); }
  int busy_count() const;
  int os_error() const { return os_error_; }
  // File reads and writes done so far (tests and benchmarks).
  uint64_t reads() const { return reads_; }
  uint64_t writes() const { return writes_; }

 private:
  Entry* Find(uint32_t offset);
  Entry* FreeEntry();
  void Grow();
  void Assign(Entry* e, uint32_t offset);
  bool Write(Entry* e);

  File* file_;
  std::vector<std::unique_ptr<Entry>> entries_;
  std::vector<Entry*> by_page_;  // page number (offset / 1024) -> entry
  std::vector<Entry*> empty_;    // entries holding no page
  size_t hand_ = 0;              // clock hand for reuse
  int keep_limit_ = kInitialEntries;
  int os_error_ = 0;
  uint64_t reads_ = 0;
  uint64_t writes_ = 0;
};

}  // namespace px::ntx

#endif  // PX_ENGINE_NTX_PAGE_CACHE_H_
