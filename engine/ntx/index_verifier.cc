#include "engine/ntx/index_verifier.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "engine/ntx/ntx_key.h"

namespace px::ntx {

namespace {

constexpr size_t kMaxProblems = 50;
constexpr int kMaxDepth = 64;

std::string Printable(const std::string& key) {
  std::string out;
  for (unsigned char c : key) {
    if (c >= 32 && c < 127) {
      out += static_cast<char>(c);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    }
  }
  return "\"" + out + "\"";
}

class Walker {
 public:
  Walker(File* file, VerifyReport* report, std::vector<IndexEntry>* entries)
      : file_(file), report_(report), entries_(entries) {}

  void Run();

 private:
  enum : uint8_t { kUnseen, kTree, kFree };

  bool ValidOffset(uint32_t offset) const {
    return offset >= kPageSize && offset % kPageSize == 0 && offset / kPageSize < state_.size();
  }
  bool ReadPage(uint32_t offset, uint8_t* data) {
    if (file_->ReadAt(offset, data, kPageSize) != static_cast<int64_t>(kPageSize)) {
      report_->Problem("page " + std::to_string(offset) + " cannot be read in full");
      return false;
    }
    return true;
  }
  void Visit(uint32_t offset, int depth, bool is_root);
  void Key(const uint8_t* key, uint32_t recno, uint32_t page, int slot);
  void FreeList();

