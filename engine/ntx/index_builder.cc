#include "engine/ntx/index_builder.h"

#include <algorithm>
#include <cstdlib>

#include "engine/ntx/sort_order.h"
#include "engine/ntx/tree_writer.h"
#include "runtime/dos_path.h"

namespace px::ntx {

namespace {

// Bytes of the descriptor and read buffer of one run.
constexpr uint64_t kRunDescriptorBytes = 524;
constexpr int kMaxRuns = 256;

// The kept keys of the in-memory run, in order.
class MemorySorted : public SortedKeys {
 public:
  explicit MemorySorted(MemoryRun run, int key_size) : run_(run), key_size_(key_size) {}
  bool Next(uint32_t* recno, const uint8_t** key) override {
    if (pos_ >= run_.order->size()) return false;
    const uint32_t at = (*run_.order)[pos_++];
    *recno = run_.recnos[at];
    *key = run_.keys + static_cast<size_t>(at) * static_cast<size_t>(key_size_);
    return true;
  }

 private:
  MemoryRun run_;
  int key_size_;
  size_t pos_ = 0;
};

std::string TempFolder(const BuildOptions& options) {
  if (!options.temp_folder.empty()) return options.temp_folder;
  const char* temp = std::getenv("TEMP");
  return temp != nullptr ? std::string(temp) : std::string();
}

}  // namespace

const char* BuildStatusText(BuildStatus status) {
  switch (status) {
    case BuildStatus::kNoRoom:
      return "Not enough room for index buffer";
    case BuildStatus::kNoTempFile:
      return "Cannot create temp file";
    default:
      return "";
  }
}

IndexBuilder::IndexBuilder(const NtxHeader& header, uint32_t record_count, BuildOptions options)
    : header_(header), record_count_(record_count), options_(std::move(options)) {}

IndexBuilder::~IndexBuilder() = default;

BuildStatus IndexBuilder::Start() {
  uint8_t page[kPageSize];
  if (!EncodeHeader(header_, page)) return BuildStatus::kBadHeader;
  const uint64_t item = static_cast<uint64_t>(header_.key_size) + 8;
  const uint64_t budget = options_.memory_budget;
  runs_ = 1;
  keys_per_run_ = record_count_;
  if (budget != 0 && static_cast<uint64_t>(record_count_) * item > budget) {
    for (runs_ = 2;; runs_ *= 2) {
      const uint64_t need = (record_count_ / static_cast<uint64_t>(runs_) + 1) * item +
                            static_cast<uint64_t>(runs_) * kRunDescriptorBytes;
      if (need <= budget) break;
      if (runs_ >= kMaxRuns) return BuildStatus::kNoRoom;
    }
    keys_per_run_ = record_count_ / static_cast<uint32_t>(runs_) + 1;
  }
  join_ = std::make_unique<JoinOrder>(header_.key_size, keys_per_run_, header_.unique,
                                      header_.descending);
  // A held key takes its bytes and record number, and while it is sorted two sort
  // items and its place in the order.
  const uint64_t held_bytes = static_cast<uint64_t>(header_.key_size) + 4 + 32 + 4;
  held_limit_ =
      options_.sort_memory == 0
          ? 0
          : static_cast<size_t>(std::max<uint64_t>(16, options_.sort_memory / held_bytes));
  size_t reserve = std::min<size_t>(record_count_, keys_per_run_);
  if (held_limit_ != 0) reserve = std::min(reserve, held_limit_);
  keys_.reserve(reserve * static_cast<size_t>(header_.key_size));
  recnos_.reserve(reserve);
  return BuildStatus::kOk;
}

BuildStatus IndexBuilder::Add(uint32_t recno, std::string_view key) {
  if (key.size() != static_cast<size_t>(header_.key_size)) return BuildStatus::kKeySize;
  if (runs_ > 1 && in_run_ >= keys_per_run_) {
    // The system's sort ends its run here and writes it to the temporary file.
    join_->EndRun(*this);
    if (status_ != BuildStatus::kOk) return status_;
    if (!run_file_) {
      run_file_ = RunFile::Create(TempFolder(options_), header_.key_size);
      if (!run_file_) return BuildStatus::kNoTempFile;
    }
    const BuildStatus s = Spill();
    if (s != BuildStatus::kOk) return s;
    in_run_ = 0;
  }
  join_->Add(recno, reinterpret_cast<const uint8_t*>(key.data()), *this);
  ++in_run_;
  return status_;
}

void IndexBuilder::Take(uint32_t recno, const uint8_t* key) {
  if (status_ != BuildStatus::kOk) return;
  if (held_limit_ != 0 && recnos_.size() >= held_limit_) {
    if (!run_file_) run_file_ = RunFile::Create(TempFolder(options_), header_.key_size);
    if (run_file_) {
      status_ = Spill();
      if (status_ != BuildStatus::kOk) return;
    } else {
      held_limit_ = 0;  // no run file: the keys stay in memory
    }
  }
  keys_.insert(keys_.end(), key, key + header_.key_size);
  recnos_.push_back(recno);
}

std::vector<uint32_t> IndexBuilder::SortHeld() const {
  KeyCompare cmp;
  cmp.key_size = header_.key_size;
  cmp.descending = header_.descending;
  std::vector<uint32_t> order(recnos_.size());
  for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  StableSortByKey(keys_.data(), cmp, &order);
  return order;
}

BuildStatus IndexBuilder::Spill() {
  if (recnos_.empty()) return BuildStatus::kOk;
  const std::vector<uint32_t> order = SortHeld();
  if (!run_file_->Append(keys_.data(), recnos_.data(), order)) {
    os_error_ = run_file_->file()->os_error();
    return BuildStatus::kWriteError;
  }
  keys_.clear();
  recnos_.clear();
  return BuildStatus::kOk;
}

BuildStatus IndexBuilder::Finish(File* file, NtxHeader* header) {
  join_->EndRun(*this);
  if (status_ != BuildStatus::kOk) return status_;
  const std::vector<uint32_t> order = SortHeld();
  const MemoryRun memory{keys_.data(), recnos_.data(), &order};
  KeyCompare cmp;
  cmp.key_size = header_.key_size;
  cmp.descending = header_.descending;

  if (!file->Truncate(kPageSize)) {
    os_error_ = file->os_error();
    return BuildStatus::kWriteError;
  }
  uint64_t n = order.size();
  std::unique_ptr<SortedKeys> keys;
  if (run_file_ && !run_file_->runs().empty()) {
    if (header_.unique && runs_ > 1) {
      // Equal keys of different runs are dropped at the merge: count what remains.
      RunMerger counter(run_file_.get(), memory, cmp, true);
      uint32_t recno;
      const uint8_t* key;
      n = 0;
      while (counter.Next(&recno, &key)) ++n;
      if (!counter.ok()) return BuildStatus::kReadError;
    } else {
      for (const RunFile::Run& run : run_file_->runs()) n += run.count;
    }
    keys = std::make_unique<RunMerger>(run_file_.get(), memory, cmp, header_.unique);
  } else {
    keys = std::make_unique<MemorySorted>(memory, header_.key_size);
  }

  TreeWriter writer(file, header_.key_size, header_.max_keys);
  uint32_t root = 0;
  if (!writer.Write(n, *keys, &root)) {
    if (!keys->ok()) return BuildStatus::kReadError;
    os_error_ = writer.os_error();
    return BuildStatus::kWriteError;
  }
  run_file_.reset();
  keys_written_ = n;

  header_.root = root;
  header_.free_list = 0;
  uint8_t page[kPageSize];
  if (!EncodeHeader(header_, page)) return BuildStatus::kBadHeader;
  if (file->WriteAt(0, page, kPageSize) != static_cast<int64_t>(kPageSize)) {
    os_error_ = file->os_error();
    return BuildStatus::kWriteError;
  }
  *header = header_;
  return BuildStatus::kOk;
}

BuildStatus BuildIndex(File* file, NtxHeader* header, uint32_t record_count, KeySource& source,
                       const BuildOptions& options) {
  IndexBuilder builder(*header, record_count, options);
  BuildStatus status = builder.Start();
  if (status != BuildStatus::kOk) return status;
  uint32_t recno;
  std::string_view key;
  while (source.Next(&recno, &key)) {
    status = builder.Add(recno, key);
    if (status != BuildStatus::kOk) return status;
  }
  if (!source.ok()) return BuildStatus::kSourceFailed;
  return builder.Finish(file, header);
}

std::unique_ptr<File> CreateIndexFile(std::string_view name, FileShare share, NtxHeader* header,
                                      uint32_t record_count, KeySource& source,
                                      const BuildOptions& options, BuildStatus* status) {
  Env* env = GetEnv();
  int code = 0;
  std::unique_ptr<File> file = env->CreateFile(name, share, &code);
  if (file == nullptr) {
    *status = BuildStatus::kCreate;
    return nullptr;
  }
  BuildOptions opts = options;
  if (opts.temp_folder.empty() && std::getenv("TEMP") == nullptr) {
    std::string file_part;
    SplitPath(name, &opts.temp_folder, &file_part);
  }
  *status = BuildIndex(file.get(), header, record_count, source, opts);
  if (*status != BuildStatus::kOk) {
    file.reset();
    env->DeleteFile(name);
    return nullptr;
  }
  return file;
}

}  // namespace px::ntx
