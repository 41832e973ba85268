// A File that buffers the I/O of a table file opened exclusively.
//
// No other process can open such a file, so its bytes may be held in memory for a
// while:
//   - reads that follow each other (a scan, an append's source) are served from a
//     read-ahead window that grows up to kWindow bytes; a read elsewhere goes straight
//     to the file, so random access costs no more than before;
//   - writes that follow each other (appended records, a pack's moves) are collected
//     and written in pieces of up to kWindow bytes.
// Every read sees the writes made before it. Truncate, Sync and Flush write the
// collected bytes out first.
//
// A collected write that fails is reported by the call that wanted it out (a WriteAt
// that found no room, Flush, Truncate, Sync, or a ReadAt of those bytes fail with the
// OS code); the bytes stay collected and go out with the next flush that succeeds. The
// destructor writes what is left and cannot report a failure: owners call Flush before
// they let go.
#ifndef PX_ENGINE_DBF_BUFFERED_FILE_H_
#define PX_ENGINE_DBF_BUFFERED_FILE_H_

#include <cstdint>
#include <memory>
#include <string>

#include "runtime/env.h"

namespace px {

class BufferedFile : public File {
 public:
  static constexpr size_t kWindow = 64 * 1024;

  explicit BufferedFile(std::unique_ptr<File> target) : target_(std::move(target)) {}
  ~BufferedFile() override;

  int64_t ReadAt(uint64_t offset, void* buf, size_t n) override;
  int64_t WriteAt(uint64_t offset, const void* buf, size_t n) override;
  int64_t Size() override;
  bool Truncate(uint64_t size) override;
  bool Sync() override;
  bool Lock(uint64_t offset, uint64_t length, bool exclusive, bool wait) override {
    return target_->Lock(offset, length, exclusive, wait);
  }
  bool Unlock(uint64_t offset, uint64_t length) override { return target_->Unlock(offset, length); }
  int os_error() const override { return err_ != 0 ? err_ : target_->os_error(); }
  const std::string& host_path() const override { return target_->host_path(); }

  // Writes the collected bytes; false (with os_error) when that failed now or before.
  bool Flush();

 private:
  bool Overlaps(uint64_t a, uint64_t a_len, uint64_t b, uint64_t b_len) const {
    return a < b + b_len && b < a + a_len;
  }
  // A read served by the window or the file, growing the window on reads in a row.
  int64_t ReadThrough(uint64_t offset, void* buf, size_t n);
  // Copies written bytes into the part of the read window they cover.
  void PatchWindow(uint64_t offset, const char* data, size_t n);

  std::unique_ptr<File> target_;
  // Collected writes: the bytes of [wpos_, wpos_ + wbuf_.size()).
  std::string wbuf_;
  uint64_t wpos_ = 0;
  // Read-ahead window: the bytes of [rpos_, rpos_ + rbuf_.size()) as the file holds
  // them, collected writes included.
  std::string rbuf_;
  uint64_t rpos_ = 0;
  uint64_t last_read_end_ = UINT64_MAX;
  size_t ahead_ = 0;
  int err_ = 0;  // the last flush failed with this OS code
};

}  // namespace px

#endif  // PX_ENGINE_DBF_BUFFERED_FILE_H_