  File* file_;
  VerifyReport* report_;
  std::vector<IndexEntry>* entries_;
  const NtxHeader* h_ = nullptr;
  KeyCompare cmp_;
  std::vector<uint8_t> state_;
  std::string previous_;
  bool have_previous_ = false;
  int leaf_depth_ = -1;
};

void Walker::Run() {
  uint8_t header[kPageSize] = {};
  const int64_t size = file_->Size();
  if (size < static_cast<int64_t>(kHeaderReadSize) ||
      file_->ReadAt(0, header, kHeaderReadSize) != static_cast<int64_t>(kHeaderReadSize)) {
    report_->Problem("the header cannot be read in full");
    return;
  }
  if (!DecodeHeader(header, &report_->header)) {
    report_->Problem("the header's key size or maximum keys per page make no sense");
    return;
  }
  h_ = &report_->header;
  cmp_.key_size = h_->key_size;
  cmp_.descending = h_->descending;
  if (h_->max_keys != MaxKeysPerPage(h_->key_size)) {
    report_->notes.push_back("maximum keys per page " + std::to_string(h_->max_keys) +
                             " differs from the usual " +
                             std::to_string(MaxKeysPerPage(h_->key_size)));
  }
  if (size % kPageSize != 0) {
    report_->notes.push_back("the file size " + std::to_string(size) +
                             " is not a multiple of 1024");
  }
  state_.assign(static_cast<size_t>((size + kPageSize - 1) / kPageSize), kUnseen);
  if (!ValidOffset(h_->root)) {
    report_->Problem("the root offset " + std::to_string(h_->root) + " names no page");
  } else {
    Visit(h_->root, 0, true);
    report_->depth = leaf_depth_ + 1;
  }
  FreeList();
  uint64_t loose = 0;
  for (size_t i = 1; i < state_.size(); ++i) loose += state_[i] == kUnseen ? 1 : 0;
  if (loose > 0 && report_->ok()) {
    report_->notes.push_back(std::to_string(loose) +
                             " pages are neither in the tree nor on the free list");
  }
}

void Walker::Key(const uint8_t* key, uint32_t recno, uint32_t page, int slot) {
  std::string k(reinterpret_cast<const char*>(key), static_cast<size_t>(h_->key_size));
  if (have_previous_ && cmp_.Keys(reinterpret_cast<const uint8_t*>(previous_.data()), key) > 0) {
    report_->Problem("key " + Printable(k) + " (record " + std::to_string(recno) + ") at page " +
                     std::to_string(page) + " slot " + std::to_string(slot) +
                     " comes after the greater key " + Printable(previous_));
  }
  previous_ = k;
  have_previous_ = true;
  ++report_->keys;
  if (recno == 0) {
    report_->Problem("page " + std::to_string(page) + " slot " + std::to_string(slot) +
                     " holds record number 0");
  }
  if (entries_ != nullptr) entries_->push_back({std::move(k), recno});
}

void Walker::Visit(uint32_t offset, int depth, bool is_root) {
  if (report_->problems.size() >= kMaxProblems) return;
  const std::string where = "page " + std::to_string(offset);
  if (depth >= kMaxDepth) {
    report_->Problem(where + " lies deeper than any valid tree (a cycle of pages)");
    return;
  }
  uint8_t& st = state_[offset / kPageSize];
  if (st != kUnseen) {
    report_->Problem(where + " is reachable twice");
    return;
  }
  st = kTree;
  ++report_->tree_pages;
  std::vector<uint8_t> data(kPageSize);
  if (!ReadPage(offset, data.data())) return;
  PageView page(data.data(), h_->key_size, h_->max_keys);
  const std::string check = page.Check();
  if (!check.empty()) {
    report_->Problem(where + ": " + check);
    return;
  }
  const int n = page.count();
  if (n == 0) {
    if (!is_root) {
      report_->Problem(where + " lies below the root but holds no keys");
    } else if (page.child(0) != 0) {
      report_->Problem("the root holds no keys but points to a child page");
    }
    if (leaf_depth_ < 0) leaf_depth_ = depth;
    return;
  }
  const bool leaf = page.is_leaf();
  if (leaf) {
    if (leaf_depth_ < 0) {
      leaf_depth_ = depth;
    } else if (leaf_depth_ != depth) {
      report_->Problem("the tree is not balanced: leaf " + where + " lies at depth " +
                       std::to_string(depth) + ", another at depth " + std::to_string(leaf_depth_));
    }
  }
  for (int i = 0; i <= n; ++i) {
    if (!leaf) {
      const uint32_t child = page.child(i);
      if (!ValidOffset(child)) {
        report_->Problem(where + " slot " + std::to_string(i) + " points to " +
                         std::to_string(child) + ", which is no page of the file");
      } else {
        Visit(child, depth + 1, false);
      }
    }
    if (i < n) Key(page.key(i), page.recno(i), offset, i);
  }
}

void Walker::FreeList() {
  uint32_t offset = h_->free_list;
  std::vector<uint8_t> data(kPageSize);
  while (offset != 0 && report_->problems.size() < kMaxProblems) {
    const std::string where = "free page " + std::to_string(offset);
    if (!ValidOffset(offset)) {
      report_->Problem("the free list points to " + std::to_string(offset) +
                       ", which is no page of the file");
      return;
    }
    uint8_t& st = state_[offset / kPageSize];
    if (st == kTree) {
      report_->Problem(where + " is also in the tree");
      return;
    }
    if (st == kFree) {
      report_->Problem("the free list loops back to page " + std::to_string(offset));
      return;
    }
    st = kFree;
    ++report_->free_pages;
    if (!ReadPage(offset, data.data())) return;
    PageView page(data.data(), h_->key_size, h_->max_keys);
    const std::string check = page.Check();
    if (!check.empty()) {
      report_->Problem(where + ": " + check);
      return;
    }
    if (page.count() != 0) {
      report_->Problem(where + " holds " + std::to_string(page.count()) + " keys");
      return;
    }
    offset = page.child(0);
  }
}

}  // namespace

void VerifyReport::Problem(std::string text) {
  if (problems.size() < kMaxProblems) problems.push_back(std::move(text));
}

VerifyReport VerifyIndex(File* file, std::vector<IndexEntry>* entries) {
  VerifyReport report;
  Walker(file, &report, entries).Run();
  return report;
}

void CheckEntries(const std::vector<IndexEntry>& index, std::vector<IndexEntry> expected,
                  bool unique, VerifyReport* report) {
  auto by_key_recno = [](const IndexEntry& a, const IndexEntry& b) {
    return a.key != b.key ? a.key < b.key : a.recno < b.recno;
  };
  if (unique) {
    std::map<std::string, std::vector<uint32_t>> records;
    for (const IndexEntry& e : expected) records[e.key].push_back(e.recno);
    std::map<std::string, int> seen;
    for (const IndexEntry& e : index) {
      auto it = records.find(e.key);
      if (it == records.end()) {
        report->Problem("key " + Printable(e.key) + " (record " + std::to_string(e.recno) +
                        ") belongs to no record");
        continue;
      }
      if (std::find(it->second.begin(), it->second.end(), e.recno) == it->second.end()) {
        report->Problem("key " + Printable(e.key) + " names record " + std::to_string(e.recno) +
                        ", whose key differs");
      }
      if (++seen[e.key] == 2) {
        report->Problem("key " + Printable(e.key) + " is in the unique index more than once");
      }
    }
    for (const auto& [key, recs] : records) {
      if (seen.count(key) == 0) {
        report->Problem("key " + Printable(key) + " of record " + std::to_string(recs.front()) +
                        " is missing");
      }
    }
    return;
  }
  std::vector<IndexEntry> have = index;
  std::sort(have.begin(), have.end(), by_key_recno);
  std::sort(expected.begin(), expected.end(), by_key_recno);
  size_t i = 0;
  size_t j = 0;
  while (i < have.size() || j < expected.size()) {
    if (i + 1 < have.size() && have[i] == have[i + 1]) {
      report->Problem("key " + Printable(have[i].key) + " of record " +
                      std::to_string(have[i].recno) + " is in the index more than once");
      ++i;
      continue;
    }
    if (j < expected.size() && (i >= have.size() || by_key_recno(expected[j], have[i]))) {
      report->Problem("key " + Printable(expected[j].key) + " of record " +
                      std::to_string(expected[j].recno) + " is missing");
      ++j;
    } else if (i < have.size() && (j >= expected.size() || by_key_recno(have[i], expected[j]))) {
      report->Problem("key " + Printable(have[i].key) + " (record " +
                      std::to_string(have[i].recno) + ") belongs to no record");
      ++i;
    } else {
      ++i;
      ++j;
    }
  }
}

}  // namespace px::ntx
