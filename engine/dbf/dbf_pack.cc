// Packing a table: removing the records marked deleted (and, with a plan, more records),
// storing the plan's values into the records that stay.
//
// The table file itself is never written by a pack. The records that stay go, behind
// the header a rewrite would give the table now (new record count, today's date) and
// followed by the end-of-file mark, to a copy beside the table: the table's name with
// the extension ".zpk". Once the copy is whole, and on disk when hard commit is on, the
// table's own file is closed, the copy is renamed over it in one step and the table is
// opened again. So whatever stops a pack (the process killed, a full disk, a write the
// OS refuses), the table's name holds either the old table or the packed one, for this
// process and for every other workstation; a copy that a killed pack left behind is
// replaced by the next pack. A failure before the rename removes the copy and leaves
// the table open in the area as it was.
//
// The rename cannot be made while this area holds the table open (Windows refuses it,
// and the share-mode byte would conflict), so the table is closed for as short a time
// as the rename takes.
//
// The memo file is not touched: texts of removed records stay in it, unreferenced, and
// the records that stay keep their references.
#include <algorithm>
#include <cstring>

#include "engine/dbf/dbf_area.h"
#include "engine/dbf/field_codec.h"
#include "engine/workarea/maintenance.h"
#include "runtime/dos_path.h"
#include "runtime/settings.h"

namespace px {

namespace {

// Records are read, and the ones that stay written, in chunks of about this size.
constexpr size_t kChunkBytes = 256 * 1024;

bool EqualNoCase(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return (x >= 'a' && x <= 'z' ? x - 32 : x) == (y >= 'a' && y <= 'z' ? y - 32 : y);
  });
}

// The packed copy of a table while it is written: created, written, synced, closed,
// and deleted again unless it has replaced the table.
class PackedCopy {
 public:
  explicit PackedCopy(std::string name) : name_(std::move(name)) {}
  ~PackedCopy() { Discard(); }
  PackedCopy(const PackedCopy&) = delete;
  PackedCopy& operator=(const PackedCopy&) = delete;

  const std::string& name() const { return name_; }
  bool created() const { return created_; }
  File* file() { return file_.get(); }

  // Creates the file exclusively, replacing a stale one. 0 or the OS code.
  int Create() {
    int os_code = 0;
    file_ = GetEnv()->CreateFile(name_, FileShare::kExclusive, &os_code);
    created_ = file_ != nullptr;
    return created_ ? 0 : (os_code != 0 ? os_code : kOsUnknown);
  }
  // Syncs (when asked) and closes; false with *os_code when the sync failed.
  bool Close(bool sync, int* os_code) {
    if (sync && !file_->Sync()) {
      *os_code = file_->os_error();
      return false;
    }
    file_.reset();
    return true;
  }
  // The copy has taken the table's name: nothing is left to delete.
  void Renamed() { created_ = false; }
  void Discard() {
    file_.reset();
    if (created_) GetEnv()->DeleteFile(name_);
    created_ = false;
  }

 private:
  std::string name_;
  std::unique_ptr<File> file_;
  bool created_ = false;
};

// A plan in the order the records are copied: dropped records ascending, puts by
// record number (in their given order within a record).
class OrderedPlan {
 public:
  explicit OrderedPlan(const PackPlan& plan) : drop_(plan.drop) {
    std::sort(drop_.begin(), drop_.end());
    for (const PackPlan::Put& p : plan.puts) puts_.push_back(&p);
    std::stable_sort(
        puts_.begin(), puts_.end(),
        [](const PackPlan::Put* a, const PackPlan::Put* b) { return a->recno < b->recno; });
  }
  // Records must be asked about in ascending order.
  bool Drops(uint32_t recno) {
    while (next_drop_ < drop_.size() && drop_[next_drop_] < recno) ++next_drop_;
    return next_drop_ < drop_.size() && drop_[next_drop_] == recno;
  }
  // Stores the puts of record `recno` into its bytes as FIELDPUT would.
  void Apply(uint32_t recno, const std::vector<DbfField>& fields, char* record) {
    while (next_put_ < puts_.size() && puts_[next_put_]->recno < recno) ++next_put_;
    for (; next_put_ < puts_.size() && puts_[next_put_]->recno == recno; ++next_put_) {
      const PackPlan::Put& p = *puts_[next_put_];
      const DbfField& f = fields[p.field - 1];
      // Checked before the pack began: every put fits.
      EncodeField(f, p.value, record + f.offset);
      record[0] = kDbfLive;
    }
  }

