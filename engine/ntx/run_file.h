// Sorted runs of an index build that does not fit in memory, and their merge.
//
// A run file is a temporary file (a unique name ending ".tmp") holding runs one after
// another; a run is its keys in order, each as record number (4 bytes, little-endian)
// followed by the key bytes. The file is closed and deleted when the RunFile goes away.
//
// RunMerger yields the keys of every run and of the last, in-memory run in order: the
// smallest key first, among equal keys the earliest run's, and a run's key before an
// equal key still in memory. In a unique build only the first of equal keys is kept.
#ifndef PX_ENGINE_NTX_RUN_FILE_H_
#define PX_ENGINE_NTX_RUN_FILE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/ntx/ntx_key.h"
#include "engine/ntx/tree_writer.h"
#include "runtime/env.h"

namespace px::ntx {

class RunFile {
 public:
  struct Run {
    uint64_t offset;
    uint32_t count;
  };

  // Creates a run file in `folder` ("" for the current folder), trying up to 998
  // names. nullptr when none could be created.
  static std::unique_ptr<RunFile> Create(const std::string& folder, int key_size);
  ~RunFile();
  RunFile(const RunFile&) = delete;
  RunFile& operator=(const RunFile&) = delete;

  // Appends a run: the keys at the given arrival positions, in that order.
  bool Append(const uint8_t* keys, const uint32_t* recnos, const std::vector<uint32_t>& order);

  const std::vector<Run>& runs() const { return runs_; }
  const std::string& name() const { return name_; }
  File* file() const { return file_.get(); }
  int key_size() const { return key_size_; }

 private:
  RunFile(std::unique_ptr<File> file, std::string name, int key_size);

  std::unique_ptr<File> file_;
  std::string name_;
  int key_size_;
  uint64_t end_ = 0;
  std::vector<Run> runs_;
};

// Keys in memory in their final order.
struct MemoryRun {
  const uint8_t* keys = nullptr;  // in arrival order
  const uint32_t* recnos = nullptr;
  const std::vector<uint32_t>* order = nullptr;
};

class RunMerger : public SortedKeys {
 public:
  RunMerger(RunFile* file, MemoryRun memory, const KeyCompare& cmp, bool unique);
  ~RunMerger() override;

  bool Next(uint32_t* recno, const uint8_t** key) override;
  bool ok() const override { return ok_; }

 private:
  struct Source;
  bool Load(Source* s);
  bool Less(const Source* a, const Source* b) const;
  bool Advance(Source* s);

  RunFile* file_;
  MemoryRun memory_;
  KeyCompare cmp_;
  bool unique_;
  bool ok_ = true;
  bool started_ = false;
  std::vector<std::unique_ptr<Source>> sources_;
  std::vector<Source*> heap_;
  std::vector<uint8_t> last_key_;
  bool have_last_ = false;
};

}  // namespace px::ntx

#endif  // PX_ENGINE_NTX_RUN_FILE_H_
