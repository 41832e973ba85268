// Two workstations on one indexed shared table: one appends records, the other changes
// the key fields of existing records under their record locks. Afterwards every index
// holds exactly one key per record, with the key the record now gives, and no key is lost.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <set>

#include "engine/ntx/ntx_area.h"
#include "engine/workarea/orders.h"
#include "tests/engine/ntx/order_test_util.h"
#include "tests/forked_process.h"

namespace px {
namespace {

using ntx::testutil::CurrentNtx;
using test::Channel;
using test::ForkedProcess;
using test::ScratchDir;

constexpr int kInitial = 400;
constexpr int kAppends = 3000;
constexpr int kChanges = 3000;

std::string Name(std::mt19937& random) {
  std::string s;
  for (int i = 0; i < 8; ++i) s += static_cast<char>('A' + random() % 26);
  return s;
}

bool OpenShared() {
  if (!test::UseTable("shared", "", /*shared=*/true)) return false;
  ORDLISTADD(Value::String("shared_name"));
  ORDLISTADD(Value::String("shared_id"));
  return RecordedErrors().empty();
}

int Appender(Channel& c) {
  if (!OpenShared()) return 1;
  c.Send('r');
  if (c.Receive() != 'g') return 2;
  std::mt19937 random(7);
  for (int i = 1; i <= kAppends; ++i) {
    if (!DBAPPEND()) return 3;
    FIELDPUT(1, Value::Integer(100000 + i));
    FIELDPUT(2, Value::String(Name(random)));
    // Let go of the new record now and then, as the application does after a save.
    if (i % 10 == 0) DBUNLOCK();
  }
  DBUNLOCK();
  DBCLOSEAREA();
  return RecordedErrors().empty() ? 0 : 4;
}

int Changer(Channel& c) {
  if (!OpenShared()) return 11;
  c.Send('r');
  if (c.Receive() != 'g') return 12;
  std::mt19937 random(11);
  int changed = 0;
  for (int tries = 0; changed < kChanges && tries < kChanges * 20; ++tries) {
    // Any record, the other station's new ones included.
    const uint32_t n = RECCOUNT();
    DBGOTO(1 + random() % n);
    if (!RLOCK()) continue;
    FIELDPUT(2, Value::String(Name(random)));
    DBUNLOCK();
    ++changed;
  }
  DBCLOSEAREA();
  if (changed < kChanges) return 13;
  return RecordedErrors().empty() ? 0 : 14;
}

TEST(TwoWorkstationsTest, AnAppenderAndAKeyChangerKeepEveryIndexWhole) {
  ScratchDir dir;
  ASSERT_TRUE(
      test::CreateTable("shared.dbf", {test::Field("ID", 'N', 6), test::Field("NAME", 'C', 10)}));
  ASSERT_TRUE(test::UseTable("shared"));
  std::mt19937 random(3);
  for (int i = 1; i <= kInitial; ++i) {
    ASSERT_TRUE(DBAPPEND());
    FIELDPUT(1, Value::Integer(i));
    FIELDPUT(2, Value::String(Name(random)));
  }
  ORDCREATE("shared_id", "", "ID");
  ORDCREATE("shared_name", "", "NAME");
  DBCLOSEAREA();
  ASSERT_TRUE(RecordedErrors().empty());

  ForkedProcess appender(Appender);
  ForkedProcess changer(Changer);
  ASSERT_TRUE(appender.started() && changer.started());
  ASSERT_EQ(appender.channel().Receive(), 'r');
  ASSERT_EQ(changer.channel().Receive(), 'r');
  appender.channel().Send('g');
  changer.channel().Send('g');
  EXPECT_EQ(appender.Join(), 0);
  EXPECT_EQ(changer.Join(), 0);

  ASSERT_TRUE(test::UseTable("shared"));
  ORDLISTADD(Value::String("shared_name"));
  ORDLISTADD(Value::String("shared_id"));
  ASSERT_EQ(RECCOUNT(), static_cast<uint32_t>(kInitial + kAppends));
  NtxArea* area = CurrentNtx();
  ASSERT_NE(area, nullptr);
  for (int n = 1; n <= 2; ++n) {
    ASSERT_NE(area->order(n), nullptr);
    const ntx::VerifyReport report = area->CheckOrder(*area->order(n));
    EXPECT_TRUE(report.ok()) << "order " << n << ": "
                             << (report.problems.empty() ? "" : report.problems.front());
    EXPECT_EQ(report.keys, static_cast<uint64_t>(kInitial + kAppends));
  }
  // Every ID once, in key order, and every record found by its name.
  ORDSETFOCUS(2);
  std::set<int64_t> ids;
  for (DBGOTOP(); !EOF_(); DBSKIP()) ids.insert(FIELDGET(1).integer());
  EXPECT_EQ(ids.size(), static_cast<size_t>(kInitial + kAppends));
  ORDSETFOCUS(1);
  int not_found = 0;
  for (uint32_t r = 1; r <= RECCOUNT(); r += 7) {
    DBGOTO(r);
    const Value name = FIELDGET(2);
    if (!DBSEEK(name)) ++not_found;
  }
  EXPECT_EQ(not_found, 0);
  EXPECT_TRUE(RecordedErrors().empty());
}

}  // namespace
}  // namespace px