 private:
  std::vector<uint32_t> drop_;
  std::vector<const PackPlan::Put*> puts_;
  size_t next_drop_ = 0;
  size_t next_put_ = 0;
};

}  // namespace

bool DbfArea::Pack() {
  return PackWith(PackPlan());
}

bool DbfArea::CheckPackPlan(const PackPlan& plan) {
  auto argument_error = [this] {
    Error e = TableError(kErrArg, 1006, false, false);
    e.operation = "__DBPACK";
    RaiseError(e);
    return false;
  };
  for (uint32_t recno : plan.drop) {
    if (recno < 1 || recno > record_count_) return argument_error();
  }
  std::string scratch;
  for (const PackPlan::Put& p : plan.puts) {
    if (p.recno < 1 || p.recno > record_count_ || p.field < 1 || p.field > fields_.size()) {
      return argument_error();
    }
    const DbfField& f = fields_[p.field - 1];
    scratch.assign(f.len, ' ');
    switch (EncodeField(f, p.value, scratch.data())) {
      case EncodeResult::kOk:
        break;
      case EncodeResult::kDataType:
        RaisePutError(kErrDataType, 1020, f);
        return false;
      case EncodeResult::kDataWidth:
        RaisePutError(kErrDataWidth, 1021, f);
        return false;
    }
  }
  return true;
}

bool DbfArea::ReadRecords(uint32_t first, uint32_t n, std::string* out) {
  out->resize(static_cast<size_t>(n) * record_length_);
  if (file_->ReadAt(DbfRecordOffset(header_length_, record_length_, first), out->data(),
                    out->size()) == static_cast<int64_t>(out->size())) {
    return true;
  }
  Error e = TableError(kErrRead, 1010, false, false);
  e.filename.clear();
  e.os_code = file_->os_error();
  RaiseError(e);
  return false;
}

