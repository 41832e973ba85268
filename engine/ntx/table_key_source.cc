#include "engine/ntx/table_key_source.h"

#include <algorithm>
#include <cstdio>

#include "engine/dbf/field_codec.h"
#include "engine/ntx/ntx_area.h"
#include "runtime/settings.h"

namespace px {

namespace {

// Whether the text of a numeric field is exactly what STR gives for its value at the
// field's width and decimals: blanks, an optional minus, the integer digits without
// leading zeros (a single 0 for none), and the point with `dec` digits. Its key can then
// be made from the text itself. Texts of more than 15 digits are left to STR, which
// rounds to 16 significant digits.
bool IsStrText(const char* p, size_t len, size_t dec) {
  size_t i = 0;
  while (i < len && p[i] == ' ') ++i;
  bool minus = false;
  if (i < len && p[i] == '-') {
    minus = true;
    ++i;
  }
  const size_t int_start = i;
  while (i < len && p[i] >= '0' && p[i] <= '9') ++i;
  const size_t int_digits = i - int_start;
  if (int_digits == 0 || (int_digits > 1 && p[int_start] == '0')) return false;
  if (dec > 0) {
    if (i + 1 + dec != len || p[i] != '.') return false;
    for (size_t j = i + 1; j < len; ++j) {
      if (p[j] < '0' || p[j] > '9') return false;
    }
  } else if (i != len) {
    return false;
  }
  if (int_digits + dec > 15) return false;
  if (minus) {
    // Zero carries no minus sign.
    bool zero = true;
    for (size_t j = int_start; j < len; ++j) zero = zero && (p[j] == '0' || p[j] == '.');
    if (zero) return false;
  }
  return true;
}

}  // namespace

TableKeySource::TableKeySource(NtxArea* area, const ntx::KeySpec& spec, Mode mode)
    : area_(area), spec_(spec), mode_(mode), strict_(GetSettings().strict_read) {
  area_->RecCount(&count_);
}

bool TableKeySource::NextRecord(uint32_t* recno, const char** bytes) {
  if (strict_) {
    // Through navigation, so that hidden records are left out.
    const bool moved = started_ ? area_->Skip(1) : area_->GoTop();
    started_ = true;
    bool eof = true;
    if (!moved || !area_->Eof(&eof) || eof) return false;
    area_->RecNo(recno);
    *bytes = nullptr;
    return true;
  }
  if (next_ > count_ || next_ == 0) return false;
  if (next_ >= block_first_ + block_count_ || block_count_ == 0) {
    const uint32_t n = std::min<uint32_t>(kBlockRecords, count_ - next_ + 1);
    const uint64_t length = area_->record_length();
    block_.resize(static_cast<size_t>(n * length));
    File* file = area_->table_file();
    const uint64_t offset = area_->header_length() + length * (next_ - 1);
    if (file->ReadAt(offset, block_.data(), block_.size()) != static_cast<int64_t>(block_.size())) {
      Error e = Error::Make("", kErrRead, 1010);
      e.os_code = file->os_error();
      e.filename = area_->file_name();
      e.can_default = true;
      area_->RaiseError(e);
      ok_ = false;
      return false;
    }
    block_first_ = next_;
    block_count_ = n;
  }
  *recno = next_;
  *bytes = block_.data() + static_cast<size_t>(next_ - block_first_) * area_->record_length();
  ++next_;
  return true;
}

bool TableKeySource::MakeKey(const char* bytes, std::string_view* key) {
  const ntx::KeySpec& s = spec_;
  const size_t size = static_cast<size_t>(s.key_size);
  const DbfField* field = s.field;
  // A character field at least as long as the key: the key is its first bytes.
  if (field != nullptr && field->kind == 'C' && field->len >= size && bytes != nullptr) {
    *key = std::string_view(bytes + field->offset, size);
    return true;
  }
  // A numeric field as wide as the key: its text is the STR text of the key, as a rule.
  if (field != nullptr && field->kind == 'N' && bytes != nullptr && s.key_type == 'N' &&
      field->len == size && field->dec == static_cast<uint32_t>(s.key_decimals) &&
      IsStrText(bytes + field->offset, size, field->dec)) {
    key_ = ntx::NumericKeyFromStr(std::string_view(bytes + field->offset, size));
    *key = key_;
    return true;
  }
  Value& v = value_;
  if (field != nullptr && bytes != nullptr) {
    v = DecodeField(*field, bytes + field->offset);
  } else if (!area_->EvalKey(s, &v)) {
    return false;
  }
  if (mode_ == Mode::kMaintenance) {
    key_ = ntx::KeyBytes(s, v);
  } else if (ntx::KeyTypeOf(v) != s.key_type ||
             !ntx::KeyFromValue(v, s.key_size, s.key_decimals, false, ntx::KeyStrFormatter(),
                                &key_)) {
    std::fputs("ntxCreateOrder", stdout);
    std::fflush(stdout);
    return false;
  }
  *key = key_;
  return true;
}

bool TableKeySource::Next(uint32_t* recno, std::string_view* key) {
  for (;;) {
    const char* bytes = nullptr;
    if (!NextRecord(recno, &bytes)) return false;
    const bool needs_record = spec_.for_block != nullptr || spec_.field == nullptr;
    if (bytes != nullptr && needs_record) {
      area_->LoadRecord(*recno, bytes);
      bytes = nullptr;
    }
    if (!area_->ForOk(spec_)) continue;
    if (bytes == nullptr && spec_.field != nullptr) {
      // The record is the area's current one: read the field from its buffer.
      if (!area_->EnsureRecord()) {
        ok_ = false;
        return false;
      }
      bytes = area_->record_buffer().data();
    }
    if (MakeKey(bytes, key)) return true;
  }
}

}  // namespace px
