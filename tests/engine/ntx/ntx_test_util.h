// Helpers shared by the index tests.
#ifndef PX_TESTS_ENGINE_NTX_NTX_TEST_UTIL_H_
#define PX_TESTS_ENGINE_NTX_NTX_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/ntx/index_builder.h"
#include "engine/ntx/index_file.h"
#include "engine/ntx/index_verifier.h"
#include "engine/ntx/key_source.h"
#include "engine/ntx/key_tree.h"
#include "runtime/env.h"

namespace px::ntx::testutil {

inline NtxHeader MakeHeader(int key_size, bool unique = false, bool descending = false) {
  NtxHeader h;
  h.key_size = key_size;
  h.max_keys = MaxKeysPerPage(key_size);
  h.key_text = "KEY";
  h.unique = unique;
  h.descending = descending;
  return h;
}

// Keys given as (record number, bytes).
class VectorSource : public KeySource {
 public:
  explicit VectorSource(std::vector<std::pair<uint32_t, std::string>> keys)
      : keys_(std::move(keys)) {}
  bool Next(uint32_t* recno, std::string_view* key) override {
    if (pos_ >= keys_.size()) return false;
    *recno = keys_[pos_].first;
    *key = keys_[pos_].second;
    ++pos_;
    return true;
  }

 private:
  std::vector<std::pair<uint32_t, std::string>> keys_;
  size_t pos_ = 0;
};

// Keys of record 1..n from a list of key values.
inline std::vector<std::pair<uint32_t, std::string>> Numbered(const std::vector<std::string>& v) {
  std::vector<std::pair<uint32_t, std::string>> out;
  for (size_t i = 0; i < v.size(); ++i) out.emplace_back(static_cast<uint32_t>(i + 1), v[i]);
  return out;
}

// Builds an index file from keys (the record count being the number of keys); true on
// success.
inline bool Build(const std::string& name, NtxHeader header,
                  std::vector<std::pair<uint32_t, std::string>> keys,
                  const BuildOptions& options = {}, BuildStatus* status_out = nullptr) {
  const uint32_t count = static_cast<uint32_t>(keys.size());
  VectorSource source(std::move(keys));
  BuildStatus status;
  auto file =
      CreateIndexFile(name, FileShare::kExclusive, &header, count, source, options, &status);
  if (status_out != nullptr) *status_out = status;
  return file != nullptr && status == BuildStatus::kOk;
}

// Opens an index file as a key tree.
inline std::unique_ptr<KeyTree> OpenTree(const std::string& name, bool shared = false) {
  int code = 0;
  auto f = GetEnv()->OpenFile(name, FileAccess::kReadWrite,
                              shared ? FileShare::kDenyNone : FileShare::kExclusive, &code);
  if (f == nullptr) return nullptr;
  auto file = std::make_unique<IndexFile>(std::move(f), name, shared);
  if (!file->ReadHeader()) return nullptr;
  return std::make_unique<KeyTree>(std::move(file));
}

// The (key, record) pairs of a tree in order, walking First/Next.
inline std::vector<IndexEntry> Walk(KeyTree& tree) {
  std::vector<IndexEntry> out;
  for (auto s = tree.First(); s == KeyTree::Step::kKey; s = tree.Next()) {
    out.push_back({tree.current().key, tree.current().recno});
  }
  return out;
}

inline VerifyReport Verify(const std::string& name, std::vector<IndexEntry>* entries = nullptr) {
  int code = 0;
  auto f = GetEnv()->OpenFile(name, FileAccess::kRead, FileShare::kDenyNone, &code);
  if (f == nullptr) {
    VerifyReport r;
    r.Problem("cannot open");
    return r;
  }
  return VerifyIndex(f.get(), entries);
}

inline std::string Join(const std::vector<std::string>& v) {
  std::string out;
  for (const auto& s : v) out += s + "\n";
  return out;
}

inline std::string Pad(uint64_t n, int size) {
  std::string s = std::to_string(n);
  if (static_cast<int>(s.size()) < size) s.insert(0, static_cast<size_t>(size) - s.size(), '0');
  return s.substr(s.size() - static_cast<size_t>(size));
}

}  // namespace px::ntx::testutil

#endif  // PX_TESTS_ENGINE_NTX_NTX_TEST_UTIL_H_
