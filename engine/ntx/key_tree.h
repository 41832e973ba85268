// The key tree of one index file: searching, stepping, inserting, removing, counting.
//
// A KeyTree owns its IndexFile, the path stack ((page, slot) from the root to the key
// last reached) and the current key (page, record number and key bytes). Keys with
// equal bytes keep the order in which they were inserted; a key is named exactly by its
// bytes and its record number.
//
// Operations on a shared file must run while the caller holds the index lock
// (IndexFile::Lock). A path built under one lock is never used under another: stepping
// then finds the current key again from the root.
//
// Every operation ends cleanly when a page on its way cannot be read in full or is
// damaged: the failure is reported through the file's error sink and the operation
// answers kFailed (or false) without having changed anything it could not finish. A
// removal whose rebalancing is cut short that way leaves a valid tree.
//
// A root left without keys by a removal is replaced by its only child, so a keyless
// root always means an empty order.
#ifndef PX_ENGINE_NTX_KEY_TREE_H_
#define PX_ENGINE_NTX_KEY_TREE_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/ntx/index_file.h"
#include "engine/ntx/ntx_key.h"

namespace px::ntx {

struct CurrentKey {
  uint32_t page = 0;  // 0: not known
  uint32_t recno = 0;
  std::string key;
};

class KeyTree {
 public:
  enum class Found { kEqual, kGreater, kNone, kFailed };
  enum class Step { kKey, kEnd, kLost, kFailed };
  enum class Removed { kOk, kNotFound, kFailed };

  // Whether the caller accepts the record of a key met by a search.
  using Accept = std::function<bool(uint32_t recno)>;

  explicit KeyTree(std::unique_ptr<IndexFile> file);

  IndexFile& file() { return *file_; }
  const KeyCompare& compare() const { return cmp_; }
  int key_size() const { return cmp_.key_size; }

  // The first key not smaller than the n search bytes (prefix matching unless exact),
  // passing over keys whose record `accept` refuses (none when accept is empty).
  // kEqual and kGreater make the key found the current key.
  Found Search(const uint8_t* bytes, size_t n, bool exact, const Accept& accept = nullptr);
  // The key of exactly these bytes (key size) and this record number: kEqual or kNone.
  Found Find(const uint8_t* key, uint32_t recno);

  // Leftmost and rightmost key; kEnd for an empty order.
  Step First();
  Step Last();
  // Steps from the current key. The current key is found again first: through the path
  // when it still names it, else by its bytes and record number from the root; kLost
  // when it is not there.
  Step Next();
  Step Prev();

  const CurrentKey& current() const { return current_; }
  // Names the key at which the caller stands, its place in the tree unknown.
  void SetCurrent(std::string key, uint32_t recno);
  void ForgetCurrent();

  // Inserts a key after the keys equal to it. False when a page could not be read or
  // the pages a split needs could not be had; the tree is then unchanged.
  bool Insert(const uint8_t* key, uint32_t recno);
  // Removes the key of these bytes and this record number.
  Removed Remove(const uint8_t* key, uint32_t recno);

  // Number of keys (cached while the file is exclusive).
  bool Count(uint32_t* out);
  // 1-based position of the current key.
  bool Position(uint32_t* out);

  // Empties the order: root page at 1024, free list empty, file cut to 2048 bytes.
  bool Zap();
  // Forgets the cached key count (the file changed behind the tree's back).
  void InvalidateCount() { count_known_ = false; }

  // Deepest path a well-formed file can need; a deeper descent means a cycle.
  static constexpr int kMaxDepth = 64;

 private:
  struct PathEntry {
    uint32_t page;
    int slot;
  };

  PageRef Read(uint32_t offset) { return file_->ReadPage(offset); }
  // The root page, or an empty PageRef; *empty when the order holds no key.
  PageRef ReadRoot(bool* empty);
  // Pushes a page onto the path, refusing depths that only a cycle can reach.
  bool Push(uint32_t page, int slot);
  bool PathUsable() const;
  void PathBuilt();
  void Capture();

  // Steps along the path without finding the current key first.
  Step NextOnPath();
  Step PrevOnPath();
  // Goes down to the leftmost (rightmost) key below child pointer `child`.
  Step DescendLeft(uint32_t child);
  Step DescendRight(uint32_t child);
  // Makes the path name the current key.
  Step Locate();
  Found FindOnPath(const uint8_t* key, uint32_t recno);
  bool CountBelow(uint32_t page, int depth, uint64_t* budget, uint64_t* out);

  std::unique_ptr<IndexFile> file_;
  KeyCompare cmp_;
  std::vector<PathEntry> path_;
  bool path_valid_ = false;
  uint64_t path_lock_ = 0;
  CurrentKey current_;
  bool count_known_ = false;
  uint32_t count_ = 0;
};

}  // namespace px::ntx

#endif  // PX_ENGINE_NTX_KEY_TREE_H_
