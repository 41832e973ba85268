// Index creation: keys in, a complete index file out.
//
// The builder takes the keys of a table in record order, puts them in the system's key
// order and writes the tree bottom-up (TreeWriter). The order is a stable sort by key of
// the keys in the order they join the main list (JoinOrder). The sort holds at most
// sort_memory bytes of keys: beyond that it sorts what it holds, appends it to a
// temporary run file and starts afresh; at the end the runs and the keys still in
// memory are merged, the earlier run first among equal keys, which gives exactly the
// order of sorting everything at once.
//
// Within the memory budget (record count x (key size + 8) bytes) all keys form one run
// of the system's sort; when that is too much they are split into 2, 4, ... 256 runs,
// each sorted by itself (its own batches and hint) and merged at the end, the earliest
// run first among equal keys. A unique build keeps only the first of equal keys across
// runs too.
#ifndef PX_ENGINE_NTX_INDEX_BUILDER_H_
#define PX_ENGINE_NTX_INDEX_BUILDER_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ntx/key_source.h"
#include "engine/ntx/ntx_format.h"
#include "engine/ntx/run_file.h"
#include "engine/ntx/sort_order.h"
#include "runtime/env.h"

namespace px::ntx {

// Bytes of keys the sort holds in memory by default.
constexpr uint64_t kDefaultSortMemory = 64ull << 20;

struct BuildOptions {
  // Bytes the key buffers of the system's sort may take; 0 for no limit.
  uint64_t memory_budget = 0;
  // Bytes the sort holds in memory before it moves sorted keys to the run file; 0 for
  // no limit. When the run file cannot be created the keys stay in memory.
  uint64_t sort_memory = kDefaultSortMemory;
  // Folder of the temporary run file; "" for the TEMP environment variable, else the
  // folder of the index file.
  std::string temp_folder;
};

enum class BuildStatus {
  kOk,
  kKeySize,     // a key of another length than the key size (no message)
  kNoRoom,      // "Not enough room for index buffer"
  kNoTempFile,  // "Cannot create temp file"
  kSourceFailed,
  kReadError,   // reading a run back failed
  kWriteError,  // writing the index or a run failed (os_error)
  kBadHeader,   // a text does not fit the header
  kCreate,      // the index file could not be created (os_error)
};

// The message of a status ("" for those without one).
const char* BuildStatusText(BuildStatus status);

class IndexBuilder : private JoinSink {
 public:
  // The header gives key size, maximum keys, unique and descending. record_count: the
  // keys expected (the table's record count), which sizes the runs and batches.
  IndexBuilder(const NtxHeader& header, uint32_t record_count, BuildOptions options);
  ~IndexBuilder() override;

  // Takes room for the keys; kNoRoom when not even 256 runs fit the budget.
  BuildStatus Start();
  // Takes one key; a failure (kKeySize, kNoTempFile, kWriteError) ends the build.
  BuildStatus Add(uint32_t recno, std::string_view key);
  // Cuts the file to its header page, writes the tree from offset 1024 and then the
  // full header with the root and an empty free list (*header gets the root).
  BuildStatus Finish(File* file, NtxHeader* header);

  // Runs of the system's sort.
  int runs() const { return runs_; }
  uint32_t keys_per_run() const { return keys_per_run_; }
  // Sorted runs moved to the run file.
  int runs_written() const { return run_file_ ? static_cast<int>(run_file_->runs().size()) : 0; }
  // Keys written by Finish.
  uint64_t keys_written() const { return keys_written_; }
  int os_error() const { return os_error_; }

 private:
  // Takes a key in its joining order into the sort.
  void Take(uint32_t recno, const uint8_t* key) override;
  // Sorts the keys held and appends them to the run file as one run.
  BuildStatus Spill();
  std::vector<uint32_t> SortHeld() const;

  NtxHeader header_;
  uint32_t record_count_;
  BuildOptions options_;
  int runs_ = 1;
  uint32_t keys_per_run_ = 0;
  uint32_t in_run_ = 0;  // keys of the current run of the system's sort
  std::unique_ptr<JoinOrder> join_;
  // The keys the sort holds, in joining order.
  std::vector<uint8_t> keys_;
  std::vector<uint32_t> recnos_;
  size_t held_limit_ = 0;                  // keys held before a spill; 0 for no limit
  BuildStatus status_ = BuildStatus::kOk;  // of the last spill
  std::unique_ptr<RunFile> run_file_;
  uint64_t keys_written_ = 0;
  int os_error_ = 0;
};

// Builds the whole index from a key source into an open file.
BuildStatus BuildIndex(File* file, NtxHeader* header, uint32_t record_count, KeySource& source,
                       const BuildOptions& options);

// Creates the index file `name` (replacing any file of that name), builds it and
// returns it open for reading and writing; a failure after the file was created closes
// and deletes the partial file. On failure *status tells why.
std::unique_ptr<File> CreateIndexFile(std::string_view name, FileShare share, NtxHeader* header,
                                      uint32_t record_count, KeySource& source,
                                      const BuildOptions& options, BuildStatus* status);

}  // namespace px::ntx

#endif  // PX_ENGINE_NTX_INDEX_BUILDER_H_
