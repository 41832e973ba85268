// The bytes of a table file (.dbf), as the engine writes and accepts them.
//
// A table file is, in order:
//
//   offset 0             header, 32 bytes (below)
//   offset 32            one field descriptor of 32 bytes per field, in field order
//   then                 the terminator 0x0D 0x00 (both bytes count in the header length)
//   offset header-length the records, each record-length bytes, record 1 first
//   then                 one end-of-file mark 0x1A after the last record (written when a
//                        table opened exclusively has its header rewritten; a table
//                        opened shared ends with its last record)
//
// Header (integers little-endian):
//
//   0   1  version: 0x03 without memo fields, 0x83 with memo fields; 0x30 and 0xF5 are
//          also accepted (0xF5 and 0x83 always have memo fields, 0x30 when bit 1 of the
//          flags byte is set)
//   1   3  date of the last update: year - 1900, month, day
//   4   4  record count (not trusted on opening: the count comes from the file size)
//   8   2  header length
//   10  2  record length, deletion flag included (not trusted on opening either)
//   12  16 zero
//   28  1  flags: bit 0 production index (kept), bit 1 memo (only with version 0x30)
//   29  1  code page byte (kept)
//   30  2  zero
//
// Field descriptor:
//
//   0   11 name, upper case, zero padded; byte 10 is always zero
//   11  1  type letter, read exactly as stored (lower case is not a type)
//   12  4  zero
//   16  1  length (for C: the low byte of the length)
//   17  1  decimals (for C: the high byte of the length)
//   18  14 zero
//
// Records: byte 0 is the deletion flag (" " live, "*" deleted), the fields follow in
// descriptor order without gaps. The stored bytes of each field kind are described in
// field_codec.h.
#ifndef PX_ENGINE_DBF_DBF_FORMAT_H_
#define PX_ENGINE_DBF_DBF_FORMAT_H_

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/workarea/work_area.h"

namespace px {

constexpr uint32_t kDbfHeaderSize = 32;
constexpr uint32_t kDbfDescriptorSize = 32;
constexpr uint8_t kDbfTerminator = 0x0D;
constexpr uint8_t kDbfEofMark = 0x1A;
constexpr char kDbfLive = ' ';
constexpr char kDbfDeleted = '*';

constexpr uint8_t kDbfVersionPlain = 0x03;
constexpr uint8_t kDbfVersionMemo = 0x83;
constexpr uint8_t kDbfVersionFlagged = 0x30;  // memo fields told by the flags byte
constexpr uint8_t kDbfVersionMemoF5 = 0xF5;

constexpr uint8_t kDbfFlagProductionIndex = 0x01;
constexpr uint8_t kDbfFlagMemo = 0x02;

// Header and record length are 16-bit, the record count 32-bit.
constexpr uint32_t kDbfMaxRecordLength = 65535;
constexpr uint32_t kDbfMaxFields = (65535 - 34) / 32;  // 2046
// The largest record count the engine uses, so that count + 1 (the record past the end)
// still fits 32 bits.
constexpr uint32_t kDbfMaxRecords = 0xFFFFFFFEu;

// Byte offsets of the locks placed on a table file (lock scheme 1). They lie far beyond
// the data, so they never cover bytes that other processes read and write.
constexpr uint64_t kDbfHeaderLockOffset = 1000000000ULL;
constexpr uint64_t kDbfFileLockOffset = 1000000001ULL;
constexpr uint64_t kDbfFileLockLength = 1000000000ULL;
inline uint64_t DbfRecordLockOffset(uint32_t recno) {
  return kDbfHeaderLockOffset + recno;
}

struct DbfHeader {
  uint8_t version = kDbfVersionPlain;
  uint8_t year = 0;  // year - 1900
  uint8_t month = 0;
  uint8_t day = 0;
  uint32_t record_count = 0;
  uint16_t header_length = 0;
  uint16_t record_length = 0;
  uint8_t flags = 0;
  uint8_t code_page = 0;
};

using DbfHeaderBytes = std::array<uint8_t, kDbfHeaderSize>;
using DbfDescriptorBytes = std::array<uint8_t, kDbfDescriptorSize>;

DbfHeader DecodeDbfHeader(const uint8_t* bytes);
// Builds the 32 header bytes from zero: every byte not in DbfHeader is zero.
DbfHeaderBytes EncodeDbfHeader(const DbfHeader& header);

// Whether the version byte is one the engine opens.
bool IsAcceptedDbfVersion(uint8_t version);
// Whether a table of this version byte and flags byte has memo fields.
bool DbfVersionHasMemo(uint8_t version, uint8_t flags);
// The version byte written back when the header is rewritten.
uint8_t DbfVersionForRewrite(uint8_t opened_version, bool has_memo);
// The flags byte written back: the production-index bit kept, the memo bit only for
// version 0x30 with memo fields.
uint8_t DbfFlagsForRewrite(uint8_t version, uint8_t opened_flags, bool has_memo);

// A field as the table file layer keeps it.
struct DbfField {
  std::string name;   // upper case, at most 10 bytes
  char kind = 'C';    // C, N, D, L, M, B or I (F is read as N, 8 as B, 2 and 4 as I)
  char letter = 'C';  // the type letter as stored
  uint32_t len = 0;
  uint32_t dec = 0;
  uint32_t offset = 0;  // of the field's first byte in the record
};

enum class DescriptorKind {
  kField,        // a field was decoded
  kEnd,          // the descriptor ends the field list (0x0D, or type 0 in a 0x30 table)
  kUnknownType,  // the type letter is not a field kind
};

// Decodes one descriptor: byte 10 of the name is taken as zero, the name upper-cased
// (ASCII letters), kind, length and decimals taken from the type letter.
DescriptorKind DecodeDbfDescriptor(const uint8_t* bytes, uint8_t version, DbfField* out);

// The field a creation request becomes: the kind from the letter (C, N, D, L, M, B, I, and
// F, 8, 2, 4 as their kinds) and the length the engine gives that kind. False for a
// letter that is no field kind, an N field of 256 or more, or a C field above 65,535.
bool NormalizeCreateField(const FieldDef& requested, FieldDef* out);
DbfDescriptorBytes EncodeDbfDescriptor(const FieldDef& field);

// Header length of a table with n fields: 32 + 32 n + 2.
uint32_t DbfHeaderLength(size_t field_count);

// Record count from the file size: (size - header length) / record length, 0 when the
// file is shorter than its header, capped at kDbfMaxRecords.
uint32_t DbfRecordCountFromSize(int64_t file_size, uint32_t header_length, uint32_t record_length);

// Offset of record n (1-based).
inline uint64_t DbfRecordOffset(uint32_t header_length, uint32_t record_length, uint32_t recno) {
  return header_length + static_cast<uint64_t>(recno - 1) * record_length;
}

// Whether an empty field of this kind and length holds zero bytes rather than blanks: I
// and B fields, 3-byte D fields and 4-byte M fields.
bool FieldBlankIsZero(const DbfField& f);

// Fills buf (record-length bytes) with the blank record: the live flag, then every field
// blank (blanks, or zero bytes where FieldBlankIsZero).
void FillBlankRecord(const std::vector<DbfField>& fields, char* buf, size_t record_length);

// Little-endian helpers.
inline uint16_t GetLe16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t GetLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void PutLe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace px

#endif  // PX_ENGINE_DBF_DBF_FORMAT_H_
