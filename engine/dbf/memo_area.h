// The memo layer of the DBF driver: the texts of M fields, kept in the table's memo
// file (memo_format.h describes its bytes).
//
// MemoArea derives from the table file layer and takes over getting, putting and the
// length of M fields; every other field goes down to DbfArea. The memo file itself is
// created, opened, reset (zap) and closed by DbfArea through the memo-file slots. The
// NTX-order layer derives from this class.
//
// Getting a text reads from its first block up to the first 0x1A byte, or up to the end
// of the file when there is none; a reference to a block past the end of the file reads
// as an empty text. Neither raises an error.
//
// Putting a text:
//   - an empty text empties the reference and leaves the memo file alone;
//   - a text of 510 bytes or less overwrites the field's old text in place when the old
//     reference names a block of the file that begins a text;
//   - otherwise the text goes to fresh blocks: the header's next-free block, but never
//     below the end of the file, so that a damaged header (next-free 0, or pointing into
//     used blocks) cannot make a put overwrite texts other records refer to. The header
//     then gets the new next-free value.
// A put raises 33/1020 "Data type error" for a Value that is neither a character string
// nor a memo text, and 24/1011 "Write error" (memo file named) when the memo file cannot
// be written; in both cases the field keeps its old reference and the put fails.
//
// Between processes a shared lock on the memo file's bytes 1 to 2^31 - 1 guards reading
// and an exclusive one writing; both wait until granted. A table opened exclusively
// holds its memo file exclusively too, so it takes no memo locks.
#ifndef PX_ENGINE_DBF_MEMO_AREA_H_
#define PX_ENGINE_DBF_MEMO_AREA_H_

#include <cstdint>
#include <string>

#include "engine/dbf/dbf_area.h"

namespace px {

class MemoArea : public DbfArea {
 public:
  explicit MemoArea(std::string driver_name) : DbfArea(std::move(driver_name)) {}

  // M fields: the text as a memo Value (empty when the field has none).
  bool GetValue(uint16_t field, Value* out) override;
  // M fields: the length in bytes of the text.
  bool GetVarLen(uint16_t field, uint32_t* out) override;
  // M fields: stores the text and updates the reference in the record buffer. On the
  // record past the end nothing happens and the put succeeds.
  bool PutValue(uint16_t field, const Value& value) override;

 private:
  class MemoLock;

  // The M field of that number when the table has a memo file, else nullptr.
  const DbfField* MemoField(uint16_t field) const;
  // Reads the text at `block`, or only counts its bytes when text is nullptr.
  uint64_t ReadText(uint64_t block, std::string* text);
  // Whether the old text at `block` may be overwritten in place: the block lies in the
  // file and begins a text (the byte before it ends a text, a gap or the header).
  bool CanWriteInPlace(uint64_t block, int64_t file_size);
  bool WriteText(const DbfField& f, const std::string& text);
  void RaiseMemoWriteError(int os_code);
};

}  // namespace px

#endif  // PX_ENGINE_DBF_MEMO_AREA_H_
