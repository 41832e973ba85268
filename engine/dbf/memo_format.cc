#include "engine/dbf/memo_format.h"

#include <cstring>

namespace px {

uint64_t ParseMemoReference(const char* field, size_t len) {
  if (len == 4) {
    uint64_t v = 0;
    for (size_t i = 0; i < 4; ++i)
      v |= static_cast<uint64_t>(static_cast<uint8_t>(field[i])) << (8 * i);
    return v;
  }
  uint64_t v = 0;
  for (size_t i = 0; i < len; ++i) {
    const char c = field[i];
    if (c < '0' || c > '9') continue;
    // More digits than a block number can have: the reference is garbage, and no block
    // that far out exists.
    if (v > (UINT64_MAX - 9) / 10) return UINT64_MAX;
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  return v;
}

bool MemoReferenceFits(uint64_t block, size_t len) {
  if (len == 4) return block <= UINT32_MAX;
  uint64_t limit = 1;
  for (size_t i = 0; i < len; ++i) {
    if (limit > UINT64_MAX / 10) return true;
    limit *= 10;
  }
  return block < limit;
}

void FormatMemoReference(uint64_t block, char* field, size_t len) {
  if (len == 4) {
    for (size_t i = 0; i < 4; ++i)
      field[i] = static_cast<char>(static_cast<uint8_t>(block >> (8 * i)));
    return;
  }
  std::memset(field, ' ', len);
  if (block == 0) return;
  size_t pos = len;
  while (block != 0 && pos > 0) {
    field[--pos] = static_cast<char>('0' + block % 10);
    block /= 10;
  }
}

}  // namespace px