bool DbfArea::PackWith(const PackPlan& plan) {
  // A record changed in the buffer, and table bytes still collected in memory, go to
  // the table first: the copy reads them, and the table keeps them should the pack fail.
  if (!CheckExclusiveWritable() || !GoCold() || !WriteCollected()) return false;
  if (!CheckPackPlan(plan)) return false;

  const uint32_t was_at = recno_;
  const std::string table_path = file_->host_path();
  std::string folder, file, base;
  SplitPath(table_path, &folder, &file);
  SplitExtension(file, &base, nullptr);
  PackedCopy copy(folder + base + ".zpk");

  // Every failure before the rename ends here: the copy goes, the table stays as it was.
  auto abandon = [&] {
    copy.Discard();
    hot_ = appended_ = false;
    record_valid_ = false;
    GoTo(was_at);
    return false;
  };
  auto write = [&](uint64_t offset, const void* data, size_t n) {
    if (copy.file()->WriteAt(offset, data, n) == static_cast<int64_t>(n)) return true;
    Error e = TableError(kErrWrite, 1011, false, false);
    e.filename = copy.name();
    e.os_code = copy.file()->os_error() != 0 ? copy.file()->os_error() : kOsDiskFull;
    RaiseError(e);
    return false;
  };
  std::string chunk;
  const uint32_t per_chunk =
      static_cast<uint32_t>(std::max<size_t>(1, kChunkBytes / record_length_));
  // Creates the copy and gives it the header area and the records before `recno`, which
  // all stay as they are.
  auto start_copy = [&](uint32_t recno) {
    if (EqualNoCase(copy.name(), table_path)) {
      // A table named *.zpk cannot have a copy of that name beside it.
      Error e = TableError(kErrCreate, 1004, false, false);
      e.filename = copy.name();
      e.os_code = kOsAccessDenied;
      RaiseError(e);
      return false;
    }
    Error e = TableError(kErrCreate, 1004, true, true);
    e.filename = copy.name();
    for (;;) {
      const int code = copy.Create();
      if (code == 0) break;
      e.os_code = code;
      if (!RaiseError(e).retry()) return false;
    }
    std::string head(header_length_, '\0');
    if (file_->ReadAt(0, head.data(), head.size()) != static_cast<int64_t>(head.size())) {
      Error r = TableError(kErrRead, 1010, false, false);
      r.os_code = file_->os_error();
      RaiseError(r);
      return false;
    }
    if (!write(0, head.data(), head.size())) return false;
    for (uint32_t first = 1; first < recno;) {
      const uint32_t n = std::min(per_chunk, recno - first);
      if (!ReadRecords(first, n, &chunk) ||
          !write(DbfRecordOffset(header_length_, record_length_, first), chunk.data(),
                 chunk.size())) {
        return false;
      }
      first += n;
    }
    return true;
  };

  OrderedPlan ordered(plan);
  // A plan that drops or stores anything rewrites the table; otherwise the copy begins
  // with the first record that goes, and a table without one is left alone.
  bool copying = !plan.drop.empty() || !plan.puts.empty();
  if (copying && !start_copy(1)) return abandon();

  const ProgressHolder progress = progress_;
  const int64_t interval = progress.interval > 0 ? progress.interval : 1;
  int64_t since_progress = 0;
  // The block sees the record being visited as the current one.
  auto report_progress = [&](uint32_t recno) {
    recno_ = recno;
    record_valid_ = phantom_ = false;
    progress.block->Eval();
    since_progress = 0;
  };
  std::string kept_bytes;
  uint32_t kept = 0;
  for (uint32_t first = 1; first <= record_count_;) {
    const uint32_t n = std::min(per_chunk, record_count_ - first + 1);
    if (!ReadRecords(first, n, &chunk)) return abandon();
    kept_bytes.clear();
    for (uint32_t i = 0; i < n; ++i) {
      const uint32_t k = first + i;
      const char* rec = chunk.data() + static_cast<size_t>(i) * record_length_;
      const bool drop = rec[0] == kDbfDeleted || ordered.Drops(k);
      if (drop && !copying) {
        // The first record that goes: the copy gets everything before it.
        if (!start_copy(first)) return abandon();
        kept_bytes.assign(chunk.data(), static_cast<size_t>(i) * record_length_);
        copying = true;
      }
      if (!drop) {
        ++kept;
        if (copying) {
          kept_bytes.append(rec, record_length_);
          ordered.Apply(k, fields_, kept_bytes.data() + kept_bytes.size() - record_length_);
        }
      }
      if (progress.block != nullptr && ++since_progress == interval) report_progress(k);
    }
    if (!kept_bytes.empty()) {
      // The buffer ends with record `kept` of the packed table.
      const auto in_buffer = static_cast<uint32_t>(kept_bytes.size() / record_length_);
      const uint64_t at = DbfRecordOffset(header_length_, record_length_, kept - in_buffer + 1);
      if (!write(at, kept_bytes.data(), kept_bytes.size())) return abandon();
    }
    first += n;
  }
  if (progress.block != nullptr && since_progress > 0) report_progress(record_count_);

  // Whatever a progress block changed belonged to a record that may have moved.
  hot_ = appended_ = false;
  record_valid_ = false;
  if (!copying) return GoTo(1);

  // The end-of-file mark and the header, as a rewrite of the packed table would write
  // them.
  const uint8_t mark = kDbfEofMark;
  const DbfHeaderBytes header = HeaderForRewrite(kept);
  if (!write(DbfRecordOffset(header_length_, record_length_, kept + 1), &mark, 1) ||
      !write(0, header.data(), header.size())) {
    return abandon();
  }
  int sync_code = 0;
  if (!copy.Close(GetSettings().hard_commit, &sync_code)) {
    Error e = TableError(kErrWrite, 1011, false, false);
    e.filename = copy.name();
    e.os_code = sync_code;
    RaiseError(e);
    return abandon();
  }
  if (plan.before_replace && !plan.before_replace(copy.name())) return abandon();

  // The copy takes the table's place. Nothing more is written to the table's own file:
  // a header rewrite that was pending is in the copy.
  file_.reset();
  const int replace_code = GetEnv()->ReplaceFile(copy.name(), table_path);
  if (replace_code != 0) {
    copy.Discard();
    if (!OpenDataFile(table_path, file_name_)) {
      Close();
      return false;
    }
    Error e = replace_code == kOsSharingViolation ? TableError(kErrShared, 1023, false, false)
                                                  : TableError(kErrWrite, 1011, false, false);
    e.os_code = replace_code;
    RaiseError(e);
    GoTo(was_at);
    return false;
  }
  copy.Renamed();
  // The table on disk is whole and packed; an area that cannot open it again is closed.
  if (!OpenDataFile(table_path, file_name_)) {
    Close();
    return false;
  }
  record_count_ = kept;
  header_pending_ = false;
  data_written_ = false;
  return GoTo(1);
}

}  // namespace px
