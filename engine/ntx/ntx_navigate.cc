// The NTX-order layer: going to the top and bottom, raw skips and seeks in key order.
#include <cstdio>

#include "engine/ntx/ntx_area.h"
#include "runtime/settings.h"

namespace px {

namespace {

using ntx::IndexLock;
using ntx::KeyTree;
using ntx::Order;
using Step = KeyTree::Step;

const uint8_t* Bytes(const std::string& s) {
  return reinterpret_cast<const uint8_t*>(s.data());
}

// From the current key, which matches the search bytes, steps on over the keys that
// match them too and ends on the last of them. Keys are compared as the order compares
// them, so this holds in descending orders as in ascending ones. (Seeking the search
// bytes with their last byte raised and stepping back from the key found would not: in
// a descending order that key comes before the matches.)
Step LastMatch(KeyTree& tree, const std::string& bytes, bool exact) {
  for (;;) {
    const Step s = tree.Next();
    if (s == Step::kEnd) return Step::kKey;  // the current key is the order's last
    if (s != Step::kKey) return s;
    if (tree.compare().Search(Bytes(bytes), bytes.size(), Bytes(tree.current().key), exact) != 0) {
      return tree.Prev();
    }
  }
}

}  // namespace

bool NtxArea::BeforeTop(const Order& o, const std::string& key) const {
  if (!o.top_scope) return false;
  const std::string& top = *o.top_scope;
  return o.tree->compare().Search(Bytes(top), top.size(), Bytes(key), false) > 0;
}

bool NtxArea::AfterBottom(const Order& o, const std::string& key) const {
  if (!o.bottom_scope) return false;
  const std::string& bottom = *o.bottom_scope;
  return o.tree->compare().Search(Bytes(bottom), bottom.size(), Bytes(key), false) < 0;
}

bool NtxArea::GoToKeyRecord(Order& o) {
  return GoTo(o.tree->current().recno);
}

bool NtxArea::GoPastEnd() {
  return GoTo(0);
}

bool NtxArea::GoTo(uint32_t recno) {
  for (auto& o : orders_) {
    if (o->tree->current().recno != recno) {
      o->tree->ForgetCurrent();
      o->bof = o->eof = false;
    }
  }
  return NtxBaseArea::GoTo(recno);
}

bool NtxArea::Visible(uint32_t recno) {
  if (!NtxBaseArea::GoTo(recno)) return false;
  if (filter() != nullptr) {
    const Value v = filter()->Eval();
    if (v.is_logical() && !v.logical()) return false;
  }
  if (GetSettings().deleted) {
    bool deleted = false;
    if (!Deleted(&deleted) || deleted) return false;
  }
  return true;
}

Step NtxArea::FirstStep(Order& o) {
  IndexLock lock(&o.file());
  if (!lock.ok()) return Step::kFailed;
  Step s;
  if (o.top_scope) {
    const std::string& top = *o.top_scope;
    switch (o.tree->Search(Bytes(top), top.size(), false)) {
      case KeyTree::Found::kEqual:
      case KeyTree::Found::kGreater:
        s = Step::kKey;
        break;
      case KeyTree::Found::kNone:
        s = Step::kEnd;
        break;
      default:
        s = Step::kFailed;
        break;
    }
  } else {
    s = o.tree->First();
  }
  if (s == Step::kKey && AfterBottom(o, o.tree->current().key)) s = Step::kEnd;
  return s;
}

Step NtxArea::LastStep(Order& o) {
  IndexLock lock(&o.file());
  if (!lock.ok()) return Step::kFailed;
  Step s;
  if (o.bottom_scope) {
    // The last key not beyond the bottom scope.
    const std::string& bottom = *o.bottom_scope;
    switch (o.tree->Search(Bytes(bottom), bottom.size(), false)) {
      case KeyTree::Found::kEqual:
        s = LastMatch(*o.tree, bottom, false);
        break;
      case KeyTree::Found::kGreater:
        s = o.tree->Prev();
        break;
      case KeyTree::Found::kNone:
        s = o.tree->Last();
        break;
      default:
        s = Step::kFailed;
        break;
    }
  } else {
    s = o.tree->Last();
  }
  if (s == Step::kKey && BeforeTop(o, o.tree->current().key)) s = Step::kEnd;
  return s;
}

bool NtxArea::SyncCurrentKey(Order& o) {
  const uint32_t recno = current_recno();
  KeyTree& tree = *o.tree;
  if (tree.current().recno == recno &&
      tree.current().key.size() == static_cast<size_t>(o.spec.key_size)) {
    return true;
  }
  std::string key;
  if (!MakeKey(o.spec, &key)) return false;
  tree.SetCurrent(std::move(key), recno);
  return true;
}

Step NtxArea::StepKey(Order& o, int direction) {
  KeyTree& tree = *o.tree;
  IndexLock lock(&o.file());
  if (!lock.ok()) return Step::kFailed;
  Step s = direction > 0 ? tree.Next() : tree.Prev();
  if (s == Step::kLost && o.unique) {
    // A record whose key value another record holds in a unique order: step from that
    // record's key.
    const std::string key = tree.current().key;
    if (tree.Search(Bytes(key), key.size(), true) == KeyTree::Found::kEqual) {
      s = direction > 0 ? tree.Next() : tree.Prev();
    }
  }
  if (s == Step::kLost) {
    std::fputs("\n\rntxSkipRaw: Cannot find current key:", stdout);
    std::fflush(stdout);
    return Step::kEnd;
  }
  return s;
}

bool NtxArea::GoFirstKey(Order& o) {
  const Step s = FirstStep(o);
  o.bof = o.eof = false;
  if (s == Step::kKey) return GoToKeyRecord(o);
  GoPastEnd();
  return s != Step::kFailed;
}

bool NtxArea::GoLastKey(Order& o) {
  const Step s = LastStep(o);
  o.bof = o.eof = false;
  if (s == Step::kKey) return GoToKeyRecord(o);
  GoPastEnd();
  return s != Step::kFailed;
}

bool NtxArea::GoTop() {
  if (!is_open()) return false;
  if (controlling_ == nullptr) return NtxBaseArea::GoTop();
  if (!GoCold()) return false;
  top_ = true;
  bottom_ = false;
  if (!GoFirstKey(*controlling_)) return false;
  return SkipFilter(1);
}

bool NtxArea::GoBottom() {
  if (!is_open()) return false;
  if (controlling_ == nullptr) return NtxBaseArea::GoBottom();
  if (!GoCold()) return false;
  bottom_ = true;
  top_ = false;
  if (!GoLastKey(*controlling_)) return false;
  return SkipFilter(-1);
}

bool NtxArea::SkipRaw(int64_t n) {
  if (!is_open()) return false;
  if (n == 0 || controlling_ == nullptr) return NtxBaseArea::SkipRaw(n);
  if (!GoCold()) return false;
  Order& o = *controlling_;
  if (n > 0) {
    if (eof_) return true;
    if (!SyncCurrentKey(o)) return false;
    for (int64_t i = 0; i < n; ++i) {
      const Step s = StepKey(o, 1);
      if (s != Step::kKey || AfterBottom(o, o.tree->current().key)) {
        GoPastEnd();
        o.eof = true;
        return s != Step::kFailed;
      }
    }
    return GoToKeyRecord(o);
  }
  const uint64_t steps = 0 - static_cast<uint64_t>(n);
  if (!eof_ && !SyncCurrentKey(o)) return false;
  for (uint64_t i = 0; i < steps; ++i) {
    const Step s = i == 0 && eof_ ? LastStep(o) : StepKey(o, -1);
    if (s != Step::kKey || BeforeTop(o, o.tree->current().key)) {
      if (s == Step::kFailed) {
        GoPastEnd();
        return false;
      }
      const bool ok = GoFirstKey(o);
      bof_ = true;
      o.bof = true;
      return ok;
    }
  }
  return GoToKeyRecord(o);
}

bool NtxArea::Seek(bool soft_seek, const Value& key, bool find_last) {
  if (!is_open()) return false;
  if (controlling_ == nullptr) return NtxBaseArea::Seek(soft_seek, key, find_last);
  if (!GoCold()) return false;
  std::string bytes;
  if (!SearchBytes(*controlling_, key, &bytes)) {
    Error e = Error::Make("", kErrDataType, 1020);
    e.operation = "DBSEEK";
    e.can_default = true;
    RaiseError(e);
    return false;
  }
  return SeekBytes(*controlling_, bytes, soft_seek, find_last);
}

bool NtxArea::SeekBytes(Order& o, const std::string& bytes, bool soft, bool find_last) {
  o.bof = o.eof = false;
  if (bytes.empty()) {
    const bool ok = GoTop();
    found_ = true;
    return ok;
  }
  std::string padded = bytes;
  padded.resize(static_cast<size_t>(o.spec.key_size), ' ');
  if (BeforeTop(o, padded) || AfterBottom(o, padded)) {
    const bool ok = GoPastEnd();
    found_ = false;
    return ok;
  }

  const bool exact = o.spec.key_type != 'C';
  const bool check = GetSettings().deleted || filter() != nullptr;
  KeyTree::Accept accept;
  if (check) accept = [this](uint32_t recno) { return Visible(recno); };
  KeyTree& tree = *o.tree;
  KeyTree::Found r;
  bool found = false;
  {
    IndexLock lock(&o.file());
    if (!lock.ok()) return false;
    r = tree.Search(Bytes(bytes), bytes.size(), exact, accept);
    found = r == KeyTree::Found::kEqual;
    if (found && find_last) {
      // The last matching key, stepping back over hidden records (at worst to the match
      // found first).
      Step s = LastMatch(tree, bytes, exact);
      while (s == Step::kKey && check && !Visible(tree.current().recno)) s = tree.Prev();
      if (s == Step::kFailed) r = KeyTree::Found::kFailed;
      found = s == Step::kKey;
    }
  }
  if (r == KeyTree::Found::kFailed) {
    GoPastEnd();
    found_ = false;
    return false;
  }
  if (found) {
    const bool ok = GoToKeyRecord(o);
    found_ = true;
    return ok;
  }
  if (soft && r == KeyTree::Found::kGreater) {
    const bool beyond = AfterBottom(o, tree.current().key);
    const bool ok = GoToKeyRecord(o);
    if (beyond) eof_ = true;
    found_ = false;
    return ok;
  }
  const bool ok = GoPastEnd();
  found_ = false;
  return ok;
}

}  // namespace px
