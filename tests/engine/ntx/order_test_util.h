// Helpers for the tests of orders on real tables.
#ifndef PX_TESTS_ENGINE_NTX_ORDER_TEST_UTIL_H_
#define PX_TESTS_ENGINE_NTX_ORDER_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/ntx/index_verifier.h"
#include "engine/ntx/ntx_area.h"
#include "engine/workarea/commands.h"
#include "engine/workarea/orders.h"
#include "engine/workarea/registry.h"
#include "tests/engine/table_util.h"
#include "tests/test_util.h"

namespace px::ntx::testutil {

// Appends one record with the given values (fields 1, 2, ... in turn).
inline void AppendRecord(const std::vector<Value>& values) {
  ASSERT_TRUE(DBAPPEND());
  for (size_t i = 0; i < values.size(); ++i) FIELDPUT(static_cast<int>(i + 1), values[i]);
}

// Creates a table with one character field NAME of the given width holding the
// given values, and opens it exclusively in a new area under the alias T.
inline void MakeNameTable(const std::string& file, int width,
                          const std::vector<std::string>& names) {
  ASSERT_TRUE(test::CreateTable(file, {test::Field("NAME", 'C', static_cast<uint32_t>(width))}));
  ASSERT_TRUE(test::UseTable(file, "T"));
  for (const std::string& n : names) AppendRecord({Value::String(n)});
  DBCOMMIT();
}

// Sets the descending flag in the header of a closed index file (index creation never
// does; files of other programs may carry it). Rebuild the order after opening it.
inline void SetDescendingFlag(const std::string& host_path) {
  constexpr size_t kDescendingAt = 280;
  std::string bytes = test::ReadFileBytes(host_path);
  ASSERT_GT(bytes.size(), kDescendingAt) << host_path;
  bytes[kDescendingAt] = 1;
  test::WriteFileBytes(host_path, bytes);
}

// Record numbers visited from DBGOTOP to the end with DBSKIP.
inline std::vector<uint32_t> WalkForward() {
  std::vector<uint32_t> out;
  DBGOTOP();
  for (int guard = 0; !EOF_() && guard < 1000000; ++guard) {
    out.push_back(RECNO());
    DBSKIP(1);
  }
  return out;
}

// Record numbers visited from DBGOBOTTOM to the start with DBSKIP(-1).
inline std::vector<uint32_t> WalkBackward() {
  std::vector<uint32_t> out;
  DBGOBOTTOM();
  for (int guard = 0; !EOF_() && guard < 1000000; ++guard) {
    out.push_back(RECNO());
    DBSKIP(-1);
    if (BOF()) break;
  }
  return out;
}

// The order driver of the current area.
inline NtxArea* CurrentNtx() {
  return dynamic_cast<NtxArea*>(CurrentArea());
}

// (key, record) pairs of an order as stored, in tree order.
inline std::vector<IndexEntry> StoredKeys(int order_number) {
  std::vector<IndexEntry> out;
  NtxArea* area = CurrentNtx();
  if (area == nullptr || area->order(order_number) == nullptr) return out;
  KeyTree& tree = *area->order(order_number)->tree;
  for (auto s = tree.First(); s == KeyTree::Step::kKey; s = tree.Next()) {
    out.push_back({tree.current().key, tree.current().recno});
  }
  tree.ForgetCurrent();
  return out;
}

inline std::vector<uint32_t> Recnos(const std::vector<IndexEntry>& entries) {
  std::vector<uint32_t> out;
  for (const IndexEntry& e : entries) out.push_back(e.recno);
  return out;
}

// Checks an index file's structure; "" when sound, else the problems.
inline std::string Problems(const std::string& host_path,
                            std::vector<IndexEntry>* entries = nullptr) {
  int code = 0;
  auto f = GetEnv()->OpenFile(host_path, FileAccess::kRead, FileShare::kDenyNone, &code);
  if (f == nullptr) return "cannot open " + host_path;
  const VerifyReport r = VerifyIndex(f.get(), entries);
  std::string out;
  for (const std::string& p : r.problems) out += p + "\n";
  return out;
}

}  // namespace px::ntx::testutil

#endif  // PX_TESTS_ENGINE_NTX_ORDER_TEST_UTIL_H_
