// The bytes of an index file (.ntx): one order as a B-tree of fixed-width keys.
//
// The file is a sequence of 1024-byte pages addressed by byte offset. All integers are
// little-endian and unsigned.
//
// Header page, offset 0 (bytes not listed are zero):
//
//     0   2  signature: 0x0006, + 0x0001 with a FOR condition, + 0x0020 under lock scheme 2
//     2   2  version, written as 1
//     4   4  offset of the root page
//     8   4  offset of the first free page, 0 when none
//    12   2  item size = key size + 8
//    14   2  key size, 1..256
//    16   2  key decimals (numeric keys), else 0
//    18   2  maximum keys per page
//    20   2  half page = maximum keys / 2
//    22 256  key expression text, zero-terminated
//   278   1  unique flag
//   280   1  descending flag
//   282 256  FOR condition text, zero-terminated, all zero when none
//   538  12  order name, zero-terminated, only when one was given at creation
//   550   1  custom flag
//
// Opening reads the first 552 bytes; signature, version, item size and half page are
// recomputed, never trusted. A text counts as present when its first byte is above 20.
//
// Tree page, any other multiple of 1024:
//
//     0                 2  number of keys n (0..max)
//     2      2 * (max + 1)  offset table: for slot 0..max the offset of an item in the page
//     2 * max + 4          item area, (max + 1) items of key size + 8 bytes
//
// An item is: child page offset (4, 0 when none), record number (4), key (key size).
// Slots 0..n-1 name the keys in order; slot n names one more item whose child pointer
// leads to the keys above the last key. The child of slot i holds the keys below key i.
// A leaf has every child pointer 0. Inserting and removing keys shifts offset-table
// entries and leaves the items where they are: a vacated item's offset moves to the end
// of the used part, so the table always names every item exactly once. A freshly
// formatted page has entry j = 2 * max + 4 + j * (key size + 8) and all else zero.
//
// A free page has n = 0 and the child pointer of its slot-0 item holds the offset of the
// next free page (0 at the end of the list); the header names the first one.
#ifndef PX_ENGINE_NTX_NTX_FORMAT_H_
#define PX_ENGINE_NTX_NTX_FORMAT_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace px::ntx {

constexpr uint32_t kPageSize = 1024;
constexpr int kMaxKeySize = 256;
// Bytes of the header read when a file is opened.
constexpr size_t kHeaderReadSize = 552;
// Bytes rewritten when only the root or the free list changed.
constexpr size_t kHeaderStartSize = 16;
// Longest key expression and FOR text (256 bytes with the terminating zero).
constexpr size_t kMaxTextLength = 255;
// Longest order name stored in the header (12 bytes with the terminating zero).
constexpr size_t kMaxStoredNameLength = 11;
// The index lock: one byte far beyond any page.
constexpr uint64_t kIndexLockOffset = 1000000000;

// Maximum keys per page for a key size: floor(1018 / (size + 10)) - 1, lowered by one
// when odd and above 2. Key size 10 gives 48, 8 gives 54, 40 gives 18, 256 gives 2.
int MaxKeysPerPage(int key_size);

inline uint16_t GetU16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t GetU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void PutU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutU32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

// The header as the engine uses it.
struct NtxHeader {
  uint32_t root = 0;
  uint32_t free_list = 0;
  int key_size = 0;
  int key_decimals = 0;
  int max_keys = 0;
  std::string key_text;
  std::string for_text;    // empty when the order has no FOR condition
  std::string order_name;  // stored only when given at creation
  bool unique = false;
  bool descending = false;
  bool custom = false;
  bool lock_scheme2 = false;  // adds 0x20 to the signature

  int item_size() const { return key_size + 8; }
  int half_page() const { return max_keys / 2; }
};

// Writes the whole header page. False (page untouched) when the key size is outside
// 1..256, a text is longer than 255 bytes or the name longer than 11.
bool EncodeHeader(const NtxHeader& header, uint8_t page[kPageSize]);
// Writes the first 16 bytes: signature, version, root and free list.
void EncodeHeaderStart(const NtxHeader& header, uint8_t out[kHeaderStartSize]);
// Reads the first 552 bytes of a header page. False when the key size is outside
// 1..256 or the maximum keys do not fit a page for that key size.
bool DecodeHeader(const uint8_t bytes[kHeaderReadSize], NtxHeader* out);
// Reads root and free list from the first 16 bytes.
void DecodeHeaderStart(const uint8_t bytes[kHeaderStartSize], uint32_t* root, uint32_t* free_list);

// A view of one tree page in memory, for a given key size and maximum keys.
class PageView {
 public:
  PageView(uint8_t* data, int key_size, int max_keys)
      : data_(data), key_size_(key_size), max_keys_(max_keys) {}

  uint8_t* data() const { return data_; }
  int key_size() const { return key_size_; }
  int max_keys() const { return max_keys_; }
  int item_size() const { return key_size_ + 8; }
  // Offset of item j of a freshly formatted page.
  int item_base() const { return 2 * max_keys_ + 4; }

  int count() const { return GetU16(data_); }
  void set_count(int n) { PutU16(data_, static_cast<uint16_t>(n)); }
  uint16_t slot_offset(int slot) const { return GetU16(data_ + 2 + 2 * slot); }
  void set_slot_offset(int slot, uint16_t off) { PutU16(data_ + 2 + 2 * slot, off); }

  uint8_t* item(int slot) const { return data_ + slot_offset(slot); }
  uint32_t child(int slot) const { return GetU32(item(slot)); }
  void set_child(int slot, uint32_t page) { PutU32(item(slot), page); }
  uint32_t recno(int slot) const { return GetU32(item(slot) + 4); }
  const uint8_t* key(int slot) const { return item(slot) + 8; }
  // Sets record number and key bytes of a slot, keeping its child pointer.
  void SetKey(int slot, uint32_t recno, const uint8_t* key) {
    uint8_t* it = item(slot);
    PutU32(it + 4, recno);
    std::memcpy(it + 8, key, static_cast<size_t>(key_size_));
  }
  bool is_leaf() const { return child(0) == 0; }
  // Asks the processor to load the whole page, so that a search of it waits for memory
  // once rather than at every key it looks at.
  void Prefetch() const {
    for (uint32_t i = 0; i < kPageSize; i += 64) __builtin_prefetch(data_ + i);
  }
  bool full() const { return count() >= max_keys_; }

  // Zeroes the page and lays out the offset table of a fresh page.
  void Format();
  // Puts a key at slot (0..n) with the given child; the keys from slot on move one slot
  // right. Requires n < max.
  void InsertAt(int slot, uint32_t child, uint32_t recno, const uint8_t* key);
  // Takes the key at slot (0..n-1) out; the entries after it move one slot left, the
  // item of the removed key goes to the end of the used part. The removed key's child
  // pointer goes with it.
  void RemoveAt(int slot);
  // Takes the first k keys out (as RemoveAt(0) k times).
  void RemoveFront(int k);

  // Describes what is wrong with the page's count and offset table, and whether its
  // child pointers are all zero or all page offsets; "" when well-formed.
  std::string Check() const;

 private:
  uint8_t* data_;
  int key_size_;
  int max_keys_;
};

}  // namespace px::ntx

#endif  // PX_ENGINE_NTX_NTX_FORMAT_H_
