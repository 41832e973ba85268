// The keys of a table's records for one order, in record order: what an index build
// takes in, and what a unique order looks through for the next holder of a key value.
//
// Records are read straight from the table file, ten at a time, and each becomes the
// area's current record in turn (its deletion flag from its first byte) unless the key
// is a field read from the record bytes. Every record is visited, deleted ones and
// those a filter hides included; records that fail the order's FOR condition give no
// key. With the strict-read setting on, the area instead goes to its first visible
// record and skips forward one at a time, so hidden records are left out.
//
// The source leaves the area's record buffer on some record it read; the caller goes
// to the record it wants afterwards.
#ifndef PX_ENGINE_NTX_TABLE_KEY_SOURCE_H_
#define PX_ENGINE_NTX_TABLE_KEY_SOURCE_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ntx/key_source.h"
#include "engine/ntx/ntx_order.h"

namespace px {

class NtxArea;

class TableKeySource : public ntx::KeySource {
 public:
  enum class Mode {
    // Index builds: a value whose type differs from the key type gives no key (the
    // text "ntxCreateOrder" goes to the standard output); character keys keep their
    // length, which the builder checks against the key size.
    kBuild,
    // Keys as key maintenance makes them: exactly the key size (ntx_order.h).
    kMaintenance,
  };

  TableKeySource(NtxArea* area, const ntx::KeySpec& spec, Mode mode);

  bool Next(uint32_t* recno, std::string_view* key) override;
  bool ok() const override { return ok_; }

  // Records read at once.
  static constexpr uint32_t kBlockRecords = 10;

 private:
  // The next record: its number, and its bytes when read from the file (nullptr when
  // it came through navigation and is the area's current record). False at the end.
  bool NextRecord(uint32_t* recno, const char** bytes);
  bool MakeKey(const char* bytes, std::string_view* key);

  NtxArea* area_;
  const ntx::KeySpec& spec_;
  Mode mode_;
  bool strict_;
  bool ok_ = true;
  uint32_t count_ = 0;
  uint32_t next_ = 1;
  std::vector<char> block_;
  uint32_t block_first_ = 0;  // record number of the first record in block_
  uint32_t block_count_ = 0;
  bool started_ = false;
  std::string key_;
  Value value_;  // the key value of the last record, its storage reused
};

}  // namespace px

#endif  // PX_ENGINE_NTX_TABLE_KEY_SOURCE_H_
