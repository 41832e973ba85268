// The order in which an index build puts its keys.
//
// Index files written by this system must hold keys with equal bytes in the order the
// system has always given them, and a unique build must keep the same record of each
// key value. That order comes from a batched linked-list insertion sort: keys join a
// batch list, or, through the insertion hint, the main list directly; every B keys the
// batch list is merged into the main list (B = R for R <= 50 keys per run, else
// floor(sqrt(R))). Each walk links a key after the keys equal to it already in the list
// it walks, so the result is: sorted by key, equal keys in the order they joined the
// main list.
//
// JoinOrder decides in constant time which list each key joins and when, and hands the
// keys on in the order they join the main list; a stable sort by key of that stream is
// the final order. It holds one batch of keys (B of them) and a few single keys, never
// the whole run, except that a unique build remembers every distinct key of the main
// list: a key is dropped when the list it joins (at a merge, the main list) already
// holds an equal key.
#ifndef PX_ENGINE_NTX_SORT_ORDER_H_
#define PX_ENGINE_NTX_SORT_ORDER_H_

#include <cstdint>
#include <vector>

#include "engine/ntx/ntx_key.h"

namespace px::ntx {

// The batch size for R keys per run.
uint32_t BatchSize(uint32_t keys_per_run);

// Takes the keys of a run in the order they join the main list.
class JoinSink {
 public:
  virtual ~JoinSink() = default;
  // key: key size bytes, valid during the call.
  virtual void Take(uint32_t recno, const uint8_t* key) = 0;
};

// Distinct keys of one size, copied in.
class KeyBag {
 public:
  explicit KeyBag(int key_size) : key_size_(static_cast<size_t>(key_size)) {}
  bool Contains(const uint8_t* key) const;
  void Insert(const uint8_t* key);
  void Clear();

 private:
  size_t Probe(const uint8_t* key) const;
  void Rehash(size_t slots);
  const uint8_t* At(uint32_t i) const { return keys_.data() + static_cast<size_t>(i) * key_size_; }

  size_t key_size_;
  std::vector<uint8_t> keys_;    // the keys, in insertion order
  std::vector<uint32_t> slots_;  // index + 1 into keys_, 0 = empty
};

class JoinOrder {
 public:
  // keys_per_run: R, which fixes the batch size (the table's record count, or its share
  // per run when the build spills runs).
  JoinOrder(int key_size, uint32_t keys_per_run, bool unique, bool descending);

  // Takes the next key of the run (key size bytes); passes on the keys that join the
  // main list because of it.
  void Add(uint32_t recno, const uint8_t* key, JoinSink& out);
  // Merges the last batch and starts a new run.
  void EndRun(JoinSink& out);

 private:
  enum class Hint { kNone, kBatch, kMain };

  const uint8_t* BatchKey(uint32_t i) const {
    return batch_keys_.data() + static_cast<size_t>(i) * key_size_;
  }
  bool Less(const uint8_t* a, const uint8_t* b) const { return cmp_.Keys(a, b) < 0; }
  void SetHint(Hint where, const uint8_t* key);
  void JoinMain(uint32_t recno, const uint8_t* key, JoinSink& out);
  void Merge(JoinSink& out);

  KeyCompare cmp_;
  size_t key_size_;
  uint32_t batch_size_;
  bool unique_;

  uint32_t batch_count_ = 0;         // keys taken since the last merge
  std::vector<uint8_t> batch_keys_;  // batch list members in arrival order
  std::vector<uint32_t> batch_recnos_;
  uint32_t batch_min_ = 0;  // smallest member of the batch list
  bool first_batch_ = true;
  // The insertion hint: the key linked last by a walk and the list it joined; the hint
  // as it stood after the last merge.
  Hint hint_ = Hint::kNone;
  std::vector<uint8_t> hint_key_;
  Hint saved_ = Hint::kNone;
  std::vector<uint8_t> saved_key_;
  bool has_main_min_ = false;
  std::vector<uint8_t> main_min_;
  KeyBag batch_set_;
  KeyBag main_set_;
  std::vector<uint32_t> scratch_;
};

// The final order of all keys of one run held in memory.
class SortOrder {
 public:
  SortOrder(int key_size, uint32_t keys_per_run, bool unique, bool descending);

  // The items of the run in arrival order: `count` keys of key_size bytes back to back.
  // Returns the arrival positions of the kept keys in final order.
  std::vector<uint32_t> Order(const uint8_t* keys, uint32_t count);

 private:
  int key_size_;
  uint32_t keys_per_run_;
  bool unique_;
  bool descending_;
};

// Sorts `items` (positions of keys of key_size bytes at `keys`) by key, keeping the
// given order among equal keys.
void StableSortByKey(const uint8_t* keys, const KeyCompare& cmp, std::vector<uint32_t>* items);

}  // namespace px::ntx

#endif  // PX_ENGINE_NTX_SORT_ORDER_H_
