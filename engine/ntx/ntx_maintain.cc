// The NTX-order layer: key maintenance when records change, and the orders' part of
// packing, zapping and rebuilding.
#include <cstdio>

#include "engine/ntx/ntx_area.h"
#include "engine/ntx/table_key_source.h"

namespace px {

namespace {

using ntx::IndexLock;
using ntx::KeyTree;
using ntx::Order;

const uint8_t* Bytes(const std::string& s) {
  return reinterpret_cast<const uint8_t*>(s.data());
}

// Keeps the area's position and flags across reads of other records.
struct Position {
  uint32_t recno;
  bool bof, eof, found;
};

}  // namespace

bool NtxArea::GoHot() {
  if (!NtxBaseArea::GoHot()) return false;
  // A record whose insertions are pending is in no order yet.
  if (pending_insert_) return true;
  for (auto& o : orders_) {
    o->hot_known = MakeKey(o->spec, &o->hot_key);
    o->hot_for = ForOk(o->spec);
  }
  return true;
}

bool NtxArea::GoCold() {
  const bool hot = record_hot();
  const bool appended = record_appended();
  const uint32_t recno = current_recno();
  if (!NtxBaseArea::GoCold()) return false;
  if (orders_.empty()) {
    pending_insert_ = false;
    return true;
  }
  if (pending_insert_) {
    pending_insert_ = false;
    if (pending_recno_ == recno) {
      UpdateKeys(recno, /*is_new=*/true);
    } else {
      // The area left the appended record without making it cold first: read it back.
      const Position at{recno, bof_, eof_, found_};
      if (NtxBaseArea::GoTo(pending_recno_)) UpdateKeys(pending_recno_, true);
      NtxBaseArea::GoTo(at.recno);
      bof_ = at.bof;
      eof_ = at.eof;
      found_ = at.found;
    }
    return true;
  }
  if (!hot) return true;
  if (appended && shared()) {
    // The append's own cold, under the header lock: the keys follow at the next one.
    pending_insert_ = true;
    pending_recno_ = recno;
    return true;
  }
  UpdateKeys(recno, appended);
  return true;
}

void NtxArea::UpdateKeys(uint32_t recno, bool is_new) {
  for (auto& op : orders_) {
    Order& o = *op;
    const bool known = o.hot_known;
    o.hot_known = false;
    std::string key;
    if (!MakeKey(o.spec, &key)) continue;
    const bool for_ok = ForOk(o.spec);
    if (is_new) {
      if (!for_ok) continue;
    } else if (!known || (key == o.hot_key && for_ok == o.hot_for)) {
      continue;
    }
    IndexLock lock(&o.file());
    if (!lock.ok()) continue;
    o.tree->ForgetCurrent();
    if (!is_new && o.hot_for) {
      const KeyTree::Removed removed = RemoveKey(o, o.hot_key, recno);
      if (removed == KeyTree::Removed::kNotFound) {
        std::fputs("\n\rntxGoCold: Cannot find current key:", stdout);
        std::fflush(stdout);
        continue;
      }
      if (removed == KeyTree::Removed::kFailed) continue;
      o.written = true;
    }
    if (for_ok && InsertKey(o, key, recno)) o.written = true;
    o.tree->ForgetCurrent();
  }
}

bool NtxArea::InsertKey(Order& o, const std::string& key, uint32_t recno) {
  KeyTree& tree = *o.tree;
  if (o.unique) {
    // One key per value: a value that is there already keeps its record.
    const KeyTree::Found f = tree.Search(Bytes(key), key.size(), true);
    if (f != KeyTree::Found::kNone && f != KeyTree::Found::kGreater) return false;
  }
  return tree.Insert(Bytes(key), recno);
}

KeyTree::Removed NtxArea::RemoveKey(Order& o, const std::string& key, uint32_t recno) {
  KeyTree& tree = *o.tree;
  const KeyTree::Removed removed = tree.Remove(Bytes(key), recno);
  if (!o.unique) return removed;
  if (removed == KeyTree::Removed::kNotFound) {
    // In a unique order another record may hold the value: then this one had no key.
    if (tree.Search(Bytes(key), key.size(), true) == KeyTree::Found::kEqual) {
      return KeyTree::Removed::kOk;
    }
    return removed;
  }
  if (removed == KeyTree::Removed::kOk) ReplaceUniqueKey(o, key, recno);
  return removed;
}

void NtxArea::ReplaceUniqueKey(Order& o, const std::string& key, uint32_t recno) {
  const Position at{current_recno(), bof_, eof_, found_};
  {
    TableKeySource source(this, o.spec, TableKeySource::Mode::kMaintenance);
    uint32_t r = 0;
    std::string_view k;
    while (source.Next(&r, &k)) {
      if (r != recno && k == key) {
        o.tree->Insert(Bytes(key), r);
        break;
      }
    }
  }
  // Back to the record being written; it is on file, so reading it again is safe.
  NtxBaseArea::GoTo(at.recno);
  bof_ = at.bof;
  eof_ = at.eof;
  found_ = at.found;
}

ntx::VerifyReport NtxArea::CheckOrder(Order& o) {
  ntx::VerifyReport report;
  if (!GoCold()) {
    report.Problem("the current record could not be written");
    return report;
  }
  const bool flushed = o.file().Flush();
  std::vector<ntx::IndexEntry> stored;
  {
    IndexLock lock(&o.file());
    report = ntx::VerifyIndex(o.file().file(), &stored);
  }
  if (!flushed) report.Problem("changed pages could not be written");
  const Position at{current_recno(), bof_, eof_, found_};
  std::vector<ntx::IndexEntry> expected;
  {
    TableKeySource source(this, o.spec, TableKeySource::Mode::kMaintenance);
    uint32_t recno = 0;
    std::string_view key;
    while (source.Next(&recno, &key)) expected.push_back({std::string(key), recno});
    if (!source.ok()) report.Problem("the table could not be read");
  }
  NtxBaseArea::GoTo(at.recno);
  bof_ = at.bof;
  eof_ = at.eof;
  found_ = at.found;
  if (report.ok()) ntx::CheckEntries(stored, std::move(expected), o.unique, &report);
  return report;
}

// --- Pack, zap and rebuild ---

bool NtxArea::PackWith(const PackPlan& plan) {
  if (!NtxBaseArea::PackWith(plan)) return false;
  if (orders_.empty()) return true;
  return OrderListRebuild();
}

bool NtxArea::Zap() {
  if (!NtxBaseArea::Zap()) return false;
  if (orders_.empty()) return true;
  bool ok = true;
  for (auto& o : orders_) {
    ok = o->tree->Zap() && ok;
    o->written = true;
  }
  return GoTop() && ok;
}

bool NtxArea::OrderListRebuild() {
  if (!is_open()) return false;
  if (!GoCold()) return false;
  if (orders_.empty()) return true;
  if (shared()) {
    Error e = Error::Make("", kErrShared, 1023);
    RaiseError(e);
    return false;
  }
  bool ok = true;
  Order* const focus = controlling_;
  // Strict reads navigate: in record order while the orders are rebuilt.
  controlling_ = nullptr;
  for (size_t i = 0; i < orders_.size();) {
    if (RebuildOrder(*orders_[i])) {
      ++i;
      continue;
    }
    // A file that could not be rebuilt holds part of a tree: it goes, with its order.
    ok = false;
    const std::string name = orders_[i]->file_name;
    if (orders_[i].get() == focus) controlling_ = nullptr;
    orders_.erase(orders_.begin() + static_cast<std::ptrdiff_t>(i));
    GetEnv()->DeleteFile(name);
  }
  for (auto& o : orders_) {
    if (o.get() == focus) controlling_ = focus;
  }
  return GoTop() && ok;
}

bool NtxArea::RebuildOrder(Order& o) {
  ntx::IndexFile& index = o.file();
  index.Flush();
  index.cache().Clear();
  ntx::NtxHeader header = index.header();
  // An order opened from its file takes character as its key type; the build wants the
  // type the key really has, which its value on the current record tells.
  ntx::KeySpec spec = o.spec;
  Value first;
  if (EvalKey(spec, &first) && ntx::KeyTypeOf(first) != 0) spec.key_type = ntx::KeyTypeOf(first);
  const ntx::BuildStatus status = BuildInto(index.file(), &header, spec);
  if (status != ntx::BuildStatus::kOk) return false;
  index.SetHeader(header);
  index.RefreshLastPage();
  o.tree->InvalidateCount();
  o.tree->ForgetCurrent();
  o.written = true;
  return true;
}

}  // namespace px
