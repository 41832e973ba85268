// The bytes of a memo file (.dbt), beside the table file of the same base name.
//
// The file is a sequence of 512-byte blocks; block n starts at byte n * 512.
//
//   block 0   header: bytes 0..3 the next-free block (the first block never handed
//             out), unsigned little-endian; bytes 4..511 zero on creation, never written
//             afterwards
//   block 1.. texts
//
// A text starts at the first byte of its block and runs over as many consecutive blocks
// as it needs; it ends at the first byte 0x1A. The writer follows it with
// 512 - (length mod 512) bytes 0x1A, so at least one and a whole block of them when the
// length is a multiple of 512. Texts never share a block.
//
// After a text of length L was written at block b, the next-free block becomes
// (x + 512 - x mod 512) / 512 with x = b * 512 + L + 1. For L = 512k - 1 that leaves one
// block after the text unwritten and never handed out; files written by the other
// programs of the system carry the same gap, so the arithmetic is kept.
//
// There is no free list: a text that is replaced by a longer one, emptied, or belongs to
// a removed record keeps its blocks until the memo file is reset to its header block.
//
// The record holds the block number of its text (0: none):
//   10-byte field  decimal digits, right-aligned with leading blanks; 10 blanks for none.
//                  Read back by taking every digit among the 10 bytes in order and
//                  skipping everything else (" 1 2     4" is block 124).
//   4-byte field   unsigned little-endian; 0 for none.
#ifndef PX_ENGINE_DBF_MEMO_FORMAT_H_
#define PX_ENGINE_DBF_MEMO_FORMAT_H_

#include <cstddef>
#include <cstdint>

namespace px {

constexpr uint32_t kMemoBlock = 512;
constexpr uint8_t kMemoEnd = 0x1A;
// A text of this length or less replaces the field's old text in place.
constexpr size_t kMemoInPlaceMax = 510;

// Byte range of the lock that guards memo access between processes: shared while a
// text is read, exclusive while one is written.
constexpr uint64_t kMemoLockOffset = 1;
constexpr uint64_t kMemoLockLength = 0x7FFFFFFFULL;

// The count of 0x1A bytes that follow a text of this length.
inline size_t MemoPadding(size_t length) {
  return kMemoBlock - length % kMemoBlock;
}

// The next-free block after a text of this length was written at `block`.
inline uint64_t MemoNextFreeAfter(uint64_t block, uint64_t length) {
  const uint64_t x = block * kMemoBlock + length + 1;
  return (x + kMemoBlock - x % kMemoBlock) / kMemoBlock;
}

// The block number a memo field of `len` bytes refers to (0: no text). Reference widths
// other than 4 are read as digit texts.
uint64_t ParseMemoReference(const char* field, size_t len);

// Whether a memo field of `len` bytes can refer to `block`: 32 bits in a 4-byte field,
// as many digits as the field has bytes otherwise.
bool MemoReferenceFits(uint64_t block, size_t len);

// Writes the reference to `block` into a memo field of `len` bytes (MemoReferenceFits
// must hold); block 0 writes the empty reference.
void FormatMemoReference(uint64_t block, char* field, size_t len);

}  // namespace px

#endif  // PX_ENGINE_DBF_MEMO_FORMAT_H_
