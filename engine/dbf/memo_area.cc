#include "engine/dbf/memo_area.h"

#include <algorithm>
#include <cstring>

#include "engine/dbf/memo_format.h"

namespace px {

namespace {

// Block numbers beyond this lie past every file offset the OS can address.
constexpr uint64_t kMaxAddressableBlock = (1ULL << 62) / kMemoBlock;

// Reads of a text start with one block and grow up to this size.
constexpr size_t kMaxReadPiece = 64 * 1024;

}  // namespace

// Holds the memo lock of a shared table for one operation: shared while reading,
// exclusive while writing. The request waits until granted and is repeated after a
// conflict; a file system that cannot lock at all is used unlocked, as no other
// process can lock it either.
class MemoArea::MemoLock {
 public:
  MemoLock(MemoArea* area, bool exclusive) {
    if (!area->shared() || area->memo_file_ == nullptr) return;
    File* f = area->memo_file_.get();
    while (!f->Lock(kMemoLockOffset, kMemoLockLength, exclusive, /*wait=*/true)) {
      if (f->os_error() != kOsLockViolation) return;
      GetEnv()->SleepMicros(1000);
    }
    file_ = f;
  }
  ~MemoLock() {
    if (file_ != nullptr) file_->Unlock(kMemoLockOffset, kMemoLockLength);
  }
  MemoLock(const MemoLock&) = delete;
  MemoLock& operator=(const MemoLock&) = delete;

