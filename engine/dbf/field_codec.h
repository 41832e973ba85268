// The stored bytes of each field kind, and how they become a Value and back.
//
//   C  the text, left-aligned, padded with blanks
//   N  the number as right-aligned decimal text (number_text.h); F is the same
//   D  8 bytes: YYYYMMDD, or 8 blanks for the empty date; 3 bytes: Julian day number,
//      unsigned little-endian, 0 for the empty date
//   L  "T" or "F" (reads true for T, t, Y and y, false for anything else)
//   M  the block number of the text in the memo file: 10 right-aligned digits (blanks
//      when empty), or 4 bytes unsigned little-endian (0 when empty)
//   B  IEEE 754 double, 8 bytes little-endian; 8 is the same
//   I  two's-complement signed integer of 2, 4 or 8 bytes, little-endian
//
// Memo texts themselves are the memo layer's; at this level an M field reads as an empty
// memo text and refuses every put.
#ifndef PX_ENGINE_DBF_FIELD_CODEC_H_
#define PX_ENGINE_DBF_FIELD_CODEC_H_

#include "engine/dbf/dbf_format.h"
#include "runtime/value.h"

namespace px {

// The Value of a field from its stored bytes (f.len bytes at `bytes`).
Value DecodeField(const DbfField& f, const char* bytes);

enum class EncodeResult {
  kOk,
  kDataType,   // the Value is not of a kind the field accepts; bytes unchanged
  kDataWidth,  // the number does not fit: N fields hold asterisks, I fields are unchanged
};

// Stores a Value into the field's bytes (f.len bytes at `bytes`).
EncodeResult EncodeField(const DbfField& f, const Value& value, char* bytes);

}  // namespace px

#endif  // PX_ENGINE_DBF_FIELD_CODEC_H_
