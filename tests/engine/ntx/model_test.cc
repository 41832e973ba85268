// Key maintenance against a model: random sequences of appends, field changes that
// move keys, deletions, packs, zaps and reopenings on a table with several orders
// (character, numeric, date, unique, FOR-limited, descending, and key sizes from 1 to
// 256). After every step each order's stored keys must equal the model's sorted list
// (equal keys in the order they joined it), and every order must pass the check against
// its table. Walks in key order and seeks (first and last, soft and hard, whole keys and
// prefixes, deleted records shown or hidden) must land where the model's list says.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>

#include "engine/ntx/ntx_area.h"
#include "runtime/settings.h"
#include "tests/engine/ntx/literal_sort.h"
#include "tests/engine/ntx/order_test_util.h"

namespace px::ntx {
namespace {

using testutil::CurrentNtx;
using testutil::StoredKeys;

struct Rec {
  std::string name;  // NAME C(10)
  int amount = 0;    // AMT N(6,0)
  int32_t day = 0;   // DAY D
  std::string code;  // CODE C(3)
  std::string word;  // WORD C(w)
  bool deleted = false;
};

std::string PadTo(std::string s, size_t n) {
  s.resize(n, ' ');
  return s;
}

struct OrderDef {
  std::string file;
  std::string key_text;
  std::string for_text;
  bool unique = false;
  int key_size = 0;
  std::function<std::string(const Rec&)> key;
  std::function<bool(const Rec&)> for_ok = [](const Rec&) { return true; };
  bool descending = false;  // the file's descending flag is set (as other programs make)
};

class Model {
 public:
  explicit Model(std::vector<OrderDef> defs) : defs_(std::move(defs)), lists_(defs_.size()) {}

  const std::vector<Rec>& recs() const { return recs_; }
  const std::vector<IndexEntry>& list(size_t i) const { return lists_[i]; }
  size_t orders() const { return defs_.size(); }

  struct SeekResult {
    bool found = false;
    uint32_t recno = 0;  // 0: past the end
  };
  // Where a seek of `bytes` (no longer than the key) lands in order i: the first (last)
  // key they begin when there is a shown one; else, when soft, the first shown key
  // after them in the order's direction.
  SeekResult Seek(size_t i, const std::string& bytes, bool soft, bool last,
                  bool hide_deleted) const {
    const int dir = defs_[i].descending ? -1 : 1;
    auto cmp = [&](const std::string& key) {
      const int c = key.compare(0, bytes.size(), bytes);
      return c == 0 ? 0 : (c < 0 ? -dir : dir);  // the key against the bytes
    };
    auto shown = [&](const IndexEntry& e) { return !hide_deleted || !recs_[e.recno - 1].deleted; };
    SeekResult r;
    for (const IndexEntry& e : lists_[i]) {
      if (cmp(e.key) < 0 || !shown(e)) continue;
      if (cmp(e.key) == 0) {
        r = {true, e.recno};
        if (!last) break;
      } else {
        if (!r.found && soft) r.recno = e.recno;
        break;
      }
    }
    return r;
  }

  void Build() {
    for (size_t i = 0; i < defs_.size(); ++i) {
      const OrderDef& d = defs_[i];
      std::string keys;
      std::vector<uint32_t> recnos;
      for (size_t r = 0; r < recs_.size(); ++r) {
        if (!d.for_ok(recs_[r])) continue;
        keys += d.key(recs_[r]);
        recnos.push_back(static_cast<uint32_t>(r + 1));
      }
      testutil::LiteralSort sort(reinterpret_cast<const uint8_t*>(keys.data()),
                                 static_cast<uint32_t>(recnos.size()), d.key_size,
                                 static_cast<uint32_t>(recs_.size()), d.unique, d.descending);
      lists_[i].clear();
      for (uint32_t at : sort.Run()) {
        lists_[i].push_back(
            {keys.substr(at * static_cast<size_t>(d.key_size), static_cast<size_t>(d.key_size)),
             recnos[at]});
      }
    }
  }

  void Append(const Rec& rec) {
    recs_.push_back(rec);
    const uint32_t recno = static_cast<uint32_t>(recs_.size());
    for (size_t i = 0; i < defs_.size(); ++i) {
      if (defs_[i].for_ok(rec)) Insert(i, defs_[i].key(rec), recno);
    }
  }