 private:
  File* file_ = nullptr;
};

const DbfField* MemoArea::MemoField(uint16_t field) const {
  if (field < 1 || field > fields().size()) return nullptr;
  const DbfField& f = fields()[field - 1];
  if (f.kind != 'M' || memo_file_ == nullptr) return nullptr;
  return &f;
}

uint64_t MemoArea::ReadText(uint64_t block, std::string* text) {
  if (text != nullptr) text->clear();
  if (block == 0 || block > kMaxAddressableBlock) return 0;
  uint64_t offset = block * kMemoBlock;
  uint64_t length = 0;
  size_t piece = kMemoBlock;
  std::string buf;
  for (;;) {
    buf.resize(piece);
    const int64_t got = memo_file_->ReadAt(offset, buf.data(), piece);
    // The end of the file ends a text that has no end mark.
    if (got <= 0) return length;
    const size_t n = static_cast<size_t>(got);
    const void* end = std::memchr(buf.data(), kMemoEnd, n);
    const size_t take =
        end != nullptr ? static_cast<size_t>(static_cast<const char*>(end) - buf.data()) : n;
    if (text != nullptr) text->append(buf.data(), take);
    length += take;
    if (end != nullptr || n < piece) return length;
    offset += n;
    piece = std::min(piece * 2, kMaxReadPiece);
  }
}

bool MemoArea::GetValue(uint16_t field, Value* out) {
  const DbfField* f = MemoField(field);
  if (f == nullptr) return DbfArea::GetValue(field, out);
  if (!EnsureRecord()) return false;
  const uint64_t block = ParseMemoReference(record_buffer().data() + f->offset, f->len);
  std::string text;
  {
    MemoLock lock(this, /*exclusive=*/false);
    ReadText(block, &text);
  }
  *out = Value::Memo(std::move(text));
  return true;
}

bool MemoArea::GetVarLen(uint16_t field, uint32_t* out) {
  const DbfField* f = MemoField(field);
  if (f == nullptr) return DbfArea::GetVarLen(field, out);
  if (!EnsureRecord()) return false;
  const uint64_t block = ParseMemoReference(record_buffer().data() + f->offset, f->len);
  MemoLock lock(this, /*exclusive=*/false);
  const uint64_t length = ReadText(block, nullptr);
  *out = static_cast<uint32_t>(std::min<uint64_t>(length, UINT32_MAX));
  return true;
}

bool MemoArea::PutValue(uint16_t field, const Value& value) {
  const DbfField* f = MemoField(field);
  if (f == nullptr) return DbfArea::PutValue(field, value);
  if (!value.is_string()) {
    RaisePutError(kErrDataType, 1020, *f);
    return false;
  }
  if (!EnsureRecord()) return false;
  // Not on a record (end of file): nothing to store.
  if (on_phantom()) return true;
  if (!PrepareRecordForChange()) return false;
  bool ok;
  {
    MemoLock lock(this, /*exclusive=*/true);
    ok = WriteText(*f, value.str());
  }
  if (!ok) return false;
  memo_written_ = true;
  bool deleted = false;
  Deleted(&deleted);
  record_buffer()[0] = deleted ? kDbfDeleted : kDbfLive;
  return true;
}

bool MemoArea::CanWriteInPlace(uint64_t block, int64_t file_size) {
  if (block == 0 || block > kMaxAddressableBlock) return false;
  if (file_size < 0 || block * kMemoBlock >= static_cast<uint64_t>(file_size)) return false;
  if (block == 1) return true;
  // Every text is followed by 0x1A up to the end of its last block, and the gap a text
  // of 512k - 1 bytes leaves behind is never written; any other byte means the
  // reference points into the middle of a text.
  uint8_t before = 0;
  if (memo_file_->ReadAt(block * kMemoBlock - 1, &before, 1) != 1) return false;
  return before == kMemoEnd || before == 0;
}

bool MemoArea::WriteText(const DbfField& f, const std::string& text) {
  char* ref = record_buffer().data() + f.offset;
  if (text.empty()) {
    FormatMemoReference(0, ref, f.len);
    return true;
  }
  const int64_t size = memo_file_->Size();
  if (size < 0) {
    RaiseMemoWriteError(memo_file_->os_error());
    return false;
  }
  const uint64_t old = ParseMemoReference(ref, f.len);
  uint64_t block;
  bool fresh = false;
  if (text.size() <= kMemoInPlaceMax && CanWriteInPlace(old, size)) {
    block = old;
  } else {
    uint8_t head[4] = {};
    const uint64_t next_free =
        memo_file_->ReadAt(0, head, sizeof head) == static_cast<int64_t>(sizeof head)
            ? GetLe32(head)
            : 0;
    const uint64_t end_block = (static_cast<uint64_t>(size) + kMemoBlock - 1) / kMemoBlock;
    block = std::max<uint64_t>({next_free, end_block, 1});
    fresh = true;
  }
  const uint64_t next_free = MemoNextFreeAfter(block, text.size());
  if (fresh && (!MemoReferenceFits(block, f.len) || next_free > UINT32_MAX)) {
    // The memo file has grown as far as its header and the reference can count.
    RaiseMemoWriteError(kOsDiskFull);
    return false;
  }

  std::string bytes;
  bytes.reserve(text.size() + MemoPadding(text.size()));
  bytes.append(text);
  bytes.append(MemoPadding(text.size()), static_cast<char>(kMemoEnd));
  if (memo_file_->WriteAt(block * kMemoBlock, bytes.data(), bytes.size()) !=
      static_cast<int64_t>(bytes.size())) {
    RaiseMemoWriteError(memo_file_->os_error());
    return false;
  }
  if (fresh) {
    uint8_t head[4];
    PutLe32(head, static_cast<uint32_t>(next_free));
    if (memo_file_->WriteAt(0, head, sizeof head) != static_cast<int64_t>(sizeof head)) {
      RaiseMemoWriteError(memo_file_->os_error());
      return false;
    }
  }
  FormatMemoReference(block, ref, f.len);
  return true;
}

void MemoArea::RaiseMemoWriteError(int os_code) {
  Error e = Error::Make("", kErrWrite, 1011);
  e.filename = memo_file_name();
  e.os_code = os_code;
  RaiseError(e);
}

}  // namespace px
