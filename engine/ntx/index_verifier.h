// Checks an index file: every page well-formed, keys in order, the tree balanced, no
// page reachable twice, the free list sane; and, given the keys a table expects, every
// key present exactly once with the right record number.
//
// The verifier reads the file directly, page by page, without the cache and without
// raising errors: everything it finds goes into the report.
#ifndef PX_ENGINE_NTX_INDEX_VERIFIER_H_
#define PX_ENGINE_NTX_INDEX_VERIFIER_H_

#include <cstdint>
#include <string>
#include <vector>

#include "engine/ntx/ntx_format.h"
#include "runtime/env.h"

namespace px::ntx {

struct IndexEntry {
  std::string key;
  uint32_t recno = 0;

  friend bool operator==(const IndexEntry& a, const IndexEntry& b) {
    return a.recno == b.recno && a.key == b.key;
  }
};

struct VerifyReport {
  // What is wrong; empty when the index is sound.
  std::vector<std::string> problems;
  // Findings that do not make the index wrong (pages neither in the tree nor free).
  std::vector<std::string> notes;
  NtxHeader header;
  uint64_t keys = 0;
  int depth = 0;  // levels of the tree, 0 when empty
  uint64_t tree_pages = 0;
  uint64_t free_pages = 0;

  bool ok() const { return problems.empty(); }
  void Problem(std::string text);
};

// Checks the structure of an index file. With `entries`, collects its keys in tree
// order.
VerifyReport VerifyIndex(File* file, std::vector<IndexEntry>* entries = nullptr);

// Compares the keys of an index (in tree order) with the keys a table gives for its
// records. Without unique, each expected (key, record) pair must be in the index
// exactly once and nothing else; with unique, each expected key value exactly once,
// under one of the records that have it.
void CheckEntries(const std::vector<IndexEntry>& index, std::vector<IndexEntry> expected,
                  bool unique, VerifyReport* report);

}  // namespace px::ntx

#endif  // PX_ENGINE_NTX_INDEX_VERIFIER_H_