  void Change(uint32_t recno, const Rec& now) {
    const Rec before = recs_[recno - 1];
    recs_[recno - 1] = now;
    for (size_t i = 0; i < defs_.size(); ++i) {
      const OrderDef& d = defs_[i];
      const std::string old_key = d.key(before), new_key = d.key(now);
      const bool old_for = d.for_ok(before), new_for = d.for_ok(now);
      if (old_key == new_key && old_for == new_for) continue;
      if (old_for) Remove(i, old_key, recno);
      if (new_for) Insert(i, new_key, recno);
    }
  }

  void SetDeleted(uint32_t recno, bool deleted) { recs_[recno - 1].deleted = deleted; }

  void Pack() {
    std::vector<Rec> kept;
    for (const Rec& r : recs_) {
      if (!r.deleted) kept.push_back(r);
    }
    recs_ = std::move(kept);
    Build();
  }

  void Zap() {
    recs_.clear();
    Build();
  }

 private:
  void Insert(size_t i, const std::string& key, uint32_t recno) {
    std::vector<IndexEntry>& l = lists_[i];
    const bool desc = defs_[i].descending;
    auto pos = std::upper_bound(
        l.begin(), l.end(), key,
        [desc](const std::string& k, const IndexEntry& e) { return desc ? e.key < k : k < e.key; });
    if (defs_[i].unique && pos != l.begin() && (pos - 1)->key == key) return;
    l.insert(pos, {key, recno});
  }

  void Remove(size_t i, const std::string& key, uint32_t recno) {
    std::vector<IndexEntry>& l = lists_[i];
    auto it = std::find(l.begin(), l.end(), IndexEntry{key, recno});
    if (it == l.end()) return;  // a unique order's value held by another record
    l.erase(it);
    if (!defs_[i].unique) return;
    // The next record (in record order) with that value takes its place.
    for (size_t r = 0; r < recs_.size(); ++r) {
      if (r + 1 != recno && defs_[i].for_ok(recs_[r]) && defs_[i].key(recs_[r]) == key) {
        Insert(i, key, static_cast<uint32_t>(r + 1));
        break;
      }
    }
  }

  std::vector<OrderDef> defs_;
  std::vector<Rec> recs_;
  std::vector<std::vector<IndexEntry>> lists_;
};

class ModelTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override { GetSettings().hard_commit = false; }

  Rec RandomRec() {
    Rec r;
    static const char* kLetters = "ABCDE";
    const int len = 1 + static_cast<int>(rng_() % 4);
    for (int i = 0; i < len; ++i) r.name += kLetters[rng_() % 3 + (i > 0 ? 2 : 0)];
    r.amount = static_cast<int>(rng_() % 41) - 20;
    static const int32_t kDays[] = {0, 2451545, 2451546, 2460000, 2440000};
    r.day = kDays[rng_() % 5];
    static const char* kCodes[] = {"A", "B", "AB", "C", "XYZ", "Q"};
    r.code = kCodes[rng_() % 6];
    const size_t wl = rng_() % (word_width_ + 1);
    for (size_t i = 0; i < wl && i < 6; ++i) r.word += static_cast<char>('a' + rng_() % 3);
    return r;
  }

  void Put(const Rec& r) {
    FIELDPUT(1, Value::String(r.name));
    FIELDPUT(2, Value::Integer(r.amount));
    FIELDPUT(3, Value::Date(r.day));
    FIELDPUT(4, Value::String(r.code));
    FIELDPUT(5, Value::String(r.word));
  }

  void OpenOrders() {
    for (const OrderDef& d : defs_) ORDLISTADD(d.file);
  }

  void Compare(const Model& model, const std::string& where) {
    DBCOMMIT();
    NtxArea* area = CurrentNtx();
    ASSERT_NE(area, nullptr);
    for (size_t i = 0; i < model.orders(); ++i) {
      const int number = static_cast<int>(i + 1);
      ASSERT_EQ(StoredKeys(number), model.list(i)) << where << ", order " << defs_[i].file;
      const VerifyReport report = area->CheckOrder(*area->order(number));
      ASSERT_TRUE(report.ok()) << where << ", order " << defs_[i].file << ": "
                               << report.problems.front();
    }
  }

