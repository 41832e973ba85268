#include "engine/ntx/ntx_format.h"

#include <algorithm>

namespace px::ntx {

namespace {

constexpr size_t kKeyTextAt = 22;
constexpr size_t kUniqueAt = 278;
constexpr size_t kDescendingAt = 280;
constexpr size_t kForTextAt = 282;
constexpr size_t kNameAt = 538;
constexpr size_t kNameBytes = 12;
constexpr size_t kCustomAt = 550;
constexpr size_t kTextBytes = 256;

// A zero-terminated text of at most n bytes; absent unless its first byte is above 20.
std::string ReadText(const uint8_t* p, size_t n) {
  if (p[0] <= 20) return std::string();
  size_t len = 0;
  while (len < n && p[len] != 0) ++len;
  return std::string(reinterpret_cast<const char*>(p), len);
}

// The largest maximum a page of this key size can hold.
int PageCapacity(int key_size) {
  return static_cast<int>((kPageSize - 2) / static_cast<uint32_t>(key_size + 10)) - 1;
}

}  // namespace

int MaxKeysPerPage(int key_size) {
  int max = 1018 / (key_size + 10) - 1;
  if (max % 2 == 1 && max > 2) --max;
  return max;
}

bool EncodeHeader(const NtxHeader& h, uint8_t page[kPageSize]) {
  if (h.key_size < 1 || h.key_size > kMaxKeySize || h.key_text.size() > kMaxTextLength ||
      h.for_text.size() > kMaxTextLength || h.order_name.size() > kMaxStoredNameLength) {
    return false;
  }
  std::memset(page, 0, kPageSize);
  EncodeHeaderStart(h, page);
  PutU16(page + 12, static_cast<uint16_t>(h.item_size()));
  PutU16(page + 14, static_cast<uint16_t>(h.key_size));
  PutU16(page + 16, static_cast<uint16_t>(h.key_decimals));
  PutU16(page + 18, static_cast<uint16_t>(h.max_keys));
  PutU16(page + 20, static_cast<uint16_t>(h.half_page()));
  std::memcpy(page + kKeyTextAt, h.key_text.data(), h.key_text.size());
  page[kUniqueAt] = h.unique ? 1 : 0;
  page[kDescendingAt] = h.descending ? 1 : 0;
  std::memcpy(page + kForTextAt, h.for_text.data(), h.for_text.size());
  std::memcpy(page + kNameAt, h.order_name.data(), h.order_name.size());
  page[kCustomAt] = h.custom ? 1 : 0;
  return true;
}

void EncodeHeaderStart(const NtxHeader& h, uint8_t out[kHeaderStartSize]) {
  uint16_t signature = 0x0006;
  if (!h.for_text.empty()) signature |= 0x0001;
  if (h.lock_scheme2) signature |= 0x0020;
  PutU16(out, signature);
  PutU16(out + 2, 1);
  PutU32(out + 4, h.root);
  PutU32(out + 8, h.free_list);
  PutU16(out + 12, static_cast<uint16_t>(h.item_size()));
  PutU16(out + 14, static_cast<uint16_t>(h.key_size));
}

bool DecodeHeader(const uint8_t bytes[kHeaderReadSize], NtxHeader* out) {
  NtxHeader h;
  DecodeHeaderStart(bytes, &h.root, &h.free_list);
  h.key_size = GetU16(bytes + 14);
  h.key_decimals = GetU16(bytes + 16);
  h.max_keys = GetU16(bytes + 18);
  if (h.key_size < 1 || h.key_size > kMaxKeySize) return false;
  if (h.max_keys < 2 || h.max_keys > PageCapacity(h.key_size)) return false;
  h.key_text = ReadText(bytes + kKeyTextAt, kTextBytes);
  h.for_text = ReadText(bytes + kForTextAt, kTextBytes);
  h.order_name = ReadText(bytes + kNameAt, kNameBytes);
  h.unique = bytes[kUniqueAt] != 0;
  h.descending = bytes[kDescendingAt] != 0;
  h.custom = bytes[kCustomAt] != 0;
  h.lock_scheme2 = (GetU16(bytes) & 0x0020) != 0;
  *out = std::move(h);
  return true;
}

void DecodeHeaderStart(const uint8_t bytes[kHeaderStartSize], uint32_t* root, uint32_t* free_list) {
  *root = GetU32(bytes + 4);
  *free_list = GetU32(bytes + 8);
}

void PageView::Format() {
  std::memset(data_, 0, kPageSize);
  for (int j = 0; j <= max_keys_; ++j) {
    set_slot_offset(j, static_cast<uint16_t>(item_base() + j * item_size()));
  }
}

void PageView::InsertAt(int slot, uint32_t child, uint32_t recno, const uint8_t* key) {
  const int n = count();
  const uint16_t free_item = slot_offset(n + 1);
  for (int j = n + 1; j > slot; --j) set_slot_offset(j, slot_offset(j - 1));
  set_slot_offset(slot, free_item);
  uint8_t* it = data_ + free_item;
  PutU32(it, child);
  PutU32(it + 4, recno);
  std::memcpy(it + 8, key, static_cast<size_t>(key_size_));
  set_count(n + 1);
}

void PageView::RemoveAt(int slot) {
  const int n = count();
  const uint16_t vacated = slot_offset(slot);
  for (int j = slot; j < n; ++j) set_slot_offset(j, slot_offset(j + 1));
  set_slot_offset(n, vacated);
  set_count(n - 1);
}

void PageView::RemoveFront(int k) {
  if (k <= 0) return;
  const int n = count();
  // Rotate the used part (slots 0..n) left by k.
  uint16_t saved[kPageSize / 2];
  for (int j = 0; j < k; ++j) saved[j] = slot_offset(j);
  for (int j = k; j <= n; ++j) set_slot_offset(j - k, slot_offset(j));
  for (int j = 0; j < k; ++j) set_slot_offset(n - k + 1 + j, saved[j]);
  set_count(n - k);
}

std::string PageView::Check() const {
  const int n = count();
  if (n > max_keys_) {
    return "key count " + std::to_string(n) + " above the maximum " + std::to_string(max_keys_);
  }
  uint64_t seen[2] = {0, 0};  // at most 92 items fit a page
  const uint32_t size = static_cast<uint32_t>(item_size());
  // rel / size by multiplication: exact for rel < 1024 and size <= 264.
  const uint32_t inverse = ((uint32_t{1} << 20) + size - 1) / size;
  const uint32_t base = static_cast<uint32_t>(item_base());
  for (int j = 0; j <= max_keys_; ++j) {
    const uint32_t off = slot_offset(j);
    const uint32_t rel = off - base;  // wraps to a huge value below the base
    const uint32_t item = rel < kPageSize ? (rel * inverse) >> 20 : kPageSize;
    if (item > static_cast<uint32_t>(max_keys_) || item * size != rel) {
      return "offset table entry " + std::to_string(j) + " names no item";
    }
    const uint64_t bit = uint64_t{1} << (item % 64);
    if (seen[item / 64] & bit) {
      return "offset table names item " + std::to_string(item) + " twice";
    }
    seen[item / 64] |= bit;
  }
  if (n > 0) {
    const bool leaf = child(0) == 0;
    for (int j = 0; j <= n; ++j) {
      const uint32_t c = child(j);
      if ((c == 0) != leaf) return "mixes leaf and inner child pointers";
      if (c != 0 && c % kPageSize != 0) {
        return "child pointer " + std::to_string(c) + " is not a page offset";
      }
    }
  }
  return std::string();
}

}  // namespace px::ntx
