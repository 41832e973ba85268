// The DBF table file layer: opening, creating, closing, the header and the memo file
// handle. Navigation and the record buffer are in dbf_record.cc.
#include "engine/dbf/dbf_area.h"

#include <cstring>

#include "engine/dbf/buffered_file.h"

#include "runtime/date.h"
#include "runtime/dos_path.h"
#include "runtime/process_state.h"
#include "runtime/settings.h"

namespace px {

namespace {

// Joins a folder and a file name with a backslash unless the folder ends in a separator.
std::string JoinFolder(const std::string& folder, const std::string& file) {
  if (folder.empty()) return file;
  const char last = folder.back();
  if (last == '\\' || last == '/' || last == ':') return folder + file;
  return folder + "\\" + file;
}

// The folders of the search-path setting, separated by ";" or ",".
std::vector<std::string> SearchPath(const std::string& path) {
  std::vector<std::string> out;
  std::string cur;
  for (char c : path) {
    if (c == ';' || c == ',') {
      if (!cur.empty()) out.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) out.push_back(cur);
  return out;
}

// A name without a folder is looked for in the default folder, then along the search
// path; the first folder where it exists is used, else the name as given.
std::string FindExistingTable(const std::string& name) {
  std::string folder, file;
  SplitPath(name, &folder, &file);
  if (!folder.empty()) return name;
  const Settings& s = GetSettings();
  Env* env = GetEnv();
  if (!s.default_folder.empty()) {
    const std::string candidate = JoinFolder(s.default_folder, file);
    if (env->FileExists(candidate)) return candidate;
  }
  for (const std::string& dir : SearchPath(s.path)) {
    const std::string candidate = JoinFolder(dir, file);
    if (env->FileExists(candidate)) return candidate;
  }
  return name;
}

// A new table without a folder goes to the default folder when one is set.
std::string PlaceNewTable(const std::string& name) {
  std::string folder, file;
  SplitPath(name, &folder, &file);
  const Settings& s = GetSettings();
  if (!folder.empty() || s.default_folder.empty()) return name;
  return JoinFolder(s.default_folder, file);
}

// Same folder and base name, another extension.
std::string WithExtension(const std::string& name, const char* ext) {
  std::string folder, file, base;
  SplitPath(name, &folder, &file);
  SplitExtension(file, &base, nullptr);
  return folder + base + ext;
}

}  // namespace

DbfArea::DbfArea(std::string driver_name) : driver_name_(std::move(driver_name)) {}

DbfArea::~DbfArea() {
  if (file_ != nullptr) DbfArea::Close();
}

bool DbfArea::SysName(std::string* out) {
  *out = driver_name_;
  return true;
}

Error DbfArea::TableError(int gen_code, int sub_code, bool retry, bool deflt) const {
  Error e = Error::Make("", gen_code, sub_code);
  e.filename = file_name_;
  e.can_retry = retry;
  e.can_default = deflt;
  return e;
}

bool DbfArea::AddField(const FieldDef& field) {
  pending_fields_.push_back(field);
  return true;
}

bool DbfArea::CreateFields(const std::vector<FieldDef>& fields) {
  for (const FieldDef& f : fields) AddField(f);
  return true;
}

void DbfArea::ResetTableState() {
  file_.reset();
  memo_file_.reset();
  file_name_.clear();
  memo_name_.clear();
  shared_ = read_only_ = has_memo_ = false;
  header_ = DbfHeader();
  fields_.clear();
  header_length_ = record_length_ = record_count_ = 0;
  recno_ = 0;
  record_.clear();
  record_valid_ = phantom_ = deleted_ = hot_ = appended_ = false;
  data_written_ = header_pending_ = memo_written_ = false;
  file_locked_ = header_locked_ = false;
  locked_records_.clear();
  bof_ = eof_ = found_ = top_ = bottom_ = positioned_ = false;
}

OpenInfo DbfArea::MemoInfo() const {
  OpenInfo info;
  info.area = area_number_;
  info.file_name = memo_name_;
  info.alias = alias_;
  info.shared = shared_;
  info.read_only = read_only_;
  return info;
}

bool DbfArea::OpenDataFile(const std::string& name, const std::string& shown) {
  const FileAccess access = read_only_ ? FileAccess::kRead : FileAccess::kReadWrite;
  const FileShare share = shared_ ? FileShare::kDenyNone : FileShare::kExclusive;
  Error e = TableError(kErrOpen, 1001, true, true);
  e.filename = shown.empty() ? name : shown;
  for (;;) {
    int os_code = 0;
    file_ = GetEnv()->OpenFile(name, access, share, &os_code);
    if (file_ != nullptr) {
      // Nobody else can open an exclusive table: its I/O may be buffered.
      if (!shared_) file_ = std::make_unique<BufferedFile>(std::move(file_));
      return true;
    }
    // Without an error code from the system there is nothing to report.
    if (os_code == 0) return false;
    e.os_code = os_code == kOsInvalidData ? kOsSharingViolation : os_code;
    if (!RaiseError(e).retry()) return false;
  }
}

bool DbfArea::ReadStructure(Error* e) {
  *e = TableError(kErrCorruption, 1012, true, true);
  uint8_t head[kDbfHeaderSize];
  if (file_->ReadAt(0, head, sizeof head) != static_cast<int64_t>(sizeof head)) return false;
  const DbfHeader h = DecodeDbfHeader(head);
  if (!IsAcceptedDbfVersion(h.version)) return false;

  const uint32_t hlen = h.header_length;
  const uint32_t slots = hlen > kDbfHeaderSize ? (hlen - kDbfHeaderSize) / kDbfDescriptorSize : 0;
  std::vector<uint8_t> area(static_cast<size_t>(slots) * kDbfDescriptorSize);
  if (!area.empty() && file_->ReadAt(kDbfHeaderSize, area.data(), area.size()) !=
                           static_cast<int64_t>(area.size())) {
    return false;
  }

  std::vector<DbfField> fields;
  uint32_t offset = 1;
  for (uint32_t i = 0; i < slots; ++i) {
    DbfField f;
    const DescriptorKind kind = DecodeDbfDescriptor(&area[i * kDbfDescriptorSize], h.version, &f);
    if (kind == DescriptorKind::kEnd) break;
    if (kind == DescriptorKind::kUnknownType) return false;
    f.offset = offset;
    offset += f.len;
    // A record longer than the 16-bit record length cannot be a table of this format.
    if (offset > kDbfMaxRecordLength) return false;
    fields.push_back(std::move(f));
  }
  if (fields.empty()) return false;

  header_ = h;
  fields_ = std::move(fields);
  header_length_ = hlen;
  record_length_ = offset;
  has_memo_ = DbfVersionHasMemo(h.version, h.flags);
  return true;
}

bool DbfArea::Open(const OpenInfo& info) {
  if (file_ != nullptr) Close();
  area_number_ = info.area != 0 ? info.area : area_number_;
  if (!RegisterOpenAlias(info.alias)) return false;

  shared_ = info.shared;
  read_only_ = info.read_only;
  file_name_ = FindExistingTable(info.file_name);
  if (!OpenDataFile(file_name_)) {
    Close();
    return false;
  }

  for (;;) {
    Error e;
    if (ReadStructure(&e)) break;
    // A damaged structure is read again while the handler answers retry (the file may
    // have been replaced meanwhile); otherwise the open fails.
    if (!RaiseError(e).retry()) {
      Close();
      return false;
    }
  }

  // Schemes 1 and 2 place their locks alike; scheme 3's offsets are not supported, so
  // every other setting means scheme 1.
  lock_scheme_ = GetSettings().lock_scheme == 2 ? 2 : 1;
  record_.assign(record_length_, ' ');
  RefreshRecordCount();

  if (has_memo_) {
    memo_name_ = WithExtension(file_name_, kMemoExtension);
    if (!OpenMemoFile(MemoInfo())) {
      Close();
      return false;
    }
  }
  return GoTop();
}

bool DbfArea::Create(const OpenInfo& info) {
  if (file_ != nullptr) Close();
  area_number_ = info.area != 0 ? info.area : area_number_;

  std::vector<FieldDef> defs;
  std::vector<DbfField> fields;
  uint32_t offset = 1;
  bool memo = false;
  for (const FieldDef& requested : pending_fields_) {
    FieldDef def;
    if (!NormalizeCreateField(requested, &def)) return false;
    DbfField f;
    f.name = def.name;
    f.kind = f.letter = def.type;
    f.len = def.len;
    f.dec = def.dec;
    f.offset = offset;
    offset += def.len;
    if (def.type == 'M') memo = true;
    defs.push_back(def);
    fields.push_back(std::move(f));
  }
  if (defs.empty()) return false;

  const std::string name = PlaceNewTable(info.file_name);
  if (defs.size() > kDbfMaxFields || offset > kDbfMaxRecordLength) {
    // The header cannot describe such a table.
    Error e = Error::Make("", kErrCreate, 1004);
    e.filename = name;
    e.can_default = true;
    RaiseError(e);
    return false;
  }
  if (!RegisterOpenAlias(info.alias)) return false;

  Error e = Error::Make("", kErrCreate, 1004);
  e.filename = name;
  e.can_retry = e.can_default = true;
  for (;;) {
    int os_code = 0;
    file_ = GetEnv()->CreateFile(name, FileShare::kExclusive, &os_code);
    if (file_ != nullptr) break;
    e.os_code = os_code;
    if (!RaiseError(e).retry()) {
      Close();
      return false;
    }
  }

  file_name_ = name;
  shared_ = read_only_ = false;
  header_ = DbfHeader();
  header_.version = memo ? kDbfVersionMemo : kDbfVersionPlain;
  fields_ = std::move(fields);
  header_length_ = DbfHeaderLength(defs.size());
  record_length_ = offset;
  record_count_ = 0;
  has_memo_ = memo;
  record_.assign(record_length_, ' ');

  // The header with its end-of-file mark, then the descriptors and the terminator.
  bool ok = WriteDbHeader();
  std::vector<uint8_t> area;
  area.reserve(defs.size() * kDbfDescriptorSize + 3);
  for (const FieldDef& def : defs) {
    const DbfDescriptorBytes d = EncodeDbfDescriptor(def);
    area.insert(area.end(), d.begin(), d.end());
  }
  area.push_back(kDbfTerminator);
  area.push_back(0);
  area.push_back(kDbfEofMark);
  ok = ok && file_->WriteAt(kDbfHeaderSize, area.data(), area.size()) ==
                 static_cast<int64_t>(area.size());
  if (!ok) {
    // The half-written file stays on disk.
    Close();
    return false;
  }
  data_written_ = true;
  // The new table is exclusive: from here on its I/O may be buffered.
  file_ = std::make_unique<BufferedFile>(std::move(file_));

  if (memo) {
    memo_name_ = WithExtension(file_name_, kMemoExtension);
    OpenInfo memo_info = MemoInfo();
    if (!CreateMemoFile(memo_info)) {
      Close();
      return false;
    }
  }
  pending_fields_.clear();
  return GoTop();
}

bool DbfArea::Close() {
  bool ok = true;
  if (file_ != nullptr) {
    ok = GoCold();
    ok = Unlock(0) && ok;
    if (header_pending_) ok = WriteDbHeader() && ok;
    ok = WriteCollected() && ok;
    if (GetSettings().hard_commit) {
      if (data_written_) ok = file_->Sync() && ok;
      if (memo_written_ && memo_file_ != nullptr) ok = memo_file_->Sync() && ok;
    }
  }
  if (memo_file_ != nullptr) CloseMemoFile();
  ResetTableState();
  WorkArea::Close();
  return ok;
}

bool DbfArea::Flush() {
  if (file_ == nullptr) return false;
  bool ok = GoCold();
  if (header_pending_) ok = WriteDbHeader() && ok;
  ok = WriteCollected() && ok;
  if (GetSettings().hard_commit) {
    if (data_written_) ok = file_->Sync() && ok;
    if (memo_written_ && memo_file_ != nullptr) ok = memo_file_->Sync() && ok;
  }
  data_written_ = false;
  memo_written_ = false;
  return ok;
}

bool DbfArea::WriteCollected() {
  auto* buffered = dynamic_cast<BufferedFile*>(file_.get());
  if (buffered == nullptr || buffered->Flush()) return true;
  Error e = TableError(kErrWrite, 1011, false, false);
  e.os_code = buffered->os_error();
  RaiseError(e);
  return false;
}

void DbfArea::RefreshRecordCount() {
  if (file_ == nullptr) return;
  const int64_t size = file_->Size();
  if (size >= 0) record_count_ = DbfRecordCountFromSize(size, header_length_, record_length_);
}

bool DbfArea::ReadDbHeader() {
  if (file_ == nullptr) return false;
  uint8_t head[kDbfHeaderSize];
  if (file_->ReadAt(0, head, sizeof head) != static_cast<int64_t>(sizeof head) ||
      !IsAcceptedDbfVersion(head[0])) {
    Error e = TableError(kErrCorruption, 1012, false, true);
    RaiseError(e);
    return false;
  }
  if (shared_) RefreshRecordCount();
  return true;
}

DbfHeaderBytes DbfArea::HeaderForRewrite(uint32_t record_count) const {
  DbfHeader h;
  h.version = DbfVersionForRewrite(header_.version, has_memo_);
  int year = 0, month = 0, day = 0;
  DateToYmd(Today(), &year, &month, &day);
  h.year = static_cast<uint8_t>(year - 1900);
  h.month = static_cast<uint8_t>(month);
  h.day = static_cast<uint8_t>(day);
  h.flags = DbfFlagsForRewrite(header_.version, header_.flags, has_memo_);
  h.code_page = header_.code_page;
  h.record_count = record_count;
  h.header_length = static_cast<uint16_t>(header_length_);
  h.record_length = static_cast<uint16_t>(record_length_);
  return EncodeDbfHeader(h);
}

bool DbfArea::WriteDbHeader() {
  if (file_ == nullptr) return false;
  bool took_lock = false;
  if (shared_) {
    if (!header_locked_) {
      if (!RawLock(LockAction::kHeaderLock, 0)) return false;
      took_lock = true;
    }
    RefreshRecordCount();
  } else {
    // The end-of-file mark right after the last record, and nothing behind it.
    const uint64_t end = header_length_ + static_cast<uint64_t>(record_length_) * record_count_;
    const uint8_t mark = kDbfEofMark;
    if (file_->WriteAt(end, &mark, 1) != 1 || !file_->Truncate(end + 1)) {
      Error e = TableError(kErrWrite, 1011, false, false);
      e.os_code = file_->os_error();
      RaiseError(e);
      return false;
    }
  }

  const DbfHeaderBytes bytes = HeaderForRewrite(record_count_);
  bool ok = file_->WriteAt(0, bytes.data(), bytes.size()) == static_cast<int64_t>(bytes.size());
  if (!ok) {
    Error e = TableError(kErrWrite, 1011, false, false);
    e.os_code = file_->os_error();
    RaiseError(e);
  } else {
    data_written_ = true;
    header_pending_ = false;
  }
  if (took_lock) RawLock(LockAction::kHeaderUnlock, 0);
  return ok;
}

bool DbfArea::CreateMemoFile(const OpenInfo& info) {
  Error e = Error::Make("", kErrCreate, 1004);
  e.filename = info.file_name;
  e.can_retry = true;
  for (;;) {
    if (info.file_name.empty()) {
      if (memo_file_ == nullptr) return false;
      break;  // reset the open memo file
    }
    int os_code = 0;
    memo_file_ = GetEnv()->CreateFile(info.file_name, FileShare::kExclusive, &os_code);
    if (memo_file_ != nullptr) break;
    e.os_code = os_code;
    if (!RaiseError(e).retry()) return false;
  }
  // The header block: next free block 1, then zeros.
  uint8_t block[kMemoBlockSize] = {};
  PutLe32(block, 1);
  if (memo_file_->WriteAt(0, block, sizeof block) != static_cast<int64_t>(sizeof block) ||
      !memo_file_->Truncate(sizeof block)) {
    Error w = Error::Make("", kErrWrite, 1011);
    w.filename = info.file_name.empty() ? memo_name_ : info.file_name;
    w.os_code = memo_file_->os_error();
    RaiseError(w);
    memo_file_.reset();
    return false;
  }
  memo_written_ = true;
  return true;
}

bool DbfArea::OpenMemoFile(const OpenInfo& info) {
  const FileAccess access = info.read_only ? FileAccess::kRead : FileAccess::kReadWrite;
  const FileShare share = info.shared ? FileShare::kDenyNone : FileShare::kExclusive;
  Error e = Error::Make("", kErrOpen, 1001);
  e.filename = info.file_name;
  e.can_retry = e.can_default = true;
  for (;;) {
    int os_code = 0;
    memo_file_ = GetEnv()->OpenFile(info.file_name, access, share, &os_code);
    if (memo_file_ != nullptr) return true;
    if (!RaiseError(e).retry()) return false;
  }
}

bool DbfArea::CloseMemoFile() {
  memo_file_.reset();
  return true;
}

bool DbfArea::Info(TableInfo what, Value* out) {
  switch (what) {
    case TableInfo::kIsShared:
      *out = Value::Logical(shared_);
      return true;
    case TableInfo::kIsReadOnly:
      *out = Value::Logical(read_only_);
      return true;
    case TableInfo::kFullPath:
      *out = Value::String(file_ != nullptr ? file_->host_path() : std::string());
      return true;
    case TableInfo::kTableExt:
      *out = Value::String(".dbf");
      return true;
    case TableInfo::kMemoExt:
      *out = Value::String(kMemoExtension);
      return true;
    case TableInfo::kLockCount:
      *out = Value::Integer(static_cast<int64_t>(locked_records_.size()));
      return true;
    case TableInfo::kLockList: {
      std::vector<Value> list;
      for (uint32_t r : locked_records_) list.push_back(Value::Integer(r));
      *out = Value::Array(std::move(list));
      return true;
    }
    case TableInfo::kFileLocked:
      *out = Value::Logical(file_locked_);
      return true;
    case TableInfo::kLastUpdate:
      *out = Value::Date(DateFromYmd(header_.year + 1900, header_.month, header_.day));
      return true;
    case TableInfo::kHeaderSize:
      *out = Value::Integer(header_length_);
      return true;
    case TableInfo::kRecordSize:
      *out = Value::Integer(record_length_);
      return true;
    case TableInfo::kHasMemo:
      *out = Value::Logical(has_memo_);
      return true;
  }
  return Unsupported("Info");
}

}  // namespace px
