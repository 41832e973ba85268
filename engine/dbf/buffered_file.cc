#include "engine/dbf/buffered_file.h"

#include <algorithm>
#include <cstring>

namespace px {

namespace {

// The first read-ahead after two reads in a row; it doubles up to the window size.
constexpr size_t kFirstAhead = 16 * 1024;

}  // namespace

BufferedFile::~BufferedFile() {
  Flush();
}

bool BufferedFile::Flush() {
  err_ = 0;
  if (wbuf_.empty()) return true;
  const int64_t done = target_->WriteAt(wpos_, wbuf_.data(), wbuf_.size());
  if (done != static_cast<int64_t>(wbuf_.size())) {
    // The bytes stay collected and go out with the next flush.
    err_ = target_->os_error() != 0 ? target_->os_error() : kOsDiskFull;
    return false;
  }
  wbuf_.clear();
  return true;
}

void BufferedFile::PatchWindow(uint64_t offset, const char* data, size_t n) {
  if (rbuf_.empty() || !Overlaps(offset, n, rpos_, rbuf_.size())) return;
  const uint64_t from = std::max(offset, rpos_);
  const uint64_t to = std::min<uint64_t>(offset + n, rpos_ + rbuf_.size());
  std::memcpy(rbuf_.data() + (from - rpos_), data + (from - offset), to - from);
}

int64_t BufferedFile::ReadAt(uint64_t offset, void* buf, size_t n) {
  if (n == 0) return 0;
  // Collected writes in the range go out first, so that the file answers the read.
  if (!wbuf_.empty() && Overlaps(offset, n, wpos_, wbuf_.size()) && !Flush()) return -1;
  const int64_t got = ReadThrough(offset, buf, n);
  // A read that stops short met the end of the file; collected writes beyond it make
  // the file longer (with zeros up to them), so they go out and the read is repeated.
  if (got >= 0 && static_cast<size_t>(got) < n && !wbuf_.empty() &&
      wpos_ + wbuf_.size() > offset + static_cast<uint64_t>(got)) {
    if (!Flush()) return -1;
    return target_->ReadAt(offset, buf, n);
  }
  return got;
}

int64_t BufferedFile::ReadThrough(uint64_t offset, void* buf, size_t n) {
  const bool in_window = !rbuf_.empty() && offset >= rpos_ && offset < rpos_ + rbuf_.size();
  if (in_window && offset + n <= rpos_ + rbuf_.size()) {
    std::memcpy(buf, rbuf_.data() + (offset - rpos_), n);
    last_read_end_ = offset + n;
    return static_cast<int64_t>(n);
  }
  if (in_window || offset == last_read_end_) {
    ahead_ = ahead_ == 0 ? kFirstAhead : std::min(ahead_ * 2, kWindow);
  } else {
    ahead_ = 0;
  }
  last_read_end_ = offset + n;
  if (ahead_ <= n) return target_->ReadAt(offset, buf, n);

  rbuf_.resize(ahead_);
  const int64_t got = target_->ReadAt(offset, rbuf_.data(), ahead_);
  if (got < 0) {
    rbuf_.clear();
    return got;
  }
  rbuf_.resize(static_cast<size_t>(got));
  rpos_ = offset;
  // Collected writes further on in the window are newer than what the file holds.
  if (!wbuf_.empty()) PatchWindow(wpos_, wbuf_.data(), wbuf_.size());
  const size_t copy = std::min(static_cast<size_t>(got), n);
  std::memcpy(buf, rbuf_.data(), copy);
  return static_cast<int64_t>(copy);
}

int64_t BufferedFile::WriteAt(uint64_t offset, const void* buf, size_t n) {
  const char* data = static_cast<const char*>(buf);
  PatchWindow(offset, data, n);
  if (!wbuf_.empty()) {
    const uint64_t end = wpos_ + wbuf_.size();
    if (offset >= wpos_ && offset + n <= end) {
      std::memcpy(wbuf_.data() + (offset - wpos_), data, n);
      return static_cast<int64_t>(n);
    }
    if (offset == end && wbuf_.size() + n <= kWindow) {
      wbuf_.append(data, n);
      return static_cast<int64_t>(n);
    }
    if (!Flush()) return -1;
  }
  if (n >= kWindow) return target_->WriteAt(offset, data, n);
  wpos_ = offset;
  wbuf_.assign(data, n);
  return static_cast<int64_t>(n);
}

int64_t BufferedFile::Size() {
  const int64_t size = target_->Size();
  if (size < 0 || wbuf_.empty()) return size;
  return std::max<int64_t>(size, static_cast<int64_t>(wpos_ + wbuf_.size()));
}

bool BufferedFile::Truncate(uint64_t size) {
  if (!Flush()) return false;
  rbuf_.clear();
  return target_->Truncate(size);
}

bool BufferedFile::Sync() {
  return Flush() && target_->Sync();
}

}  // namespace px
