// Copying a record into another DBF table (TransRecord), as appending from a table does.
#include <algorithm>
#include <cstring>
#include <string_view>

#include "engine/dbf/dbf_area.h"
#include "engine/dbf/field_codec.h"
#include "engine/dbf/memo_format.h"
#include "runtime/date.h"

namespace px {

bool DbfArea::TransRecord(const TransInfo& info) {
  auto* dest = dynamic_cast<DbfArea*>(info.dest);
  if (dest == nullptr || dest == this) return WorkArea::TransRecord(info);
  if (!EnsureRecord()) return false;
  const bool deleted = deleted_;
  if (!dest->Append(false)) return false;
  if (deleted && !dest->DeleteRecord()) return false;
  // The appended record is hot: its buffer may be filled directly, and the layers
  // above see it whole when it goes cold.
  char* out = dest->record_.data();
  for (const TransInfo::Field& pair : info.fields) {
    const DbfField& s = fields_[pair.source - 1];
    const DbfField& d = dest->fields_[pair.dest - 1];
    const char* in = record_.data() + s.offset;
    if (s.kind == 'C' && d.kind == 'C') {
      // Cut to a shorter field, padded with blanks in a longer one.
      const size_t n = std::min(s.len, d.len);
      std::memcpy(out + d.offset, in, n);
      std::memset(out + d.offset + n, ' ', d.len - n);
    } else if (s.kind == d.kind && s.len == d.len && (s.kind == 'I' || s.kind == 'B')) {
      std::memcpy(out + d.offset, in, d.len);
    } else if (s.kind == 'D' && d.kind == 'D' && s.len == 8 && d.len == 8) {
      // A valid date keeps its text; anything else reads as the empty date.
      if (DateFromDtos(std::string_view(in, 8)) != 0) {
        std::memcpy(out + d.offset, in, 8);
      } else {
        std::memset(out + d.offset, ' ', 8);
      }
    } else if (s.kind == 'L' && d.kind == 'L') {
      const char c = in[0];
      out[d.offset] = (c == 'T' || c == 't' || c == 'Y' || c == 'y') ? 'T' : 'F';
    } else if (s.kind == 'M' && d.kind == 'M' && ParseMemoReference(in, s.len) == 0) {
      // No text: the empty reference, as putting an empty text gives.
      FormatMemoReference(0, out + d.offset, d.len);
    } else if (s.kind != 'M' && d.kind != 'M') {
      switch (EncodeField(d, DecodeField(s, in), out + d.offset)) {
        case EncodeResult::kOk:
          break;
        case EncodeResult::kDataType:
          dest->RaisePutError(kErrDataType, 1020, d);
          break;
        case EncodeResult::kDataWidth:
          dest->RaisePutError(kErrDataWidth, 1021, d);
          break;
      }
    } else {
      // Memo texts go through the memo layers of both tables.
      Value v;
      if (GetValue(pair.source, &v)) dest->PutValue(pair.dest, v);
      out = dest->record_.data();
    }
  }
  return true;
}

}  // namespace px