  // Random seeks in random orders: whole keys and prefixes of keys, values between keys,
  // first and last, soft and hard, with deleted records shown or hidden.
  void Seeks(const Model& model, int step) {
    DBCOMMIT();
    for (int n = 0; n < 12; ++n) {
      const size_t i = rng_() % model.orders();
      const OrderDef& d = defs_[i];
      const bool numeric = d.key_text == "AMT";
      if (d.key_text == "DAY") continue;
      const Rec probe = RandomRec();
      Value value;
      std::string bytes;
      if (numeric) {
        value = Value::Integer(probe.amount);
        bytes = d.key(probe);
      } else {
        // A stored key, a prefix of it, or a value that may lie between keys.
        const std::vector<IndexEntry>& l = model.list(i);
        bytes = l.empty() || rng_() % 4 == 0 ? d.key(probe) : l[rng_() % l.size()].key;
        bytes.resize(1 + rng_() % bytes.size());
        value = Value::String(bytes);
      }
      const bool soft = rng_() % 2 == 0, last = rng_() % 2 == 0, hide = rng_() % 2 == 0;
      GetSettings().deleted = hide;
      ORDSETFOCUS(static_cast<int>(i + 1));
      const bool found = DBSEEK(value, soft, last);
      GetSettings().deleted = false;
      const Model::SeekResult want = model.Seek(i, bytes, soft, last, hide);
      const std::string what = "step " + std::to_string(step) + ": seek \"" + bytes + "\" in " +
                               d.file + (soft ? " soft" : "") + (last ? " last" : "") +
                               (hide ? " hiding deleted" : "");
      ASSERT_EQ(found, want.found) << what;
      ASSERT_EQ(FOUND(), want.found) << what;
      ASSERT_EQ(EOF_(), want.recno == 0) << what;
      if (want.recno != 0) {
        ASSERT_EQ(RECNO(), want.recno) << what;
      }
    }
  }

