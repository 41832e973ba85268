#include "engine/dbf/dbf_format.h"

#include <cstring>

namespace px {

DbfHeader DecodeDbfHeader(const uint8_t* b) {
  DbfHeader h;
  h.version = b[0];
  h.year = b[1];
  h.month = b[2];
  h.day = b[3];
  h.record_count = GetLe32(b + 4);
  h.header_length = GetLe16(b + 8);
  h.record_length = GetLe16(b + 10);
  h.flags = b[28];
  h.code_page = b[29];
  return h;
}

DbfHeaderBytes EncodeDbfHeader(const DbfHeader& h) {
  DbfHeaderBytes b{};
  b[0] = h.version;
  b[1] = h.year;
  b[2] = h.month;
  b[3] = h.day;
  PutLe32(&b[4], h.record_count);
  PutLe16(&b[8], h.header_length);
  PutLe16(&b[10], h.record_length);
  b[28] = h.flags;
  b[29] = h.code_page;
  return b;
}

bool IsAcceptedDbfVersion(uint8_t version) {
  return version == kDbfVersionPlain || version == kDbfVersionFlagged ||
         version == kDbfVersionMemo || version == kDbfVersionMemoF5;
}

bool DbfVersionHasMemo(uint8_t version, uint8_t flags) {
  if (version == kDbfVersionMemo || version == kDbfVersionMemoF5) return true;
  return version == kDbfVersionFlagged && (flags & kDbfFlagMemo) != 0;
}

uint8_t DbfVersionForRewrite(uint8_t opened_version, bool has_memo) {
  if (has_memo && opened_version != 0x30 && opened_version != 0x31) return kDbfVersionMemo;
  return opened_version;
}

uint8_t DbfFlagsForRewrite(uint8_t version, uint8_t opened_flags, bool has_memo) {
  uint8_t flags = opened_flags & kDbfFlagProductionIndex;
  if (version == kDbfVersionFlagged && has_memo) flags |= kDbfFlagMemo;
  return flags;
}

DescriptorKind DecodeDbfDescriptor(const uint8_t* d, uint8_t version, DbfField* out) {
  if (d[0] == kDbfTerminator) return DescriptorKind::kEnd;
  const uint8_t letter = d[11];
  if (letter == 0 && version == kDbfVersionFlagged) return DescriptorKind::kEnd;

  char name[11];
  std::memcpy(name, d, 10);
  name[10] = 0;
  out->name.assign(name, strnlen(name, 10));
  for (char& c : out->name) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  out->letter = static_cast<char>(letter);
  out->dec = 0;
  const uint32_t b16 = d[16];
  const uint32_t b17 = d[17];
  switch (letter) {
    case 'C':
      out->kind = 'C';
      out->len = b16 + 256 * b17;
      break;
    case 'N':
    case 'F':
      out->kind = 'N';
      out->len = b16;
      out->dec = b17;
      break;
    case 'D':
      out->kind = 'D';
      out->len = b16 == 3 ? 3 : 8;
      break;
    case 'L':
      out->kind = 'L';
      out->len = 1;
      break;
    case 'M':
      out->kind = 'M';
      out->len = b16;
      break;
    case 'B':
    case '8':
      out->kind = 'B';
      out->len = 8;
      out->dec = b17;
      break;
    case 'I':
      out->kind = 'I';
      out->len = (b16 == 2 || b16 == 8) ? b16 : 4;
      break;
    case '2':
    case '4':
      out->kind = 'I';
      out->len = static_cast<uint32_t>(letter - '0');
      break;
    default:
      return DescriptorKind::kUnknownType;
  }
  return DescriptorKind::kField;
}

bool NormalizeCreateField(const FieldDef& in, FieldDef* out) {
  FieldDef f;
  f.name = in.name.substr(0, 10);
  f.dec = 0;
  switch (in.type) {
    case 'C':
      if (in.len > 65535) return false;
      f.type = 'C';
      f.len = in.len;
      break;
    case 'N':
    case 'F':
      if (in.len >= 256 || in.dec >= 256) return false;
      f.type = 'N';
      f.len = in.len;
      f.dec = in.dec;
      break;
    case 'D':
      f.type = 'D';
      f.len = in.len == 3 ? 3 : 8;
      break;
    case 'L':
      f.type = 'L';
      f.len = 1;
      break;
    case 'M':
      f.type = 'M';
      f.len = in.len == 4 ? 4 : 10;
      break;
    case 'B':
    case '8':
      if (in.dec >= 256) return false;
      f.type = 'B';
      f.len = 8;
      f.dec = in.dec;
      break;
    case 'I':
      f.type = 'I';
      f.len = (in.len == 2 || in.len == 8) ? in.len : 4;
      break;
    case '2':
    case '4':
      f.type = 'I';
      f.len = static_cast<uint32_t>(in.type - '0');
      break;
    default:
      return false;
  }
  *out = f;
  return true;
}

DbfDescriptorBytes EncodeDbfDescriptor(const FieldDef& f) {
  DbfDescriptorBytes d{};
  std::memcpy(d.data(), f.name.data(), f.name.size() < 10 ? f.name.size() : 10);
  d[11] = static_cast<uint8_t>(f.type);
  if (f.type == 'C') {
    d[16] = static_cast<uint8_t>(f.len & 0xFF);
    d[17] = static_cast<uint8_t>(f.len >> 8);
  } else {
    d[16] = static_cast<uint8_t>(f.len);
    d[17] = static_cast<uint8_t>(f.dec);
  }
  return d;
}

uint32_t DbfHeaderLength(size_t field_count) {
  return static_cast<uint32_t>(kDbfHeaderSize + kDbfDescriptorSize * field_count + 2);
}

uint32_t DbfRecordCountFromSize(int64_t file_size, uint32_t header_length, uint32_t record_length) {
  if (record_length == 0 || file_size <= static_cast<int64_t>(header_length)) return 0;
  const uint64_t count = static_cast<uint64_t>(file_size - header_length) / record_length;
  return count > kDbfMaxRecords ? kDbfMaxRecords : static_cast<uint32_t>(count);
}

bool FieldBlankIsZero(const DbfField& f) {
  return f.kind == 'I' || f.kind == 'B' || (f.kind == 'D' && f.len == 3) ||
         (f.kind == 'M' && f.len == 4);
}

void FillBlankRecord(const std::vector<DbfField>& fields, char* buf, size_t record_length) {
  std::memset(buf, ' ', record_length);
  for (const DbfField& f : fields) {
    if (FieldBlankIsZero(f) && f.offset + f.len <= record_length) {
      std::memset(buf + f.offset, 0, f.len);
    }
  }
}

}  // namespace px
