// The DBF table file layer: the record buffer, navigation in record-number order and
// field values.
#include <algorithm>
#include <cstring>
#include <limits>

#include "engine/dbf/dbf_area.h"
#include "engine/dbf/field_codec.h"
#include "runtime/settings.h"

namespace px {

// --- The record buffer ---

void DbfArea::GoPhantom() {
  recno_ = record_count_ + 1;
  bof_ = eof_ = true;
  phantom_ = true;
  deleted_ = false;
  record_.resize(record_length_);
  FillBlankRecord(fields_, record_.data(), record_.size());
  record_valid_ = true;
}

bool DbfArea::ReadRecord(uint32_t recno) {
  if (shared_ && recno > record_count_) RefreshRecordCount();
  record_valid_ = false;
  const uint64_t offset = DbfRecordOffset(header_length_, record_length_, recno);
  if (recno == 0 || file_->ReadAt(offset, record_.data(), record_length_) !=
                        static_cast<int64_t>(record_length_)) {
    Error e = TableError(kErrRead, 1010, false, false);
    e.filename.clear();
    e.os_code = file_->os_error();
    RaiseError(e);
    return false;
  }
  deleted_ = record_[0] == kDbfDeleted;
  record_valid_ = true;
  return true;
}

bool DbfArea::WriteRecord() {
  if (recno_ == 0 || phantom_) return true;
  const uint64_t offset = DbfRecordOffset(header_length_, record_length_, recno_);
  if (file_->WriteAt(offset, record_.data(), record_length_) !=
      static_cast<int64_t>(record_length_)) {
    Error e = TableError(kErrWrite, 1011, false, false);
    e.filename.clear();
    e.os_code = file_->os_error();
    RaiseError(e);
    return false;
  }
  data_written_ = true;
  return true;
}

void DbfArea::LoadRecord(uint32_t recno, const char* bytes) {
  record_.assign(bytes, record_length_);
  recno_ = recno;
  deleted_ = record_[0] == kDbfDeleted;
  phantom_ = false;
  record_valid_ = true;
  hot_ = appended_ = false;
}

bool DbfArea::EnsureRecord() {
  if (file_ == nullptr) return false;
  if (record_valid_) return true;
  return ReadRecord(recno_);
}

bool DbfArea::PrepareRecordForChange() {
  if (read_only_) {
    Error e = TableError(kErrReadOnly, 1025, false, false);
    e.filename.clear();
    RaiseError(e);
    return false;
  }
  // A record of a shared table changes only under this area's record or file lock.
  if (shared_ && !file_locked_ && !IsRecordLocked(recno_)) {
    Error e = TableError(kErrUnlocked, 1022, false, false);
    e.filename.clear();
    RaiseError(e);
    return false;
  }
  if (!hot_) return GoHot();
  return true;
}

bool DbfArea::GoHot() {
  hot_ = true;
  return true;
}

bool DbfArea::GoCold() {
  if (!hot_ || file_ == nullptr) return true;
  if (!WriteRecord()) return false;
  hot_ = false;
  appended_ = false;
  return true;
}

// --- Navigation ---

bool DbfArea::GoTo(uint32_t recno) {
  if (file_ == nullptr) return false;
  if (!GoCold()) return false;
  if (shared_ && recno > record_count_) RefreshRecordCount();
  found_ = false;
  if (recno >= 1 && recno <= record_count_) {
    recno_ = recno;
    bof_ = eof_ = false;
    phantom_ = false;
    record_valid_ = false;
    return true;
  }
  GoPhantom();
  return true;
}

bool DbfArea::GoToId(const Value& id) {
  int64_t n = 0;
  if (id.is_number()) {
    n = id.integer();
  } else if (id.is_date()) {
    n = id.date();
  } else if (id.is_char() && id.str().size() <= 1) {
    n = id.str().empty() ? 0 : static_cast<uint8_t>(id.str()[0]);
  } else {
    Error e = Error::Make("", kErrDataType, 1020);
    e.operation = "DBGOTO";
    e.can_default = true;
    RaiseError(e);
    return false;
  }
  if (n < 0 || n > std::numeric_limits<uint32_t>::max()) n = 0;
  return GoTo(static_cast<uint32_t>(n));
}

bool DbfArea::GoTop() {
  if (file_ == nullptr) return false;
  top_ = true;
  bottom_ = false;
  if (!GoTo(1)) return false;
  return SkipFilter(1);
}

bool DbfArea::GoBottom() {
  if (file_ == nullptr) return false;
  if (!GoCold()) return false;
  if (shared_) RefreshRecordCount();
  bottom_ = true;
  top_ = false;
  if (!GoTo(record_count_)) return false;
  return SkipFilter(-1);
}

bool DbfArea::SkipRaw(int64_t n) {
  if (file_ == nullptr) return false;
  if (n == 0) {
    // Re-reads the current record, keeping both file flags.
    const bool bof = bof_, eof = eof_;
    if (!GoTo(recno_)) return false;
    bof_ = bof;
    eof_ = eof;
    return true;
  }
  int64_t target = static_cast<int64_t>(recno_) + n;
  if (n < 0 && target < 0) target = 0;
  if (target > static_cast<int64_t>(std::numeric_limits<uint32_t>::max())) {
    target = std::numeric_limits<uint32_t>::max();
  }
  return GoTo(static_cast<uint32_t>(target));
}

bool DbfArea::Skip(int64_t n) {
  if (file_ == nullptr) return false;
  if (n == 0 || GetSettings().deleted || filter_ != nullptr) return WorkArea::Skip(n);
  if (!SkipRaw(n)) return false;
  if (n < 0 && bof_) {
    if (!GoTop()) return false;
    bof_ = true;
  }
  SettleSkipFlags(n);
  return true;
}

bool DbfArea::Seek(bool /*soft_seek*/, const Value& /*key*/, bool /*find_last*/) {
  Error e = Error::Make("", kErrNoOrder, 1201);
  e.can_default = true;
  RaiseError(e);
  return false;
}

// --- Records ---

bool DbfArea::RecCount(uint32_t* out) {
  if (shared_) RefreshRecordCount();
  *out = record_count_;
  return file_ != nullptr;
}

bool DbfArea::RecNo(uint32_t* out) {
  *out = recno_;
  return file_ != nullptr;
}

bool DbfArea::Deleted(bool* out) {
  *out = false;
  if (!EnsureRecord()) return false;
  *out = deleted_;
  return true;
}

bool DbfArea::Append(bool release_other_locks) {
  if (file_ == nullptr) return false;
  if (read_only_) {
    Error e = TableError(kErrReadOnly, 1025, false, false);
    e.filename.clear();
    RaiseError(e);
    return false;
  }
  if (!GoCold()) return false;
  if (shared_) {
    // The header lock serialises appends of every process from the count refresh to
    // the write of the new record and header.
    if (!RawLock(LockAction::kAppendLock, 0)) return false;
    RefreshRecordCount();
  }
  if (record_count_ >= kDbfMaxRecords) {
    if (shared_) RawLock(LockAction::kAppendUnlock, 0);
    Error e = TableError(kErrWrite, 1011, false, false);
    RaiseError(e);
    return false;
  }
  if (shared_) {
    // The new record is locked before it exists. Another process may hold that lock
    // already (a record lock on the record past the end): then nothing is appended.
    const uint32_t recno = record_count_ + 1;
    if (!file_locked_ && !IsRecordLocked(recno)) {
      if (release_other_locks) ReleaseRecordLocks(0);
      if (!TakeRecordLock(recno)) {
        RawLock(LockAction::kAppendUnlock, 0);
        Error e = TableError(kErrAppendLock, 1024, false, true);
        e.filename.clear();
        RaiseError(e);
        return false;
      }
    }
  }
  record_count_ += 1;
  recno_ = record_count_;
  record_.resize(record_length_);
  FillBlankRecord(fields_, record_.data(), record_.size());
  record_valid_ = true;
  phantom_ = false;
  deleted_ = false;
  bof_ = eof_ = found_ = false;
  hot_ = true;
  appended_ = true;
  header_pending_ = true;
  if (!shared_) return true;
  // A shared table gets the record and the header at once, so that the header always
  // carries the count that other processes see.
  bool ok = GoCold();
  ok = ok && WriteDbHeader();
  RawLock(LockAction::kAppendUnlock, 0);
  return ok;
}

bool DbfArea::DeleteRecord() {
  if (!EnsureRecord()) return false;
  if (phantom_) return true;
  if (!PrepareRecordForChange()) return false;
  record_[0] = kDbfDeleted;
  deleted_ = true;
  return true;
}

bool DbfArea::Recall() {
  if (!EnsureRecord()) return false;
  if (phantom_) return true;
  if (!PrepareRecordForChange()) return false;
  record_[0] = kDbfLive;
  deleted_ = false;
  return true;
}

bool DbfArea::GetRecord(std::string* out) {
  if (!EnsureRecord()) return false;
  *out = record_;
  return true;
}

bool DbfArea::PutRecord(const std::string& bytes) {
  if (!EnsureRecord()) return false;
  if (bytes.size() != record_length_) {
    Error e = Error::Make("", kErrDataWidth, 1021);
    e.can_default = true;
    RaiseError(e);
    return false;
  }
  if (phantom_) return true;
  if (!PrepareRecordForChange()) return false;
  record_ = bytes;
  deleted_ = record_[0] == kDbfDeleted;
  return true;
}

// --- Fields ---

bool DbfArea::FieldCount(uint16_t* out) {
  *out = static_cast<uint16_t>(fields_.size());
  return file_ != nullptr;
}

bool DbfArea::FieldInfo(uint16_t field, FieldDef* out) {
  if (field < 1 || field > fields_.size()) return false;
  const DbfField& f = fields_[field - 1];
  out->name = f.name;
  out->type = f.kind;
  out->len = f.len;
  out->dec = f.dec;
  return true;
}

bool DbfArea::FieldName(uint16_t field, std::string* out) {
  if (field < 1 || field > fields_.size()) return false;
  *out = fields_[field - 1].name;
  return true;
}

bool DbfArea::GetVarLen(uint16_t field, uint32_t* out) {
  if (field < 1 || field > fields_.size()) return false;
  *out = fields_[field - 1].len;
  return true;
}

bool DbfArea::GetValue(uint16_t field, Value* out) {
  if (field < 1 || field > fields_.size()) return false;
  if (!EnsureRecord()) return false;
  const DbfField& f = fields_[field - 1];
  *out = DecodeField(f, record_.data() + f.offset);
  return true;
}

void DbfArea::RaisePutError(int gen_code, int sub_code, const DbfField& field) {
  Error e = Error::Make("", gen_code, sub_code);
  e.operation = field.name;
  e.can_default = true;
  RaiseError(e);
}

bool DbfArea::PutValue(uint16_t field, const Value& value) {
  if (field < 1 || field > fields_.size()) return false;
  if (!EnsureRecord()) return false;
  // Not on a record (end of file): nothing to change.
  if (phantom_) return true;
  if (!PrepareRecordForChange()) return false;
  const DbfField& f = fields_[field - 1];
  switch (EncodeField(f, value, record_.data() + f.offset)) {
    case EncodeResult::kOk:
      record_[0] = deleted_ ? kDbfDeleted : kDbfLive;
      break;
    case EncodeResult::kDataType:
      RaisePutError(kErrDataType, 1020, f);
      break;
    case EncodeResult::kDataWidth:
      RaisePutError(kErrDataWidth, 1021, f);
      break;
  }
  // A put whose value was refused still reports success once the handler returned.
  return true;
}

// --- Zap (pack is in dbf_pack.cc) ---

bool DbfArea::CheckExclusiveWritable() {
  if (file_ == nullptr) return false;
  if (read_only_ || shared_) {
    Error e = read_only_ ? TableError(kErrReadOnly, 1025, false, false)
                         : TableError(kErrShared, 1023, false, false);
    e.filename.clear();
    RaiseError(e);
    return false;
  }
  return true;
}

bool DbfArea::Zap() {
  if (!CheckExclusiveWritable() || !GoCold()) return false;
  record_count_ = 0;
  header_pending_ = true;
  bool ok = GoTo(0);
  if (has_memo_ && memo_file_ != nullptr) {
    OpenInfo reset = MemoInfo();
    reset.file_name.clear();
    ok = CreateMemoFile(reset) && ok;
  }
  return ok;
}

}  // namespace px