  std::mt19937 rng_;
  size_t word_width_ = 1;
  std::vector<OrderDef> defs_;
  test::ScratchDir dir_;
};

TEST_P(ModelTest, EveryOrderFollowsTheModel) {
  rng_.seed(static_cast<uint32_t>(GetParam()) * 7919u + 1);
  word_width_ = 1 + rng_() % 254;
  const int sizes[] = {1, 256, static_cast<int>(1 + rng_() % 256)};
  const int word_key = sizes[GetParam() % 3];
  const size_t ww = word_width_;

  defs_.push_back({"name", "NAME", "", false, 10, [](const Rec& r) { return PadTo(r.name, 10); }});
  defs_.push_back({"amt", "AMT", "", false, 6, [](const Rec& r) {
                     char buf[16];
                     std::snprintf(buf, sizeof buf, "%6d", r.amount);
                     return NumericKeyFromStr(buf);
                   }});
  defs_.push_back({"day", "DAY", "", false, 8, [](const Rec& r) { return DateKey(r.day); }});
  defs_.push_back({"code", "CODE", "", true, 3, [](const Rec& r) { return PadTo(r.code, 3); }});
  defs_.push_back(
      {"first", "LEFT(NAME,1)", "", false, 1, [](const Rec& r) { return PadTo(r.name, 1); }});
  defs_.push_back({"word", "PADR(WORD," + std::to_string(word_key) + ")", "", false, word_key,
                   [ww, word_key](const Rec& r) {
                     return PadTo(PadTo(r.word, ww), static_cast<size_t>(word_key));
                   }});
  OrderDef positive{"pos", "NAME", "AMT > 0",
                    false, 10,     [](const Rec& r) { return PadTo(r.name, 10); }};
  positive.for_ok = [](const Rec& r) { return r.amount > 0; };
  defs_.push_back(positive);
  OrderDef unique_pos{"upos", "CODE", "AMT > 0",
                      true,   3,      [](const Rec& r) { return PadTo(r.code, 3); }};
  unique_pos.for_ok = [](const Rec& r) { return r.amount > 0; };
  defs_.push_back(unique_pos);
  OrderDef dname = defs_[0], damt = defs_[1], dcode = defs_[3];
  dname.file = "dname";
  damt.file = "damt";
  dcode.file = "dcode";
  for (OrderDef* d : {&dname, &damt, &dcode}) {
    d->descending = true;
    defs_.push_back(*d);
  }

  ASSERT_TRUE(test::CreateTable(
      "m.dbf",
      {test::Field("NAME", 'C', 10), test::Field("AMT", 'N', 6), test::Field("DAY", 'D', 8),
       test::Field("CODE", 'C', 3), test::Field("WORD", 'C', static_cast<uint32_t>(word_width_))}));
  ASSERT_TRUE(test::UseTable("m.dbf", "MT"));
  Model model(defs_);
  const int initial = static_cast<int>(rng_() % 400);
  for (int i = 0; i < initial; ++i) {
    const Rec r = RandomRec();
    ASSERT_TRUE(DBAPPEND());
    Put(r);
    model.Append(r);
  }
  for (const OrderDef& d : defs_) {
    if (!d.for_text.empty()) CurrentArea()->OrderCondition(d.for_text);
    DBCREATEINDEX(d.file, d.key_text, nullptr, d.unique);
    ASSERT_EQ(DBORDERINFO(9).integer(), 1) << d.file;
  }
  ORDLISTCLEAR();
  // Index creation never sets the descending flag: set it in the file, then rebuild.
  for (const OrderDef& d : defs_) {
    if (d.descending) {
      ASSERT_NO_FATAL_FAILURE(testutil::SetDescendingFlag(dir_.File(d.file + ".ntx")));
    }
  }
  OpenOrders();
  ASSERT_TRUE(CurrentArea()->OrderListRebuild());
  model.Build();
  ASSERT_NO_FATAL_FAILURE(Compare(model, "after the build"));

  const int steps = 250;
  for (int step = 0; step < steps; ++step) {
    const uint32_t count = static_cast<uint32_t>(model.recs().size());
    const unsigned pick = rng_() % 1000;
    std::string what;
    if (pick < 350 || count == 0) {
      what = "append";
      const Rec r = RandomRec();
      ASSERT_TRUE(DBAPPEND());
      Put(r);
      model.Append(r);
    } else if (pick < 800) {
      const uint32_t recno = 1 + rng_() % count;
      what = "change " + std::to_string(recno);
      Rec r = model.recs()[recno - 1];
      const Rec fresh = RandomRec();
      switch (rng_() % 4) {
        case 0:
          r.name = fresh.name;
          break;
        case 1:
          r.amount = fresh.amount;
          r.code = fresh.code;
          break;
        case 2:
          r.day = fresh.day;
          r.word = fresh.word;
          break;
        default:
          r = fresh;
          r.deleted = model.recs()[recno - 1].deleted;
          break;
      }
      DBGOTO(recno);
      Put(r);
      model.Change(recno, r);
    } else if (pick < 920) {
      const uint32_t recno = 1 + rng_() % count;
      what = "delete " + std::to_string(recno);
      DBGOTO(recno);
      const bool deleted = !model.recs()[recno - 1].deleted;
      if (deleted) {
        DBDELETE();
      } else {
        DBRECALL();
      }
      model.SetDeleted(recno, deleted);
    } else if (pick < 935) {
      what = "pack";
      ASSERT_TRUE(CurrentArea()->Pack());
      model.Pack();
    } else if (pick < 938) {
      what = "zap";
      ASSERT_TRUE(CurrentArea()->Zap());
      model.Zap();
    } else if (pick < 960) {
      what = "reopen";
      DBCLOSEAREA();
      ASSERT_TRUE(test::UseTable("m.dbf", "MT"));
      OpenOrders();
    } else if (pick < 980) {
      ASSERT_NO_FATAL_FAILURE(Seeks(model, step));
      what = "seeks";
    } else {
      // Navigation in a random order follows its keys.
      const size_t i = rng_() % model.orders();
      what = "walk " + defs_[i].file;
      ORDSETFOCUS(static_cast<int>(i + 1));
      std::vector<uint32_t> expected;
      for (const IndexEntry& e : model.list(i)) expected.push_back(e.recno);
      ASSERT_EQ(testutil::WalkForward(), expected) << "step " << step;
      std::reverse(expected.begin(), expected.end());
      ASSERT_EQ(testutil::WalkBackward(), expected) << "step " << step;
    }
    ASSERT_NO_FATAL_FAILURE(Compare(model, "step " + std::to_string(step) + " (" + what + ")"));
  }
  EXPECT_TRUE(RecordedErrors().empty());
}

INSTANTIATE_TEST_SUITE_P(Seeds, ModelTest, ::testing::Range(0, 9));

}  // namespace
}  // namespace px::ntx
